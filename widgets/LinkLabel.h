#pragma once
// A link label: a caption with the pointing-hand pointer and a clicked()
// signal; optionally bold while the pointer moves over it. Like ImageButton,
// the bold caption stays until setHovered(false). A disabled label gets no
// pointer events, so it neither turns bold nor reacts to clicks.

#include "widgets/ClickLabel.h"

namespace tessaro {

class LinkLabel : public ClickLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    // Whether hovering makes the caption bold (off by default).
    void setBoldOnHover(bool bold) { m_boldOnHover = bold; }

    // Bold caption (true, when bold on hover is set) or normal weight.
    void setHovered(bool hovered);
    bool isHovered() const { return m_hovered; }

protected:
    void pointerMoved() override { setHovered(true); }

private:
    bool m_boldOnHover = false;
    bool m_hovered = false;
};

}  // namespace tessaro
