// The folder scan on Windows: names outside the ANSI code page, hidden and
// deep folders, and a junction that leads back up the tree.
#include <gtest/gtest.h>

#include <algorithm>

#include "helpers/WinTestSupport.h"
#include "input/FileSearch.h"

using namespace tessaro;
using namespace tessaro::testing;

namespace {

std::vector<std::string> scan(const std::string& folder) {
    NullMessagePump pump;
    std::vector<std::string> found;
    SearchFolder(folder, found, pump);
    std::sort(found.begin(), found.end());
    return found;
}

TEST(FolderScanWin, FindsChineseJapaneseAndHiddenNamesWithBackslashes) {
    WinFolder tree;
    // Deeper than MAX_PATH: found, and shown without the "\\?\" it is searched by.
    std::string deep = "深";
    for (char c : {'a', 'b', 'c', 'd'}) deep += "\\" + std::string(70, c);
    std::vector<std::string> expected = {
        tree.file("中文\\视频 一.flv"), tree.file("日本語\\ﾃｽﾄ動画.FLV"), tree.file("隠し\\a.Flv"),
        tree.file("top.flv"),           tree.file(deep + "\\clip.flv"),
    };
    tree.file("中文\\notes.txt");
    tree.file("日本語\\flv");
    const std::wstring hidden = platform::nativePath(tree.path("隠し")).wstring();
    ASSERT_TRUE(::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(scan(tree.path()), expected);
    EXPECT_EQ(scan(tree.path() + "\\"), expected);  // a trailing separator adds no second one
}

TEST(FolderScanWin, JunctionBackUpTheTreeIsNotEntered) {
    WinFolder tree;
    const std::string clip = tree.file("a\\clip.flv");
    const std::wstring link = platform::nativePath(tree.path("a\\loop")).wstring();
    const std::wstring target = platform::nativePath(tree.path()).wstring();
    if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "this system makes no directory links (error " << ::GetLastError() << ")";
    ASSERT_NE(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(scan(tree.path()), std::vector<std::string>{clip});
}

}  // namespace
