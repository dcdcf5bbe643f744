#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/Platform.h"
#include "input/QueueFile.h"

namespace tessaro {

// Found by argument-dependent lookup: in the namespace of InputRow.
bool operator==(const InputRow& a, const InputRow& b) {
    return a.path == b.path && a.tag == b.tag && a.failed == b.failed && a.reason == b.reason;
}

void PrintTo(const InputRow& row, std::ostream* os) {
    *os << (row.failed ? "F " : "W ") << row.tag << " [" << row.path << "] " << row.reason;
}

namespace {

namespace fs = std::filesystem;

struct RoundTripCase {
    const char* name;
    std::vector<InputRow> rows;
};

class QueueFileRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// What is written reads back as it was, row for row.
TEST_P(QueueFileRoundTrip, ReadsBackWhatWasWritten) {
    const std::string text = queueFileText(GetParam().rows);
    std::string why;
    const auto rows = parseQueueFile(text, &why);
    ASSERT_TRUE(rows) << why << "\n" << text;
    EXPECT_EQ(*rows, GetParam().rows);
    // One line per row after the header: nothing in a field breaks a line.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), long(GetParam().rows.size()) + 1);
}

const RoundTripCase kRoundTrips[] = {
    {"Empty", {}},
    {"WaitingInOrder", {{"/v/b.flv", "FLV"}, {"/v/a.flv", "FLV"}, {"/v/b.flv", "FLV"}}},
    // A dropped path keeps its blanks and so does its tag.
    {"BlanksKept", {{" /v/a.mp4 ", "P4 "}, {"  ", "  "}}},
    {"Chinese", {{"/视频/电影 1.flv", "FLV"}, {"C:\\片\\a.rmvb", "MVB"}}},
    {"ControlsAndPercent", {{"/v/a\tb\nc\rd%41%.flv", "FLV"}, {"/v/\x7f\x01.flv", "FLV"}}},
    {"FailedWithReason",
     {{"/v/bad.flv", "FLV", true, "conv 退出码 1：无法打开\t源文件\n第二行"},
      {"/v/ok.flv", "FLV"},
      {"/v/none.flv", "FLV", true, ""}}},
};

INSTANTIATE_TEST_SUITE_P(Rows, QueueFileRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

struct DamagedCase {
    const char* name;
    std::string text;
};

class QueueFileDamaged : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(QueueFileDamaged, IsNoQueue) {
    std::string why;
    EXPECT_FALSE(parseQueueFile(GetParam().text, &why));
    EXPECT_FALSE(why.empty());
}

const std::string kHead = "Tessaro queue 1\n";

INSTANTIATE_TEST_SUITE_P(
    Texts, QueueFileDamaged,
    ::testing::Values(DamagedCase{"EmptyFile", ""}, DamagedCase{"Garbage", "\x89PNG\r\n\x1a\n"},
                      DamagedCase{"OtherHeader", "Tessaro queue 2\nW\tFLV\t/a.flv\n"},
                      DamagedCase{"NoHeader", "W\tFLV\t/a.flv\n"},
                      DamagedCase{"NulByte",
                                  kHead + "W\tFLV\t/a" + std::string(1, '\0') + ".flv\n"},
                      DamagedCase{"NotUtf8", kHead + "W\tFLV\t/\xC0\xAF.flv\n"},
                      DamagedCase{"CutUtf8", kHead + "W\tFLV\t/\xE8\xA7"},
                      DamagedCase{"OtherState", kHead + "X\tFLV\t/a.flv\n"},
                      DamagedCase{"MissingField", kHead + "W\t/a.flv\n"},
                      DamagedCase{"FailedWithoutReason", kHead + "F\tFLV\t/a.flv\n"},
                      DamagedCase{"ExtraField", kHead + "W\tFLV\t/a.flv\tmore\n"},
                      DamagedCase{"EmptyPath", kHead + "W\tFLV\t\n"},
                      DamagedCase{"BadEscape", kHead + "W\tFLV\t/a%4.flv\n"},
                      DamagedCase{"EscapeAtEnd", kHead + "W\tFLV\t/a%"},
                      DamagedCase{"NeedlessEscape", kHead + "W\tFLV\t/%41.flv\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QueueFileTest, ToleratesCrLfAndBlankLines) {
    const auto rows = parseQueueFile("Tessaro queue 1\r\nW\tFLV\t/a.flv\r\n\r\n", nullptr);
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, (std::vector<InputRow>{{"/a.flv", "FLV"}}));
}

class QueueFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("tessaro-queue-" + std::to_string(platform::processId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path() const { return platform::utf8Path(m_dir / kQueueFile); }
    void write(const std::string& text) const {
        std::ofstream(m_dir / kQueueFile, std::ios::binary) << text;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(m_dir))
            found.push_back(platform::utf8Path(entry.path().filename()));
        std::sort(found.begin(), found.end());
        return found;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(m_dir / platform::nativePath(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path m_dir;
};

TEST_F(QueueFileOnDisk, SavedRowsLoadBackAndNoFileIsAnEmptyQueue) {
    const QueueFileLoad none = loadQueueFile(path(), 0);
    EXPECT_TRUE(none.rows.empty());
    EXPECT_TRUE(none.note.empty());
    EXPECT_TRUE(names().empty());  // nothing made, nothing moved

    const std::vector<InputRow> rows{{"/v/一.flv", "FLV"}, {"/v/b.flv", "FLV", true, "坏了"}};
    ASSERT_TRUE(saveQueueFile(path(), rows));
    const QueueFileLoad loaded = loadQueueFile(path(), 0);
    EXPECT_EQ(loaded.rows, rows);
    EXPECT_TRUE(loaded.note.empty());
    EXPECT_EQ(names(), std::vector<std::string>{kQueueFile});
}

// A damaged file is renamed aside, stamped with the time, never twice onto
// the same name, and the queue starts empty.
TEST_F(QueueFileOnDisk, DamagedFileIsSetAsideWithANote) {
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 10;
    when.tm_hour = 1;
    when.tm_min = 2;
    when.tm_sec = 3;
    when.tm_isdst = -1;
    const std::time_t now = std::mktime(&when);
    const std::string aside = std::string(kQueueFile) + ".damaged-20261210-010203";

    write("garbage");
    QueueFileLoad first = loadQueueFile(path(), now);
    EXPECT_TRUE(first.rows.empty());
    EXPECT_NE(first.note.find("已移到"), std::string::npos) << first.note;
    EXPECT_NE(first.note.find(aside), std::string::npos) << first.note;

    write(std::string("Tessaro queue 1\nW\tFLV\t/a") + '\0');
    QueueFileLoad second = loadQueueFile(path(), now);
    EXPECT_TRUE(second.rows.empty());
    EXPECT_EQ(names(), (std::vector<std::string>{aside, aside + "-2"}));
    EXPECT_EQ(read(aside), "garbage");

    // Too large to be one of ours: not even read.
    write(kHead);
    fs::resize_file(m_dir / kQueueFile, kMaxQueueFileBytes + 1);
    QueueFileLoad third = loadQueueFile(path(), now);
    EXPECT_TRUE(third.rows.empty());
    EXPECT_NE(third.note.find("文件过大"), std::string::npos) << third.note;
    EXPECT_EQ(names(), (std::vector<std::string>{aside, aside + "-2", aside + "-3"}));

    // The next save starts a fresh file beside them.
    ASSERT_TRUE(saveQueueFile(path(), {{"/a.flv", "FLV"}}));
    EXPECT_EQ(loadQueueFile(path(), now).rows.size(), 1u);
}

}  // namespace
}  // namespace tessaro
