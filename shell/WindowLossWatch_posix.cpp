#include <cstdint>
#include <cstring>

#include "shell/WindowLossWatch.h"

namespace tessaro {
namespace {

// X11's DestroyNotify as xcb delivers it: response type (the top bit marks
// a sent event), pad, sequence, the event window, the destroyed window.
constexpr uint8_t kDestroyNotify = 17;
constexpr size_t kWindowOffset = 8;

}  // namespace

bool WindowLossWatch::isDestroyed(const QByteArray& eventType, const void* message, quintptr id) {
    if (eventType != "xcb_generic_event_t" || !message) return false;
    const auto* bytes = static_cast<const uint8_t*>(message);
    if ((bytes[0] & 0x7f) != kDestroyNotify) return false;
    uint32_t window = 0;
    std::memcpy(&window, bytes + kWindowOffset, sizeof window);
    return window == id;
}

}  // namespace tessaro
