#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "TestPanel.h"
#include "helpers/ParameterChecks.h"
#include "helpers/TempFolder.h"
#include "settings/SetupFile.h"

using namespace tessaro;
using test::TestPanel;

namespace {

// ---- Applying the format defaults ----

struct DefaultsRow {
    int index;
    const char *vb, *f, *s, *r, *br;
    int vbPos, fPos, sPos, rPos, brPos, channel;
};

class FormatDefaultsTest : public testing::TestWithParam<DefaultsRow> {};

TEST_P(FormatDefaultsTest, SelectingAFormatWritesItsDefaults) {
    const DefaultsRow& row = GetParam();
    TestPanel p;
    p.cmbVB.typeText("typed");
    p.cmbF.typeText("typed");
    p.cmbS.typeText("typed");
    p.cmbOF.setPosition(row.index);
    applyFormatDefaults(p.panel);
    EXPECT_EQ(p.cmbVB.text(), row.vb);
    EXPECT_EQ(p.cmbF.text(), row.f);
    EXPECT_EQ(p.cmbS.text(), row.s);
    EXPECT_EQ(p.cmbR.text(), row.r);
    EXPECT_EQ(p.cmbBR.text(), row.br);
    EXPECT_EQ(p.cmbVB.position(), row.vbPos);
    EXPECT_EQ(p.cmbF.position(), row.fPos);
    EXPECT_EQ(p.cmbS.position(), row.sPos);
    EXPECT_EQ(p.cmbR.position(), row.rPos);
    EXPECT_EQ(p.cmbBR.position(), row.brPos);
    EXPECT_EQ(p.cmbChannel.position(), row.channel);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, FormatDefaultsTest,
    testing::Values(
        DefaultsRow{kRmvb, "1200", "29", "原始大小", "44100", "320", -1, 2, 0, 1, 13, 1},
        DefaultsRow{kRm, "1200", "29", "原始大小", "44100", "320", -1, 2, 0, 1, 13, 1},
        DefaultsRow{kMpg, "600", "24", "原始大小", "28000", "64", 7, -1, 0, -1, 5, 1},
        DefaultsRow{kAvi, "600", "24", "原始大小", "28000", "64", 7, -1, 0, -1, 5, 1},
        DefaultsRow{kMp4Hd, "1200", "29", "原始大小", "48000", "320", -1, 2, 0, 0, 13, 1},
        DefaultsRow{kMov, "256", "29", "原始大小", "48000", "64", 4, 2, 0, 0, 5, 1},
        DefaultsRow{kMp4Phone, "128", "29", "320x240", "8000", "12.2", 3, 2, 5, 7, 1, 0},
        DefaultsRow{k3gp, "128", "29", "320x240", "8000", "12.2", 3, 2, 5, 7, 1, 0},
        // MP3 writes the audio fields only: the typed video texts stay.
        DefaultsRow{kMp3, "typed", "typed", "typed", "48000", "320", -1, -1, -1, 0, 13, 1}));

TEST(FormatDefaultsTest, Mp3AfterPhoneMp4KeepsTheVideoFields) {
    TestPanel p;
    p.cmbOF.setPosition(kMp4Phone);
    applyFormatDefaults(p.panel);
    p.cmbOF.setPosition(kMp3);
    applyFormatDefaults(p.panel);
    EXPECT_EQ(p.cmbVB.text(), "128");
    EXPECT_EQ(p.cmbF.text(), "29");
    EXPECT_EQ(p.cmbS.text(), "320x240");
    EXPECT_EQ(p.cmbR.text(), "48000");
    EXPECT_EQ(p.cmbBR.text(), "320");
    EXPECT_EQ(p.cmbChannel.position(), 1);
}

ParameterTexts panelTexts(const TestPanel& p) {
    return {p.cmbVB.text(), p.cmbF.text(),  p.cmbS.text(),
            p.cmbR.text(),  p.cmbBR.text(), p.cmbChannel.position()};
}

std::array<const ComboValue*, kFieldCount> fieldsOf(const TestPanel& p) {
    return {&p.cmbVB, &p.cmbF, &p.cmbS, &p.cmbR, &p.cmbBR, &p.cmbChannel};
}

// Whatever format came before, choosing one gives the panel the parameters
// the command line derives for it, and each field the format's list (or the
// one it had, where the format leaves the field).
TEST(FormatDefaultsTest, EveryFormatAfterEveryOtherMatchesTheCatalogue) {
    for (int from = 0; from < kFormatCount; ++from) {
        for (int to = 0; to < kFormatCount; ++to) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            TestPanel p;
            p.selectStartupDefaults();
            for (ComboValue* typed : {&p.cmbVB, &p.cmbF, &p.cmbS, &p.cmbBR}) typed->typeText("7");
            p.cmbOF.setPosition(from);
            applyFormatDefaults(p.panel);
            const ParameterTexts before = panelTexts(p);
            std::array<std::vector<std::string>, kFieldCount> listsBefore;
            for (int f = 0; f < kFieldCount; ++f)
                listsBefore[size_t(f)] = fieldsOf(p)[size_t(f)]->list();

            p.cmbOF.setPosition(to);
            applyFormatDefaults(p.panel);
            const ParameterTexts want = withFormatDefaults(to, before);
            const ParameterTexts got = panelTexts(p);
            test::expectSameParameters(got, want);
            for (int f = 0; f < kFieldCount; ++f) {
                const ComboValue& field = *fieldsOf(p)[size_t(f)];
                const std::vector<std::string>* own = choiceList(to, Field(f));
                EXPECT_EQ(field.list(), own ? *own : listsBefore[size_t(f)]) << "field " << f;
                // The later formats write entries of their own lists only.
                if (own && isCurrentFormat(to)) {
                    EXPECT_GE(field.position(), 0) << "field " << f << " " << field.text();
                }
            }
        }
    }
}

TEST(FormatDefaultsTest, LosslessFormatsLeaveTheBitrateAsItStands) {
    const std::vector<std::string>& aac = *choiceList(kM4a, Field::AudioBitrate);
    const std::vector<std::string>& opus = *choiceList(kOpus, Field::AudioBitrate);
    const struct {
        int format;
        const char* typed;  // typed into cmbBR before choosing the format
        const char* text;
        const std::vector<std::string>* list;
    } steps[] = {
        {kM4a, nullptr, "256", &aac},
        {kFlac, nullptr, "256", &aac},
        {kWav, "999", "999", &aac},
        {kFlac, nullptr, "999", &aac},
        {kOpus, nullptr, "160", &opus},
        {kWav, nullptr, "160", &opus},
        {kMp3, nullptr, "320", &audioBitrateList()},
    };
    TestPanel p;
    p.selectStartupDefaults();
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << step.format << " " << (step.typed ? step.typed : ""));
        if (step.typed) p.cmbBR.typeText(step.typed);
        p.cmbOF.setPosition(step.format);
        applyFormatDefaults(p.panel);
        EXPECT_EQ(p.cmbBR.text(), step.text);
        EXPECT_EQ(p.cmbBR.list(), *step.list);
        EXPECT_EQ(p.cmbChannel.list().size(), step.format == kMp3 ? 2u : 3u);
    }
}

TEST(FormatDefaultsTest, NoSelectionDoesNothing) {
    TestPanel p;
    p.cmbR.typeText("11025");
    p.cmbChannel.typeText("3");
    applyFormatDefaults(p.panel);
    EXPECT_EQ(p.cmbR.text(), "11025");
    EXPECT_EQ(p.cmbChannel.position(), -1);
    EXPECT_EQ(p.cmbVB.text(), "");
}

TEST(FormatDefaultsTest, StartupDefaultsShowRmvb) {
    TestPanel p;
    p.selectStartupDefaults();
    EXPECT_EQ(p.cmbOF.position(), kRmvb);
    EXPECT_EQ(p.cmbVB.text(), "1200");
    EXPECT_EQ(p.cmbBR.text(), "320");
    EXPECT_EQ(p.cmbR.text(), "44100");
    EXPECT_EQ(p.txtPath, test::kDefaultFolder);
}

// ---- The file ----

TEST(SetupFileWriteTest, FiveQuotedLinesWithCrLf) {
    EXPECT_EQ(setupFileText({7, 1, 1, "/home/u/out", 0}),
              "\"7\"\r\n\"1\"\r\n\"1\"\r\n\"/home/u/out\"\r\n\"0\"\r\n");
    EXPECT_EQ(setupFileText({-1, -1, -1, "", -1}),
              "\"-1\"\r\n\"-1\"\r\n\"-1\"\r\n\"\"\r\n\"-1\"\r\n");
    // A folder that would break the line structure is not stored.
    EXPECT_EQ(setupFileText({1, 2, 0, "/a\nb", 8}), "\"1\"\r\n\"2\"\r\n\"0\"\r\n\"\"\r\n\"8\"\r\n");
}

TEST(SetupFileRoundTripTest, EveryFieldSurvives) {
    test::TempFolder folder;
    const std::string path = folder.file("setup.ini");
    for (const std::string& outputFolder :
         {std::string("/home/u/out,put"), std::string("/媒体/输出 文件夹"),
          std::string("  spaced  "), std::string("/a \"quoted\" name"), std::string("/x,\"y\",z"),
          std::string("/\xff\xfe not UTF-8")}) {
        const SetupValues values{13, 6, 0, outputFolder, 8};
        ASSERT_TRUE(writeSetupFile(path, values));
        const auto fields = readSetupFile(path);
        ASSERT_TRUE(fields.has_value());
        EXPECT_EQ(fields->audioBitratePosition, 13);
        EXPECT_EQ(fields->sampleRatePosition, 6);
        EXPECT_EQ(fields->channelPosition, 0);
        EXPECT_EQ(fields->outputFolder, outputFolder);
        EXPECT_EQ(fields->formatIndex, 8);
    }
}

TEST(SetupFileReadTest, MissingAndUnreadable) {
    test::TempFolder folder;
    EXPECT_FALSE(readSetupFile(folder.file("setup.ini")).has_value());
    const auto fields = readSetupFile(folder.path());
    ASSERT_TRUE(fields.has_value());
    EXPECT_FALSE(fields->audioBitratePosition || fields->sampleRatePosition ||
                 fields->channelPosition || fields->outputFolder || fields->formatIndex);
}

// ---- Restoring onto the panel ----

struct RestoreRow {
    const char* name;
    std::string bytes;
    const char *br, *r;
    int channel, format;
    const char* vb;
    std::string path;
};

class RestoreSetupTest : public testing::TestWithParam<RestoreRow> {};

TEST_P(RestoreSetupTest, AppliesTheFieldsInFileOrder) {
    const RestoreRow& row = GetParam();
    test::TempFolder folder;
    test::writeBytes(folder.file("setup.ini"), row.bytes);
    TestPanel p;
    p.selectStartupDefaults();
    const auto fields = readSetupFile(folder.file("setup.ini"));
    ASSERT_TRUE(fields.has_value());
    restoreSetup(*fields, p.panel, test::kDefaultFolder);
    EXPECT_EQ(p.cmbBR.text(), row.br);
    EXPECT_EQ(p.cmbR.text(), row.r);
    EXPECT_EQ(p.cmbChannel.position(), row.channel);
    EXPECT_EQ(p.cmbOF.position(), row.format);
    EXPECT_EQ(p.cmbVB.text(), row.vb);
    EXPECT_EQ(p.txtPath, row.path);
}

const std::string kDefault = test::kDefaultFolder;

INSTANTIATE_TEST_SUITE_P(
    Rows, RestoreSetupTest,
    testing::Values(
        // Format 8: the MP3 audio defaults whatever lines 1 to 3 held; the
        // video fields keep the RMVB defaults.
        RestoreRow{"FifthLineEight", "\"0\"\r\n\"7\"\r\n\"0\"\r\n\"/out\"\r\n\"8\"\r\n", "320",
                   "48000", 1, kMp3, "1200", "/out"},
        // The unchanged format still runs its defaults over lines 1 to 3.
        RestoreRow{"SameFormatStillOverwrites", "\"0\"\r\n\"7\"\r\n\"0\"\r\n\"/out\"\r\n\"0\"\r\n",
                   "320", "44100", 1, kRmvb, "1200", "/out"},
        RestoreRow{"FifthLineNotANumber", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"/out\"\r\n\"mp3\"\r\n",
                   "48", "32000", 0, kRmvb, "1200", "/out"},
        // An index outside the catalogue is a damaged line: the first format
        // stays, with the audio fields of lines 1 to 3.
        RestoreRow{"FifthLineOutsideTheList", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"/out\"\r\n\"16\"\r\n",
                   "48", "32000", 0, kRmvb, "1200", "/out"},
        RestoreRow{"FifthLineFarOutside", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"/out\"\r\n\"99999\"\r\n",
                   "48", "32000", 0, kRmvb, "1200", "/out"},
        // -1 would leave the window without a format: the first one stays.
        RestoreRow{"FifthLineMinusOne", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"/out\"\r\n\"-1\"\r\n", "48",
                   "32000", 0, kRmvb, "1200", "/out"},
        // A later format brings its lists: its defaults are entries of them.
        RestoreRow{"FifthLineH264", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"/out\"\r\n\"9\"\r\n", "160",
                   "原始频率", kSourceChannels, kMp4H264, "自动", "/out"},
        // FLAC has no bitrate: line 1 stays, as do the RMVB video fields.
        RestoreRow{"FifthLineFlac", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"/out\"\r\n\"13\"\r\n", "48",
                   "原始频率", kSourceChannels, kFlac, "1200", "/out"},
        // Lines that are no number or outside their list leave the field.
        RestoreRow{"BadPositions", "\"99\"\r\n\"x\"\r\n\"2\"\r\n\"/out\"\r\n\"\"\r\n", "320",
                   "44100", 1, kRmvb, "1200", "/out"},
        RestoreRow{"MinusOneClearsAPosition", "\"-1\"\r\n\"1.5\"\r\n\" 0 \"\r\n", "320", "32000", 0,
                   kRmvb, "1200", kDefault},
        RestoreRow{"EmptyFolderLine", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"\"\r\n\"x\"\r\n", "48", "32000",
                   0, kRmvb, "1200", kDefault},
        RestoreRow{"CommaInFolder", "\"3\"\r\n\"2\"\r\n\"0\"\r\n\"/a,b\"\r\n\"z\"\r\n", "48",
                   "32000", 0, kRmvb, "1200", "/a,b"},
        RestoreRow{"UnquotedFolderEndsAtComma", "3\r\n2\r\n0\r\n  /a,b  \r\n", "48", "32000", 0,
                   kRmvb, "1200", "/a"},
        RestoreRow{"TwoLines", "\"3\"\r\n\"2\"\r\n", "48", "32000", 1, kRmvb, "1200", kDefault},
        RestoreRow{"EmptyFile", "", "320", "44100", 1, kRmvb, "1200", kDefault},
        RestoreRow{"LfOnlyAndNoFinalLineEnd", "\"3\"\n\"2\"\n\"0\"\n\"/lf\"\n\"6\"", "12.2", "8000",
                   0, kMp4Phone, "128", "/lf"}),
    [](const testing::TestParamInfo<RestoreRow>& info) { return info.param.name; });

TEST(RestoreSetupTest, GarbageNeverCrashesAndLeavesASaneWindow) {
    test::TempFolder folder;
    const std::string path = folder.file("setup.ini");
    std::string garbage;
    for (int i = 0; i < 4 * 1024 * 1024; ++i) garbage += static_cast<char>((i * 2654435761u) >> 24);
    for (const std::string& bytes :
         {garbage, std::string(3 * 1024 * 1024, '"'), std::string(3 * 1024 * 1024, '\0'),
          std::string(2 * 1024 * 1024, ','), std::string(2 * 1024 * 1024, '\n')}) {
        test::writeBytes(path, bytes);
        TestPanel p;
        p.selectStartupDefaults();
        const auto fields = readSetupFile(path);
        ASSERT_TRUE(fields.has_value());
        ASSERT_LE(fields->outputFolder.value_or("").size(), 64u * 1024);
        restoreSetup(*fields, p.panel, test::kDefaultFolder);
        EXPECT_FALSE(p.txtPath.empty());
        EXPECT_GE(p.cmbOF.position(), 0);
        EXPECT_LT(p.cmbOF.position(), kFormatCount);
    }
}

}  // namespace
