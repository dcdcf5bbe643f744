#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "input/FolderListing.h"

namespace tessaro::listing {

namespace {

bool isDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

EntryKind entryKind(DIR* listing, const dirent& entry) {
    if (isDotEntry(entry.d_name)) return EntryKind::Skip;
    switch (entry.d_type) {
        case DT_DIR:
            return EntryKind::Folder;
        case DT_LNK:
            return EntryKind::Link;
        case DT_UNKNOWN: {
            // Some file systems do not report the type in the listing.
            struct stat info;
            if (fstatat(dirfd(listing), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                return EntryKind::File;
            if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
            return S_ISLNK(info.st_mode) ? EntryKind::Link : EntryKind::File;
        }
        default:
            return EntryKind::File;
    }
}

}  // namespace

Folder rootFolder(const std::string& given) { return {given, given}; }

std::string joined(const std::string& folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.assign(folder);
    // A folder given with its trailing separator ("/" or "/media/") gets no
    // second one.
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

bool listFolder(const Folder& folder,
                const std::function<void(std::string_view name, EntryKind kind)>& onEntry) {
    DIR* listing = opendir(folder.listed.c_str());
    if (listing == nullptr) return false;
    while (const dirent* entry = readdir(listing))
        onEntry(entry->d_name, entryKind(listing, *entry));
    closedir(listing);
    return true;
}

bool linksToFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace tessaro::listing
