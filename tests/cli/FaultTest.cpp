// tessaro-cli and the real encoders under faults: processes killed mid-run,
// stop signals, a full disk, an incomplete source, a parent that ignores
// SIGCHLD, two batches at once and a name at the file system's limit. Each
// leaves no partial file and no process behind, and reports what happened.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/CliRun.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellWord;
using namespace std::chrono_literals;

const fs::path kApp = TESSARO_APP_DIR;
const fs::path kTemp = "/tmp/tessaro-" + std::to_string(::getuid());

// The ids of the processes whose parent is `parent`.
std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != 'Z') found.push_back(std::stoi(name));
    }
    return found;
}

// True once the process has gone (or is a zombie) within a few seconds.
bool gone(pid_t pid) {
    for (int i = 0; i < 50; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return true;
        const auto close = line.rfind(')');
        if (close != std::string::npos && line[close + 2] == 'Z') return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

// Every name in a folder, hidden ones too.
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename());
    return names;
}

// Files of the temporary folder that belong to process `pid`.
std::vector<std::string> leftoversOf(pid_t pid) {
    std::vector<std::string> mine;
    for (const std::string& name : namesIn(kTemp))
        if (name.find("tmp-" + std::to_string(pid) + ".mp4") != std::string::npos ||
            name.find("tmp-" + std::to_string(pid) + "-") != std::string::npos)
            mine.push_back(name);
    return mine;
}

// tessaro-cli started in the background, its output into a file.
struct Background {
    pid_t pid = -1;
    fs::path log;
    int wait() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string output() const {
        std::ifstream in(log);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

Background startCli(const std::vector<std::string>& args, const fs::path& log,
                    bool ignoreChild = false) {
    std::vector<std::string> argv{(kApp / "tessaro-cli").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    Background b{::fork(), log};
    if (b.pid == 0) {
        if (ignoreChild) ::signal(SIGCHLD, SIG_IGN);
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        std::vector<char*> av;
        for (auto& a : argv) av.push_back(a.data());
        av.push_back(nullptr);
        ::execv(av[0], av.data());
        ::_exit(127);
    }
    return b;
}

class FaultTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_root = fs::path(testing::TempDir()) / ("tessaro-fault-" + std::to_string(::getpid()));
        fs::remove_all(s_root);
        fs::create_directories(s_root);
    }
    static void TearDownTestSuite() { fs::remove_all(s_root); }

    void SetUp() override {
        const bool tools =
            fs::exists(kApp / "data/conv") &&
            runShell("ffmpeg -version >/dev/null && ffprobe -version >/dev/null").status == 0;
        if (!tools) {
            if (std::getenv("CI")) FAIL() << "the encoders or ffmpeg are not installed";
            GTEST_SKIP() << "the encoders or ffmpeg are not installed";
        }
        out = s_root / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(out);
        fs::create_directories(out);
    }

    // A clip made once per name: FLV1 and MP3, of the size and length given.
    static std::string clip(const std::string& name, const std::string& size, int seconds) {
        const fs::path path = s_root / (name + ".flv");
        if (!fs::exists(path))
            runShell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration=" +
                     std::to_string(seconds) + ":size=" + size +
                     ":rate=25 -f lavfi -i sine=duration=" + std::to_string(seconds) +
                     " -c:v flv -b:v 300k -c:a libmp3lame -b:a 48k -shortest " +
                     shellWord(path.string()));
        return path.string();
    }

    // "duration width height" of a file, as ffprobe reads them.
    static std::string probe(const fs::path& file, const char* entries) {
        return runShell(std::string("ffprobe -v error -select_streams v:0 -show_entries ") +
                        entries + " -of default=nw=1:nk=1 " + shellWord(file.string()))
            .output;
    }

    static inline fs::path s_root;
    fs::path out;
};

struct KillRow {
    const char* victim;  // "ffmpeg", "encoder" or "cli"
    int signal;
    int format;
    int exitStatus;
};

class KillTest : public FaultTest, public testing::WithParamInterface<KillRow> {};

TEST_P(KillTest, LeavesNoPartialFileAndNoProcess) {
    const KillRow row = GetParam();
    const std::string longClip = clip("long", "320x240", 300),
                      shortClip = clip("short", "160x120", 2);
    // One file at a time: the long one runs, the short one waits.
    Background cli = startCli(
        {"-j", "1", "-f", std::to_string(row.format), "-o", out.string(), longClip, shortClip},
        out.parent_path() / (out.filename().string() + ".log"));
    // Wait until the first file's partial output (or intermediate) is written.
    pid_t encoder = -1, ffmpeg = -1;
    for (int i = 0; i < 200 && ffmpeg <= 0; ++i) {
        std::this_thread::sleep_for(50ms);
        bool partial = false;
        for (const auto& n : namesIn(out))
            partial = partial || n.find(".part") != std::string::npos;
        for (const auto& n : leftoversOf(cli.pid))
            partial = partial || n.find(".part") != std::string::npos;
        const auto encoders = childrenOf(cli.pid);
        if (partial && encoders.size() == 1) {
            encoder = encoders[0];
            const auto below = childrenOf(encoder);
            if (below.size() == 1) ffmpeg = below[0];
        }
    }
    ASSERT_GT(ffmpeg, 0) << cli.output();
    const std::string victim = row.victim;
    ::kill(victim == "ffmpeg" ? ffmpeg : victim == "encoder" ? encoder : cli.pid, row.signal);

    EXPECT_EQ(cli.wait(), row.exitStatus) << cli.output();
    EXPECT_TRUE(gone(encoder));
    EXPECT_TRUE(gone(ffmpeg));
    EXPECT_TRUE(leftoversOf(cli.pid).empty());
    const auto names = namesIn(out);
    const std::string output = cli.output();
    if (victim == "cli") {
        EXPECT_TRUE(names.empty()) << names.front();
        if (row.signal == SIGKILL) return;  // its encoder cleaned up alone
        // Stopped like the Stop button: the summary names what is left.
        EXPECT_NE(output.find("Stopped: " + longClip), std::string::npos) << output;
        EXPECT_NE(output.find("Not started:\n  " + shortClip), std::string::npos) << output;
    } else {
        // The killed file failed and left nothing; the next one converted.
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].rfind("short-", 0), 0u) << names[0];
        EXPECT_NE(output.find("Converted 1 of 2"), std::string::npos) << output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Victims, KillTest,
    testing::Values(KillRow{"ffmpeg", SIGKILL, 2, 1}, KillRow{"encoder", SIGKILL, 2, 1},
                    KillRow{"encoder", SIGKILL, 0, 1}, KillRow{"cli", SIGTERM, 0, 143},
                    KillRow{"cli", SIGKILL, 2, 128 + SIGKILL}, KillRow{"cli", SIGINT, 8, 130}),
    [](const testing::TestParamInfo<KillRow>& info) {
        return std::string(info.param.victim) + "_signal" + std::to_string(info.param.signal) +
               "_format" + std::to_string(info.param.format);
    });

TEST_F(FaultTest, FullDiskFailsWithTheEncodersReasonAndLeavesNothing) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const fs::path disk = out / "disk";
    fs::create_directories(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    const std::string input = clip("sixty", "160x120", 60);
    const auto cli = runShell(shellWord((kApp / "tessaro-cli").string()) + " -f 2 -o " +
                              shellWord(disk.string()) + " " + shellWord(input));
    const auto conv =
        runShell(shellWord((kApp / "data/conv").string()) + " " + shellWord(input) +
                 " -oac mp3lame -ovc lavc -of avi -o " + shellWord((disk / "x.avi").string()));
    const auto left = namesIn(disk);
    ::umount2(disk.c_str(), MNT_DETACH);
    EXPECT_EQ(cli.status, 1) << cli.output;
    EXPECT_NE(conv.status, 0);
    EXPECT_NE(conv.output.find("conv: error: "), std::string::npos) << conv.output;
    EXPECT_NE(conv.output.find("No space left on device"), std::string::npos) << conv.output;
    EXPECT_TRUE(left.empty()) << left.front();
}

// A cut source gives a partial result: its line and the summary name the
// output kept and the seconds it holds, and the run fails.
TEST_F(FaultTest, IncompleteSourceIsPartialAndKeepsTheOutput) {
    // The first 30 % of a file that declares 60 s.
    const std::string whole = clip("sixty", "160x120", 60);
    const fs::path cut = s_root / "cut.flv";
    {
        std::ifstream in(whole, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() * 3 / 10);
    }
    for (int format : {0, 2, 8}) {
        const fs::path folder = out / std::to_string(format);
        const auto r =
            runShell(shellWord((kApp / "tessaro-cli").string()) + " -f " + std::to_string(format) +
                     " -o " + shellWord(folder.string()) + " " + shellWord(cut.string()));
        EXPECT_EQ(r.status, 1) << r.output;
        const auto names = namesIn(folder);
        ASSERT_EQ(names.size(), 1u) << format;
        const std::string kept = (folder / names[0]).string();
        EXPECT_NE(r.output.find("cut.flv  PARTIAL -> " + kept + " (源文件可能不完整：输出 "),
                  std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("Partial (output kept):\n  " + cut.string() + " -> " + kept),
                  std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find(" 秒，源文件 60.0 秒"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("FAILED"), std::string::npos) << r.output;
    }
}

TEST_F(FaultTest, ParentIgnoringSigchldStillConvertsBothStages) {
    Background cli = startCli({"-f", "5", "-o", out.string(), clip("short", "160x120", 2)},
                              s_root / "sigchld.log", true);
    EXPECT_EQ(cli.wait(), 0) << cli.output();
    EXPECT_NE(cli.output().find("Converted 1 of 1"), std::string::npos) << cli.output();
}

TEST_F(FaultTest, TwoBatchesAtOnceEachConvertTheirOwnClip) {
    struct Run {
        std::string clip;
        std::string size;
        double seconds;
        Background cli;
    } runs[] = {{clip("big", "320x240", 8), "320\n240\n", 8, {}},
                {clip("small", "176x144", 4), "176\n144\n", 4, {}}};
    for (Run& r : runs) {
        const fs::path folder = out / fs::path(r.clip).stem();
        r.cli =
            startCli({"-f", "5", "-o", folder.string(), r.clip, r.clip}, folder.string() + ".log");
    }
    for (Run& r : runs) {
        EXPECT_EQ(r.cli.wait(), 0) << r.cli.output();
        for (const auto& entry : fs::directory_iterator(out / fs::path(r.clip).stem())) {
            EXPECT_EQ(probe(entry.path(), "stream=width,height"), r.size) << entry.path();
            EXPECT_NEAR(std::atof(probe(entry.path(), "format=duration").c_str()), r.seconds, 0.5);
        }
    }
}

// A batch killed in stage two leaves its intermediate; the next start of
// tessaro-cli removes it and the partial files of ended processes in its
// output folder, and leaves those of live processes alone.
TEST_F(FaultTest, StartUpRemovesWhatAKilledBatchLeft) {
    Background killed =
        startCli({"-f", "5", "-o", (out / "first").string(), clip("twenty", "160x120", 20)},
                 out / "first.log");
    bool stageTwo = false;
    for (int i = 0; i < 3000 && !stageTwo; ++i) {
        std::this_thread::sleep_for(10ms);
        for (pid_t child : childrenOf(killed.pid)) {
            std::ifstream comm("/proc/" + std::to_string(child) + "/comm");
            std::string name;
            stageTwo = stageTwo || (std::getline(comm, name) && name == "coder");
        }
    }
    ASSERT_TRUE(stageTwo) << killed.output();
    ::kill(killed.pid, SIGKILL);
    killed.wait();
    ASSERT_FALSE(leftoversOf(killed.pid).empty());

    const fs::path second = out / "second";
    fs::create_directories(second);
    const fs::path dead = second / (".a.mp3." + std::to_string(killed.pid) + ".part");
    const fs::path live = second / (".b.mp3." + std::to_string(::getpid()) + ".part");
    for (const fs::path& file : {dead, live}) std::ofstream(file) << "x";
    const auto r =
        runShell(shellWord((kApp / "tessaro-cli").string()) + " -f 8 -o " +
                 shellWord(second.string()) + " " + shellWord(clip("one", "160x120", 1)));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(leftoversOf(killed.pid).empty());
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live));
}

TEST_F(FaultTest, InputNameAtTheLimitIsShortenedBeforeAnyStage) {
    const std::string source = clip("short", "160x120", 2);
    const fs::path longName = s_root / (std::string(246, 'n') + ".flv");
    fs::copy_file(source, longName, fs::copy_options::overwrite_existing);
    const auto r = runShell(shellWord((kApp / "tessaro-cli").string()) + " -f 0 -o " +
                            shellWord(out.string()) + " " + shellWord(longName.string()));
    EXPECT_EQ(r.status, 0) << r.output;
    const auto names = namesIn(out);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("nnnn", 0), 0u);
    EXPECT_EQ(fs::path(names[0]).extension(), ".rmvb");
}

}  // namespace
}  // namespace tessaro
