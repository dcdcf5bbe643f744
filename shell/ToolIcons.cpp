#include "shell/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace tessaro {
namespace {

const QColor kOutline(74, 90, 112);
const QColor kGreen(46, 160, 67);
const QColor kRed(214, 69, 65);

void drawPage(QPainter& p) {
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{7, 3}, {19, 3}, {25, 9}, {25, 29}, {7, 29}}));
    p.drawPolyline(QPolygonF({QPointF(19, 3), QPointF(19, 9), QPointF(25, 9)}));
    p.setPen(QPen(QColor(170, 182, 198), 1.5));
    for (int y : {14, 18, 22}) p.drawLine(QPointF(10, y), QPointF(20, y));
}

void drawFolder(QPainter& p) {
    p.setPen(QPen(QColor(176, 128, 30), 1.5));
    p.setBrush(QColor(242, 193, 78));
    p.drawPolygon(QPolygonF({{3, 8}, {12, 8}, {15, 11}, {29, 11}, {29, 27}, {3, 27}}));
    p.setBrush(QColor(250, 214, 120));
    p.drawRect(QRectF(3, 14, 26, 13));
}

// A round badge at the bottom right with a plus or a minus.
void drawBadge(QPainter& p, const QColor& colour, bool plus) {
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(colour);
    p.drawEllipse(QRectF(17, 17, 14, 14));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20.5, 24), QPointF(27.5, 24));
    if (plus) p.drawLine(QPointF(24, 20.5), QPointF(24, 27.5));
}

void drawGear(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kOutline);
    p.translate(16, 16);
    for (int i = 0; i < 8; ++i) {
        p.drawRoundedRect(QRectF(-3, -14, 6, 8), 1.5, 1.5);
        p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(0, 0), 4, 4);
    p.resetTransform();
}

void drawPower(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 9, 14, 14), 120 * 16, -240 * 16);
    p.drawLine(QPointF(16, 7), QPointF(16, 15));
}

void drawPlay(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(12.5, 9), QPointF(23.5, 16), QPointF(12.5, 23)}));
}

void drawStop(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(10.5, 10.5, 11, 11), 1.5, 1.5);
}

QPixmap draw(ToolIcon icon, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    switch (icon) {
    case ToolIcon::AddFile:
        drawPage(p);
        drawBadge(p, kGreen, true);
        break;
    case ToolIcon::AddFolder:
        drawFolder(p);
        drawBadge(p, kGreen, true);
        break;
    case ToolIcon::RemoveFile:
        drawPage(p);
        drawBadge(p, kRed, false);
        break;
    case ToolIcon::Settings: drawGear(p); break;
    case ToolIcon::Exit: drawPower(p); break;
    case ToolIcon::Start: drawPlay(p); break;
    case ToolIcon::Stop: drawStop(p); break;
    }
    return pixmap;
}

// The application icon as packaging/tessaro.svg draws it, on its 256 grid:
// a film frame with a play mark and a turning arrow on a blue tile.
QPixmap drawApplication(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QLinearGradient back(0, 12, 0, 244);
    back.setColorAt(0, QColor("#3a8ee6"));
    back.setColorAt(1, QColor("#1f5fae"));
    p.setPen(QPen(QColor("#174a87"), 4));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#f4f7fb"));
    p.drawRoundedRect(QRectF(40, 52, 120, 120), 12, 12);
    p.setBrush(QColor("#1f5fae"));
    for (int x : {50, 136})
        for (int y : {62, 93, 124, 148}) p.drawRoundedRect(QRectF(x, y, 14, 14), 3, 3);
    p.setBrush(QColor("#e8453c"));
    p.drawPolygon(QPolygonF({QPointF(84, 84), QPointF(120, 112), QPointF(84, 140)}));
    QPainterPath arrow(QPointF(108, 192));
    arrow.cubicTo(156, 192, 182, 174, 190, 136);
    arrow.lineTo(170, 136);
    arrow.lineTo(202, 98);
    arrow.lineTo(232, 136);
    arrow.lineTo(214, 136);
    arrow.cubicTo(204, 194, 166, 218, 108, 218);
    arrow.closeSubpath();
    QLinearGradient gold(108, 0, 232, 0);
    gold.setColorAt(0, QColor("#ffd34d"));
    gold.setColorAt(1, QColor("#ff9f1c"));
    p.setPen(QPen(QColor("#b86a00"), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(gold);
    p.drawPath(arrow);
    return pixmap;
}

}  // namespace

QIcon applicationIcon() {
    QIcon drawn;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) drawn.addPixmap(drawApplication(size));
    // The installed icon when there is one, so that the window and the menu
    // entry look alike.
    return QIcon::fromTheme("tessaro", drawn);
}

QIcon toolIcon(ToolIcon icon) {
    QIcon result;
    for (int size : {32, 64}) result.addPixmap(draw(icon, size));
    return result;
}

}  // namespace tessaro
