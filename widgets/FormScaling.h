#pragma once
// Scales a form at load the way the main window is scaled: its size and each
// of its controls' rectangles and fonts by the screen factor, so that they
// keep their 96-dpi pixel sizes on any display (see Scaling.h).

class QWidget;

namespace tessaro {

struct ScreenDpi {
    double x = 96, y = 96;
};

// The logical dots per inch of the screen that shows (or will show) `widget`.
ScreenDpi screenDpi(const QWidget& widget);

// Scales `form` and its direct child controls for a screen of `dpi`. Image
// buttons have no font; a form of fixed size keeps a fixed size.
void scaleFormToScreen(QWidget& form, ScreenDpi dpi);
void scaleFormToScreen(QWidget& form);  // for its own screen

}  // namespace tessaro
