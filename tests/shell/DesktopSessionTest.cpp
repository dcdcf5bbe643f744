// The window without a desktop session: decided before Qt starts, and said in
// the program's words instead of Qt's abort.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <map>
#include <string>
#include <vector>

#include "shell/DesktopSession.h"

namespace tessaro {
namespace {

#ifndef _WIN32  // a Windows session always has its desktop
struct SessionRow {
    const char* name;
    std::map<std::string, std::string> env;
    std::vector<const char*> args;
    bool missing;
};

class DesktopSession : public ::testing::TestWithParam<SessionRow> {};

TEST_P(DesktopSession, DecidesBeforeQtStarts) {
    const SessionRow& row = GetParam();
    std::vector<const char*> argv{"tessaro"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto env = [&](const char* name) {
        const auto it = row.env.find(name);
        return it == row.env.end() ? std::string() : it->second;
    };
    EXPECT_EQ(!missingDesktop(env, int(argv.size()), argv.data()).empty(), row.missing);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DesktopSession,
    ::testing::Values(SessionRow{"Nothing", {}, {}, true},
                      SessionRow{"EmptyDisplay", {{"DISPLAY", ""}}, {}, true},
                      SessionRow{"X11", {{"DISPLAY", ":0"}}, {}, false},
                      SessionRow{"Wayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, {}, false},
                      SessionRow{"PlatformVariable", {{"QT_QPA_PLATFORM", "offscreen"}}, {}, false},
                      SessionRow{"PlatformArgument", {}, {"-platform", "offscreen"}, false},
                      SessionRow{"PlatformArgumentDoubleDash", {}, {"--platform", "vnc"}, false},
                      SessionRow{"PlatformAsAFileName", {}, {"platform"}, true}),
    [](const ::testing::TestParamInfo<SessionRow>& info) { return std::string(info.param.name); });

// The program itself, started as from a console without a desktop, or with a
// display that cannot be reached.
TEST(DesktopSessionProgram, SaysItNeedsADesktopAndNamesTheCommandLine) {
    for (const char* display : {"", ":97"}) {
        SCOPED_TRACE(display);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        if (*display) env.insert("DISPLAY", display);
        QProcess tessaro;
        tessaro.setProcessEnvironment(env);
        tessaro.start(TESSARO_APP_DIR "/tessaro", {});
        ASSERT_TRUE(tessaro.waitForFinished(30000));
        const QString err = QString::fromUtf8(tessaro.readAllStandardError());
        EXPECT_EQ(tessaro.exitStatus(), QProcess::NormalExit) << err.toStdString();
        EXPECT_EQ(tessaro.exitCode(), kNoDesktopExit) << err.toStdString();
        EXPECT_TRUE(err.contains("桌面会话") && err.contains("desktop session"))
            << err.toStdString();
        EXPECT_TRUE(err.contains("tessaro-cli")) << err.toStdString();
        EXPECT_FALSE(err.contains("xcb")) << err.toStdString();
    }
}
#endif

}  // namespace
}  // namespace tessaro
