#pragma once
// Command lines are built as one text (the form the encoders' options are
// written in) and split back into an argument vector by the Windows rules
// before a child is started; no shell ever sees them.

#include <string>
#include <vector>

namespace tessaro {

// Splits a command line the way CommandLineToArgvW does: blanks and tabs
// separate arguments outside double quotes; a double quote toggles quoting;
// 2n backslashes before a quote give n backslashes and the quote toggles,
// 2n+1 give n backslashes and a literal quote; other backslashes are literal.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// Wraps a path in double quotes so that splitCommandLine() gives it back as
// one argument equal to the path, whatever it holds (blanks, quotes,
// backslashes, newlines). A path without quotes or backslashes before a quote
// comes out as Q + path + Q, the plain designed form.
std::string quotePath(const std::string& path);

// The inverse of splitCommandLine(): a command line that splits back into
// exactly args (and that a Windows C runtime splits the same way; args[0],
// the program, never holds a double quote there). Arguments without blanks,
// tabs or quotes stay as they are; the others are quoted with quotePath().
std::string joinCommandLine(const std::vector<std::string>& args);

}  // namespace tessaro
