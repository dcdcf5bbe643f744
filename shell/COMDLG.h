#pragma once
// The open-file dialog driven by arguments, and the filter and folder rules
// that CCommonDialogs shares with it.

#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

class QWidget;

namespace tessaro {

class DialogBackend;

struct FilterPair {
    std::string description;
    std::string pattern;
};

// Splits a filter list at every "|" into (description, pattern) pairs; a
// description without a pattern is dropped, a blank list gives no pair.
std::vector<FilterPair> splitFilter(const std::string& filter);

// The filter list, or "*.*|*.*" (every file) when it is blank.
std::string filterOrAll(const std::string& filter);

// The pairs as Qt name filters ("所有格式文件(*.*)", "Video (*.flv *.mp4)").
QStringList qtNameFilters(const std::vector<FilterPair>& pairs);

// The starting folder of OpenFileDialog and ShowSave: the application folder
// when `folder` is blank or does not exist, else `folder` with a final '/'.
std::string initialFolder(const std::string& folder);

// Shows an open-file dialog; the chosen full path, or "" when cancelled.
// `folder` is replaced by the folder the dialog started in. A blank filter
// offers "*.*|*.*". `flags` are kept for the callers' sake; Qt has no use.
std::string OpenFileDialog(QWidget* owner, const std::string& title, std::string& folder,
                           const std::string& filter, uint32_t flags,
                           DialogBackend& dialogs);

}  // namespace tessaro
