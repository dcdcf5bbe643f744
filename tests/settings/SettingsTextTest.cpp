#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "helpers/TempFolder.h"
#include "base/FileHead.h"
#include "base/NumberText.h"
#include "settings/SettingsText.h"

using namespace tessaro;

namespace {

struct PrefixRow {
    const char* text;
    std::optional<double> value;
};

class NumericPrefixTest : public testing::TestWithParam<PrefixRow> {};

TEST_P(NumericPrefixTest, TakesTheLongestNumericPrefix) {
    const PrefixRow& row = GetParam();
    EXPECT_EQ(numericPrefix(row.text), row.value) << '"' << row.text << '"';
}

const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Rows, NumericPrefixTest,
    testing::Values(PrefixRow{"1.5e", 1.5}, PrefixRow{"-3x", -3.0}, PrefixRow{"abc", std::nullopt},
                    PrefixRow{"", std::nullopt}, PrefixRow{"  \t7 ", 7.0}, PrefixRow{"1e3", 1000.0},
                    PrefixRow{"1E+2x", 100.0}, PrefixRow{"2e-", 2.0}, PrefixRow{".5", 0.5},
                    PrefixRow{"5.", 5.0}, PrefixRow{"+4", 4.0}, PrefixRow{"-", std::nullopt},
                    PrefixRow{"-.", std::nullopt}, PrefixRow{"0x10", 0.0},
                    PrefixRow{"inf", std::nullopt}, PrefixRow{"nan", std::nullopt},
                    PrefixRow{"1 2", 1.0}, PrefixRow{"1e999", kInf}, PrefixRow{"-1e999", -kInf},
                    PrefixRow{"1e-999", 0.0}, PrefixRow{"0.0001e-99999", 0.0}));

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
    const struct {
        double in, out;
    } rows[] = {{0.5, 0},   {1.5, 2},    {2.5, 2},    {3.5, 4},   {-0.5, 0}, {-1.5, -2},
                {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}, {7, 7}};
    for (const auto& row : rows) EXPECT_EQ(roundHalfEven(row.in), row.out) << row.in;
}

TEST(WholeNumberTest, TheWholeFieldMustBeANumber) {
    const struct {
        const char* field;
        std::optional<int> value;
    } rows[] = {{"8", 8},
                {" 8 ", 8},
                {"-1", -1},
                {"7.5", 8},
                {"2.5", 2},
                {"1e1", 10},
                {"8x", std::nullopt},
                {"", std::nullopt},
                {"x8", std::nullopt},
                {"1e10", std::nullopt},
                {"-", std::nullopt}};
    for (const auto& row : rows) EXPECT_EQ(wholeNumber(row.field), row.value) << row.field;
}

using Fields = std::vector<std::string>;

TEST(SplitFieldsTest, FieldsEndAtCommaOrLineEnd) {
    EXPECT_EQ(splitFields("1\r\n1\r\n90\r\n120\r\n", 9), (Fields{"1", "1", "90", "120"}));
    EXPECT_EQ(splitFields("1,1, 90 ,120", 9), (Fields{"1", "1", "90", "120"}));
    EXPECT_EQ(splitFields("a\nb\rc\r\nd", 9), (Fields{"a", "b", "c", "d"}));
    EXPECT_EQ(splitFields("  a  \r\n\r\nb", 9), (Fields{"a", "", "b"}));
    EXPECT_EQ(splitFields("1,2,3,4,5,6", 4), (Fields{"1", "2", "3", "4"}));
    EXPECT_EQ(splitFields("", 4), Fields{});
}

TEST(SplitFieldsTest, QuotedFieldRunsToItsClosingQuote) {
    EXPECT_EQ(splitFields("\"a,b\"\r\n\"\"\r\n  \" c \"\r\n", 9), (Fields{"a,b", "", " c "}));
    // The rest of the line after the closing quote is passed over.
    EXPECT_EQ(splitFields("\"7\" , junk\r\n\"8\"", 9), (Fields{"7", "8"}));
    // A quote inside a value written between quotes survives.
    EXPECT_EQ(splitFields("\"my \"best\" films\"\r\n\"1\"", 9), (Fields{"my \"best\" films", "1"}));
    // An unclosed quote ends at the line end.
    EXPECT_EQ(splitFields("\"open\r\n2", 9), (Fields{"open", "2"}));
}

TEST(SplitFieldsTest, LongFieldsAreCutAndTheRestStillFollows) {
    const std::string longField(kFieldLimit * 3, '9');
    const Fields fields = splitFields(longField + "\r\n\"x\"", 5);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].size(), kFieldLimit);
    EXPECT_EQ(fields[1], "x");
}

TEST(ReadFileHeadTest, ReadsOnlyRegularFilesAndOnlyTheirHead) {
    test::TempFolder folder;
    std::string bytes;
    EXPECT_EQ(readFileHead(folder.file("none"), bytes), FileHead::Missing);
    EXPECT_EQ(readFileHead(folder.path(), bytes), FileHead::Unreadable);
    test::writeBytes(folder.file("big"), std::string(5000, 'x'));
    EXPECT_EQ(readFileHead(folder.file("big"), bytes, 1000), FileHead::Read);
    EXPECT_EQ(bytes.size(), 1000u);
    // Heads longer than one read piece, cut inside the file and at its end.
    test::writeBytes(folder.file("big"), std::string(40000, 'y'));
    EXPECT_EQ(readFileHead(folder.file("big"), bytes, 20000), FileHead::Read);
    EXPECT_EQ(bytes, std::string(20000, 'y'));
    EXPECT_EQ(readFileHead(folder.file("big"), bytes), FileHead::Read);
    EXPECT_EQ(bytes.size(), 40000u);
}

}  // namespace
