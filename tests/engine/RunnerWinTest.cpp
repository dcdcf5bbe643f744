// The captured runner, the process list and the waitable timer on Windows,
// with copies of the helper child.
#include <gtest/gtest.h>

#include <chrono>

#include "helpers/WinTestSupport.h"
#include "base/ChildProcess.h"
#include "base/CommandLineText.h"
#include "base/ProcessList.h"
#include "engine/DOSOutputs.h"
#include "engine/RunnerRecorders.h"
#include "engine/clsWaitableTimer.h"
#include "helpers/FloodPattern.h"

using namespace tessaro;
using namespace tessaro::testing;
using Clock = std::chrono::steady_clock;

namespace {

class RunnerWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_name = m_folder.uniqueName("enc") + ".exe";
        m_exe = m_folder.copyHelper(m_name);
        strEncoderExe = m_name;
        m_runner.ReceiveOutputs = [this](const std::string& chunk) {
            m_chunks.push_back(chunk);
            m_received += chunk;
        };
        m_runner.CommandOver = [this] { ++m_over; };
    }
    void TearDown() override { strEncoderExe.clear(); }

    std::string command(std::initializer_list<std::string> args) const {
        std::string line = quotePath(m_exe);
        for (const auto& a : args) line += " " + quotePath(a);
        return line;
    }

    WinFolder m_folder;
    std::string m_name, m_exe;
    CountingPump m_pump;
    RecordingMessageBoxes m_messages;
    DOSOutputs m_runner{m_pump, m_messages};
    std::vector<std::string> m_chunks;
    std::string m_received;
    int m_over = 0;
};

TEST_F(RunnerWinTest, MissingProgramShowsFileNotFoundAndRaisesNothing) {
    m_runner.ExecuteCommand(quotePath(m_folder.path("nothing here.exe")) + " echo x");
    ASSERT_EQ(m_messages.messages.size(), 1u);
    EXPECT_EQ(m_messages.messages[0].text, "File or command not found");
    EXPECT_TRUE(m_chunks.empty());
    EXPECT_EQ(m_over, 0);
    EXPECT_FALSE(m_runner.lastStatus().started);
}

TEST_F(RunnerWinTest, SilentChildRaisesOnlyCommandOverWithItsExitCode) {
    for (const int code : {0, 7}) {
        SCOPED_TRACE(code);
        m_runner.ExecuteCommand(command({"exit", std::to_string(code)}));
        EXPECT_TRUE(m_chunks.empty());
        EXPECT_TRUE(m_runner.lastStatus().exited);
        EXPECT_EQ(m_runner.lastStatus().exitCode, code);
    }
    EXPECT_EQ(m_over, 2);
}

TEST_F(RunnerWinTest, FiftyMegabytesArriveWholeInOrderInSmallChunks) {
    const std::uint64_t total = 50ull * 1024 * 1024;
    std::uint64_t position = 0, mismatches = 0, oversized = 0;
    m_runner.ReceiveOutputs = [&](const std::string& chunk) {
        if (chunk.empty() || chunk.size() > 1024) ++oversized;
        for (unsigned char c : chunk)
            if (c != floodByte(position++)) ++mismatches;
    };
    const std::string result = m_runner.ExecuteCommand(command({"flood", std::to_string(total)}));
    EXPECT_EQ(position, total);
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(oversized, 0u);
    EXPECT_EQ(m_over, 1);
    EXPECT_EQ(result.size(), DOSOutputs::kOutputLimit);
}

TEST_F(RunnerWinTest, OutputWrittenJustBeforeExitIsRead) {
    m_runner.ExecuteCommand(command({"tail", "120", "300000", "3"}));
    ASSERT_EQ(m_received.size(), 300000u);
    for (std::size_t i = 0; i < m_received.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(m_received[i]), floodByte(i)) << i;
    EXPECT_EQ(m_runner.lastStatus().exitCode, 3);
}

// The run is its own job: an unrelated process of the encoder's name never
// holds it; a descendant that holds the pipe is waited for while the job has
// a process left, and ended with the job when it lingers.
TEST_F(RunnerWinTest, RunEndsWhenItsJobHasNoProcessLeft) {
    const std::string other = upper(m_folder.uniqueName("kp")) + ".EXE";
    ChildProcess stranger;
    ASSERT_EQ(stranger.start({m_folder.copyHelper("other\\" + other), "linger", "20000"}),
              ChildProcess::StartResult::Started);
    strEncoderExe = lower(other);
    struct Row {
        std::vector<std::string> args;
        int minMs, maxMs;
        std::string output;  // what the output starts with
        std::size_t size;
    };
    const int linger = DOSOutputs::kLingerMs;
    const std::vector<Row> rows = {
        {{"echo", "quick"}, 0, 1000, std::string("quick") + '\0', 6},
        {{"spawn", "tail", "300", "5", "0"}, 250, linger, "parent\n", 12},
        {{"spawn", "linger", "60000"}, linger, 4 * linger, "parent\n", 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1]);
        m_received.clear();
        std::string line = quotePath(m_exe);
        for (const auto& a : row.args) line += " " + a;
        const auto start = Clock::now();
        m_runner.ExecuteCommand(line);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_GE(ms, row.minMs);
        EXPECT_LT(ms, row.maxMs);
        EXPECT_EQ(m_received.substr(0, row.output.size()), row.output);
        EXPECT_EQ(m_received.size(), row.size);
    }
    RunStatus status;
    EXPECT_FALSE(stranger.reap(status));  // left alone
    stranger.kill();
}

// A child that has no job of its own (as where this process's job takes no
// job below it): kill() still ends what it started, before and after the
// child itself has been reaped. The descendant holds the pipe until it ends.
TEST_F(RunnerWinTest, KillWithoutAJobEndsTheDescendants) {
    for (const bool reapFirst : {false, true}) {
        SCOPED_TRACE(reapFirst);
        ChildProcess child;
        ASSERT_EQ(child.start({m_exe, "spawn", "linger", "60000"}),
                  ChildProcess::StartResult::Started);
        // True once the pipe has no writer left.
        auto endsWithin = [&](int ms) {
            char buffer[64];
            std::size_t n = 0;
            for (const auto until = Clock::now() + std::chrono::milliseconds(ms);
                 Clock::now() < until; ::Sleep(10))
                if (child.read(buffer, sizeof buffer, &n) == ChildProcess::ReadResult::EndOfFile)
                    return true;
            return false;
        };
        RunStatus status;
        if (reapFirst) child.wait(status);
        EXPECT_FALSE(endsWithin(300));
        child.kill();
        EXPECT_TRUE(endsWithin(10000));
        if (!reapFirst) child.wait(status);
    }
}

TEST_F(RunnerWinTest, ImageNamesMatchInAnyCaseAndAnEndedProcessIsNotRunning) {
    ChildProcess child;
    ASSERT_EQ(child.start({m_exe, "linger", "300"}), ChildProcess::StartResult::Started);
    EXPECT_TRUE(isImageRunning(m_name));
    EXPECT_TRUE(isImageRunning(upper(m_name)));
    EXPECT_FALSE(isImageRunning(m_name.substr(1)));
    // Ended but not reaped: its handle is still open here.
    waitUntil([&] { return ::WaitForSingleObject(child.exitFd(), 0) == WAIT_OBJECT_0; });
    EXPECT_FALSE(isImageRunning(m_name));
}

// The second-window check: a live process whose image has this program's
// file name, in any case; not one of another name, nor one that has ended.
TEST_F(RunnerWinTest, RunsOwnImageOnlyForALiveProcessOfThisProgramsName) {
    wchar_t self[MAX_PATH];
    const std::wstring own(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    const std::string ownName = upper(platform::utf8Path(std::filesystem::path(own).filename()));
    ChildProcess same, other, ended;
    ASSERT_EQ(same.start({m_folder.copyHelper("same\\" + ownName), "linger", "20000"}),
              ChildProcess::StartResult::Started);
    ASSERT_EQ(other.start({m_exe, "linger", "20000"}), ChildProcess::StartResult::Started);
    ASSERT_EQ(ended.start({m_folder.copyHelper("ended\\" + ownName), "exit", "0"}),
              ChildProcess::StartResult::Started);
    // Ended but not reaped: its handle is still open here.
    waitUntil([&] { return ::WaitForSingleObject(ended.exitFd(), 0) == WAIT_OBJECT_0; });
    struct Row {
        const char* what;
        long pid;
        bool expected;
    };
    const Row rows[] = {
        {"this process", static_cast<long>(::GetCurrentProcessId()), true},
        {"another process of this name", static_cast<long>(same.pid()), true},
        {"a process of another name", static_cast<long>(other.pid()), false},
        {"an ended process of this name", static_cast<long>(ended.pid()), false},
        {"no process", 0, false},
    };
    for (const Row& row : rows) EXPECT_EQ(runsOwnImage(row.pid), row.expected) << row.what;
    same.kill();
    other.kill();
}

TEST_F(RunnerWinTest, HostileArgumentsArriveAsOneArgumentAndRunNothing) {
    const std::string marker = m_folder.path("ran");
    const std::vector<std::string> names = {
        "C:\\films\\my film.flv", "C:\\films\\\"quoted\".flv", "C:\\films\\it's.flv",
        "%PATH%.flv",             "a & echo x > " + marker,    "a | echo x",
        "a ^& b",                 "C:\\films\\ends\\",         "\\\\server\\share\\\\\"x\\\\\"",
        "new\nline\ttab",         "-o",                        "D:\\视频\\中文 文件.flv",
        "D:\\出力\\ﾃｽﾄ 動画.flv", "",
    };
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        m_received.clear();
        m_runner.ExecuteCommand(command({"echo", name, "after"}));
        EXPECT_EQ(echoed(m_received), (std::vector<std::string>{name, "after"}));
    }
    EXPECT_FALSE(std::filesystem::exists(platform::nativePath(marker)));
    EXPECT_TRUE(m_messages.messages.empty());
}

TEST_F(RunnerWinTest, EncoderInAFolderWithAHostileNameStarts) {
    const std::string name = m_folder.uniqueName("h") + ".exe";
    const std::string exe = m_folder.copyHelper("Program Files\\编码 器 $x;'&^%出力ﾃｽﾄ\\" + name);
    strEncoderExe = name;
    m_runner.ExecuteCommand(quotePath(exe) + " echo ok");
    EXPECT_EQ(echoed(m_received), std::vector<std::string>{"ok"});
    EXPECT_TRUE(m_messages.messages.empty());
}

TEST(WaitableTimerWin, WaitsItsTimePumpingMessagesAndWakesWhenTheChildEnds) {
    CountingPump pump;
    clsWaitableTimer timer(pump);
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0);
    auto start = Clock::now();
    timer.Wait(120);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(110));
    EXPECT_GE(pump.calls, 2);
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));  // dispatched

    WinFolder folder;
    ChildProcess child;
    ASSERT_EQ(child.start({folder.copyHelper("t.exe"), "linger", "100"}), ChildProcess::StartResult::Started);
    start = Clock::now();
    timer.Wait(5000, {child.outputFd(), child.exitFd()});
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
}

}  // namespace
