#include <gtest/gtest.h>

#include <algorithm>

#include "engine/Commands.h"
#include "formats/FormatCatalogue.h"

using namespace tessaro;

TEST(FormatCatalogueTest, ListsAndExtensions) {
    ASSERT_EQ(formatList().size(), 16u);
    EXPECT_EQ(formatList()[0], "RMVB(RealPlayerRMVB)");
    EXPECT_EQ(formatList()[8], "MP3(纯音频格式)");
    EXPECT_EQ(outputFormat(kWebmVp9)->extension, ".webm");
    EXPECT_EQ(outputFormat(kMp4Hd)->extension, ".mp4");
    EXPECT_EQ(outputFormat(kMp4Phone)->extension, ".mp4");
    EXPECT_EQ(outputFormat(k3gp)->extension, ".3gp");
    EXPECT_EQ(outputFormat(16), nullptr);
    EXPECT_EQ(outputFormat(-1), nullptr);
    EXPECT_EQ(sampleRateList()[6], "12050");
    EXPECT_EQ(audioBitrateList()[7], "96");
    EXPECT_EQ(sampleRateList()[1], "44100");
}

TEST(FormatCatalogueTest, WhichFormatsRunTwoStages) {
    for (int i : {0, 1, 5, 6, 7}) EXPECT_TRUE(isTwoStage(i)) << i;
    for (int i : {2, 3, 4, 8, -1, 9, 15, 16}) EXPECT_FALSE(isTwoStage(i)) << i;
    EXPECT_EQ(outputFormat(kMp3)->stageOne, Encoder::Coder);
    EXPECT_EQ(outputFormat(k3gp)->stageTwo, Encoder::Coder2);
}

TEST(FormatCatalogueTest, Mp3AfterPhoneMp4KeepsTheVideoFields) {
    ParameterTexts p = withFormatDefaults(kMp4Phone, {});
    p = withFormatDefaults(kMp3, p);
    EXPECT_EQ(p.videoBitrate, "128");
    EXPECT_EQ(p.frameRate, "29");
    EXPECT_EQ(p.videoSize, "320x240");
    EXPECT_EQ(p.sampleRate, "48000");
    EXPECT_EQ(p.audioBitrate, "320");
    EXPECT_EQ(p.channelPosition, 1);
}

TEST(FormatCatalogueTest, NoSelectionChangesNothing) {
    ParameterTexts typed{"7", "8", "9x9", "10", "11", -1};
    ParameterTexts p = withFormatDefaults(-1, typed);
    EXPECT_EQ(p.videoBitrate, "7");
    EXPECT_EQ(p.channelPosition, -1);
    p = withFormatDefaults(kMpg, typed);
    EXPECT_EQ(p.sampleRate, "28000");
    EXPECT_EQ(p.frameRate, "24");
    EXPECT_EQ(p.videoSize, "原始大小");
}

// The rule of which fields a format reads holds for the commands as built: a
// field is read exactly when changing it changes a command of that format.
TEST(FormatCatalogueTest, FieldUseMatchesWhatTheCommandsSplice) {
    const CommandPaths paths{"/app", "/in.flv", "/out/clip-1.x", "/t/tmp.mp4"};
    const std::pair<Field, void (*)(ParameterTexts&)> changes[] = {
        {Field::VideoBitrate, [](ParameterTexts& p) { p.videoBitrate = "9991"; }},
        {Field::FrameRate, [](ParameterTexts& p) { p.frameRate = "9992"; }},
        {Field::VideoSize, [](ParameterTexts& p) { p.videoSize = "176x144"; }},
        {Field::SampleRate, [](ParameterTexts& p) { p.sampleRate = "9995"; }},
        {Field::AudioBitrate, [](ParameterTexts& p) { p.audioBitrate = "9996"; }},
        {Field::Channels, [](ParameterTexts& p) { p.channelPosition = p.channelPosition ? 0 : 1; }},
    };
    for (int format = 0; format < kFormatCount; ++format) {
        for (const char* size : {"原始大小", "352x288"}) {
            ParameterTexts base = withFormatDefaults(format, withFormatDefaults(kRmvb, {}));
            base.videoSize = size;
            const auto commands = [&](const ParameterTexts& p) {
                return stageOneCommand(format, paths, p) + "|" + stageTwoCommand(format, paths, p);
            };
            for (const auto& [field, change] : changes) {
                SCOPED_TRACE(testing::Message() << format << " " << size << " " << int(field));
                ParameterTexts changed = base;
                change(changed);
                const FieldUse use = fieldUse(format, size, field);
                EXPECT_EQ(use.read, commands(changed) != commands(base));
                EXPECT_EQ(use.kept.empty(), use.read);
            }
        }
    }
}

// Each field of a later format offers a list that holds the default the
// format writes (so a picked default reads back as picked), or is left alone
// together with its text; a field the format leaves is one it does not read.
TEST(FormatCatalogueTest, CurrentFormatsOfferTheirDefaultsAndLeaveWhatTheyDoNotRead) {
    const ParameterTexts before{"b", "f", "s", "r", "a", 1};
    for (int format = kFirstCurrentFormat; format < kFormatCount; ++format) {
        const ParameterTexts p = withFormatDefaults(format, before);
        const std::string texts[] = {p.videoBitrate, p.frameRate,    p.videoSize,
                                     p.sampleRate,   p.audioBitrate, {}};
        const std::string old[] = {"b", "f", "s", "r", "a", {}};
        for (int f = 0; f < kFieldCount; ++f) {
            const Field field = Field(f);
            SCOPED_TRACE(testing::Message() << format << " field " << f);
            const std::vector<std::string>* list = choiceList(format, field);
            if (!list) {
                EXPECT_FALSE(fieldUse(format, p.videoSize, field).read);
                if (field != Field::Channels) EXPECT_EQ(texts[f], old[f]);
                continue;
            }
            if (field == Field::Channels) {
                EXPECT_EQ((*list)[size_t(p.channelPosition)], "原始声道");
                continue;
            }
            EXPECT_NE(std::find(list->begin(), list->end(), texts[f]), list->end()) << texts[f];
        }
    }
    for (int format = 0; format < kFirstCurrentFormat; ++format)
        EXPECT_EQ(choiceList(format, Field::SampleRate), &sampleRateList());
    EXPECT_EQ(choiceList(kMp3, Field::VideoSize), nullptr);
    EXPECT_EQ(choiceList(kFormatCount, Field::VideoSize), nullptr);
}
