#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "shell/TerminationWatch.h"

namespace tessaro {
namespace {

// The handler only writes a byte into this pipe; the event loop reads it.
int g_pipe[2] = {-1, -1};

void noteSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);  // a full pipe already tells
    errno = saved;
}

constexpr int kSignals[] = {SIGTERM, SIGHUP};

}  // namespace

TerminationWatch::TerminationWatch(std::function<void()> requested, QObject* parent)
    : QObject(parent), m_requested(std::move(requested)) {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        bool signalled = false;
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) signalled = true;
        if (signalled && m_requested) m_requested();
    });
    struct sigaction sa {};
    sa.sa_handler = noteSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
}

TerminationWatch::~TerminationWatch() {
    if (g_pipe[0] < 0) return;
    for (int sig : kSignals) ::signal(sig, SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace tessaro
