#pragma once
// Synthetic pointer events delivered the way the window system delivers
// them: to the widget under the point, in its own coordinates.

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace tessaro::test {

inline void sendMouse(QWidget* window, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QWidget* target = window->childAt(pos);
    if (!target) target = window;
    const QPointF local = target->mapFrom(window, pos);
    const QPointF global = window->mapToGlobal(QPointF(pos));
    QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A move to `pos` (window coordinates), with `buttons` held.
inline void moveTo(QWidget* window, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
    sendMouse(window, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

inline void pressAt(QWidget* window, QPoint pos) {
    sendMouse(window, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}

inline void releaseAt(QWidget* window, QPoint pos) {
    sendMouse(window, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

inline QPoint centreOf(const QWidget* w) { return w->geometry().center(); }

}  // namespace tessaro::test
