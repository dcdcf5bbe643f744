#pragma once
// The window's background as a handle: a left-button press on the background
// followed by a move drags the window, and every pointer move over the
// background (a point no child widget covers) reports pointerOverBackground(),
// which the window connects to the resets of its hover states. Moves over a
// child, caption labels included, do nothing here.
//
// The drag goes through QWindow::startSystemMove(); where the platform has no
// window manager move (offscreen, a bare X server) the handler moves the
// window itself while the button is held.

#include <QObject>
#include <QPoint>

class QWidget;

namespace tessaro {

class BackgroundHandler : public QObject {
    Q_OBJECT
public:
    // Watches `window` (a top-level widget); owned by it.
    explicit BackgroundHandler(QWidget* window);

signals:
    // The pointer moved over the background, with or without a button held.
    void pointerOverBackground();
    // A left-button drag on the background began moving the window.
    void dragStarted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isBackground(const QPoint& pos) const;

    QWidget* m_window;
    bool m_pressed = false;       // left button went down on the background
    bool m_movingByHand = false;  // no system move: following the pointer
    QPoint m_pressGlobal;
    QPoint m_windowAtPress;
};

}  // namespace tessaro
