// Platform values and the atomic file write on Windows.
#include <gtest/gtest.h>

#include <cerrno>

#include "helpers/WinTestSupport.h"
#include "base/AtomicFile.h"
#include "base/WideText.h"
#include "engine/Commands.h"
#include "input/InputList.h"

using namespace tessaro;
using namespace tessaro::testing;

namespace {

TEST(PlatformWin, ValuesUseBackslashesAndTheExecutablesFolder) {
    const std::string app = platform::applicationFolder();
    EXPECT_NE(app.back(), '\\');
    EXPECT_TRUE(std::filesystem::exists(platform::nativePath(app + "\\tessaro_tests.exe"))) << app;
    EXPECT_EQ(platform::temporaryFolder().substr(platform::temporaryFolder().size() - 8), "\\tessaro");
}

TEST(PlatformWin, TemporaryFolderThatIsAReparsePointIsRefused) {
    WinFolder folder;
    const std::string own = folder.path("临时 ﾃｽﾄ");
    folder.folder("a");
    const std::string link = folder.path("a\\loop");
    const std::string target = folder.path();
    platform::setTemporaryFolder(own);
    std::string why;
    EXPECT_TRUE(platform::prepareTemporaryFolder(&why)) << why;
    EXPECT_TRUE(std::filesystem::is_directory(platform::nativePath(own)));
    // Wine makes the link but cannot always look at it afterwards.
    const bool linked =
        ::CreateSymbolicLinkW(platform::nativePath(link).c_str(), platform::nativePath(target).c_str(),
                              SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
        ::GetFileAttributesW(platform::nativePath(link).c_str()) != INVALID_FILE_ATTRIBUTES;
    platform::setTemporaryFolder(link);
    if (linked) {
        EXPECT_FALSE(platform::prepareTemporaryFolder(&why));
        EXPECT_EQ(why, link + " is a reparse point");
    }
    platform::setTemporaryFolder({});
    if (!linked) GTEST_SKIP() << "this system makes no directory link it can look at";
}

// A W function that answers as GetTempPathW does, with a text that may grow
// between two questions: asked until the whole text fits, never read past.
TEST(PlatformWin, SizedTextIsAskedUntilItFits) {
    const std::size_t rows[][2] = {
        {0, 0},       {5, 5},     {MAX_PATH, MAX_PATH}, {MAX_PATH + 1, MAX_PATH + 1},
        {1000, 1000}, {300, 2000}};
    for (const auto& [first, later] : rows) {
        int asked = 0;
        const std::wstring text = wide::sizedText([&](DWORD size, wchar_t* buffer) -> DWORD {
            const std::size_t length = asked++ == 0 ? first : later;
            if (length == 0) return 0;
            if (length >= size) return static_cast<DWORD>(length + 1);
            std::fill(buffer, buffer + length, L'x');
            buffer[length] = L'\0';
            return static_cast<DWORD>(length);
        });
        EXPECT_EQ(text, std::wstring(later, L'x')) << first << " then " << later;
    }
}

TEST(AtomicFileWin, ReplacesWholeOrLeavesTheOldFileAndNoTemporary) {
    WinFolder folder;
    const std::string path = folder.file("設定 ﾃｽﾄ.ini", "old");
    ASSERT_TRUE(writeFileAtomically(path, "new bytes"));
    std::ifstream in(platform::nativePath(path), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new bytes");
    EXPECT_FALSE(writeFileAtomically(folder.path("missing\\x.ini"), "x"));
    EXPECT_FALSE(writeFileAtomically(folder.folder("a folder"), "x"));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(platform::nativePath(folder.path())))
        ++entries;
    EXPECT_EQ(entries, 2);  // the file and the folder
}

// The partial file takes the first free name, never replacing one.
TEST(AtomicFileWin, PartialFileTakesTheFirstFreeNameAndAClashIsEexist) {
    WinFolder folder;
    const std::string wanted = folder.file("片段 ﾃｽﾄ.mp4", "old");
    const std::string partial = folder.file(".片段 ﾃｽﾄ.mp4.7.part", "new");
    EXPECT_EQ(partialFilePath(wanted, 7), partial);
    errno = 0;
    EXPECT_FALSE(renameNoReplace(partial, wanted));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(commitPartialFile(partial, wanted), folder.path("片段 ﾃｽﾄ_2.mp4"));
    std::ifstream old(platform::nativePath(wanted), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
    EXPECT_FALSE(std::filesystem::exists(platform::nativePath(partial)));
}

TEST(PlatformWin, SettingsGoToAppDataOnlyWhenTheApplicationFolderIsReadOnly) {
    struct Row {
        bool writable;
        const char *appData, *profile;
        std::string settings, output;
    } rows[] = {
        {true, "C:\\Users\\u\\AppData\\Roaming", "C:\\Users\\u", "C:\\app", "C:\\app\\output"},
        {false, "C:\\Users\\u\\AppData\\Roaming\\", "C:\\Users\\u", "C:\\Users\\u\\AppData\\Roaming\\tessaro",
         "C:\\Users\\u\\Tessaro"},
        {false, "", "C:\\Users\\u", "C:\\app", "C:\\app\\output"},
        {false, nullptr, nullptr, "C:\\app", "C:\\app\\output"},
    };
    for (const Row& row : rows) {
        const platform::UserFolders f = platform::userFoldersFor("C:\\app", row.writable, row.appData, row.profile);
        EXPECT_EQ(f.settings, row.settings);
        EXPECT_EQ(f.defaultOutput, row.output);
    }
    EXPECT_EQ(platform::maxFileNameLength(platform::applicationFolder()), 255u);
}

// Paths from Qt's file dialogs and from users come with forward slashes as well
// as backslashes: names, folders and partial files are cut at the last of either.
TEST(PlatformWin, PathsAreCutAtEitherSlash) {
    const struct {
        const char *path, *fileName, *baseName, *folder, *partial;
    } rows[] = {
        {"C:\\v\\my.trip.flv", "my.trip.flv", "my", "C:\\v\\", "C:\\v\\.my.trip.flv.7.part"},
        {"Z:/work/clips/clip1.flv", "clip1.flv", "clip1", "Z:/work/clips/", "Z:/work/clips/.clip1.flv.7.part"},
        {"C:\\a/b\\c.flv", "c.flv", "c", "C:\\a/b\\", "C:\\a/b\\.c.flv.7.part"},
        {"c.flv", "c.flv", "c", "", ".c.flv.7.part"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(GetFileName(r.path), r.fileName) << r.path;
        EXPECT_EQ(GetBaseName(r.path), r.baseName) << r.path;
        EXPECT_EQ(ParsePath(r.path), r.folder) << r.path;
        EXPECT_EQ(partialFilePath(r.path, 7), r.partial) << r.path;
    }
}

}  // namespace
