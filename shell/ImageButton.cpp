#include "shell/ImageButton.h"

#include <QMouseEvent>

#include "shell/HandCursor.h"

namespace tessaro {

ImageButton::ImageButton(QWidget* parent) : QLabel(parent) {
    setCursor(pointingHandCursor());
    setMouseTracking(true);  // plain moves set the hover picture
    setAlignment(Qt::AlignCenter);
}

void ImageButton::setHoverPicture(const QPixmap& picture) {
    m_hoverPicture = picture;
    showState();
}

void ImageButton::setNormalPicture(const QPixmap& picture) {
    m_normalPicture = picture;
    showState();
}

void ImageButton::setHovered(bool hovered) {
    if (m_hovered == hovered) return;
    m_hovered = hovered;
    showState();
}

void ImageButton::showState() {
    const QPixmap& picture = m_hovered ? m_hoverPicture : m_normalPicture;
    if (picture.isNull())
        clear();
    else
        setPixmap(picture);
}

void ImageButton::mouseMoveEvent(QMouseEvent* event) {
    setHovered(true);
    event->accept();
}

void ImageButton::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) emit clicked();
}

}  // namespace tessaro
