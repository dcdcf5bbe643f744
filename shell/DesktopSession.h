#pragma once
// Whether the window can open here. Without a display Qt ends the process
// with an abort about its platform plugin; the window says instead, in its
// own words, that it needs a desktop session and that tessaro-cli converts
// without one, and ends with kNoDesktopExit.

#include <QtGlobal>
#include <functional>
#include <string>

namespace tessaro {

inline constexpr int kNoDesktopExit = 2;

// Why no window can open ("" when Qt may try), from the environment (`env`
// returns "" for an unset variable) and the arguments, before QApplication
// exists. Qt's own choice wins: QT_QPA_PLATFORM or a -platform argument.
std::string missingDesktop(const std::function<std::string(const char*)>& env, int argc,
                           const char* const* argv);

// The text the user reads on stderr, with `why` as the technical detail.
std::string noDesktopMessage(const std::string& why);

// While it lives, a failure of Qt to open its platform (a display that is
// set but cannot be reached) prints noDesktopMessage() and ends the process
// with kNoDesktopExit. Qt's platform warnings meanwhile are held back and
// passed on when nothing failed.
class PlatformFailureGuard {
public:
    PlatformFailureGuard();
    ~PlatformFailureGuard();
    PlatformFailureGuard(const PlatformFailureGuard&) = delete;
    PlatformFailureGuard& operator=(const PlatformFailureGuard&) = delete;
};

}  // namespace tessaro
