#include "server/RateLimiter.h"

namespace tessaro::feedbackd {

bool RateLimiter::allow(const std::string& address, Clock::time_point now) {
    constexpr auto kMinute = std::chrono::minutes(1);
    std::lock_guard<std::mutex> guard(m_lock);
    // Forget finished windows now and then, so that many addresses cannot
    // grow the table without end.
    if (m_windows.size() > 10000) {
        for (auto it = m_windows.begin(); it != m_windows.end();)
            it = now - it->second.start >= kMinute ? m_windows.erase(it) : std::next(it);
    }
    Window& w = m_windows[address];
    if (w.count == 0 || now - w.start >= kMinute) w = {now, 0};
    if (w.count >= m_perMinute) return false;
    ++w.count;
    return true;
}

}  // namespace tessaro::feedbackd
