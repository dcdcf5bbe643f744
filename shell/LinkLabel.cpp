#include "shell/LinkLabel.h"

#include <QMouseEvent>

#include "shell/HandCursor.h"

namespace tessaro {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(pointingHandCursor());
    setMouseTracking(true);
}

void LinkLabel::setHovered(bool hovered) {
    hovered = hovered && m_boldOnHover;
    if (m_hovered == hovered) return;
    m_hovered = hovered;
    QFont f = font();
    f.setBold(hovered);
    setFont(f);
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event) {
    setHovered(true);
    event->accept();
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) emit clicked();
}

}  // namespace tessaro
