#include "engine/clsWaitableTimer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "engine/RunnerTestSupport.h"

using namespace tessaro;
using namespace tessaro::testing;
using Clock = std::chrono::steady_clock;

TEST(clsWaitableTimer, WaitsTheWholeTimePumpingMeanwhile) {
    CountingPump pump;
    clsWaitableTimer timer(pump);
    const auto start = Clock::now();
    timer.Wait(50);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_GE(pump.calls, 3);  // the pump runs in slices, not once at the end
}

TEST(clsWaitableTimer, ReturnsEarlyWhenAWatchedPipeHasDataOrHangsUp) {
    CountingPump pump;
    clsWaitableTimer timer(pump);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    auto start = Clock::now();
    timer.Wait(5000, {-1, fds[0]});
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));

    char c;
    ASSERT_EQ(::read(fds[0], &c, 1), 1);
    ::close(fds[1]);  // hang-up
    start = Clock::now();
    timer.Wait(5000, {fds[0]});
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    ::close(fds[0]);
}
