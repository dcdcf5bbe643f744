#pragma once
// A label that reports a left click; the window's image buttons and link
// labels until their skinned versions take over.

#include <QLabel>
#include <QMouseEvent>

namespace tessaro {

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            emit clicked();
        QLabel::mouseReleaseEvent(event);
    }
};

}  // namespace tessaro
