#pragma once
// An image button: a label that shows nothing (or a quiet normal picture) in
// its normal state and its hover picture while the pointer moves over it,
// with the pointing-hand pointer and a clicked() signal.
//
// The hover picture stays until setHovered(false): leaving the button does
// not clear it; the window's background handler and the button's own command
// do.

#include <QPixmap>

#include "widgets/ClickLabel.h"
#include "widgets/HoverPictures.h"

namespace tessaro {

class ImageButton : public ClickLabel {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);
    // A button showing `picture`: its hover picture when hovered, the quiet
    // version in the normal state (for windows with no artwork beneath).
    ImageButton(HoverPicture picture, QWidget* parent);

    // The picture shown while hovered.
    void setHoverPicture(const QPixmap& picture);
    // The picture shown in the normal state; none by default (what lies
    // beneath shows through).
    void setNormalPicture(const QPixmap& picture);

    // Shows the hover picture (true) or the normal state (false).
    void setHovered(bool hovered);
    bool isHovered() const { return m_hovered; }

protected:
    void pointerMoved() override { setHovered(true); }

private:
    void showState();

    QPixmap m_hoverPicture;
    QPixmap m_normalPicture;
    bool m_hovered = false;
};

}  // namespace tessaro
