#pragma once
// The receiver's answer to one request, apart from any HTTP library: what a
// request says (its line, the headers that matter, its client and, once it
// has arrived, its body) in; the answer, or the message to store, out.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/ClientAddress.h"
#include "server/FeedbackConfig.h"
#include "server/FeedbackStore.h"

namespace tessaro::feedbackd {

class RateLimiter;

struct FeedbackRequest {
    std::string method;  // "GET", "POST", ...
    std::string path;    // decoded, without the query
    std::string target;  // as sent, query included, before any decoding
    // The bytes of the head as it came: request line, header lines, empty line.
    std::size_t headBytes = 0;
    // The headers that matter, unset when absent.
    std::optional<std::string> contentLength, transferEncoding, contentEncoding, contentType;
    std::vector<std::string> forwardedFor;  // every X-Forwarded-For value, in order
    IpAddress peer;                         // the connection's other end
    std::optional<std::string> body;        // unset while only the head has arrived
};

struct FeedbackResponse {
    // ReadBody: the head passes, read on. Answer: send status, body and
    // headers. Store: store `item`, then answer with storedResponse().
    enum class Next { ReadBody, Answer, Store };
    Next next = Next::Answer;
    int status = 0;
    std::string body;  // text/plain, UTF-8
    std::vector<std::pair<std::string, std::string>> headers;
    FeedbackStore::Item item;
};

// Judges a request. With the head alone: ReadBody when the head passes, else
// the answer (431, 405, 404, 400, 501, 415, 413). With its body: the answer
// (the head's, then 413, 400 for a bad X-Forwarded-For, 429, 400 or 413 for
// the message), or Store with the checked message and the client's address.
// Only a request with its body counts against `limiter`.
FeedbackResponse respond(const FeedbackRequest& request, const FeedbackConfig& config,
                         RateLimiter& limiter);

// The answer once the store has tried `item`: 200 for a stored message or a
// retry, 503 when the database failed.
FeedbackResponse storedResponse(const FeedbackStore::Item& item);

}  // namespace tessaro::feedbackd
