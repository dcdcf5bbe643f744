#include "shell/SystemOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace tessaro {

bool openWithSystem(const QUrl& url) {
    // Qt hands the request to ShellExecuteW with the verb "open".
    return !url.isEmpty() && QDesktopServices::openUrl(url);
}

}  // namespace tessaro
