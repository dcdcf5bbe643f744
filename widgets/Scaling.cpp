#include "widgets/Scaling.h"

#include <cmath>

namespace tessaro {
namespace {

constexpr double kDesignTwipsPerPixel = 15.0;

// A length designed in pixels, scaled in twips, shown in pixels of the display.
int scaled(int pixels, double factor, double twipsPerPixel) {
    const double twips = std::round(pixels * kDesignTwipsPerPixel * factor);
    return int(std::lround(twips / twipsPerPixel));
}

}  // namespace

WindowLayout scaleLayout(const WindowLayout& design, double twipsPerPixelX,
                         double twipsPerPixelY) {
    const double fx = twipsPerPixelX / kDesignTwipsPerPixel;
    const double fy = twipsPerPixelY / kDesignTwipsPerPixel;
    WindowLayout out = design;
    out.width = scaled(design.width, fx, twipsPerPixelX);
    out.height = scaled(design.height, fy, twipsPerPixelY);
    out.txtPathFontPoints = design.txtPathFontPoints * fy;
    for (ControlLayout& control : out.controls) {
        control.left = scaled(control.left, fx, twipsPerPixelX);
        control.top = scaled(control.top, fy, twipsPerPixelY);
        if (control.hasSize) {
            control.width = scaled(control.width, fx, twipsPerPixelX);
            control.height = scaled(control.height, fy, twipsPerPixelY);
        }
        if (control.fontPoints) {
            const double base = control.name == "txtPath" ? out.txtPathFontPoints
                                                          : *control.fontPoints;
            control.fontPoints = base * fx;
        }
    }
    return out;
}

double twipsPerPixel(double dotsPerInch) {
    return dotsPerInch > 0 ? 1440.0 / dotsPerInch : kDesignTwipsPerPixel;
}

}  // namespace tessaro
