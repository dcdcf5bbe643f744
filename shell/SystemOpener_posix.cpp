#include "shell/SystemOpener.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tessaro {

bool openWithSystem(const QUrl& url) {
    // Looked up first: a desktop without xdg-open opens nothing, silently.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || url.isEmpty()) return false;
    QProcess process;
    process.setProgram(opener);
    process.setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

}  // namespace tessaro
