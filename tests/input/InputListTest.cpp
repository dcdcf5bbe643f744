#include "input/InputList.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace tessaro {
namespace {

struct TagCase {
    std::string path;
    bool trimmed;
    std::string tag;
};

void PrintTo(const TagCase& c, std::ostream* os)
{
    *os << '"' << c.path << '"' << (c.trimmed ? " trimmed" : " untrimmed");
}

class FormatTagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(FormatTagTest, LastThreeCharactersUpperCased)
{
    EXPECT_EQ(formatTag(GetParam().path, GetParam().trimmed), GetParam().tag);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FormatTagTest,
    ::testing::Values(TagCase{"/v/clip.flv", true, "FLV"}, TagCase{"a.rmvb", true, "MVB"},
                      TagCase{"a.ts", true, ".TS"}, TagCase{"abc", true, "ABC"},
                      TagCase{"ab", true, "AB"}, TagCase{"", true, ""},
                      // Dialog and scan paths lose blanks at both ends first; drops keep them.
                      TagCase{"  /v/a.flv  ", true, "FLV"}, TagCase{"/v/a.flv  ", false, "V  "},
                      TagCase{"   ", true, ""}, TagCase{" ab ", false, "AB "},
                      // Three characters, not three bytes: multibyte names stay whole.
                      TagCase{"/视频/电影文件", true, "影文件"}, TagCase{"/v/片a", true, "/片A"},
                      TagCase{"/片/x.mp4", true, "MP4"}, TagCase{"é", true, "é"}));

struct ListRecorder {
    int changes = 0;
    std::vector<bool> hints;

    void attach(InputList& list)
    {
        list.changed = [this] { ++changes; };
        list.hintVisibilityChanged = [this](bool visible) { hints.push_back(visible); };
    }
};

void expectParallel(const InputList& list)
{
    ASSERT_EQ(list.rows().size(), list.paths().size());
    for (std::size_t i = 0; i < list.paths().size(); ++i)
        EXPECT_EQ(list.rows()[i].path, list.paths()[i]) << "row " << i + 1;
}

InputList listOf(int n)
{
    InputList list;
    for (int i = 1; i <= n; ++i)
        list.append("/v/f" + std::to_string(i) + ".flv", InputList::Source::Dialog);
    return list;
}

TEST(InputListTest, AppendsAtTheEndKeepingDuplicatesAndHidesTheHint)
{
    InputList list;
    ListRecorder recorder;
    recorder.attach(list);
    EXPECT_TRUE(list.hintVisible());

    list.append("/b.flv", InputList::Source::Dialog);
    list.append("/a.mp4 ", InputList::Source::Drop);
    list.append("/b.flv", InputList::Source::Scan);

    EXPECT_EQ(list.paths(), (std::vector<std::string>{"/b.flv", "/a.mp4 ", "/b.flv"}));
    EXPECT_EQ(list.rows()[1].path, "/a.mp4 ");  // the row text is the path as received
    EXPECT_EQ(list.rows()[1].tag, "P4 ");
    EXPECT_EQ(list.count(), 3);
    expectParallel(list);
    EXPECT_FALSE(list.hintVisible());
    EXPECT_EQ(recorder.changes, 3);
    EXPECT_EQ(recorder.hints, std::vector<bool>{false});
}

TEST(InputListTest, RemoveSelectedTakesRowKAndPathKMinusOne)
{
    InputList list = listOf(5);
    list.removeSelected(3);
    EXPECT_EQ(list.paths(),
              (std::vector<std::string>{"/v/f1.flv", "/v/f2.flv", "/v/f4.flv", "/v/f5.flv"}));
    expectParallel(list);
    EXPECT_FALSE(list.hintVisible());
}

TEST(InputListTest, RemoveWithoutValidSelectionChangesNothing)
{
    for (int row : {0, -1, 6, 100}) {
        InputList list = listOf(5);
        ListRecorder recorder;
        recorder.attach(list);
        list.removeSelected(row);
        EXPECT_EQ(list.count(), 5) << "row " << row;
        EXPECT_EQ(recorder.changes, 0) << "row " << row;
        EXPECT_FALSE(list.hintVisible());
    }
    InputList empty;
    ListRecorder recorder;
    recorder.attach(empty);
    empty.removeSelected(1);
    EXPECT_EQ(empty.count(), 0);
    EXPECT_EQ(recorder.changes, 0);
    EXPECT_TRUE(empty.hintVisible());
}

TEST(InputListTest, RemovingTheLastEntryShowsTheHint)
{
    InputList list = listOf(2);
    list.removeSelected(2);
    EXPECT_FALSE(list.hintVisible());
    list.removeSelected(1);
    EXPECT_TRUE(list.hintVisible());
    EXPECT_TRUE(list.rows().empty());

    InputList all = listOf(4);
    ListRecorder recorder;
    recorder.attach(all);
    all.removeAll();
    EXPECT_TRUE(all.paths().empty());
    EXPECT_TRUE(all.rows().empty());
    EXPECT_TRUE(all.hintVisible());
    EXPECT_EQ(recorder.changes, 1);
    EXPECT_EQ(recorder.hints, std::vector<bool>{true});
}

TEST(InputListTest, QueueOperationsTakeAnyEntry)
{
    InputList list = listOf(3);
    EXPECT_EQ(list.entry(1), "/v/f2.flv");
    list.removeEntry(1);
    EXPECT_EQ(list.entry(1), "/v/f3.flv");
    expectParallel(list);
    list.removeEntry(0);
    EXPECT_EQ(list.entry(0), "/v/f3.flv");
    list.removeEntry(0);
    EXPECT_EQ(list.entry(0), "");
    EXPECT_EQ(list.count(), 0);
    list.removeEntry(0);  // nothing left: no effect
    list.removeEntry(-1);
    EXPECT_EQ(list.count(), 0);
}

// A failed row stays in view but leaves the queue: the queue operations see
// the other rows only, in order, until retryFailed() queues it again.
TEST(InputListTest, FailedRowsLeaveTheQueueButNotTheList)
{
    struct Case {
        const char* name;
        std::vector<int> fail;           // queue entries failed, one after another
        std::vector<std::string> queue;  // entries after that
        std::vector<int> rowsOfQueue;    // rowOfEntry of each entry
    } cases[] = {
        {"none", {}, {"/v/f1.flv", "/v/f2.flv", "/v/f3.flv", "/v/f4.flv"}, {0, 1, 2, 3}},
        {"head", {0}, {"/v/f2.flv", "/v/f3.flv", "/v/f4.flv"}, {1, 2, 3}},
        {"head twice", {0, 0}, {"/v/f3.flv", "/v/f4.flv"}, {2, 3}},
        {"middle and last", {1, 2}, {"/v/f1.flv", "/v/f3.flv"}, {0, 2}},
        {"all", {0, 0, 0, 0}, {}, {}},
        {"out of range", {4, -1}, {"/v/f1.flv", "/v/f2.flv", "/v/f3.flv", "/v/f4.flv"}, {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InputList list = listOf(4);
        std::vector<int> marked;
        list.rowChanged = [&marked](int row) { marked.push_back(row); };
        for (int index : c.fail)
            list.failEntry(index, "原因");
        std::vector<std::string> queue;
        std::vector<int> rows;
        for (int i = 0; i < list.count(); ++i) {
            queue.push_back(list.entry(i));
            rows.push_back(list.rowOfEntry(i));
        }
        EXPECT_EQ(queue, c.queue);
        EXPECT_EQ(rows, c.rowsOfQueue);
        EXPECT_EQ(list.rowCount(), 4);
        EXPECT_EQ(list.entry(list.count()), "");
        EXPECT_EQ(list.rowOfEntry(list.count()), -1);
        expectParallel(list);
        EXPECT_FALSE(list.hintVisible());
        for (int row : marked) {
            EXPECT_TRUE(list.rows()[size_t(row)].failed);
            EXPECT_EQ(list.rows()[size_t(row)].reason, "原因");
        }

        marked.clear();
        EXPECT_EQ(list.retryFailed(), int(c.queue.size() < 4 ? 4 - c.queue.size() : 0));
        EXPECT_EQ(list.count(), 4);
        EXPECT_EQ(list.entry(0), "/v/f1.flv");
        for (const InputRow& row : list.rows()) {
            EXPECT_FALSE(row.failed);
            EXPECT_EQ(row.reason, "");
        }
        EXPECT_EQ(marked.size(), 4 - c.queue.size());
    }
}

// Removing by the queue's numbering takes the right row past failed ones;
// removing by the row takes failed rows too.
TEST(InputListTest, RemovalsPastFailedRowsKeepTheCounts)
{
    InputList list = listOf(4);
    list.failEntry(1, "x");                 // f2 failed
    list.removeEntry(1);                    // queue entry 1 is f3
    EXPECT_EQ(list.paths(), (std::vector<std::string>{"/v/f1.flv", "/v/f2.flv", "/v/f4.flv"}));
    list.removeSelected(2);                 // the failed row itself
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.rowCount(), 2);
    list.failEntry(0, "x");
    list.failEntry(0, "x");
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(list.hintVisible());  // failed rows are still rows
    list.removeAll();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.retryFailed(), 0);
    EXPECT_TRUE(list.hintVisible());

    // A restored row keeps its tag and its mark.
    int marks = 0;
    list.rowChanged = [&marks](int) { ++marks; };
    list.appendRow({" /v/a.flv ", "LV ", true, "原因"});
    list.appendRow({"/v/b.flv", "FLV"});
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.entry(0), "/v/b.flv");
    EXPECT_EQ(list.rows()[0].tag, "LV ");
    EXPECT_FALSE(list.hintVisible());
}

TEST(ParsePathTest, FolderUpToTheLastSeparator)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/clips/a.flv", "/clips/"}, {"a.flv", ""},   {"D:a.flv", ""},  // ':' ends nothing here
        {"/", "/"},                  {"a/b/", "a/b/"}, {"", ""},
        {"/x/视频.flv", "/x/"},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(ParsePath(path), folder) << path;
}

}  // namespace
}  // namespace tessaro
