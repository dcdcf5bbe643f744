// tessaro-cli against fake encoders: the program is copied into a temporary
// application folder whose data/ holds small scripts named like the encoders.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliRun.h"
#include "helpers/MockLogind.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellWord;

// Writes the input's name into the output named after -o (conv) or last
// (coder, coder2); a name containing "fail" makes it exit 3, "note" adds a
// notice, "short" reports an incomplete source (exit 4) and "slow" sleeps,
// leaving started.PID in the application folder.
constexpr const char* kFakeEncoder = R"(#!/bin/sh
out=""; prev=""
for a in "$@"; do [ "$prev" = "-o" ] && out="$a"; prev="$a"; last="$a"; done
[ -n "$out" ] || out="$last"
echo "$(basename "$0") $*" >> "$(dirname "$0")/../log.txt"
tool=$(basename "$0")
case "$*" in *note*) printf '\n%s: notice: 源文件的画面无法解码，只转换了声音\n' "$tool";; esac
case "$*" in
  *fail*) echo "cannot read input" >&2; exit 3;;
  *short*) echo converted > "$out"
    printf '\nconv: error: 源文件可能不完整：输出 8.2 秒，源文件 54.0 秒\n'; exit 4;;
  *slow*) : > "$(dirname "$0")/../started.$$"; exec sleep 30;;
esac
printf '( 50%%)\n'
echo converted > "$out"
)";

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        root = fs::path(testing::TempDir()) /
               ("tessaro-cli-" +
                std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "app/data");
        fs::create_directories(root / "work");
        cli = (root / "app/tessaro-cli").string();
        fs::copy_file(fs::path(TESSARO_APP_DIR) / "tessaro-cli", cli);
        for (const char* tool : {"conv", "coder", "coder2"}) {
            const fs::path path = root / "app/data" / tool;
            std::ofstream(path) << kFakeEncoder;
            ::chmod(path.c_str(), 0755);
        }
    }
    void TearDown() override { fs::remove_all(root); }

    // HOME is a folder of the test's own.
    test::CliRun run(const std::string& arguments) {
        return runShell("cd " + shellWord((root / "work").string()) +
                        " && HOME=" + shellWord((root / "home").string()) + " " + shellWord(cli) +
                        " " + arguments);
    }
    void touch(const std::string& name) { std::ofstream(root / "work" / name) << "video"; }
    std::string log() {
        std::ifstream in(root / "app/log.txt");
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path root;
    std::string cli;
};

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    for (const char* args :
         {"", "-f 16 a.flv", "-f x a.flv", "--channels both a.flv", "--channels source a.flv",
          "--bogus 1 a.flv", "a.flv -o", "--fmt", "-", "-o '' a.flv", "-j 0 a.flv", "-j 17 a.flv",
          "-j 2x a.flv", "--jobs '' a.flv", "--jobs=2 a.flv", "--threads 0 a.flv",
          "--threads 65 a.flv", "--threads 1.5 a.flv", "a.flv --threads"}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.output.find("Usage: tessaro-cli"), std::string::npos) << args;
    }
    const auto help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--channels"), std::string::npos);
}

// A field value that every encoder run would refuse stops the batch before
// it starts: a usage error on standard error, nothing converted or written.
// Values the encoders take, and values the format does not read, convert.
TEST_F(CliTest, ValuesNoEncoderTakesAreRefusedFirst) {
    touch("a.flv");
    const struct {
        std::string arguments;
        int status;
        std::string text;
    } rows[] = {
        {"-f 2 --vb abc", 2, "tessaro-cli: --vb 'abc': 视频比特率“abc”不是数字\n"},
        {"-f 2 --vb -5", 2, "--vb '-5': 视频比特率“-5”超出范围"},
        {"-f 2 --fps 0", 2, "--fps '0': 帧率“0”超出范围，应在 1 到 120 之间"},
        {"-f 0 --size 0x0", 2, "--size '0x0': 视频尺寸“0x0”超出范围"},
        {"-f 5 --size abc", 2, "--size 'abc': 视频尺寸“abc”应写作 宽x高"},
        {"-f 8 --rate 99999999999", 2, "--rate '99999999999': 声音频率“99999999999”超出范围"},
        {"-f 8 --abr ''", 2, "--abr '': 声音比特率为空"},
        {"-f 0 --size 原始大小 --vb 1200", 0, "Converted 1 of 1"},
        {"-f 2 --vb 600 --fps 23.976", 0, "Converted 1 of 1"},
        {"-f 8 --vb abc", 0, "warning: format 8 does not use --vb"},
    };
    for (const auto& row : rows) {
        const auto r = run(row.arguments + " a.flv");
        EXPECT_EQ(r.status, row.status) << row.arguments << "\n" << r.output;
        EXPECT_NE(r.output.find(row.text), std::string::npos) << row.arguments << "\n" << r.output;
        if (row.status != 2) continue;
        // standard output alone
        EXPECT_EQ(run(row.arguments + " a.flv 2>/dev/null | cat").output, "") << row.arguments;
        EXPECT_EQ(log(), "") << row.arguments;
        EXPECT_EQ(std::distance(fs::directory_iterator(root / "work"), fs::directory_iterator()), 1)
            << row.arguments;
    }
}

TEST_F(CliTest, ArgumentsAndOutputFolders) {
    touch("a.flv");
    const std::string work = (root / "work").string(), home = (root / "home").string();
    for (const auto& [arguments, status, text] :
         {std::tuple<std::string, int, std::string>{"--version", 0, "tessaro-cli 2.7.0\n"},
          {"-x a.flv", 2, "tessaro-cli: unknown option -x\n"},
          {"-j 17 a.flv", 2, "tessaro-cli: -j takes a number of files from 1 to 16, not '17'\n"},
          {"--jobs 2 -f 2 a.flv", 0, "Converted 1 of 1"},
          {"--threads 65 a.flv", 2,
           "tessaro-cli: --threads takes a number of threads from 1 to 64, not '65'\n"},
          {"-f 2 -o '~/o' a.flv", 0, "Output folder: " + home + "/o/\n"},
          {"-f 2 -o a.flv a.flv", 1, "输出路径不是文件夹：" + work + "/a.flv/"}}) {
        const auto r = run(arguments);
        EXPECT_EQ(r.status, status) << arguments;
        EXPECT_NE(r.output.find(text), std::string::npos) << arguments << "\n" << r.output;
    }
}

// On a terminal the line redrawn in place never counts past the total, and
// the summary starts a line of its own.
TEST_F(CliTest, LastStatusLineOnATerminal) {
    touch("a.flv");
    touch("b.flv");
    const auto r = runShell("cd " + shellWord((root / "work").string()) + " && script -qec " +
                            shellWord(shellWord(cli) + " -j 1 -f 2 a.flv b.flv") + " /dev/null");
    EXPECT_NE(r.output.find("\r[2/2] b.flv  "), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("[3/2]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\nConverted 2 of 2"), std::string::npos) << r.output;
}

TEST_F(CliTest, ConvertsRelativePathsIntoTheCurrentFolder) {
    touch("a.flv");
    touch("b.c.flv");
    const auto r = run("-f 2 a.flv b.c.flv");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Converted 2 of 2"), std::string::npos) << r.output;
    int outputs = 0;
    for (const auto& entry : fs::directory_iterator(root / "work"))
        outputs += entry.path().extension() == ".mpg";
    EXPECT_EQ(outputs, 2);
    // Absolute input path, the MPG defaults (600 kbit/s, 24 fps, 64 kbit/s).
    const std::string l = log();
    EXPECT_NE(l.find("conv " + (root / "work/a.flv").string() + " -oac"), std::string::npos) << l;
    EXPECT_NE(l.find("abitrate=64 "), std::string::npos);
    EXPECT_NE(l.find("vbitrate=600:vpass=1:threads="), std::string::npos) << l;
    EXPECT_NE(l.find(" -ofps 24 "), std::string::npos);
}

TEST_F(CliTest, OptionsReplaceTheDefaults) {
    touch("a.flv");
    const auto r = run("-f 8 -o out/sub --rate 22050 --abr 96 --channels mono a.flv");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(log().find("-vn -ar 22050 -ab 96k -ac 1 -threads "), std::string::npos) << log();
    EXPECT_NE(log().find(" " + (root / "work/out/sub").string() + "/a-"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(root / "work/out/sub"));
}

// --threads reaches both stages of every file.
TEST_F(CliTest, ThreadsReachEveryRun) {
    touch("a.flv");
    touch("b.flv");
    const auto r = run("-f 5 -j 2 --threads 64 a.flv b.flv");
    EXPECT_EQ(r.status, 0) << r.output;
    std::istringstream lines(log());
    int runs = 0;
    for (std::string line; std::getline(lines, line); ++runs)
        EXPECT_NE(line.find(line.rfind("conv", 0) == 0 ? ":threads=64 " : " -threads 64 "),
                  std::string::npos)
            << line;
    EXPECT_EQ(runs, 4);
}

TEST_F(CliTest, FailuresAreSummarisedAndTheOthersConvert) {
    touch("good.flv");
    touch("fail.flv");
    touch("late.flv");
    const auto r = run("-f 0 good.flv fail.flv late.flv");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("Converted 2 of 3"), std::string::npos) << r.output;
    const auto failed = r.output.find("Failed:");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_NE(r.output.find((root / "work/fail.flv").string(), failed), std::string::npos);
    EXPECT_NE(r.output.find("退出码 3", failed), std::string::npos);
}

// Each file's line says what it gave: inputs of one name are told apart by
// their folders, a notice follows the output, a partial file names the
// output it kept and fails the run.
TEST_F(CliTest, ResultLinesNameWhatEachFileGave) {
    for (const char* name : {"x/same.flv", "y/same.flv", "z/same.flv", "note.flv", "short.flv"}) {
        fs::create_directories((root / "work" / name).parent_path());
        touch(name);
    }
    const std::string work = (root / "work").string();
    const std::string partial = " (源文件可能不完整：输出 8.2 秒，源文件 54.0 秒)\n";
    const std::string note = " (源文件的画面无法解码，只转换了声音)\n";
    struct Row {
        std::string arguments;
        int status;
        std::vector<std::string> texts;
    } rows[] = {
        {"x/same.flv y/same.flv z/same.flv x/same.flv",
         0,
         {"] x/same.flv  OK -> " + work + "/same-", "] y/same.flv  OK -> ",
          "] z/same.flv  OK -> "}},
        {"x/same.flv", 0, {"[1/1] same.flv  OK -> "}},
        {"note.flv",
         0,
         {"mpg" + note, "Converted 1 of 1 file(s).\nConverted with notes:\n  " + work +
                            "/note.flv -> " + work + "/note-"}},
        {"short.flv x/same.flv",
         1,
         {"] short.flv  PARTIAL -> " + work + "/short-", "mpg" + partial,
          "Converted 1 of 2 file(s).\nPartial (output kept):\n  " + work + "/short.flv -> " + work +
              "/short-"}},
    };
    for (const Row& row : rows) {
        const auto r = run("-j 1 -f 2 " + row.arguments);
        EXPECT_EQ(r.status, row.status) << row.arguments << "\n" << r.output;
        for (const std::string& text : row.texts)
            EXPECT_NE(r.output.find(text), std::string::npos) << text << "\n" << r.output;
        EXPECT_EQ(r.output.find("FAILED"), std::string::npos) << r.output;
    }
}

// Stopped while several files run, every one of them is listed as stopped,
// the file not started after them as not started.
TEST_F(CliTest, StopListsEveryRunningFile) {
    for (const char* name : {"a.slow.flv", "b.slow.flv", "c.slow.flv", "d.slow.flv"}) touch(name);
    const std::string work = (root / "work").string();
    for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}}) {
        for (const auto& entry : fs::directory_iterator(root / "app"))
            if (entry.path().filename().string().rfind("started.", 0) == 0)
                fs::remove(entry.path());
        // Three encoders started, then the signal.
        const auto r = runShell(
            "cd " + shellWord(work) + " && { " + shellWord(cli) +
            " -j 3 -f 2 a.slow.flv b.slow.flv c.slow.flv d.slow.flv > cli.log 2>&1 & pid=$!; "
            "i=0; while [ $(ls ../app | grep -c '^started[.]') -lt 3 ] && [ $i -lt 200 ]; do "
            "sleep 0.05; i=$((i+1)); done; kill -" +
            signal +
            " $pid; wait $pid; echo \"status $?\"; "
            "cat cli.log; }");
        EXPECT_NE(r.output.find("status " + std::to_string(status)), std::string::npos) << r.output;
        for (const char* name : {"a", "b", "c"})
            EXPECT_NE(r.output.find("Stopped: " + work + "/" + name + ".slow.flv\n"),
                      std::string::npos)
                << name << "\n"
                << r.output;
        EXPECT_NE(r.output.find("Not started:\n  " + work + "/d.slow.flv\n"), std::string::npos)
            << r.output;
    }
}

// The system's sleep lock is held while the batch converts and goes with
// the stop a signal asks for; with no bus the batch converts as before.
TEST_F(CliTest, SleepLockHeldWhileConverting) {
    touch("a.slow.flv");
    const std::string work = (root / "work").string();
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        test::MockLogind logind;
        TESSARO_REQUIRE_MOCK_LOGIND(logind);
        for (const auto& entry : fs::directory_iterator(root / "app"))
            if (entry.path().filename().string().rfind("started.", 0) == 0)
                fs::remove(entry.path());
        std::vector<std::string> args = {cli, "-f", "2", "-o", work, work + "/a.slow.flv"};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        auto started = [&] {
            for (const auto& entry : fs::directory_iterator(root / "app"))
                if (entry.path().filename().string().rfind("started.", 0) == 0) return true;
            return false;
        };
        for (int i = 0; i < 400 && !started(); ++i) ::usleep(25000);
        const auto held = logind.inhibitors();
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal);
        ASSERT_EQ(held.size(), 1u);
        EXPECT_EQ(held[0].who, "Tessaro");
        EXPECT_TRUE(logind.waitForInhibitors(0));
    }
    touch("b.flv");
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tessaro-no-bus", 1);
    const auto r = run("-f 2 b.flv");  // no bus: nothing said of it
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("总线"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace tessaro
