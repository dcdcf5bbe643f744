// setup.ini and options.ini in the ANSI code page (936 under the test's
// locale): files of earlier versions in GBK load, and any folder survives.
#include <gtest/gtest.h>

#include "helpers/WinTestSupport.h"
#include "settings/OptionsFile.h"
#include "settings/SetupFile.h"

using namespace tessaro;
using namespace tessaro::testing;

namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(platform::nativePath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SettingsFilesWin : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::GetACP(), 936u) << "run with LANG=zh_CN.UTF-8"; }
    WinFolder m_folder;
};

TEST_F(SettingsFilesWin, FilesWrittenInGbkByHandLoad) {
    // "D:\视频输出" in GBK, as an earlier version wrote it on a Chinese system.
    const std::string setup = m_folder.file(
        "setup.ini", "\"3\"\r\n\"2\"\r\n\"1\"\r\n\"D:\\\xCA\xD3\xC6\xB5\xCA\xE4\xB3\xF6\"\r\n\"4\"\r\n");
    const auto fields = readSetupFile(setup);
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(fields->outputFolder, "D:\\视频输出");
    EXPECT_EQ(fields->formatIndex, 4);
    EXPECT_EQ(fields->channelPosition, 1);

    Options options;
    readOptionsFile(m_folder.file("options.ini", "1\r\n1\r\n30\r\n95\r\n"), options);
    EXPECT_EQ(options.intSoundReminder, 1);
    EXPECT_EQ(options.lngCutTo, 95);
}

TEST_F(SettingsFilesWin, FoldersAreSavedInTheCodePageWhenTheyFitElseAsUtf8) {
    struct Row {
        std::string folder;
        std::string bytesOfFolder;  // as they stand in the file
    };
    const Row rows[] = {
        {"D:\\视频输出", "D:\\\xCA\xD3\xC6\xB5\xCA\xE4\xB3\xF6"},              // GBK
        {"D:\\日本語の出力", "D:\\\xC8\xD5\xB1\xBE\xD5\x5A\xA4\xCE\xB3\xF6\xC1\xA6"},  // GBK has these
        {"D:\\图片", "D:\\\xCD\xBC\xC6\xAC"},  // GBK that also reads as UTF-8
        {"D:\\出力ﾌｫﾙﾀﾞ", "D:\\出力ﾌｫﾙﾀﾞ"},  // half-width kana: UTF-8 behind a mark
        {"D:\\ͼƬ", "D:\\ͼƬ"},              // not in GBK either
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        const std::string path = m_folder.path("setup.ini");
        SetupValues values;
        values.outputFolder = row.folder;
        values.formatIndex = 2;
        ASSERT_TRUE(writeSetupFile(path, values));
        const std::string bytes = readBytes(path);
        EXPECT_NE(bytes.find(row.bytesOfFolder), std::string::npos);
        EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0) == 0, row.bytesOfFolder == row.folder);
        const auto fields = readSetupFile(path);
        ASSERT_TRUE(fields.has_value());
        EXPECT_EQ(fields->outputFolder, row.folder);
        EXPECT_EQ(fields->formatIndex, 2);
    }
}

TEST_F(SettingsFilesWin, OnlyTheByteOrderMarkMakesAFileUtf8) {
    struct Row {
        bool marked;
        std::string bytesOfFolder;
        std::string folder;
    };
    // GBK bytes that also pass for UTF-8 ("ͼƬ", "һΪʹ") stay GBK.
    const Row rows[] = {
        {false, "D:\\\xCD\xBC\xC6\xAC", "D:\\图片"},
        {false, "D:\\\xD2\xBB\xCE\xAA\xCA\xB9", "D:\\一为使"},
        {true, "/home/用户/出力ﾃｽﾄ", "/home/用户/出力ﾃｽﾄ"},
        {true, "D:\\ͼƬ", "D:\\ͼƬ"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        const std::string text = std::string(row.marked ? "\xEF\xBB\xBF" : "") +
                                 "\"0\"\r\n\"0\"\r\n\"0\"\r\n\"" + row.bytesOfFolder +
                                 "\"\r\n\"1\"\r\n";
        const std::string setup = m_folder.file("setup.ini", text);
        const auto fields = readSetupFile(setup);
        ASSERT_TRUE(fields.has_value());
        EXPECT_EQ(fields->outputFolder, row.folder);
        EXPECT_EQ(fields->formatIndex, 1);
    }
}

}  // namespace
