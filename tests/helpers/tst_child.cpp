// Child program for the runner tests; the first argument picks what it does.
//   echo ARGS...        writes each argument followed by a NUL byte
//   flood N             writes N pattern bytes as fast as it can
//   exit CODE           exits with CODE, writing nothing
//   tail MS N CODE      sleeps MS, writes N pattern bytes, exits with CODE at once
//   linger MS           sleeps MS, exits 0 silently
//   close MS CODE       writes "closing\n", closes its output and errors,
//                       sleeps MS, exits with CODE
// POSIX only (tst_child_posix.cpp):
//   kill SIG            writes a line, then dies of signal SIG
//   fork MS             writes "parent\n" and exits; a forked copy sleeps MS
//                       and then writes "grandchild\n"
//   fds                 writes "FD:TARGET\n" for every open descriptor
// Windows only (tst_child_win.cpp):
//   spawn ARGS...       starts a copy of itself with ARGS on the same output,
//                       writes "parent\n" and exits
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ChildPlatform.h"
#include "FloodPattern.h"

using namespace tessaro::testing;

namespace {

void writePattern(unsigned long long count) {
    std::vector<char> block(256 * 1024);
    unsigned long long written = 0;
    while (written < count) {
        const std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(block.size(), count - written));
        for (std::size_t k = 0; k < n; ++k) block[k] = static_cast<char>(floodByte(written + k));
        writeAll(block.data(), n);
        written += n;
    }
}

void sleepMs(long long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = childArguments(argc, argv);
    if (args.size() < 2) return 2;
    const std::string& mode = args[1];
    auto number = [&](std::size_t i) { return i < args.size() ? std::strtoll(args[i].c_str(), nullptr, 10) : 0LL; };
    if (mode == "echo") {
        for (std::size_t i = 2; i < args.size(); ++i) writeAll(args[i].c_str(), args[i].size() + 1);
        return 0;
    }
    if (mode == "flood") {
        writePattern(static_cast<unsigned long long>(number(2)));
        return 0;
    }
    if (mode == "exit") return static_cast<int>(number(2));
    if (mode == "tail") {
        sleepMs(number(2));
        writePattern(static_cast<unsigned long long>(number(3)));
        std::_Exit(static_cast<int>(number(4)));
    }
    if (mode == "linger") {
        sleepMs(number(2));
        return 0;
    }
    if (mode == "close") {
        writeAll("closing\n", 8);
        closeOutputs();
        sleepMs(number(2));
        return static_cast<int>(number(3));
    }
    return platformMode(args);
}
