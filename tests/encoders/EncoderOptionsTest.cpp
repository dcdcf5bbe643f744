// The encoders' command lines read into typed options, and the ffmpeg
// arguments built from typed options.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/CommandLineText.h"
#include "encoders/EncoderOptions.h"
#include "encoders/FfmpegJob.h"
#include "encoders/SourceProbe.h"

namespace tessaro {
namespace {

using Args = std::vector<std::string>;

// The pieces stand in the arguments one after another.
bool hasRun(const Args& args, const Args& pieces) {
    return std::search(args.begin(), args.end(), pieces.begin(), pieces.end()) != args.end();
}

bool has(const Args& args, const std::string& piece) {
    return std::find(args.begin(), args.end(), piece) != args.end();
}

// A typed number as read: its value and its text.
void expectNumber(const std::optional<TypedNumber>& n, double value, const std::string& text) {
    ASSERT_TRUE(n.has_value());
    EXPECT_DOUBLE_EQ(n->value, value);
    EXPECT_EQ(n->text, text);
}

// ---- conv's command lines -> typed options -----------------------------------

struct ConvReadRow {
    const char* line;
    std::string error;  // "" when the options are taken
    std::function<void(const ConvOptions&)> check;
};

TEST(ReadConvOptionsTest, TypesEveryValueAndRefusesBadOnes) {
    using Preset = ConvOptions::Preset;
    const ConvReadRow rows[] = {
        {"in.flv -ovc lavc -lavcopts vcodec=mpeg1video -lavcopts vbitrate=20000:vpass=1 -ofps 23 "
         "-of lavf -lavfopts format=yuv4mpeg -o a.b.MPG",
         "",
         [](const ConvOptions& c) {
             EXPECT_EQ(c.videoCodec, "mpeg1video");  // -lavcopts given twice merge
             expectNumber(c.videoBitrate, 20000, "20000");
             expectNumber(c.frameRate, 23, "23");
             EXPECT_EQ(c.container, "mpeg");
         }},
        // a copied picture's bitrate is never read
        {"in.flv -ovc copy -lavcopts vbitrate=abc -o x.mp4", "",
         [](const ConvOptions& c) {
             EXPECT_TRUE(c.copyVideo);
             EXPECT_FALSE(c.videoBitrate);
             EXPECT_EQ(c.container, "mp4");
         }},
        {"in.flv -oac mp3lame -lameopts preset=extreme -o x.avi", "",
         [](const ConvOptions& c) {
             EXPECT_EQ(c.preset, Preset::Extreme);
             EXPECT_FALSE(c.audioBitrate);
         }},
        {"in.flv -lameopts preset=12.2 -o x.avi", "",
         [](const ConvOptions& c) {
             EXPECT_EQ(c.audio, ConvOptions::Audio::Lame);
             EXPECT_EQ(c.preset, Preset::Bitrate);
             expectNumber(c.audioBitrate, 12.2, "12.2");
         }},
        {"in.flv -oac lavc -lavcopts acodec=ac3:abitrate=192 -of lavf -lavfopts format=mov -o x.m",
         "",
         [](const ConvOptions& c) {
             EXPECT_EQ(c.audio, ConvOptions::Audio::Lavc);
             EXPECT_EQ(c.audioCodec, "ac3");
             expectNumber(c.audioBitrate, 192, "192");
             EXPECT_EQ(c.container, "mov");
         }},
        {"-clip.flv -o -out.rm -of lavf", "",
         [](const ConvOptions& c) {
             EXPECT_EQ(c.input, "-clip.flv");
             EXPECT_EQ(c.output, "-out.rm");
             EXPECT_EQ(c.container, "");  // ffmpeg's own choice
         }},
        {"in.flv -lavcopts vbitrate=abc -o x.avi", "视频比特率“abc”不是数字", nullptr},
        {"in.flv -lavcopts vbitrate=3 -o x.avi", "视频比特率“3”超出范围，应在 4 到 24000000 之间",
         nullptr},
        {"in.flv -ofps 0 -o x.avi", "帧率“0”超出范围，应在 1 到 120 之间", nullptr},
        {"in.flv -ofps -o x.avi", "帧率为空", nullptr},
        {"in.flv -lameopts preset=-5 -o x.avi", "声音比特率“-5”超出范围，应在 1 到 1000 之间",
         nullptr},
        {"in.flv -oac lavc -lavcopts abitrate=1e3 -o x.avi", "声音比特率“1e3”不是数字", nullptr},
        {"in.flv -oac lavc -lavcopts acodec=aac -o x.avi", "unsupported audio codec: aac", nullptr},
        {"in.flv -lavcopts vcodec=mpeg4:threads=3 -o x.avi", "",
         [](const ConvOptions& c) { EXPECT_EQ(c.threads, 3); }},
        {"in.flv -lavcopts vcodec=mpeg4:threads=1.5 -o x.avi", "线程数“1.5”不是整数", nullptr},
        {"in.flv -lavcopts threads=65 -o x.avi", "线程数“65”超出范围，应在 1 到 64 之间", nullptr},
        {"in.flv -of mkv -o x.avi", "unsupported -of: mkv", nullptr},
        {"in.flv -o \"\"", "no output file given (-o)", nullptr},
    };
    for (const ConvReadRow& row : rows) {
        SCOPED_TRACE(row.line);
        const ConvOptions c = readConvOptions(splitCommandLine(row.line));
        EXPECT_EQ(c.error, row.error);
        if (row.check) row.check(c);
    }
}

// ---- coder's command lines -> typed options ----------------------------------

struct CoderReadRow {
    const char* line;
    std::string error;
    std::function<void(const CoderOptions&)> check;
};

TEST(ReadCoderOptionsTest, TypesEveryValueAndRefusesBadOnes) {
    using O = CoderOption;
    const CoderReadRow rows[] = {
        {"-i a -y -s 321x241 -vcodec rv10 -b 600k -f rm -ar 44100 -ab 64k -ac 1 o.rm", "",
         [](const CoderOptions& c) {
             ASSERT_TRUE(c.size);
             EXPECT_EQ(c.size->width, 321);
             EXPECT_EQ(c.size->height, 241);
             expectNumber(c.videoBitrate, 600, "600k");
             expectNumber(c.sampleRate, 44100, "44100");
             expectNumber(c.audioBitrate, 64, "64k");
             expectNumber(c.channels, 1, "1");
             EXPECT_EQ(c.order, (std::vector<O>{O::VideoCodec, O::VideoBitrate, O::Format,
                                                O::SampleRate, O::AudioBitrate, O::Channels}));
         }},
        // bit/s without the k; a repeated option keeps its place and takes the last value
        {"-i a -vn -ab 128k -b 64000 -ab 10.2k o.mp3", "",
         [](const CoderOptions& c) {
             EXPECT_TRUE(c.noVideo);
             expectNumber(c.videoBitrate, 64, "64000");
             expectNumber(c.audioBitrate, 10.2, "10.2k");
             EXPECT_EQ(c.order, (std::vector<O>{O::NoVideo, O::AudioBitrate, O::VideoBitrate}));
             EXPECT_EQ(c.output, "o.mp3");
         }},
        {"-i a -vcodec libx264 -r 23.976 o.mp4", "",
         [](const CoderOptions& c) {
             expectNumber(c.frameRate, 23.976, "23.976");
             EXPECT_EQ(c.order, (std::vector<O>{O::VideoCodec, O::FrameRate}));
         }},
        {"-i a -threads 2 -vcodec rv10 o.rm", "",
         [](const CoderOptions& c) {
             EXPECT_EQ(c.threads, 2);
             EXPECT_EQ(c.order, (std::vector<O>{O::VideoCodec}));
         }},
        {"-i a -threads 0 o.rm", "线程数“0”超出范围，应在 1 到 64 之间", nullptr},
        {"-i a -threads o.rm", "option -threads needs a value", nullptr},
        {"-i a -r 0 o.mp4", "帧率“0”超出范围，应在 1 到 240 之间", nullptr},
        {"-i a -s 0x0 o.mov", "视频尺寸“0x0”超出范围，宽和高应在 16 到 4096 之间", nullptr},
        {"-i a -s abc o.mov", "视频尺寸“abc”应写作 宽x高，如 320x240", nullptr},
        {"-i a -b -5k o.rm", "视频比特率“-5”超出范围，应在 4 到 100000 之间", nullptr},
        {"-i a -b 99999999999999999k o.rm", "视频比特率“99999999999999999”不是数字", nullptr},
        {"-i a -ar -ab 64k o.rm", "声音频率为空", nullptr},
        {"-i a -ac 9 o.rm", "声道“9”超出范围，应在 0 到 8 之间", nullptr},
        // the first value refused is the one its reason names
        {"-i a -s 1x1 -ab x o.rm", "声音比特率“x”不是数字", nullptr},
        {"-i a -qscale 3 o.avi", "unknown option: -qscale", nullptr},
        {"-i a -i b o.avi", "more than one input file given", nullptr},
        {"-y o.avi", "no input file given (-i)", nullptr},
    };
    for (const CoderReadRow& row : rows) {
        SCOPED_TRACE(row.line);
        const CoderOptions c = readCoderOptions(splitCommandLine(row.line));
        EXPECT_EQ(c.error, row.error);
        if (row.check) row.check(c);
    }
}

TEST(RefusedOptionsTest, ReadsTheCommandAsItsEncoderWould) {
    const struct {
        Args command;
        bool refused;
    } rows[] = {
        {{"/app/data/conv", "in", "-ofps", "0", "-o", "x.avi"}, true},
        {{"C:\\app\\data\\CONV.EXE", "in", "-ofps", "0", "-o", "x.avi"}, true},
        {{"/app/data/coder2", "-i", "in", "-s", "abc", "o.3gp"}, true},
        {{"/app/data/coder", "-i", "in", "-s", "320x240", "o.mov"}, false},
        {{"/bin/other", "-ofps", "0"}, false},
        {{}, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(refusedOptions(row.command).empty(), !row.refused)
            << joinCommandLine(row.command);
}

// ---- typed options -> ffmpeg's arguments -------------------------------------

struct BuildRow {
    const char* name;
    std::function<FfmpegJob()> build;
    std::vector<Args> runs;  // each found in the output options
    Args absent;             // none of these is
    size_t notes;
};

ConvOptions convTo(const std::string& output) {
    ConvOptions c;
    c.input = "in.flv";
    c.output = output;
    c.container = output.substr(output.size() - 3) == "mp4" ? "mp4" : "avi";
    return c;
}

CoderOptions coderTo(const std::string& output) {
    CoderOptions c;
    c.input = "in.flv";
    c.output = output;
    return c;
}

const auto noAmr = [](const std::string&) { return false; };

TEST(FfmpegJobTest, BuildsTheArgumentsOfTypedOptions) {
    const std::string sound = kSoundInStep;
    SourceFacts slow;  // a picture at 10 frames a second with a PNG cover
    slow.probed = true;
    slow.framesPerSecond = 10;
    slow.mainVideo = 0;
    slow.firstCover = 1;
    slow.coverCodec = "png";
    const BuildRow rows[] = {
        {"MpegOneTakesTheNearestFrameRate",
         [] {
             ConvOptions c = convTo("o.mpg");
             c.videoCodec = "mpeg1video";
             c.frameRate = TypedNumber{23, "23"};
             c.videoBitrate = TypedNumber{20000, "20000"};
             return ffmpegJob(c);
         },
         {{"-r", "24000/1001"}, {"-b:v", "20000"}, {"-strict", "unofficial"}},
         {},
         1},
        {"MpegEncodesSlicesOnItsThreads",
         [] {
             ConvOptions c = convTo("o.mpg");
             c.videoCodec = "mpeg2video";
             c.threads = 3;
             return ffmpegJob(c);
         },
         {{"-c:v", "mpeg2video", "-threads", "3"}},
         {},
         0},
        {"X265TakesItsThreadsInAPool",
         [] {
             CoderOptions c = coderTo("o.mp4");
             c.videoCodec = "libx265";
             c.threads = 2;
             c.order = {CoderOption::VideoCodec};
             return ffmpegJob(c, noAmr);
         },
         {{"-x265-params", "log-level=error:pools=2"}, {"-threads", "2"}},
         {},
         0},
        {"Vp9TakesItsThreadsOnce",
         [] {
             CoderOptions c = coderTo("o.webm");
             c.videoCodec = "libvpx-vp9";
             c.threads = 1;
             c.order = {CoderOption::VideoCodec};
             return ffmpegJob(c, noAmr);
         },
         {{"-threads", "1", "-tile-columns", "2"}},
         {},
         0},
        {"KbitsUpTo16000",
         [] {
             ConvOptions c = convTo("o.avi");
             c.videoBitrate = TypedNumber{800, "800"};
             c.preset = ConvOptions::Preset::Insane;
             return ffmpegJob(c);
         },
         {{"-b:v", "800k"}, {"-b:a", "320k"}, {"-af", sound}},
         {"-q:a"},
         0},
        {"Mp3InMp4KeepsMpegRates",
         [] {
             ConvOptions c = convTo("o.mp4");
             c.preset = ConvOptions::Preset::Standard;
             return ffmpegJob(c);
         },
         {{"-q:a", "2", "-f", "mp4", "-af"}},
         {sound},
         0},
        {"CopiedSoundIsNotFiltered",
         [] {
             ConvOptions c = convTo("o.avi");
             c.audio = ConvOptions::Audio::Copy;
             c.copyVideo = true;
             return ffmpegJob(c);
         },
         {{"-c:v", "copy", "-c:a", "copy"}},
         {"-af"},
         0},
        {"RealVideoBitrateFitsItsPackets",
         [slow] {
             CoderOptions c = coderTo("o.rm");
             c.videoCodec = "rv10";
             c.videoBitrate = TypedNumber{9000, "9000k"};
             c.order = {CoderOption::VideoCodec, CoderOption::VideoBitrate};
             return ffmpegJob(c, noAmr, &slow);
         },
         {{"-b:v", "4800k", "-maxrate", "4800k", "-bufsize", "480k"}, {"-r", "10"}},
         {},
         1},
        {"RealVideoSizeInSixteens",
         [] {
             CoderOptions c = coderTo("o.rm");
             c.videoCodec = "rv10";
             c.size = TypedSize{100, 100, "100x100"};
             return ffmpegJob(c, noAmr);
         },
         {{"-vf", fitInFrame(96, 96)}},
         {"-r"},
         1},
        {"OwnAmrNbComesAsSecondInput",
         [] {
             CoderOptions c = coderTo("o.3gp");
             c.audioCodec = "amr_nb";
             c.audioBitrate = TypedNumber{13, "13k"};
             c.sampleRate = TypedNumber{8000, "8000"};
             c.order = {CoderOption::AudioCodec, CoderOption::SampleRate,
                        CoderOption::AudioBitrate};
             const FfmpegJob job = ffmpegJob(c, noAmr);
             EXPECT_TRUE(job.ownAmrNb);
             EXPECT_DOUBLE_EQ(job.amrNbKbits, 12.2);
             return job;
         },
         {{"-map", "1:a:0", "-c:a", "copy"}},
         {"-ar", "-b:a", "-af"},
         1},
        {"Mp3TakesTheCoverNotThePicture",
         [slow] {
             CoderOptions c = coderTo("o.mp3");
             c.noVideo = true;
             c.channels = TypedNumber{0, "0"};
             c.order = {CoderOption::NoVideo, CoderOption::Channels};
             return ffmpegJob(c, noAmr, &slow);
         },
         {{"-map", "0:a:0", "-map", "0:v:1"}, {"-c:v", "copy", "-disposition:v:0", "attached_pic"}},
         {"-vn", "-ac", "-vf"},
         0},
        // The codecs of today's players: a quality aimed at unless a bitrate
        // is given, which VP9 is held to; no more than 60 frames a second;
        // Opus at its own rate; the MP4 index first and H.265 tagged for
        // Apple's players; no cover where the container has no room.
        {"FastSourceKeepsEveryOtherFrame",
         [] {
             SourceFacts fast;
             fast.probed = true;
             fast.framesPerSecond = 120;
             fast.mainVideo = 0;
             CoderOptions c = coderTo("o.mp4");
             c.videoCodec = "libx264";
             c.container = "mp4";
             c.order = {CoderOption::VideoCodec, CoderOption::Format};
             return ffmpegJob(c, noAmr, &fast);
         },
         {{"-r", "60"}, {"-crf"}, {"-movflags", "+faststart"}},
         {"-b:v", "-tag:v"},
         0},
        {"TypedVp9BitrateIsHeld",
         [] {
             CoderOptions c = coderTo("o.webm");
             c.videoCodec = "libvpx-vp9";
             c.audioCodec = "libopus";
             c.videoBitrate = TypedNumber{800, "800k"};
             c.order = {CoderOption::VideoCodec, CoderOption::VideoBitrate,
                        CoderOption::AudioCodec};
             return ffmpegJob(c, noAmr);
         },
         {{"-b:v", "800k"}, {"-minrate", "800k", "-maxrate", "800k"}, {"-ar", "48000"}},
         {"-crf", "-movflags"},
         0},
        {"H265InMp4IsTagged",
         [] {
             CoderOptions c = coderTo("o.mp4");
             c.videoCodec = "libx265";
             c.container = "mp4";
             c.order = {CoderOption::VideoCodec, CoderOption::Format};
             return ffmpegJob(c, noAmr);
         },
         {{"-tag:v", "hvc1"}, {"-crf"}},
         {"-r"},
         0},
        {"OpusHasNoRoomForTheCover",
         [slow] {
             CoderOptions c = coderTo("o.opus");
             c.noVideo = true;
             c.audioCodec = "libopus";
             c.container = "opus";
             c.order = {CoderOption::NoVideo, CoderOption::AudioCodec, CoderOption::Format};
             return ffmpegJob(c, noAmr, &slow);
         },
         {{"-vn"}, {"-map_metadata", "-1"}},
         {"-map", "attached_pic"},
         0},
    };
    for (const BuildRow& row : rows) {
        SCOPED_TRACE(row.name);
        const FfmpegJob job = row.build();
        EXPECT_EQ(job.error, "");
        for (const Args& run : row.runs)
            EXPECT_TRUE(hasRun(job.outputOptions, run)) << joinCommandLine(job.outputOptions);
        for (const std::string& piece : row.absent)
            EXPECT_FALSE(has(job.outputOptions, piece)) << piece;
        EXPECT_EQ(job.notes.size(), row.notes) << noteLines("t", job);
    }
}

TEST(FfmpegJobTest, RefusedOptionsBuildNoArguments) {
    ConvOptions conv = convTo("o.avi");
    conv.error = "帧率为空";
    CoderOptions coder = coderTo("o.mov");
    coder.error = "声道为空";
    for (const FfmpegJob& job : {ffmpegJob(conv), ffmpegJob(coder, noAmr)}) {
        EXPECT_FALSE(job.error.empty());
        EXPECT_TRUE(job.outputOptions.empty());
        EXPECT_FALSE(job.wantsSource);
    }
}

}  // namespace
}  // namespace tessaro
