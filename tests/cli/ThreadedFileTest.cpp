// One file converted alone on two threads through tessaro-cli gives what one
// thread gives: the same frames, the same length and the sound in the same
// step, RealVideo's picture encoded in pieces.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/CliRun.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellWord;

const fs::path kApp = TESSARO_APP_DIR;

struct Format {
    int index;
    bool inPieces;  // its picture encoder keeps to one thread
};

// What the output shows of its picture and sound.
struct Shown {
    long frames = -1;
    double videoStart = 0, videoLength = 0, audioStart = 0;
};

class ThreadedFileTest : public testing::TestWithParam<Format> {
protected:
    static void SetUpTestSuite() {
        s_root = fs::path(testing::TempDir()) / ("tessaro-threads-" + std::to_string(::getpid()));
        fs::remove_all(s_root);
        fs::create_directories(s_root / "bin");
        // Twelve seconds with a key frame every two: enough for two pieces,
        // and cut only where a key frame is.
        runShell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x360:rate=30:d=12 "
                 "-f lavfi -i sine=f=440:sample_rate=44100:d=12 -ac 2 -g 60 -c:v libx264 "
                 "-preset ultrafast -c:a aac " +
                 shellWord((s_root / "clip.mp4").string()));
        // ffmpeg as the encoders find it, telling which runs seek (the pieces).
        std::string ffmpeg = runShell("command -v ffmpeg").output;
        while (!ffmpeg.empty() && ffmpeg.back() == '\n') ffmpeg.pop_back();
        std::ofstream script(s_root / "bin/ffmpeg");
        script << "#!/bin/sh\necho \"$*\" >> \"$FFMPEG_LOG\"\nexec " << ffmpeg << " \"$@\"\n";
        script.close();
        fs::permissions(s_root / "bin/ffmpeg", fs::perms::owner_all);
    }
    static void TearDownTestSuite() { fs::remove_all(s_root); }
    void SetUp() override { TESSARO_REQUIRE_ENCODERS(kApp); }

    // Converts the clip on `threads` threads; the output, "" when there is none.
    static std::string convert(int format, int threads, const fs::path& log) {
        const fs::path out = s_root / ("f" + std::to_string(format) + "-t" + std::to_string(threads));
        const auto r = runShell(
            "PATH=" + shellWord((s_root / "bin").string()) + ":\"$PATH\" FFMPEG_LOG=" +
            shellWord(log.string()) + " " + shellWord((kApp / "tessaro-cli").string()) + " -f " +
            std::to_string(format) + " --threads " + std::to_string(threads) + " -o " +
            shellWord(out.string()) + " " + shellWord((s_root / "clip.mp4").string()));
        EXPECT_EQ(r.status, 0) << r.output;
        if (!fs::is_directory(out) || fs::is_empty(out)) return {};
        return fs::directory_iterator(out)->path().string();
    }

    // One value ffprobe shows; NaN for "N/A".
    static double value(const std::string& file, const std::string& what) {
        const std::string text =
            runShell("ffprobe -v error -count_frames " + what + " -of csv=p=0 " + shellWord(file))
                .output;
        double number = NAN;
        std::sscanf(text.c_str(), "%lf", &number);
        return number;
    }

    static Shown shown(const std::string& file) {
        Shown s;
        const std::string video = "-select_streams v:0 -show_entries stream=";
        s.frames = std::lround(value(file, video + "nb_read_frames"));
        s.videoStart = value(file, video + "start_time");
        s.videoLength = value(file, video + "duration");
        // Matroska gives its streams no length of their own.
        if (std::isnan(s.videoLength)) s.videoLength = value(file, "-show_entries format=duration");
        s.audioStart = value(file, "-select_streams a:0 -show_entries stream=start_time");
        return s;
    }

    static fs::path s_root;
};
fs::path ThreadedFileTest::s_root;

TEST_P(ThreadedFileTest, TwoThreadsGiveWhatOneGives) {
    const Format f = GetParam();
    const fs::path log = s_root / ("ffmpeg-" + std::to_string(f.index) + ".log");
    const std::string one = convert(f.index, 1, s_root / "one.log");
    const std::string two = convert(f.index, 2, log);
    ASSERT_FALSE(one.empty() || two.empty());
    std::ifstream runs(log);
    const std::string text((std::istreambuf_iterator<char>(runs)), {});
    EXPECT_EQ(text.find(" -ss ") != std::string::npos, f.inPieces) << text;

    const Shown a = shown(one), b = shown(two);
    ASSERT_GT(a.frames, 0);
    EXPECT_EQ(b.frames, a.frames);
    const double frame = 1.0 / 30;
    EXPECT_NEAR(b.videoLength, a.videoLength, frame);
    EXPECT_NEAR(b.audioStart - b.videoStart, a.audioStart - a.videoStart, 0.020);
    const double size = double(fs::file_size(two)) / double(fs::file_size(one));
    if (f.inPieces) {
        EXPECT_NEAR(size, 1.0, 0.05);
    }
}

// The first nine's video formats and today's.
INSTANTIATE_TEST_SUITE_P(VideoFormats, ThreadedFileTest,
                         testing::Values(Format{0, true}, Format{1, true}, Format{2, false},
                                         Format{3, false}, Format{4, false}, Format{5, false},
                                         Format{6, false}, Format{7, false}, Format{9, false},
                                         Format{10, false}, Format{11, false}),
                         [](const testing::TestParamInfo<Format>& info) {
                             return "Format" + std::to_string(info.param.index);
                         });

}  // namespace
}  // namespace tessaro
