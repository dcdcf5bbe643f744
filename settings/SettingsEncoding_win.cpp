#include <windows.h>

#include "base/WideText.h"
#include "settings/SettingsEncoding.h"

namespace tessaro {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

}  // namespace

// Without the mark the bytes are in the code page, even when they also read
// as UTF-8: GBK's two-byte characters from C0-DF followed by 80-BF (CD BC C6
// AC is "图片") are valid UTF-8 as well, and guessing turns them into other
// characters.
std::string settingsTextFromFile(const std::string& bytes) {
    if (bytes.rfind(kByteOrderMark, 0) == 0) return bytes.substr(3);
    if (bytes.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return wide::toUtf8(text);
}

std::string settingsFileFromText(const std::string& text) {
    if (::GetACP() == CP_UTF8) return text;
    const std::wstring w = wide::fromUtf8(text);
    if (w.empty()) return {};
    BOOL lost = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(),
                                        static_cast<int>(w.size()), nullptr, 0, nullptr, &lost);
    if (n <= 0 || lost) return kByteOrderMark + text;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()),
                          bytes.data(), n, nullptr, nullptr);
    return bytes;
}

}  // namespace tessaro
