#include "input/FileSearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <utility>

namespace tessaro {

namespace {

// Name ends in ".flv" in any letter case. Comparing the last four bytes is
// the same as comparing the last four characters: a multibyte UTF-8
// character holds no ASCII byte, so it can never match ".FLV".
bool hasFlvExtension(const char* name, std::size_t length)
{
    if (length < 4)
        return false;
    const char* tail = name + length - 4;
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return upper(tail[0]) == '.' && upper(tail[1]) == 'F' && upper(tail[2]) == 'L' && upper(tail[3]) == 'V';
}

bool isDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// What one listed entry is. Folders are told by their type, never by a name
// or a permission; a symbolic link is never a folder to enter.
enum class EntryKind { Folder, Link, Other };

EntryKind entryKind(const dirent& entry, const std::string& path)
{
    switch (entry.d_type) {
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
        return EntryKind::Link;
    case DT_UNKNOWN: {
        // Some file systems do not report the type in the listing.
        struct stat info;
        if (lstat(path.c_str(), &info) != 0)
            return EntryKind::Other;
        if (S_ISDIR(info.st_mode))
            return EntryKind::Folder;
        return S_ISLNK(info.st_mode) ? EntryKind::Link : EntryKind::Other;
    }
    default:
        return EntryKind::Other;
    }
}

// A link is taken like a file unless it leads to a folder.
bool linksToFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void appendName(std::string& path, const std::string& folder, const char* name)
{
    path.assign(folder);
    // A folder given with its trailing separator ("/" or "/media/") gets no
    // second one.
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
}

}  // namespace

void SearchFolder(const std::string& folder, std::vector<std::string>& found, MessagePump& pump,
                  std::chrono::nanoseconds pumpInterval)
{
    if (folder.empty())
        return;
    ThrottledPump pumper(&pump, pumpInterval);

    // Folders still to search, the next one at the back. A folder's listing is
    // read to its end and closed before any subfolder is opened, so only one
    // listing is open at a time and the depth of the tree costs no stack.
    std::vector<std::string> pending{folder};
    std::vector<std::string> subfolders;
    std::string path;

    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        subfolders.clear();

        DIR* listing = opendir(current.c_str());
        if (listing == nullptr)
            continue;  // no access or vanished: nothing from here, siblings go on
        while (const dirent* entry = readdir(listing)) {
            const char* name = entry->d_name;
            if (!isDotEntry(name)) {
                appendName(path, current, name);
                switch (entryKind(*entry, path)) {
                case EntryKind::Folder:
                    subfolders.push_back(path);
                    break;
                case EntryKind::Link:
                    if (hasFlvExtension(name, std::char_traits<char>::length(name)) && !linksToFolder(path))
                        found.push_back(path);
                    break;
                case EntryKind::Other:
                    if (hasFlvExtension(name, std::char_traits<char>::length(name)))
                        found.push_back(path);
                    break;
                }
            }
            pumper.tick();
        }
        closedir(listing);

        // Subfolders are searched in listing order: push them reversed.
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            pending.push_back(std::move(*it));
    }
}

std::string TrimNameBuffer(const std::string& text)
{
    const auto last = text.find_last_not_of(std::string("\0 ", 2));
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

}  // namespace tessaro
