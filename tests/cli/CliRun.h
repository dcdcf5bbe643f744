#pragma once
// Runs tessaro-cli (or any command) through the shell for the CLI tests.

#include <sys/wait.h>

#include <cstdio>
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

}  // namespace tessaro::test
