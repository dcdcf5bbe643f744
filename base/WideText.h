#pragma once
// Windows only: conversions between the program's UTF-8 text and the wide
// (UTF-16) text of the W functions, and the system's error texts.

#include <string>

namespace tessaro::wide {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring fromUtf8(const std::string& text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(const std::wstring& text);
std::string toUtf8(const wchar_t* text);

// The system's text for an error code (GetLastError()), in UTF-8, without
// its line end; "error N" when the system has none.
std::string errorText(unsigned long code);

}  // namespace tessaro::wide
