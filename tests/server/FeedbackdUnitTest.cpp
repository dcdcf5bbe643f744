// The receiver's settings, its parsing of fields and addresses, its rate
// table and its export, without a server.

#include <gtest/gtest.h>

#include <sstream>

#include "server/ClientAddress.h"
#include "server/FeedbackConfig.h"
#include "server/FeedbackExport.h"
#include "server/RateLimiter.h"

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
    EXPECT_EQ(config.limits.head, 8192u);
    EXPECT_EQ(config.limits.body, 16384u);
    EXPECT_EQ(config.limits.connections, 1024);
    EXPECT_EQ(config.limits.perAddress, 16);
    EXPECT_EQ(config.limits.requestTimeout, 10);
    EXPECT_GE(config.limits.backlog, 511);
    EXPECT_TRUE(config.trustedProxies.empty());

    // The older max_request sets the body's limit; proxies add up.
    ASSERT_TRUE(readConfigText("max_request = 20000\ntrusted_proxy = 10.0.0.0/8, ::1\n"
                               "trusted_proxy = 192.0.2.7\nrequest_timeout = 3\n",
                               config, error))
        << error;
    EXPECT_EQ(config.limits.body, 20000u);
    EXPECT_EQ(config.limits.requestTimeout, 3);
    IpAddress a;
    for (const char* trusted : {"10.1.2.3", "::1", "192.0.2.7"})
        EXPECT_TRUE(parseAddress(trusted, a) && config.trustedProxies.contains(a)) << trusted;

    const struct {
        const char* text;
        const char* error;
    } bad[] = {{"port = 70000\n", "line 1: port = 70000"},
               {"\nrate_per_minute = ten\n", "line 2: rate_per_minute = ten"},
               {"database =\n", "line 1: database ="},
               {"colour = red\n", "line 1: colour = red"},
               {"port\n", "line 1: port"},
               {"trusted_proxy = 10.0.0.0/33\n", "line 1: trusted_proxy = 10.0.0.0/33"},
               {"trusted_proxy = proxy.example\n", "line 1: trusted_proxy = proxy.example"},
               {"listen_backlog = 5\n", "line 1: listen_backlog = 5"}};
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

TEST(FeedbackdFieldsTest, AKeyEndsAtItsFirstEqualsSign) {
    using Fields = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* text;
        Fields fields;
    } cases[] = {
        {"name=a&age=b", {{"name", "a"}, {"age", "b"}}},
        {"comment=(MP4)1%2B1=2", {{"comment", "(MP4)1+1=2"}}},
        {"comment=a=b=c&x==", {{"comment", "a=b=c"}, {"x", "="}}},
        {"a+b=c+d%20e", {{"a b", "c d e"}}},
        {"flag&&=v&k=", {{"flag", ""}, {"", "v"}, {"k", ""}}},
        {"bad=%G1%4", {{"bad", "%G1%4"}}},
        {"n=%E5%A5%BD%00", {{"n", std::string("\xe5\xa5\xbd\0", 4)}}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseFormFields(c.text), c.fields) << c.text;
}

TEST(FeedbackdAddressTest, ClientsAreCountedByAddressOrIpv6SlashSixtyFour) {
    const struct {
        const char* text;
        const char* key;
    } cases[] = {
        {"192.0.2.1", "192.0.2.1"},
        {"::ffff:192.0.2.1", "192.0.2.1"},
        {"2001:db8:1:2:aaaa::1", "2001:db8:1:2::/64"},
        {"2001:db8:1:2:bbbb:cccc:dddd:eeee", "2001:db8:1:2::/64"},
        {"2001:db8:1:3::1", "2001:db8:1:3::/64"},
    };
    for (const auto& c : cases) {
        IpAddress a;
        ASSERT_TRUE(parseAddress(c.text, a)) << c.text;
        EXPECT_EQ(a.countingKey(), c.key) << c.text;
    }
    IpAddress a;
    for (const char* bad : {"", "192.0.2", "192.0.2.1 ", "host.example", "2001:db8::g"})
        EXPECT_FALSE(parseAddress(bad, a)) << bad;
}

TEST(FeedbackdAddressTest, OnlyATrustedProxyNamesTheClient) {
    AddressSet trusted;
    std::string error;
    ASSERT_TRUE(trusted.add("127.0.0.2 10.0.0.0/8,2001:db8::/32", error));
    const struct {
        const char* peer;
        std::vector<std::string> forwardedFor;
        const char* client;  // nullptr: a bad header
    } cases[] = {
        {"127.0.0.2", {"192.0.2.1"}, "192.0.2.1"},
        {"127.0.0.2", {"192.0.2.66, 192.0.2.1"}, "192.0.2.1"},
        {"127.0.0.2", {"192.0.2.1, 10.9.9.9", "10.1.1.1"}, "192.0.2.1"},
        {"10.0.0.5", {"10.0.0.9, 10.0.0.8"}, "10.0.0.9"},
        {"2001:db8::7", {"2001:db8:ffff::1, 192.0.2.5"}, "192.0.2.5"},
        {"127.0.0.2", {}, "127.0.0.2"},
        {"127.0.0.3", {"192.0.2.1"}, "127.0.0.3"},
        {"192.0.2.200", {"10.0.0.1"}, "192.0.2.200"},
        {"127.0.0.2", {"192.0.2.1, unknown"}, nullptr},
    };
    for (const auto& c : cases) {
        IpAddress peer, client;
        ASSERT_TRUE(parseAddress(c.peer, peer));
        EXPECT_EQ(forwardedClient(peer, c.forwardedFor, trusted, client), c.client != nullptr)
            << c.peer;
        if (c.client) {
            EXPECT_EQ(client.text(), c.client) << c.peer;
        }
    }
}

TEST(FeedbackdRateTest, WindowsAreForgottenOldestFirstAndCountedPerMinute) {
    RateLimiter limiter(2);
    const auto t0 = RateLimiter::Clock::now();
    const auto at = [&](int seconds) { return t0 + std::chrono::seconds(seconds); };
    EXPECT_TRUE(limiter.allow("a", at(0)));
    EXPECT_TRUE(limiter.allow("a", at(1)));
    EXPECT_FALSE(limiter.allow("a", at(59)));
    for (int i = 0; i < 20000; ++i) EXPECT_TRUE(limiter.allow("x" + std::to_string(i), at(30)));
    EXPECT_EQ(limiter.size(), 20001u);
    // A minute after its start, "a" counts afresh; its old window is gone.
    EXPECT_TRUE(limiter.allow("a", at(60)));
    EXPECT_EQ(limiter.size(), 20001u);
    EXPECT_TRUE(limiter.allow("a", at(61)));
    EXPECT_FALSE(limiter.allow("a", at(89)));
    // Past the crowd's minute only "a"'s window and the newcomer's remain.
    EXPECT_TRUE(limiter.allow("b", at(90)));
    EXPECT_EQ(limiter.size(), 2u);
    EXPECT_FALSE(limiter.allow("a", at(119)));
    EXPECT_TRUE(limiter.allow("a", at(120)));
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

TEST(FeedbackdExportTest, EveryFieldASpreadsheetWouldRunGetsTheGuard) {
    const struct {
        std::string comment;
        std::string field;
    } cases[] = {
        {"  =1+1", "'  =1+1"},  {" @SUM(A1)", "' @SUM(A1)"},
        {"\t=1", "'\t=1"},      {"\tplain", "'\tplain"},
        {"\r=1", "\"'\r=1\""},  {"+1", "'+1"},
        {"a =1", "a =1"},       {"   ", "   "},
        {"(MP4)-x", "(MP4)-x"},
    };
    for (const auto& c : cases) {
        std::ostringstream csv;
        writeCsv(csv, {{1, "t", "a", {"n", "e", c.comment}}});
        EXPECT_EQ(csv.str(),
                  "id,received_at,address,name,email,comment\r\n1,t,a,n,e," + c.field + "\r\n")
            << c.comment;
    }
}

}  // namespace
}  // namespace tessaro::feedbackd
