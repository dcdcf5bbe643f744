#include "shell/CommandLineFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace tessaro {

CommandLineFiles commandLineFiles(const QStringList& arguments, const QString& currentFolder) {
    CommandLineFiles result;
    bool optionsEnd = false;
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) continue;
        if (!optionsEnd && argument == "--") {
            optionsEnd = true;
            continue;
        }
        if (!optionsEnd && argument.startsWith('-')) {
            result.notes << "tessaro: 忽略未知选项 (unknown option ignored): " + argument;
            continue;
        }
        QString path = argument;
        if (argument.startsWith("file:", Qt::CaseInsensitive)) {
            const QUrl url(argument);
            path = url.isLocalFile() ? url.toLocalFile() : QString();
        }
        const QFileInfo info(path.isEmpty() ? QString()
                                            : QDir(currentFolder).absoluteFilePath(path));
        if (path.isEmpty() || !info.exists()) {
            result.notes << "tessaro: 找不到文件或文件夹 (no such file or folder): " + argument;
            continue;
        }
        result.paths << QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    }
    return result;
}

}  // namespace tessaro
