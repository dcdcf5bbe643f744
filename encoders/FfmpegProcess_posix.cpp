#include "encoders/FfmpegProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace tessaro {
namespace {

volatile sig_atomic_t g_child = 0;

void forwardSignal(int sig) {
    if (g_child > 0) ::kill(static_cast<pid_t>(g_child), sig);
}

// Splits what was read into lines; a CR ends a line as well as an LF.
class LineSplitter {
public:
    explicit LineSplitter(const std::function<void(const std::string&)>& sink) : m_sink(sink) {}
    void feed(const char* data, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (data[i] == '\n' || data[i] == '\r') flush();
            else m_line.push_back(data[i]);
        }
    }
    void flush() {
        if (!m_line.empty() && m_sink) m_sink(m_line);
        m_line.clear();
    }

private:
    const std::function<void(const std::string&)>& m_sink;
    std::string m_line;
};

}  // namespace

std::string findOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t from = 0;
    while (from <= dirs.size()) {
        auto end = dirs.find(':', from);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(from, end - from);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        from = end + 1;
    }
    return {};
}

ChildStatus runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::function<void(const std::string&)>& onStdoutLine,
                     const std::function<void(const std::string&)>& onStderrLine) {
    ChildStatus status;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        status.startError = std::strerror(errno);
        return status;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        status.startError = std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return status;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);  // nothing else inherited

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    struct sigaction sa {}, oldInt {}, oldTerm {}, oldHup {};
    sa.sa_handler = forwardSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, &oldInt);
    ::sigaction(SIGTERM, &sa, &oldTerm);
    ::sigaction(SIGHUP, &sa, &oldHup);

    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        status.startError = program + ": " + std::strerror(rc);
        ::close(out[0]);
        ::close(err[0]);
    } else {
        status.started = true;
        g_child = pid;
        LineSplitter outLines(onStdoutLine), errLines(onStderrLine);
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        LineSplitter* splitters[2] = {&outLines, &errLines};
        int open = 2;
        char buf[16384];
        while (open > 0) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    splitters[i]->feed(buf, static_cast<size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    splitters[i]->flush();
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        for (auto& f : fds)
            if (f.fd >= 0) ::close(f.fd);
        int ws = 0;
        while (::waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
        }
        g_child = 0;
        if (WIFEXITED(ws)) {
            status.exited = true;
            status.exitCode = WEXITSTATUS(ws);
        } else if (WIFSIGNALED(ws)) {
            status.signal = WTERMSIG(ws);
        }
    }
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    return status;
}

}  // namespace tessaro
