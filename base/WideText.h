#pragma once
// Windows only: conversions between the program's UTF-8 text and the wide
// (UTF-16) text of the W functions, and the system's error texts.

#include <functional>
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

// The text of a W function that is asked with a buffer and its size in
// characters, and answers with the length it wrote (without the closing
// null) when the buffer was big enough, the size it needs (with the null)
// when not, and 0 when it fails: GetTempPathW, GetFullPathNameW,
// GetEnvironmentVariableW. Asked again with a buffer of the size needed until
// the text fits (it may grow in between); "" when the function fails.
std::wstring sizedText(
    const std::function<unsigned long(unsigned long size, wchar_t* buffer)>& ask);

}  // namespace tessaro::wide
