// What the encoders read of a source and the choices they make from it.
#include <gtest/gtest.h>

#include <algorithm>

#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"
#include "encoders/SourceProbe.h"

namespace {

// The picture as shown, the lower frame rate, the tags that describe the
// recording; the codec tag's "0x3163..." is no size.
TEST(SourceFactsTest, ReadsThePictureAsShownAndTheTags) {
    const tessaro::SourceFacts f = tessaro::sourceFactsFrom(
        "Input #0, mpeg, from 'file:a':\n  Stream #0:0: Video: mpeg2video (mp2v / 0x3163), "
        "720x480 [SAR 32:27 DAR 16:9], 29.97 fps, 59.94 tbr\n"
        "      displaymatrix: rotation of -90.00 degrees\n  Stream #0:1: Audio: vorbis, 44100 Hz\n"
        "    Metadata:\n      TITLE           : not the container's\n      album           : Sea\n"
        "                      : side B\n",
        ";FFMETADATA1\nmajor_brand=isom\ntitle=a\\=b\nARTIST=two\\\nlines\nencoder=Lavf\n[STREAM]"
        "\n");
    EXPECT_EQ(f.displayWidth, 480);
    EXPECT_EQ(f.displayHeight, 853);
    EXPECT_DOUBLE_EQ(f.framesPerSecond, 29.97);
    using Tags = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(tessaro::descriptiveTags(f),
              (Tags{{"title", "a=b"}, {"artist", "two\nlines"}, {"album", "Sea\nside B"}}));
}

// Cover pictures are no picture: a video format takes the picture and sound
// without them, an MP3 keeps the first as its picture frame. RealMedia takes
// a whole frame rate.
TEST(SourceFactsTest, CoversAndFrameRatesShapeTheJob) {
    const auto noAmr = [](const std::string&) { return false; };
    const std::vector<std::string> rm = {"-i",    "s",  "-y", "-vcodec", "rv10", "-b",
                                         "1200k", "-f", "rm", "-ab",     "128k", "o.rm"};
    const std::vector<std::string> mp3 = {"-i", "s", "-y", "-vn", "-ab", "128k", "o.mp3"};
    struct Row {
        const char* streams;
        int mainVideo, firstCover;
        // Consecutive options each job holds; the MP3's in two pairs.
        std::vector<std::string> rmHas, mp3Has;
        bool keepsPicture;
    } rows[] = {
        {"Audio: mp3, 44100 Hz\n  Stream #0:1: Video: bmp, 1200x1200, 90k tbr (attached pic)\n"
         "  Stream #0:2: Video: mjpeg (Baseline), 600x600, 90k tbr (attached pic)",
         -1,
         0,
         {"-map", "0:V:0?", "-map", "0:a:0?"},
         {"-map", "0:v:0", "-c:v", "png"},
         false},
        {"Video: mjpeg, 600x600 (attached pic)\n  Stream #0:1: Video: h264, 640x360, 59.94 fps, "
         "59.94 tbr\n  Stream #0:2: Audio: aac",
         0,
         0,
         {"-map", "0:V:0?", "-map", "0:a:0?"},
         {"-map", "0:v:0", "-c:v", "copy"},
         true},
        {"Video: h264, 320x240, 29.97 fps, 29.97 tbr\n  Stream #0:1: Audio: aac",
         0,
         -1,
         {"-r", "30"},
         {"-vn", "-b:a", "-vn", "-b:a"},
         true},
        {"Video: h264, 320x240, 59.94 fps, 59.94 tbr",
         0,
         -1,
         {"-r", "60"},
         {"-vn", "-b:a", "-vn", "-b:a"},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.streams);
        const tessaro::SourceFacts f = tessaro::sourceFactsFrom(
            "Input #0, mov:\n  Stream #0:0: " + std::string(row.streams) + "\n", "");
        EXPECT_EQ(f.mainVideo, row.mainVideo);
        EXPECT_EQ(f.firstCover, row.firstCover);
        const auto holds = [](const std::vector<std::string>& all,
                              const std::vector<std::string>& part) {
            return std::search(all.begin(), all.end(), part.begin(), part.end()) != all.end();
        };
        const tessaro::FfmpegJob video = tessaro::coderJob(rm, noAmr, &f);
        EXPECT_TRUE(holds(video.outputOptions, row.rmHas))
            << ::testing::PrintToString(video.outputOptions);
        EXPECT_EQ(video.keepsPicture, row.keepsPicture);
        const tessaro::FfmpegJob audio = tessaro::coderJob(mp3, noAmr, &f);
        EXPECT_TRUE(holds(audio.outputOptions, {row.mp3Has.begin(), row.mp3Has.begin() + 2}) &&
                    holds(audio.outputOptions, {row.mp3Has.begin() + 2, row.mp3Has.end()}))
            << ::testing::PrintToString(audio.outputOptions);
        EXPECT_EQ(holds(audio.outputOptions, {"-vn"}), row.firstCover < 0);
        EXPECT_EQ(holds(video.outputOptions, {"-map"}), row.firstCover >= 0);
        EXPECT_FALSE(audio.keepsPicture);
    }
    // ffmpeg's reason when it cannot read the source at all.
    const tessaro::SourceFacts unread =
        tessaro::sourceFactsFrom("file:/v/a.flv: could not find codec parameters\n", "");
    EXPECT_FALSE(unread.probed);
    EXPECT_EQ(unread.error, "file:/v/a.flv: could not find codec parameters");
}

TEST(SourceFactsTest, StatsPeriodAndCauses) {
    for (const char* v : {"5.1.9-0+deb12u1", "4.4", "n4.4.1", "N-104465-g08a5d7 libavutil=56.72"})
        EXPECT_TRUE(tessaro::versionTakesStatsPeriod(v)) << v;
    for (const char* v :
         {"4.2.7-0ubuntu0.1", "4.1", "n4.3.2", "", "N-92722-gf22fcd4483 libavutil=56.24",
          "N-104465-g08a5d7", "5.1 libavutil=x"})
        EXPECT_FALSE(tessaro::versionTakesStatsPeriod(v)) << v;
    tessaro::FfmpegJob job;
    job.input = "/v/a.flv";
    job.audioOnly = true;
    EXPECT_EQ(tessaro::withCause("Output file #0 does not contain any stream", job),
              "source has no audio stream: Output file #0 does not contain any stream");
    EXPECT_EQ(tessaro::withCause("file:/v/a.flv: Invalid data found when processing input", job)
                  .rfind("source format is unreadable or unknown: file:/v/a.flv: ", 0),
              0u);
}

}  // namespace
