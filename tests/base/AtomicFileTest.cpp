#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <vector>

#include "helpers/TempFolder.h"
#include "base/AtomicFile.h"
#include "settings/OptionsFile.h"
#include "settings/SetupFile.h"

using namespace tessaro;
namespace fs = std::filesystem;

namespace {

std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

// Makes every write of this process past `bytes` fail with EFBIG, as a full
// disk would, for the lifetime of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

TEST(AtomicFileTest, WritesAndReplacesWithoutLeavingTemporaries) {
    test::TempFolder folder;
    const std::string path = folder.file("setup.ini");
    ASSERT_TRUE(writeFileAtomically(path, "first"));
    EXPECT_EQ(test::readBytes(path), "first");
    ASSERT_TRUE(writeFileAtomically(path, "second, longer"));
    EXPECT_EQ(test::readBytes(path), "second, longer");
    ASSERT_TRUE(writeFileAtomically(path, ""));
    EXPECT_EQ(test::readBytes(path), "");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(AtomicFileTest, FullDiskLeavesTheOldFileAsItWas) {
    test::TempFolder folder;
    const std::string path = folder.file("options.ini");
    test::writeBytes(path, "1\r\n1\r\n90\r\n120\r\n");
    {
        FileSizeLimit limit(8);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(writeOptionsFile(path, {0, 1, 123456789, 987654321}));
        EXPECT_FALSE(writeSetupFile(path, {1, 2, 3, "/a/long/enough/folder", 4}));
    }
    EXPECT_EQ(test::readBytes(path), "1\r\n1\r\n90\r\n120\r\n");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(AtomicFileTest, TargetThatIsAFolderIsLeftAlone) {
    test::TempFolder folder;
    const std::string path = folder.file("setup.ini");
    fs::create_directory(path);
    test::writeBytes(path + "/inside", "x");
    EXPECT_FALSE(writeSetupFile(path, {}));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(test::readBytes(path + "/inside"), "x");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(AtomicFileTest, MissingFolderFails) {
    test::TempFolder folder;
    EXPECT_FALSE(writeFileAtomically(folder.file("gone/setup.ini"), "x"));
    EXPECT_FALSE(writeFileAtomically("", "x"));
}

TEST(AtomicFileTest, ReadOnlyFolderLeavesTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    test::TempFolder folder;
    const std::string path = folder.file("setup.ini");
    test::writeBytes(path, "old");
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(writeFileAtomically(path, "new"));
    fs::permissions(folder.path(), fs::perms::owner_all);
    EXPECT_EQ(test::readBytes(path), "old");
}

TEST(AtomicFileTest, KeepsPermissionsAndSymbolicLinks) {
    test::TempFolder folder;
    const std::string real = folder.file("real.ini");
    const std::string link = folder.file("setup.ini");
    test::writeBytes(real, "old");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, link);
    ASSERT_TRUE(writeFileAtomically(link, "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::readBytes(real), "new");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace

namespace {

using namespace tessaro::test;

// A complete partial file takes the first free name and never replaces one.
TEST(AtomicFileTest, PartialFileTakesTheFirstFreeName) {
    struct Row {
        std::vector<std::string> existing;
        std::string wanted, taken;
    } rows[] = {
        {{}, "clip-957.mp4", "clip-957.mp4"},
        {{"clip-957.mp4"}, "clip-957.mp4", "clip-957_2.mp4"},
        {{"clip-957.mp4", "clip-957_2.mp4"}, "clip-957.mp4", "clip-957_3.mp4"},
        {{"noext"}, "noext", "noext_2"},
    };
    for (const Row& row : rows) {
        TempFolder folder;
        for (const auto& name : row.existing) writeBytes(folder.file(name), "old " + name);
        const std::string partial = partialFilePath(folder.file(row.wanted), 4242);
        EXPECT_EQ(partial, folder.file("." + row.wanted + ".4242.part"));
        writeBytes(partial, "new");
        EXPECT_EQ(commitPartialFile(partial, folder.file(row.wanted)), folder.file(row.taken));
        EXPECT_EQ(readBytes(folder.file(row.taken)), "new");
        for (const auto& name : row.existing) EXPECT_EQ(readBytes(folder.file(name)), "old " + name);
        EXPECT_EQ(entriesIn(folder.path()), row.existing.size() + 1);  // the partial is gone
    }
}

}  // namespace
