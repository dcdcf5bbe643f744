#include "base/ProcessList.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/RunnerTestSupport.h"

using namespace tessaro;
using namespace tessaro::testing;

TEST(ProcessList, FindsALiveProcessWhateverTheCase) {
    HelperFolder folder;
    const std::string name = folder.uniqueName("Up");  // mixed case on disk
    const pid_t pid = spawnHelper(folder.copy(name), {"linger", "5000"});
    ASSERT_GT(pid, 0);
    waitUntil([&] { return isImageRunning(name); });
    EXPECT_TRUE(isImageRunning(name));
    EXPECT_TRUE(isImageRunning(upper(name)));
    EXPECT_TRUE(isImageRunning(lower(name)));
    EXPECT_FALSE(isImageRunning(name + "x"));
    EXPECT_FALSE(isImageRunning(""));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_FALSE(isImageRunning(name));
}

TEST(ProcessList, ComparesOnlyTheFifteenCharactersTheSystemKeeps) {
    HelperFolder folder;
    const std::string name = folder.uniqueName("long") + "_abcdefghijklmnop";
    const pid_t pid = spawnHelper(folder.copy(name), {"linger", "5000"});
    ASSERT_GT(pid, 0);
    waitUntil([&] { return isImageRunning(name); });
    EXPECT_TRUE(isImageRunning(name));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

TEST(ProcessList, AZombieIsNotRunning) {
    HelperFolder folder;
    const std::string name = folder.uniqueName("zmb");
    const pid_t pid = spawnHelper(folder.copy(name), {"exit", "0"});
    ASSERT_GT(pid, 0);
    waitUntil([&] { return stateOf(pid) == 'Z'; });
    ASSERT_EQ(stateOf(pid), 'Z');  // exited, not reaped yet
    EXPECT_FALSE(isImageRunning(name));
    ::waitpid(pid, nullptr, 0);
}
