// Sources of the shapes real files come in, through tessaro-cli into the
// formats they used to fail or distort; each output is checked with ffprobe
// for its length, the shape of the picture it shows and its sound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "cli/CliRun.h"

namespace {

namespace fs = std::filesystem;
using tessaro::test::runShell;
using tessaro::test::shellWord;

const fs::path kApp = TESSARO_APP_DIR;
const std::string kFfmpeg = "ffmpeg -nostdin -v error -y ";

// A gray picture (no dark edge of its own, so black bars show) and a tone.
std::string clip(const std::string& size, const std::string& fps, int rate, double seconds) {
    const std::string s = std::to_string(seconds);
    return (size.empty() ? ""
                         : "-f lavfi -i color=c=gray:size=" + size + ":rate=" + fps + ":d=" + s) +
           " -f lavfi -i sine=sample_rate=" + std::to_string(rate) + ":d=" + s +
           " -pix_fmt yuv420p -shortest ";
}

// GSM in AIFF-C whose COMM chunk counts GSM blocks, as some recorders wrote
// it: ffmpeg reads them as samples, so the header claims 160 times the length.
void writeGsmAiff(const fs::path& raw, const fs::path& aiff) {
    std::ifstream in(raw, std::ios::binary);
    const std::string gsm{std::istreambuf_iterator<char>(in), {}};
    auto be32 = [](size_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const std::string comm = std::string("\0\1", 2) + be32(gsm.size() / 33) +
                             std::string("\0\x10", 2) +
                             std::string("\x40\x0B\xFA\0\0\0\0\0\0\0", 10) + "GSM \3GSM";
    const std::string body = "AIFCFVER" + be32(4) + be32(0xA2805140) + "COMM" + be32(comm.size()) +
                             comm + "SSND" + be32(gsm.size() + 8) + be32(0) + be32(0) + gsm;
    std::ofstream(aiff, std::ios::binary) << "FORM" << be32(body.size()) << body;
}

struct Case {
    const char* source;  // file name: the row of kMake that makes it
    int format;
    double seconds, aspect;  // aspect of the picture shown; 0: sound only
};

const std::map<std::string, std::string> kMake = {
    {"nopar.mp4", clip("640x360", "25", 44100, 3) + "-vf setsar=0 nopar.mp4"},
    {"portrait.mp4", clip("640x360", "30", 48000, 3) + "stored.mp4 && " + kFfmpeg +
                         "-i stored.mp4 -c copy -metadata:s:v:0 rotate=90 portrait.mp4"},
    {"phone8k.wav", clip("", "", 8000, 4) + "phone8k.wav"},
    {"adpcm11k.flv", clip("320x240", "25", 11025, 3) + "-c:v flv -c:a adpcm_swf adpcm11k.flv"},
    {"slides.mp4", clip("320x240", "1", 44100, 6) + "slides.mp4"},
    {"huge.mp4", clip("4000x3000", "5", 44100, 2) + "-preset ultrafast huge.mp4"},
    {"gsm.aiff", clip("", "", 8000, 12.3) + "-c:a gsm -f gsm gsm.raw"},
    {"tagged.mp4",
     clip("640x360", "25", 22050, 3) + "-c:a libmp3lame -metadata title=Harbour tagged.mp4"},
};

class SourceShapes : public ::testing::TestWithParam<Case> {};

TEST_P(SourceShapes, ConvertWholeAndUndistorted) {
    // Never passes by skipping: the tools are part of what is tested.
    ASSERT_EQ(runShell("ffmpeg -version && ffprobe -version").status, 0) << "ffmpeg is needed";
    const Case& c = GetParam();
    const fs::path root =
        fs::temp_directory_path() / ("tessaro-shapes-" + std::to_string(::getpid()));
    fs::create_directories(root / "out");
    const auto made =
        runShell("cd " + shellWord(root.string()) + " && " + kFfmpeg + kMake.at(c.source));
    ASSERT_EQ(made.status, 0) << made.output;
    if (std::string(c.source) == "gsm.aiff") writeGsmAiff(root / "gsm.raw", root / c.source);

    const auto cli = runShell(
        shellWord((kApp / "tessaro-cli").string()) + " -f " + std::to_string(c.format) + " -o " +
        shellWord((root / "out").string()) + " " + shellWord((root / c.source).string()));
    ASSERT_EQ(cli.status, 0) << cli.output;
    const std::string file = shellWord(fs::directory_iterator(root / "out")->path().string());
    const std::string info =
        runShell(
            "ffprobe -v error -show_entries format=duration:format_tags:stream="
            "codec_type,sample_aspect_ratio -of default=nw=1 " +
            file)
            .output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info, m, std::regex("duration=([\\d.]+)")));
    EXPECT_NEAR(std::stod(m[1]), c.seconds, 0.5);
    EXPECT_NE(info.find("codec_type=audio"), std::string::npos) << "no sound";
    if (c.aspect > 0) {
        // Square pixels (phones ignore any other), and the lit part of the
        // picture (black bars cropped) in the source's shape.
        EXPECT_EQ(std::regex_search(info, std::regex("sample_aspect_ratio=(?!1:1|N/A|0:1)")), false)
            << info;
        const std::string crops = runShell("ffmpeg -nostdin -i " + file +
                                           " -vf cropdetect=limit=40:round=2:reset=1 -f null -")
                                      .output;
        static const std::regex crop(R"(crop=(\d+):(\d+):)");
        double shown = 0;
        for (std::sregex_iterator it(crops.begin(), crops.end(), crop), end; it != end; ++it)
            shown = std::stod((*it)[1]) / std::stod((*it)[2]);
        EXPECT_NEAR(shown / c.aspect, 1.0, 0.02) << info;
    }
    if (c.format == 8) {
        // Only the tags that describe the recording reach an MP3.
        EXPECT_EQ(info.find("major_brand"), std::string::npos) << info;
        EXPECT_EQ(info.find("TAG:title=Harbour") != std::string::npos,
                  c.source == std::string("tagged.mp4"));
    }
    fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(
    RealShapes, SourceShapes,
    ::testing::Values(Case{"nopar.mp4", 6, 3, 16 / 9.}, Case{"nopar.mp4", 7, 3, 16 / 9.},
                      Case{"nopar.mp4", 0, 3, 16 / 9.}, Case{"portrait.mp4", 6, 3, 9 / 16.},
                      Case{"portrait.mp4", 1, 3, 9 / 16.}, Case{"portrait.mp4", 5, 3, 9 / 16.},
                      Case{"phone8k.wav", 4, 4, 0}, Case{"adpcm11k.flv", 4, 3, 4 / 3.},
                      Case{"slides.mp4", 0, 6, 4 / 3.}, Case{"slides.mp4", 1, 6, 4 / 3.},
                      Case{"huge.mp4", 0, 2, 4 / 3.}, Case{"gsm.aiff", 8, 12.3, 0},
                      Case{"gsm.aiff", 2, 12.3, 0}, Case{"gsm.aiff", 6, 12.3, 0},
                      Case{"tagged.mp4", 8, 3, 0}));

}  // namespace
