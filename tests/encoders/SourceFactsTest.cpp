// What the encoders read of a source, and the choices they make from it:
// RealVideo's frame and bitrate limits, an MP3's tags, the shape a fixed
// frame size keeps, the ffmpeg versions that take -stats_period, and the log
// lines that tell a source cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"
#include "encoders/SourceProbe.h"
#include "engine/CommandLineText.h"

namespace {

using Args = std::vector<std::string>;

const std::string kInput =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'file:a.mp4':\n"
    "  Metadata:\n    major_brand     : isom\n";

TEST(SourceFactsTest, ReadsThePictureAsShownAndTheTags) {
    struct Row {
        std::string streams;
        int width, height;
        double fps;
        bool audio;
    } rows[] = {
        // no pixel aspect: square
        {"  Stream #0:0[0x1](und): Video: h264 (High) (avc1 / 0x31637661), yuv420p(progressive), "
         "640x360, 48 kb/s, 25 fps, 25 tbr, 12800 tbn (default)\n",
         640, 360, 25, false},
        // stored landscape, turned a quarter
        {"  Stream #0:0: Video: h264, yuv420p, 640x360 [SAR 1:1 DAR 16:9], 30 fps, 30 tbr\n"
         "    Side data:\n      displaymatrix: rotation of -90.00 degrees\n"
         "  Stream #0:1: Audio: aac (LC), 48000 Hz, mono, fltp\n",
         360, 640, 30, true},
        // anamorphic DVD picture, ffmpeg 4's rotate tag on another stream
        {"  Stream #0:0: Video: mpeg2video, yuv420p, 720x480 [SAR 32:27 DAR 16:9], 29.97 fps, "
         "59.94 tbr\n"
         "  Stream #0:1: Audio: adpcm_swf, 11025 Hz, mono\n    Metadata:\n      rotate : 90\n",
         853, 480, 29.97, true},
        // a cover picture is no video
        {"  Stream #0:0: Audio: mp3, 11025 Hz, mono\n"
         "  Stream #0:1: Video: mjpeg, yuvj420p, 500x500, 90k tbr (attached pic)\n",
         0, 0, 0, true},
        {"  Stream #0:0: Video: h264, yuv420p, 4000x3000, 1k tbr, 1 fps\n", 4000, 3000, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.streams);
        const tessaro::SourceFacts f = tessaro::sourceFactsFrom(kInput + row.streams, "");
        EXPECT_TRUE(f.probed);
        EXPECT_EQ(f.displayWidth, row.width);
        EXPECT_EQ(f.displayHeight, row.height);
        EXPECT_DOUBLE_EQ(f.framesPerSecond, row.fps);
        EXPECT_EQ(f.hasAudio, row.audio);
    }
    EXPECT_FALSE(
        tessaro::sourceFactsFrom("file:x: Invalid data found when processing input\n", "").probed);

    const tessaro::SourceFacts tagged = tessaro::sourceFactsFrom(
        kInput,
        ";FFMETADATA1\nmajor_brand=isom\ncompatible_brands=isomiso2\ntitle=a\\=b\\;c\n"
        "ARTIST=two\\\nlines\nencoder=Lavf59\ncreation_time=2020\nhandler_name=x\n"
        "[STREAM]\ntitle=stream\n");
    using Tags = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(tessaro::descriptiveTags(tagged),
              (Tags{{"title", "a=b;c"}, {"artist", "two\nlines"}}));
}

TEST(SourceFactsTest, RealVideoTakesWhatItsPacketsCarry) {
    const auto noAmr = [](const std::string&) { return false; };
    const Args rmvb = tessaro::splitCommandLine(
        "-i /t/tmp.mp4 -y -vcodec rv10 -b 1200k -f rm  -ab 128k -ac 2 o.rmvb");
    struct Row {
        double fps;
        int width, height;
        std::string bitrate, filterStart;
        size_t notes;
    } rows[] = {
        {25, 640, 360, "1200k", "scale='if(gt(dar,640/368),640,", 0},
        {1, 320, 240, "480k", "scale='if(gt(dar,320/240),320,", 1},
        {2.5, 320, 240, "1200k", "scale='if(gt(dar,320/240),320,", 0},
        {5, 4000, 3000, "1200k", "scale='if(gt(dar,1168/880),1168,", 1},
        {0, 0, 0, "1200k", "scale='max(16,", 0},  // nothing known: the source's size rounded
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.width);
        tessaro::SourceFacts f;
        f.probed = row.fps > 0;
        f.framesPerSecond = row.fps;
        f.displayWidth = row.width;
        f.displayHeight = row.height;
        const tessaro::FfmpegJob job = tessaro::coderJob(rmvb, noAmr, &f);
        EXPECT_TRUE(job.wantsSource);
        const auto& o = job.outputOptions;
        const auto b = std::find(o.begin(), o.end(), "-b:v");
        ASSERT_NE(b, o.end());
        EXPECT_EQ(*(b + 1), row.bitrate);
        EXPECT_EQ(*(b + 3), row.bitrate);  // -maxrate
        const auto vf = std::find(o.begin(), o.end(), "-vf");
        ASSERT_NE(vf, o.end());
        EXPECT_EQ((vf + 1)->rfind(row.filterStart, 0), 0u) << *(vf + 1);
        EXPECT_EQ(job.notes.size(), row.notes);
    }
    EXPECT_EQ(tessaro::realVideoFrame(1360, 768), (std::pair{1360, 768}));
    const auto [w, h] = tessaro::realVideoFrame(1920, 1088);
    EXPECT_LT((w / 16) * (h / 16), 4096);
    EXPECT_NEAR(double(w) / h, 1920.0 / 1088, 0.02);
}

TEST(SourceFactsTest, Mp3KeepsOnlyDescriptiveTags) {
    const auto noAmr = [](const std::string&) { return false; };
    const Args mp3 = {"-i",  "in.mp4", "-y",  "-vn", "-ar",  "44100",
                      "-ab", "128k",   "-ac", "2",   "o.mp3"};
    EXPECT_TRUE(tessaro::coderJob(mp3, noAmr).wantsSource);
    tessaro::SourceFacts f;
    f.probed = true;
    f.tags = {{"major_brand", "isom"}, {"title", "Harbour"}, {"encoder", "Lavf"}};
    const Args o = tessaro::coderJob(mp3, noAmr, &f).outputOptions;
    const Args tags = {"-map_metadata", "-1", "-metadata", "title=Harbour"};
    EXPECT_NE(std::search(o.begin(), o.end(), tags.begin(), tags.end()), o.end());
    EXPECT_EQ(std::count(o.begin(), o.end(), "-metadata"), 1);
}

TEST(SourceFactsTest, StatsPeriodFromTheVersion) {
    for (const char* v : {"5.1.9-0+deb12u1", "4.4", "n4.4.1", "N-104465-g08a5d7", "7.0.2-static"})
        EXPECT_TRUE(tessaro::versionTakesStatsPeriod(v)) << v;
    for (const char* v : {"4.2.7-0ubuntu0.1", "4.1", "n4.3.2", "", "unknown"})
        EXPECT_FALSE(tessaro::versionTakesStatsPeriod(v)) << v;
}

TEST(SourceFactsTest, ReadTroubleAndCauses) {
    for (const char* line :
         {"[warning] file:cut.flv: corrupt input packet in stream 1",
          "[mov,mp4 @ 0x1] [error] stream 0, offset 0x13aca: partial file",
          "[matroska,webm @ 0x1] [error] File ended prematurely",
          "[mp3 @ 0x1] [warning] filesize and duration do not match (growing file?)"})
        EXPECT_TRUE(tessaro::showsReadTrouble(line)) << line;
    for (const char* line : {"[info]   Duration: 00:32:48.00, start: 0.000000",
                             "[warning] Guessed Channel Layout for Input Stream #0.0 : mono",
                             "corrupt input packet without a level"})
        EXPECT_FALSE(tessaro::showsReadTrouble(line)) << line;

    tessaro::FfmpegJob job;
    job.input = "/v/a.flv";
    job.audioOnly = true;
    EXPECT_EQ(tessaro::withCause("Output file #0 does not contain any stream", job),
              "source has no audio stream: Output file #0 does not contain any stream");
    EXPECT_EQ(tessaro::withCause("file:/v/a.flv: Invalid data found when processing input", job),
              "source format is unreadable or unknown: file:/v/a.flv: Invalid data found when "
              "processing input");
    EXPECT_EQ(tessaro::withCause("Conversion failed!", job), "Conversion failed!");
}

}  // namespace
