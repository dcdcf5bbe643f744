#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>

#include "ChildPlatform.h"

namespace tessaro::testing {
namespace {

std::string toUtf8(const wchar_t* text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::vector<std::string> childArguments(int, char**) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide && i < count; ++i) args.push_back(toUtf8(wide[i]));
    ::LocalFree(wide);
    return args;
}

void writeAll(const char* data, std::size_t size) {
    // The standard output handle itself: no C runtime text mode in between.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    while (size > 0) {
        DWORD n = 0;
        if (!::WriteFile(out, data, static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20)), &n, nullptr))
            std::_Exit(100);
        data += n;
        size -= n;
    }
}

int platformMode(const std::vector<std::string>&) { return 2; }

}  // namespace tessaro::testing
