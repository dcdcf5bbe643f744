// frmMain: files handed to the window from outside (its command line, or a
// second start of the program).

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <string>
#include <vector>

#include "input/FileSearch.h"
#include "shell/frmMain.h"

namespace tessaro {

void frmMain::openPaths(const QStringList& paths) {
    // As a drop, and during a batch too: a file appended now is converted in
    // the running batch. A folder is searched as the folder command does.
    int appended = 0;
    for (const QString& path : paths) {
        const std::string native = QDir::toNativeSeparators(path).toStdString();
        if (QFileInfo(path).isDir()) {
            std::vector<std::string> found;
            SearchFolder(native, found, *this);
            for (const std::string& file : found) m_list.append(file, InputList::Source::Scan);
        } else {
            m_list.append(native, InputList::Source::Drop);
        }
        if (++appended % 200 == 0) QCoreApplication::processEvents();
    }
    m_list.updateHint();
    if (paths.isEmpty() || isHidden()) return;
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

}  // namespace tessaro
