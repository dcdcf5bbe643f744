#include "input/FileSearch.h"
#include "input/InputList.h"

#include <gtest/gtest.h>

#include "TempTree.h"

namespace tessaro {
namespace {

using test::TempTree;

// The window's part: the chooser answers with a prepared folder (or is
// cancelled), the hint panel records its captions.
class FakeHost : public FolderScanHost {
public:
    bool cancel = false;
    std::string answer;
    std::vector<std::string> titles;
    std::vector<std::string> captions;

    bool chooseFolder(const std::string& title, std::string& folder) override
    {
        titles.push_back(title);
        if (cancel)
            return false;
        folder = answer;
        return true;
    }
    void showHint(const std::string& caption) override { captions.push_back(caption); }
};

TEST(AddFolderToListTest, CancelShowsTheSearchCaptionAndAppliesTheHintRule)
{
    NullMessagePump pump;
    FakeHost host;
    host.cancel = true;

    InputList empty;
    AddFolderToList(host, empty, pump);
    EXPECT_EQ(host.titles, std::vector<std::string>{"选择一个文件夹:"});
    EXPECT_EQ(host.captions, std::vector<std::string>{"搜索文件..."});
    EXPECT_EQ(empty.count(), 0);
    EXPECT_TRUE(empty.hintVisible());

    InputList holding;
    holding.append("/v/a.flv", InputList::Source::Dialog);
    std::vector<bool> hints;
    holding.hintVisibilityChanged = [&hints](bool visible) { hints.push_back(visible); };
    AddFolderToList(host, holding, pump);
    EXPECT_EQ(holding.count(), 1);
    EXPECT_FALSE(holding.hintVisible());
    EXPECT_EQ(hints, (std::vector<bool>{true, false}));  // shown while searching, hidden after
}

TEST(AddFolderToListTest, AppendsEveryFoundFileWithItsTag)
{
    TempTree tree;
    tree.file("a.flv");
    tree.file("sub/B.FLV");
    tree.file("sub/c.mp4");
    NullMessagePump pump;
    FakeHost host;
    host.answer = tree.root();
    InputList list;
    AddFolderToList(host, list, pump);

    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.paths(), (std::vector<std::string>{tree.path("a.flv"), tree.path("sub/B.FLV")}));
    EXPECT_EQ(list.rows()[0].tag, "FLV");
    EXPECT_FALSE(list.hintVisible());
    EXPECT_EQ(host.captions, std::vector<std::string>{"搜索文件..."});
}

TEST(AddFolderToListTest, ScanningTwiceAppendsTwiceAndAnotherFolderBringsOnlyItsOwn)
{
    TempTree first;
    first.file("a.flv");
    TempTree second;
    second.file("b.flv");
    NullMessagePump pump;
    FakeHost host;
    InputList list;

    host.answer = first.root();
    AddFolderToList(host, list, pump);
    AddFolderToList(host, list, pump);
    host.answer = second.root();
    AddFolderToList(host, list, pump);

    EXPECT_EQ(list.paths(), (std::vector<std::string>{first.path("a.flv"), first.path("a.flv"), second.path("b.flv")}));
}

TEST(AddFolderToListTest, AFolderWithoutVideosLeavesTheHintShownWithTheSearchCaption)
{
    TempTree tree;
    tree.file("notes.txt");
    NullMessagePump pump;
    FakeHost host;
    host.answer = tree.root();
    InputList list;
    AddFolderToList(host, list, pump);
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.hintVisible());
    EXPECT_EQ(host.captions, std::vector<std::string>{"搜索文件..."});
}

}  // namespace
}  // namespace tessaro
