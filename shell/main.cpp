// Tessaro's window: one instance per user, the main window, the event loop.

#include <QApplication>
#include <QDir>

#include "engine/Platform.h"
#include "shell/SingleInstance.h"
#include "shell/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessaro");
    QApplication::setApplicationVersion("2.7.0");
    tessaro::platform::setApplicationFolder(
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString());

    tessaro::SingleInstance instance;
    tessaro::frmMain window;
    if (!window.Form_Load(&instance)) return 0;  // another instance runs: end silently
    window.show();
    return app.exec();
}
