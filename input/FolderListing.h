#pragma once
// The system half of the folder scan (FileSearch_posix.cpp,
// FileSearch_win.cpp): lists one folder. The walk, the choice of files and
// the order live in FileSearch.cpp.

#include <functional>
#include <string>
#include <string_view>

namespace tessaro::listing {

// What one listed entry is, as far as the listing tells: folders by their
// type, never by a name or a permission.
enum class EntryKind {
    Folder,  // a folder to enter
    File,    // anything else that is not a link
    Link,    // a symbolic link (never entered; taken as a file unless it leads to a folder)
    Skip,    // listed but never taken ("." and "..", a linked folder or junction)
};

// A folder of the scan: its path as found paths show it (UTF-8), and the
// form the system lists it by (on Windows its long "\\?\" form).
struct Folder {
    std::string shown;
    std::string listed;
};

// The folder the user gave, ready to be listed.
Folder rootFolder(const std::string& given);

// `folder` and `name` joined by one separator (none added when `folder`
// already ends in one).
std::string joined(const std::string& folder, std::string_view name);

// Calls onEntry for every entry of the folder, in listing order. False when
// the folder cannot be listed (no access, vanished).
bool listFolder(const Folder& folder,
                const std::function<void(std::string_view name, EntryKind kind)>& onEntry);

// The link at `path` leads to a folder.
bool linksToFolder(const std::string& path);

}  // namespace tessaro::listing
