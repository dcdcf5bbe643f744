// ffmpeg's log and progress lines fed to the readers of an encoder run: what
// they print and what they keep for the run's end.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "encoders/EncoderProgress.h"
#include "encoders/RunReaders.h"

namespace tessaro {
namespace {

constexpr const char* kInputReport = "Input #0, flv, from 'file:/in/a b.flv':";
constexpr const char* kTenSeconds = "  Duration: 00:00:10.00, start: 0.000000, bitrate: 400 kb/s";
constexpr const char* kPicture = "  Stream #0:0: Video: h264, yuv420p, 320x240, 300 kb/s, 25 fps";
constexpr const char* kSound = "  Stream #0:1: Audio: aac, 44100 Hz, stereo, fltp, 100 kb/s";
constexpr const char* kOutputReport = "Output #0, avi, to 'file:/out/x.tessaro-1.avi':";

struct ReadersRow {
    const char* name;
    ProgressForm form;
    // "L text": a log line, "P key=value": a progress line, "END": the
    // output is complete.
    std::vector<std::string> lines;
    std::vector<std::string> said, notSaid;  // pieces of what was printed
    std::function<void(const RunReaders&)> check;
};

TEST(RunReadersTest, PrintsProgressAndKeepsWhatTheEndNeeds) {
    const std::string percentAt5 = convProgressText(50, 5, 125);
    const ReadersRow rows[] = {
        {"PercentUpToTheFinishedFile",
         ProgressForm::Percent,
         {std::string("L ") + kInputReport, std::string("L ") + kTenSeconds,
          std::string("L ") + kPicture, std::string("L ") + kOutputReport, "P frame=125",
          "P out_time_us=5000000"},
         {percentAt5, convProgressText(0, 5, 125)},
         {"(51%)", "(100%)", "Duration"},
         [](const RunReaders& r) {
             EXPECT_TRUE(r.durationSeen());
             EXPECT_DOUBLE_EQ(r.duration(), 10);
             EXPECT_DOUBLE_EQ(r.position(), 5);
             EXPECT_EQ(r.frames(), 125);
         }},
        {"PercentFinished",
         ProgressForm::Percent,
         {std::string("L ") + kTenSeconds, std::string("L ") + kOutputReport,
          "P out_time_us=2000000", "END"},
         {convProgressText(99, 10, 0), convProgressText(100, 10, 0) + "\n"},
         {},
         nullptr},
        // a header that claims a hundredth of a second never shows 100 early
        {"TinyDurationStopsAt99",
         ProgressForm::Percent,
         {"L   Duration: 00:00:00.01, start: 0", "L Stream mapping:", "P out_time_us=9000000",
          "P out_time_us=N/A"},
         {"(99%)"},
         {"(100%)"},
         [](const RunReaders& r) { EXPECT_DOUBLE_EQ(r.position(), 9); }},
        {"DurationThenTimes",
         ProgressForm::DurationTime,
         {std::string("L ") + kTenSeconds, "L   Stream #0:0: Audio: mp3, 44100 Hz",
          "L           DURATION        : 00:00:07.500000000", std::string("L ") + kOutputReport,
          "P out_time_us=1500000", "END"},
         {durationText("00:00:07.50"), timeText(1.5), "\n"},
         {"Pos:"},
         [](const RunReaders& r) { EXPECT_DOUBLE_EQ(r.duration(), 7.5); }},
        {"OutputErrorUnderTheNameAsked",
         ProgressForm::Percent,
         {"L [error] file:/out/x.tessaro-1.avi: No space left on device"},
         {},
         {"No space"},
         [](const RunReaders& r) {
             EXPECT_EQ(r.lastError(), "/out/x.avi: No space left on device");
             EXPECT_EQ(r.outputError(), r.lastError());
         }},
        {"SourceErrorIsNoOutputError",
         ProgressForm::Percent,
         {"L [error] file:/in/a b.flv: Invalid data found when processing input"},
         {},
         {},
         [](const RunReaders& r) {
             EXPECT_EQ(r.lastError(), "/in/a b.flv: Invalid data found when processing input");
             EXPECT_EQ(r.outputError(), "");
         }},
        {"WriteFailureAtTheEnd",
         ProgressForm::Percent,
         {"L [error] av_interleaved_write_frame(): Input/output error"},
         {},
         {},
         [](const RunReaders& r) { EXPECT_EQ(r.outputError(), r.lastError()); }},
        {"UndecodableSoundIsTold",
         ProgressForm::Percent,
         {std::string("L ") + kPicture, std::string("L ") + kSound,
          std::string("L ") + kOutputReport,
          "L [aac @ 0x1] [error] Error while decoding stream #0:1: Invalid data found",
          "L [info] video:120kB audio:0kB subtitle:0kB other streams:0kB"},
         {},
         {},
         [](const RunReaders& r) {
             EXPECT_EQ(r.soundError(), "Error while decoding stream #0:1: Invalid data found");
             EXPECT_FALSE(r.pictureFailed());
             EXPECT_EQ(r.soundKbytes(), 0);
             EXPECT_TRUE(r.readTrouble());
         }},
        {"PictureFailedBeforeAnyFrame",
         ProgressForm::Percent,
         {std::string("L ") + kPicture, std::string("L ") + kSound,
          std::string("L ") + kOutputReport,
          "L [h264 @ 0x2] [error] Error while decoding stream #0:0: Invalid data found"},
         {},
         {},
         [](const RunReaders& r) {
             EXPECT_TRUE(r.pictureFailed());
             EXPECT_EQ(r.soundError(), "");
             EXPECT_EQ(r.soundKbytes(), -1);
         }},
        {"PictureDecodedOnceIsNoFailure",
         ProgressForm::Percent,
         {std::string("L ") + kPicture, std::string("L ") + kOutputReport, "P frame=3",
          "L [h264 @ 0x2] [error] Error while decoding stream #0:0: Invalid data found"},
         {},
         {},
         [](const RunReaders& r) { EXPECT_FALSE(r.pictureFailed()); }},
        {"WarningOfLostDataIsReadTrouble",
         ProgressForm::Percent,
         {"L [warning] Stream #0: not enough frames to estimate rate",
          "L [mov @ 0x3] [warning] Packet corrupt (stream = 0, dts = 17)"},
         {},
         {},
         [](const RunReaders& r) {
             EXPECT_TRUE(r.readTrouble());
             EXPECT_FALSE(r.durationSeen());
         }},
    };
    for (const ReadersRow& row : rows) {
        SCOPED_TRACE(row.name);
        FfmpegJob asked;
        asked.input = "/in/a b.flv";
        asked.output = "/out/x.avi";
        std::string said;
        RunReaders readers(asked, "/out/x.tessaro-1.avi", row.form,
                           [&said](const std::string& text) { said += text; });
        for (const std::string& line : row.lines) {
            if (line == "END")
                readers.finishProgress();
            else if (line[0] == 'L')
                readers.logLine(line.substr(2));
            else
                readers.progressLine(line.substr(2));
        }
        for (const std::string& piece : row.said)
            EXPECT_NE(said.find(piece), std::string::npos) << piece << " in " << said;
        for (const std::string& piece : row.notSaid)
            EXPECT_EQ(said.find(piece), std::string::npos) << piece << " in " << said;
        if (row.check) row.check(readers);
    }
}

}  // namespace
}  // namespace tessaro
