// The encoder programs: option translation, progress texts, and every
// designed stage-one and stage-two command run end to end on a generated FLV.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <algorithm>
#include <string>
#include <vector>

#include "base/CommandLineText.h"
#include "encoders/EncoderProgress.h"
#include "encoders/EncoderRun.h"
#include "encoders/FfmpegIdentity.h"
#include "encoders/FfmpegJob.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/IntermediateJob.h"
#include "encoders/SourceProbe.h"
#include "engine/Commands.h"
#include "engine/DOSOutputs.h"
#include "report/EncoderReport.h"

namespace fs = std::filesystem;
using tessaro::FfmpegJob;
using Args = std::vector<std::string>;

namespace {

// ---- running a command ------------------------------------------------------

struct RunResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr, in order
};

// Runs argv directly (no shell) with stdout and stderr on one pipe.
RunResult runArgv(const Args& argv, const std::vector<std::string>& extraEnv = {}) {
    RunResult r;
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return r;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, p[1], 1);
    posix_spawn_file_actions_adddup2(&fa, p[1], 2);
    std::vector<char*> av;
    for (auto& a : argv) av.push_back(const_cast<char*>(a.c_str()));
    av.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;  // an extra "KEY=value" replaces the inherited KEY
        for (auto& x : extraEnv) replaced = replaced || entry.rfind(x.substr(0, x.find('=') + 1), 0) == 0;
        if (!replaced) envStore.push_back(entry);
    }
    for (auto& e : extraEnv) envStore.push_back(e);
    std::vector<char*> env;
    for (auto& e : envStore) env.push_back(e.data());
    env.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, av[0], &fa, nullptr, av.data(), env.data());
    posix_spawn_file_actions_destroy(&fa);
    close(p[1]);
    if (rc == 0) {
        char buf[4096];
        ssize_t n;
        while ((n = read(p[0], buf, sizeof buf)) > 0) r.output.append(buf, static_cast<size_t>(n));
        int ws = 0;
        waitpid(pid, &ws, 0);
        r.exitCode = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
    }
    close(p[0]);
    return r;
}

// A designed command text, run by the window's own runner.
RunResult runCommandText(const std::string& text) {
    struct Boxes : tessaro::MessageBoxes {
        void showMessage(const std::string& text, tessaro::MessageIcon, const std::string&) override {
            ADD_FAILURE() << "runner message: " << text;
        }
    } boxes;
    tessaro::NullMessagePump pump;
    tessaro::DOSOutputs runner(pump, boxes);
    RunResult r;
    r.output = runner.ExecuteCommand(text);
    const tessaro::RunStatus& status = runner.lastStatus();
    if (status.started) r.exitCode = status.exited ? status.exitCode : 128 + status.signal;
    return r;
}

// ---- probing the result -----------------------------------------------------

struct Probe {
    std::map<std::string, std::string> v;  // "format.format_name" -> "avi", ...
    std::string get(const std::string& k) const {
        auto it = v.find(k);
        return it == v.end() ? "" : it->second;
    }
    // The first stream of this type: its key prefix, "" when none.
    std::string stream(const std::string& type) const {
        for (int i = 0; i < 4; ++i) {
            const std::string pre = "streams.stream." + std::to_string(i) + ".";
            if (get(pre + "codec_type") == type) return pre;
        }
        return "";
    }
};

Probe probe(const std::string& path) {
    Probe p;
    const RunResult r = runArgv({"ffprobe", "-v", "error", "-of", "flat", "-show_entries",
                           "format=format_name,duration:format_tags=major_brand:stream=codec_type,"
                           "codec_name,width,height,sample_rate,channels",
                           "file:" + path});
    std::stringstream ss(r.output);
    std::string line;
    while (std::getline(ss, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string val = line.substr(eq + 1);
        if (val.size() >= 2 && val.front() == '"') val = val.substr(1, val.size() - 2);
        p.v[line.substr(0, eq)] = val;
    }
    return p;
}

const std::string kApp = TESSARO_APP_DIR;
const std::string Q = "\"";

// The generated source: 10 s, FLV1 video 320x240, MP3 audio.
class EncoderRuns : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("tessaro-encoders-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        s_flv = (s_dir / "clip.flv").string();
        const RunResult r = runArgv({"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                               "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=10",
                               "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=10",
                               "-ac", "2", "-c:v", "flv", "-c:a", "libmp3lame", "-b:a", "128k",
                               "-shortest", s_flv});
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static std::string out(const std::string& name) { return (s_dir / name).string(); }
    static std::string intermediate() { return out("tmp.mp4"); }

    static std::string stageOne(const std::string& in) {
        return kApp + "/data/conv " + Q + in + Q +
               " -oac mp3lame -lameopts preset=320 -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=1200"
               " -of avi -o " + intermediate();
    }

    static fs::path s_dir;
    static std::string s_flv;
};
fs::path EncoderRuns::s_dir;
std::string EncoderRuns::s_flv;

// Stage-one progress: "( 0%)" ... "(100%)", every percent, in order, nothing else in parentheses.
void expectPercentProgress(const std::string& output) {
    static const std::regex re(R"(\(([ \d]\d|100)%\))");
    std::vector<int> seen;
    for (auto it = std::sregex_iterator(output.begin(), output.end(), re);
         it != std::sregex_iterator(); ++it)
        seen.push_back(std::stoi((*it)[1].str()));
    ASSERT_FALSE(seen.empty()) << output;
    EXPECT_EQ(seen.back(), 100);
    std::set<int> distinct(seen.begin(), seen.end());
    EXPECT_EQ(distinct.size(), 101u) << "every percent shows once at least";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::count(output.begin(), output.end(), '('), static_cast<long>(seen.size()));
}

// Stage-two progress: one "Duration: HH:MM:SS.xx, ", then "time=<seconds> " lines.
void expectDurationTimeProgress(const std::string& output) {
    static const std::regex dur(R"(Duration: \d\d:\d\d:\d\d\.\d\d, )");
    EXPECT_EQ(std::distance(std::sregex_iterator(output.begin(), output.end(), dur),
                            std::sregex_iterator()), 1) << output;
    static const std::regex time(R"(time=\d+\.\d\d )");
    EXPECT_GE(std::distance(std::sregex_iterator(output.begin(), output.end(), time),
                            std::sregex_iterator()), 1) << output;
    size_t times = 0;
    for (size_t at = output.find("time="); at != std::string::npos; at = output.find("time=", at + 1))
        ++times;
    EXPECT_EQ(times, static_cast<size_t>(std::distance(
                         std::sregex_iterator(output.begin(), output.end(), time),
                         std::sregex_iterator())));
    EXPECT_EQ(output.find('('), std::string::npos);
}

struct Expect {
    std::string format;  // substring of format_name
    std::string brand;   // major_brand prefix, "" = not checked
    std::string vcodec;  // "" = no video stream
    std::string acodec;  // "|"-separated alternatives
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
};

void expectFile(const std::string& path, const Expect& e) {
    ASSERT_TRUE(fs::exists(path)) << path;
    ASSERT_GT(fs::file_size(path), 0u);
    const Probe p = probe(path);
    EXPECT_NE(p.get("format.format_name").find(e.format), std::string::npos)
        << p.get("format.format_name");
    if (!e.brand.empty()) {
        EXPECT_EQ(p.get("format.tags.major_brand").rfind(e.brand, 0), 0u)
            << p.get("format.tags.major_brand");
    }
    EXPECT_NEAR(std::atof(p.get("format.duration").c_str()), 10.0, 0.5);
    const std::string v = p.stream("video"), a = p.stream("audio");
    if (e.vcodec.empty()) {
        EXPECT_EQ(v, "");
    } else {
        ASSERT_NE(v, "");
        EXPECT_EQ(p.get(v + "codec_name"), e.vcodec);
        if (e.width) {
            EXPECT_EQ(p.get(v + "width"), std::to_string(e.width));
            EXPECT_EQ(p.get(v + "height"), std::to_string(e.height));
        }
    }
    ASSERT_NE(a, "");
    EXPECT_NE(("|" + e.acodec + "|").find("|" + p.get(a + "codec_name") + "|"), std::string::npos)
        << p.get(a + "codec_name");
    if (e.sampleRate) {
        EXPECT_EQ(p.get(a + "sample_rate"), std::to_string(e.sampleRate));
    }
    if (e.channels) {
        EXPECT_EQ(p.get(a + "channels"), std::to_string(e.channels));
    }
}

}  // namespace

// ---- option translation -----------------------------------------------------

struct ConvCase {
    const char* name;
    Args args;
    Args expected;  // output options; empty with error set
    bool error = false;
};

class ConvJobTest : public ::testing::TestWithParam<ConvCase> {};

TEST_P(ConvJobTest, TranslatesOptions) {
    const FfmpegJob job = tessaro::convJob(GetParam().args);
    if (GetParam().error) {
        EXPECT_FALSE(job.error.empty());
        return;
    }
    EXPECT_EQ(job.error, "");
    EXPECT_EQ(job.outputOptions, GetParam().expected);
}

const std::string kSound = tessaro::kSoundInStep;

INSTANTIATE_TEST_SUITE_P(
    Encoders, ConvJobTest,
    ::testing::Values(
        ConvCase{"IntermediateIsMp4",
                 {"in.flv", "-oac", "mp3lame", "-lameopts", "preset=320", "-ovc", "lavc",
                  "-lavcopts", "vcodec=mpeg4:vbitrate=1200", "-of", "avi", "-o", "/t/tmp.mp4"},
                 {"-c:v", "mpeg4", "-b:v", "1200k", "-c:a", "libmp3lame", "-b:a", "320k", "-f", "mp4",
                  "-af", kSound + ",aformat=sample_rates=16000|22050|24000|32000|44100|48000"}},
        ConvCase{"AviStaysAvi",
                 {"in.flv", "-oac", "mp3lame", "-lameopts", "preset=128", "-ovc", "lavc",
                  "-lavcopts", "vcodec=mpeg4:vbitrate=800", "-of", "avi", "-o", "x.AVI"},
                 {"-c:v", "mpeg4", "-b:v", "800k", "-c:a", "libmp3lame", "-b:a", "128k", "-f", "avi",
                  "-af", kSound}},
        ConvCase{"MpgTwoLavcopts",
                 {"in.flv", "-oac", "lavc", "-lavcopts", "acodec=mp2:abitrate=64", "-ovc", "lavc",
                  "-lavcopts", "vcodec=mpeg1video:vbitrate=600:vpass=1", "-ofps", "24", "-of",
                  "lavf", "-lavfopts", "format=yuv4mpeg", "-o", "a.b.mpg"},
                 {"-c:v", "mpeg1video", "-strict", "unofficial", "-b:v", "600k", "-r", "24",
                  "-c:a", "mp2", "-b:a", "64k", "-f", "mpeg", "-af", kSound}},
        ConvCase{"LavfAviIsAvi",
                 {"in.flv", "-oac", "lavc", "-lavcopts", "acodec=mp2:abitrate=64", "-ovc", "lavc",
                  "-lavcopts", "vcodec=mpeg1video:vbitrate=600:vpass=1", "-ofps", "15", "-of",
                  "lavf", "-lavfopts", "format=yuv4mpeg", "-o", "x.avi"},
                 {"-c:v", "mpeg1video", "-strict", "unofficial", "-b:v", "600k", "-r", "15",
                  "-c:a", "mp2", "-b:a", "64k", "-f", "avi", "-af", kSound}},
        ConvCase{"DashNamedInput", {"-clip.flv", "-o", "-out.avi"},
                 {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-f", "avi", "-af", kSound}},
        ConvCase{"NoOutput", {"in.flv", "-of", "avi"}, {}, true},
        ConvCase{"NoInput", {"-o", "x.avi"}, {}, true},
        ConvCase{"TwoInputs", {"a.flv", "b.flv", "-o", "x.avi"}, {}, true},
        ConvCase{"MissingValue", {"a.flv", "-o"}, {}, true},
        ConvCase{"UnknownVideoCodec", {"a.flv", "-lavcopts", "vcodec=h263", "-o", "x.avi"}, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CoderJobTest, TranslatesTheDesignedTemplates) {
    const auto noAmr = [](const std::string&) { return false; };
    const auto amr = [](const std::string& n) { return n == "libopencore_amrnb"; };
    const std::string scale16 = "scale='max(16,trunc((iw+8)/16)*16)':'max(16,trunc((ih+8)/16)*16)'";
    struct Row {
        const char* text;
        bool amrAvailable;
        Args expected;
        size_t notes = 0;
    } rows[] = {
        // rv10 frames are bounded through the rate control's buffer
        {"-i /t/tmp.mp4 -y -vcodec rv10 -b 1200k -f rm  -ab 128k -ac 2 o.rmvb", false,
         {"-c:v", "rv10", "-b:v", "1200k", "-maxrate", "1200k", "-bufsize", "480k", "-f", "rm",
          "-b:a", "128k", "-ac", "2", "-af", kSound, "-vf", scale16}},
        {"-i /t/tmp.mp4 -y -s 320x180 -vcodec rv10 -b 600k -f rm -ar 44100 -ab 320k -ac 0 o.rm",
         false,
         {"-c:v", "rv10", "-b:v", "600k", "-maxrate", "600k", "-bufsize", "480k", "-f", "rm", "-ar",
          "44100", "-b:a", "320k", "-af", kSound, "-vf", tessaro::fitInFrame(320, 176)}, 1},
        {"-i /t/tmp.mp4 -y -s 176x144 -ac 2 -ar 48000 -ab 128k o.mov", false,
         {"-ac", "2", "-ar", "48000", "-b:a", "128k", "-af", kSound, "-vf",
          tessaro::fitInFrame(176, 144)}},
        // odd sizes, typed or the source's, become even
        {"-i /t/tmp.mp4 -y -s 321x241 -ac 2 -ar 48000 -ab 128k o.mov", false,
         {"-ac", "2", "-ar", "48000", "-b:a", "128k", "-af", kSound, "-vf",
          tessaro::fitInFrame(322, 242)}, 1},
        {"-i /t/tmp.mp4 -y -ac 2 -ar 48000 -ab 128k o.mov", false,
         {"-ac", "2", "-ar", "48000", "-b:a", "128k", "-af", kSound, "-vf",
          "scale='max(2,trunc((iw+1)/2)*2)':'max(2,trunc((ih+1)/2)*2)'"}},
        // AMR-NB made by coder2 itself comes in as a second input; MP4 is written as 3GPP
        {"-i /t/tmp.mp4 -y -s 320x240 -vcodec mpeg4 -acodec amr_nb -ac 1 -ar 8000 -ab 12.2k o.mp4",
         false,
         {"-map", "0:V:0?", "-map", "1:a:0", "-c:a", "copy", "-c:v", "mpeg4", "-f", "3gp", "-vf",
          tessaro::fitInFrame(320, 240)}},
        {"-i /t/tmp.mp4 -y -s 320x240 -vcodec mpeg4 -acodec amr_nb -ac 1 -ar 8000 -ab 12.2k o.3gp",
         true,
         {"-c:v", "mpeg4", "-c:a", "libopencore_amrnb", "-ac", "1", "-ar", "8000", "-b:a",
          "12.2k", "-af", kSound, "-vf", tessaro::fitInFrame(320, 240)}},
        {"-i in.flv -y -vn -ar 48000 -ab 320k -ac 2 -o.mp3", false,
         {"-vn", "-ar", "48000", "-b:a", "320k", "-ac", "2", "-af", kSound}},
        // values the codec cannot take: the nearest it can, with a note each
        {"-i in.flv -y -vn -ar 12050 -ab 320k -ac 2 o.mp3", false,
         {"-vn", "-ar", "12000", "-b:a", "64k", "-ac", "2", "-af", kSound}, 2},
        {"-i in.flv -y -vn -ar 8000 -ab 10.2k -ac 1 o.mp3", false,
         {"-vn", "-ar", "8000", "-b:a", "8k", "-ac", "1", "-af", kSound}, 1},
        {"-i a -y -s 320x240 -vcodec rv10 -b 150k -f rm -ar 22050 -ab 12.2k -ac 1 o.rm", false,
         {"-c:v", "rv10", "-b:v", "150k", "-maxrate", "150k", "-bufsize", "480k", "-f", "rm", "-ar",
          "32000", "-b:a", "32k", "-ac", "1", "-af", kSound, "-vf", tessaro::fitInFrame(320, 240)},
         2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const FfmpegJob job =
            tessaro::coderJob(tessaro::splitCommandLine(row.text), row.amrAvailable ? +amr : +noAmr);
        EXPECT_EQ(job.error, "");
        EXPECT_EQ(job.outputOptions, row.expected);
        EXPECT_EQ(job.notes.size(), row.notes);
        EXPECT_EQ(job.ownAmrNb, row.expected.front() == "-map");
        const Args full = tessaro::ffmpegArguments(job);
        EXPECT_EQ(full.back().rfind("file:", 0), 0u);
        EXPECT_EQ(std::count(full.begin(), full.end(), "file:" + job.input), 1);
    }
    EXPECT_FALSE(tessaro::coderJob({"-i", "a", "-qscale", "3", "o.avi"}, noAmr).error.empty());
    EXPECT_FALSE(tessaro::coderJob({"-y", "o.avi"}, noAmr).error.empty());
    EXPECT_FALSE(tessaro::coderJob({}, noAmr).error.empty());
}

// conv's values: the nearest MPEG-1 frame rate and audio bitrate, and the
// sample rates kept to those that take a bitrate of MPEG-1 audio only.
TEST(ConvJobValuesTest, TakesTheNearestAcceptedValue) {
    const std::string mpg = "in.flv -oac lavc -lavcopts acodec=mp2:abitrate=%BR -ovc lavc -lavcopts "
                            "vcodec=mpeg1video:vbitrate=600:vpass=1 -ofps %F -of lavf -o o.mpg";
    const std::string hd = "in.flv -oac mp3lame -lameopts preset=%BR -ovc lavc -lavcopts "
                           "vcodec=mpeg4:vbitrate=1200 -of avi -o o.mp4";
    struct Row {
        std::string base, br, f;
        Args pieces;  // consecutive output options expected
        size_t notes;
    } rows[] = {
        {mpg, "64", "24", {"-r", "24", "-c:a", "mp2", "-b:a", "64k", "-f"}, 0},
        {mpg, "12.2", "23", {"-r", "24000/1001", "-c:a", "mp2", "-b:a", "32k", "-f"}, 2},
        {mpg, "320", "15", {"-b:a", "320k", "-f", "mpeg", "-af",
                            kSound + ",aformat=sample_rates=32000|44100|48000"}, 0},
        {hd, "10.2", "", {"-c:a", "libmp3lame", "-b:a", "32k", "-f"}, 1},
        {hd, "64", "", {"-c:a", "libmp3lame", "-b:a", "64k", "-f"}, 0},
    };
    for (const Row& row : rows) {
        std::string text = std::regex_replace(row.base, std::regex("%BR"), row.br);
        text = std::regex_replace(text, std::regex("%F"), row.f);
        SCOPED_TRACE(text);
        const FfmpegJob job = tessaro::convJob(tessaro::splitCommandLine(text));
        EXPECT_EQ(job.error, "");
        EXPECT_NE(std::search(job.outputOptions.begin(), job.outputOptions.end(), row.pieces.begin(),
                              row.pieces.end()),
                  job.outputOptions.end());
        EXPECT_EQ(job.notes.size(), row.notes);
    }
}

// Nonsense typed into any field that reaches an encoder fails the job with a
// reason that names the field (and the text, when there is one).
TEST(PanelValuesTest, NonsenseFailsWithTheFieldNamed) {
    using tessaro::ParameterTexts;
    const tessaro::CommandPaths paths{"/app", "/in.flv", "/out", "/t/tmp-1.mp4"};
    struct Field {
        int format;
        const char* caption;
        std::string ParameterTexts::*member;
    } fields[] = {
        {tessaro::kMpg, "视频比特率", &ParameterTexts::videoBitrate},
        {tessaro::kMpg, "帧率", &ParameterTexts::frameRate},
        {tessaro::kAvi, "声音比特率", &ParameterTexts::audioBitrate},
        {tessaro::kMp4Hd, "声音比特率", &ParameterTexts::audioBitrate},
        {tessaro::kRmvb, "视频尺寸", &ParameterTexts::videoSize},
        {tessaro::kRm, "视频比特率", &ParameterTexts::videoBitrate},
        {tessaro::kRm, "声音频率", &ParameterTexts::sampleRate},
        {tessaro::kRmvb, "声音比特率", &ParameterTexts::audioBitrate},
        {tessaro::kMov, "视频尺寸", &ParameterTexts::videoSize},
        {tessaro::k3gp, "视频尺寸", &ParameterTexts::videoSize},
        {tessaro::kMp3, "声音频率", &ParameterTexts::sampleRate},
        {tessaro::kMp3, "声音比特率", &ParameterTexts::audioBitrate},
    };
    const auto noAmr = [](const std::string&) { return false; };
    for (const Field& field : fields) {
        for (const std::string typed : {"abc", "0", "-5", "99999999", "320x", ""}) {
            ParameterTexts p = tessaro::withFormatDefaults(field.format, {"128", "29", "320x240",
                                                                          "48000", "320", 1});
            if (field.member != &ParameterTexts::videoSize) p.videoSize = "320x240";
            p.*field.member = typed;
            const bool two = tessaro::isTwoStage(field.format);
            const std::string command = two ? tessaro::stageTwoCommand(field.format, paths, p)
                                            : tessaro::stageOneCommand(field.format, paths, p);
            SCOPED_TRACE(command);
            Args args = tessaro::splitCommandLine(command);
            args.erase(args.begin());
            const bool conv = !two && field.format != tessaro::kMp3;
            const FfmpegJob job = conv ? tessaro::convJob(args) : tessaro::coderJob(args, noAmr);
            EXPECT_NE(job.error.find(field.caption), std::string::npos) << job.error;
            if (!typed.empty()) {
                EXPECT_NE(job.error.find("“" + typed), std::string::npos) << job.error;
            }
        }
    }
}

TEST(EncoderProgressTest, FixedForms) {
    EXPECT_NE(tessaro::convProgressText(7, 1.0, 25).find("( 7%)"), std::string::npos);
    EXPECT_NE(tessaro::convProgressText(42, 1.0, 25).find("(42%)"), std::string::npos);
    EXPECT_NE(tessaro::convProgressText(100, 1.0, 25).find("(100%)"), std::string::npos);
    EXPECT_EQ(tessaro::timeText(25.04).rfind("time=25.04 ", 0), 0u);
    EXPECT_EQ(tessaro::durationText("00:01:40.00"), "Duration: 00:01:40.00, \n");
    EXPECT_EQ(tessaro::durationClock("[info]   Duration: 00:01:40.00, start: 0.0"), "00:01:40.00");
    EXPECT_EQ(tessaro::durationClock("[info]   Duration: N/A, bitrate: N/A"), "N/A");
    EXPECT_EQ(tessaro::durationClock("no length here"), "");
    EXPECT_DOUBLE_EQ(tessaro::clockSeconds("01:01:40.50"), 3700.5);
    EXPECT_LT(tessaro::clockSeconds("N/A"), 0);
    EXPECT_LT(tessaro::clockSeconds("1:2"), 0);
}

// ---- end to end -------------------------------------------------------------

struct FormatCase {
    int index;
    bool chosenSize;  // the chosen-size column of stage two
};

class DesignedCommands : public EncoderRuns, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(DesignedCommands, ProduceTheFormat) {
    const int f = GetParam().index;
    const bool chosen = GetParam().chosenSize;
    const std::string S = "176x144";
    const std::string ext[] = {".rmvb", ".rm", ".mpg", ".avi", ".mp4", ".mov", ".mp4", ".3gp", ".mp3"};
    const std::string final = out("clip-" + std::to_string(f) + (chosen ? "s" : "") + ext[f]);
    const std::string IN = s_flv;

    // The commands as the batch builds them, from the format's defaults.
    tessaro::ParameterTexts p =
        tessaro::withFormatDefaults(f, {"128", "29", "320x240", "48000", "320", 1});
    if (chosen) {
        p.videoSize = S;
        p.videoBitrate = "600";
        if (f == 8) p.channelPosition = 0;
    }
    const tessaro::CommandPaths paths{kApp, IN, final, intermediate()};
    const RunResult one = runCommandText(tessaro::stageOneCommand(f, paths, p));
    ASSERT_EQ(one.exitCode, 0) << one.output;
    if (f == 8) {
        expectDurationTimeProgress(one.output);
        expectFile(final, {"mp3", "", "", "mp3", 0, 0, 48000, chosen ? 1 : 2});
        return;
    }
    expectPercentProgress(one.output);
    if (f == 2 || f == 3) {
        expectFile(final, {f == 2 ? "mpeg" : "avi", "", "mpeg1video", "mp2"});
        return;
    }
    if (f == 4) {
        expectFile(final, {"mp4", "isom", "mpeg4", "mp3"});
        return;
    }
    expectFile(intermediate(), {"mp4", "isom", "mpeg4", "mp3", 320, 240});

    const RunResult two = runCommandText(tessaro::stageTwoCommand(f, paths, p));
    ASSERT_EQ(two.exitCode, 0) << two.output;
    expectDurationTimeProgress(two.output);
    const int w = chosen ? 176 : (f >= 6 ? 320 : 0), h = chosen ? 144 : (f >= 6 ? 240 : 0);
    if (f == 0 || f == 1)
        expectFile(final, {"rm", "", "rv10", "ac3", w, h, chosen ? 44100 : 0, 2});
    else if (f == 5)
        expectFile(final, {"mov", "qt", "h264", "aac", w, h, 48000, 2});
    else
        expectFile(final, {"mp4", "3gp", "mpeg4", "amr_nb", w, h, 8000, 1});  // 3GPP carries AMR-NB
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, DesignedCommands,
    ::testing::Values(FormatCase{0, false}, FormatCase{0, true}, FormatCase{1, false},
                      FormatCase{1, true}, FormatCase{2, false}, FormatCase{3, false},
                      FormatCase{4, false}, FormatCase{5, false}, FormatCase{5, true},
                      FormatCase{6, false}, FormatCase{6, true}, FormatCase{7, false},
                      FormatCase{7, true}, FormatCase{8, false}, FormatCase{8, true}),
    [](const auto& info) {
        return "Format" + std::to_string(info.param.index) + (info.param.chosenSize ? "Chosen" : "Source");
    });

// Names that a shell or ffmpeg's protocol syntax would misread reach ffmpeg as the files they are.
TEST_F(EncoderRuns, HostileFileNames) {
    const std::string name = s_dir.string() + "/-a b $x;y 'q' `z` & | : \\ \n中文.flv";
    fs::copy_file(s_flv, name);
    const std::string mpg = s_dir.string() + "/-out $x;y | a:b\n中文.mpg";
    const RunResult one = runCommandText(kApp + "/data/conv " + Q + name + Q +
                                   " -oac lavc -lavcopts acodec=mp2:abitrate=64 -ovc lavc -lavcopts "
                                   "vcodec=mpeg1video:vbitrate=600:vpass=1 -ofps 24 -of lavf "
                                   "-lavfopts format=yuv4mpeg -o " + Q + mpg + Q);
    ASSERT_EQ(one.exitCode, 0) << one.output;
    expectFile(mpg, {"mpeg", "", "mpeg1video", "mp2"});

    // A double quote cannot pass the designed quoting; the argument vector carries it.
    const std::string mp3 = s_dir.string() + "/say \"hi\" file:x.mp3";
    const RunResult two = runArgv({kApp + "/data/coder", "-i", name, "-y", "-vn", "-ar", "44100", "-ab",
                             "128k", "-ac", "2", mp3});
    ASSERT_EQ(two.exitCode, 0) << two.output;
    expectFile(mp3, {"mp3", "", "", "mp3", 0, 0, 44100, 2});
}

TEST_F(EncoderRuns, FailuresExitNonZeroWithOneReason) {
    const std::string bad = out("broken.flv");
    {
        std::ofstream f(bad, std::ios::binary);
        for (int i = 0; i < 50000; ++i) f.put(static_cast<char>((i * 7919) % 251));
    }
    struct Row {
        std::string what;
        Args argv;
        std::vector<std::string> env;
        std::string output;
    } rows[] = {
        {"corrupt input, conv", {kApp + "/data/conv", bad, "-o", out("bad.avi")}, {}, out("bad.avi")},
        {"corrupt input, coder", {kApp + "/data/coder", "-i", bad, "-y", out("bad.mov")}, {}, out("bad.mov")},
        {"missing input, coder2",
         {kApp + "/data/coder2", "-i", out("none.mp4"), "-y", "-acodec", "amr_nb", out("bad.3gp")}, {},
         out("bad.3gp")},
        {"no ffmpeg", {kApp + "/data/conv", s_flv, "-o", out("bad2.avi")}, {"PATH=/nonexistent"},
         out("bad2.avi")},
        {"unknown option", {kApp + "/data/coder", "-i", s_flv, "-qscale", "2", out("bad3.mov")}, {},
         out("bad3.mov")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const RunResult r = runArgv(row.argv, row.env);
        EXPECT_NE(r.exitCode, 0);
        std::string text = r.output;
        while (!text.empty() && (text.front() == '\n')) text.erase(0, 1);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_NE(text.find("error: "), std::string::npos) << text;
        EXPECT_FALSE(fs::exists(row.output) && fs::file_size(row.output) > 0);
    }
    const RunResult noPath = runArgv({kApp + "/data/coder", "-i", s_flv, out("x.mp3")}, {"PATH=/nonexistent"});
    EXPECT_NE(noPath.output.find("ffmpeg was not found"), std::string::npos) << noPath.output;
}

// The encoder-list cache's key changes with the libavcodec ffmpeg loads,
// though the ffmpeg file stays the same (libavcodec-extra swapped in or out).
TEST(FfmpegIdentityTest, FollowsTheLoadedLibavcodec) {
    const fs::path dir = fs::temp_directory_path() / ("tessaro-identity-" + std::to_string(getpid()));
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "lib");
    const std::string ffmpeg = (dir / "bin/ffmpeg").string();
    std::ofstream(ffmpeg, std::ios::binary) << std::string("\x7f" "ELF\0libavutil.so.57\0libavcodec.so.59\0x", 40);
    const char* old = std::getenv("LD_LIBRARY_PATH");
    const std::string saved = old ? old : "";
    setenv("LD_LIBRARY_PATH", (dir / "lib").c_str(), 1);
    EXPECT_EQ(tessaro::linkedLibavcodec(ffmpeg), "libavcodec.so.59");
    std::ofstream(dir / "lib/libavcodec.so.59") << "plain";
    const std::string before = tessaro::ffmpegIdentity(ffmpeg);
    std::ofstream(dir / "lib/libavcodec.so.59") << "with more encoders";
    const std::string after = tessaro::ffmpegIdentity(ffmpeg);
    EXPECT_NE(before, after);
    EXPECT_NE(after.find((dir / "lib/libavcodec.so.59").string()), std::string::npos) << after;
    EXPECT_EQ(before.substr(0, before.find('\t', ffmpeg.size() + 1)),
              after.substr(0, after.find('\t', ffmpeg.size() + 1)));
    if (old) setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
    else unsetenv("LD_LIBRARY_PATH");
    EXPECT_EQ(tessaro::ffmpegIdentity((dir / "none").string()), "");
    fs::remove_all(dir);
}

// ---- the intermediate -------------------------------------------------------

TEST(IntermediateJobTest, CopiesSelfIdentifyingSourcesAndEncodesTheRest) {
    using namespace std::string_literals;
    const std::string asf = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s;
    const std::pair<std::string, std::string> heads[] = {
        {"FLV\x01\x05\x00\x00\x00\x09\x00"s, "flv"},
        {"FLV\x01\x05\x00\x00\x00\x05"s, ""},  // header shorter than its own fields
        {"FLV"s, ""},
        {"\x00\x00\x00\x20" "ftypisom"s, "mov"},
        {"\x00\x00\x00\x08" "wide"s, "mov"},
        {"\x1A\x45\xDF\xA3\x9F"s, "matroska"},
        {"RIFF\x10\x00\x00\x00" "AVI LIST"s, "avi"},
        {"RIFF\x10\x00\x00\x00" "WAVEfmt "s, ""},
        {asf, "asf"},
        {"\x00\x00\x01\xBA\x44"s, ""},  // MPEG program stream
        {"\x47\x40\x11\x10"s, ""},       // MPEG transport stream
        {"", ""},
    };
    for (const auto& [head, container] : heads)
        EXPECT_EQ(tessaro::selfIdentifyingContainer(head), container) << ::testing::PrintToString(head);

    // Odd sizes, which x264 refuses, in any video stream of ffmpeg's report.
    for (const auto& [streams, odd] :
         {std::pair{"Video: h264 (avc1 / 0x31637661), 320x241 [SAR 1:1]", true},
          {"Video: h264, 320x240\n  Stream #0:1: Video: mpeg4, 640x368", false},
          {"Audio: mp3\n  Stream #0:1: Video: mjpeg, 301x300 (attached pic)", true}})
        EXPECT_EQ(
            tessaro::sourceFactsFrom("Input #0, mov:\n  Stream #0:0: " + std::string(streams), "")
                .oddFrameSize,
            odd)
            << streams;
    const FfmpegJob designed = tessaro::convJob({"in.ts", "-o", "/t/tmp-1.mp4"});
    const Args x264 = {"-sn", "-dn", "-c:v", "libx264", "-preset", "ultrafast", "-crf", "12",
                       "-c:a", "pcm_s16le", "-af", kSound, "-f", "nut"};
    const Args mpeg4 = {"-sn", "-dn", "-c:v", "mpeg4", "-q:v", "2", "-c:a", "pcm_s16le",
                        "-af", kSound, "-f", "nut"};
    tessaro::SourceFacts even, odd;
    odd.oddFrameSize = true;
    EXPECT_EQ(tessaro::intermediateEncodeJob(designed, even, "libx264").outputOptions, x264);
    EXPECT_EQ(tessaro::intermediateEncodeJob(designed, odd, "libx264").outputOptions, mpeg4);
    EXPECT_EQ(tessaro::intermediateEncodeJob(designed, even, "mpeg4").outputOptions, mpeg4);
    EXPECT_EQ(tessaro::intermediateEncodeJob(designed, even, "libx264").output, "/t/tmp-1.mp4");
    // On threads, with key frames where stage two may cut the picture.
    const FfmpegJob threaded =
        tessaro::convJob({"in.ts", "-lavcopts", "vcodec=mpeg4:threads=2", "-o", "/t/tmp-1.mp4"});
    const auto options = tessaro::intermediateEncodeJob(threaded, even, "libx264").outputOptions;
    EXPECT_EQ(tessaro::intermediateEncodeJob(threaded, even, "libx264").threads, 2);
    for (const Args& run : {Args{"-threads", "2"}, Args{"-force_key_frames", "expr:gte(t,n_forced*2)"}})
        EXPECT_NE(std::search(options.begin(), options.end(), run.begin(), run.end()), options.end())
            << run[0];
}

// A source ffmpeg cannot read fails in stage one, under its own name, not
// in stage two under the intermediate's. One whose picture or sound cannot be
// decoded gives the other in every video format, as long as the source, with
// a notice; an MP3 of a sound that cannot be decoded fails with that cause.
TEST_F(EncoderRuns, UnreadableSourceFailsEarlyAndUndecodablePartIsTold) {
    const std::string garbage = out("garbage.flv");
    {
        std::ofstream f(garbage, std::ios::binary);
        f << std::string("FLV\x01\x05\x00\x00\x00\x09\x00\x00\x00\x00", 13);
        for (int i = 0; i < 200000; ++i) f.put(static_cast<char>((i * 7919 + i / 13) % 251));
    }
    const struct {
        std::string source;
        Args make;  // ffmpeg's options after the picture and sound inputs
        bool soundLost;
    } rows[] = {
        // H.264 without its parameter sets: not one picture decodes.
        {"nopicture.avi",
         {"-c:v", "libx264", "-bsf:v", "filter_units=remove_types=7|8", "-c:a", "mp3"},
         false},
        // Every byte of every sound packet overwritten, the container intact:
        // ffmpeg gives up on the AAC's decode errors, and goes on past MP3
        // frames of which not one decodes.
        {"nosound.mkv",
         {"-r", "10", "-c:v", "mpeg4", "-c:a", "aac", "-bsf:a", "noise=amount=1"},
         true},
        {"nosound.avi", {"-c:v", "mpeg4", "-c:a", "mp3", "-bsf:a", "noise=amount=1"}, true},
    };
    const std::string ext[] = {".rmvb", ".rm",  ".mpg", ".avi", ".mp4",
                               ".mov",  ".mp4", ".3gp", ".mp3"};
    for (const auto& row : rows) {
        const std::string source = out(row.source);
        Args make = {"ffmpeg",  "-nostdin", "-v",
                     "error",   "-y",       "-f",
                     "lavfi",   "-i",       "testsrc=size=320x240:rate=25:d=2",
                     "-f",      "lavfi",    "-i",
                     "sine=d=2"};
        make.insert(make.end(), row.make.begin(), row.make.end());
        make.push_back(source);
        const RunResult made = runArgv(make);
        ASSERT_EQ(made.exitCode, 0) << made.output;
        for (int f = 0; f < (row.soundLost ? 9 : 8); ++f) {
            SCOPED_TRACE(row.source + " in format " + std::to_string(f));
            const std::string final = out("undecodable-" + std::to_string(f) + ext[f]);
            fs::remove(final);
            const tessaro::ParameterTexts p =
                tessaro::withFormatDefaults(f, {"128", "25", "320x240", "48000", "128", 1});
            const tessaro::CommandPaths paths{kApp, source, final, intermediate()};
            const RunResult one = runCommandText(tessaro::stageOneCommand(f, paths, p));
            if (f == 8) {
                EXPECT_NE(one.exitCode, 0);
                tessaro::FailedRun run{"coder", one.exitCode, one.output, source, final, true};
                EXPECT_EQ(tessaro::failureReason(run).rfind("源文件的声音无法解码（coder: ", 0), 0)
                    << one.output;
                EXPECT_FALSE(fs::exists(final));
                continue;
            }
            ASSERT_EQ(one.exitCode, 0) << one.output;
            std::string outputs = one.output;
            if (tessaro::isTwoStage(f)) {
                const RunResult two = runCommandText(tessaro::stageTwoCommand(f, paths, p));
                ASSERT_EQ(two.exitCode, 0) << two.output;
                outputs += two.output;
                fs::remove(intermediate());
            }
            EXPECT_EQ(tessaro::notices(outputs),
                      std::vector<std::string>{row.soundLost ? tessaro::kSoundUndecodedNotice
                                                             : tessaro::kPictureUndecodedNotice})
                << outputs;
            // The other part kept, as long as the source.
            const Probe probed = probe(final);
            EXPECT_EQ(probed.stream("video") == "", !row.soundLost);
            EXPECT_EQ(probed.stream("audio") == "", row.soundLost);
            EXPECT_NEAR(std::atof(probed.get("format.duration").c_str()), 2, 0.3);
        }
    }
    // The garbage: stage one names the source and the cause, and leaves no
    // intermediate for stage two.
    const std::string folder = "/tmp/tessaro-" + std::to_string(getuid());
    ::mkdir(folder.c_str(), 0700);
    const std::string TMP = folder + "/tmp-" + std::to_string(getpid()) + ".mp4";
    const RunResult failed = runArgv({kApp + "/data/conv", garbage, "-o", TMP});
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_NE(failed.output.find(std::string(tessaro::kUnreadableCause) + ": " + garbage),
              std::string::npos)
        << failed.output;
    EXPECT_FALSE(fs::exists(TMP));
}

// conv told to write an intermediate (recognised by its path) keeps the
// source's streams, and stage two reads the file back by its content into
// the same final file as from the source itself.
TEST_F(EncoderRuns, IntermediateKeepsTheSourceForStageTwo) {
    const std::string folder = "/tmp/tessaro-" + std::to_string(getuid());
    ::mkdir(folder.c_str(), 0700);
    const std::string TMP = folder + "/tmp-" + std::to_string(getpid()) + ".mp4";
    const std::string ts = out("clip29.ts"), mp4 = out("clip29.mp4"), flv = out("clip29.flv");
    for (const Args& make : {Args{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=30000/1001:duration=10",
                                  "-f", "lavfi", "-i", "sine=sample_rate=22050:duration=10",
                                  "-c:v", "libx264", "-c:a", "aac", "-shortest", mp4},
                             Args{"-i", mp4, "-c", "copy", flv}, Args{"-i", mp4, "-c", "copy", ts}}) {
        Args argv = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
        argv.insert(argv.end(), make.begin(), make.end());
        const RunResult r = runArgv(argv);
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    struct Row {
        std::string source, container, vcodec, acodec;
    } rows[] = {{s_flv, "flv", "flv1", "mp3"},
                {mp4, "mov", "h264", "aac"},
                {flv, "flv", "h264", "aac"},
                {ts, "nut", "h264", "pcm_s16le"}};
    const std::string viaTmp = out("via.mov"), direct = out("direct.mov");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        // Outputs never replace a file: each row starts from none.
        for (const std::string& f : {TMP, viaTmp, direct}) fs::remove(f);
        const RunResult one = runCommandText(kApp + "/data/conv " + Q + row.source + Q +
                                             " -oac mp3lame -lameopts preset=320 -ovc lavc -lavcopts"
                                             " vcodec=mpeg4:vbitrate=1200 -of avi -o " + TMP);
        ASSERT_EQ(one.exitCode, 0) << one.output;
        expectPercentProgress(one.output);
        expectFile(TMP, {row.container, "", row.vcodec, row.acodec});

        // Frame rate, size, sample rate and channels as from the source itself.
        auto streams = [](const std::string& path) {
            return runArgv({"ffprobe", "-v", "error", "-show_entries",
                            "stream=codec_name,width,height,r_frame_rate,sample_rate,channels",
                            "-of", "compact", "file:" + path}).output;
        };
        for (const auto& [in, final] : {std::pair{TMP, viaTmp}, std::pair{row.source, direct}}) {
            const RunResult two = runCommandText(kApp + "/data/coder -i " + Q + in + Q +
                                                 " -y -ac 2 -ar 48000 -ab 128k " + Q + final + Q);
            ASSERT_EQ(two.exitCode, 0) << two.output;
        }
        EXPECT_EQ(streams(viaTmp), streams(direct));
    }
    fs::remove(TMP);
}
