#pragma once
// Notices when a window's native window is destroyed from outside (another
// program destroys it; Qt did not close it), which leaves the process with
// nothing to show and nothing the user can close.

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace tessaro {

class WindowLossWatch : public QAbstractNativeEventFilter {
public:
    // Watches `window` (a top-level widget) from now on; `lost` runs once,
    // from the event loop, when its native window has been destroyed.
    WindowLossWatch(QWidget& window, std::function<void()> lost);
    ~WindowLossWatch() override;
    WindowLossWatch(const WindowLossWatch&) = delete;
    WindowLossWatch& operator=(const WindowLossWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // True when the native event says that the native window `id` is gone.
    static bool isDestroyed(const QByteArray& eventType, const void* message, quintptr id);
    void report();

    QPointer<QWidget> m_window;
    std::function<void()> m_lost;
    bool m_reported = false;
};

}  // namespace tessaro
