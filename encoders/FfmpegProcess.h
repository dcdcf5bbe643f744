#pragma once
// Runs ffmpeg as a child of the encoder (never through a shell) and hands
// its two output streams to the caller line by line until it has ended.

#include <functional>
#include <string>
#include <vector>

#include "base/ChildProcess.h"

namespace tessaro {

struct ChildStatus : RunStatus {
    std::string startError;  // why it could not be started
};

// From now on SIGINT, SIGTERM and SIGHUP no longer end this process: they are
// recorded (receivedStopSignal) and passed on to the child that runChild runs;
// a write to a closed output fails instead of ending the process (SIGPIPE).
void watchStopSignals();
// The last of those signals received, 0 when none.
int receivedStopSignal();

// Kills every child that runChild is running, on any thread, and every one
// it starts from now on: the other pieces of a picture when one has failed.
void endChildren();
// Lets runChild start children again after endChildren.
void allowChildren();

// The ffmpeg the encoders run: on Windows "ffmpeg.exe" beside the encoder
// (in data\) first, then on PATH; here "ffmpeg" on PATH. "" when none.
std::string findFfmpeg();
// Why findFfmpeg() found nothing, for the user.
std::string ffmpegMissingReason();

// Hands each line of a started child's two streams to the matching callback
// (without its line end) until the run is over by ChildPump's rule (the
// child has ended and its pipes are at their end, or have stayed quiet for a
// moment after it), then reaps the child into status.
void drainChild(ChildProcess& child, ChildStatus& status,
                const std::function<void(const std::string&)>& onStdoutLine,
                const std::function<void(const std::string&)>& onStderrLine);

// Runs program with args (args[0] is not the program name: it is added) with
// stdin from /dev/null; each line of the child's stdout and stderr goes to the
// matching callback (without its line end). Returns once drainChild does.
// SIGINT, SIGTERM and SIGHUP received meanwhile are passed on to the child;
// the child is killed when this process ends. Threads may run several at once.
ChildStatus runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::function<void(const std::string&)>& onStdoutLine,
                     const std::function<void(const std::string&)>& onStderrLine);

}  // namespace tessaro
