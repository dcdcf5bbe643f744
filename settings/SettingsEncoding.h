#pragma once
// The byte encoding of setup.ini and options.ini: the system code page.
// Inside the program all text is UTF-8.

#include <string>

namespace tessaro {

// The file's bytes as UTF-8 text. Here the files are UTF-8 and the bytes are
// kept as they are. On Windows a file with a UTF-8 byte-order mark (dropped)
// is UTF-8; any other is read in the ANSI code page (GBK on Chinese systems),
// as settingsFileFromText and earlier versions wrote it, whether or not its
// bytes would also pass for UTF-8.
std::string settingsTextFromFile(const std::string& bytes);

// The bytes to write for UTF-8 text. Here the text itself. On Windows the
// ANSI code page when every character fits, else UTF-8 behind a byte-order
// mark, so that no character the user chose is lost.
std::string settingsFileFromText(const std::string& text);

}  // namespace tessaro
