#pragma once
// Requests per client and minute: each client (an address, or an IPv6 /64)
// may make `perMinute` requests in any minute that starts with its first
// counted one. Finished windows are forgotten oldest first, from a queue in
// the order they opened, so the table never holds more than a minute's
// clients and no call scans it. Thread-safe.

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tessaro::feedbackd {

class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    explicit RateLimiter(int perMinute) : m_perMinute(perMinute) {}

    // Counts a request from `client` at `now` (never earlier than the last
    // call's); false when it is over the limit.
    bool allow(const std::string& client, Clock::time_point now = Clock::now());

    // Clients with an open window.
    std::size_t size();

private:
    struct Window {
        Clock::time_point start;
        int count = 0;
    };
    int m_perMinute;
    std::mutex m_lock;
    std::unordered_map<std::string, Window> m_windows;
    // (start, client) of every window opened, oldest first.
    std::deque<std::pair<Clock::time_point, std::string>> m_opened;
};

}  // namespace tessaro::feedbackd
