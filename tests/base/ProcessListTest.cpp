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

TEST(ProcessList, RunsOwnImageOnlyForALiveProcessOfThisProgramsName) {
    std::ifstream commFile("/proc/self/comm");
    std::string ownName;
    std::getline(commFile, ownName);
    HelperFolder folder;
    const pid_t same = spawnHelper(folder.copy("same/" + ownName), {"linger", "5000"});
    const pid_t other = spawnHelper(folder.copy(folder.uniqueName("oth")), {"linger", "5000"});
    const pid_t zombie = spawnHelper(folder.copy("zombie/" + ownName), {"exit", "0"});
    ASSERT_GT(same, 0);
    ASSERT_GT(other, 0);
    ASSERT_GT(zombie, 0);
    waitUntil([&] { return runsOwnImage(same) && stateOf(zombie) == 'Z'; });
    struct Row {
        const char* what;
        long pid;
        bool expected;
    };
    const Row rows[] = {
        {"this process", static_cast<long>(::getpid()), true},
        {"another process of this name", same, true},
        {"a process of another name", other, false},
        {"an ended process of this name", zombie, false},
        {"no process", 0, false},
        {"a negative id", -1, false},
    };
    for (const Row& row : rows) EXPECT_EQ(runsOwnImage(row.pid), row.expected) << row.what;
    for (const pid_t pid : {same, other, zombie}) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}
