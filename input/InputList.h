#pragma once
// The queue of input files, held as the window holds it: the visible rows
// (full path and format tag, the LV list view) and the path list (lstFile),
// always parallel. Additions go to the end; no sorting, no duplicate check.
// A row the batch failed may stay in view, marked, out of the queue until the
// next Start queues it again.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessaro {

struct InputRow {
    InputRow() = default;
    InputRow(std::string path, std::string tag, bool failed = false, std::string reason = {})
        : path(std::move(path)), tag(std::move(tag)), failed(failed), reason(std::move(reason)) {}

    std::string path;     // row text: the full path as received
    std::string tag;      // "格式" column: last three characters, upper-cased
    bool failed = false;  // a batch failed it: shown, but not queued
    std::string reason;   // why it failed
};

// The format tag of a path: its last three characters upper-cased (the whole
// path when shorter). Trimmed paths lose blanks at both ends first.
std::string formatTag(const std::string& path, bool trimmed);

class InputList {
public:
    enum class Source { Dialog, Scan, Drop };  // Drop keeps blanks in the tag

    // Called after every change (row appended, removed, cleared) so that a
    // view can mirror the model; and when the hint panel's visibility changes.
    std::function<void()> changed;
    std::function<void(bool visible)> hintVisibilityChanged;
    // Called with the row (from 0) whose failed mark was set or cleared.
    std::function<void(int row)> rowChanged;

    // The append step. Hides the hint panel when the list holds an entry.
    void append(const std::string& path, Source source);
    // Appends a row as it was kept (a list restored): its tag and its mark
    // as given.
    void appendRow(const InputRow& row);

    // Removes row k (from 1), that is path k-1; nothing when k is out of
    // range (no selection). Shows the hint panel when the list gets empty.
    void removeSelected(int row);
    // Empties rows and paths and shows the hint panel.
    void removeAll();

    // Queue operations of the batch. The queue is the rows not marked
    // failed, in their order; with no failed row, entry k is row k.
    int count() const;
    std::string entry(int index) const;  // queue entry `index` (from 0); "" out of range
    void removeEntry(int index);         // queue entry `index` and its row; nothing out of range
    // Marks queue entry `index` failed: it leaves the queue and keeps its row.
    void failEntry(int index, const std::string& reason);
    // Queues every failed row again, in place; returns how many there were.
    int retryFailed();
    // The row (from 0) of queue entry `index`; -1 out of range.
    int rowOfEntry(int index) const;
    int rowCount() const;

    const std::vector<InputRow>& rows() const;      // LV
    const std::vector<std::string>& paths() const;  // lstFile
    bool hintVisible() const;
    // Applies the hint-panel rule: hidden when the list holds an entry.
    void updateHint();
    void setHintVisible(bool visible);

private:
    std::vector<InputRow> m_rows;
    std::vector<std::string> m_paths;
    bool m_hintVisible = true;
    int m_failed = 0;  // rows marked failed
};

// The folder part of a path: up to and including the last separator ('/'
// here); empty when there is none.
std::string ParsePath(const std::string& path);

}  // namespace tessaro
