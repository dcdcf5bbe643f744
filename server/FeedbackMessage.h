#pragma once
// One feedback message as the form sends it (name, e-mail under the key
// `age`, comment beginning with "(MP4)"), the checks a message must pass, and
// the receiver's limits.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tessaro::feedbackd {

struct FeedbackMessage {
    std::string name;
    std::string email;
    std::string comment;
};

// A stored message, with the time it arrived (UTC, ISO 8601) and the
// client's address.
struct StoredMessage {
    long long id = 0;
    std::string receivedAt;
    std::string address;
    FeedbackMessage message;
};

struct Limits {
    // Longest field, in characters (Unicode code points). The form allows
    // 50, 100 and "(MP4)" plus 256.
    std::size_t name = 50;
    std::size_t email = 100;
    std::size_t comment = 261;
    // Longest request head (request line and header fields) and body, in
    // bytes; a body is refused as soon as it passes its limit.
    std::size_t head = 8192;
    std::size_t body = 16384;
    // Connections in all and per client (address, or IPv6 /64; a trusted
    // proxy is not limited), and the seconds a request may take to arrive,
    // head and body, before its connection is closed.
    int connections = 1024;
    int perAddress = 16;
    int requestTimeout = 10;
    int backlog = 511;
    // Requests to the form's path per client address and minute.
    int perMinute = 10;
    // A message equal to one from the same address this many seconds ago
    // is a retry: answered as stored, not stored again.
    int retryWindow = 600;
};

// The fields of a query or form-encoded body ("a=1&b=2"), in order: a key
// ends at its first "=", everything after it is the value; "%XX" and "+" are
// decoded in both. A part without "=" is a key with an empty value.
std::vector<std::pair<std::string, std::string>> parseFormFields(const std::string& text);

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code
// points past U+10FFFF) without control characters other than tab, line feed
// and carriage return; sets `length` to its code points.
bool isCleanUtf8(const std::string& text, std::size_t& length);

// The HTTP status a message gets before it is stored: 0 when it passes, 400
// for a missing field or text that is not clean UTF-8, 413 for a field over
// its limit. `reason` says which.
int checkMessage(const FeedbackMessage& message, const Limits& limits, std::string& reason);

}  // namespace tessaro::feedbackd
