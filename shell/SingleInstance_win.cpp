#include <windows.h>

#include <string>

#include "shell/SingleInstance.h"

namespace tessaro {
namespace {

std::wstring baseName(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool isSameProgramRunning(qint64 pid) {
    if (pid <= 0) return false;
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process) return false;  // gone, or another user's
    wchar_t path[MAX_PATH * 4];
    DWORD size = MAX_PATH * 4;
    // A process that has ended while a handle keeps it listed is not running.
    const bool alive = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT &&
                       ::QueryFullProcessImageNameW(process, 0, path, &size);
    ::CloseHandle(process);
    if (!alive) return false;
    wchar_t own[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, own, MAX_PATH * 4);
    return n > 0 && ::CompareStringOrdinal(baseName(std::wstring(path, size)).c_str(), -1,
                                           baseName(std::wstring(own, n)).c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace tessaro
