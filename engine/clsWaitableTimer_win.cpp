#include "engine/clsWaitableTimer.h"

#include <windows.h>

#include <system_error>
#include <vector>

namespace tessaro {
namespace {

// Pipes cannot be waited for: they are looked at this often meanwhile, and
// the pump runs at least as often.
constexpr DWORD kSliceMs = 10;

[[noreturn]] void fail() {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "[clsWaitableTimer.Wait]");
}

bool pipeIsReady(HANDLE pipe) {
    DWORD waiting = 0;
    // A broken pipe (the writer gone) wakes the wait as a hang-up does.
    return !::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) || waiting > 0;
}

// Dispatches the thread's pending window messages.
void dispatchMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

void clsWaitableTimer::Wait(std::int32_t MilliSeconds, const std::vector<NativeHandle>& wakeFds) {
    struct Timer {
        HANDLE h = ::CreateWaitableTimerW(nullptr, TRUE, nullptr);
        ~Timer() {
            if (h) ::CloseHandle(h);
        }
    } timer;
    if (!timer.h) fail();
    LARGE_INTEGER due;
    due.QuadPart = -10000LL * (MilliSeconds > 0 ? MilliSeconds : 0);  // relative, in 100 ns
    if (!::SetWaitableTimer(timer.h, &due, 0, nullptr, nullptr, FALSE)) fail();

    std::vector<HANDLE> objects{timer.h};
    std::vector<HANDLE> pipes;
    for (HANDLE h : wakeFds) {
        if (!h) continue;
        if (::GetFileType(h) == FILE_TYPE_PIPE)
            pipes.push_back(h);
        else
            objects.push_back(h);
    }
    for (;;) {
        for (HANDLE pipe : pipes)
            if (pipeIsReady(pipe)) return;
        const DWORD r = ::MsgWaitForMultipleObjects(static_cast<DWORD>(objects.size()), objects.data(), FALSE,
                                                    kSliceMs, QS_ALLINPUT);
        if (r == WAIT_FAILED) fail();
        if (r == WAIT_OBJECT_0 + objects.size()) dispatchMessages();
        m_pump.processEvents();
        if (r == WAIT_OBJECT_0) return;  // the time is up
        if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + objects.size()) return;  // the child ended
    }
}

}  // namespace tessaro
