#include "cli/StopRequest.h"

#include <signal.h>

namespace tessaro {
namespace {

volatile sig_atomic_t g_signal = 0;

void record(int sig) { g_signal = sig; }

}  // namespace

void watchStopRequests() {
    struct sigaction sa {};
    sa.sa_handler = record;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

int stopRequest() { return g_signal == 0 ? 0 : 128 + g_signal; }

}  // namespace tessaro
