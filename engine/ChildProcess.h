#pragma once
// One child process started from an argument vector, with its standard
// output and standard error on one pipe that the parent reads.

#include <sys/types.h>

#include <string>
#include <vector>

#include "engine/DOSOutputs.h"

namespace tessaro {

class ChildProcess {
public:
    enum class StartResult { Started, PipeFailed, SpawnFailed };
    enum class ReadResult { Data, Empty, EndOfFile, Failed };

    ChildProcess() = default;
    // Closes the descriptors still held; a child still running is left alone.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (looked up on PATH when it holds no '/') directly, never
    // through a shell: standard input from /dev/null, standard output and
    // standard error on one pipe, no other descriptor inherited. The result
    // tells a failed pipe from a program that could not be executed;
    // errorNumber() gives the system's error number then.
    StartResult start(const std::vector<std::string>& argv);
    int errorNumber() const { return m_error; }

    // Reads at most capacity bytes that wait in the pipe, without blocking.
    ReadResult read(char* buffer, std::size_t capacity, std::size_t* count);

    // Reaps the child when it has ended (never blocks) and fills status.
    // True once the child is gone.
    bool reap(RunStatus& status);
    bool ended() const { return m_ended; }

    // The pipe's read end, and a descriptor that becomes readable when the
    // child ends (-1 when the system has none); both for poll().
    int outputFd() const { return m_readFd; }
    int exitFd() const { return m_pidFd; }

    // Releases the pipe's read end.
    void closeOutput();

private:
    pid_t m_pid = -1;
    int m_readFd = -1;
    int m_pidFd = -1;
    int m_error = 0;
    bool m_ended = false;
};

}  // namespace tessaro
