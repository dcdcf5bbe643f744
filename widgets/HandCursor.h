#pragma once
// The pointing-hand pointer of the image buttons and link labels: a
// monochrome 32 x 32 hand drawn in code, hot spot at the fingertip (6, 0).
//
// Wiring: ImageButton and LinkLabel set it themselves; any other control
// that should show it calls widget->setCursor(tessaro::pointingHandCursor()).

#include <QCursor>

namespace tessaro {

// The hand pointer; built once and shared.
QCursor pointingHandCursor();

}  // namespace tessaro
