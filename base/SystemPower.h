#pragma once
// Keeping the machine awake during a batch, and asking the system to sleep or
// to power off once it is over. On Linux both go to logind over the system
// bus (DBUS_SYSTEM_BUS_ADDRESS, when set, names that bus); on Windows to the
// power functions of the system.

#include <string>

namespace tessaro {

// Holds the system's sleep inhibitor from construction to destruction:
// logind's "sleep:idle" block lock (who "Tessaro", why "正在转换文件"), or the
// thread's execution state on Windows. Where the system offers none (no bus,
// no logind) it holds nothing and says nothing. Acquire and release on one
// thread.
class SleepInhibitor {
public:
    SleepInhibitor();
    ~SleepInhibitor();
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // True when the system granted the lock.
    bool held() const { return m_held; }

private:
    bool m_held = false;
    int m_fd = -1;  // logind's lock: closing it releases the lock
};

// Ask the system to suspend / to power off, letting it ask the user for
// authorisation where its policy wants that. "" when the system took the
// request; otherwise why it did not, in Chinese, for a message box.
std::string requestSleep();
std::string requestShutDown();

}  // namespace tessaro

namespace tessaro::power {

// The reason shown for logind's refusal of a request: `errorName` is the
// D-Bus error's name, `message` its text (either may be empty).
std::string refusalText(const std::string& errorName, const std::string& message);

}  // namespace tessaro::power
