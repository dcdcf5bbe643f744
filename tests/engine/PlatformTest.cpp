#include "engine/Platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace tessaro;

class TemporaryFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("tessaro-platform-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override {
        platform::setTemporaryFolder("");
        fs::remove_all(m_root);
    }
    fs::path m_root;
};

TEST_F(TemporaryFolderTest, CreatesAPrivateFolder) {
    platform::setTemporaryFolder((m_root / "t").string());
    std::string why;
    ASSERT_TRUE(platform::prepareTemporaryFolder(&why)) << why;
    struct stat st {};
    ASSERT_EQ(::stat((m_root / "t").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(platform::temporaryFile("tmp.mp4"), (m_root / "t" / "tmp.mp4").string());
}

TEST_F(TemporaryFolderTest, RefusesASymbolicLink) {
    fs::create_directories(m_root / "elsewhere");
    fs::create_directory_symlink(m_root / "elsewhere", m_root / "t");
    platform::setTemporaryFolder((m_root / "t").string());
    std::string why;
    EXPECT_FALSE(platform::prepareTemporaryFolder(&why));
    EXPECT_NE(why.find("symbolic link"), std::string::npos);
}

TEST(PlatformTest, DefaultFolderNamesFollowTheUser) {
    EXPECT_EQ(platform::temporaryFolder(), "/tmp/tessaro-" + std::to_string(::getuid()));
    platform::setApplicationFolder("/opt/tessaro/");
    EXPECT_EQ(platform::applicationFolder(), "/opt/tessaro");
    EXPECT_EQ(platform::defaultOutputFolder(), "/opt/tessaro/output");
    platform::setApplicationFolder("");
}

TEST(PlatformTest, IntermediateIsPerProcessAndRecognised) {
    const std::string own = platform::intermediateFile();
    EXPECT_EQ(own, platform::temporaryFile(("tmp-" + std::to_string(::getpid()) + ".mp4").c_str()));
    const std::string t = platform::temporaryFolder() + "/";
    for (const auto& [path, is] : std::initializer_list<std::pair<std::string, bool>>{
             {own, true}, {t + "tmp-7.mp4", true}, {t + "tmp-.mp4", false},
             {t + "tmp-7x.mp4", false}, {t + "tmp.mp4", false}, {"/elsewhere/tmp-7.mp4", false},
             {t + "sub/tmp-7.mp4", false}})
        EXPECT_EQ(platform::isIntermediateFile(path), is) << path;
}
