#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "base/ChildProcess.h"
#include "base/Platform.h"
#include "base/WideText.h"
#include "encoders/FfmpegProcess.h"

namespace tessaro {
namespace {

// The children that runChild runs, and the stop received: the console's
// control handler runs on a thread of its own.
// Several when a picture is encoded in pieces; nullptr marks a free slot.
constexpr int kChildSlots = 64;
std::atomic<HANDLE> g_children[kChildSlots];
std::atomic<int> g_stopSignal{0};
std::atomic<bool> g_ending{false};

void endRunningChildren() {
    for (const auto& slot : g_children)
        if (HANDLE child = slot.load()) ::TerminateProcess(child, 1);
}

// The slot that now holds child; -1 when every slot is taken (the child then
// ends with this process only).
int holdChild(HANDLE child) {
    for (int i = 0; i < kChildSlots; ++i) {
        HANDLE free = nullptr;
        if (g_children[i].compare_exchange_strong(free, child)) return i;
    }
    return -1;
}

// Ctrl-C counts as SIGINT; Ctrl-Break, the console's closing, the log-off
// and the shut-down as SIGTERM. The child has no console of its own, so it
// is ended here. After the last three Windows ends this process as soon as
// the handler returns (and some 5 s after the event at the latest): the
// handler waits for the encoder to remove its partial output and leave, which
// ends this thread too.
BOOL WINAPI onConsoleControl(DWORD event) {
    g_stopSignal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    endRunningChildren();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::Sleep(4500);
    return TRUE;
}

bool isFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(wide::fromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void watchStopSignals() { ::SetConsoleCtrlHandler(onConsoleControl, TRUE); }

int receivedStopSignal() { return g_stopSignal; }

void endChildren() {
    g_ending = true;
    endRunningChildren();
}

void allowChildren() { g_ending = false; }

std::string findFfmpeg() {
    const std::string beside = platform::applicationFile("ffmpeg.exe");
    return isFile(beside) ? beside : findOnPath("ffmpeg.exe");
}

std::string ffmpegMissingReason() {
    return "ffmpeg.exe was found neither in " + platform::applicationFolder() + " nor on PATH";
}

ChildStatus runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::function<void(const std::string&)>& onStdoutLine,
                     const std::function<void(const std::string&)>& onStderrLine) {
    ChildStatus status;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());

    // The child is in a job that ends with this process, so a stopped
    // encoder never leaves its ffmpeg behind.
    ChildProcess child;
    switch (child.start(argv, ChildProcess::Streams::Separate, ChildProcess::OwnerEnd::Kill)) {
        case ChildProcess::StartResult::Started:
            status.started = true;
            break;
        case ChildProcess::StartResult::PipeFailed:
            status.startError = wide::errorText(static_cast<unsigned long>(child.errorNumber()));
            break;
        case ChildProcess::StartResult::SpawnFailed:
            status.startError =
                program + ": " + wide::errorText(static_cast<unsigned long>(child.errorNumber()));
            break;
    }
    if (!status.started) return status;
    // A handle of the handler's own: the child's is closed once it has ended.
    HANDLE own = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), child.exitFd(), ::GetCurrentProcess(), &own,
                      PROCESS_TERMINATE, FALSE, 0);
    const int slot = own ? holdChild(own) : -1;
    // A stop that came just before the child started still ends it.
    if (g_stopSignal != 0 || g_ending) child.kill();

    drainChild(child, status, onStdoutLine, onStderrLine);
    if (slot >= 0) g_children[slot] = nullptr;
    if (own) ::CloseHandle(own);
    return status;
}

}  // namespace tessaro
