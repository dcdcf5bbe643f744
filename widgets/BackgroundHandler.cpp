#include "widgets/BackgroundHandler.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace tessaro {

BackgroundHandler::BackgroundHandler(QWidget* window) : QObject(window), m_window(window) {
    m_window->setMouseTracking(true);
    m_window->installEventFilter(this);
}

bool BackgroundHandler::isBackground(const QPoint& pos) const {
    // Mouse events a child ignores travel up to the window; only points that
    // no child covers are background.
    return m_window->rect().contains(pos) && m_window->childAt(pos) == nullptr;
}

bool BackgroundHandler::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pos = mouse->position().toPoint();
        if (mouse->button() == Qt::LeftButton && isBackground(pos)) {
            m_pressed = true;
            m_movingByHand = false;
            m_pressGlobal = mouse->globalPosition().toPoint();
            m_windowAtPress = m_window->pos();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_movingByHand) {
            if (mouse->buttons() & Qt::LeftButton) {
                m_window->move(m_windowAtPress + mouse->globalPosition().toPoint() - m_pressGlobal);
                return true;
            }
            m_movingByHand = false;
        }
        if (!isBackground(mouse->position().toPoint())) break;
        if (m_pressed && (mouse->buttons() & Qt::LeftButton)) {
            m_pressed = false;
            emit dragStarted();
            QWindow* handle = m_window->windowHandle();
            if (!handle || !handle->startSystemMove()) {
                m_movingByHand = true;
                m_window->move(m_windowAtPress + mouse->globalPosition().toPoint() - m_pressGlobal);
            }
        }
        emit pointerOverBackground();
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_pressed = false;
            m_movingByHand = false;
        }
        break;
    default:
        break;
    }
    return false;
}

}  // namespace tessaro
