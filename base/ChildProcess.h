#pragma once
// One child process started from an argument vector, with its standard
// output and standard error on pipes that the parent reads: one pipe for
// both, or one each.

#include <sys/types.h>

#include <string>
#include <vector>

#include "base/NativeHandle.h"

namespace tessaro {

// How a child process ended (and so how the last run of a DOSOutputs did).
struct RunStatus {
    bool started = false;  // a child was created
    bool exited = false;   // it ended through exit(); false when killed
    int exitCode = -1;     // valid when exited
    int signal = 0;        // terminating signal when killed, else 0
    // The child was reaped by someone else (SIGCHLD ignored): how it ended is
    // unknown, which never counts as a signal.
    bool unknown = false;
    long pid = 0;  // the child's process id
    // Terminate() reached the child before it had ended: how it ended is the
    // stop's doing, not the encoder's.
    bool stopped = false;
    bool succeeded() const { return started && exited && exitCode == 0; }
};

// The file a program name starts: a name that holds a folder separator as it
// is (when it can be executed), else the first executable file of that name
// in a folder of PATH (on Windows with ".exe" added to a name without an
// extension); "" when there is none.
std::string findOnPath(const std::string& name);

class ChildProcess {
public:
    enum class StartResult { Started, PipeFailed, SpawnFailed };
    enum class ReadResult { Data, Empty, EndOfFile, Failed };
    // Standard error on the output pipe, or on a pipe of its own.
    enum class Streams { Merged, Separate };

    ChildProcess() = default;
    // Closes the descriptors still held; a child still running is left alone
    // (on Windows a child that ends with its owner is ended with its tree).
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // What happens to the child when its owner (this process) ends first.
    enum class OwnerEnd {
        Ignore,     // nothing: it runs on
        Terminate,  // it is asked to end (SIGTERM), so it can clean up
        Kill,       // it is ended at once (SIGKILL)
    };

    // Starts argv[0] (looked up on PATH when it holds no '/') directly, never
    // through a shell: standard input from /dev/null, standard output and
    // standard error on the pipes, no other descriptor inherited, default
    // signal handling, in a process group of its own (so that terminate()
    // and kill() reach whatever it starts). On Windows the command line is
    // built so that the child's C runtime splits it back into argv, the window
    // is hidden, only the pipe handles are inherited, and a child that ends
    // with its owner runs in a job object of its own with everything it
    // starts (breaking away from this process's job where that takes no job
    // below it; where it may not break away either, it has no job of its
    // own and does not end with its owner). The result tells a failed pipe from a program that could not be
    // executed; errorNumber() gives the system's error number then.
    StartResult start(const std::vector<std::string>& argv, Streams streams = Streams::Merged,
                      OwnerEnd ownerEnd = OwnerEnd::Ignore);

    // Asks the child and the processes it started to end (SIGTERM to its
    // process group); kill() ends them at once (SIGKILL). Both work until the
    // child has been reaped, also after it has ended while its descendants
    // live on. On Windows both end the child's job, or, when it has none,
    // the child and the processes it started, found by their parent.
    void terminate();
    void kill();
    int errorNumber() const { return m_error; }
    pid_t pid() const { return m_pid; }

    // Reads at most capacity bytes that wait in the output (or the separate
    // error) pipe, without blocking. EndOfFile once no process holds the
    // pipe's write end any more (on Windows also when the pipe is empty and
    // the child's job has no process left).
    ReadResult read(char* buffer, std::size_t capacity, std::size_t* count);
    ReadResult readErrors(char* buffer, std::size_t capacity, std::size_t* count);

    // Reaps the child when it has ended (never blocks) and fills status.
    // True once the child is gone.
    bool reap(RunStatus& status);
    // True once the child has ended (never blocks), with status filled, but
    // without reaping it: its process id, and so its process group, stay
    // reserved, and terminate() and kill() still reach its descendants.
    bool hasEnded(RunStatus& status);
    // Waits for the child to end and fills status.
    void wait(RunStatus& status);
    bool ended() const { return m_ended; }

    // The pipes' read ends (kNoHandle once closed, and the error pipe when
    // merged), and a handle that is signalled when the child ends (kNoHandle
    // when the system has none): descriptors for poll() here, the pipe and
    // process handles on Windows.
    NativeHandle outputFd() const { return m_readFd; }
    NativeHandle errorFd() const { return m_errorFd; }
    NativeHandle exitFd() const { return m_pidFd; }

    // Releases a pipe's read end.
    void closeOutput();
    void closeErrors();

private:
    ReadResult readFrom(NativeHandle fd, char* buffer, std::size_t capacity, std::size_t* count);
    bool reapWith(RunStatus& status, int options);

    pid_t m_pid = -1;
    NativeHandle m_readFd = kNoHandle;
    NativeHandle m_errorFd = kNoHandle;
    NativeHandle m_pidFd = kNoHandle;       // the process handle on Windows
    NativeHandle m_job = kNoHandle;         // Windows: the job of the child and its descendants
    NativeHandle m_endedChild = kNoHandle;  // Windows: the ended child's handle, when it has no job
    int m_error = 0;
    bool m_ended = false;   // reaped
    bool m_exited = false;  // known to have ended, perhaps not reaped yet
};

}  // namespace tessaro
