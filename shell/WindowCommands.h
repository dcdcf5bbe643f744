#pragma once
// Hooks the main window calls for the pieces that live in other files: the
// skin layer, the options dialog and the feedback form. An empty hook does
// nothing, so the window works before those pieces are wired in.

#include <functional>

class QWidget;

namespace tessaro {

struct WindowCommands {
    // Start-up step 2: SkinH_Attach, SkinH_Aero(window), SkinH_Aero_Adjust(220, 0...).
    std::function<void(QWidget* window)> attachSkin;
    // Toolbar index 2: shows frmOptions modally and returns when it closes.
    std::function<void(QWidget* owner)> showOptions;
    // Click of lblFeed: shows frmSuggest modally; the link is inert while unset.
    std::function<void(QWidget* owner)> showFeedback;
};

// The program-wide hooks, filled once before the main window loads.
WindowCommands& windowCommands();

}  // namespace tessaro
