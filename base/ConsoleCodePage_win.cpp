#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "base/ConsoleCodePage.h"

namespace tessaro::platform {
namespace {

// The code page to put back; 0 once it is back, or when nothing was changed.
std::atomic<UINT> g_previous{0};

void restore() {
    if (const UINT previous = g_previous.exchange(0); previous != 0) ::SetConsoleOutputCP(previous);
}

void restoreAtExit() { restore(); }

// abort() goes on to end the process once this returns.
void restoreOnAbort(int) { restore(); }

// Installed before the program's own handlers, so called after them: only
// an event they let pass reaches it, and Windows ends the process next.
BOOL WINAPI restoreOnConsoleEvent(DWORD) {
    restore();
    return FALSE;
}

}  // namespace

void useUtf8Console() {
    const UINT previous = ::GetConsoleOutputCP();
    if (previous == 0 || previous == CP_UTF8) return;
    if (!::SetConsoleOutputCP(CP_UTF8)) return;
    g_previous = previous;
    std::atexit(restoreAtExit);
    std::signal(SIGABRT, restoreOnAbort);
    ::SetConsoleCtrlHandler(restoreOnConsoleEvent, TRUE);
}

}  // namespace tessaro::platform
