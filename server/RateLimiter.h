#pragma once
// Requests per client address and minute: each address may make `perMinute`
// requests in any minute that starts with its first counted one. Thread-safe.

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tessaro::feedbackd {

class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    explicit RateLimiter(int perMinute) : m_perMinute(perMinute) {}

    // Counts a request from `address` at `now`; false when it is over the limit.
    bool allow(const std::string& address, Clock::time_point now = Clock::now());

private:
    struct Window {
        Clock::time_point start;
        int count = 0;
    };
    int m_perMinute;
    std::mutex m_lock;
    std::unordered_map<std::string, Window> m_windows;
};

}  // namespace tessaro::feedbackd
