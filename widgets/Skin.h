#pragma once
// The skin layer: one Qt style sheet (skin.qss in the application folder)
// that gives the windows a consistent look. Three entry points, called once
// each, in this order, at start-up:
//   SkinH_Attach();                                  // load skin.qss, apply it application-wide
//   SkinH_Aero(this);                                // mark the main window as skinned
//   SkinH_Aero_Adjust(220, 0, 0, 0, 0, 0, 0, 0, 0);  // tune the glass highlight
// No result needs to be read: a missing or unreadable skin.qss leaves every
// window unskinned and the calls do nothing else.

#include <QString>

class QWidget;

namespace tessaro {

// Loads skin.qss from the application folder and applies it to the whole
// application, so the dialogs share the main window's look. True when a
// sheet was applied.
bool SkinH_Attach();

// The same from a given file (tests, other skins).
bool SkinH_AttachFile(const QString& path);

// Marks `window` as the skinned main window (its sheet rules keyed on the
// property skin="aero" take effect). Does nothing without an attached skin.
void SkinH_Aero(QWidget* window);

// Adjusts the skin: `alpha` (0-255) is the strength of the glass highlight
// on buttons and the window's top band; hue, saturation and brightness shift
// the accent colour (degrees, percent, percent; 0 = as designed); the other
// five are reserved and must be 0. Does nothing without an attached skin.
void SkinH_Aero_Adjust(int alpha, int hue, int saturation, int brightness, int reserved1,
                       int reserved2, int reserved3, int reserved4, int reserved5);

// The sheet currently applied ("" when unskinned).
QString skinStyleSheet();

// Removes the skin from the application again (tests, switching skins).
void skinDetach();

}  // namespace tessaro
