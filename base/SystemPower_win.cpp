#include <windows.h>
// powrprof.h needs the types of windows.h.
#include <powrprof.h>

#include "base/SystemPower.h"
#include "base/WideText.h"

namespace tessaro {

namespace {

// Suspending and powering off both need the shut-down privilege, which a
// process holds but has not enabled.
std::string enableShutDownPrivilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return wide::errorText(::GetLastError());
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    std::string why;
    if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
        why = wide::errorText(::GetLastError());
    } else {
        // Succeeds without enabling anything when the privilege is not held;
        // GetLastError tells.
        ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        const DWORD error = ::GetLastError();
        if (error != ERROR_SUCCESS) why = wide::errorText(error);
    }
    ::CloseHandle(token);
    return why;
}

std::string refused(const std::string& why) { return "系统拒绝了请求（" + why + "）"; }

}  // namespace

SleepInhibitor::SleepInhibitor() {
    m_held = ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

SleepInhibitor::~SleepInhibitor() {
    if (m_held) ::SetThreadExecutionState(ES_CONTINUOUS);
}

std::string requestSleep() {
    if (std::string why = enableShutDownPrivilege(); !why.empty()) return refused(why);
    if (!::SetSuspendState(FALSE, FALSE, FALSE)) return refused(wide::errorText(::GetLastError()));
    return {};
}

std::string requestShutDown() {
    if (std::string why = enableShutDownPrivilege(); !why.empty()) return refused(why);
    if (!::ExitWindowsEx(EWX_POWEROFF, SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_FLAG_PLANNED))
        return refused(wide::errorText(::GetLastError()));
    return {};
}

}  // namespace tessaro
