#include "shell/SingleInstance.h"

#include "engine/Platform.h"

namespace tessaro {

bool SingleInstance::acquire() {
    if (!platform::prepareTemporaryFolder()) return true;
    m_lock = std::make_unique<QLockFile>(
        QString::fromStdString(platform::temporaryFile("tessaro.lock")));
    m_lock->setStaleLockTime(0);  // a lock of a dead process is taken over
    if (m_lock->tryLock(0)) return true;
    return m_lock->error() != QLockFile::LockFailedError;
}

}  // namespace tessaro
