#include "base/ProcessList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/Platform.h"

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

// The process's name as the system keeps it (/proc/PID/comm).
std::string commandName(int dirFd) {
    std::string comm = readSmallFile(dirFd, "comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return comm;
}

// The system's start, in seconds since the epoch (btime of /proc/stat).
double bootTime() {
    const int fd = ::open("/proc/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    const auto at = text.find("\nbtime ");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 7);
}

// When the process started, in seconds since the epoch; 0 when unknown.
double startTime(int dirFd) {
    const std::string stat = readSmallFile(dirFd, "stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    // Fields after the name: state is field 3, starttime field 22.
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    const double ticks = std::atof(field.c_str());
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    const double boot = bootTime();
    return ticks > 0 && perSecond > 0 && boot > 0 ? boot + ticks / static_cast<double>(perSecond)
                                                  : 0;
}

// The /proc folder of a live process of the current user (neither a zombie
// nor dead, its state readable), opened; -1 when there is none.
int openLiveProcess(long pid) {
    if (pid <= 0) return -1;
    const std::string folder = "/proc/" + std::to_string(pid);
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return -1;
    struct stat st {};
    bool live = ::fstat(dirFd, &st) == 0 && st.st_uid == ::getuid();
    const char state = live ? processState(dirFd) : '?';
    live = live && state != 'Z' && state != 'X' && state != '?';
    if (!live) ::close(dirFd);
    return live ? dirFd : -1;
}

}  // namespace

bool mayHaveWritten(long pid, double lastWrite) {
    const int dirFd = openLiveProcess(pid);
    if (dirFd < 0) return false;
    const std::string name = lowerCase(commandName(dirFd));
    bool owner = false;
    for (const char* own : {platform::kWindowExe, platform::kCliExe, platform::kConvExe,
                            platform::kCoderExe, platform::kCoder2Exe})
        owner = owner || name == own;
    // Start times are known to within a second (btime).
    const double started = startTime(dirFd);
    owner = owner || started <= 0 || started <= lastWrite + 1.0;
    ::close(dirFd);
    return owner;
}

bool runsOwnImage(long pid) {
    const int dirFd = openLiveProcess(pid);
    if (dirFd < 0) return false;
    const std::string name = commandName(dirFd);
    const int selfFd = ::open("/proc/self", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool same = !name.empty() && selfFd >= 0 && name == commandName(selfFd);
    if (selfFd >= 0) ::close(selfFd);
    ::close(dirFd);
    return same;
}

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
            if (lowerCase(commandName(dirFd)) == wanted) {
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
