// Child for the console code page tests: switches its console to UTF-8 as
// the command-line programs do, writes the code page it then sees and
// "ready", and leaves as ARGV[1] says:
//   return    returns from main
//   exit      calls exit(3)
//   abort     calls abort()
// Copied as ffmpeg.exe it is a slow ffmpeg that fails, for the encoders: it
// sleeps 3 s and exits with 1, whatever its arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/ConsoleCodePage.h"

namespace {

bool namedFfmpeg() {
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return n >= 10 && ::lstrcmpiW(self + n - 10, L"ffmpeg.exe") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (namedFfmpeg()) {
        ::Sleep(3000);
        return 1;
    }
    tessaro::platform::useUtf8Console();
    const std::string mode = argc > 1 ? argv[1] : "";
    std::printf("%u ready\n", ::GetConsoleOutputCP());
    std::fflush(stdout);
    if (mode == "exit") std::exit(3);
    if (mode == "abort") std::abort();
    return 0;
}
