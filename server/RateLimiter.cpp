#include "server/RateLimiter.h"

namespace tessaro::feedbackd {

bool RateLimiter::allow(const std::string& client, Clock::time_point now) {
    constexpr auto kMinute = std::chrono::minutes(1);
    std::lock_guard<std::mutex> guard(m_lock);
    while (!m_opened.empty() && now - m_opened.front().first >= kMinute) {
        const auto it = m_windows.find(m_opened.front().second);
        // A client whose window reopened later has a later entry of its own.
        if (it != m_windows.end() && it->second.start == m_opened.front().first)
            m_windows.erase(it);
        m_opened.pop_front();
    }
    Window& w = m_windows[client];
    if (w.count == 0 || now - w.start >= kMinute) {
        w = {now, 0};
        m_opened.emplace_back(now, client);
    }
    if (w.count >= m_perMinute) return false;
    ++w.count;
    return true;
}

std::size_t RateLimiter::size() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_windows.size();
}

}  // namespace tessaro::feedbackd
