#include <gtest/gtest.h>

#include <chrono>

#include "engine/ProgressParser.h"
#include "present/StatusCaptions.h"

namespace tessaro {
namespace {

TEST(ProgressParserTest, MarkRotates) {
    EXPECT_EQ(advanceMark("-"), "\\");
    EXPECT_EQ(advanceMark("\\"), "|");
    EXPECT_EQ(advanceMark("|"), "/");
    EXPECT_EQ(advanceMark("/"), "-");
    EXPECT_EQ(advanceMark(""), "-");
}

struct StageOneRow {
    const char* chunk;
    bool shown;
    double fraction;
    double percent;
    const char* caption;  // with the mark "\" (one step from "-")
};

class StageOneTest : public testing::TestWithParam<StageOneRow> {};

TEST_P(StageOneTest, ReadsTheParenthesisedPercentage) {
    const StageOneRow& row = GetParam();
    std::string mark = "-";
    const auto reading = stageOneProgress(row.chunk, mark);
    EXPECT_EQ(mark, "\\");  // advanced on every chunk
    ASSERT_EQ(reading.has_value(), row.shown);
    if (!reading) return;
    EXPECT_NEAR(reading->fraction, row.fraction, 1e-12);
    EXPECT_EQ(reading->percent, row.percent);
    EXPECT_EQ(readingCaption(*reading), row.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, StageOneTest,
    testing::Values(StageOneRow{"Pos: 1.0s ( 7%) 3fps", true, 0.07, 7, "转换中\\ 7%"},
                    StageOneRow{"(100%)", true, 1, 100, "结束 100%"},
                    StageOneRow{"( 42%) then ( 99%)", true, 0.42, 42, "转换中\\ 42%"},
                    StageOneRow{"x(abc)y", true, 0, 0, "转换中\\ 0%"},
                    StageOneRow{"(12.5)", true, 0.12, 12, "转换中\\ 12%"},
                    StageOneRow{"(999)", false, 0, 0, ""},  // no percentage to show
                    StageOneRow{"no progress here (default)", false, 0, 0, ""},
                    StageOneRow{"( 7%", false, 0, 0, ""}, StageOneRow{"", false, 0, 0, ""}));

TEST(ProgressParserTest, StageOneMarkAdvancesAcrossChunks) {
    std::string mark = "-";
    EXPECT_EQ(readingCaption(*stageOneProgress("( 1%)", mark)), "转换中\\ 1%");
    EXPECT_FALSE(stageOneProgress("nothing", mark));
    EXPECT_EQ(readingCaption(*stageOneProgress("( 2%)", mark)), "转换中/ 2%");
    EXPECT_EQ(readingCaption(*stageOneProgress("( 3%)", mark)), "转换中- 3%");
}

TEST(ProgressParserTest, StageTwoLengthAndPositionInOneChunk) {
    std::string mark = "/";
    int32_t duration = 0;
    const auto d = stageTwoProgress(
        "  Duration: 00:00:07.00, start: 0.0\nframe= 1 time=2.00 bitrate=", mark, duration);
    EXPECT_EQ(duration, 7);
    ASSERT_TRUE(d);
    EXPECT_EQ(readingCaption(*d), "创建中- 28.5%");
    EXPECT_EQ(d->percent, 28.5);
    EXPECT_NEAR(d->fraction, 2.0 / 7, 1e-12);
}

TEST(ProgressParserTest, StageTwoReadsTheLengthOnce) {
    std::string mark = "-";
    int32_t duration = 0;
    EXPECT_FALSE(stageTwoProgress("  Duration: 00:01:40.00, start: 0.000000", mark, duration));
    EXPECT_EQ(duration, 100);
    EXPECT_EQ(mark, "\\");
    EXPECT_FALSE(stageTwoProgress("  Duration: 00:02:00.00, start: 0", mark, duration));
    EXPECT_EQ(duration, 100);
    EXPECT_EQ(readingCaption(*stageTwoProgress("time=25.04 bitrate=", mark, duration)),
              "创建中/ 25%");
}

TEST(ProgressParserTest, StageTwoLengthForms) {
    const struct {
        const char* chunk;
        int32_t length;  // 0: none read
    } rows[] = {
        {"Duration: 01:02:03.60, start", 3724},
        {"Duration: 00:00:07.00:99, start", 7},   // a fourth piece is left out
        {"Duration: 01:40.00, start", 0},         // minutes:seconds is no length
        {"Duration: 00:00:00.40, start", 0},      // rounds to nothing
        {"Duration: 999999:00:00.00, start", 0},  // past what the length can hold
        {"Duration: N/A, start", 0},
    };
    for (const auto& row : rows) {
        std::string mark = "-";
        int32_t duration = 0;
        stageTwoProgress(row.chunk, mark, duration);
        EXPECT_EQ(duration, row.length) << row.chunk;
    }
}

TEST(ProgressParserTest, StageTwoPositionForms) {
    struct Row {
        const char* chunk;
        bool shown;
        double value;
        const char* caption;
    } rows[] = {
        {"time=00:00:50.00 bitrate=", true, 50, "创建中\\ 50%"},  // hh:mm:ss
        {"time=01:40.00 bitrate=", true, 100, "完成 100%"},
        {"time=100.00 bitrate=", true, 100, "完成 100%"},
        {"time=250 bitrate=", true, 100, "完成 100%"},  // past the length
        {"time=33.4 bitrate=", true, 33, "创建中\\ 33%"},
        {"time=0.4 bitrate=", true, 0, "创建中\\ 0%"},
        {"time=1e999:-1e999 bitrate=", true, 0, "创建中\\ 0%"},  // infinities cancel out
        {"frame=12 fps=3", false, 0, ""},
        {"time=", false, 0, ""},  // nothing follows
    };
    for (const Row& r : rows) {
        std::string mark = "-";
        int32_t duration = 100;
        const auto d = stageTwoProgress(r.chunk, mark, duration);
        ASSERT_EQ(d.has_value(), r.shown) << r.chunk;
        EXPECT_EQ(mark, "\\");
        if (!d) continue;
        EXPECT_EQ(d->percent, r.value) << r.chunk;
        EXPECT_EQ(readingCaption(*d), r.caption) << r.chunk;
    }
}

TEST(ProgressParserTest, StageTwoWithoutLengthOnlyMovesTheMark) {
    std::string mark = "-";
    int32_t duration = 0;
    EXPECT_FALSE(stageTwoProgress("Duration: N/A, start: 0 time=3.00 bitrate=", mark, duration));
    EXPECT_EQ(duration, 0);
    EXPECT_EQ(mark, "\\");
}

TEST(ProgressParserTest, PercentTextAndLeadingNumber) {
    EXPECT_EQ(percentText(2.0 / 7), "28.5");
    EXPECT_EQ(percentText(0.25), "25");
    EXPECT_EQ(percentText(0.05), "5");
    EXPECT_EQ(percentText(0.123456), "12.3");
    EXPECT_EQ(leadingNumber("  7%"), 7);
    EXPECT_EQ(leadingNumber("40.00,"), 40);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber("-3.5x"), -3.5);
    EXPECT_EQ(leadingNumber("1e2s"), 100);
}

class CountingPump : public MessagePump {
public:
    void processEvents() override { ++calls; }
    int calls = 0;
};

TEST(ProgressParserTest, ScanPumpsAtMostEveryFewMilliseconds) {
    CountingPump pump;
    std::string chunk(1024, 'x');
    std::string mark = "-";
    int32_t duration = 0;
    for (int i = 0; i < 100; ++i) {
        stageOneProgress(chunk, mark, &pump);
        stageTwoProgress(chunk, mark, duration, &pump);
    }
    // 200 scans of 1024 positions finish in far less than the pump interval
    // each; the pump is not called per position.
    EXPECT_LT(pump.calls, 50);

    // A long scan does pump, about once per interval: never less than once
    // per three intervals on average.
    const std::string longChunk(40 * 1024 * 1024, 'x');
    for (int stage = 1; stage <= 2; ++stage) {
        SCOPED_TRACE(stage);
        CountingPump counted;
        const auto start = std::chrono::steady_clock::now();
        if (stage == 1)
            stageOneProgress(longChunk, mark, &counted);
        else
            stageTwoProgress(longChunk, mark, duration, &counted);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const auto intervals = static_cast<int>(elapsed / kPumpInterval);
        EXPECT_GE(intervals, 3) << "the scan is too quick to tell";
        EXPECT_GE(counted.calls, intervals / 3);
        EXPECT_LE(counted.calls, intervals + 1);
    }
}

}  // namespace
}  // namespace tessaro
