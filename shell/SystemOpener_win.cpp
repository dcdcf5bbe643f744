#include "shell/SystemOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace tessaro {

bool openWithSystem(const QUrl& url) {
    // The shell's "open" returns at once; a missing association shows nothing.
    return !url.isEmpty() && QDesktopServices::openUrl(url);
}

}  // namespace tessaro
