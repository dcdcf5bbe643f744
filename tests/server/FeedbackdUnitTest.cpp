// The receiver's settings and its export, without a server.

#include <gtest/gtest.h>

#include <sstream>

#include "server/FeedbackConfig.h"
#include "server/FeedbackExport.h"

namespace tessaro::feedbackd {
namespace {

TEST(FeedbackdConfigTest, FileThenCommandLineAndBadLinesRefused) {
    FeedbackConfig config;
    std::string error;
    ASSERT_TRUE(readConfigText("# c\n port = 9000 \nlisten=::1\nmax_name = 7\ncertificate =\n",
                               config, error))
        << error;
    EXPECT_EQ(config.port, 9000);
    EXPECT_EQ(config.listen, "::1");
    EXPECT_EQ(config.limits.name, 7u);

    const struct {
        const char* text;
        const char* error;
    } bad[] = {{"port = 70000\n", "line 1: port = 70000"},
               {"\nrate_per_minute = ten\n", "line 2: rate_per_minute = ten"},
               {"database =\n", "line 1: database ="},
               {"colour = red\n", "line 1: colour = red"},
               {"port\n", "line 1: port"}};
    for (const auto& b : bad) {
        FeedbackConfig c;
        EXPECT_FALSE(readConfigText(b.text, c, error)) << b.text;
        EXPECT_EQ(error, b.error);
    }

    ASSERT_TRUE(parseCommandLine({"export", "--database", "x.db", "--json"}, config, error));
    EXPECT_TRUE(config.exportMessages && config.json);
    EXPECT_EQ(config.database, "x.db");
    EXPECT_FALSE(parseCommandLine({"export", "--port", "1"}, config, error));
    EXPECT_FALSE(parseCommandLine({"--port"}, config, error));
}

TEST(FeedbackdExportTest, CsvQuotesAndGuardsFormulasAndJsonKeepsTextsExact) {
    const std::vector<StoredMessage> rows = {
        {1, "2026-01-02T03:04:05.006Z", "10.0.0.1", {"张三", "a@b", "(MP4)好, \"很\"\n好"}},
        {2, "2026-01-02T03:04:06.000Z", "::1", {"=HYPERLINK(1)", "-x", "(MP4)\\\t"}},
    };
    std::ostringstream csv, json;
    writeCsv(csv, rows);
    writeJson(json, rows);
    EXPECT_EQ(csv.str(),
              "id,received_at,address,name,email,comment\r\n"
              "1,2026-01-02T03:04:05.006Z,10.0.0.1,张三,a@b,\"(MP4)好, \"\"很\"\"\n好\"\r\n"
              "2,2026-01-02T03:04:06.000Z,::1,'=HYPERLINK(1),'-x,(MP4)\\\t\r\n");
    EXPECT_EQ(
        json.str(),
        "[\n  {\"id\": 1, \"received_at\": \"2026-01-02T03:04:05.006Z\", \"address\": "
        "\"10.0.0.1\", \"name\": \"张三\", \"email\": \"a@b\", \"comment\": "
        "\"(MP4)好, \\\"很\\\"\\u000a好\"},\n"
        "  {\"id\": 2, \"received_at\": \"2026-01-02T03:04:06.000Z\", \"address\": \"::1\", "
        "\"name\": \"=HYPERLINK(1)\", \"email\": \"-x\", \"comment\": \"(MP4)\\\\\\u0009\"}\n]\n");
}

}  // namespace
}  // namespace tessaro::feedbackd
