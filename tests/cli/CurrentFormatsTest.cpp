// The formats of today's players through tessaro-cli with the real encoders:
// the codecs, profiles and tags players look for, the length kept, the index
// of an MP4 at its front, and a typed bitrate reached.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "cli/CliRun.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellWord;

const fs::path kApp = TESSARO_APP_DIR;

struct Expected {
    int format;
    const char* video;  // "codec_name|profile|codec_tag_string"; "" for none
    const char* audio;  // "codec_name|sample_rate|channels"
    bool indexFirst;    // an MP4 whose moov stands before its mdat
};

class CurrentFormatsTest : public testing::TestWithParam<Expected> {
protected:
    static void SetUpTestSuite() {
        s_root = fs::path(testing::TempDir()) / ("tessaro-current-" + std::to_string(::getpid()));
        fs::remove_all(s_root);
        fs::create_directories(s_root);
        // A moving picture with grain, so that a bitrate is needed to keep it,
        // and a chord over pink noise at 44100 Hz, the kind of sound a
        // variable-rate encoder spends its bitrate on.
        make("plain.mkv", "testsrc2=size=640x360:rate=30:d=6", "sine=f=440:sample_rate=44100:d=6");
        make("busy.mkv", "testsrc2=size=640x360:rate=30:d=10,noise=alls=12:allf=t",
             "aevalsrc=0.2*sin(2*PI*220*t)+0.15*sin(2*PI*277*t)|0.2*sin(2*PI*330*t)+"
             "0.1*sin(2*PI*415*t):s=44100:d=10[c];anoisesrc=color=pink:amplitude=0.05:"
             "sample_rate=44100:d=10[n];[c][n]amerge=inputs=2,pan=stereo|c0=c0+c2|c1=c1+c2");
    }
    static void TearDownTestSuite() { fs::remove_all(s_root); }
    static void make(const char* name, const std::string& video, const std::string& audio) {
        runShell("ffmpeg -nostdin -v error -y -f lavfi -i " + shellWord(video) + " -f lavfi -i " +
                 shellWord(audio) + " -ac 2 -c:v libx264 -preset ultrafast -qp 0 -c:a flac " +
                 shellWord((s_root / name).string()));
    }
    void SetUp() override { TESSARO_REQUIRE_ENCODERS(kApp); }

    // Converts one source; the output's path, "" when there is none.
    static std::string convert(const Expected& e, const char* source, const std::string& options,
                               const std::string& folder) {
        const fs::path out = s_root / folder;
        const auto r =
            runShell(shellWord((kApp / "tessaro-cli").string()) + " -f " +
                     std::to_string(e.format) + " " + options + " -o " + shellWord(out.string()) +
                     " " + shellWord((s_root / source).string()));
        EXPECT_EQ(r.status, 0) << r.output;
        if (!fs::is_directory(out) || fs::is_empty(out)) return {};
        return fs::directory_iterator(out)->path().string();
    }
    static std::string probe(const std::string& file, const std::string& what) {
        return runShell("ffprobe -v error " + what + " -of csv=p=0 " + shellWord(file)).output;
    }
    // kbit/s of one kind of stream ("v" or "a"), from the sizes of its packets.
    static double kbits(const std::string& file, const char* stream, double seconds) {
        const std::string sizes =
            probe(file, std::string("-select_streams ") + stream + " -show_entries packet=size");
        double bytes = 0;
        for (std::size_t at = 0, end; at < sizes.size(); at = end + 1) {
            end = sizes.find('\n', at);
            if (end == std::string::npos) end = sizes.size();
            bytes += std::atof(sizes.substr(at, end - at).c_str());
        }
        return bytes * 8 / 1000 / seconds;
    }

    static inline fs::path s_root;
};

TEST_P(CurrentFormatsTest, DefaultsGiveWhatPlayersExpect) {
    const Expected& e = GetParam();
    const std::string file = convert(e, "plain.mkv", "", "plain" + std::to_string(e.format));
    ASSERT_FALSE(file.empty());
    std::string video = probe(file,
                              "-select_streams v -show_entries "
                              "stream=codec_name,profile,codec_tag_string,width,height,pix_fmt");
    std::replace(video.begin(), video.end(), ',', '|');
    // The source's size kept, in 8-bit 4:2:0.
    EXPECT_EQ(video, *e.video ? std::string(e.video) + "|640|360|yuv420p\n" : "") << file;
    std::string audio =
        probe(file, "-select_streams a -show_entries stream=codec_name,sample_rate,channels");
    std::replace(audio.begin(), audio.end(), ',', '|');
    EXPECT_EQ(audio, std::string(e.audio) + "\n") << file;
    const double seconds = std::atof(probe(file, "-show_entries format=duration").c_str());
    EXPECT_NEAR(seconds, 6, 0.5) << file;
    if (e.indexFirst) {
        const std::string trace = runShell("ffprobe -v trace " + shellWord(file) +
                                           " 2>&1 | grep -o \"type:'m[od][oa][vt]'\"")
                                      .output;
        EXPECT_EQ(trace.substr(0, 11), "type:'moov'") << trace;
    }
}

// A typed bitrate is the one aimed at: the picture's within 15 % of it, and
// the sound's of the lossy sound formats too.
class CurrentBitrateTest : public CurrentFormatsTest {};

TEST_P(CurrentBitrateTest, TypedBitrateIsReached) {
    const Expected& e = GetParam();
    const bool video = *e.video != '\0';
    const std::string file =
        convert(e, "busy.mkv", video ? "--vb 800" : "--abr 96", "busy" + std::to_string(e.format));
    ASSERT_FALSE(file.empty());
    const double reached = kbits(file, video ? "v" : "a", 10);
    EXPECT_NEAR(reached / (video ? 800 : 96), 1.0, 0.15) << reached << " kbit/s in " << file;
}

const Expected kFormats[] = {
    {9, "h264|High|avc1", "aac|44100|2", true},
    {10, "hevc|Main|hvc1", "aac|44100|2", true},
    {11, "vp9|Profile 0|[0][0][0][0]", "opus|48000|2", false},
    {12, "", "aac|44100|2", true},
    {13, "", "flac|44100|2", false},
    {14, "", "opus|48000|2", false},
    {15, "", "pcm_s16le|44100|2", false},
};

INSTANTIATE_TEST_SUITE_P(EachFormat, CurrentFormatsTest, testing::ValuesIn(kFormats));
// The video formats, and the lossy sound formats (M4A, Opus).
INSTANTIATE_TEST_SUITE_P(TakingABitrate, CurrentBitrateTest,
                         testing::Values(kFormats[0], kFormats[1], kFormats[2], kFormats[3],
                                         kFormats[5]));

}  // namespace
}  // namespace tessaro
