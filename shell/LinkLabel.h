#pragma once
// A link label: a caption with the pointing-hand pointer and a clicked()
// signal; optionally bold while the pointer moves over it. Like ImageButton,
// the bold caption stays until setHovered(false). A disabled label gets no
// pointer events, so it neither turns bold nor reacts to clicks.
//
// Wiring in frmMain:
//   auto* lblFeed = new LinkLabel("意见反馈", this);
//   lblFeed->setBoldOnHover(true);
//   lblFeed->setToolTip("Send us your suggestion or question");
//   connect(lblFeed, &LinkLabel::clicked, this, &frmMain::showFeedback);
//   connect(background, &BackgroundHandler::pointerOverBackground, lblFeed,
//           [=] { lblFeed->setHovered(false); });
//   auto* lblWeb = new LinkLabel("Tessaro", this);   // pointer only

#include <QLabel>

namespace tessaro {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    // Whether hovering makes the caption bold (off by default).
    void setBoldOnHover(bool bold) { m_boldOnHover = bold; }

    // Bold caption (true, when bold on hover is set) or normal weight.
    void setHovered(bool hovered);
    bool isHovered() const { return m_hovered; }

signals:
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_boldOnHover = false;
    bool m_hovered = false;
    bool m_pressed = false;
};

}  // namespace tessaro
