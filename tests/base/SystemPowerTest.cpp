// The sleep lock and the power requests against a stand-in logind on a
// private bus, and with no bus at all.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <functional>
#include <memory>

#include "base/SystemPower.h"
#include "helpers/MockLogind.h"

namespace tessaro {
namespace {

using test::MockLogind;

TEST(SystemPowerTest, RefusalNamesTheCauseAndKeepsLogindsWords) {
    struct Row {
        const char* errorName;
        const char* message;
        const char* text;
    };
    const Row rows[] = {
        {"org.freedesktop.DBus.Error.AccessDenied", "Permission denied",
         "系统拒绝了请求：没有权限（Permission denied）"},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", "",
         "系统拒绝了请求：没有权限（org.freedesktop.DBus.Error.InteractiveAuthorizationRequired）"},
        {"org.freedesktop.DBus.Error.ServiceUnknown", "The name is not activatable",
         "系统拒绝了请求：系统没有提供电源管理服务（logind）（The name is not activatable）"},
        {"org.freedesktop.DBus.Error.NoReply", "",
         "系统拒绝了请求：系统没有回应（org.freedesktop.DBus.Error.NoReply）"},
        // An error of logind's own: its words are the reason.
        {"org.freedesktop.login1.OperationInProgress",
         "There's already a shutdown or sleep operation in progress",
         "系统拒绝了请求（There's already a shutdown or sleep operation in progress）"},
        {"", "Connection refused", "系统拒绝了请求（Connection refused）"},
        {"", "", "系统拒绝了请求"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(power::refusalText(row.errorName, row.message), row.text) << row.errorName;
}

TEST(SystemPowerTest, LockIsHeldForItsLifetime) {
    MockLogind logind;
    TESSARO_REQUIRE_MOCK_LOGIND(logind);
    {
        const SleepInhibitor lock;
        EXPECT_TRUE(lock.held());
        const auto held = logind.inhibitors();
        ASSERT_EQ(held.size(), 1u);
        EXPECT_EQ(held[0].what, "sleep:idle");
        EXPECT_EQ(held[0].who, "Tessaro");
        EXPECT_EQ(held[0].why, "正在转换文件");
        EXPECT_EQ(held[0].mode, "block");
    }
    EXPECT_TRUE(logind.waitForInhibitors(0));
}

// A child started while the lock is held (an encoder) must not keep it.
TEST(SystemPowerTest, ChildrenDoNotInheritTheLock) {
    MockLogind logind;
    TESSARO_REQUIRE_MOCK_LOGIND(logind);
    pid_t child = -1;
    {
        const SleepInhibitor lock;
        ASSERT_TRUE(lock.held());
        char sleepName[] = "sleep", seconds[] = "30";
        char* argv[] = {sleepName, seconds, nullptr};
        ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    }
    EXPECT_TRUE(logind.waitForInhibitors(0));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

struct Request {
    const char* method;
    std::function<std::string()> ask;
};

const Request kRequests[] = {{"Suspend", requestSleep}, {"PowerOff", requestShutDown}};

TEST(SystemPowerTest, RequestsReachLogindOnce) {
    for (const Request& request : kRequests) {
        MockLogind logind;
        TESSARO_REQUIRE_MOCK_LOGIND(logind);
        EXPECT_EQ(request.ask(), "") << request.method;
        EXPECT_EQ(logind.callCount(request.method), 1) << request.method;
    }
}

TEST(SystemPowerTest, RefusedRequestSaysWhy) {
    for (const Request& request : kRequests) {
        MockLogind logind;
        TESSARO_REQUIRE_MOCK_LOGIND(logind);
        ASSERT_TRUE(logind.refuse(request.method, "org.freedesktop.DBus.Error.AccessDenied",
                                  "Access denied by policy"));
        EXPECT_EQ(request.ask(), "系统拒绝了请求：没有权限（Access denied by policy）")
            << request.method;
    }
}

// No bus (a container): the lock holds nothing, quietly; a request says so.
TEST(SystemPowerTest, NoBusHoldsNothingAndRequestsSaySo) {
    const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string saved = previous ? previous : "";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tessaro-no-bus", 1);
    EXPECT_FALSE(SleepInhibitor().held());
    for (const Request& request : kRequests)
        EXPECT_EQ(request.ask().rfind("无法连接系统总线：", 0), 0u) << request.method;
    if (previous)
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    else
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

}  // namespace
}  // namespace tessaro
