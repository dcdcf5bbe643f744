#include <windows.h>

#include "base/WideText.h"
#include "input/FolderListing.h"

namespace tessaro::listing {

namespace {

bool isDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The form of a folder that the W functions take at any length, past
// MAX_PATH: its full path behind "\\?\" ("\\?\UNC\server\share\..." for a
// share). A path already in that form, or in the device namespace ("\\.\"),
// stays as it is; so does one that has no full path.
std::wstring longPathForm(const std::wstring& folder) {
    if (folder.rfind(L"\\\\?\\", 0) == 0 || folder.rfind(L"\\\\.\\", 0) == 0) return folder;
    const std::wstring full = wide::sizedText([&](DWORD size, wchar_t* buffer) {
        return ::GetFullPathNameW(folder.c_str(), size, buffer, nullptr);
    });
    if (full.empty()) return folder;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace

Folder rootFolder(const std::string& given) {
    return {given, wide::toUtf8(longPathForm(wide::fromUtf8(joined(given, ""))))};
}

std::string joined(const std::string& folder, std::string_view name) {
    std::string path = folder;
    // A folder given with its trailing separator ("C:\" or "D:\media\") gets no
    // second one.
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path.push_back('\\');
    path.append(name);
    return path;
}

bool listFolder(const Folder& folder,
                const std::function<void(std::string_view name, EntryKind kind)>& onEntry) {
    WIN32_FIND_DATAW entry;
    const HANDLE listing =
        ::FindFirstFileExW(wide::fromUtf8(joined(folder.listed, "*")).c_str(), FindExInfoBasic,
                           &entry, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (listing == INVALID_HANDLE_VALUE) return false;
    do {
        if (isDotEntry(entry.cFileName)) continue;
        const DWORD attributes = entry.dwFileAttributes;
        // A junction or a linked folder is never entered: it may loop.
        const EntryKind kind = !(attributes & FILE_ATTRIBUTE_DIRECTORY)      ? EntryKind::File
                               : (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Skip
                                                                             : EntryKind::Folder;
        onEntry(wide::toUtf8(entry.cFileName), kind);
    } while (::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    return true;
}

// Links to folders are listed as such (Skip) and never reach here.
bool linksToFolder(const std::string&) { return false; }

}  // namespace tessaro::listing
