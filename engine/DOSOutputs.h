#pragma once
// Captured console runner: starts one encoder with stdout and stderr on one
// pipe, hands every chunk it writes to ReceiveOutputs while pumping the
// message loop, and raises CommandOver once the run is over.

#include <chrono>
#include <functional>
#include <string>

#include "engine/MessageBoxes.h"
#include "engine/MessagePump.h"

namespace tessaro {

class ChildProcess;

// Image name of the encoder about to run ("conv", "coder", "coder2" here).
// Set by the batch before every run; the runner ends a run only when the pipe
// is empty and no process of this name is running.
extern std::string strEncoderExe;

// How the last run of a DOSOutputs ended.
struct RunStatus {
    bool started = false;  // a child was created
    bool exited = false;   // it ended through exit(); false when killed
    int exitCode = -1;     // valid when exited
    int signal = 0;        // terminating signal when killed, else 0
    // The child was reaped by someone else (SIGCHLD ignored): how it ended is
    // unknown, which never counts as a signal.
    bool unknown = false;
    long pid = 0;  // the child's process id
    bool succeeded() const { return started && exited && exitCode == 0; }
};

class DOSOutputs {
public:
    // The collected output keeps at most this many of the last bytes read.
    static constexpr std::size_t kOutputLimit = 1024 * 1024;

    DOSOutputs(MessagePump& pump, MessageBoxes& messages);
    ~DOSOutputs();
    DOSOutputs(const DOSOutputs&) = delete;
    DOSOutputs& operator=(const DOSOutputs&) = delete;

    // The command line of the next run; kept after the run.
    void setCommandLine(const std::string& DOSCommand);
    const std::string& CommandLine() const;

    // Everything read during the current or last run (the last 1 MiB of it).
    const std::string& Outputs() const;

    // Runs the command line (replaced first by a non-empty argument) to its
    // end and returns the collected output; empty text, no events and a
    // message box when nothing could be started.
    std::string ExecuteCommand(const std::string& CommandLine = {});

    // One chunk of at most 1024 bytes, exactly the bytes read, in order.
    std::function<void(const std::string& CommandOutputs)> ReceiveOutputs;
    // Raised once per started run, after the child has ended and been read dry.
    std::function<void()> CommandOver;

    // Exit status of the last run.
    const RunStatus& lastStatus() const;

    // Ends the running child, if any: it is asked to end at once and killed
    // when it has not ended within kTerminateGraceMs. The run then ends as
    // soon as the child has gone (other processes of the image name are not
    // waited for) and raises CommandOver as usual. Returns at once.
    void Terminate();
    static constexpr int kTerminateGraceMs = 3000;
    // True from Terminate() until the next run starts.
    bool terminated() const { return m_terminated; }

private:
    // True when a live (non-zombie) process of the current user has this image
    // name, compared without regard to case.
    bool IsProcessRunning(const std::string& imageName) const;
    // Appends a chunk to the collected output, dropping its oldest bytes.
    void appendOutput(const std::string& chunk);
    // Cuts the collected output to its last kOutputLimit bytes.
    void trimOutput() const;

    MessagePump& m_pump;
    MessageBoxes& m_messages;
    std::string m_commandLine;
    // Trimmed lazily, so that the cost of dropping old bytes stays small.
    mutable std::string m_outputs;
    RunStatus m_status;
    ChildProcess* m_child = nullptr;  // the child of the run in progress
    bool m_terminated = false;
    std::chrono::steady_clock::time_point m_terminatedAt;
};

}  // namespace tessaro
