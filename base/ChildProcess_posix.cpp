#include "base/ChildProcess.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace tessaro {
namespace {

// argv0 itself when it holds a '/', else its file found on PATH; looked up
// before fork, so that the child only calls what is safe between fork and exec.
std::string executablePath(const std::string& argv0) {
    return argv0.find('/') != std::string::npos ? argv0 : findOnPath(argv0);
}

// Closes every descriptor from `first` on except `keep`.
void closeFrom(int first, int keep) {
#ifdef SYS_close_range
    if (keep < first || ::syscall(SYS_close_range, first, keep - 1, 0) == 0) {
        if (::syscall(SYS_close_range, std::max(first, keep + 1), ~0U, 0) == 0) return;
    }
#endif
    const long limit = ::sysconf(_SC_OPEN_MAX);
    for (int fd = first; fd < (limit > 0 ? limit : 1024); ++fd)
        if (fd != keep) ::close(fd);
}

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void execChild(const char* file, char* const* args, int out, int err, int report,
                            int deathSignal, pid_t owner) {
    auto fail = [report]() {
        const int e = errno;
        while (::write(report, &e, sizeof e) < 0 && errno == EINTR) {
        }
        ::_exit(127);
    };
    // The child starts with default signal handling and nothing blocked, even
    // when the parent ignores SIGPIPE or SIGCHLD.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
    // The parent blocked every signal around fork, so none of its handlers
    // ran here before the line above; only now may signals arrive.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // A process group of its own: the owner can end the child together with
    // whatever it starts.
    if (::setpgid(0, 0) != 0) fail();
    if (deathSignal != 0) {
        if (::prctl(PR_SET_PDEATHSIG, deathSignal) != 0) fail();
        // The owner may have ended before the line above took effect.
        if (::getppid() != owner) ::_exit(127);
    }
    const int in = ::open("/dev/null", O_RDONLY);
    if (in < 0) fail();
    // dup2 clears close-on-exec on the copies, so only 0, 1 and 2 survive exec.
    if (in != 0 && ::dup2(in, 0) < 0) fail();
    if (::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) fail();
    // Descriptors opened elsewhere without O_CLOEXEC must not leak either; the
    // report pipe is close-on-exec and so still tells a failed exec.
    closeFrom(3, report);
    ::execve(file, args, environ);
    fail();
    ::_exit(127);
}

int openPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#endif
    (void)pid;
    return -1;
}

}  // namespace

std::string findOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        std::size_t end = dirs.find(':', from);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end == from ? std::string(".") : dirs.substr(from, end - from);
        const std::string candidate = dir + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        from = end + 1;
    }
    return {};
}

ChildProcess::~ChildProcess() {
    closeOutput();
    closeErrors();
    if (m_pidFd >= 0) ::close(m_pidFd);
}

ChildProcess::StartResult ChildProcess::start(const std::vector<std::string>& argv,
                                              Streams streams, OwnerEnd ownerEnd) {
    if (argv.empty()) {
        m_error = ENOENT;
        return StartResult::SpawnFailed;
    }
    const std::string file = executablePath(argv[0]);
    if (file.empty()) {
        m_error = ENOENT;
        return StartResult::SpawnFailed;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_error = errno;
        return StartResult::PipeFailed;
    }
    const bool separate = streams == Streams::Separate;
    int errors[2] = {fds[0], fds[1]};
    int report[2] = {-1, -1};
    auto closeAll = [&]() {
        for (int fd : {fds[0], fds[1], report[0], report[1]})
            if (fd >= 0) ::close(fd);
        if (separate)
            for (int fd : errors)
                if (fd >= 0) ::close(fd);
    };
    if (separate && ::pipe2(errors, O_CLOEXEC) != 0) {
        m_error = errno;
        errors[0] = errors[1] = -1;
        closeAll();
        return StartResult::PipeFailed;
    }
    if (::pipe2(report, O_CLOEXEC) != 0) {
        m_error = errno;
        report[0] = report[1] = -1;
        closeAll();
        return StartResult::PipeFailed;
    }

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int deathSignal = ownerEnd == OwnerEnd::Kill        ? SIGKILL
                            : ownerEnd == OwnerEnd::Terminate ? SIGTERM
                                                              : 0;
    const pid_t owner = ::getpid();

    // fork rather than posix_spawn: only a forked child can ask to be ended
    // with its owner (PR_SET_PDEATHSIG) before it runs the program. Every
    // signal stays blocked around fork (as QProcess does), so that no handler
    // of this process, which may have threads, runs in the child before it
    // has reset them.
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) execChild(file.c_str(), args.data(), fds[1], errors[1], report[1], deathSignal, owner);
    const int forkError = errno;
    // Also here, so that the group exists before anyone signals it; fails
    // harmlessly once the child has run the program.
    if (pid > 0) ::setpgid(pid, pid);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // only the child holds the write ends now
    ::close(fds[1]);
    fds[1] = -1;
    if (separate) {
        ::close(errors[1]);
        errors[1] = -1;
    }
    ::close(report[1]);
    report[1] = -1;
    int execError = 0;
    if (pid < 0) {
        execError = forkError;
    } else {
        // The report pipe closes on a successful exec; a failed one writes errno.
        ssize_t n;
        do {
            n = ::read(report[0], &execError, sizeof execError);
        } while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(sizeof execError)) execError = 0;
        if (execError != 0) {
            int ignored = 0;
            while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
            }
        }
    }
    ::close(report[0]);
    report[0] = -1;
    if (execError != 0) {
        closeAll();
        m_error = execError;
        return StartResult::SpawnFailed;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    m_pid = pid;
    m_readFd = fds[0];
    if (separate) {
        ::fcntl(errors[0], F_SETFL, ::fcntl(errors[0], F_GETFL) | O_NONBLOCK);
        m_errorFd = errors[0];
    }
    m_pidFd = openPidFd(pid);
    m_ended = false;
    m_exited = false;
    return StartResult::Started;
}

namespace {

// Signals the group that `pid` leads, or `pid` alone when it leads none.
void signalGroup(pid_t pid, int sig) {
    if (::kill(-pid, sig) != 0) ::kill(pid, sig);
}

}  // namespace

// While the child is not reaped its id cannot be reused, so the group of
// that id is still the child's own.
void ChildProcess::terminate() {
    if (m_pid > 0 && !m_ended) signalGroup(m_pid, SIGTERM);
}

void ChildProcess::kill() {
    if (m_pid > 0 && !m_ended) signalGroup(m_pid, SIGKILL);
}

ChildProcess::ReadResult ChildProcess::read(char* buffer, std::size_t capacity, std::size_t* count) {
    return readFrom(m_readFd, buffer, capacity, count);
}

ChildProcess::ReadResult ChildProcess::readErrors(char* buffer, std::size_t capacity,
                                                  std::size_t* count) {
    return readFrom(m_errorFd, buffer, capacity, count);
}

ChildProcess::ReadResult ChildProcess::readFrom(int fd, char* buffer, std::size_t capacity,
                                                std::size_t* count) {
    *count = 0;
    if (fd < 0) return ReadResult::EndOfFile;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, capacity);
        if (n > 0) {
            *count = static_cast<std::size_t>(n);
            return ReadResult::Data;
        }
        if (n == 0) return ReadResult::EndOfFile;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadResult::Empty;
        m_error = errno;
        return ReadResult::Failed;
    }
}

bool ChildProcess::reap(RunStatus& status) { return reapWith(status, WNOHANG); }

bool ChildProcess::hasEnded(RunStatus& status) {
    if (m_ended || m_exited || m_pid <= 0) return m_ended || m_exited;
    siginfo_t info{};
    int r;
    do {
        r = ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return reapWith(status, WNOHANG);  // ECHILD: reaped elsewhere
    if (info.si_pid == 0) return false;
    m_exited = true;
    status.pid = m_pid;
    if (info.si_code == CLD_EXITED) {
        status.exited = true;
        status.exitCode = info.si_status;
    } else {
        status.exited = false;
        status.signal = info.si_status;
    }
    return true;
}

void ChildProcess::wait(RunStatus& status) { reapWith(status, 0); }

bool ChildProcess::reapWith(RunStatus& status, int options) {
    if (m_ended || m_pid <= 0) return m_ended;
    int wstatus = 0;
    pid_t r;
    do {
        r = ::waitpid(m_pid, &wstatus, options);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return false;
    m_ended = true;
    m_exited = true;
    status.pid = m_pid;
    if (r < 0) {
        // ECHILD: reaped elsewhere (SIGCHLD ignored); the status is unknown
        status.unknown = true;
    } else if (r == m_pid) {
        if (WIFEXITED(wstatus)) {
            status.exited = true;
            status.exitCode = WEXITSTATUS(wstatus);
        } else if (WIFSIGNALED(wstatus)) {
            status.exited = false;
            status.signal = WTERMSIG(wstatus);
        }
    }
    if (m_pidFd >= 0) {
        ::close(m_pidFd);
        m_pidFd = -1;
    }
    return true;
}

void ChildProcess::closeOutput() {
    if (m_readFd >= 0) ::close(m_readFd);
    m_readFd = -1;
}

void ChildProcess::closeErrors() {
    if (m_errorFd >= 0) ::close(m_errorFd);
    m_errorFd = -1;
}

}  // namespace tessaro
