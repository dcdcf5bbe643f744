// Sources of the shapes real files come in, through tessaro-cli and the real
// encoders into the formats each one used to fail or distort: no declared
// pixel aspect, a portrait clip stored turned, 8 kHz and 11025 Hz sound, one
// frame a second, a frame too large for RealVideo, and a header that claims
// far more than the file holds. Every output is checked with ffprobe for its
// length, the shape of the picture it shows and its sound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "cli/CliRun.h"

namespace {

namespace fs = std::filesystem;
using tessaro::test::runShell;
using tessaro::test::shellWord;

const fs::path kApp = TESSARO_APP_DIR;
const std::string kFfmpeg = "ffmpeg -nostdin -v error -y ";

// A picture with no dark border of its own, so that black bars show.
std::string gray(const std::string& size, const std::string& rate, double seconds) {
    return "-f lavfi -i color=c=0xa0a0a0:size=" + size + ":rate=" + rate +
           ":duration=" + std::to_string(seconds) + " ";
}
std::string tone(int rate, double seconds) {
    return "-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(rate) +
           ":duration=" + std::to_string(seconds) + " ";
}

// GSM in AIFF-C, as old Macintosh recorders wrote it: the COMM chunk counts
// GSM blocks, which ffmpeg reads as samples, so the header claims 160 times
// the length the file holds.
void writeGsmAiff(const fs::path& raw, const fs::path& aiff) {
    std::ifstream in(raw, std::ios::binary);
    const std::string gsm{std::istreambuf_iterator<char>(in), {}};
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const std::string rate8000("\x40\x0B\xFA\x00\x00\x00\x00\x00\x00\x00", 10);
    const std::string comm = std::string("\x00\x01", 2) + be32(uint32_t(gsm.size() / 33)) +
                             std::string("\x00\x10", 2) + rate8000 + "GSM " + "\x03GSM";
    const std::string ssnd = be32(0) + be32(0) + gsm;
    const std::string body = "AIFCFVER" + be32(4) + be32(0xA2805140) + "COMM" +
                             be32(uint32_t(comm.size())) + comm + "SSND" +
                             be32(uint32_t(ssnd.size())) + ssnd;
    std::ofstream(aiff, std::ios::binary) << "FORM" << be32(uint32_t(body.size())) << body;
}

struct Source {
    const char* name;
    double seconds;
    double aspect;     // display aspect of the picture; 0: sound only
    std::string make;  // ffmpeg arguments, output name last (shell words)
};

// The generated sources, by name.
const std::map<std::string, Source>& sources() {
    static const std::map<std::string, Source> kSources = [] {
        std::map<std::string, Source> m;
        auto add = [&](Source s) { m[s.name] = s; };
        // QuickTime-made MP4: 16:9 with no pixel aspect in the file.
        add({"nopar.mp4", 3, 16.0 / 9,
             gray("640x360", "25", 3) + tone(44100, 3) +
                 "-vf setsar=0 -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest nopar.mp4"});
        // A phone's portrait clip: stored 640x360, shown turned by 90 degrees.
        add({"portrait.mp4", 3, 9.0 / 16,
             gray("640x360", "30", 3) + tone(48000, 3) +
                 "-c:v libx264 -pix_fmt yuv420p -c:a aac -shortest stored.mp4 && " + kFfmpeg +
                 "-i stored.mp4 -c copy -metadata:s:v:0 rotate=90 portrait.mp4"});
        add({"phone8k.wav", 4, 0, tone(8000, 4) + "-ac 1 phone8k.wav"});
        add({"adpcm11k.flv", 3, 4.0 / 3,
             gray("320x240", "25", 3) + tone(11025, 3) +
                 "-c:v flv -c:a adpcm_swf -shortest adpcm11k.flv"});
        add({"slides.mp4", 6, 4.0 / 3,
             gray("320x240", "1", 6) + tone(44100, 6) +
                 "-c:v libx264 -pix_fmt yuv420p -c:a aac -shortest slides.mp4"});
        add({"huge.mp4", 2, 4.0 / 3,
             gray("4000x3000", "5", 2) + tone(44100, 2) +
                 "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest huge.mp4"});
        add({"gsm.aiff", 12.3, 0, tone(8000, 12.3) + "-ac 1 -c:a gsm -f gsm gsm.raw"});
        add({"tagged.mp4", 3, 16.0 / 9,
             gray("640x360", "25", 3) + tone(22050, 3) +
                 "-c:v libx264 -pix_fmt yuv420p -c:a libmp3lame -metadata title=Harbour "
                 "-metadata artist=Gulls -shortest tagged.mp4"});
        return m;
    }();
    return kSources;
}

struct Case {
    const char* source;
    int format;
};

class SourceShapes : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        s_root = fs::temp_directory_path() / ("tessaro-shapes-" + std::to_string(::getpid()));
        fs::create_directories(s_root);
    }
    static void TearDownTestSuite() { fs::remove_all(s_root); }

    void SetUp() override {
        // Never passes by skipping: the tools are part of what is tested.
        ASSERT_TRUE(fs::exists(kApp / "tessaro-cli"));
        ASSERT_EQ(runShell("ffmpeg -version >/dev/null && ffprobe -version >/dev/null").status, 0)
            << "ffmpeg and ffprobe are needed";
    }

    // The source, made on first use.
    static fs::path source(const Source& s) {
        const fs::path file = s_root / s.name;
        if (fs::exists(file)) return file;
        const auto made = runShell("cd " + shellWord(s_root.string()) + " && " + kFfmpeg + s.make);
        EXPECT_EQ(made.status, 0) << made.output;
        if (std::string(s.name) == "gsm.aiff") writeGsmAiff(s_root / "gsm.raw", file);
        return file;
    }

    static std::map<std::string, std::string> probe(const fs::path& file) {
        std::map<std::string, std::string> v;
        const auto r = runShell(
            "ffprobe -v error -of flat -show_entries format=duration:format_tags:stream=codec_type,"
            "sample_aspect_ratio " +
            shellWord(file.string()));
        static const std::regex line(R"re(^(\S+)="?([^"]*)"?$)re");
        std::smatch m;
        std::stringstream ss(r.output);
        for (std::string l; std::getline(ss, l);)
            if (std::regex_match(l, m, line)) v[m[1]] = m[2];
        return v;
    }

    // The shape of the picture the file shows: its lit part (black bars cut
    // away) at its pixel aspect.
    static double shownAspect(const fs::path& file, const std::string& sar) {
        const auto r = runShell("ffmpeg -nostdin -i " + shellWord(file.string()) +
                                " -vf cropdetect=limit=40:round=2:reset=1 -f null - 2>&1");
        static const std::regex crop(R"(crop=(\d+):(\d+):)");
        double aspect = 0;
        for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), crop);
             it != std::sregex_iterator(); ++it)
            aspect = std::stod((*it)[1]) / std::stod((*it)[2]);
        int n = 0, d = 0;
        if (std::sscanf(sar.c_str(), "%d:%d", &n, &d) == 2 && n > 0 && d > 0)
            aspect *= double(n) / d;
        return aspect;
    }

    static inline fs::path s_root;
};

TEST_P(SourceShapes, ConvertWholeAndUndistorted) {
    const Source& src = sources().at(GetParam().source);
    const int format = GetParam().format;
    const fs::path input = source(src);
    const fs::path out = s_root / ("out-" + std::string(src.name) + "-" + std::to_string(format));
    const auto cli =
        runShell(shellWord((kApp / "tessaro-cli").string()) + " -f " + std::to_string(format) +
                 " -o " + shellWord(out.string()) + " " + shellWord(input.string()));
    ASSERT_EQ(cli.status, 0) << cli.output;
    ASSERT_TRUE(fs::exists(out));
    const fs::path file = fs::directory_iterator(out)->path();
    auto p = probe(file);
    EXPECT_NEAR(std::atof(p["format.duration"].c_str()), src.seconds, 0.5);
    EXPECT_EQ(
        p["streams.stream.0.codec_type"] == "audio" || p["streams.stream.1.codec_type"] == "audio",
        true)
        << "no sound";
    if (src.aspect > 0 && format != 8) {
        const std::string sar = p["streams.stream.0.codec_type"] == "video"
                                    ? p["streams.stream.0.sample_aspect_ratio"]
                                    : p["streams.stream.1.sample_aspect_ratio"];
        EXPECT_NEAR(shownAspect(file, sar) / src.aspect, 1.0, 0.02) << "sar " << sar;
    }
    if (format == 8) {
        // Only the tags that describe the recording reach the MP3.
        for (const char* housekeeping : {"major_brand", "minor_version", "compatible_brands"})
            EXPECT_EQ(p.count(std::string("format.tags.") + housekeeping), 0u) << housekeeping;
        if (std::string(src.name) == "tagged.mp4") {
            EXPECT_EQ(p["format.tags.title"], "Harbour");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealShapes, SourceShapes,
    ::testing::Values(Case{"nopar.mp4", 6}, Case{"nopar.mp4", 7}, Case{"nopar.mp4", 0},
                      Case{"portrait.mp4", 6}, Case{"portrait.mp4", 1}, Case{"portrait.mp4", 5},
                      Case{"phone8k.wav", 4}, Case{"adpcm11k.flv", 4}, Case{"slides.mp4", 0},
                      Case{"slides.mp4", 1}, Case{"huge.mp4", 0}, Case{"gsm.aiff", 8},
                      Case{"gsm.aiff", 2}, Case{"gsm.aiff", 6}, Case{"tagged.mp4", 8}),
    [](const auto& info) {
        std::string name = info.param.source;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name + "_" + std::to_string(info.param.format);
    });

}  // namespace
