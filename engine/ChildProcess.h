#pragma once
// One child process started from an argument vector, with its standard
// output and standard error on pipes that the parent reads: one pipe for
// both, or one each.

#include <sys/types.h>

#include <string>
#include <vector>

#include "engine/DOSOutputs.h"
#include "engine/NativeHandle.h"

namespace tessaro {

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
    // Closes the descriptors still held; a child still running is left alone.
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
    // signal handling. On Windows the command line is built so that the
    // child's C runtime splits it back into argv, the window is hidden, only
    // the pipe handles are inherited and the child ends with this process. The result tells a failed pipe from a program that
    // could not be executed; errorNumber() gives the system's error number then.
    StartResult start(const std::vector<std::string>& argv, Streams streams = Streams::Merged,
                      OwnerEnd ownerEnd = OwnerEnd::Ignore);

    // Asks a running child to end (SIGTERM); kill() ends it at once (SIGKILL).
    // Nothing happens once it has been reaped.
    void terminate();
    void kill();
    int errorNumber() const { return m_error; }
    pid_t pid() const { return m_pid; }

    // Reads at most capacity bytes that wait in the output (or the separate
    // error) pipe, without blocking.
    ReadResult read(char* buffer, std::size_t capacity, std::size_t* count);
    ReadResult readErrors(char* buffer, std::size_t capacity, std::size_t* count);

    // Reaps the child when it has ended (never blocks) and fills status.
    // True once the child is gone.
    bool reap(RunStatus& status);
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
    NativeHandle m_pidFd = kNoHandle;  // the process handle on Windows
    int m_error = 0;
    bool m_ended = false;
};

}  // namespace tessaro
