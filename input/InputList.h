#pragma once
// The queue of input files, held as the window holds it: the visible rows
// (full path and format tag, the LV list view) and the path list (lstFile),
// always parallel. Additions go to the end; no sorting, no duplicate check.

#include <functional>
#include <string>
#include <vector>

namespace tessaro {

struct InputRow {
    std::string path;  // row text: the full path as received
    std::string tag;   // "格式" column: last three characters, upper-cased
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

    // The append step. Hides the hint panel when the list holds an entry.
    void append(const std::string& path, Source source);

    // Removes row k (from 1), that is path k-1; nothing when k is out of
    // range (no selection). Shows the hint panel when the list gets empty.
    void removeSelected(int row);
    // Empties rows and paths and shows the hint panel.
    void removeAll();

    // Queue operations of the batch.
    int count() const;
    std::string entry(int index) const;  // path `index` (from 0); "" out of range
    void removeEntry(int index);         // path `index` and LV row index + 1; nothing out of range

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
};

// The folder part of a path: up to and including the last separator ('/'
// here); empty when there is none.
std::string ParsePath(const std::string& path);

}  // namespace tessaro
