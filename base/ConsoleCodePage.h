#pragma once
// The console code page of the command-line programs (tessaro-cli and the
// encoders), which print UTF-8.

namespace tessaro::platform {

// Lets a console show the program's UTF-8 output until the program ends:
// nothing here. On Windows the console's output code page becomes UTF-8 and
// the one it had is put back when the program leaves, so that the console it
// shares with its shell is as it was: on return from main, on exit(), on
// abort(), and on a console event (Ctrl+C, Ctrl+Break, closing) that no
// handler of the program's own takes. A program without a console, or whose
// console is already UTF-8, changes nothing. Call it first in main.
void useUtf8Console();

}  // namespace tessaro::platform
