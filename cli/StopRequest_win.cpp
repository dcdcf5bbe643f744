#include "cli/StopRequest.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace tessaro {
namespace {

std::atomic<int> g_signal{0};
constexpr DWORD kCleanupWaitMs = 4500;

// Ctrl-C counts as SIGINT, the other console events (Ctrl-Break, closing,
// log-off, shut-down) as SIGTERM, so that the exit status is the same as on
// POSIX. The handler runs on a thread of its own.
//
// After closing, log-off and shut-down Windows ends the process as soon as
// the handler returns, and some 5 s after the event at the latest. The main
// thread carries the stop out (ends the encoders, removes their partial
// output) and then leaves, which ends this thread too: until then it waits,
// a little less than Windows does.
BOOL WINAPI record(DWORD event) {
    g_signal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::Sleep(kCleanupWaitMs);
    return TRUE;
}

}  // namespace

void watchStopRequests() { ::SetConsoleCtrlHandler(record, TRUE); }

int stopRequest() {
    const int sig = g_signal;
    return sig == 0 ? 0 : 128 + sig;
}

}  // namespace tessaro
