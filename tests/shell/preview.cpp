// Shows the main window, skinned, with the given files queued and the batch
// started, for screenshots:
//   tessaro_window_preview <output-folder> <file>...
// The encoders and the skin come from the build's application folder.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "base/Platform.h"
#include "shell/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tessaro::platform::setApplicationFolder(TESSARO_APP_DIR);
    tessaro::frmMain window;
    window.keepQueue = false;  // the application folder's queue is not the preview's
    window.Form_Load(nullptr);
    window.playWave = [](const std::string&) {};
    window.openUrl = [](const QUrl&) {};
    if (argc > 1) window.txtPath->setText(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i)
        window.inputList().append(argv[i], tessaro::InputList::Source::Drop);
    window.move(40, 40);
    window.show();
    if (argc > 2) QTimer::singleShot(500, window.Command3, &QPushButton::click);
    return app.exec();
}
