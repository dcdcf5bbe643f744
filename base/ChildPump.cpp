#include "base/ChildPump.h"

namespace tessaro {

std::size_t ChildPump::readPipe(Pipe pipe, char* buffer, std::size_t capacity) {
    const bool errors = pipe == Pipe::Errors;
    if ((errors ? m_child.errorFd() : m_child.outputFd()) == kNoHandle) return 0;
    std::size_t count = 0;
    const ChildProcess::ReadResult r = errors ? m_child.readErrors(buffer, capacity, &count)
                                              : m_child.read(buffer, capacity, &count);
    switch (r) {
        case ChildProcess::ReadResult::Data:
            return count;
        case ChildProcess::ReadResult::Empty:
            return 0;
        case ChildProcess::ReadResult::Failed:
            m_failed = true;
            [[fallthrough]];
        case ChildProcess::ReadResult::EndOfFile:
            errors ? m_child.closeErrors() : m_child.closeOutput();
            return 0;
    }
    return 0;
}

std::size_t ChildPump::read(char* buffer, std::size_t capacity, Pipe& from) {
    for (int turn = 0; turn < 2; ++turn) {
        const Pipe pipe = m_next;
        m_next = pipe == Pipe::Output ? Pipe::Errors : Pipe::Output;
        if (const std::size_t n = readPipe(pipe, buffer, capacity)) {
            from = pipe;
            m_drained = false;
            return n;
        }
    }
    m_drained = true;
    return 0;
}

bool ChildPump::childEnded() {
    if (!m_ended && (m_child.ended() || m_child.hasEnded(m_status))) {
        m_ended = true;
        m_endedAt = Clock::now();
    }
    return m_ended;
}

ChildPump::Clock::duration ChildPump::endedFor() const {
    return m_ended ? Clock::now() - m_endedAt : Clock::duration::zero();
}

bool ChildPump::pipesAtEnd() const {
    return m_child.outputFd() == kNoHandle && m_child.errorFd() == kNoHandle;
}

bool ChildPump::over(Clock::duration quiet) {
    if (!childEnded()) return false;
    return pipesAtEnd() || (m_drained && endedFor() >= quiet);
}

void ChildPump::addWaitHandles(std::vector<NativeHandle>& handles) const {
    for (NativeHandle h : {m_child.outputFd(), m_child.errorFd()})
        if (h != kNoHandle) handles.push_back(h);
    if (!m_ended && m_child.exitFd() != kNoHandle) handles.push_back(m_child.exitFd());
}

void ChildPump::run(const std::function<void(Pipe, const char*, std::size_t)>& onData) {
    // Large blocks: one system call per small block would cap the drain rate.
    std::vector<char> buffer(64 * 1024);
    // Bounds the wait while the child's end cannot be waited for.
    constexpr int kWaitMs = 50;
    for (;;) {
        Pipe from = Pipe::Output;
        if (const std::size_t n = read(buffer.data(), buffer.size(), from)) {
            onData(from, buffer.data(), n);
            continue;
        }
        if (over()) return;
        wait(kWaitMs);
    }
}

}  // namespace tessaro
