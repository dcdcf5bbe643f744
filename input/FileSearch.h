#pragma once
// Recursive search for Flash video files (names ending in ".flv", any case).

#include <chrono>
#include <string>
#include <vector>

#include "base/MessagePump.h"

namespace tessaro {

// Appends to `found` every file under `folder` whose name ends in ".flv" in
// any letter case: depth first, all files of a folder before those of its
// subfolders, in listing order. Every subfolder is searched (hidden and
// read-only ones too); links to folders are not followed; a folder that
// cannot be read adds nothing. Found paths carry one separator after the
// folder, also when `folder` ends in one ("/" gives "/a.flv"). Pumps messages
// between entries, at most once per kPumpInterval.
void SearchFolder(const std::string& folder, std::vector<std::string>& found,
                  MessagePump& pump);

// The same with another pump interval; zero pumps after every entry.
void SearchFolder(const std::string& folder, std::vector<std::string>& found,
                  MessagePump& pump, std::chrono::nanoseconds pumpInterval);

// The text cut after its last character that is neither NUL nor a blank.
std::string TrimNameBuffer(const std::string& text);

// What AddFolderToList needs from the window: the folder chooser and the
// hint panel.
class FolderScanHost {
public:
    virtual ~FolderScanHost() = default;
    // Shows the folder chooser ("选择一个文件夹:"); false when cancelled.
    virtual bool chooseFolder(const std::string& title, std::string& folder) = 0;
    virtual void showHint(const std::string& caption) = 0;  // picText + lblText
};

class InputList;

// The whole "add a folder" command: chooser, "搜索文件..." on the hint panel,
// search, append (tag from the trimmed path), hint-panel rule.
void AddFolderToList(FolderScanHost& host, InputList& list, MessagePump& pump);

}  // namespace tessaro
