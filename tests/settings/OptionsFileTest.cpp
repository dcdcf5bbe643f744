#include <gtest/gtest.h>

#include "helpers/TempFolder.h"
#include "settings/ComboValue.h"
#include "settings/OptionsFile.h"

namespace tessaro {

bool operator==(const Options& a, const Options& b) {
    return a.intSoundReminder == b.intSoundReminder && a.intMusicCutter == b.intMusicCutter &&
           a.lngCutFrom == b.lngCutFrom && a.lngCutTo == b.lngCutTo;
}

std::ostream& operator<<(std::ostream& out, const Options& o) {
    return out << o.intSoundReminder << ',' << o.intMusicCutter << ',' << o.lngCutFrom << ','
               << o.lngCutTo;
}

}  // namespace tessaro

using namespace tessaro;

namespace {

// Options read from a file holding `bytes`, starting from 7, 7, 7, 7 (and 9
// files at once, never the default) so that a value left alone shows.
Options readFrom(const std::string& bytes) {
    test::TempFolder folder;
    test::writeBytes(folder.file("options.ini"), bytes);
    Options options{7, 7, 7, 7, 9};
    readOptionsFile(folder.file("options.ini"), options);
    return options;
}

TEST(OptionsFileReadTest, Rows) {
    const struct {
        const char* bytes;
        Options expected;
    } rows[] = {
        {"1\r\n1\r\n90\r\n120\r\n", {1, 1, 90, 120}},
        {"1,1,90,120", {1, 1, 90, 120}},
        {"  0\n0\n  -30  \n45", {0, 0, -30, 45}},
        {"0.5\r\n1.5\r\n2.5\r\n3.5\r\n", {0, 2, 2, 4}},
        {"1.5e\r\n-3x\r\nabc\r\n\r\n", {2, -3, 0, 0}},
        {"32768\r\n-32769\r\n2147483648\r\n-2147483649\r\n", {7, 7, 7, 7}},
        {"32767\r\n-32768\r\n2147483647\r\n-2147483648\r\n",
         {32767, -32768, 2147483647, -2147483648}},
        {"32767.5\r\n1e999\r\n1e9\r\n-1e999\r\n", {7, 7, 1000000000, 7}},
        {"1\r\n0\r\n", {1, 0, 7, 7}},  // a short file leaves the rest
        {"1\r\n1\r\n90\r\n120\r\n3\r\n", {1, 1, 90, 120}},
        {"", {7, 7, 7, 7}},
    };
    for (const auto& row : rows) EXPECT_EQ(readFrom(row.bytes), row.expected) << row.bytes;
}

// The fifth line: a whole number from 1 to 16; anything else, or no line or
// no file, gives the default and never the old value.
TEST(OptionsFileReadTest, FifthLineIsTheJobsOrTheDefault) {
    EXPECT_EQ(readFrom("0\r\n0\r\n0\r\n0\r\n3\r\n").jobs, 3);
    EXPECT_EQ(readFrom("0,0,0,0, 16 ").jobs, 16);
    const int d = platform::defaultJobs();
    for (const char* bytes : {"0\r\n0\r\n0\r\n0\r\n", "0\r\n0\r\n0\r\n0\r\n\r\n", "0,0,0,0,3x",
                              "0,0,0,0,abc", "0,0,0,0,0", "0,0,0,0,17", ""})
        EXPECT_EQ(readFrom(bytes).jobs, d) << bytes;
    Options options{0, 0, 0, 0, 9};
    readOptionsFile(test::TempFolder().file("options.ini"), options);
    EXPECT_EQ(options.jobs, d);
}

TEST(OptionsFileReadTest, MissingFileGivesSoundOnAndCutterOffAndKeepsTheTimes) {
    test::TempFolder folder;
    Options options{1, 1, 90, 120};
    readOptionsFile(folder.file("options.ini"), options);
    EXPECT_EQ(options, (Options{0, 0, 90, 120}));
}

TEST(OptionsFileReadTest, UnreadableFileChangesNothing) {
    test::TempFolder folder;
    Options options{1, 1, 90, 120};
    readOptionsFile(folder.path(), options);  // a folder, not a file
    EXPECT_EQ(options, (Options{1, 1, 90, 120}));
}

TEST(OptionsFileReadTest, BinaryGarbageNeverCrashes) {
    std::string garbage;
    for (unsigned i = 0; i < 3u * 1024 * 1024; ++i) garbage += static_cast<char>((i * 7919u) % 256);
    const Options options = readFrom(garbage);
    (void)options;  // reaching here is the test
    EXPECT_EQ(readFrom(std::string(2'000'000, '9')), (Options{7, 7, 7, 7}));
}

TEST(OptionsFileWriteTest, FourBareLinesWithCrLf) {
    EXPECT_EQ(optionsFileText({1, 1, 90, 120}), "1\r\n1\r\n90\r\n120\r\n");
    EXPECT_EQ(optionsFileText({-1, 0, -5, 2147483647}), "-1\r\n0\r\n-5\r\n2147483647\r\n");

    test::TempFolder folder;
    const std::string path = folder.file("options.ini");
    ASSERT_TRUE(writeOptionsFile(path, {1, 1, 90, 120}));
    EXPECT_EQ(test::readBytes(path), "1\r\n1\r\n90\r\n120\r\n");
    Options back;
    readOptionsFile(path, back);
    EXPECT_EQ(back, (Options{1, 1, 90, 120}));
}

// Written after the four lines unless it is the default (which the
// four-line test above shows left out); every value reads back.
TEST(OptionsFileWriteTest, FifthLineAfterTheFourUnlessTheDefault) {
    EXPECT_EQ(optionsFileText({1, 1, 90, 120, 16}), "1\r\n1\r\n90\r\n120\r\n16\r\n");
    test::TempFolder folder;
    for (int jobs = 1; jobs <= platform::kMaxJobs; ++jobs) {
        ASSERT_TRUE(writeOptionsFile(folder.file("options.ini"), {0, 0, 0, 0, jobs}));
        Options back{0, 0, 0, 0, 9};
        readOptionsFile(folder.file("options.ini"), back);
        EXPECT_EQ(back.jobs, jobs);
    }
}

// The sixth and seventh lines: kept failed files (0 or 1) and the action
// after a batch (0 to 3), written only up to the last that is not the
// default, so that the jobs line stands before them even at its default.
TEST(OptionsFileWriteTest, LaterLinesReadBackAndDefaultWhenDamaged) {
    using After = Options::AfterBatch;
    const int d = platform::defaultJobs();
    const std::string jobs = std::to_string(d) + "\r\n";
    Options options;
    options.keepFailedFiles = false;
    EXPECT_EQ(optionsFileText(options), "0\r\n0\r\n0\r\n0\r\n" + jobs + "0\r\n");
    options.keepFailedFiles = true;
    options.afterBatch = After::ShutDown;
    EXPECT_EQ(optionsFileText(options), "0\r\n0\r\n0\r\n0\r\n" + jobs + "1\r\n3\r\n");

    const struct {
        const char* tail;  // after the four options and the jobs
        bool keep;
        After after;
    } rows[] = {
        {"", true, After::Nothing},         {"0", false, After::Nothing},
        {"1\r\n2", true, After::Sleep},     {"0\r\n1", false, After::Quit},
        {"2\r\n4", true, After::Nothing},   {"x\r\n-1", true, After::Nothing},
        {"1\r\n3.5", true, After::Nothing},
    };
    for (const auto& row : rows) {
        const Options back = readFrom("0\r\n0\r\n0\r\n0\r\n" + jobs + row.tail);
        EXPECT_EQ(back.keepFailedFiles, row.keep) << row.tail;
        EXPECT_EQ(back.afterBatch, row.after) << row.tail;
    }
}

TEST(OptionsFileWriteTest, FailedWriteReportsFalse) {
    test::TempFolder folder;
    EXPECT_FALSE(writeOptionsFile(folder.path(), {}));
    EXPECT_FALSE(writeOptionsFile(folder.file("no/such/options.ini"), {}));
}

CutterFields fields(const char* fromH, const char* fromM, const char* fromS, const char* toH,
                    const char* toM, const char* toS) {
    return {fromH, fromM, fromS, toH, toM, toS};
}

TEST(CheckCutterFieldsTest, FirstFailingCheckWins) {
    const struct {
        CutterFields fields;
        CutterField field;
        const char* text;
        const char* title;
    } rows[] = {
        {fields("0", "60", "0", "0", "0", "0"), CutterField::FromM, "分钟必须小于60", "分钟"},
        {fields("0", "75", "0", "0", "0", "99"), CutterField::FromM, "分钟必须小于60", "分钟"},
        {fields("0", "0", "99", "0", "60", "0"), CutterField::ToM, "分钟必须小于60", "分钟"},
        {fields("0", "0", "60", "0", "0", "60"), CutterField::FromS, "秒必须小于60", "秒"},
        {fields("0", "0", "0", "0", "0", "59.5"), CutterField::ToS, "秒必须小于60", "秒"},
        {fields("0", "1e2", "0", "0", "0", "0"), CutterField::FromM, "分钟必须小于60", "分钟"},
    };
    for (const auto& row : rows) {
        const auto problem = checkCutterFields(row.fields);
        ASSERT_TRUE(problem.has_value()) << row.text;
        EXPECT_EQ(problem->field, row.field);
        EXPECT_EQ(problem->text, row.text);
        EXPECT_EQ(problem->title, row.title);
    }
}

TEST(CheckCutterFieldsTest, PassingFields) {
    for (const CutterFields& f :
         {fields("0", "59", "59", "0", "59", "59"), fields("999", "1.5", "0", "-5", "-70", "x"),
          fields("", "", "", "", "", ""), fields("0", "59abc", "0", "0", "0", "0")}) {
        EXPECT_FALSE(checkCutterFields(f).has_value()) << f.fromM << ' ' << f.toM;
    }
}

TEST(ConfirmedOptionsTest, Rows) {
    const struct {
        CutterFields fields;
        bool checked;
        Options expected;
    } rows[] = {
        {fields("0", "1", "30", "0", "2", "0"), true, {1, 1, 90, 120}},
        {fields("0", "0", "0", "0", "0", "0"), true, {1, 0, 0, 0}},       // all zero unchecks
        {fields("0", "0.0", "abc", "", "0", "0"), true, {1, 0, 0, 0}},    // values, not texts
        {fields("0", "1.5", "0", "0", "0", "0.5"), true, {1, 1, 90, 0}},  // 0.5 s to even
        {fields("1", "2", "3", "0", "0", "1.5"), false, {1, 0, 3723, 2}},
        {fields("-1", "0", "0", "0", "0", "0"), true, {1, 1, -3600, 0}},
        // Does not fit 32 bits: the option keeps its current value.
        {fields("600000", "0", "0", "1e300", "0", "0"), true, {1, 1, 11, 22}},
    };
    const Options current{0, 0, 11, 22};
    for (const auto& row : rows)
        EXPECT_EQ(confirmedOptions(1, row.checked, row.fields, current), row.expected)
            << row.fields.fromH << ' ' << row.fields.fromM;
}

TEST(ConfirmedOptionsTest, FirstLineFiveShowsNoSelectionAndStoresMinusOne) {
    Options options;
    options.intSoundReminder = readFrom("5\r\n0\r\n0\r\n0\r\n").intSoundReminder;
    ASSERT_EQ(options.intSoundReminder, 5);
    ComboValue cmbSR({"ON", "OFF"});
    EXPECT_FALSE(cmbSR.setPosition(options.intSoundReminder));
    EXPECT_EQ(cmbSR.position(), -1);
    options = confirmedOptions(cmbSR.position(), false, CutterFields{}, options);
    EXPECT_EQ(options.intSoundReminder, -1);
    EXPECT_EQ(optionsFileText(options), "-1\r\n0\r\n0\r\n0\r\n");
}

TEST(FillBackTest, Rows) {
    const struct {
        int32_t seconds;
        const char *h, *m, *s;
    } rows[] = {{3723, "1", "2", "3"},
                {0, "0", "0", "0"},
                {59, "0", "0", "59"},
                {90, "0", "1", "30"},
                {3600, "1", "0", "0"},
                {-1, "-1", "59", "59"},
                {2147483647, "596523", "14", "7"},
                {-2147483647 - 1, "-596524", "45", "52"}};
    for (const auto& row : rows) {
        std::string h, m, s;
        fillBack(row.seconds, h, m, s);
        EXPECT_EQ(h, row.h) << row.seconds;
        EXPECT_EQ(m, row.m) << row.seconds;
        EXPECT_EQ(s, row.s) << row.seconds;
    }
}

TEST(FillBackTest, StoredTimeShowsBackAsItWasTyped) {
    const Options stored = confirmedOptions(0, true, fields("1", "2", "3", "0", "0", "0"));
    ASSERT_EQ(stored.lngCutFrom, 3723);
    CutterFields shown;
    fillBack(stored.lngCutFrom, shown.fromH, shown.fromM, shown.fromS);
    EXPECT_EQ(shown.fromH + ":" + shown.fromM + ":" + shown.fromS, "1:2:3");
}

}  // namespace
