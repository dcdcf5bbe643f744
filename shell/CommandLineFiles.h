#pragma once
// The files and folders named on the window's command line (`tessaro FILE…`),
// as a file manager's "open with" passes them.

#include <QString>
#include <QStringList>

namespace tessaro {

struct CommandLineFiles {
    QStringList paths;  // absolute, clean, native separators; files and folders that exist
    QStringList notes;  // one line each for stderr: what was left out, and why
};

// `arguments` without the program's name, after Qt took its own options out.
// Relative paths are taken from `currentFolder`; "file:" URLs are accepted.
// Before a "--", an argument starting with '-' is an option, which this
// program has none of: it is left out with a note, as is a path that does
// not exist. An empty argument is passed over.
CommandLineFiles commandLineFiles(const QStringList& arguments, const QString& currentFolder);

}  // namespace tessaro
