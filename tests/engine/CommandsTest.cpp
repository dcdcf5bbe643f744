#include "engine/Commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/CommandLineText.h"
#include "encoders/EncoderOptions.h"

namespace tessaro {
namespace {

TEST(CommandsTest, FileAndBaseNames) {
    struct Row {
        const char* path;
        const char* fileName;
        const char* baseName;
    } rows[] = {
        {"/v/my.trip.flv", "my.trip.flv", "my"},
        {"/v/clip", "clip", "clip"},
        {"clip.flv", "clip.flv", "clip"},
        {"", "", ""},
        {"/v/", "", ""},
        {"/v/.hidden", ".hidden", ""},
        {"/a:b/c:d.flv", "c:d.flv", "c:d"},  // ':' ends nothing here
        {"C:\\v\\x.flv", "C:\\v\\x.flv", "C:\\v\\x"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(GetFileName(r.path), r.fileName) << r.path;
        EXPECT_EQ(GetBaseName(r.path), r.baseName) << r.path;
    }
}

TEST(CommandsTest, DesignedOutputPathHasNoLeadingZeros) {
    EXPECT_EQ(designedOutputPath("/out/", "/v/clip.flv", ".mpg", {9, 5, 7}), "/out/clip-957.mpg");
    EXPECT_EQ(designedOutputPath("/out", "/v/clip.flv", ".mpg", {9, 5, 7}), "/out/clip-957.mpg");
    // The known clash of the designed name: 1:15:07 and 11:05:07.
    EXPECT_EQ(designedOutputPath("/o/", "a.b.flv", ".mp3", {1, 15, 7}),
              designedOutputPath("/o/", "a.c.flv", ".mp3", {11, 5, 7}));
    EXPECT_EQ(designedOutputPath("/o/", "/x/noext", ".rm", {0, 0, 0}), "/o/noext-000.rm");
}

TEST(CommandsTest, OutputNamesAndFolders) {
    // No output name starts with the "-" of the time.
    for (const auto& [input, output] : {std::pair{"/v/.hidden clip.flv", "/o/hidden clip-957.mp3"},
                                        {"/v/..a.b.flv", "/o/a-957.mp3"},
                                        {"/v/...", "/o/output-957.mp3"}})
        EXPECT_EQ(fittedOutputPath("/o", input, ".mp3", {9, 5, 7}, 255), output) << input;
    struct Row {
        const char* text;
        const char* home;
        const char* folder;  // with the base "/b"
    } rows[] = {
        {"~", "/h/u", "/h/u/"},
        {"~//x/./y", "/h/u/", "/h/u/x/y/"},
        {"~x", "/h/u", "/b/~x/"},
        {"~/x", "", "/b/~/x/"},
        {"rel/dir", "/h/u", "/b/rel/dir/"},
        {"/abs/./d/../e", "/h/u", "/abs/e/"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(resolveOutputFolder(r.text, r.home, "/b"), r.folder) << r.text;
}

TEST(CommandsTest, UniqueOutputPathNeverReusesATakenName) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(testing::TempDir()) / "tessaro-unique";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string designed = (dir / "clip-957.mp4").string();
    EXPECT_EQ(uniqueOutputPath(designed, ".mp4"), designed);
    std::ofstream(designed) << "x";
    EXPECT_EQ(uniqueOutputPath(designed, ".mp4"), (dir / "clip-957_2.mp4").string());
    std::ofstream((dir / "clip-957_2.mp4").string()) << "x";
    EXPECT_EQ(uniqueOutputPath(designed, ".mp4"), (dir / "clip-957_3.mp4").string());
    fs::remove_all(dir);
}

struct CommandRow {
    int format;
    const char* size;
    int channel;
    const char* stageOne;
    const char* stageTwo;
};

class StageCommandsTest : public testing::TestWithParam<CommandRow> {};

TEST_P(StageCommandsTest, MatchTheTemplates) {
    const CommandRow& row = GetParam();
    ParameterTexts p;
    p.videoBitrate = "VB";
    p.frameRate = "F";
    p.videoSize = row.size;
    p.sampleRate = "R";
    p.audioBitrate = "BR";
    p.channelPosition = row.channel;
    const CommandPaths paths{"/app", "/in/a b.flv", "/out/a-957.x", "/tmp/t/tmp.mp4"};
    EXPECT_EQ(stageOneCommand(row.format, paths, p), row.stageOne);
    EXPECT_EQ(stageTwoCommand(row.format, paths, p), row.stageTwo);
}

constexpr const char* kIntermediateStageOne =
    "/app/data/conv \"/in/a b.flv\" -oac mp3lame -lameopts preset=320 -ovc lavc -lavcopts "
    "vcodec=mpeg4:vbitrate=1200 -of avi -o /tmp/t/tmp.mp4";
constexpr const char* kMpgStageOne =
    "/app/data/conv \"/in/a b.flv\" -oac lavc -lavcopts acodec=mp2:abitrate=BR -ovc lavc "
    "-lavcopts vcodec=mpeg1video:vbitrate=VB:vpass=1 -ofps F -of lavf -lavfopts "
    "format=yuv4mpeg -o \"/out/a-957.x\"";
constexpr const char* kMp4HdStageOne =
    "/app/data/conv \"/in/a b.flv\" -oac mp3lame -lameopts preset=BR -ovc lavc -lavcopts "
    "vcodec=mpeg4:vbitrate=VB -of avi -o \"/out/a-957.x\"";
constexpr const char* kRmSource =
    "/app/data/coder -i /tmp/t/tmp.mp4 -y -vcodec rv10 -b 1200k -f rm  -ab 128k -ac 2 "
    "\"/out/a-957.x\"";
constexpr const char* kRmSized =
    "/app/data/coder -i /tmp/t/tmp.mp4 -y -s 320x240 -vcodec rv10 -b VBk -f rm -ar R -ab BRk "
    "-ac 2 \"/out/a-957.x\"";
constexpr const char* kRmTypedChannel =
    "/app/data/coder -i /tmp/t/tmp.mp4 -y -s 320x240 -vcodec rv10 -b VBk -f rm -ar R -ab BRk "
    "-ac 0 \"/out/a-957.x\"";
constexpr const char* kPhoneSource =
    "/app/data/coder2 -i /tmp/t/tmp.mp4 -y -s 320x240 -vcodec mpeg4 -acodec amr_nb -ac 1 -ar "
    "8000 -ab 12.2k \"/out/a-957.x\"";
constexpr const char* kPhoneSized =
    "/app/data/coder2 -i /tmp/t/tmp.mp4 -y -s 176x144 -vcodec mpeg4 -acodec amr_nb -ac 1 -ar "
    "8000 -ab 12.2k \"/out/a-957.x\"";

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, StageCommandsTest,
    testing::Values(
        CommandRow{0, "原始大小", 1, kIntermediateStageOne, kRmSource},
        CommandRow{1, "原始大小", 0, kIntermediateStageOne, kRmSource},
        CommandRow{0, "320x240", 1, kIntermediateStageOne, kRmSized},
        CommandRow{1, "320x240", -1, kIntermediateStageOne, kRmTypedChannel},
        CommandRow{2, "原始大小", 1, kMpgStageOne, ""}, CommandRow{3, "320x240", 1, kMpgStageOne, ""},
        CommandRow{4, "原始大小", 1, kMp4HdStageOne, ""},
        CommandRow{5, "原始大小", 1, kIntermediateStageOne,
                   "/app/data/coder -i /tmp/t/tmp.mp4 -y -ac 2 -ar 48000 -ab 128k "
                   "\"/out/a-957.x\""},
        CommandRow{5, "640x480", 0, kIntermediateStageOne,
                   "/app/data/coder -i /tmp/t/tmp.mp4 -y -s 640x480 -ac 2 -ar 48000 -ab 128k "
                   "\"/out/a-957.x\""},
        CommandRow{6, "原始大小", 0, kIntermediateStageOne, kPhoneSource},
        CommandRow{7, "原始大小", 1, kIntermediateStageOne, kPhoneSource},
        CommandRow{6, "176x144", 0, kIntermediateStageOne, kPhoneSized},
        CommandRow{7, "176x144", -1, kIntermediateStageOne, kPhoneSized},
        CommandRow{8, "原始大小", 1,
                   "/app/data/coder -i \"/in/a b.flv\" -y -vn -ar R -ab BRk -ac 2 "
                   "\"/out/a-957.x\"",
                   ""},
        CommandRow{8, "原始大小", 0,
                   "/app/data/coder -i \"/in/a b.flv\" -y -vn -ar R -ab BRk -ac 1 "
                   "\"/out/a-957.x\"",
                   ""},
        CommandRow{8, "原始大小", -1,
                   "/app/data/coder -i \"/in/a b.flv\" -y -vn -ar R -ab BRk -ac 0 "
                   "\"/out/a-957.x\"",
                   ""},
        CommandRow{16, "原始大小", 1, "", ""}, CommandRow{-1, "原始大小", 1, "", ""}));

// With threads, each command is today's with one piece added where its
// encoder reads it, and one the encoder takes. Per format, from 0: 'l' in
// conv's video -lavcopts, 'o' before coder's output, '-' no such stage.
TEST(CommandsTest, ThreadsAreOnePieceTheEncodersTake) {
    const std::string stageOne = "lllllllloooooooo", stageTwo = "oo---ooo--------";
    ASSERT_EQ(stageOne.size(), std::size_t(kFormatCount));
    const auto added = [](std::string command, char at) {
        if (at == 'l')
            return command.insert(command.find(' ', command.find("vcodec=")), ":threads=3");
        return at == 'o' ? command.insert(command.rfind(" \""), " -threads 3") : command;
    };
    const CommandPaths paths{"/app", "/in/a b.flv", "/out/a-957.x", "/tmp/t/tmp.mp4"};
    for (int f = 0; f < kFormatCount; ++f) {
        for (const std::string_view size : {kSourceSize, std::string_view("320x240")}) {
            ParameterTexts p = withFormatDefaults(f, withFormatDefaults(0, {}));
            p.videoSize = size;
            SCOPED_TRACE(std::to_string(f) + " " + p.videoSize);
            const std::string one = stageOneCommand(f, paths, p, 3);
            const std::string two = stageTwoCommand(f, paths, p, 3);
            EXPECT_EQ(one, added(stageOneCommand(f, paths, p), stageOne[f]));
            EXPECT_EQ(two, added(stageTwoCommand(f, paths, p), stageTwo[f]));
            EXPECT_EQ(two.empty(), stageTwo[f] == '-');
            EXPECT_EQ(stageOneCommand(f, paths, p, -1), stageOneCommand(f, paths, p));
            EXPECT_EQ(refusedOptions(splitCommandLine(one)), "");
            EXPECT_EQ(two.empty() ? "" : refusedOptions(splitCommandLine(two)), "");
        }
    }
}

TEST(CommandsTest, ApplicationFolderWithBlanksIsQuoted) {
    const CommandPaths paths{"/my app", "/in/a.flv", "/out/a.mp3", "/tmp/t x/tmp.mp4"};
    EXPECT_EQ(stageOneCommand(kMp3, paths, ParameterTexts{"", "", "", "48000", "320", 1}),
              "\"/my app/data/coder\" -i \"/in/a.flv\" -y -vn -ar 48000 -ab 320k -ac 2 "
              "\"/out/a.mp3\"");
    EXPECT_EQ(stageOneCommand(kRmvb, paths, {}).substr(0, 21), "\"/my app/data/conv\" \"");
    EXPECT_NE(stageOneCommand(kRmvb, paths, {}).find("-o \"/tmp/t x/tmp.mp4\""), std::string::npos);
}

}  // namespace
}  // namespace tessaro
