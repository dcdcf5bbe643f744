// Sources of the shapes real files come in, through tessaro-cli into the
// formats they used to fail or distort; each output is checked with ffprobe
// for its length, the shape of the picture it shows, its sound and that its
// timestamps read back in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "cli/CliRun.h"
#include "encoders/AmrNbEncoder.h"

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
// claimed: how many times its blocks the header counts; cut: bytes left off
// the end.
void writeGsmAiff(const fs::path& raw, const fs::path& aiff, size_t claimed = 1, size_t cut = 0) {
    std::ifstream in(raw, std::ios::binary);
    const std::string gsm{std::istreambuf_iterator<char>(in), {}};
    auto be32 = [](size_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const std::string comm = std::string("\0\1", 2) + be32(gsm.size() / 33 * claimed) +
                             std::string("\0\x10", 2) +
                             std::string("\x40\x0B\xFA\0\0\0\0\0\0\0", 10) + "GSM \3GSM";
    const std::string body = "AIFCFVER" + be32(4) + be32(0xA2805140) + "COMM" + be32(comm.size()) +
                             comm + "SSND" + be32(gsm.size() + 8) + be32(0) + be32(0) + gsm;
    const std::string file = "FORM" + be32(body.size()) + body;
    std::ofstream(aiff, std::ios::binary) << file.substr(0, file.size() - cut);
}

// A phone's AMR-NB with discontinuous transmission: the pauses of the speech
// become comfort-noise frames that ffmpeg decodes to nothing.
void writeDtxAmr(const fs::path& pcm, const fs::path& amr) {
    tessaro::AmrNbEncoder encoder(12.2, true);
    ASSERT_TRUE(encoder.ready()) << "the OpenCORE AMR-NB library is needed";
    std::ifstream in(pcm, std::ios::binary);
    std::ofstream out(amr, std::ios::binary);
    out << tessaro::AmrNbEncoder::fileMagic();
    int16_t frame[tessaro::AmrNbEncoder::kFrameSamples];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) out << encoder.encode(frame);
}

struct Case {
    const char* source;  // file name: the row of kMake that makes it
    int format;
    double seconds, aspect;    // aspect of the picture shown; 0: sound only
    double soundWithin = 0.5;  // how near the sound's own length is to seconds
    bool cover = false;        // an MP3 or FLAC output keeps the source's cover
};

// The formats whose output holds sound only.
bool soundOnly(int format) { return format == 8 || format >= 12; }

// A source into every format: the whole sound, a picture of this aspect.
std::vector<Case> formats(int first, int end, const char* source, double seconds, double aspect,
                          double soundWithin = 0.5) {
    std::vector<Case> cases;
    for (int f = first; f < end; ++f)
        cases.push_back(
            {source, f, seconds, soundOnly(f) ? 0 : aspect, soundWithin, f == 8 || f == 13});
    for (Case& c : cases) c.cover = c.cover && std::string(source) == "covers.mp3";
    return cases;
}
std::vector<Case> allNine(const char* source, double seconds, double aspect,
                          double soundWithin = 0.5) {
    return formats(0, 9, source, seconds, aspect, soundWithin);
}
// The seven formats of today's players.
std::vector<Case> currentSeven(const char* source, double seconds, double aspect,
                               double soundWithin = 0.5) {
    return formats(9, 16, source, seconds, aspect, soundWithin);
}

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
    // Speech with pauses: a tone for one second in every three, and to the end.
    {"dtx.3gp",
     "-f lavfi -i \"sine=frequency=300:sample_rate=8000:d=7.5,volume='lt(mod(t,3),1)+gte(t,6)':"
     "eval=frame\" -f s16le speech.pcm"},
    // Picture and sound end at 6 s, a subtitle cue at 720 s; the picture has
    // damaged packets, as many old files do.
    {"longsub.mkv",
     "-f lavfi -i color=c=gray:size=320x240:rate=25:d=6 -f lavfi -i sine=d=6 -i "
     "long.srt -pix_fmt yuv420p -c:v libx264 -preset ultrafast -bsf:v noise=amount=1000 "
     "-c:a aac -c:s srt longsub.mkv"},
    // The same in MP4, which names no stream's own length.
    {"longsub.mp4",
     "-f lavfi -i color=c=gray:size=320x240:rate=25:d=6 -f lavfi -i sine=d=6 -i "
     "long.srt -map 0 -map 1 -map 2 -pix_fmt yuv420p -c:v libx264 -preset ultrafast "
     "-bsf:v noise=amount=1000 -c:a aac -c:s mov_text longsub.mp4"},
    // Two 1200x1200 covers.
    {"covers.mp3",
     "-f lavfi -i sine=d=4 -f lavfi -i color=red:s=1200x1200:d=1 -f lavfi -i "
     "color=blue:s=1200x1200:d=1 -map 0 -map 1 -map 2 -c:v mjpeg -frames:v 1 "
     "-disposition:v attached_pic -metadata title=Harbour covers.mp3"},
    {"camera5994.mp4", clip("320x240", "60000/1001", 48000, 4) + "camera5994.mp4"},
    // H.264 without its parameter sets: not one picture decodes.
    {"nopicture.avi",
     clip("320x240", "25", 44100, 3) +
         "-c:v libx264 -bsf:v 'filter_units=remove_types=7|8' -c:a mp3 nopicture.avi"},
    // GSM whose header declares three times its length, the last block cut.
    {"gsmshort.aiff", clip("", "", 8000, 6) + "-c:a gsm -f gsm gsm.raw"},
};

class SourceShapes : public ::testing::TestWithParam<Case> {};

TEST_P(SourceShapes, ConvertWholeAndUndistorted) {
    // Never passes by skipping: the tools are part of what is tested.
    ASSERT_EQ(runShell("ffmpeg -version && ffprobe -version").status, 0) << "ffmpeg is needed";
    const Case& c = GetParam();
    const fs::path root =
        fs::temp_directory_path() / ("tessaro-shapes-" + std::to_string(::getpid()));
    fs::create_directories(root / "out");
    std::ofstream(root / "long.srt") << "1\n00:00:01,000 --> 00:12:00,000\nHello\n";
    const auto made =
        runShell("cd " + shellWord(root.string()) + " && " + kFfmpeg + kMake.at(c.source));
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string name = c.source;
    if (name == "gsm.aiff") writeGsmAiff(root / "gsm.raw", root / c.source);
    if (name == "gsmshort.aiff") writeGsmAiff(root / "gsm.raw", root / c.source, 3, 7);
    if (name == "dtx.3gp") {
        writeDtxAmr(root / "speech.pcm", root / "speech.amr");
        if (HasFatalFailure()) return;
        const auto muxed =
            runShell("cd " + shellWord(root.string()) + " && " + kFfmpeg +
                     "-f lavfi -i color=c=gray:size=176x144:rate=15:d=7.5 -i speech.amr "
                     "-c:v mpeg4 -c:a copy dtx.3gp");
        ASSERT_EQ(muxed.status, 0) << muxed.output;
    }

    const auto cli = runShell(
        shellWord((kApp / "tessaro-cli").string()) + " -f " + std::to_string(c.format) + " -o " +
        shellWord((root / "out").string()) + " " + shellWord((root / c.source).string()));
    ASSERT_EQ(cli.status, 0) << cli.output;
    const std::string file = shellWord(fs::directory_iterator(root / "out")->path().string());
    const std::string info =
        runShell(
            "ffprobe -v error -show_entries format=duration:format_tags:stream="
            "codec_type,sample_aspect_ratio:stream_tags=title -of default=nw=1 " +
            file)
            .output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info, m, std::regex("duration=([\\d.]+)")));
    EXPECT_NEAR(std::stod(m[1]), c.seconds, 0.5);
    EXPECT_NE(info.find("codec_type=audio"), std::string::npos) << "no sound";
    // The sound as long as the picture: what its samples hold, not what its
    // container says.
    const std::string samples =
        runShell("ffmpeg -nostdin -v error -i " + file + " -vn -ac 1 -ar 8000 -f s16le - | wc -c")
            .output;
    EXPECT_NEAR(std::stod(samples) / 16000, c.seconds, c.soundWithin) << info;
    // Timestamps read back strictly in order (RealMedia's are milliseconds).
    const std::string readBack =
        runShell("ffmpeg -nostdin -v warning -i " + file + " -f null - 2>&1").output;
    EXPECT_EQ(readBack.find("non monotonically increasing"), std::string::npos) << readBack;
    // A cover is no picture: only an MP3 or a FLAC keeps it, as its picture.
    const bool picture = info.find("codec_type=video") != std::string::npos;
    EXPECT_EQ(picture, c.aspect > 0 || c.cover) << info;
    if (c.cover) {
        const std::string cover = runShell(
                                      "ffprobe -v error -show_entries "
                                      "stream_disposition=attached_pic -of default=nw=1 " +
                                      file)
                                      .output;
        EXPECT_NE(cover.find("attached_pic=1"), std::string::npos) << cover;
    }
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
    if (soundOnly(c.format)) {
        // Only the tags that describe the recording reach a sound file.
        if (c.format == 8) EXPECT_EQ(info.find("major_brand"), std::string::npos) << info;
        EXPECT_EQ(std::regex_search(info, std::regex("TAG:title=Harbour", std::regex::icase)),
                  name == "tagged.mp4" || name == "covers.mp3")
            << info;
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
                      Case{"tagged.mp4", 8, 3, 0}, Case{"gsmshort.aiff", 8, 6, 0},
                      Case{"gsmshort.aiff", 1, 6, 0}, Case{"longsub.mp4", 0, 6, 4 / 3.},
                      Case{"longsub.mp4", 8, 6, 0}));

// Every format of the sources real files were lost or shortened in.
INSTANTIATE_TEST_SUITE_P(DtxSpeech, SourceShapes,
                         ::testing::ValuesIn(allNine("dtx.3gp", 7.5, 11 / 9., 0.1)));
INSTANTIATE_TEST_SUITE_P(LongSubtitle, SourceShapes,
                         ::testing::ValuesIn(allNine("longsub.mkv", 6, 4 / 3.)));
INSTANTIATE_TEST_SUITE_P(Covers, SourceShapes, ::testing::ValuesIn(allNine("covers.mp3", 4, 0)));
INSTANTIATE_TEST_SUITE_P(Camera5994, SourceShapes,
                         ::testing::ValuesIn(allNine("camera5994.mp4", 4, 4 / 3.)));
INSTANTIATE_TEST_SUITE_P(NoPicture, SourceShapes,
                         ::testing::ValuesIn(allNine("nopicture.avi", 3, 0)));

// The shapes of real files in the formats of today's players: the picture
// shown as the source shows it (pixel aspect, rotation), frames larger than
// the players take made smaller, sound without a picture, a picture without
// a sound track, covers, speech with pauses, a 59.94 camera.
INSTANTIATE_TEST_SUITE_P(CurrentNoPar, SourceShapes,
                         ::testing::ValuesIn(currentSeven("nopar.mp4", 3, 16 / 9.)));
INSTANTIATE_TEST_SUITE_P(CurrentPortrait, SourceShapes,
                         ::testing::ValuesIn(currentSeven("portrait.mp4", 3, 9 / 16.)));
INSTANTIATE_TEST_SUITE_P(CurrentHuge, SourceShapes,
                         ::testing::Values(Case{"huge.mp4", 9, 2, 4 / 3.},
                                           Case{"huge.mp4", 10, 2, 4 / 3.},
                                           Case{"huge.mp4", 11, 2, 4 / 3.}));
INSTANTIATE_TEST_SUITE_P(CurrentSoundOnly, SourceShapes,
                         ::testing::ValuesIn(currentSeven("phone8k.wav", 4, 0)));
INSTANTIATE_TEST_SUITE_P(CurrentTagged, SourceShapes,
                         ::testing::ValuesIn(currentSeven("tagged.mp4", 3, 16 / 9.)));
INSTANTIATE_TEST_SUITE_P(CurrentCovers, SourceShapes,
                         ::testing::ValuesIn(currentSeven("covers.mp3", 4, 0)));
INSTANTIATE_TEST_SUITE_P(CurrentDtx, SourceShapes,
                         ::testing::ValuesIn(currentSeven("dtx.3gp", 7.5, 11 / 9., 0.1)));
INSTANTIATE_TEST_SUITE_P(CurrentCamera5994, SourceShapes,
                         ::testing::ValuesIn(currentSeven("camera5994.mp4", 4, 4 / 3.)));
INSTANTIATE_TEST_SUITE_P(CurrentNoPicture, SourceShapes,
                         ::testing::ValuesIn(currentSeven("nopicture.avi", 3, 0)));

}  // namespace
