#pragma once
// Pixel-exact scaling: the layout is designed at 15 twips per pixel (96 dpi).
// At load the window's size and every control's position, size and font are
// multiplied by the screen factor (twips per pixel / 15), in twips; so every
// rectangle keeps its 96-dpi pixel size and fonts shrink in points.

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

struct ControlLayout {
    std::string name;
    int left = 0, top = 0, width = 0, height = 0;  // pixels at 96 dpi
    bool hasSize = true;                           // a timer has none
    std::optional<double> fontPoints;              // an image has no font
};

struct WindowLayout {
    int width = 0, height = 0;  // client area, pixels at 96 dpi
    double txtPathFontPoints = 0;
    std::vector<ControlLayout> controls;
};

// The layout after scaling on a display of the given twips per pixel,
// expressed again in that display's pixels (rounded) and in points.
// txtPath's font is multiplied by fy and then by fx, as the load does.
WindowLayout scaleLayout(const WindowLayout& design, double twipsPerPixelX,
                         double twipsPerPixelY);

// The screen factor's twips per pixel for a logical dpi (1440 / dpi).
double twipsPerPixel(double dotsPerInch);

}  // namespace tessaro
