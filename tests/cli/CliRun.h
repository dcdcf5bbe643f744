#pragma once
// Runs tessaro-cli (or any command) through the shell for the CLI tests.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tessaro::test {

struct CliRun {
    int status = -1;     // exit status, -1 when it did not exit
    std::string output;  // stdout and stderr together
};

// Single-quotes a word for /bin/sh.
inline std::string shellWord(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline CliRun runShell(const std::string& command) {
    CliRun run;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

// ffprobe and the encoders of the application folder `app` are installed.
inline bool encodersInstalled(const std::filesystem::path& app) {
    return runShell("ffprobe -version").status == 0 && std::filesystem::exists(app / "data/coder");
}

}  // namespace tessaro::test

// Leaves a test that converts with the real encoders when they are missing:
// a failure under CI (an end-to-end test never passes by skipping there), a
// skip elsewhere.
#define TESSARO_REQUIRE_ENCODERS(app)                         \
    if (::tessaro::test::encodersInstalled(app)) {            \
    } else if (std::getenv("CI")) {                           \
        FAIL() << "the encoders or ffmpeg are not installed"; \
    } else                                                    \
        GTEST_SKIP() << "the encoders or ffmpeg are not installed"
