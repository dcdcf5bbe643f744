#include <poll.h>

#include <vector>

#include "base/ChildPump.h"

namespace tessaro {

// poll() on the pipes and the child's pidfd; a signal ends the wait early.
void ChildPump::wait(int timeoutMs) {
    std::vector<NativeHandle> handles;
    addWaitHandles(handles);
    std::vector<pollfd> fds;
    for (NativeHandle fd : handles) fds.push_back(pollfd{fd, POLLIN, 0});
    ::poll(fds.data(), fds.size(), timeoutMs);
}

}  // namespace tessaro
