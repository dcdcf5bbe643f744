#include "settings/SettingsEncoding.h"

#include <windows.h>

#include "base/WideText.h"

namespace tessaro {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool isUtf8(const std::string& bytes) {
    return bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                  static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

}  // namespace

std::string settingsTextFromFile(const std::string& bytes) {
    if (bytes.rfind(kByteOrderMark, 0) == 0) return bytes.substr(3);
    if (isUtf8(bytes)) return bytes;
    const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return wide::toUtf8(text);
}

std::string settingsFileFromText(const std::string& text) {
    if (::GetACP() == CP_UTF8) return text;
    const std::wstring w = wide::fromUtf8(text);
    if (w.empty()) return {};
    BOOL lost = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), nullptr,
                                        0, nullptr, &lost);
    if (n <= 0 || lost) return kByteOrderMark + text;
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), bytes.data(), n,
                          nullptr, nullptr);
    return bytes;
}

}  // namespace tessaro
