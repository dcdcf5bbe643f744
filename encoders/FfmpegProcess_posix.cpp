#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/ChildProcess.h"
#include "encoders/FfmpegProcess.h"

namespace tessaro {
namespace {

volatile sig_atomic_t g_child = 0;
volatile sig_atomic_t g_stopSignal = 0;

void forwardSignal(int sig) {
    g_stopSignal = sig;
    if (g_child > 0) ::kill(static_cast<pid_t>(g_child), sig);
}

void installForwarding(struct sigaction* oldInt, struct sigaction* oldTerm,
                       struct sigaction* oldHup) {
    struct sigaction sa {};
    sa.sa_handler = forwardSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, oldInt);
    ::sigaction(SIGTERM, &sa, oldTerm);
    ::sigaction(SIGHUP, &sa, oldHup);
}

}  // namespace

void watchStopSignals() {
    installForwarding(nullptr, nullptr, nullptr);
    // An owner that has gone must not kill us on the next progress line before
    // the partial output is removed; its end arrives as SIGTERM.
    ::signal(SIGPIPE, SIG_IGN);
}

int receivedStopSignal() { return g_stopSignal; }

std::string findFfmpeg() { return findOnPath("ffmpeg"); }

std::string ffmpegMissingReason() {
    return "ffmpeg was not found on PATH (install the ffmpeg package)";
}

ChildStatus runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::function<void(const std::string&)>& onStdoutLine,
                     const std::function<void(const std::string&)>& onStderrLine) {
    ChildStatus status;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());

    struct sigaction oldInt {
    }, oldTerm{}, oldHup{};
    installForwarding(&oldInt, &oldTerm, &oldHup);

    // A stop that arrives while the child starts waits until its pid is known,
    // and is then passed on; one that came before ends it at once. The child
    // itself starts with nothing blocked.
    sigset_t stops, before;
    sigemptyset(&stops);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, sig);
    ::sigprocmask(SIG_BLOCK, &stops, &before);
    ChildProcess child;
    // ffmpeg never outlives the encoder, however the encoder ends.
    switch (child.start(argv, ChildProcess::Streams::Separate, ChildProcess::OwnerEnd::Kill)) {
        case ChildProcess::StartResult::Started:
            status.started = true;
            g_child = child.pid();
            if (g_stopSignal != 0) ::kill(child.pid(), g_stopSignal);
            break;
        case ChildProcess::StartResult::PipeFailed:
            status.startError = std::strerror(child.errorNumber());
            break;
        case ChildProcess::StartResult::SpawnFailed:
            status.startError = program + ": " + std::strerror(child.errorNumber());
            break;
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    if (status.started) {
        drainChild(child, status, onStdoutLine, onStderrLine);
        g_child = 0;
    }
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    return status;
}

}  // namespace tessaro
