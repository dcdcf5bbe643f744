#include "widgets/LinkLabel.h"

#include "widgets/HandCursor.h"

namespace tessaro {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : ClickLabel(text, parent) {
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

}  // namespace tessaro
