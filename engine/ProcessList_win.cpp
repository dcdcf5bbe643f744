#include "engine/ProcessList.h"

#include <windows.h>
#include <tlhelp32.h>

#include "engine/WideText.h"

namespace tessaro {

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

}  // namespace tessaro
