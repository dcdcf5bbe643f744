#include "cli/StopRequest.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace tessaro {
namespace {

std::atomic<int> g_signal{0};

// Ctrl-C counts as SIGINT, the other console events (Ctrl-Break, closing,
// log-off, shut-down) as SIGTERM, so that the exit status is the same as on
// POSIX. The handler runs on a thread of its own.
BOOL WINAPI record(DWORD event) {
    g_signal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    return TRUE;
}

}  // namespace

void watchStopRequests() { ::SetConsoleCtrlHandler(record, TRUE); }

int stopRequest() {
    const int sig = g_signal;
    return sig == 0 ? 0 : 128 + sig;
}

}  // namespace tessaro
