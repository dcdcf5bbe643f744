#include "base/WideText.h"

#include <windows.h>

namespace tessaro::wide {

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::string toUtf8(const wchar_t* text) { return text ? toUtf8(std::wstring(text)) : std::string(); }

std::wstring sizedText(
    const std::function<unsigned long(unsigned long size, wchar_t* buffer)>& ask) {
    std::wstring text(MAX_PATH + 1, L'\0');
    for (;;) {
        const unsigned long n = ask(static_cast<unsigned long>(text.size()), text.data());
        if (n == 0) return {};
        if (n < text.size()) {
            text.resize(n);
            return text;
        }
        // n is the size needed, its null included; one more keeps the buffer
        // growing whatever the function answers.
        text.assign(n + 1, L'\0');
    }
}

std::string errorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? toUtf8(std::wstring(buffer, n)) : std::string();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace tessaro::wide
