#include "base/Platform.h"
#include "base/PlatformNative.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/WideText.h"

namespace tessaro::platform {

std::string native::withoutTrailingSeparators(std::string folder) {
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

std::string native::applicationFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return ".";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? "." : wide::toUtf8(path.substr(0, slash));
}

std::string native::temporaryFolder() {
    // %TEMP% may be longer than MAX_PATH.
    const std::wstring path =
        wide::sizedText([](DWORD size, wchar_t* buffer) { return ::GetTempPathW(size, buffer); });
    const std::string base =
        path.empty() ? "." : native::withoutTrailingSeparators(wide::toUtf8(path));
    return base + "\\tessaro";
}

bool prepareTemporaryFolder(std::string* why) {
    const std::string folder = temporaryFolder();
    const std::wstring path = wide::fromUtf8(folder);
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return fail(folder + ": " + wide::errorText(::GetLastError()));
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return fail(folder + ": " + wide::errorText(::GetLastError()));
    // A junction or symbolic link could lead the files anywhere.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return fail(folder + " is a reparse point");
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return fail(folder + " is not a folder");
    return true;
}

std::string temporaryFile(const char* name) { return temporaryFolder() + kSeparator + name; }

long processId() { return static_cast<long>(::GetCurrentProcessId()); }

double ownFileTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide::fromUtf8(path).c_str(), GetFileExInfoStandard, &data))
        return -1;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return -1;
    ULARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // 100 ns units since 1601
    return static_cast<double>(t.QuadPart) / 1e7 - 11644473600.0;
}

// A child's end needs no handling of its own here.
void restoreDefaultChildHandling() {}

std::size_t maxFileNameLength(const std::string& folder) {
    // The volume's limit counts UTF-16 units; 255 bytes of UTF-8 always fit in
    // as many units, so the smaller of the two is safe. Asked through a handle
    // of the folder itself, which needs no access to the volume's device.
    const HANDLE handle =
        ::CreateFileW(wide::fromUtf8(folder.empty() ? "." : folder).c_str(), 0,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 255;
    DWORD length = 0;
    const BOOL known =
        ::GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, &length, nullptr, nullptr, 0);
    ::CloseHandle(handle);
    return known && length > 0 ? std::min<std::size_t>(length, 255) : 255;
}

std::string applicationFile(const char* name) { return applicationFolder() + kSeparator + name; }

std::vector<std::string> commandArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) args.push_back(wide::toUtf8(wide[i]));
    ::LocalFree(wide);
    return args;
}

std::string defaultOutputFolder() { return userFolders().defaultOutput; }

UserFolders userFoldersFor(const std::string& appFolder, bool appWritable, const char* appData,
                           const char* profile) {
    const auto usable = [](const char* folder) { return folder && folder[0] != '\0'; };
    if (appWritable || !usable(appData)) return {appFolder, appFolder + kDefaultOutputSuffix};
    const std::string output = usable(profile)
                                   ? native::withoutTrailingSeparators(profile) + "\\Tessaro"
                                   : appFolder + kDefaultOutputSuffix;
    return {native::withoutTrailingSeparators(appData) + "\\tessaro", output};
}

std::string homeFolder() {
    const wchar_t* profile = ::_wgetenv(L"USERPROFILE");
    return profile ? wide::toUtf8(profile) : std::string();
}

UserFolders userFolders() {
    const std::string app = applicationFolder();
    // The user's files stay beside the program when it is a portable copy
    // the user can write to. An installed copy has the installer's
    // uninstaller beside it and keeps them out of its folder even where that
    // is writable (an administrator, Wine), as uninstalling removes the folder.
    const auto portableAndWritable = [&app] {
        if (::GetFileAttributesW(wide::fromUtf8(app + "\\Uninstall.exe").c_str()) !=
            INVALID_FILE_ATTRIBUTES)
            return false;
        // Writable when a file can be made there (attributes say nothing of
        // the folder's access rights).
        const std::wstring probe =
            wide::fromUtf8(app + "\\.tessaro-write-" + std::to_string(processId()));
        const HANDLE file =
            ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        ::CloseHandle(file);
        return true;
    };
    const auto variable = [](const wchar_t* name) {
        const wchar_t* value = ::_wgetenv(name);
        return value ? wide::toUtf8(value) : std::string();
    };
    const std::string appData = variable(L"APPDATA"), profile = variable(L"USERPROFILE");
    return userFoldersFor(app, portableAndWritable(), appData.c_str(), profile.c_str());
}

std::string settingsFile(const char* name) { return userFolders().settings + kSeparator + name; }

bool prepareSettingsFolder() {
    const std::filesystem::path folder = nativePath(userFolders().settings);
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    std::filesystem::create_directories(folder, ec);
    return !ec;
}

int openFile(const std::string& path, int flags, int mode) {
    return ::_wopen(wide::fromUtf8(path).c_str(), flags | _O_BINARY | _O_NOINHERIT, mode);
}

std::tm localTime(std::time_t time) {
    std::tm local{};
    localtime_s(&local, &time);
    return local;
}

}  // namespace tessaro::platform
