#pragma once
// The 32 x 32 icons of the button row and the start button, drawn in code in
// one flat style: a page or folder with a round badge, a gear, a power sign,
// a play sign and a stop sign; and the application's icon.

#include <QIcon>

namespace tessaro {

enum class ToolIcon { AddFile, AddFolder, RemoveFile, Settings, Exit, Start, Stop };

QIcon toolIcon(ToolIcon icon);

// The window's icon: the installed "tessaro" icon of the desktop's theme,
// else the same picture drawn here.
QIcon applicationIcon();

}  // namespace tessaro
