#pragma once
// Opens a file, a folder or a web page with the desktop's opener, as the
// verb "open" does. Never blocks and never reports: where the desktop has no
// opener, nothing happens.

class QUrl;

namespace tessaro {

// True when the request was handed to an opener (not whether it succeeded).
bool openWithSystem(const QUrl& url);

}  // namespace tessaro
