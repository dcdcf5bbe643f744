// The sleep lock on Windows: the thread's execution state while it lives.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/SystemPower.h"

namespace {

// The state as it stands; a call without ES_CONTINUOUS changes nothing lasting.
EXECUTION_STATE currentState() { return ::SetThreadExecutionState(0); }

TEST(SystemPowerWin, LockKeepsTheSystemRequiredUntilReleased) {
    {
        const tessaro::SleepInhibitor lock;
        EXPECT_TRUE(lock.held());
        EXPECT_TRUE(currentState() & ES_SYSTEM_REQUIRED);
    }
    EXPECT_FALSE(currentState() & ES_SYSTEM_REQUIRED);
}

}  // namespace
