#include "engine/clsWaitableTimer.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

namespace tessaro {
namespace {

// The pump runs at least this often while a wait lasts.
constexpr int kSliceMs = 10;

}  // namespace

void clsWaitableTimer::Wait(std::int32_t MilliSeconds, const std::vector<NativeHandle>& wakeFds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(MilliSeconds, 0));
    std::vector<pollfd> fds;
    for (int fd : wakeFds)
        if (fd >= 0) fds.push_back(pollfd{fd, POLLIN, 0});

    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return;
        const int slice = static_cast<int>(std::min<long long>(left, kSliceMs));
        const int r = ::poll(fds.data(), fds.size(), slice);
        if (r < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "[clsWaitableTimer.Wait]");
        m_pump.processEvents();
        if (r > 0) return;  // data, hang-up or the child's end
    }
}

}  // namespace tessaro
