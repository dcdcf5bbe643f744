#pragma once
// One running window per user: a lock file in the temporary folder.

#include <QLockFile>
#include <memory>

namespace tessaro {

class SingleInstance {
public:
    // Takes the lock. False only when a live process of this program and this
    // user, on this machine, holds it. An empty or unreadable lock file, one
    // of another machine or of a process that is gone is taken over; a lock
    // that cannot be made (no usable temporary folder) lets the program run.
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace tessaro
