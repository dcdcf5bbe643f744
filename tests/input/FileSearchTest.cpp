#include "input/FileSearch.h"

#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "TempTree.h"

namespace tessaro {
namespace {

using test::TempTree;

std::vector<std::string> search(const std::string& folder)
{
    NullMessagePump pump;
    std::vector<std::string> found;
    SearchFolder(folder, found, pump);
    return found;
}

// Independent reference for the designed order: recursion, a folder's files
// (in listing order) before its subfolders (in listing order).
void referenceWalk(const std::filesystem::path& folder, std::vector<std::string>& out)
{
    std::vector<std::filesystem::path> subfolders;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_directory() && !entry.is_symlink())
            subfolders.push_back(entry.path());
        else if (entry.path().filename().string().size() >= 4) {
            std::string tail = entry.path().filename().string();
            tail = tail.substr(tail.size() - 4);
            std::transform(tail.begin(), tail.end(), tail.begin(), ::toupper);
            if (tail == ".FLV")
                out.push_back(entry.path().string());
        }
    }
    for (const auto& sub : subfolders)
        referenceWalk(sub, out);
}

std::set<std::string> asSet(const std::vector<std::string>& paths)
{
    return {paths.begin(), paths.end()};
}

TEST(SearchFolderTest, TakesFlvInAnyCaseOnly)
{
    TempTree tree;
    for (const char* name : {"a.flv", "b.FLV", "c.Flv", "d.mp4", "e.flv2", "flv", "f.flv.txt"})
        tree.file(name);
    const auto found = search(tree.root());
    EXPECT_EQ(asSet(found), (std::set<std::string>{tree.path("a.flv"), tree.path("b.FLV"), tree.path("c.Flv")}));
    std::vector<std::string> expected;
    referenceWalk(tree.root(), expected);
    EXPECT_EQ(found, expected);  // listing order, unsorted
}

TEST(SearchFolderTest, DepthFirstWithFilesOfAFolderBeforeItsSubfolders)
{
    TempTree tree;
    for (const char* name : {"top1.flv", "s1/a.flv", "s1/s11/b.flv", "s1/s11/s111/c.flv", "s1/z.flv",
                             "s2/d.flv", "s3/s31/e.flv", "top2.flv"})
        tree.file(name);
    const auto found = search(tree.root());
    std::vector<std::string> expected;
    referenceWalk(tree.root(), expected);
    EXPECT_EQ(found, expected);
    ASSERT_EQ(found.size(), 8u);
    EXPECT_EQ(asSet({found[0], found[1]}), asSet({tree.path("top1.flv"), tree.path("top2.flv")}));
}

TEST(SearchFolderTest, SearchesEverySubfolderBeyondTwoHundred)
{
    TempTree tree;
    for (int i = 0; i < 250; ++i)
        tree.file("sub" + std::to_string(i) + "/f.flv");
    EXPECT_EQ(search(tree.root()).size(), 250u);
}

TEST(SearchFolderTest, SearchesHiddenAndReadOnlyFolders)
{
    TempTree tree;
    tree.file(".hidden/h.flv");
    tree.file("ro/r.flv");
    tree.file(".h.flv");  // a hidden file is a file like any other
    tree.setMode("ro", 0555);
    EXPECT_EQ(asSet(search(tree.root())),
              (std::set<std::string>{tree.path(".hidden/h.flv"), tree.path("ro/r.flv"), tree.path(".h.flv")}));
}

TEST(SearchFolderTest, AFolderNamedLikeAVideoIsSearchedNotAdded)
{
    TempTree tree;
    tree.file("x.flv/inner.flv");
    tree.folder("empty.FLV");
    EXPECT_EQ(search(tree.root()), std::vector<std::string>{tree.path("x.flv/inner.flv")});
}

TEST(SearchFolderTest, LinksToFoldersAreNotFollowedLinksToFilesAreTaken)
{
    TempTree tree;
    tree.file("real/a.flv");
    tree.link(tree.root(), "real/loop");      // a loop back to the root
    tree.link(tree.path("real"), "dir.flv");  // a link to a folder named like a video
    tree.link(tree.path("real/a.flv"), "alias.flv");
    tree.link(tree.path("missing"), "broken.mp4");
    EXPECT_EQ(asSet(search(tree.root())),
              (std::set<std::string>{tree.path("real/a.flv"), tree.path("alias.flv")}));
}

TEST(SearchFolderTest, AnUnreadableFolderAddsNothingAndSiblingsGoOn)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    TempTree tree;
    tree.file("a/1.flv");
    tree.file("locked/2.flv");
    tree.file("locked/deeper/3.flv");
    tree.file("z/4.flv");
    tree.setMode("locked", 0);
    EXPECT_EQ(asSet(search(tree.root())), (std::set<std::string>{tree.path("a/1.flv"), tree.path("z/4.flv")}));
    EXPECT_TRUE(search(tree.path("locked")).empty());
    EXPECT_TRUE(search(tree.path("vanished")).empty());
    EXPECT_TRUE(search("").empty());
}

TEST(SearchFolderTest, OneSeparatorAfterAFolderGivenWithItsTrailingSeparator)
{
    TempTree tree;
    tree.file("a.flv");
    tree.file("sub/b.flv");
    EXPECT_EQ(asSet(search(tree.root() + "/")), (std::set<std::string>{tree.path("a.flv"), tree.path("sub/b.flv")}));
}

TEST(SearchFolderTest, AppendsToWhatTheListAlreadyHolds)
{
    TempTree tree;
    tree.file("a.flv");
    NullMessagePump pump;
    std::vector<std::string> found{"earlier"};
    SearchFolder(tree.root(), found, pump);
    SearchFolder(tree.root(), found, pump);
    EXPECT_EQ(found, (std::vector<std::string>{"earlier", tree.path("a.flv"), tree.path("a.flv")}));
}

// Counts the pump's runs and the descriptors open while it runs.
class ProbePump : public MessagePump {
public:
    int runs = 0;
    int mostOpen = 0;
    void processEvents() override
    {
        ++runs;
        mostOpen = std::max(mostOpen, openDescriptors());
    }
    static int openDescriptors()
    {
        int count = 0;
        if (DIR* fds = opendir("/proc/self/fd")) {
            while (readdir(fds) != nullptr)
                ++count;
            closedir(fds);
        }
        return count;
    }
};

TEST(SearchFolderTest, PumpsBetweenEntriesWithOneListingOpen)
{
    TempTree tree;
    for (const char* name : {"a.flv", "b.txt", "s/c.flv", "s/t/u/v/w/d.flv", "s/t/e.mp4"})
        tree.file(name);
    const int before = ProbePump::openDescriptors();
    ProbePump pump;
    std::vector<std::string> found;
    SearchFolder(tree.root(), found, pump, std::chrono::nanoseconds(0));
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(pump.runs, 22);  // once after every listed entry, "." and ".." included
    EXPECT_LE(pump.mostOpen, before + 1);
    EXPECT_EQ(ProbePump::openDescriptors(), before);
}

TEST(TrimNameBufferTest, CutsTrailingNulsAndBlanks)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {std::string("a.flv\0\0\0", 8), "a.flv"},
        {"a.flv   ", "a.flv"},
        {std::string("  a b \0 \0", 9), "  a b"},
        {std::string("a\0b\0", 4), std::string("a\0b", 3)},
        {std::string("\0 \0", 3), ""},
        {"", ""},
    };
    for (const auto& [text, trimmed] : cases)
        EXPECT_EQ(TrimNameBuffer(text), trimmed);
}

}  // namespace
}  // namespace tessaro
