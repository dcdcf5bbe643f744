#include "engine/ProcessList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace tessaro {
namespace {

// /proc/PID/comm holds at most this many characters of the executed file's name.
constexpr std::size_t kCommLength = 15;

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Reads a small /proc file relative to the process folder; empty on failure.
std::string readSmallFile(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buf[512];
    std::string text;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
        if (text.size() > 4096) break;
    }
    ::close(fd);
    return text;
}

// The state letter of /proc/PID/stat: the field after the last ')'.
char processState(int dirFd) {
    const std::string stat = readSmallFile(dirFd, "stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return '?';
    return stat[close + 2];
}

}  // namespace

bool isImageRunning(const std::string& imageName) {
    std::string wanted = lowerCase(imageName);
    if (wanted.size() > kCommLength) wanted.resize(kCommLength);
    if (wanted.empty()) return false;

    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    const uid_t me = ::getuid();
    bool found = false;
    while (!found) {
        const dirent* entry = ::readdir(proc);
        if (!entry) break;
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        const int dirFd = ::openat(::dirfd(proc), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) continue;  // the process ended meanwhile
        struct stat st {};
        if (::fstat(dirFd, &st) == 0 && st.st_uid == me) {
            std::string comm = readSmallFile(dirFd, "comm");
            if (!comm.empty() && comm.back() == '\n') comm.pop_back();
            if (lowerCase(comm) == wanted) {
                const char state = processState(dirFd);
                found = state != 'Z' && state != 'X' && state != '?';
            }
        }
        ::close(dirFd);
    }
    ::closedir(proc);
    return found;
}

}  // namespace tessaro
