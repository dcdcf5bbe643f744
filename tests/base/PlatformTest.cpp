#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Platform.h"

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

// An id that no process holds once reaped.
std::string endedProcessId() {
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    return std::to_string(dead);
}

// Leftovers of a process that has gone go at start-up; those of a live
// process, and files that are none of ours, stay.
TEST_F(TemporaryFolderTest, RemovesOnlyTheLeftoversOfEndedProcesses) {
    const std::string gone = endedProcessId(), live = std::to_string(::getppid());
    platform::setTemporaryFolder((m_root / "t").string());
    ASSERT_TRUE(platform::prepareTemporaryFolder());
    struct Row {
        const char* folder;
        std::string name;
        bool removed;
    } rows[] = {
        {"t", "tmp-" + gone + ".mp4", true},
        {"t", "tmp-" + live + ".mp4", false},
        {"t", "tmp-" + gone + "-3.mp4", true},
        {"t", "tmp-" + live + "-2.mp4", false},
        {"t", "amrnb-" + gone + ".pcm", true},
        {"t", "amrnb-" + gone + ".amr", true},
        {"t", "piece-" + gone + "-1.avi", true},
        {"t", "pieces-" + gone + ".ffconcat", true},
        {"t", "piece-" + live + "-0.avi", false},
        {"t", ".tmp-1.mp4." + gone + ".part", true},
        {"t", "tmp-" + gone + ".mp4.bak", false},
        {"t", "tmpfile.wav", false},
        {"t", "tmp-x" + gone + ".mp4", false},
        {"out", ".clip-957.rmvb." + gone + ".part", true},
        {"out", ".clip.mp3." + live + ".part", false},
        {"out", "clip-957.rmvb." + gone + ".part", false},
        {"out", "tmp-" + gone + ".mp4", false},
    };
    fs::create_directories(m_root / "out");
    for (const Row& row : rows) std::ofstream(m_root / row.folder / row.name) << "x";
    EXPECT_EQ(platform::removeLeftovers((m_root / "out/").string()), 8);
    for (const Row& row : rows)
        EXPECT_NE(fs::exists(m_root / row.folder / row.name), row.removed) << row.name;
}

// After a killed encoder, its own scratch goes: not another encoder's, nor
// the window's intermediate or partial names that hold the same number.
TEST_F(TemporaryFolderTest, RemovesTheScratchOfOneEndedEncoder) {
    const std::string gone = endedProcessId(), other = endedProcessId();
    platform::setTemporaryFolder((m_root / "t").string());
    ASSERT_TRUE(platform::prepareTemporaryFolder());
    const std::pair<std::string, bool> rows[] = {
        {"piece-" + gone + "-0.avi", true},     {"piece-" + gone + "-15.avi", true},
        {"pieces-" + gone + ".ffconcat", true}, {"amrnb-" + gone + ".pcm", true},
        {"piece-" + other + "-0.avi", false},   {"tmp-" + gone + ".mp4", false},
        {".x.mp4." + gone + ".part", false},
    };
    for (const auto& [name, removed] : rows) std::ofstream(m_root / "t" / name) << "x";
    EXPECT_EQ(platform::removeScratchOf(std::stol(gone)), 4);
    for (const auto& [name, removed] : rows)
        EXPECT_NE(fs::exists(m_root / "t" / name), removed) << name;
}

TEST(PlatformTest, DefaultFolderNamesFollowTheUser) {
    EXPECT_EQ(platform::temporaryFolder(), "/tmp/tessaro-" + std::to_string(::getuid()));
    platform::setApplicationFolder("/opt/tessaro/");
    EXPECT_EQ(platform::applicationFolder(), "/opt/tessaro");
    platform::setApplicationFolder("");
}

TEST(PlatformTest, UserFoldersOfAnInstalledCopy) {
    struct Row {
        bool writable;
        const char* xdg;
        const char* home;
        const char* settings;
        const char* output;
    };
    const std::string cfg = "/home/u/.config/tessaro";
    for (const Row& r : std::initializer_list<Row>{
             {true, "/x", "/home/u", "/opt/t", "/opt/t/output"},
             {false, "/x/cfg", "/home/u", "/x/cfg/tessaro", "/home/u/Tessaro"},
             {false, "/x/cfg/", "/home/u/", "/x/cfg/tessaro", "/home/u/Tessaro"},
             {false, nullptr, "/home/u", cfg.c_str(), "/home/u/Tessaro"},
             {false, "", "/home/u", cfg.c_str(), "/home/u/Tessaro"},
             {false, "rel/cfg", "/home/u", cfg.c_str(), "/home/u/Tessaro"},
             {false, nullptr, "/", "/.config/tessaro", "/Tessaro"},
             {false, "/x", nullptr, "/opt/t", "/opt/t/output"},
             {false, "/x", "", "/opt/t", "/opt/t/output"}}) {
        const platform::UserFolders f =
            platform::userFoldersFor("/opt/t", r.writable, r.xdg, r.home);
        EXPECT_EQ(f.settings, r.settings) << r.writable << " " << (r.xdg ? r.xdg : "(unset)");
        EXPECT_EQ(f.defaultOutput, r.output) << r.writable << " " << (r.home ? r.home : "(unset)");
    }
}

// The real rule: a writable application folder keeps the files beside it; one
// the user cannot write (here: missing, which holds for root too) sends them
// to XDG_CONFIG_HOME, made on the first write.
TEST_F(TemporaryFolderTest, SettingsFilesFollowTheApplicationFolder) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", (m_root / "cfg").c_str(), 1);
    platform::setApplicationFolder(m_root.string());
    EXPECT_EQ(platform::settingsFile("setup.ini"), (m_root / "setup.ini").string());
    EXPECT_EQ(platform::defaultOutputFolder(), (m_root / "output").string());

    platform::setApplicationFolder((m_root / "installed").string());
    EXPECT_EQ(platform::settingsFile("options.ini"), (m_root / "cfg/tessaro/options.ini").string());
    EXPECT_FALSE(fs::exists(m_root / "cfg"));
    ASSERT_TRUE(platform::prepareSettingsFolder());
    struct stat st {};
    ASSERT_EQ(::stat((m_root / "cfg/tessaro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    platform::setApplicationFolder("");
    if (old)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST(PlatformTest, IntermediateIsPerProcessAndRecognised) {
    const std::string own = platform::intermediateFile();
    EXPECT_EQ(own, platform::temporaryFile(("tmp-" + std::to_string(::getpid()) + ".mp4").c_str()));
    const std::string t = platform::temporaryFolder() + "/";
    EXPECT_EQ(platform::intermediateFile(2), t + "tmp-" + std::to_string(::getpid()) + "-2.mp4");
    for (const auto& [path, is] :
         std::initializer_list<std::pair<std::string, bool>>{{own, true},
                                                             {t + "tmp-7.mp4", true},
                                                             {t + "tmp-7-2.mp4", true},
                                                             {t + "tmp-7-.mp4", false},
                                                             {t + "tmp-.mp4", false},
                                                             {t + "tmp-7x.mp4", false},
                                                             {t + "tmp.mp4", false},
                                                             {"/elsewhere/tmp-7.mp4", false},
                                                             {t + "sub/tmp-7.mp4", false}})
        EXPECT_EQ(platform::isIntermediateFile(path), is) << path;
}
