#pragma once
// The receiver: answers the feedback form's request
//   GET /suggest/post.php?name=...&age=...&comment=...
// (and the same keys in a form-encoded POST) with 200 once the message is
// stored (or was, for a retry), 400 for a missing field or text that is not
// UTF-8, 413/414 for a field or request over its limit, 429 for a client over
// the rate limit and 503 when the database fails.

#include <memory>
#include <string>

#include "server/FeedbackConfig.h"

namespace httplib {
class Server;
}

namespace tessaro::feedbackd {

class FeedbackStore;
class RateLimiter;

class FeedbackServer {
public:
    FeedbackServer(const FeedbackConfig& config, FeedbackStore& store);
    ~FeedbackServer();

    // Binds the address and port (any free one for port 0); false with
    // `error` set when it cannot, or the certificate does not load.
    bool bind(std::string& error);
    int port() const { return m_port; }
    // Serves until stop(), from any thread.
    bool run();
    void stop();

private:
    FeedbackConfig m_config;
    FeedbackStore& m_store;
    std::unique_ptr<RateLimiter> m_limiter;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
};

}  // namespace tessaro::feedbackd
