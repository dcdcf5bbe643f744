#include "input/FileSearch.h"

#include <windows.h>

#include <cwchar>
#include <utility>

#include "base/WideText.h"

namespace tessaro {

namespace {

// Name ends in ".flv" in any letter case.
bool hasFlvExtension(const wchar_t* name)
{
    const std::size_t length = std::wcslen(name);
    if (length < 4)
        return false;
    const wchar_t* tail = name + length - 4;
    auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    return upper(tail[0]) == L'.' && upper(tail[1]) == L'F' && upper(tail[2]) == L'L' && upper(tail[3]) == L'V';
}

bool isDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

std::wstring joined(const std::wstring& folder, const wchar_t* name)
{
    std::wstring path = folder;
    // A folder given with its trailing separator ("C:\" or "D:\media\") gets no
    // second one.
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/'))
        path.push_back(L'\\');
    path.append(name);
    return path;
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

// A folder as the user gave it (and as the paths found in it are shown), and
// the long form the search lists it by.
struct Folder {
    std::wstring shown, listed;
};

}  // namespace

void SearchFolder(const std::string& folder, std::vector<std::string>& found, MessagePump& pump,
                  std::chrono::nanoseconds pumpInterval)
{
    if (folder.empty())
        return;
    ThrottledPump pumper(&pump, pumpInterval);

    // Folders still to search, the next one at the back; one listing open at a time.
    const std::wstring given = wide::fromUtf8(folder);
    std::vector<Folder> pending{{given, longPathForm(joined(given, L""))}};
    std::vector<Folder> subfolders;

    while (!pending.empty()) {
        const Folder current = std::move(pending.back());
        pending.pop_back();
        subfolders.clear();

        WIN32_FIND_DATAW entry;
        const HANDLE listing =
            ::FindFirstFileExW(joined(current.listed, L"*").c_str(), FindExInfoBasic, &entry,
                               FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (listing == INVALID_HANDLE_VALUE)
            continue;  // no access or vanished: nothing from here, siblings go on
        do {
            const wchar_t* name = entry.cFileName;
            if (isDotEntry(name))
                continue;
            const DWORD attributes = entry.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction or a linked folder is never entered: it may loop.
                if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    subfolders.push_back(
                        {joined(current.shown, name), joined(current.listed, name)});
            } else if (hasFlvExtension(name)) {
                found.push_back(wide::toUtf8(joined(current.shown, name)));
            }
            pumper.tick();
        } while (::FindNextFileW(listing, &entry));
        ::FindClose(listing);

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
