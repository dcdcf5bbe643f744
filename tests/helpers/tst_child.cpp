// Child program for the runner tests; the first argument picks what it does.
//   echo ARGS...        writes each argument followed by a NUL byte
//   flood N             writes N pattern bytes as fast as it can
//   exit CODE           exits with CODE, writing nothing
//   kill SIG            writes a line, then dies of signal SIG
//   tail MS N CODE      sleeps MS, writes N pattern bytes, exits with CODE at once
//   linger MS           sleeps MS, exits 0 silently
//   fork MS             writes "parent\n" and exits; a forked copy sleeps MS
//                       and then writes "grandchild\n"
//   fds                 writes "FD:TARGET\n" for every open descriptor
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FloodPattern.h"

namespace {

void writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(1, data, size);
        if (n < 0) std::_Exit(100);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void writeText(const std::string& text) { writeAll(text.data(), text.size()); }

void writePattern(unsigned long long count) {
    std::vector<char> block(256 * 1024);
    unsigned long long written = 0;
    while (written < count) {
        const std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(block.size(), count - written));
        for (std::size_t k = 0; k < n; ++k) block[k] = static_cast<char>(tessaro::testing::floodByte(written + k));
        writeAll(block.data(), n);
        written += n;
    }
}

void sleepMs(long ms) { ::usleep(static_cast<useconds_t>(ms) * 1000); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string mode = argv[1];
    auto number = [&](int i) { return i < argc ? std::strtoll(argv[i], nullptr, 10) : 0LL; };
    if (mode == "echo") {
        for (int i = 2; i < argc; ++i) writeAll(argv[i], std::strlen(argv[i]) + 1);
        return 0;
    }
    if (mode == "flood") {
        writePattern(static_cast<unsigned long long>(number(2)));
        return 0;
    }
    if (mode == "exit") return static_cast<int>(number(2));
    if (mode == "kill") {
        writeText("dying\n");
        ::kill(::getpid(), static_cast<int>(number(2)));
        sleepMs(10000);
        return 3;
    }
    if (mode == "tail") {
        sleepMs(static_cast<long>(number(2)));
        writePattern(static_cast<unsigned long long>(number(3)));
        std::_Exit(static_cast<int>(number(4)));
    }
    if (mode == "linger") {
        sleepMs(static_cast<long>(number(2)));
        return 0;
    }
    if (mode == "fork") {
        const pid_t pid = ::fork();
        if (pid == 0) {
            sleepMs(static_cast<long>(number(2)));
            writeText("grandchild\n");
            std::_Exit(0);
        }
        writeText("parent\n");
        return pid > 0 ? 0 : 4;
    }
    if (mode == "fds") {
        DIR* dir = ::opendir("/proc/self/fd");
        if (!dir) return 5;
        std::string text;
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            const int fd = std::atoi(e->d_name);
            if (fd == ::dirfd(dir)) continue;
            char target[4096] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            text += std::to_string(fd) + ":" + (n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "?") + "\n";
        }
        ::closedir(dir);
        writeText(text);
        return 0;
    }
    return 2;
}
