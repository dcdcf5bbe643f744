#include <windows.h>

#include <algorithm>

#include "base/ChildPump.h"

namespace tessaro {

namespace {

// Anonymous pipes cannot be waited for: the wait is cut into slices this
// long, and the pipes are looked at between them.
constexpr int kSliceMs = 5;

// The pipe has bytes waiting, or is broken.
bool pipeReady(NativeHandle pipe) {
    if (pipe == kNoHandle) return false;
    DWORD waiting = 0;
    return !::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) || waiting > 0;
}

}  // namespace

void ChildPump::wait(int timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    for (;;) {
        if (pipeReady(m_child.outputFd()) || pipeReady(m_child.errorFd())) return;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kSliceMs));
        if (!m_ended && m_child.exitFd() != kNoHandle) {
            if (::WaitForSingleObject(m_child.exitFd(), slice) != WAIT_TIMEOUT) return;
        } else {
            ::Sleep(slice);
        }
    }
}

}  // namespace tessaro
