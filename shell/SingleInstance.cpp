#include "shell/SingleInstance.h"

#include <QSysInfo>
#include <QThread>

#include "base/Platform.h"
#include "base/ProcessList.h"

namespace tessaro {
namespace {

// A lock that another start is creating right now is held (flock) until its
// contents are written; a few short retries let that start win cleanly.
constexpr int kAttempts = 5;
constexpr int kRetryMs = 40;

}  // namespace

bool SingleInstance::acquire() {
    if (!platform::prepareTemporaryFolder()) return true;
    m_lock = std::make_unique<QLockFile>(
        QString::fromStdString(platform::temporaryFile("tessaro.lock")));
    m_lock->setStaleLockTime(0);  // age alone never makes a lock stale
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (m_lock->tryLock(0)) return true;
        if (m_lock->error() != QLockFile::LockFailedError) return true;
        qint64 pid = 0;
        QString host, application;
        if (m_lock->getLockInfo(&pid, &host, &application) && host == QSysInfo::machineHostName() &&
            runsOwnImage(static_cast<long>(pid)))
            return false;
        // Empty, garbage, another machine's, or left by a process that is
        // gone: removed unless a live process still holds it locked.
        if (!m_lock->removeStaleLockFile()) QThread::msleep(kRetryMs);
    }
    return false;
}

}  // namespace tessaro
