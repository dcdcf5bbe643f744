#pragma once
// An image button: a label that shows nothing (or a quiet normal picture) in
// its normal state and its hover picture while the pointer moves over it,
// with the pointing-hand pointer and a clicked() signal.
//
// The hover picture stays until setHovered(false): leaving the button does
// not clear it; the window's background handler and the button's own command
// do. Wiring in frmMain:
//   auto* imgHelp = new ImageButton(this);
//   imgHelp->setGeometry(635, 8, 15, 15);
//   imgHelp->setToolTip("Help & Tutorial");
//   imgHelp->setHoverPicture(hoverPicture(HoverPicture::HelpLight));
//   connect(imgHelp, &ImageButton::clicked, this, [=] { openHelp(); imgHelp->setHovered(false); });
//   connect(background, &BackgroundHandler::pointerOverBackground, imgHelp,
//           [=] { imgHelp->setHovered(false); });

#include <QLabel>
#include <QPixmap>

namespace tessaro {

class ImageButton : public QLabel {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

    // The picture shown while hovered.
    void setHoverPicture(const QPixmap& picture);
    // The picture shown in the normal state; none by default (what lies
    // beneath shows through).
    void setNormalPicture(const QPixmap& picture);

    // Shows the hover picture (true) or the normal state (false).
    void setHovered(bool hovered);
    bool isHovered() const { return m_hovered; }

signals:
    // A left-button press and release on the button.
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showState();

    QPixmap m_hoverPicture;
    QPixmap m_normalPicture;
    bool m_hovered = false;
    bool m_pressed = false;
};

}  // namespace tessaro
