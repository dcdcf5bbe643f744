#include <windows.h>

#include <string>

#include "shell/SingleInstance.h"

namespace tessaro {
namespace {

std::wstring baseName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool isSameProgramRunning(qint64 pid) {
    if (pid <= 0) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process) return false;  // gone, or another user's
    DWORD code = 0;
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const bool live = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE &&
                      QueryFullProcessImageNameW(process, 0, image, &size);
    CloseHandle(process);
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    return live && _wcsicmp(baseName(image).c_str(), baseName(own).c_str()) == 0;
}

}  // namespace tessaro
