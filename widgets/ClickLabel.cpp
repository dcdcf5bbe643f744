#include "widgets/ClickLabel.h"

#include <QMouseEvent>

namespace tessaro {

// The label takes its pointer events, so they never reach the window's
// background handler beneath it.
void ClickLabel::mouseMoveEvent(QMouseEvent* event) {
    pointerMoved();
    event->accept();
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) emit clicked();
}

}  // namespace tessaro
