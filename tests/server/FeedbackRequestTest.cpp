// The receiver's judgement of a request, without a socket: requests as the
// HTTP adapter fills them in, the answers and the messages to store.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>

#include "server/FeedbackRequest.h"
#include "server/RateLimiter.h"

namespace tessaro::feedbackd {
namespace {

using Next = FeedbackResponse::Next;

IpAddress address(const char* text) {
    IpAddress a;
    EXPECT_TRUE(parseAddress(text, a)) << text;
    return a;
}

using Headers = std::vector<std::pair<std::string, std::string>>;

// A request from `peer` with its body arrived, as the adapter fills it in;
// the names "Path" and "Head-Bytes" set its path and its head's size.
FeedbackRequest request(const std::string& method, const std::string& query,
                        const Headers& headers = {}, const std::string& body = "",
                        const char* peer = "192.0.2.1") {
    FeedbackRequest r;
    r.method = method;
    r.path = "/suggest/post.php";
    r.target = r.path + "?" + query;
    r.headBytes = 64;
    r.body = body;
    r.peer = address(peer);
    for (const auto& [name, value] : headers) {
        if (name == "Path") r.path = value;
        if (name == "Head-Bytes") r.headBytes = std::stoul(value);
        if (name == "Content-Length") r.contentLength = value;
        if (name == "Transfer-Encoding") r.transferEncoding = value;
        if (name == "Content-Encoding") r.contentEncoding = value;
        if (name == "Content-Type") r.contentType = value;
        if (name == "X-Forwarded-For") r.forwardedFor.push_back(value);
    }
    return r;
}

const std::string kGood = "name=a&age=b&comment=(MP4)c";
const std::pair<std::string, std::string> kForm = {"Content-Type",
                                                   "application/x-www-form-urlencoded"};

FeedbackConfig config(int perMinute) {
    FeedbackConfig c;
    std::string error;
    EXPECT_TRUE(c.trustedProxies.add("127.0.0.2", error));
    c.limits.perMinute = perMinute;
    return c;
}

TEST(FeedbackRequestTest, EachRequestGetsItsAnswerAndOnlyGoodOnesAreStored) {
    const std::string stored = "a|b|(MP4)c@192.0.2.1";
    const Headers proxy = {{"X-Forwarded-For", "198.51.100.7, 127.0.0.2"}};
    const struct {
        const char* what;
        FeedbackRequest request;
        int status;          // 0: stored
        bool byHead;         // the head alone decides
        std::string expect;  // name|email|comment@address stored, or the answer's headers
    } cases[] = {
        {"good GET", request("GET", kGood), 0, false, stored},
        {"form-encoded POST", request("POST", "", {kForm}, kGood), 0, false, stored},
        {"key ends at its first '='", request("GET", "name=a&age=b&comment=1%2B1=2"), 0, false,
         "a|b|1+1=2@192.0.2.1"},
        {"identity coding", request("GET", kGood, {{"Content-Encoding", "Identity"}}), 0, false,
         stored},
        {"forwarded by a trusted proxy", request("GET", kGood, proxy, "", "127.0.0.2"), 0, false,
         "a|b|(MP4)c@198.51.100.7"},
        {"forwarded by anyone else", request("GET", kGood, proxy), 0, false, stored},
        {"bad X-Forwarded-For from a proxy",
         request("GET", kGood, {{"X-Forwarded-For", "unknown"}}, "", "127.0.0.2"), 400, false, ""},
        {"missing field", request("GET", "name=a&age=b"), 400, false, ""},
        {"repeated across query and body", request("POST", "name=z", {kForm}, kGood), 400, false,
         ""},
        {"body not form-encoded", request("POST", "", {}, kGood), 400, false, ""},
        {"invalid UTF-8", request("GET", "name=%FF%FE&age=b&comment=c"), 400, false, ""},
        {"terminal escape", request("GET", "name=a&age=b&comment=%1B%5B2J"), 400, false, ""},
        {"name over its limit", request("GET", "name=" + std::string(51, 'n') + "&age=b&comment=c"),
         413, false, ""},
        {"PUT", request("PUT", kGood), 405, true, "Allow: GET, POST"},
        {"HEAD", request("HEAD", kGood), 405, true, "Allow: GET, POST"},
        {"another path", request("GET", kGood, {{"Path", "/suggest/other.php"}}), 404, true, ""},
        {"head over its limit", request("GET", kGood, {{"Head-Bytes", "8193"}}), 431, true, ""},
        {"Content-Length with Transfer-Encoding",
         request("POST", "", {{"Content-Length", "5"}, {"Transfer-Encoding", "chunked"}}), 400,
         true, ""},
        {"transfer coding other than chunked",
         request("POST", "", {{"Transfer-Encoding", "gzip, chunked"}}), 501, true, ""},
        {"gzip-coded body", request("POST", "", {{"Content-Encoding", "gzip"}}), 415, true, ""},
        {"announced body over its limit", request("POST", "", {{"Content-Length", "16385"}}), 413,
         true, ""},
        {"Content-Length not a number", request("POST", "", {{"Content-Length", "12abc"}}), 413,
         true, ""},
        {"a GET with a body", request("GET", kGood, {{"Content-Length", "5"}}), 413, true, ""},
        {"arrived body over its limit",
         request("POST", "", {kForm, {"Transfer-Encoding", "chunked"}}, std::string(16385, 'b')),
         413, false, ""},
    };
    for (const auto& c : cases) {
        // A limit of one request a minute: the head's look must not count.
        const FeedbackConfig settings = config(1);
        RateLimiter limiter(settings.limits.perMinute);
        FeedbackRequest head = c.request;
        head.body.reset();
        const FeedbackResponse early = respond(head, settings, limiter);
        EXPECT_EQ(early.next, c.byHead ? Next::Answer : Next::ReadBody) << c.what;
        EXPECT_EQ(early.status, c.byHead ? c.status : 0) << c.what;

        const FeedbackResponse r = respond(c.request, settings, limiter);
        ASSERT_EQ(r.next, c.status ? Next::Answer : Next::Store) << c.what << ": " << r.body;
        EXPECT_EQ(r.status, c.status) << c.what;
        const FeedbackMessage& m = r.item.message;
        std::string headers;
        for (const auto& [name, value] : r.headers) headers += name + ": " + value;
        EXPECT_EQ(
            c.status ? headers : m.name + "|" + m.email + "|" + m.comment + "@" + r.item.address,
            c.expect)
            << c.what;
    }
}

TEST(FeedbackRequestTest, TheRateCountsEachClientOnceAProxyNamesIt) {
    const struct {
        const char* peer;
        const char* forwardedFor;  // "": none
        int status;                // 0: stored
    } steps[] = {
        {"192.0.2.1", "", 0},
        {"192.0.2.1", "", 0},
        {"192.0.2.1", "", 429},
        {"192.0.2.1", "", 429},
        {"192.0.2.2", "", 0},
        // A client that is no proxy cannot move itself to another count.
        {"192.0.2.1", "198.51.100.9", 429},
        {"127.0.0.2", "198.51.100.7", 0},
        {"127.0.0.2", "198.51.100.8", 0},
        {"127.0.0.2", "198.51.100.7", 0},
        {"127.0.0.2", "198.51.100.7", 429},
    };
    const FeedbackConfig settings = config(2);
    RateLimiter limiter(settings.limits.perMinute);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const Headers forwarded = {{"X-Forwarded-For", steps[i].forwardedFor}};
        const FeedbackResponse r =
            respond(request("GET", kGood, *steps[i].forwardedFor ? forwarded : Headers{}, "",
                            steps[i].peer),
                    settings, limiter);
        EXPECT_EQ(r.status, steps[i].status) << "step " << i;
        EXPECT_EQ(r.headers.size(), steps[i].status == 429 ? 1u : 0u) << "step " << i;
    }
}

TEST(FeedbackRequestTest, ARetryIsStoredOnceAndAnsweredLikeTheFirst) {
    const std::string path =
        testing::TempDir() + "feedback-request-" + std::to_string(getpid()) + ".db";
    FeedbackStore store;
    std::string error;
    ASSERT_TRUE(store.open(path, false, error)) << error;
    const FeedbackConfig settings = config(10);
    RateLimiter limiter(settings.limits.perMinute);
    const struct {
        FeedbackRequest request;
        FeedbackStore::Result result;
    } sends[] = {
        {request("POST", "", {kForm}, kGood), FeedbackStore::Result::Stored},
        {request("GET", kGood), FeedbackStore::Result::Retry},
        {request("GET", "name=a&age=b&comment=(MP4)d"), FeedbackStore::Result::Stored},
    };
    for (const auto& s : sends) {
        FeedbackResponse r = respond(s.request, settings, limiter);
        ASSERT_EQ(r.next, Next::Store) << r.body;
        std::vector<FeedbackStore::Item*> items{&r.item};
        store.store(items, settings.limits.retryWindow);
        EXPECT_EQ(r.item.result, s.result) << r.item.message.comment;
        const FeedbackResponse answer = storedResponse(r.item);
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, "OK\n");
    }
    std::vector<StoredMessage> rows;
    ASSERT_TRUE(store.all(rows, error)) << error;
    EXPECT_EQ(rows.size(), 2u);

    FeedbackStore::Item failed;
    failed.result = FeedbackStore::Result::Failed;
    EXPECT_EQ(storedResponse(failed).status, 503);
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

}  // namespace
}  // namespace tessaro::feedbackd
