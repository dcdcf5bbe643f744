#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "FakeDialogs.h"
#include "base/Platform.h"
#include "shell/CCommonDialogs.h"
#include "shell/COMDLG.h"

namespace tessaro {
namespace {

using test::FakeDialogs;

// A path in the system's own separators, as the dialogs give it.
QString path(const QString& text) { return QDir::toNativeSeparators(text); }
std::string pathText(const QString& text) { return path(text).toStdString(); }

TEST(CCommonDialogs, ShowOpenConfirmedThenCancelled) {
    FakeDialogs fake;
    CCommonDialogs dialogs(fake);
    dialogs.setTitle("Open Files");
    dialogs.setFilter("所有格式文件(*.*)|*.*");
    fake.files.push_back(path("/clips/a.flv"));
    ASSERT_TRUE(dialogs.ShowOpen());
    EXPECT_EQ(dialogs.FileName(), pathText("/clips/a.flv"));
    EXPECT_EQ(dialogs.FileTitle(), "a.flv");
    EXPECT_EQ(dialogs.Path(), pathText("/clips"));
    ASSERT_EQ(fake.opened.size(), 1u);
    EXPECT_EQ(fake.opened[0].title, "Open Files");
    EXPECT_EQ(fake.opened[0].filters, QStringList{"所有格式文件(*.*)"});
    EXPECT_EQ(fake.opened[0].folder, QDir::currentPath());  // Path is no input

    fake.files.push_back(std::nullopt);
    EXPECT_FALSE(dialogs.ShowOpen());
    EXPECT_EQ(dialogs.FileName(), pathText("/clips/a.flv"));
    EXPECT_EQ(dialogs.FileTitle(), "a.flv");
    EXPECT_EQ(dialogs.Path(), pathText("/clips"));
    EXPECT_EQ(fake.opened[1].preset, path("/clips/a.flv"));  // the last choice is pre-filled
}

TEST(CCommonDialogs, PathOfFileInRootIsEmptyAndTextsStopAtNul) {
    FakeDialogs fake;
    CCommonDialogs dialogs(fake);
    fake.files.push_back(path("/a.flv"));
    ASSERT_TRUE(dialogs.ShowOpen());
    EXPECT_EQ(dialogs.Path(), "");
    EXPECT_EQ(dialogs.FileTitle(), "a.flv");
    dialogs.setTitle(std::string("ab\0cd", 5));
    EXPECT_EQ(dialogs.Title(), "ab");
    dialogs.setFilter(std::string("x\0y", 3));
    EXPECT_EQ(dialogs.Filter().size(), 3u);  // other properties return what is stored
}

TEST(CCommonDialogs, FolderColorAndFont) {
    FakeDialogs fake;
    CCommonDialogs dialogs(fake);
    dialogs.setFileName("/x/y.flv");
    dialogs.setTitle("请选择");
    fake.folders.push_back(QString("/data/out"));
    ASSERT_TRUE(dialogs.ShowFolder());
    EXPECT_EQ(dialogs.Path(), "/data/out");
    EXPECT_EQ(dialogs.FileName(), "");
    EXPECT_EQ(fake.folderTitles.back(), "请选择");
    EXPECT_FALSE(dialogs.ShowFolder());
    EXPECT_EQ(dialogs.Path(), "/data/out");

    fake.color = QColor(0x11, 0x22, 0x33);
    ASSERT_TRUE(dialogs.ShowColor(true));
    EXPECT_EQ(dialogs.Color(), 0x332211u);  // 0x00BBGGRR

    QFont font("Noto Sans CJK SC");
    font.setPointSize(12);
    font.setBold(true);
    fake.font = font;
    dialogs.setFontUnderline(true);
    ASSERT_TRUE(dialogs.ShowFont());
    EXPECT_EQ(dialogs.FontSize(), 12);
    EXPECT_TRUE(dialogs.FontBold());
    EXPECT_FALSE(dialogs.FontItalic());
    EXPECT_TRUE(dialogs.FontUnderline());  // not read back
    EXPECT_FALSE(dialogs.ShowPrinter());
}

TEST(CCommonDialogs, ShowSaveStartsInAdjustedPath) {
    QTemporaryDir app;
    platform::setApplicationFolder(app.path().toStdString());
    FakeDialogs fake;
    CCommonDialogs dialogs(fake);
    dialogs.setPath("/no/such/folder");
    fake.files.push_back(path("/tmp/out.txt"));
    ASSERT_TRUE(dialogs.ShowSave());
    EXPECT_EQ(fake.opened[0].title, "Save");
    EXPECT_EQ(fake.opened[0].folder, app.path());
    EXPECT_EQ(fake.opened[0].filters, QStringList{"*.* (*.*)"});
    EXPECT_EQ(dialogs.Path(), pathText("/tmp"));
    EXPECT_EQ(dialogs.FileTitle(), "out.txt");
}

struct FilterRow {
    std::string filter;
    size_t pairs;
    QStringList qt;
};

class SplitFilter : public ::testing::TestWithParam<FilterRow> {};

TEST_P(SplitFilter, PairsAndQtFilters) {
    const auto pairs = splitFilter(GetParam().filter);
    EXPECT_EQ(pairs.size(), GetParam().pairs);
    EXPECT_EQ(qtNameFilters(pairs), GetParam().qt);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitFilter,
    ::testing::Values(FilterRow{"所有格式文件(*.*)|*.*", 1, {"所有格式文件(*.*)"}},
                      FilterRow{"", 0, {}}, FilterRow{"   ", 0, {}},
                      FilterRow{"Video|*.flv;*.mp4|All|*", 2, {"Video (*.flv *.mp4)", "All (*)"}},
                      FilterRow{"Lonely", 0, {}}));

TEST(OpenFileDialog, InitialFolderAndResult) {
    QTemporaryDir app, clips;
    platform::setApplicationFolder(app.path().toStdString());
    FakeDialogs fake;

    std::string folder = pathText(clips.path());
    fake.files.push_back(path(clips.path() + "/a.flv"));
    EXPECT_EQ(OpenFileDialog(nullptr, "t", folder, "", 0, fake), pathText(clips.path() + "/a.flv"));
    EXPECT_EQ(folder, pathText(clips.path() + "/"));
    EXPECT_EQ(fake.opened[0].filters, QStringList{"*.* (*.*)"});

    for (std::string start : {std::string("/no/such"), std::string(""), std::string("  ")}) {
        fake.files.push_back(std::nullopt);
        EXPECT_EQ(OpenFileDialog(nullptr, "t", start, "*.flv|*.flv", 0, fake), "");
        EXPECT_EQ(start, app.path().toStdString());
    }
}

}  // namespace
}  // namespace tessaro
