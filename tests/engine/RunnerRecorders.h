#pragma once
// Pieces of the runner tests that hold on every system: case helpers, the
// echo helper's arguments, a bounded wait, a recording message box and a
// counting pump.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/MessageBoxes.h"
#include "base/MessagePump.h"

namespace tessaro::testing {

inline std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
inline std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits the echo helper's NUL-terminated arguments.
inline std::vector<std::string> echoed(const std::string& output) {
    std::vector<std::string> args;
    std::string current;
    for (char c : output) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    EXPECT_TRUE(current.empty()) << "output not NUL-terminated";
    return args;
}

inline void waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

struct RecordedMessage {
    std::string text;
    MessageIcon icon;
    std::string title;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    void showMessage(const std::string& text, MessageIcon icon, const std::string& title) override {
        messages.push_back({text, icon, title});
    }
    std::vector<RecordedMessage> messages;
};

class CountingPump : public MessagePump {
public:
    void processEvents() override {
        ++calls;
        if (onPump) onPump();
    }
    long calls = 0;
    std::function<void()> onPump;  // runs as the window's events would
};

}  // namespace tessaro::testing
