#pragma once

#include <chrono>

namespace tessaro {

// Lets pending user-interface events run while the single thread is busy.
// The window pumps the Qt event loop; the command line and tests do nothing.
class MessagePump {
public:
    virtual ~MessagePump() = default;
    virtual void processEvents() = 0;
};

class NullMessagePump : public MessagePump {
public:
    void processEvents() override {}
};

// How often a long scan lets the window process its events: often enough to
// keep it responsive, rarely enough that the scan is not slowed down.
inline constexpr std::chrono::nanoseconds kPumpInterval = std::chrono::milliseconds(5);

// Runs a pump at most once per interval during a long loop (after every tick
// when the interval is zero; never without a pump). The clock is read only
// every `clockEvery` ticks, so that a tick per scanned byte stays cheap.
class ThrottledPump {
public:
    explicit ThrottledPump(MessagePump* pump, std::chrono::nanoseconds interval = kPumpInterval,
                           unsigned clockEvery = 1)
        : m_pump(pump), m_interval(interval), m_clockEvery(clockEvery ? clockEvery : 1),
          m_last(std::chrono::steady_clock::now()) {}

    void tick() {
        if (!m_pump) return;
        if (m_interval.count() <= 0) {
            m_pump->processEvents();
            return;
        }
        if (++m_count % m_clockEvery != 0) return;
        if (std::chrono::steady_clock::now() - m_last < m_interval) return;
        m_pump->processEvents();
        m_last = std::chrono::steady_clock::now();
    }

private:
    MessagePump* m_pump;
    std::chrono::nanoseconds m_interval;
    unsigned m_clockEvery;
    unsigned m_count = 0;
    std::chrono::steady_clock::time_point m_last;
};

}  // namespace tessaro
