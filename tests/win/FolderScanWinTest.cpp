// The folder scan on Windows: names outside the ANSI code page, hidden
// folders, and a junction that leads back up the tree.
#include <gtest/gtest.h>

#include <algorithm>

#include "WinTestSupport.h"
#include "base/WideText.h"
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
    std::vector<std::string> expected = {
        tree.file("中文\\视频 一.flv"), tree.file("日本語\\ﾃｽﾄ動画.FLV"), tree.file("隠し\\a.Flv"),
        tree.file("top.flv"),
    };
    tree.file("中文\\notes.txt");
    tree.file("日本語\\flv");
    const std::wstring hidden = platform::nativePath(tree.path("隠し")).wstring();
    ASSERT_TRUE(::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(scan(tree.path()), expected);
    EXPECT_EQ(scan(tree.path() + "\\"), expected);  // a trailing separator adds no second one
}

// Folders deeper than MAX_PATH, given by a full path and by a relative one:
// found, and shown as given, without "\\?\".
TEST(FolderScanWin, FindsClipsDeeperThanMaxPath) {
    WinFolder tree;
    std::wstring deep = L"\\\\?\\" + platform::nativePath(tree.path()).wstring();
    std::string shown = tree.path();
    for (int level = 0; level < 8; ++level) {
        const std::string name = "深 " + std::string(40, char('a' + level));
        deep += L"\\" + wide::fromUtf8(name);
        shown += "\\" + name;
        ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr)) << level;
    }
    const HANDLE clip = ::CreateFileW((deep + L"\\clip.flv").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, 0, nullptr);
    ASSERT_NE(clip, INVALID_HANDLE_VALUE);
    ::CloseHandle(clip);
    ASSERT_GT(deep.size(), std::size_t{MAX_PATH + 4});
    EXPECT_EQ(scan(tree.path()), std::vector<std::string>{shown + "\\clip.flv"});
    wchar_t current[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ::SetCurrentDirectoryW(platform::nativePath(tree.path()).c_str());
    const std::string below = shown.substr(tree.path().size() + 1);
    EXPECT_EQ(scan(below.substr(0, below.find('\\'))),
              std::vector<std::string>{below + "\\clip.flv"});
    ::SetCurrentDirectoryW(current);
    // The tree is removed through the same long names.
    const std::size_t root = (L"\\\\?\\" + platform::nativePath(tree.path()).wstring()).size();
    for (std::wstring path = deep + L"\\clip.flv"; path.size() > root;
         path.resize(path.find_last_of(L'\\')))
        if (!::DeleteFileW(path.c_str())) ::RemoveDirectoryW(path.c_str());
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
