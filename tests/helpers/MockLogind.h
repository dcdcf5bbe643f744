#pragma once
// A stand-in logind on a private bus, for the tests of the sleep lock and the
// power requests (Linux): a dbus-daemon of its own and python3-dbusmock's
// logind template on it. While it lives, DBUS_SYSTEM_BUS_ADDRESS of this
// process (and of the children it starts) names that bus.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "helpers/TempFolder.h"

extern char** environ;

namespace tessaro::test {

class MockLogind {
public:
    struct Inhibitor {
        std::string what, who, why, mode;
    };

    MockLogind() {
        const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (previous) m_previousAddress = previous;
        m_hadAddress = previous != nullptr;
        m_problem = start();
    }
    ~MockLogind() {
        for (pid_t pid : {m_mock, m_daemon})
            if (pid > 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
        if (m_hadAddress)
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", m_previousAddress.c_str(), 1);
        else
            ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    MockLogind(const MockLogind&) = delete;
    MockLogind& operator=(const MockLogind&) = delete;

    // "" when the stand-in answers; else why it could not be started.
    const std::string& problem() const { return m_problem; }

    // The locks it holds now (ListInhibitors).
    std::vector<Inhibitor> inhibitors() const {
        std::vector<Inhibitor> list;
        sd_bus* bus = connect();
        if (!bus) return list;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        if (sd_bus_call_method(bus, kName, kPath, "org.freedesktop.login1.Manager",
                               "ListInhibitors", &error, &reply, "") >= 0 &&
            sd_bus_message_enter_container(reply, 'a', "(ssssuu)") >= 0) {
            const char *what, *who, *why, *mode;
            uint32_t uid, pid;
            while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0)
                list.push_back({what, who, why, mode});
        }
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
        sd_bus_flush_close_unref(bus);
        return list;
    }

    // Waits up to `seconds` for the number of locks held to become `count`
    // (the stand-in drops a lock a moment after its descriptor closes).
    bool waitForInhibitors(std::size_t count, double seconds = 5) const {
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (inhibitors().size() != count) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    // The names of the methods called on the stand-in so far, in order.
    std::vector<std::string> calls() const {
        std::vector<std::string> names;
        std::ifstream log(m_folder.file("logind.log"));
        std::string line;
        while (std::getline(log, line)) {
            std::istringstream words(line);
            std::string time, name;
            // A call the stand-in refused is logged twice: as called, and as raised.
            std::string rest;
            if (words >> time >> name && !(words >> rest && rest == "raised:"))
                names.push_back(name);
        }
        return names;
    }
    int callCount(const std::string& method) const {
        int n = 0;
        for (const std::string& name : calls()) n += name == method ? 1 : 0;
        return n;
    }

    // Makes `method` (Suspend, PowerOff: one boolean argument) fail with the
    // D-Bus error `errorName` and its text `message`.
    bool refuse(const std::string& method, const std::string& errorName,
                const std::string& message) const {
        sd_bus* bus = connect();
        if (!bus) return false;
        const std::string code =
            "raise dbus.exceptions.DBusException('" + message + "', name='" + errorName + "')";
        sd_bus_error error = SD_BUS_ERROR_NULL;
        const int r = sd_bus_call_method(
            bus, kName, kPath, "org.freedesktop.DBus.Mock", "AddMethod", &error, nullptr, "sssss",
            "org.freedesktop.login1.Manager", method.c_str(), "b", "", code.c_str());
        sd_bus_error_free(&error);
        sd_bus_flush_close_unref(bus);
        return r >= 0;
    }

private:
    static constexpr const char* kName = "org.freedesktop.login1";
    static constexpr const char* kPath = "/org/freedesktop/login1";

    static sd_bus* connect() {
        sd_bus* bus = nullptr;
        if (sd_bus_open_system(&bus) < 0) return nullptr;
        return bus;
    }

    static pid_t spawn(const std::vector<std::string>& args, const std::string& output) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // The first Python 3 that has dbusmock ("" when none has).
    static std::string pythonWithDbusmock() {
        for (const char* python : {"python3", "/usr/bin/python3"}) {
            const std::string check = std::string(python) + " -c 'import dbusmock' >/dev/null 2>&1";
            if (std::system(check.c_str()) == 0) return python;
        }
        return {};
    }

    std::string start() {
        if (std::system("command -v dbus-daemon >/dev/null 2>&1") != 0)
            return "dbus-daemon is not installed (Debian: dbus-daemon)";
        const std::string python = pythonWithDbusmock();
        if (python.empty()) return "python3-dbusmock is not installed";

        const std::string socket = m_folder.file("bus");
        writeBytes(m_folder.file("bus.conf"),
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>system</type><listen>unix:path=" +
                       socket +
                       "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                       "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/><allow user=\"*\"/>"
                       "</policy></busconfig>\n");
        m_daemon = spawn({"dbus-daemon", "--nofork", "--nopidfile",
                          "--config-file=" + m_folder.file("bus.conf")},
                         m_folder.file("daemon.out"));
        if (m_daemon < 0) return "dbus-daemon could not be started";
        if (!waitFor([&] { return accepts(socket); }))
            return "the private bus did not come up: " + readBytes(m_folder.file("daemon.out"));
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);

        m_mock = spawn({python, "-m", "dbusmock", "--system", "--template", "logind", "-l",
                        m_folder.file("logind.log")},
                       m_folder.file("mock.out"));
        if (m_mock < 0) return "dbusmock could not be started";
        if (!waitFor([&] { return answers(); }))
            return "the stand-in logind did not answer: " + readBytes(m_folder.file("mock.out"));
        return {};
    }

    template <typename Ready>
    static bool waitFor(Ready ready) {
        for (int i = 0; i < 500; ++i) {
            if (ready()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static bool accepts(const std::string& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        return ok;
    }

    bool answers() const {
        sd_bus* bus = connect();
        if (!bus) return false;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        const int r = sd_bus_call_method(bus, kName, kPath, "org.freedesktop.login1.Manager",
                                         "CanSuspend", &error, nullptr, "");
        sd_bus_error_free(&error);
        sd_bus_flush_close_unref(bus);
        return r >= 0;
    }

    TempFolder m_folder;
    pid_t m_daemon = -1;
    pid_t m_mock = -1;
    std::string m_problem;
    std::string m_previousAddress;
    bool m_hadAddress = false;
};

// Whether a test may go on without the stand-in: not under CI, where every
// test of the lock must run.
#define TESSARO_REQUIRE_MOCK_LOGIND(mock)                      \
    do {                                                       \
        if (!(mock).problem().empty()) {                       \
            if (std::getenv("CI")) FAIL() << (mock).problem(); \
            GTEST_SKIP() << (mock).problem();                  \
        }                                                      \
    } while (0)

}  // namespace tessaro::test
