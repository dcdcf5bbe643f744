#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "base/SystemPower.h"

namespace tessaro {

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// The lock is asked for as a batch starts, on the window's thread: a bus
// that does not answer must not hold the batch up for long.
constexpr uint64_t kInhibitTimeoutUs = 5'000'000;
// A request may wait for the user to authorise it in the desktop's agent.
constexpr uint64_t kRequestTimeoutUs = 120'000'000;

// A connection of its own to the system bus (never the cached default one:
// the bus named by DBUS_SYSTEM_BUS_ADDRESS is read at each call).
struct Bus {
    sd_bus* bus = nullptr;
    int error = 0;  // negative errno when the connection failed
    Bus() { error = sd_bus_open_system(&bus); }
    ~Bus() { sd_bus_flush_close_unref(bus); }
    explicit operator bool() const { return error >= 0 && bus; }
};

struct Call {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    ~Call() {
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
    }
};

std::string noBusText(int error) {
    return std::string("无法连接系统总线：") + std::strerror(-error);
}

// Suspend(interactive) or PowerOff(interactive), with polkit allowed to ask.
std::string request(const char* method) {
    Bus bus;
    if (!bus) return noBusText(bus.error);
    sd_bus_set_allow_interactive_authorization(bus.bus, 1);
    sd_bus_message* message = nullptr;
    int r =
        sd_bus_message_new_method_call(bus.bus, &message, kLogind, kLogindPath, kManager, method);
    if (r >= 0) r = sd_bus_message_append(message, "b", 1);
    Call call;
    if (r >= 0) r = sd_bus_call(bus.bus, message, kRequestTimeoutUs, &call.error, &call.reply);
    sd_bus_message_unref(message);
    if (r >= 0) return {};
    if (sd_bus_error_is_set(&call.error))
        return power::refusalText(call.error.name ? call.error.name : "",
                                  call.error.message ? call.error.message : "");
    return power::refusalText("", std::strerror(-r));
}

}  // namespace

SleepInhibitor::SleepInhibitor() {
    Bus bus;
    if (!bus) return;
    Call call;
    if (sd_bus_call_method(bus.bus, kLogind, kLogindPath, kManager, "Inhibit", &call.error,
                           &call.reply, "ssss", "sleep:idle", "Tessaro", "正在转换文件",
                           "block") < 0)
        return;
    int fd = -1;
    if (sd_bus_message_read(call.reply, "h", &fd) < 0 || fd < 0) return;
    // The reply owns its descriptor; the lock lasts as long as our copy,
    // which no encoder child inherits.
    m_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    m_held = m_fd >= 0;
}

SleepInhibitor::~SleepInhibitor() {
    if (m_fd >= 0) ::close(m_fd);
}

std::string requestSleep() { return request("Suspend"); }
std::string requestShutDown() { return request("PowerOff"); }

}  // namespace tessaro
