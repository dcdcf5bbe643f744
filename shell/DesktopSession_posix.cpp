#include <string_view>

#include "shell/DesktopSession.h"

namespace tessaro {

std::string missingDesktop(const std::function<std::string(const char*)>& env, int argc,
                           const char* const* argv) {
    if (!env("QT_QPA_PLATFORM").empty()) return {};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "-platform" || arg == "--platform") return {};
    }
    if (!env("DISPLAY").empty() || !env("WAYLAND_DISPLAY").empty()) return {};
    return "DISPLAY and WAYLAND_DISPLAY are not set";
}

}  // namespace tessaro
