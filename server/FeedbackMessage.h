#pragma once
// One feedback message as the form sends it (name, e-mail under the key
// `age`, comment beginning with "(MP4)"), the checks a message must pass, and
// the receiver's limits.

#include <cstddef>
#include <string>

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
    // Longest request target plus body, in bytes.
    std::size_t request = 16384;
    // Requests to the form's path per client address and minute.
    int perMinute = 10;
    // A message equal to one from the same address this many seconds ago
    // is a retry: answered as stored, not stored again.
    int retryWindow = 600;
};

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code
// points past U+10FFFF) without control characters other than tab, line feed
// and carriage return; sets `length` to its code points.
bool isCleanUtf8(const std::string& text, std::size_t& length);

// The HTTP status a message gets before it is stored: 0 when it passes, 400
// for a missing field or text that is not clean UTF-8, 413 for a field over
// its limit. `reason` says which.
int checkMessage(const FeedbackMessage& message, const Limits& limits, std::string& reason);

}  // namespace tessaro::feedbackd
