#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "ChildPlatform.h"

namespace tessaro::testing {
namespace {

void writeText(const std::string& text) { writeAll(text.data(), text.size()); }

void sleepMs(long long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

std::vector<std::string> childArguments(int argc, char** argv) { return {argv, argv + argc}; }

void writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(1, data, size);
        if (n < 0) std::_Exit(100);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void closeOutputs() {
    ::close(1);
    ::close(2);
}

int platformMode(const std::vector<std::string>& args) {
    const std::string& mode = args[1];
    auto number = [&](std::size_t i) { return i < args.size() ? std::strtoll(args[i].c_str(), nullptr, 10) : 0LL; };
    if (mode == "kill") {
        writeText("dying\n");
        ::kill(::getpid(), static_cast<int>(number(2)));
        sleepMs(10000);
        return 3;
    }
    if (mode == "fork") {
        const pid_t pid = ::fork();
        if (pid == 0) {
            sleepMs(number(2));
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

}  // namespace tessaro::testing
