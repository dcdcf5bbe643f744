#include "widgets/ImageButton.h"

#include "widgets/HandCursor.h"

namespace tessaro {

ImageButton::ImageButton(QWidget* parent) : ClickLabel(parent) {
    setCursor(pointingHandCursor());
    setMouseTracking(true);  // plain moves set the hover picture
    setAlignment(Qt::AlignCenter);
}

ImageButton::ImageButton(HoverPicture picture, QWidget* parent) : ImageButton(parent) {
    m_hoverPicture = hoverPicture(picture);
    setNormalPicture(normalPicture(picture));
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

}  // namespace tessaro
