// The window in a process of its own, for the tests that kill it: it loads
// as tessaro does (the instance lock included), queues the given files in
// order, picks MPG, one file at a time, and presses Start.
//   tst_queue_window <application-folder> <temporary-folder> <file>...
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "base/Platform.h"
#include "engine/ConversionDriver.h"
#include "shell/SingleInstance.h"
#include "shell/frmMain.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    QApplication app(argc, argv);
    tessaro::platform::setApplicationFolder(argv[1]);
    tessaro::platform::setTemporaryFolder(argv[2]);
    tessaro::SingleInstance instance;
    tessaro::frmMain window;
    window.playWave = [](const std::string&) {};
    window.openUrl = [](const QUrl&) {};
    if (!window.Form_Load(&instance)) return 3;
    window.show();
    window.cmbOF->setCurrentIndex(2);  // MPG: one run per file
    emit window.cmbOF->activated(2);
    if (window.driver()) window.driver()->setJobs(1);
    for (int i = 3; i < argc; ++i)
        window.inputList().append(argv[i], tessaro::InputList::Source::Drop);
    QTimer::singleShot(0, window.Command3, &QPushButton::click);
    return app.exec();
}
