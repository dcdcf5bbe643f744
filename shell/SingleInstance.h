#pragma once
// One running window per user: a lock file in the temporary folder.

#include <QLockFile>
#include <memory>

namespace tessaro {

class SingleInstance {
public:
    // Takes the lock. False only when another live process holds it; a lock
    // that cannot be made (no usable temporary folder) lets the program run.
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace tessaro
