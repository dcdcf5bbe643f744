// What the encoders read of a source and the choices they make from it.
#include <gtest/gtest.h>

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

TEST(SourceFactsTest, StatsPeriodAndCauses) {
    for (const char* v : {"5.1.9-0+deb12u1", "4.4", "n4.4.1", "N-104465-g08a5d7 libavutil=56.72"})
        EXPECT_TRUE(tessaro::versionTakesStatsPeriod(v)) << v;
    for (const char* v : {"4.2.7-0ubuntu0.1", "4.1", "n4.3.2", "", "N-92722-gf22fcd4483 libavutil=56.24",
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
