// Every entry of every parameter field that reaches a format's encoders, one
// field at a time with the other fields at the format's defaults, through the
// real encoders of the application folder on a short generated clip: each
// output decodes to its end and lasts as long as the source. Prints the
// values the encoders took in place of those given.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>

#include "base/Platform.h"
#include "cli/CliRun.h"
#include "engine/Commands.h"
#include "engine/DOSOutputs.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using test::runShell;
using test::shellWord;

const std::string kApp = TESSARO_APP_DIR;

enum PanelField { kVB, kF, kS, kR, kBR, kCH };
const char* const kFieldNames[] = {"VB", "F", "S", "R", "BR", "CH"};

// The entries of a field as the panel gives them to the command builders
// while format f is chosen.
std::vector<ParameterTexts> entries(int f, PanelField field, ParameterTexts p) {
    std::vector<ParameterTexts> out;
    const std::vector<std::string>* list = choiceList(f, static_cast<Field>(field));
    std::string ParameterTexts::*member = nullptr;
    switch (field) {
        case kVB:
            member = &ParameterTexts::videoBitrate;
            break;
        case kF:
            member = &ParameterTexts::frameRate;
            break;
        case kS:
            member = &ParameterTexts::videoSize;
            break;
        case kR:
            member = &ParameterTexts::sampleRate;
            break;
        case kBR:
            member = &ParameterTexts::audioBitrate;
            break;
        case kCH:
            for (int position = 0; position < int(list->size()); ++position) {
                p.channelPosition = position;
                out.push_back(p);
            }
            return out;
    }
    for (const std::string& entry : *list) {
        p.*member = entry;
        out.push_back(p);
    }
    return out;
}

struct Run {
    int exitCode = -1;
    std::string output;
};

Run runCommand(const std::string& command) {
    struct Boxes : MessageBoxes {
        void showMessage(const std::string& text, MessageIcon, const std::string&) override {
            ADD_FAILURE() << "runner message: " << text;
        }
    } boxes;
    NullMessagePump pump;
    DOSOutputs runner(pump, boxes);
    Run r;
    r.output = runner.ExecuteCommand(command);
    if (runner.lastStatus().exited) r.exitCode = runner.lastStatus().exitCode;
    return r;
}

double durationOf(const std::string& file) {
    const auto r = runShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                            shellWord("file:" + file));
    return r.status == 0 ? std::atof(r.output.c_str()) : -1;
}

std::string audioStream(const std::string& file) {
    return runShell(
               "ffprobe -v error -select_streams a:0 -show_entries "
               "stream=codec_name,sample_rate,channels -of csv=p=0 " +
               shellWord("file:" + file))
        .output;
}

// The lines in which an encoder says it took another value.
std::vector<std::string> adjustments(const std::string& output) {
    std::vector<std::string> lines;
    std::stringstream ss(output);
    std::string line;
    while (std::getline(ss, line))
        if (line.find("不适用于") != std::string::npos) lines.push_back(line);
    return lines;
}

class Clips {
public:
    // A clip of `seconds` (FLV1 video, MP3 audio at 44100 Hz stereo).
    static std::string make(const std::string& name, const std::string& video, int seconds) {
        const std::string clip = (folder() / name).string();
        if (fs::exists(clip)) return clip;
        const std::string s = std::to_string(seconds);
        const auto r = runShell("ffmpeg -nostdin -v error -y -f lavfi -i " + shellWord(video) +
                                " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + s +
                                " -ac 2 -t " + s +
                                " -c:v flv -b:v 2000k -c:a libmp3lame -b:a 64k " + shellWord(clip));
        EXPECT_EQ(r.status, 0) << r.output;
        return clip;
    }
    static fs::path folder() {
        static const fs::path dir = [] {
            fs::path d =
                fs::temp_directory_path() / ("tessaro-matrix-" + std::to_string(::getpid()));
            fs::create_directories(d);
            return d;
        }();
        return dir;
    }
};

class MatrixEnvironment : public testing::Environment {
public:
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Clips::folder(), ec);
        fs::remove(platform::intermediateFile(), ec);
    }
};
const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new MatrixEnvironment);

bool haveTools() {
    return fs::exists(kApp + "/data/conv") &&
           runShell("ffmpeg -version >/dev/null && ffprobe -version >/dev/null").status == 0;
}

// Converts `source` into format f with each parameter set; returns how many
// outputs adjusted a value.
void convertAll(int f, const std::string& source, const std::vector<ParameterTexts>& sets,
                const std::string& label) {
    ASSERT_TRUE(platform::prepareTemporaryFolder());
    const std::string intermediate = platform::intermediateFile();
    const std::string pristine = (Clips::folder() / ("stage-one-" + label + ".mp4")).string();
    const double length = durationOf(source);
    const std::string ext(outputFormat(f)->extension);
    if (isTwoStage(f)) {
        // Stage one is the same whatever the panel holds: run it once, keep its result.
        const std::string one = stageOneCommand(f, {kApp, source, "", intermediate}, sets.front());
        for (const ParameterTexts& p : sets)
            ASSERT_EQ(stageOneCommand(f, {kApp, source, "", intermediate}, p), one);
        // The intermediate is never replaced: a stale one (a process of the
        // same id before) goes first, as the batch does it.
        fs::remove(intermediate);
        const Run r = runCommand(one);
        ASSERT_EQ(r.exitCode, 0) << one << "\n" << r.output;
        fs::copy_file(intermediate, pristine, fs::copy_options::overwrite_existing);
    }
    int adjusted = 0;
    for (size_t i = 0; i < sets.size(); ++i) {
        const ParameterTexts& p = sets[i];
        const std::string out =
            (Clips::folder() / (label + "-" + std::to_string(i) + ext)).string();
        std::string command;
        if (isTwoStage(f)) {
            fs::copy_file(pristine, intermediate, fs::copy_options::overwrite_existing);
            command = stageTwoCommand(f, {kApp, source, out, intermediate}, p);
        } else {
            command = stageOneCommand(f, {kApp, source, out, ""}, p);
        }
        SCOPED_TRACE(command);
        const Run r = runCommand(command);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        const auto decode =
            runShell("ffmpeg -nostdin -v error -i " + shellWord("file:" + out) + " -f null - 2>&1");
        EXPECT_EQ(decode.status, 0);
        EXPECT_EQ(decode.output, "") << "decoding to the end";
        EXPECT_NEAR(durationOf(out), length, 0.5);
        if (f == kMp4Phone || f == k3gp) {
            EXPECT_EQ(audioStream(out), "amr_nb,8000,1\n");
        }
        const auto notes = adjustments(r.output);
        adjusted += !notes.empty();
        for (const std::string& note : notes)
            std::cout << "[matrix] " << label << ": " << note << "\n";
    }
    std::cout << "[matrix] " << label << ": " << sets.size() << " entries, " << adjusted
              << " adjusted\n";
}

struct MatrixCase {
    int format;
    PanelField field;
};

void PrintTo(const MatrixCase& c, std::ostream* os) {
    *os << "format " << c.format << ", field " << kFieldNames[c.field];
}

class MatrixTest : public testing::TestWithParam<MatrixCase> {
protected:
    void SetUp() override {
        if (!haveTools()) {
            if (std::getenv("CI")) FAIL() << "the encoders or ffmpeg are missing";
            GTEST_SKIP() << "the encoders or ffmpeg are missing";
        }
    }
};

TEST_P(MatrixTest, EveryEntryConverts) {
    const auto [f, field] = GetParam();
    ParameterTexts p = withFormatDefaults(f, {"128", "29", "320x240", "48000", "320", 1});
    // RMVB and RM read the panel only in the chosen-size template.
    if ((f == kRmvb || f == kRm) && field != kS) p.videoSize = "320x240";
    const std::string clip = Clips::make("clip.flv", "testsrc=size=320x240:rate=25:duration=2", 2);
    convertAll(f, clip, entries(f, field, p),
               "Format" + std::to_string(f) + "_" + kFieldNames[field]);
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, MatrixTest,
    testing::Values(MatrixCase{kRmvb, kS}, MatrixCase{kRmvb, kVB}, MatrixCase{kRmvb, kR},
                    MatrixCase{kRmvb, kBR}, MatrixCase{kRmvb, kCH}, MatrixCase{kRm, kS},
                    MatrixCase{kRm, kVB}, MatrixCase{kRm, kR}, MatrixCase{kRm, kBR},
                    MatrixCase{kRm, kCH}, MatrixCase{kMpg, kVB}, MatrixCase{kMpg, kF},
                    MatrixCase{kMpg, kBR}, MatrixCase{kAvi, kVB}, MatrixCase{kAvi, kF},
                    MatrixCase{kAvi, kBR}, MatrixCase{kMp4Hd, kVB}, MatrixCase{kMp4Hd, kBR},
                    MatrixCase{kMov, kS}, MatrixCase{kMp4Phone, kS}, MatrixCase{k3gp, kS},
                    MatrixCase{kMp3, kR}, MatrixCase{kMp3, kBR}, MatrixCase{kMp3, kCH},
                    MatrixCase{kMp4H264, kVB}, MatrixCase{kMp4H264, kF}, MatrixCase{kMp4H264, kS},
                    MatrixCase{kMp4H264, kR}, MatrixCase{kMp4H264, kBR}, MatrixCase{kMp4H264, kCH},
                    MatrixCase{kMp4H265, kVB}, MatrixCase{kMp4H265, kF}, MatrixCase{kMp4H265, kS},
                    MatrixCase{kMp4H265, kR}, MatrixCase{kMp4H265, kBR}, MatrixCase{kMp4H265, kCH},
                    MatrixCase{kWebmVp9, kVB}, MatrixCase{kWebmVp9, kF}, MatrixCase{kWebmVp9, kS},
                    MatrixCase{kWebmVp9, kBR}, MatrixCase{kWebmVp9, kCH}, MatrixCase{kM4a, kR},
                    MatrixCase{kM4a, kBR}, MatrixCase{kM4a, kCH}, MatrixCase{kFlac, kR},
                    MatrixCase{kFlac, kCH}, MatrixCase{kOpus, kBR}, MatrixCase{kOpus, kCH},
                    MatrixCase{kWav, kR}, MatrixCase{kWav, kCH}),
    [](const auto& info) {
        return "Format" + std::to_string(info.param.format) + "_" + kFieldNames[info.param.field];
    });

// A noisy 640x360 source: every rv10 frame must still fit a RealMedia packet.
class NoisySourceTest : public MatrixTest {};

TEST_P(NoisySourceTest, ConvertsAtTheDesignedBitrates) {
    const int f = GetParam().format;
    const std::string clip = Clips::make(
        "noisy.flv", "testsrc2=size=640x360:rate=25:duration=2,noise=alls=100:allf=t+u", 2);
    std::vector<ParameterTexts> sets;
    ParameterTexts p = withFormatDefaults(f, {});
    sets.push_back(p);  // the source-size template: 1200 kbit/s
    p.videoSize = "640x360";
    for (const char* vb : {"1200", "1500"}) {
        p.videoBitrate = vb;
        sets.push_back(p);
    }
    convertAll(f, clip, sets, "Noisy" + std::to_string(f));
}

INSTANTIATE_TEST_SUITE_P(RealMedia, NoisySourceTest,
                         testing::Values(MatrixCase{kRmvb, kVB}, MatrixCase{kRm, kVB}),
                         [](const auto& info) {
                             return "Format" + std::to_string(info.param.format);
                         });

}  // namespace
}  // namespace tessaro
