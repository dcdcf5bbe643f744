#include "widgets/HoverPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace tessaro {

namespace {

const QColor kGlyphLit(255, 255, 255);
const QColor kGroundLit(40, 120, 215);
const QColor kGlyphQuiet(90, 98, 110);

void drawGlyph(QPainter& p, HoverPicture picture, QSize size, const QColor& colour) {
    const qreal w = size.width();
    const qreal h = size.height();
    QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (picture) {
    case HoverPicture::HelpLight: {
        // question mark: an arc with a stem, and a dot
        QPainterPath path;
        path.moveTo(w * 0.25, h * 0.32);
        path.cubicTo(w * 0.25, h * 0.10, w * 0.78, h * 0.08, w * 0.78, h * 0.32);
        path.cubicTo(w * 0.78, h * 0.48, w * 0.50, h * 0.48, w * 0.50, h * 0.64);
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(w * 0.50, h * 0.82), 1.2, 1.2);
        break;
    }
    case HoverPicture::MinLight:
        pen.setWidthF(2.0);
        p.setPen(pen);
        p.drawLine(QPointF(w * 0.22, h * 0.70), QPointF(w * 0.78, h * 0.70));
        break;
    case HoverPicture::ExitLight:
    case HoverPicture::SuggestExitLight:
        pen.setWidthF(1.8);
        p.setPen(pen);
        p.drawLine(QPointF(w * 0.27, h * 0.25), QPointF(w * 0.73, h * 0.75));
        p.drawLine(QPointF(w * 0.73, h * 0.25), QPointF(w * 0.27, h * 0.75));
        break;
    case HoverPicture::SendLight: {
        QPainterPath plane;
        plane.moveTo(w * 0.12, h * 0.48);
        plane.lineTo(w * 0.88, h * 0.16);
        plane.lineTo(w * 0.62, h * 0.86);
        plane.lineTo(w * 0.46, h * 0.58);
        plane.closeSubpath();
        p.drawPath(plane);
        p.drawLine(QPointF(w * 0.46, h * 0.58), QPointF(w * 0.88, h * 0.16));
        break;
    }
    case HoverPicture::BackLight: {
        pen.setWidthF(2.0);
        p.setPen(pen);
        p.drawLine(QPointF(w * 0.20, h * 0.50), QPointF(w * 0.80, h * 0.50));
        QPainterPath head;
        head.moveTo(w * 0.45, h * 0.25);
        head.lineTo(w * 0.20, h * 0.50);
        head.lineTo(w * 0.45, h * 0.75);
        p.drawPath(head);
        break;
    }
    }
}

QPixmap draw(HoverPicture picture, bool lit) {
    const QSize size = hoverPictureSize(picture);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (lit) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGroundLit);
        p.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), 3, 3);
    }
    drawGlyph(p, picture, size, lit ? kGlyphLit : kGlyphQuiet);
    return pixmap;
}

}  // namespace

QSize hoverPictureSize(HoverPicture picture) {
    switch (picture) {
    case HoverPicture::HelpLight: return {12, 17};
    case HoverPicture::MinLight: return {14, 14};
    case HoverPicture::ExitLight:
    case HoverPicture::SuggestExitLight: return {14, 13};
    case HoverPicture::SendLight:
    case HoverPicture::BackLight: return {24, 24};
    }
    return {};
}

QPixmap hoverPicture(HoverPicture picture) { return draw(picture, true); }

QPixmap normalPicture(HoverPicture picture) { return draw(picture, false); }

}  // namespace tessaro
