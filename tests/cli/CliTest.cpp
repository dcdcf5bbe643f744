// tessaro-cli against fake encoders: the program is copied into a temporary
// application folder whose data/ holds small scripts named like the encoders.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "cli/CliRun.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellWord;

// Writes the input's name into the output named after -o (conv) or last
// (coder, coder2); a name containing "fail" makes it exit 3.
constexpr const char* kFakeEncoder = R"(#!/bin/sh
out=""; prev=""
for a in "$@"; do [ "$prev" = "-o" ] && out="$a"; prev="$a"; last="$a"; done
[ -n "$out" ] || out="$last"
echo "$(basename "$0") $*" >> "$(dirname "$0")/../log.txt"
case "$*" in *fail*) echo "cannot read input" >&2; exit 3;; esac
printf '( 50%%)\n'
echo converted > "$out"
)";

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        root = fs::path(testing::TempDir()) /
               ("tessaro-cli-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
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
    for (const char* args : {"", "-f 9 a.flv", "-f x a.flv", "--channels both a.flv",
                             "--bogus 1 a.flv", "a.flv -o", "--fmt", "-", "-o '' a.flv",
                             "-j 0 a.flv", "-j 17 a.flv", "-j 2x a.flv", "--jobs '' a.flv",
                             "--jobs=2 a.flv"}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.output.find("Usage: tessaro-cli"), std::string::npos) << args;
    }
    const auto help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--channels"), std::string::npos);
}

TEST_F(CliTest, ArgumentsAndOutputFolders) {
    touch("a.flv");
    const std::string work = (root / "work").string(), home = (root / "home").string();
    for (const auto& [arguments, status, text] :
         {std::tuple<std::string, int, std::string>{"--version", 0, "tessaro-cli 2.7.0\n"},
          {"-x a.flv", 2, "tessaro-cli: unknown option -x\n"},
          {"-j 17 a.flv", 2, "tessaro-cli: -j takes a number of files from 1 to 16, not '17'\n"},
          {"--jobs 2 -f 2 a.flv", 0, "Converted 1 of 1"},
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
    EXPECT_NE(l.find("vbitrate=600:vpass=1 -ofps 24 "), std::string::npos);
}

TEST_F(CliTest, OptionsReplaceTheDefaults) {
    touch("a.flv");
    const auto r = run("-f 8 -o out/sub --rate 22050 --abr 96 --channels mono a.flv");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(log().find("-vn -ar 22050 -ab 96k -ac 1 " + (root / "work/out/sub").string() + "/a-"),
              std::string::npos)
        << log();
    EXPECT_TRUE(fs::is_directory(root / "work/out/sub"));
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

}  // namespace
}  // namespace tessaro
