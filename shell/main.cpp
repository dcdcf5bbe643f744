// Tessaro's window: one instance per user, the main window, the event loop.
// `tessaro FILE…` queues files and folders; a second start hands its files
// to the running window and ends.

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <optional>
#include <string>

#include "base/Platform.h"
#include "shell/CommandLineFiles.h"
#include "shell/DesktopSession.h"
#include "shell/FileHandover.h"
#include "shell/SingleInstance.h"
#include "shell/TerminationWatch.h"
#include "shell/WindowLossWatch.h"
#include "shell/frmMain.h"

namespace {

// Another window runs: it gets the files, and this start ends. Without files
// this start ends at once, silently.
int handOver(const QStringList& paths) {
    if (paths.isEmpty()) return 0;
    QString why;
    if (tessaro::handOverFiles(tessaro::handoverServerName(), paths, tessaro::kHandoverTimeoutMs,
                               &why))
        return 0;
    std::fprintf(stderr,
                 "tessaro: 正在运行的 Tessaro 没有接收这些文件 (the running window did not take "
                 "the files): %s\n",
                 qPrintable(why));
    return 1;
}

}  // namespace

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

    const tessaro::CommandLineFiles files =
        tessaro::commandLineFiles(QCoreApplication::arguments().mid(1), QDir::currentPath());
    for (const QString& note : files.notes) std::fprintf(stderr, "%s\n", qPrintable(note));

    tessaro::SingleInstance instance;
    tessaro::frmMain window;
    if (!window.Form_Load(&instance)) return handOver(files.paths);
    // The lock is ours: a socket left by a window that was killed is stale.
    tessaro::FileHandoverServer handover(
        [&window](const QStringList& paths) { window.openPaths(paths); });
    if (!handover.listen(tessaro::handoverServerName()))
        std::fprintf(stderr, "tessaro: %s\n", qPrintable(handover.errorString()));
    window.show();
    if (!files.paths.isEmpty())
        QTimer::singleShot(0, &window, [&window, &files] { window.openPaths(files.paths); });
    // A window destroyed from outside ends the process rather than leaving
    // it running unseen with the lock.
    tessaro::WindowLossWatch watch(window, [&window] { window.windowLost(); });
    // SIGTERM, or SIGHUP at a logout: stop, clean up, save and leave.
    tessaro::TerminationWatch termination([&window] { window.terminationRequested(); });
    return app.exec();
}
