// A picture encoded in pieces: where the cuts fall, how the pieces' and the
// join's options divide the job's, and coder's runs in pieces against one run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/ChildProcess.h"
#include "encoders/FfmpegJob.h"
#include "encoders/PicturePieces.h"
#include "encoders/SourceProbe.h"
#include "helpers/TempFolder.h"

namespace fs = std::filesystem;
using namespace tessaro;

namespace {

TEST(PicturePiecesTest, KeyFramesAreThePacketsWithoutOtherFlags) {
    const std::string listing =
        "#software: Lavf59.27.100\n#tb 0: 1/30\n#media_type 0: video\n"
        "0,          0,          0,        1,    19347, 0x8cd80e3f\n"
        "0,          1,          1,        1,     1452, 0xd6a380bf, F=0x0\n"
        "0,         13,         13,        1,    19347, 0x8cd80e3f, F=0x1\n"
        "0,         14,         14,        1,     1452, 0xd6a380bf, F=0x4\n"
        "0,         20,         -9,        1,    19347, 0x8cd80e3f\n"
        "0,         25,         25,        1,    19347, 0x8cd80e3f, F=0x5\n";
    const std::vector<double> times = keyFrameTimes(listing);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_DOUBLE_EQ(times[0], 0);
    EXPECT_NEAR(times[1], 13 / 30.0, 1e-9);
    EXPECT_NEAR(times[2], 25 / 30.0, 1e-9);
    EXPECT_TRUE(keyFrameTimes("0, 0, 0, 1, 10, 0x1\n").empty()) << "no time base";
}

TEST(PicturePiecesTest, CutsAtKeyFramesNearEvenShares) {
    const auto every = [](double step, double until) {
        std::vector<double> times;
        for (double t = 0; t < until; t += step) times.push_back(t);
        return times;
    };
    const struct {
        const char* what;
        std::vector<double> keys;
        double duration, rate;
        int threads;
        std::vector<long> starts;
    } rows[] = {
        {"two threads, key frames every 2 s", every(2, 120), 120, 30, 2, {1800}},
        {"four threads", every(2, 120), 120, 25, 4, {750, 1500, 2250}},
        {"cut at the nearest key frame", every(7, 60), 60, 30, 2, {840}},
        {"threads beyond the pieces of 5 s", every(1, 12), 12, 30, 8, {180}},
        {"one thread", every(2, 120), 120, 30, 1, {}},
        {"shorter than two pieces", every(1, 9.9), 9.9, 30, 2, {}},
        {"one key frame only", {0}, 120, 30, 2, {}},
        {"key frames far from the places", every(100, 120), 120, 30, 2, {}},
        {"no frame rate", every(2, 120), 120, 0, 2, {}},
        {"no length", every(2, 120), -1, 30, 2, {}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(pieceStarts(r.keys, r.duration, r.rate, r.threads), r.starts) << r.what;
}

// The options of a list by name, each with its value ("-an" has none).
std::multiset<std::string> optionPairs(const std::vector<std::string>& options) {
    std::multiset<std::string> pairs;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const bool flag = options[i] == "-an" || options[i] == "-vn" || i + 1 == options.size();
        pairs.insert(flag ? options[i] : options[i] + " " + options[i + 1]);
        if (!flag) ++i;
    }
    return pairs;
}

TEST(PicturePiecesTest, PiecesTakeThePictureAndTheJoinTheSound) {
    SourceFacts source;
    source.probed = true;
    source.displayWidth = 640;
    source.displayHeight = 360;
    source.framesPerSecond = 25;
    source.mainVideo = 0;
    source.firstCover = 1;  // the maps of picture and sound are given
    source.audio = true;
    const FfmpegJob job =
        coderJob({"-i", "in.avi", "-y", "-vcodec", "rv10", "-b", "600k", "-f", "rm", "-ar",
                  "44100", "-ab", "64k", "-ac", "2", "-threads", "2", "out.rmvb"},
                 [](const std::string&) { return true; }, &source);
    ASSERT_TRUE(job.error.empty()) << job.error;
    const auto all = optionPairs(job.outputOptions);
    const auto piece = optionPairs(pieceJob(job, 250, 100, 25, "p.avi").outputOptions);
    const auto join = optionPairs(joinJob(job, "list", "rv10").outputOptions);
    for (const std::string& option : all) {
        const bool picture = option.rfind("-c:v", 0) == 0 || option.rfind("-b:v", 0) == 0 ||
                             option.rfind("-vf", 0) == 0 || option.rfind("-r ", 0) == 0 ||
                             option.rfind("-maxrate", 0) == 0 || option.rfind("-bufsize", 0) == 0;
        const bool sound = option.rfind("-c:a", 0) == 0 || option.rfind("-b:a", 0) == 0 ||
                           option.rfind("-a", 0) == 0 || option == "-map 0:a:0?";
        if (picture) EXPECT_TRUE(piece.count(option) && !join.count(option)) << option;
        if (sound) EXPECT_TRUE(join.count(option) && !piece.count(option)) << option;
    }
    EXPECT_TRUE(piece.count("-an") && piece.count("-frames:v 100") && piece.count("-f avi"));
    EXPECT_TRUE(join.count("-c:v copy") && join.count("-map 1:v:0") && join.count("-f rm"));
    const FfmpegJob first = pieceJob(job, 0, 250, 25, "p.avi");
    EXPECT_TRUE(first.inputOptions.empty()) << "the first piece starts at the start";
    const FfmpegJob later = pieceJob(job, 250, 0, 25, "p.avi");
    ASSERT_EQ(later.inputOptions.size(), 2u);
    EXPECT_NEAR(std::stod(later.inputOptions[1]), 9.99, 1e-6) << "a quarter frame early";
    EXPECT_FALSE(optionPairs(later.outputOptions).count("-frames:v 0")) << "the last runs to the end";
}

TEST(PicturePiecesTest, ConcatListQuotesPathsAndTimesEachPiece) {
    const std::string text = concatList({"/t/a.avi", "/t/it's.avi", "/t/c.avi"}, {250, 400}, 25);
    EXPECT_EQ(text,
              "ffconcat version 1.0\n"
              "file 'file:/t/a.avi'\nduration 10.000000\n"
              "file 'file:/t/it'\\''s.avi'\nduration 6.000000\n"
              "file 'file:/t/c.avi'\n");
}

// ---- coder's runs -----------------------------------------------------------

struct Spawned {
    pid_t pid = -1;
    int out = -1;  // its stdout and stderr
};

// Starts argv in a process group of its own (as the batch's runner does),
// with `path` first on PATH.
Spawned start(const std::vector<std::string>& argv, const std::string& path) {
    Spawned run;
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, p[1], 1);
    posix_spawn_file_actions_adddup2(&actions, p[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    std::vector<char*> av;
    for (const auto& a : argv) av.push_back(const_cast<char*>(a.c_str()));
    av.push_back(nullptr);
    std::vector<std::string> envStore{"PATH=" + path + ":" + std::getenv("PATH")};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("PATH=", 0) != 0) envStore.push_back(*e);
    std::vector<char*> env;
    for (auto& e : envStore) env.push_back(e.data());
    env.push_back(nullptr);
    if (posix_spawnp(&run.pid, av[0], &actions, &attributes, av.data(), env.data()) != 0)
        run.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(p[1]);
    run.out = p[0];
    return run;
}

// Reads the run's output to its end (or until `until` appears) and, at the
// end, waits for it: its exit status.
int finish(Spawned& run, std::string& output, const std::string& until = {}) {
    char buf[4096];
    ssize_t n;
    while ((until.empty() || output.find(until) == std::string::npos) &&
           (n = read(run.out, buf, sizeof buf)) > 0)
        output.append(buf, static_cast<std::size_t>(n));
    if (!until.empty()) return 0;
    close(run.out);
    int status = 0;
    waitpid(run.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string probeText(const std::string& path, const std::string& entries) {
    Spawned run = start({"ffprobe", "-v", "error", "-count_frames", "-of", "csv=p=0", "-show_entries",
                     entries, "file:" + path},
                    "/nonexistent");
    std::string text;
    finish(run, text);
    return text;
}

bool piecesLeftBy(pid_t pid) {
    const std::string id = std::to_string(pid);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/tmp/tessaro-" + std::to_string(getuid()), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("piece-" + id + "-", 0) == 0 || name == "pieces-" + id + ".ffconcat")
            return true;
    }
    return false;
}

// Processes whose command line names the folder.
int processesNaming(const std::string& folder) {
    int count = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), {});
        count += text.find(folder) != std::string::npos ? 1 : 0;
    }
    return count;
}

class PieceRuns : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string ffmpeg = findOnPath("ffmpeg");
        ASSERT_FALSE(ffmpeg.empty());
        // ffmpeg as the encoders find it, logging its arguments; with
        // FAIL_PIECE set, the pieces after the first die.
        fs::create_directories(m_folder.file("bin"));
        std::ofstream script(m_folder.file("bin/ffmpeg"));
        script << "#!/bin/sh\necho \"$*\" >> " << m_folder.file("ffmpeg.log") << "\n"
               << "case \" $* \" in *\" -ss \"*) if [ -n \"$FAIL_PIECE\" ]; then "
               << "echo '[error] the piece encoder died' >&2; exit 1; fi;; esac\n"
               << "exec " << ffmpeg << " \"$@\"\n";
        script.close();
        fs::permissions(m_folder.file("bin/ffmpeg"), fs::perms::owner_all);
    }

    // The source of the runs: an intermediate-like AVI of `seconds`, a key
    // frame every 2 s.
    std::string source(int seconds, const char* size = "320x240") {
        const std::string path = m_folder.file("source.avi");
        Spawned run = start({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                         std::string("testsrc2=rate=30:size=") + size, "-f", "lavfi", "-i",
                         "sine=frequency=440:sample_rate=44100", "-t", std::to_string(seconds),
                         "-g", "60", "-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame", path},
                        "/nonexistent");
        std::string output;
        EXPECT_EQ(finish(run, output), 0) << output;
        return path;
    }

    std::vector<std::string> coder(const std::string& in, const std::string& out, int threads) {
        std::vector<std::string> argv{TESSARO_APP_DIR "/data/coder", "-i", in, "-y", "-vcodec",
                                      "rv10", "-b", "600k", "-f", "rm", "-ab", "64k", "-ac", "2"};
        if (threads > 0) argv.insert(argv.end(), {"-threads", std::to_string(threads)});
        argv.push_back(out);
        return argv;
    }

    std::string bin() const { return m_folder.file("bin"); }
    std::string log() const {
        std::ifstream file(m_folder.file("ffmpeg.log"));
        return std::string((std::istreambuf_iterator<char>(file)), {});
    }

    test::TempFolder m_folder;
};

TEST_F(PieceRuns, PiecesMatchOneRunInFramesLengthAndSound) {
    const std::string in = source(12);
    for (int threads : {0, 3}) {
        const std::string out = m_folder.file("out" + std::to_string(threads) + ".rm");
        Spawned run = start(coder(in, out, threads), bin());
        std::string output;
        ASSERT_EQ(finish(run, output), 0) << output;
        EXPECT_FALSE(piecesLeftBy(run.pid));
    }
    EXPECT_NE(log().find(" -ss "), std::string::npos) << "three threads cut the picture";
    const std::string one = m_folder.file("out0.rm"), pieces = m_folder.file("out3.rm");
    EXPECT_EQ(probeText(pieces, "stream=codec_name,nb_read_frames"),
              probeText(one, "stream=codec_name,nb_read_frames"));
    EXPECT_EQ(probeText(pieces, "stream=start_time,duration"),
              probeText(one, "stream=start_time,duration"));
    const double ratio = double(fs::file_size(pieces)) / double(fs::file_size(one));
    EXPECT_NEAR(ratio, 1.0, 0.05);
}

TEST_F(PieceRuns, AFailedPieceFailsTheRunAndLeavesNothing) {
    const std::string in = source(12);
    const std::string out = m_folder.file("out.rm");
    std::vector<std::string> argv = coder(in, out, 2);
    argv.insert(argv.begin(), {"/usr/bin/env", "FAIL_PIECE=1"});
    Spawned run = start(argv, bin());
    std::string output;
    EXPECT_NE(finish(run, output), 0);
    EXPECT_NE(output.find("piece 2 of 2: the piece encoder died"), std::string::npos) << output;
    EXPECT_FALSE(piecesLeftBy(run.pid));
    for (const auto& entry : fs::directory_iterator(m_folder.path()))
        EXPECT_EQ(entry.path().filename().string().find("out"), std::string::npos)
            << entry.path();
}

TEST_F(PieceRuns, StopEndsEveryPieceAndLeavesNothing) {
    const std::string in = source(40, "1280x720");
    Spawned run = start(coder(in, m_folder.file("out.rm"), 2), bin());
    std::string output;
    finish(run, output, "time=");
    ASSERT_GT(processesNaming(m_folder.path()), 2) << "coder and its pieces run\n" << output;
    kill(-run.pid, SIGTERM);  // as the batch's Stop does
    EXPECT_NE(finish(run, output), 0);
    EXPECT_NE(output.find("stopped by signal"), std::string::npos) << output;
    EXPECT_EQ(processesNaming(m_folder.path()), 0);
    EXPECT_FALSE(piecesLeftBy(run.pid));
    for (const auto& entry : fs::directory_iterator(m_folder.path()))
        EXPECT_EQ(entry.path().filename().string().find("out"), std::string::npos)
            << entry.path();
}

}  // namespace
