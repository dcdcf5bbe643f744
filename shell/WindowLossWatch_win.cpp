#include <windows.h>

#include "shell/WindowLossWatch.h"

namespace tessaro {

bool WindowLossWatch::isDestroyed(const QByteArray& eventType, const void* message, quintptr id) {
    if (eventType != "windows_generic_MSG" || !message) return false;
    const auto* msg = static_cast<const MSG*>(message);
    return msg->message == WM_DESTROY && reinterpret_cast<quintptr>(msg->hwnd) == id;
}

}  // namespace tessaro
