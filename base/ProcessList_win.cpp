#include "base/ProcessList.h"

#include <windows.h>
#include <tlhelp32.h>

#include "base/Platform.h"
#include "base/WideText.h"

namespace tessaro {
namespace {

std::wstring baseName(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The file name of a process's image; "" when it cannot be asked.
std::wstring imageFileName(HANDLE process) {
    wchar_t path[MAX_PATH * 4];
    DWORD size = MAX_PATH * 4;
    if (!::QueryFullProcessImageNameW(process, 0, path, &size)) return {};
    return baseName(std::wstring(path, size));
}

}  // namespace

bool runsOwnImage(long pid) {
    if (pid <= 0) return false;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                         static_cast<DWORD>(pid));
    if (!process) return false;  // gone, or another user's
    // A process that has ended while a handle keeps it listed is not running.
    const std::wstring name =
        ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT ? imageFileName(process) : std::wstring();
    ::CloseHandle(process);
    if (name.empty()) return false;
    wchar_t own[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, own, MAX_PATH * 4);
    return n > 0 && ::CompareStringOrdinal(name.c_str(), -1, baseName(std::wstring(own, n)).c_str(),
                                           -1, TRUE) == CSTR_EQUAL;
}

bool isImageRunning(const std::string& imageName) {
    if (imageName.empty()) return false;
    const std::wstring wanted = wide::fromUtf8(imageName);
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    DWORD mySession = 0;
    const bool haveSession = ::ProcessIdToSessionId(::GetCurrentProcessId(), &mySession) != 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
         more = ::Process32NextW(snapshot, &entry)) {
        if (::CompareStringOrdinal(entry.szExeFile, -1, wanted.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
        // Only processes of this user's session count, as only the user's own do here.
        DWORD session = 0;
        if (haveSession && ::ProcessIdToSessionId(entry.th32ProcessID, &session) && session != mySession)
            continue;
        // A process that has ended while others hold its handle is not running.
        const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process) {
            found = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            ::CloseHandle(process);
        } else {
            found = true;  // listed and not ours to open: taken as running
        }
    }
    ::CloseHandle(snapshot);
    return found;
}

bool mayHaveWritten(long pid, double lastWrite) {
    if (pid <= 0) return false;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                         static_cast<DWORD>(pid));
    if (!process) return false;  // gone, or not this user's
    bool owner = false;
    DWORD session = 0, mySession = 0;
    const bool sameSession = !::ProcessIdToSessionId(static_cast<DWORD>(pid), &session) ||
                             !::ProcessIdToSessionId(::GetCurrentProcessId(), &mySession) ||
                             session == mySession;
    if (sameSession && ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        const std::wstring name = imageFileName(process);
        for (const char* own : {platform::kWindowExe, platform::kCliExe, platform::kConvExe,
                                platform::kCoderExe, platform::kCoder2Exe})
            owner = owner || (!name.empty() && ::CompareStringOrdinal(name.c_str(), -1,
                                                                      wide::fromUtf8(own).c_str(),
                                                                      -1, TRUE) == CSTR_EQUAL);
        FILETIME created{}, exited{}, kernel{}, user{};
        if (!owner && ::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
            ULARGE_INTEGER t;
            t.LowPart = created.dwLowDateTime;
            t.HighPart = created.dwHighDateTime;
            owner = static_cast<double>(t.QuadPart) / 1e7 - 11644473600.0 <= lastWrite + 1.0;
        } else if (!owner) {
            owner = true;  // live, and its start cannot be told
        }
    }
    ::CloseHandle(process);
    return owner;
}

}  // namespace tessaro
