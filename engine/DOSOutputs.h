#pragma once
// Captured console runner: starts one encoder with stdout and stderr on one
// pipe, hands every chunk it writes to ReceiveOutputs while pumping the
// message loop, and raises CommandOver once the run is over. ExecuteCommand
// runs to the end; StartCommand and ServiceRun let one loop drive several
// runners at once.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ChildProcess.h"
#include "base/ChildPump.h"
#include "base/MessageBoxes.h"
#include "base/MessagePump.h"

namespace tessaro {

// Image name of the encoder about to run ("conv", "coder", "coder2" here).
// Set by the batch before every run. It names the run only: a run ends with
// its own process tree, whatever other processes of that name are running.
extern std::string strEncoderExe;

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
    // message box when nothing could be started. The run is over when its
    // own process tree has ended and the pipe has been read dry: the child
    // has ended and no process holds the pipe any more (on Windows: the
    // child's job has no process left and the pipe is empty). Descendants
    // that keep the pipe open kLingerMs after the child has ended are killed
    // with its process group (job); if the pipe is still open kLingerMs after
    // that (a process that left the group), the run ends without it.
    std::string ExecuteCommand(const std::string& CommandLine = {});
    static constexpr int kLingerMs = 1000;

    // The steps of ExecuteCommand, for a loop that drives several runners.
    // StartCommand starts the run and returns at once (false, with the
    // message box, when nothing could be started). While busy(), the loop
    // calls ServiceRun, which hands on what waits (pumping messages between
    // chunks), applies the bounds above and, once the run is over, ends it
    // with CommandOver; between calls it waits on waitHandles() unless
    // hasPendingOutput(). AbandonRun kills and reaps a run still going.
    bool StartCommand(const std::string& CommandLine = {});
    bool busy() const { return m_child != nullptr; }
    void ServiceRun();
    bool hasPendingOutput() const { return m_begin != m_end; }
    void addWaitHandles(std::vector<NativeHandle>& handles) const;
    void AbandonRun();
    static constexpr std::int32_t kPassWaitMs = 50;

    // One chunk of at most 1024 bytes, exactly the bytes read, in order.
    std::function<void(const std::string& CommandOutputs)> ReceiveOutputs;
    // Raised once per started run, after the child has ended and been read dry.
    std::function<void()> CommandOver;

    // Exit status of the last run.
    const RunStatus& lastStatus() const;

    // Ends the running child and the processes it started, if any: they are
    // asked to end at once (SIGTERM to the child's process group) and killed
    // when the child has not ended within kTerminateGraceMs, or as soon as
    // the child has ended while others still hold the pipe. The run then
    // raises CommandOver as usual. Returns at once; harmless when no run is
    // in progress.
    void Terminate();
    static constexpr int kTerminateGraceMs = 3000;
    // True from Terminate() until the next run starts.
    bool terminated() const { return m_terminated; }

private:
    // Appends a chunk to the collected output, dropping its oldest bytes.
    void appendOutput(const std::string& chunk);
    // Cuts the collected output to its last kOutputLimit bytes.
    void trimOutput() const;
    // Hands on one chunk; false when nothing waits.
    bool readChunk();
    // Reads what is left, reaps the child and raises CommandOver.
    void endRun();

    using Clock = std::chrono::steady_clock;

    MessagePump& m_pump;
    MessageBoxes& m_messages;
    std::string m_commandLine;
    // Trimmed lazily, so that the cost of dropping old bytes stays small.
    mutable std::string m_outputs;
    RunStatus m_status;
    std::unique_ptr<ChildProcess> m_child;  // the child of the run in progress
    std::unique_ptr<ChildPump> m_reader;    // reads it and notices its end
    bool m_terminated = false;
    Clock::time_point m_terminatedAt;

    // The pipe is read in large blocks and handed on in chunks of at most
    // 1024 bytes: one system call per 1024 bytes would cap the drain rate
    // well below what an encoder writes.
    std::vector<char> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_treeKilled = false;
    Clock::time_point m_killedAt;  // when its tree was killed
};

}  // namespace tessaro
