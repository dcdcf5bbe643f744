#include "engine/DOSOutputs.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <csignal>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/CommandLineText.h"
#include "engine/RunnerTestSupport.h"
#include "helpers/FloodPattern.h"

using namespace tessaro;
using namespace tessaro::testing;
namespace fs = std::filesystem;

class DOSOutputsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_name = m_folder.uniqueName("enc");
        m_exe = m_folder.copy(m_name);
        strEncoderExe = m_name;
        m_runner.ReceiveOutputs = [this](const std::string& chunk) {
            m_chunks.push_back(chunk);
            m_received += chunk;
        };
        m_runner.CommandOver = [this] { ++m_over; };
    }
    void TearDown() override { strEncoderExe.clear(); }

    // The copied helper followed by args (quoted).
    std::string command(std::initializer_list<std::string> args) const {
        std::string line = quotePath(m_exe);
        for (const auto& a : args) line += " " + quotePath(a);
        return line;
    }
    void expectOneMessage(const std::string& text) {
        ASSERT_EQ(m_messages.messages.size(), 1u);
        EXPECT_EQ(m_messages.messages[0].text, text);
        EXPECT_EQ(m_messages.messages[0].icon, MessageIcon::Critical);
        EXPECT_EQ(m_messages.messages[0].title, "Tessaro");
    }
    void expectNoEvents() {
        EXPECT_TRUE(m_chunks.empty());
        EXPECT_EQ(m_over, 0);
        EXPECT_FALSE(m_runner.lastStatus().started);
    }

    HelperFolder m_folder;
    std::string m_name;
    std::string m_exe;
    CountingPump m_pump;
    RecordingMessageBoxes m_messages;
    DOSOutputs m_runner{m_pump, m_messages};
    std::vector<std::string> m_chunks;
    std::string m_received;
    int m_over = 0;
};

TEST_F(DOSOutputsTest, EmptyCommandLineShowsAMessageAndRaisesNothing) {
    EXPECT_EQ(m_runner.ExecuteCommand(), "");
    expectOneMessage("Command Line empty");
    expectNoEvents();
}

TEST_F(DOSOutputsTest, CommandThatCannotBeStartedShowsFileNotFound) {
    const fs::path plain = m_folder.path() / "not-executable";
    std::ofstream(plain) << "#!/bin/sh\necho ran\n";
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    const std::vector<std::string> lines = {
        quotePath((m_folder.path() / "missing").string()) + " echo x",
        quotePath(plain.string()),
        quotePath(m_folder.path().string()),  // a folder
        "tessaro-no-such-program-on-path",
        "   ",  // only blanks: no program named at all
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line);
        m_messages.messages.clear();
        EXPECT_EQ(m_runner.ExecuteCommand(line), "");
        expectOneMessage("File or command not found");
        expectNoEvents();
    }
}

TEST_F(DOSOutputsTest, GivenCommandLineReplacesTheStoredOne) {
    m_runner.setCommandLine(command({"echo", "stored"}));
    EXPECT_EQ(echoed(m_runner.ExecuteCommand()), std::vector<std::string>{"stored"});
    EXPECT_EQ(echoed(m_runner.ExecuteCommand(command({"echo", "given"}))), std::vector<std::string>{"given"});
    EXPECT_EQ(m_runner.CommandLine(), command({"echo", "given"}));
    EXPECT_EQ(echoed(m_runner.ExecuteCommand()), std::vector<std::string>{"given"});
    EXPECT_EQ(echoed(m_runner.Outputs()), std::vector<std::string>{"given"});
    EXPECT_EQ(m_over, 3);
    EXPECT_TRUE(m_messages.messages.empty());
}

TEST_F(DOSOutputsTest, SilentChildRaisesOnlyCommandOver) {
    EXPECT_EQ(m_runner.ExecuteCommand(command({"exit", "0"})), "");
    EXPECT_TRUE(m_chunks.empty());
    EXPECT_EQ(m_over, 1);
    EXPECT_TRUE(m_runner.lastStatus().succeeded());
}

TEST_F(DOSOutputsTest, RecordsHowTheChildEnded) {
    struct Row {
        std::vector<std::string> args;
        bool exited;
        int code;
        int signal;
    };
    const std::vector<Row> rows = {
        {{"exit", "0"}, true, 0, 0},
        {{"exit", "3"}, true, 3, 0},
        {{"kill", std::to_string(SIGKILL)}, false, -1, SIGKILL},
        {{"kill", std::to_string(SIGTERM)}, false, -1, SIGTERM},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0] + " " + row.args[1]);
        std::string line = quotePath(m_exe);
        for (const auto& a : row.args) line += " " + a;
        m_runner.ExecuteCommand(line);
        const RunStatus& s = m_runner.lastStatus();
        EXPECT_TRUE(s.started);
        EXPECT_EQ(s.exited, row.exited);
        if (row.exited) {
            EXPECT_EQ(s.exitCode, row.code);
        }
        EXPECT_EQ(s.signal, row.signal);
        EXPECT_EQ(s.succeeded(), row.exited && row.code == 0);
    }
    EXPECT_EQ(m_over, 4);

    // Reaped by the system (SIGCHLD ignored): unknown, never a signal.
    const auto old = std::signal(SIGCHLD, SIG_IGN);
    m_runner.ExecuteCommand(quotePath(m_exe) + " exit 0");
    std::signal(SIGCHLD, old);
    EXPECT_TRUE(m_runner.lastStatus().unknown);
    EXPECT_EQ(m_runner.lastStatus().signal, 0);
}

TEST_F(DOSOutputsTest, FiftyMegabytesArriveWholeInOrderInSmallChunks) {
    const std::uint64_t total = 50ull * 1024 * 1024;
    std::uint64_t position = 0;
    std::uint64_t mismatches = 0;
    std::size_t chunks = 0;
    std::size_t oversized = 0;
    m_runner.ReceiveOutputs = [&](const std::string& chunk) {
        ++chunks;
        if (chunk.empty() || chunk.size() > 1024) ++oversized;
        for (unsigned char c : chunk)
            if (c != floodByte(position++)) ++mismatches;
    };
    const std::string result = m_runner.ExecuteCommand(command({"flood", std::to_string(total)}));
    EXPECT_EQ(position, total);
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(oversized, 0u);
    EXPECT_EQ(m_over, 1);
    EXPECT_GE(m_pump.calls, static_cast<long>(chunks) - 1);  // the pump runs between chunks

    // Only the last MiB is kept.
    ASSERT_EQ(result.size(), DOSOutputs::kOutputLimit);
    EXPECT_EQ(m_runner.Outputs(), result);
    const std::uint64_t first = total - result.size();
    std::uint64_t tailMismatches = 0;
    for (std::size_t i = 0; i < result.size(); ++i)
        if (static_cast<unsigned char>(result[i]) != floodByte(first + i)) ++tailMismatches;
    EXPECT_EQ(tailMismatches, 0u);
}

TEST_F(DOSOutputsTest, OutputWrittenJustBeforeExitIsRead) {
    for (const std::uint64_t size : {3000ull, 300000ull}) {
        SCOPED_TRACE(size);
        m_chunks.clear();
        m_received.clear();
        m_runner.ExecuteCommand(command({"tail", "120", std::to_string(size), "7"}));
        ASSERT_EQ(m_received.size(), size);
        for (std::uint64_t i = 0; i < size; ++i)
            ASSERT_EQ(static_cast<unsigned char>(m_received[i]), floodByte(i)) << i;
        for (const auto& chunk : m_chunks) EXPECT_LE(chunk.size(), 1024u);
        EXPECT_EQ(m_runner.lastStatus().exitCode, 7);
    }
}

// The run is its own process tree: an unrelated process of the encoder's
// name never holds it, Stop acts at once, and a descendant that keeps the
// pipe open is ended with the child's group.
TEST_F(DOSOutputsTest, RunEndsWithItsOwnTreeOnly) {
    // The other process is named in upper case, strEncoderExe in lower case.
    const std::string other = upper(m_folder.uniqueName("kp"));
    const pid_t stranger = spawnHelper(m_folder.copy("other/" + other), {"linger", "20000"});
    ASSERT_GT(stranger, 0);
    strEncoderExe = lower(other);
    struct Row {
        std::vector<std::string> args;
        bool stop;  // Terminate once the child has written or at the first pump
        int minMs, maxMs;
        std::string output;
    };
    const int linger = DOSOutputs::kLingerMs;
    const std::vector<Row> rows = {
        {{"echo", "quick"}, false, 0, 1000, std::string("quick") + '\0'},
        {{"linger", "20000"}, true, 0, 1000, ""},
        {{"fork", "60000"}, false, linger, 3 * linger, "parent\n"},
        {{"fork", "60000"}, true, 0, linger, "parent\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[0] + (row.stop ? " stopped" : ""));
        m_received.clear();
        m_pump.onPump = [&] {
            if (row.stop && (row.output.empty() || m_received == row.output)) m_runner.Terminate();
        };
        std::string line = quotePath(m_exe);
        for (const auto& a : row.args) line += " " + a;
        const auto start = std::chrono::steady_clock::now();
        m_runner.ExecuteCommand(line);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        EXPECT_GE(ms, row.minMs);
        EXPECT_LT(ms, row.maxMs);
        EXPECT_EQ(m_received, row.output);
        if (!row.stop || row.output.empty()) {
            EXPECT_EQ(m_runner.lastStatus().stopped, row.stop);
        }
        // Nothing of the child's group is left running.
        const pid_t group = static_cast<pid_t>(m_runner.lastStatus().pid);
        waitUntil([&] { return !groupIsRunning(group); }, 2000);
        EXPECT_FALSE(groupIsRunning(group));
    }
    m_pump.onPump = nullptr;
    EXPECT_EQ(m_over, 4);
    int status = 0;
    EXPECT_EQ(::waitpid(stranger, &status, WNOHANG), 0);  // left alone
    ::kill(stranger, SIGKILL);
    ::waitpid(stranger, &status, 0);
}

TEST_F(DOSOutputsTest, ForkedCopyOfTheEncoderIsWaitedForAndRead) {
    m_runner.ExecuteCommand(command({"fork", "300"}));
    EXPECT_EQ(m_received, "parent\ngrandchild\n");
    EXPECT_EQ(m_over, 1);
    EXPECT_TRUE(m_runner.lastStatus().succeeded());
}

TEST_F(DOSOutputsTest, ChildInheritsOnlyItsThreeStandardDescriptors) {
    const int leaked = ::open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaked, 0);
    const std::string out = m_runner.ExecuteCommand(command({"fds"}));
    ::close(leaked);
    std::vector<std::string> lines;
    std::string line;
    for (char c : out) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    ASSERT_EQ(lines.size(), 3u) << out;
    EXPECT_EQ(lines[0], "0:/dev/null");
    EXPECT_EQ(lines[1].substr(0, 7), "1:pipe:");
    EXPECT_EQ(lines[2].substr(2), lines[1].substr(2));  // stderr on the same pipe
}

TEST_F(DOSOutputsTest, HostileFileNamesArriveAsOneArgumentAndRunNothing) {
    const std::string marker = (m_folder.path() / "ran").string();
    const std::vector<std::string> names = {
        "/films/my film.flv",      "/films/\"quoted\".flv",   "/films/it's.flv",
        "/films/$HOME.flv",        "/films/`touch " + marker + "`.flv",
        "/films/$(touch " + marker + ").flv",
        "/films/a;touch " + marker, "/films/a & touch " + marker, "/films/a | touch " + marker,
        "C:\\films\\a.flv",        "/films/ends\\",             "/films/\\\"x\\\\\"",
        "/films/new\nline.flv",    "-o",                        "--help",
        "/视频/中文 文件.flv",     "",
    };
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        m_received.clear();
        m_runner.ExecuteCommand(command({"echo", name, "after"}));
        EXPECT_EQ(echoed(m_received), (std::vector<std::string>{name, "after"}));
    }
    // Unquoted shell syntax is only text to the runner, too.
    m_received.clear();
    m_runner.ExecuteCommand(quotePath(m_exe) + " echo a;touch " + marker + " $(touch " + marker + ")");
    EXPECT_EQ(echoed(m_received), (std::vector<std::string>{"a;touch", marker, "$(touch", marker + ")"}));
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(m_messages.messages.empty());
}

TEST_F(DOSOutputsTest, EncoderInAFolderWithAHostileNameStarts) {
    const std::string name = m_folder.uniqueName("h");
    const std::string exe = m_folder.copy("Program Files/编码 器 $x;'\"/" + name);
    strEncoderExe = name;
    m_runner.ExecuteCommand(quotePath(exe) + " echo ok");
    EXPECT_EQ(echoed(m_received), std::vector<std::string>{"ok"});
    EXPECT_TRUE(m_messages.messages.empty());
}
