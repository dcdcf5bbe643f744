#include "server/FeedbackRequest.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>

#include "server/RateLimiter.h"

namespace tessaro::feedbackd {

namespace {

constexpr const char* kPath = "/suggest/post.php";

FeedbackResponse answer(int status, const std::string& text, const char* header = nullptr,
                        const char* value = nullptr) {
    FeedbackResponse response;
    response.status = status;
    response.body = text + "\n";
    if (header) response.headers.emplace_back(header, value);
    return response;
}

bool sameText(const std::optional<std::string>& value, const char* text) {
    return value && strcasecmp(value->c_str(), text) == 0;
}

// The announced body length; the largest number for one that is not a plain
// decimal number.
unsigned long long announcedLength(const std::optional<std::string>& length) {
    if (!length) return 0;
    const char* text = length->c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long long bytes = std::strtoull(text, &end, 10);
    return *text < '0' || *text > '9' || *end || errno ? ~0ull : bytes;
}

bool isForm(const std::optional<std::string>& contentType) {
    constexpr const char kForm[] = "application/x-www-form-urlencoded";
    return contentType && strncasecmp(contentType->c_str(), kForm, sizeof kForm - 1) == 0;
}

// What the head alone decides: ReadBody when it passes.
FeedbackResponse checkHead(const FeedbackRequest& request, const Limits& limits) {
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    const auto& chunked = request.transferEncoding;
    const unsigned long long bytes = announcedLength(request.contentLength);
    if (request.headBytes > limits.head) return answer(431, "request head too large");
    if (!get && !post) return answer(405, "method not allowed", "Allow", "GET, POST");
    if (request.path != kPath) return answer(404, "not found");
    if (request.contentLength && chunked)
        return answer(400, "both Content-Length and Transfer-Encoding");
    // The library would read a body of any other transfer coding to the end
    // of the connection.
    if (chunked && !sameText(chunked, "chunked"))
        return answer(501, "no transfer coding but chunked");
    if (request.contentEncoding && !sameText(request.contentEncoding, "identity"))
        return answer(415, "no content coding accepted");
    if (bytes > limits.body || (get && (chunked || bytes > 0)))
        return answer(413, "request too large");
    FeedbackResponse go;
    go.next = FeedbackResponse::Next::ReadBody;
    return go;
}

// The form's three fields from the query and a form-encoded body; false
// with `reason` set when one comes twice.
bool readMessage(const FeedbackRequest& request, FeedbackMessage& message, std::string& reason) {
    const auto query = request.target.find('?');
    auto fields = parseFormFields(query == std::string::npos ? std::string()
                                                             : request.target.substr(query + 1));
    if (isForm(request.contentType)) {
        for (auto& field : parseFormFields(*request.body)) fields.push_back(std::move(field));
    }
    std::string* const texts[] = {&message.name, &message.email, &message.comment};
    bool seen[3] = {};
    for (const auto& [key, value] : fields) {
        const int index = key == "name" ? 0 : key == "age" ? 1 : key == "comment" ? 2 : -1;
        if (index < 0) continue;
        if (seen[index]) {
            reason = "repeated " + key;
            return false;
        }
        seen[index] = true;
        *texts[index] = value;
    }
    return true;
}

}  // namespace

FeedbackResponse respond(const FeedbackRequest& request, const FeedbackConfig& config,
                         RateLimiter& limiter) {
    FeedbackResponse head = checkHead(request, config.limits);
    if (head.next != FeedbackResponse::Next::ReadBody || !request.body) return head;
    if (request.body->size() > config.limits.body) return answer(413, "request too large");
    IpAddress client;
    if (!forwardedClient(request.peer, request.forwardedFor, config.trustedProxies, client))
        return answer(400, "bad X-Forwarded-For");
    if (!limiter.allow(client.countingKey()))
        return answer(429, "too many requests", "Retry-After", "60");
    FeedbackResponse store;
    store.next = FeedbackResponse::Next::Store;
    std::string reason;
    if (!readMessage(request, store.item.message, reason)) return answer(400, reason);
    if (const int status = checkMessage(store.item.message, config.limits, reason))
        return answer(status, reason);
    store.item.address = client.text();
    return store;
}

FeedbackResponse storedResponse(const FeedbackStore::Item& item) {
    return item.result == FeedbackStore::Result::Failed
               ? answer(503, "cannot store the message now")
               : answer(200, "OK");
}

}  // namespace tessaro::feedbackd
