#pragma once
// A short wait that keeps the message loop running.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "base/MessagePump.h"
#include "base/NativeHandle.h"

namespace tessaro {

class clsWaitableTimer {
public:
    explicit clsWaitableTimer(MessagePump& pump) : m_pump(pump) {}

    // Returns after MilliSeconds have passed, running the pump meanwhile, or
    // earlier once one of wakeFds is readable or hung up (kNoHandle entries
    // are ignored; on Windows a pipe with bytes waiting or a signalled
    // handle). A failing wait throws std::system_error whose text starts with
    // "[clsWaitableTimer.Wait]".
    void Wait(std::int32_t MilliSeconds, std::initializer_list<NativeHandle> wakeFds = {}) {
        Wait(MilliSeconds, std::vector<NativeHandle>(wakeFds));
    }
    void Wait(std::int32_t MilliSeconds, const std::vector<NativeHandle>& wakeFds);

private:
    MessagePump& m_pump;
};

}  // namespace tessaro
