#include "base/CommandLineText.h"

#include <gtest/gtest.h>

using namespace tessaro;
using Args = std::vector<std::string>;

struct SplitCase {
    const char* line;
    Args expected;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, FollowsTheWindowsRules) {
    EXPECT_EQ(splitCommandLine(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"", {}},
        SplitCase{" \t ", {}},
        SplitCase{"a b\tc", {"a", "b", "c"}},
        SplitCase{"  a   b  ", {"a", "b"}},
        SplitCase{"\"a b\" c", {"a b", "c"}},
        SplitCase{"x\"a b\"y", {"xa by"}},
        SplitCase{"\"\"", {""}},
        SplitCase{"a \"\" b", {"a", "", "b"}},
        SplitCase{"a\\b c\\\\d", {"a\\b", "c\\\\d"}},
        SplitCase{"a\\\"b", {"a\"b"}},             // 1 backslash: literal quote
        SplitCase{"a\\\\\"b c\"", {"a\\b c"}},      // 2 backslashes: one, and the quote opens
        SplitCase{"a\\\\\\\"b", {"a\\\"b"}},        // 3 backslashes: one and a literal quote
        SplitCase{"\"a\\\\\" b", {"a\\", "b"}},     // doubled trailing backslash closes
        SplitCase{"\"unclosed quote", {"unclosed quote"}},
        SplitCase{"\"line\nbreak\" x", {"line\nbreak", "x"}},
        SplitCase{"-i \"C:\\My Films\\a.flv\" -o out", {"-i", "C:\\My Films\\a.flv", "-o", "out"}},
        SplitCase{"conv  -oac  mp3lame", {"conv", "-oac", "mp3lame"}}));

class QuotePathTest : public ::testing::TestWithParam<std::string> {};

TEST_P(QuotePathTest, SplitGivesThePathBackAsOneArgument) {
    const std::string& path = GetParam();
    EXPECT_EQ(splitCommandLine(quotePath(path)), Args{path});
    EXPECT_EQ(splitCommandLine("conv " + quotePath(path) + " -o " + quotePath(path)),
              (Args{"conv", path, "-o", path}));
    // The command line built for a Windows child splits back the same way.
    const Args args{"C:\\Program Files\\conv.exe", path, "-o", path, "plain"};
    EXPECT_EQ(splitCommandLine(joinCommandLine(args)), args);
}

INSTANTIATE_TEST_SUITE_P(
    HostilePaths, QuotePathTest,
    ::testing::Values(std::string(""), "/plain/path.flv", "/with blanks/a b.flv", "/tab\there",
                      "/quote\"inside", "\"", "\"\"", "/ends\\", "/ends\\\\", "\\\"", "/back\\\\\"quote",
                      "/single'quote", "/$HOME/`id`/$(id)", "/a;b&c|d", "/new\nline", "-leading-dash",
                      "/中文 文件名.flv", "C:\\Program Files\\a.flv"));

TEST(JoinCommandLine, PlainArgumentsStayAsTheyAre) {
    EXPECT_EQ(joinCommandLine({"conv.exe", "-oac", "mp3lame", "a b", ""}), "conv.exe -oac mp3lame \"a b\" \"\"");
}

TEST(QuotePath, PlainPathIsOnlyWrappedInQuotes) {
    EXPECT_EQ(quotePath("/home/u/My Films/a.flv"), "\"/home/u/My Films/a.flv\"");
    EXPECT_EQ(quotePath("C:\\x\\y.flv"), "\"C:\\x\\y.flv\"");
}
