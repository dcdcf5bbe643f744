#pragma once
// A label that reports a left click: a press and a release on the label.
// The window's hidden command buttons are plain ClickLabels; ImageButton and
// LinkLabel add the pointing hand and a hover state on top.

#include <QLabel>

namespace tessaro {

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent = nullptr) : QLabel(parent) {}
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {}

signals:
    void clicked();

protected:
    // Called for every pointer move over the label; nothing by default.
    virtual void pointerMoved() {}

    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

}  // namespace tessaro
