#include "engine/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tessaro {
namespace {

// Closes the posix_spawn attribute records on every way out.
struct SpawnRecords {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnRecords() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnRecords() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};

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

ChildProcess::~ChildProcess() {
    closeOutput();
    closeErrors();
    if (m_pidFd >= 0) ::close(m_pidFd);
}

ChildProcess::StartResult ChildProcess::start(const std::vector<std::string>& argv,
                                              Streams streams) {
    if (argv.empty()) {
        m_error = ENOENT;
        return StartResult::SpawnFailed;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_error = errno;
        return StartResult::PipeFailed;
    }
    int errors[2] = {fds[0], fds[1]};
    if (streams == Streams::Separate && ::pipe2(errors, O_CLOEXEC) != 0) {
        m_error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return StartResult::PipeFailed;
    }
    const bool separate = streams == Streams::Separate;

    SpawnRecords records;
    // dup2 clears close-on-exec on the copies, so only 0, 1 and 2 survive exec.
    int rc = posix_spawn_file_actions_addopen(&records.actions, 0, "/dev/null", O_RDONLY, 0);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(&records.actions, fds[1], 1);
    if (rc == 0) rc = posix_spawn_file_actions_adddup2(&records.actions, errors[1], 2);
    // Descriptors opened elsewhere without O_CLOEXEC must not leak either.
    if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&records.actions, 3);

    // The child starts with default signal handling and nothing blocked, even
    // when the parent ignores SIGPIPE.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    if (rc == 0) rc = posix_spawnattr_setsigdefault(&records.attributes, &all);
    if (rc == 0) rc = posix_spawnattr_setsigmask(&records.attributes, &none);
    if (rc == 0)
        rc = posix_spawnattr_setflags(&records.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    // glibc reports a failed exec as the result here, so a missing or
    // non-executable file never counts as a started child.
    if (rc == 0) rc = ::posix_spawnp(&pid, args[0], &records.actions, &records.attributes, args.data(), environ);
    // only the child holds the write ends now
    ::close(fds[1]);
    if (separate) ::close(errors[1]);
    if (rc != 0) {
        ::close(fds[0]);
        if (separate) ::close(errors[0]);
        m_error = rc;
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
    return StartResult::Started;
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
    if (r == m_pid) {
        if (WIFEXITED(wstatus)) {
            status.exited = true;
            status.exitCode = WEXITSTATUS(wstatus);
        } else if (WIFSIGNALED(wstatus)) {
            status.exited = false;
            status.signal = WTERMSIG(wstatus);
        }
    }
    // r < 0 (ECHILD): someone else reaped it, the status is unknown
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
