// tessaro-cli with the real encoders of the application folder: three
// generated FLV clips into each format, checked with ffprobe.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cli/CliRun.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellWord;

const fs::path kApp = TESSARO_APP_DIR;

class EndToEndTest : public testing::TestWithParam<int> {
protected:
    // The clips are made once and shared by both suites.
    static void SetUpTestSuite() {
        if (!s_inputs.empty()) return;
        s_root = fs::path(testing::TempDir()) / ("tessaro-e2e-" + std::to_string(::getpid()));
        fs::remove_all(s_root);
        fs::create_directories(s_root / "in");
        if (!haveTools()) return;
        for (const char* name : {"one", "two.part", "three"}) {
            const std::string clip = (s_root / "in" / (std::string(name) + ".flv")).string();
            makeClip(clip, "320x240", 3);
            s_inputs.push_back(clip);
        }
        std::ofstream(s_root / "in/corrupt.flv") << "FLV this is no video at all";
    }
    // An FLV clip (FLV1 video, MP3 audio) made with ffmpeg.
    static void makeClip(const std::string& clip, const std::string& size, int seconds) {
        const std::string length = std::to_string(seconds);
        runShell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration=" + length +
                 ":size=" + size + ":rate=25 -f lavfi -i sine=frequency=440:duration=" + length +
                 ":sample_rate=44100 -c:v flv -b:v 400k -c:a libmp3lame -b:a 64k -ar 44100"
                 " -shortest " +
                 shellWord(clip));
    }
    static bool haveTools() {
        return fs::exists(kApp / "data/conv") && fs::exists(kApp / "data/coder") &&
               fs::exists(kApp / "data/coder2") &&
               runShell("ffmpeg -version >/dev/null && ffprobe -version >/dev/null").status == 0;
    }

    void SetUp() override {
        if (haveTools()) return;
        // In CI a missing tool is a failure: an end-to-end test never passes by skipping.
        if (std::getenv("CI")) FAIL() << "the encoders or ffmpeg are not installed";
        GTEST_SKIP() << "the encoders or ffmpeg are not installed";
        ASSERT_EQ(s_inputs.size(), 3u);
    }

    static test::CliRun convert(int format, const fs::path& out,
                                const std::vector<std::string>& files) {
        std::string command = shellWord((kApp / "tessaro-cli").string()) + " -f " +
                              std::to_string(format) + " -o " + shellWord(out.string());
        for (const auto& f : files) command += " " + shellWord(f);
        return runShell(command);
    }

    // The streams ffprobe finds in a file ("video", "audio"), empty when it
    // cannot read it.
    static std::string streams(const fs::path& file) {
        const auto r = runShell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " +
                                shellWord(file.string()));
        return r.status == 0 ? r.output : std::string();
    }

    static inline fs::path s_root;
    static inline std::vector<std::string> s_inputs;
};

TEST_P(EndToEndTest, ThreeClipsIntoTheFormat) {
    const int format = GetParam();
    const fs::path out = s_root / ("out" + std::to_string(format));
    const auto r = convert(format, out, s_inputs);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Converted 3 of 3"), std::string::npos) << r.output;
    static const char* kExtensions[] = {".rmvb", ".rm",   ".mpg",  ".avi", ".mp4", ".mov",
                                        ".mp4",  ".3gp",  ".mp3",  ".mp4", ".mp4", ".webm",
                                        ".m4a",  ".flac", ".opus", ".wav"};
    int count = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        ++count;
        EXPECT_EQ(entry.path().extension(), kExtensions[format]) << entry.path();
        EXPECT_GT(fs::file_size(entry.path()), 0u) << entry.path();
        const std::string found = streams(entry.path());
        EXPECT_NE(found.find("audio"), std::string::npos) << entry.path() << ": " << found;
        EXPECT_EQ(found.find("video") != std::string::npos,
                  format < 8 || (format >= 9 && format <= 11))
            << entry.path();
    }
    EXPECT_EQ(count, 3);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, EndToEndTest, testing::Range(0, 16));

// Removes the shared clips once every suite has run.
class ClipCleanup : public testing::Environment {
public:
    void TearDown() override {
        fs::remove_all(fs::path(testing::TempDir()) /
                       ("tessaro-e2e-" + std::to_string(::getpid())));
    }
};
const auto* const kCleanup = testing::AddGlobalTestEnvironment(new ClipCleanup);

class EndToEndFailureTest : public EndToEndTest {};

TEST_P(EndToEndFailureTest, CorruptAndMissingInputsFailAlone) {
    const fs::path out = s_root / ("bad" + std::to_string(GetParam()));
    const std::string corrupt = (s_root / "in/corrupt.flv").string();
    const std::string missing = (s_root / "in/missing.flv").string();
    const auto r = convert(GetParam(), out, {s_inputs[0], corrupt, missing, s_inputs[1]});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("Converted 2 of 4"), std::string::npos) << r.output;
    const auto failed = r.output.find("Failed:");
    ASSERT_NE(failed, std::string::npos) << r.output;
    EXPECT_NE(r.output.find(corrupt, failed), std::string::npos);
    EXPECT_NE(r.output.find(missing, failed), std::string::npos);
    int valid = 0;
    for (const auto& entry : fs::directory_iterator(out)) valid += !streams(entry.path()).empty();
    EXPECT_EQ(valid, 2);
}

// A two-stage format and the single run of MP3.
INSTANTIATE_TEST_SUITE_P(TwoStagesAndOne, EndToEndFailureTest, testing::Values(0, 8));

// Common web-video sizes that are no multiple of 16, one of them odd.
class FrameSizeTest : public EndToEndTest {};

TEST_P(FrameSizeTest, WideAndOddSourcesConvert) {
    const int format = GetParam();
    std::vector<std::string> clips;
    for (const char* size : {"640x360", "426x241"}) {
        const std::string clip = (s_root / "in" / (std::string("size") + size + ".flv")).string();
        if (!fs::exists(clip)) makeClip(clip, size, 1);
        clips.push_back(clip);
    }
    const fs::path out = s_root / ("size" + std::to_string(format));
    const auto r = convert(format, out, clips);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Converted 2 of 2"), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FrameSizeTest, testing::Range(0, 16));

}  // namespace
}  // namespace tessaro
