#include "shell/WindowLossWatch.h"

#include <QCoreApplication>
#include <QTimer>

namespace tessaro {

WindowLossWatch::WindowLossWatch(QWidget& window, std::function<void()> lost)
    : m_window(&window), m_lost(std::move(lost)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowLossWatch::~WindowLossWatch() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowLossWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    // A window that Qt recreates gets a new id, so only the current one counts.
    if (!m_reported && m_window && m_window->testAttribute(Qt::WA_WState_Created) &&
        isDestroyed(eventType, message, quintptr(m_window->winId())))
        report();
    return false;
}

void WindowLossWatch::report() {
    m_reported = true;
    // Out of the native event dispatch first.
    QTimer::singleShot(0, m_window.data(), [this] {
        if (m_lost) m_lost();
    });
}

}  // namespace tessaro
