#include "widgets/HandCursor.h"

#include <QBitmap>
#include <QPainter>

namespace tessaro {

namespace {

// 'X' black outline, 'o' white fill, anything else transparent.
// The fingertip's top pixel is column 6 of row 0.
const char* const kHand[] = {
    "      XX",
    "     XooX",
    "     XooX",
    "     XooX",
    "     XooX",
    "     XooXXX",
    "     XooXooXXX",
    "     XooXooXooXX",
    "     XooXooXooXoX",
    " XXX XooooooooXooX",
    " XooXXoooooooooooX",
    " XoooXoooooooooooX",
    "  XooXoooooooooooX",
    "   XoXoooooooooooX",
    "   XooooooooooooX",
    "    XoooooooooooX",
    "    XooooooooooX",
    "     XoooooooooX",
    "     XoooooooooX",
    "      XooooooooX",
    "      XXXXXXXXXX",
};

QCursor buildHand() {
    QBitmap shape(32, 32);
    QBitmap mask(32, 32);
    shape.fill(Qt::color0);
    mask.fill(Qt::color0);
    {
        QPainter ps(&shape);
        QPainter pm(&mask);
        ps.setPen(Qt::color1);
        pm.setPen(Qt::color1);
        int row = 0;
        for (const char* line : kHand) {
            for (int col = 0; line[col] != '\0'; ++col) {
                if (line[col] == 'X') {
                    ps.drawPoint(col, row);  // shape 1 + mask 1: black
                    pm.drawPoint(col, row);
                } else if (line[col] == 'o') {
                    pm.drawPoint(col, row);  // shape 0 + mask 1: white
                }
            }
            ++row;
        }
    }
    return QCursor(shape, mask, 6, 0);
}

}  // namespace

QCursor pointingHandCursor() {
    // Never destroyed: a cursor must not outlive the application's pixmaps.
    static const QCursor* hand = new QCursor(buildHand());
    return *hand;
}

}  // namespace tessaro
