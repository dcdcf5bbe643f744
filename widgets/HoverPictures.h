#pragma once
// The small pictures of the image buttons, drawn in code: the highlighted
// (hover) picture of each button and a quiet normal picture for windows that
// have no background artwork beneath their buttons.

#include <QPixmap>
#include <QSize>

namespace tessaro {

enum class HoverPicture {
    HelpLight,    // imgHelpLight: a question mark, 12 x 17
    MinLight,     // imgMinLight: a bar, 14 x 14
    ExitLight,    // imgExitLight: a cross, 14 x 13
    SendLight,    // frmSuggest's imgSendLight: a paper plane, 24 x 24
    BackLight,    // frmSuggest's imgBackLight: an arrow to the left, 24 x 24
    SuggestExitLight,  // frmSuggest's imgExitLight: a cross, 14 x 13
};

// Size of the picture in pixels.
QSize hoverPictureSize(HoverPicture picture);

// The highlighted picture: a bright glyph on a soft highlight.
QPixmap hoverPicture(HoverPicture picture);

// The same glyph in a quiet grey on a transparent ground, same size.
QPixmap normalPicture(HoverPicture picture);

}  // namespace tessaro
