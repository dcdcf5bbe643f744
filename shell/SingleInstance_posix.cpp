#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "shell/SingleInstance.h"

namespace tessaro {
namespace {

std::string firstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

bool isSameProgramRunning(qint64 pid) {
    if (pid <= 0) return false;
    const std::string proc = "/proc/" + std::to_string(pid);
    struct stat info {};
    if (::stat(proc.c_str(), &info) != 0 || info.st_uid != ::getuid()) return false;
    // A zombie has ended: "PID (comm) STATE ...", the state after the last ')'.
    const std::string stat = firstLine(proc + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || stat.compare(close, 3, ") Z") == 0) return false;
    const std::string comm = firstLine(proc + "/comm");
    return !comm.empty() && comm == firstLine("/proc/self/comm");
}

}  // namespace tessaro
