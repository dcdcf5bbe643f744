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

void closeOutputs() {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    ::CloseHandle(out);
    if (err != out) ::CloseHandle(err);
}

// spawn ARGS...: starts a copy of itself with ARGS on the same standard
// output, writes "parent\n" and exits without waiting for it.
int platformMode(const std::vector<std::string>& args) {
    if (args[1] != "spawn") return 2;
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\"";
    for (std::size_t i = 2; i < args.size(); ++i) {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, args[i].c_str(), -1, nullptr, 0);
        std::wstring arg(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
        if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, args[i].c_str(), -1, arg.data(), n);
        line += L" " + arg;
    }
    STARTUPINFOW info{};
    info.cb = sizeof info;
    info.dwFlags = STARTF_USESTDHANDLES;
    info.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    info.hStdError = info.hStdOutput;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &info,
                          &process))
        return 4;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    writeAll("parent\n", 7);
    return 0;
}

}  // namespace tessaro::testing
