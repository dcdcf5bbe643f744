// Tessaro's window: one instance per user, the main window, the event loop.

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <optional>
#include <string>

#include "base/Platform.h"
#include "shell/DesktopSession.h"
#include "shell/SingleInstance.h"
#include "shell/TerminationWatch.h"
#include "shell/WindowLossWatch.h"
#include "shell/frmMain.h"

int main(int argc, char** argv) {
    tessaro::platform::restoreDefaultChildHandling();
    // Without a display Qt would abort: say why, and what converts without one.
    const std::string noDesktop = tessaro::missingDesktop(
        [](const char* name) { return qEnvironmentVariable(name).toStdString(); }, argc, argv);
    if (!noDesktop.empty()) {
        std::fputs(tessaro::noDesktopMessage(noDesktop).c_str(), stderr);
        return tessaro::kNoDesktopExit;
    }
    std::optional<tessaro::PlatformFailureGuard> platformFailure(std::in_place);
    QApplication app(argc, argv);
    platformFailure.reset();
    QApplication::setApplicationName("Tessaro");
    QApplication::setApplicationVersion(TESSARO_VERSION);
    // The desktop entry's base name (packaging/): docks link the window to it.
    QGuiApplication::setDesktopFileName("example.tessaro.Tessaro");
    tessaro::platform::setApplicationFolder(
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString());

    // Qt's own dialogs and standard buttons in Chinese, as the rest of the
    // window; without the translations installed they stay in English.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));  // dates, sizes, file types
    QTranslator qtTexts;
    if (qtTexts.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    tessaro::SingleInstance instance;
    tessaro::frmMain window;
    if (!window.Form_Load(&instance)) return 0;  // another instance runs: end silently
    window.show();
    // A window destroyed from outside ends the process rather than leaving
    // it running unseen with the lock.
    tessaro::WindowLossWatch watch(window, [&window] { window.windowLost(); });
    // SIGTERM, or SIGHUP at a logout: stop, clean up, save and leave.
    tessaro::TerminationWatch termination([&window] { window.terminationRequested(); });
    return app.exec();
}
