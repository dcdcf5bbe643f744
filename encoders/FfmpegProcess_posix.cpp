#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "base/ChildProcess.h"
#include "encoders/FfmpegProcess.h"

namespace tessaro {
namespace {

// The children runChild is running (several when a picture is encoded in
// pieces), for the signal handler: 0 marks a free slot.
constexpr int kChildSlots = 64;
std::atomic<pid_t> g_children[kChildSlots];
static_assert(std::atomic<pid_t>::is_always_lock_free);
volatile sig_atomic_t g_stopSignal = 0;
std::atomic<bool> g_ending{false};

void signalChildren(int sig) {
    for (const auto& slot : g_children)
        if (const pid_t pid = slot.load(); pid > 0) ::kill(pid, sig);
}

void forwardSignal(int sig) {
    g_stopSignal = sig;
    signalChildren(sig);
}

// The slot that now holds pid; -1 when every slot is taken (the child then
// hears no stop: it still ends with this process).
int holdChild(pid_t pid) {
    for (int i = 0; i < kChildSlots; ++i) {
        pid_t free = 0;
        if (g_children[i].compare_exchange_strong(free, pid)) return i;
    }
    return -1;
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

void endChildren() {
    g_ending = true;
    signalChildren(SIGKILL);
}

void allowChildren() { g_ending = false; }

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
    int slot = -1;
    // ffmpeg never outlives the encoder, however the encoder ends.
    switch (child.start(argv, ChildProcess::Streams::Separate, ChildProcess::OwnerEnd::Kill)) {
        case ChildProcess::StartResult::Started:
            status.started = true;
            slot = holdChild(child.pid());
            if (g_stopSignal != 0) ::kill(child.pid(), g_stopSignal);
            if (g_ending) ::kill(child.pid(), SIGKILL);
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
        if (slot >= 0) g_children[slot] = 0;
    }
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    return status;
}

}  // namespace tessaro
