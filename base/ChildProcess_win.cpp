#include "base/ChildProcess.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/CommandLineText.h"
#include "base/WideText.h"

namespace tessaro {
namespace {

// A job that kills its members when its last handle closes. A child that
// must end with this process goes into a job of its own, whose handle only
// this process holds: the child and everything it starts end when the job is
// closed or this process ends, however it ends, and the job tells when none
// of them is left.
HANDLE killOnCloseJob() {
    HANDLE h = ::CreateJobObjectW(nullptr, nullptr);
    if (!h) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(h, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        ::CloseHandle(h);
        return nullptr;
    }
    return h;
}

// When a job of its own cannot be had (an older system that does not nest
// jobs), the child goes into one shared job of this process that is never
// closed: it still ends with this process.
HANDLE ownerJob() {
    static const HANDLE job = killOnCloseJob();
    return job;
}

// Ends a child created suspended that is not used after all.
void discardSuspended(PROCESS_INFORMATION& process) {
    if (!process.hProcess) return;
    ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    process = {};
}

ULONGLONG startTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return ULARGE_INTEGER{{created.dwLowDateTime, created.dwHighDateTime}}.QuadPart;
}

// Ends a process that has no job of its own, and the processes it started,
// and those they started, as far as their parent is known. Each one is held
// open until the end, so that its id is not taken again meanwhile; a process
// that names a parent's id but started before that parent had another parent
// of the same id.
void endTree(HANDLE root, DWORD rootId) {
    struct Member {
        DWORD id;
        HANDLE handle;
        ULONGLONG started;
    };
    std::vector<Member> tree{{rootId, nullptr, startTime(root)}};
    const auto known = [&tree](DWORD id) {
        return std::find_if(tree.begin(), tree.end(), [id](const Member& m) { return m.id == id; });
    };
    ::TerminateProcess(root, 1);
    // Listed again while there are new ones: one may have started another
    // before it was ended.
    for (bool grew = true; grew;) {
        grew = false;
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) break;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
             more = ::Process32NextW(snapshot, &entry)) {
            if (known(entry.th32ProcessID) != tree.end()) continue;
            const auto parent = known(entry.th32ParentProcessID);
            if (parent == tree.end()) continue;
            const ULONGLONG parentStarted = parent->started;
            HANDLE h = ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     entry.th32ProcessID);
            if (!h) continue;
            const ULONGLONG started = startTime(h);
            if (started < parentStarted) {
                ::CloseHandle(h);
                continue;
            }
            ::TerminateProcess(h, 1);
            tree.push_back({entry.th32ProcessID, h, started});
            grew = true;
        }
        ::CloseHandle(snapshot);
    }
    for (const Member& m : tree)
        if (m.handle) ::CloseHandle(m.handle);
}

// True when no process of the job is running any more.
bool jobIsEmpty(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                     nullptr))
        return false;
    return info.ActiveProcesses == 0;
}

// Closes a handle once, on every way out.
struct OwnedHandle {
    HANDLE h = nullptr;
    ~OwnedHandle() { reset(); }
    void reset() {
        if (h && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        h = nullptr;
    }
    HANDLE release() {
        HANDLE r = h;
        h = nullptr;
        return r;
    }
};

// A pipe whose write end the child inherits; the read end stays ours.
bool makePipe(OwnedHandle& read, OwnedHandle& write) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!::CreatePipe(&read.h, &write.h, &sa, 64 * 1024)) return false;
    return ::SetHandleInformation(read.h, HANDLE_FLAG_INHERIT, 0) != 0;
}

void closeHandle(NativeHandle& h) {
    if (h) ::CloseHandle(h);
    h = kNoHandle;
}

// The name with ".exe" added when it has no extension.
std::string withExe(const std::string& name) {
    const auto slash = name.find_last_of("\\/");
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? name + ".exe" : name;
}

bool isExistingFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(wide::fromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string findOnPath(const std::string& name) {
    const std::string file = withExe(name);
    if (file.find_first_of("\\/:") != std::string::npos) return isExistingFile(file) ? file : std::string();
    const wchar_t* path = ::_wgetenv(L"PATH");
    const std::string dirs = path ? wide::toUtf8(path) : std::string();
    size_t from = 0;
    while (from < dirs.size()) {
        auto end = dirs.find(';', from);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(from, end - from);
        if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
        if (!dir.empty()) {
            const std::string candidate = dir + (dir.back() == '\\' ? "" : "\\") + file;
            if (isExistingFile(candidate)) return candidate;
        }
        from = end + 1;
    }
    return {};
}

ChildProcess::~ChildProcess() {
    closeOutput();
    closeErrors();
    closeHandle(m_pidFd);
    closeHandle(m_endedChild);
    closeHandle(m_job);  // ends what is left of the child's tree
}

ChildProcess::StartResult ChildProcess::start(const std::vector<std::string>& argv, Streams streams,
                                              OwnerEnd ownerEnd) {
    if (argv.empty()) {
        m_error = ERROR_FILE_NOT_FOUND;
        return StartResult::SpawnFailed;
    }
    OwnedHandle outRead, outWrite, errRead, errWrite, input;
    const bool separate = streams == Streams::Separate;
    if (!makePipe(outRead, outWrite) || (separate && !makePipe(errRead, errWrite))) {
        m_error = static_cast<int>(::GetLastError());
        return StartResult::PipeFailed;
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    input.h = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                            nullptr);
    if (input.h == INVALID_HANDLE_VALUE) {
        m_error = static_cast<int>(::GetLastError());
        return StartResult::PipeFailed;
    }

    // Only these handles reach the child, whatever else is inheritable.
    HANDLE inherited[3] = {input.h, outWrite.h, separate ? errWrite.h : nullptr};
    const DWORD inheritedCount = separate ? 3 : 2;
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::unique_ptr<char[]> listMemory(new char[size]);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.get());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
        m_error = static_cast<int>(::GetLastError());
        return StartResult::SpawnFailed;
    }
    struct ListCleanup {
        LPPROC_THREAD_ATTRIBUTE_LIST list;
        ~ListCleanup() { ::DeleteProcThreadAttributeList(list); }
    } cleanup{list};
    // Without the list every inheritable handle of this process would reach
    // the child, among them other children's pipes, whose ends then never come.
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                     inheritedCount * sizeof(HANDLE), nullptr, nullptr)) {
        m_error = static_cast<int>(::GetLastError());
        return StartResult::SpawnFailed;
    }

    STARTUPINFOEXW info{};
    info.StartupInfo.cb = sizeof info;
    info.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    info.StartupInfo.wShowWindow = SW_HIDE;
    info.StartupInfo.hStdInput = input.h;
    info.StartupInfo.hStdOutput = outWrite.h;
    info.StartupInfo.hStdError = separate ? errWrite.h : outWrite.h;
    info.lpAttributeList = list;

    std::wstring commandLine = wide::fromUtf8(joinCommandLine(argv));
    // Suspended until it is in the job, so that nothing it starts escapes.
    // Detached: no console (and no console host holding a copy of the pipe),
    // so no window either.
    const auto create = [&](DWORD flags, PROCESS_INFORMATION& process) {
        return ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                flags | CREATE_SUSPENDED | DETACHED_PROCESS |
                                    CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT,
                                nullptr, nullptr, &info.StartupInfo, &process) != 0;
    };
    PROCESS_INFORMATION process{};
    if (!create(0, process)) {
        m_error = static_cast<int>(::GetLastError());
        return StartResult::SpawnFailed;
    }
    // Windows has no request to end that a child could handle: Terminate
    // ends it at once, as Kill does.
    if (ownerEnd != OwnerEnd::Ignore) {
        m_job = killOnCloseJob();
        if (m_job && !::AssignProcessToJobObject(m_job, process.hProcess)) {
            // This process is in a job that takes no job below it (one with
            // limits on the user interface, or a system before Windows 8).
            // A child that breaks away from it, where that job allows it, can
            // still have one of its own; the first one never ran.
            PROCESS_INFORMATION away{};
            const bool brokeAway = create(CREATE_BREAKAWAY_FROM_JOB, away);
            const bool moved = brokeAway && ::AssignProcessToJobObject(m_job, away.hProcess);
            discardSuspended(moved ? process : away);
            if (moved)
                process = away;
            else
                closeHandle(m_job);
        }
        // Else the shared job that ends with this process, where it takes
        // the child: kill() ends the child's tree process by process either
        // way, and outside a job the tree outlives this process.
        if (!m_job)
            if (HANDLE job = ownerJob()) (void)::AssignProcessToJobObject(job, process.hProcess);
    }
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);
    // only the child holds the write ends now
    outWrite.reset();
    errWrite.reset();

    m_pid = static_cast<pid_t>(process.dwProcessId);
    m_pidFd = process.hProcess;
    m_readFd = outRead.release();
    if (separate) m_errorFd = errRead.release();
    m_ended = false;
    return StartResult::Started;
}

ChildProcess::ReadResult ChildProcess::read(char* buffer, std::size_t capacity, std::size_t* count) {
    return readFrom(m_readFd, buffer, capacity, count);
}

ChildProcess::ReadResult ChildProcess::readErrors(char* buffer, std::size_t capacity, std::size_t* count) {
    return readFrom(m_errorFd, buffer, capacity, count);
}

ChildProcess::ReadResult ChildProcess::readFrom(NativeHandle fd, char* buffer, std::size_t capacity,
                                                std::size_t* count) {
    *count = 0;
    if (!fd) return ReadResult::EndOfFile;
    // Asked before the pipe is looked at: whatever the tree wrote before it
    // ended is in the pipe by then.
    const bool treeGone = m_job && jobIsEmpty(m_job);
    DWORD waiting = 0;
    if (!::PeekNamedPipe(fd, nullptr, 0, nullptr, &waiting, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE) return ReadResult::EndOfFile;
        m_error = static_cast<int>(error);
        return ReadResult::Failed;
    }
    if (waiting == 0) return treeGone ? ReadResult::EndOfFile : ReadResult::Empty;
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(capacity, waiting));
    if (!::ReadFile(fd, buffer, want, &n, nullptr)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE) return ReadResult::EndOfFile;
        m_error = static_cast<int>(error);
        return ReadResult::Failed;
    }
    *count = n;
    return n ? ReadResult::Data : ReadResult::Empty;
}

// Windows has no request to end that a child could handle: both end the
// child's job (or the child alone) at once, with exit code 1.
void ChildProcess::terminate() { kill(); }

void ChildProcess::kill() {
    if (m_job)
        ::TerminateJobObject(m_job, 1);
    else if (NativeHandle root = m_pidFd ? m_pidFd : m_endedChild)
        endTree(root, static_cast<DWORD>(m_pid));
}

bool ChildProcess::reap(RunStatus& status) { return reapWith(status, 0); }

// The job handle, not the process id, reaches the descendants here: the
// process handle may go.
bool ChildProcess::hasEnded(RunStatus& status) { return reapWith(status, 0); }

void ChildProcess::wait(RunStatus& status) { reapWith(status, 1); }

bool ChildProcess::reapWith(RunStatus& status, int options) {
    if (m_ended || !m_pidFd) return m_ended;
    const DWORD r = ::WaitForSingleObject(m_pidFd, options ? INFINITE : 0);
    if (r == WAIT_TIMEOUT) return false;
    m_ended = true;
    status.pid = m_pid;
    DWORD code = 0;
    if (r == WAIT_OBJECT_0 && ::GetExitCodeProcess(m_pidFd, &code)) {
        // A process ended by TerminateProcess has the code it was given.
        status.exited = true;
        status.exitCode = static_cast<int>(code);
    } else {
        status.unknown = true;
    }
    // Without a job the child's handle keeps its id from being taken again,
    // so that kill() still finds its descendants by their parent.
    if (m_job) closeHandle(m_pidFd);
    m_endedChild = m_pidFd;
    m_pidFd = kNoHandle;
    return true;
}

void ChildProcess::closeOutput() { closeHandle(m_readFd); }

void ChildProcess::closeErrors() { closeHandle(m_errorFd); }

}  // namespace tessaro
