#pragma once
// Reads a started ChildProcess's pipes and notices its end: the one loop
// every caller of a child uses. Only the waiting between reads differs per
// system (ChildPump_posix.cpp, ChildPump_win.cpp).

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "base/ChildProcess.h"
#include "base/NativeHandle.h"

namespace tessaro {

class ChildPump {
public:
    enum class Pipe { Output, Errors };
    using Clock = std::chrono::steady_clock;
    // Once the child ended this long ago, the run is over as soon as its
    // pipes are found empty, even while a descendant still holds one (a
    // grandchild that inherited the write end must not keep the caller
    // waiting).
    static constexpr std::chrono::milliseconds kQuietAfterExit{500};

    // The child must have been started; the pump reads it until it is over,
    // and fills `status` once it sees the child's end.
    ChildPump(ChildProcess& child, RunStatus& status) : m_child(child), m_status(status) {}

    // Reads what waits in one open pipe without blocking, the pipes taking
    // turns: the number of bytes read (0 when none waits) and, in `from`,
    // their pipe. A pipe is closed at its end of file; a failed read closes
    // it too and is remembered (failed()).
    std::size_t read(char* buffer, std::size_t capacity, Pipe& from);

    // True once the child has ended (checked without reaping it).
    bool childEnded();
    // How long ago the child was first seen ended (zero before).
    Clock::duration endedFor() const;
    // Every pipe has reached its end (or failed).
    bool pipesAtEnd() const;
    bool failed() const { return m_failed; }

    // The run is over: the child has ended and every pipe is at its end, or
    // the child ended at least `quiet` ago and the pipes were found empty.
    bool over(Clock::duration quiet = kQuietAfterExit);

    // Blocks for at most timeoutMs, or until a pipe has bytes or a hang-up,
    // or the child ends (on Windows, where anonymous pipes cannot be waited
    // for, the pipes are looked at every few milliseconds).
    void wait(int timeoutMs);
    // What the caller's own wait may wake on: the open pipes, and the child's
    // end handle until it has ended.
    void addWaitHandles(std::vector<NativeHandle>& handles) const;

    // Reads the whole run, handing every block to onData, until over();
    // leaves the child unreaped (reap it with ChildProcess::wait).
    void run(const std::function<void(Pipe, const char*, std::size_t)>& onData);

private:
    // Reads one pipe; 0 when nothing waits there.
    std::size_t readPipe(Pipe pipe, char* buffer, std::size_t capacity);

    ChildProcess& m_child;
    RunStatus& m_status;
    Pipe m_next = Pipe::Output;
    bool m_ended = false;
    bool m_failed = false;
    bool m_drained = false;  // the last read found every open pipe empty
    Clock::time_point m_endedAt;
};

}  // namespace tessaro
