#pragma once
// The receiver: answers the feedback form's request
//   GET /suggest/post.php?name=...&age=...&comment=...
// (and the same keys in a form-encoded POST) with 200 once the message is
// stored (or was, for a retry), 400 for a missing field or text that is not
// UTF-8, 413/414 for a field, body or request target over its limit, 429 for
// a client over the rate limit and 503 when the database fails.
//
// GNU libmicrohttpd serves it from one epoll thread, so an idle or slow
// connection costs a socket and a little memory, never a thread. Around it:
// connection limits in all and per client, a deadline for each request to
// arrive (head and body), a head and a body limit checked before the body is
// read, 405 for other methods, 415 for a coded body, 400 for Content-Length
// with Transfer-Encoding. Messages go to one storing thread, which writes
// all that are waiting in one transaction while their connections wait
// suspended; nothing else waits for the database.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "server/FeedbackConfig.h"

struct MHD_Daemon;
struct MHD_Connection;

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

    struct Connection;
    struct Request;

private:
    using Clock = std::chrono::steady_clock;

    friend struct Callbacks;  // libmicrohttpd's callbacks, with the server as closure

    // Fills in a request whose head has arrived and answers it when the head
    // alone decides.
    void headArrived(MHD_Connection* connection, Request& request, const char* url,
                     const char* method);
    // Answers 413 on the socket itself and closes it, for a body that
    // passes its limit while it arrives.
    void refuseLargeBody(const Request& request);
    // A request that has all arrived: answered, or sent to be stored.
    void complete(MHD_Connection* connection, Request& request);
    // The parts of bind(): the certificate and key when HTTPS is set, the
    // listening socket, the library's daemon on it.
    bool loadCertificate(std::string& error);
    bool listenSocket(std::string& error);
    bool startDaemon(std::string& error);
    std::string listenError() const;  // "cannot listen on ADDRESS port N"
    // Arms the deadline of the connection's next request.
    void arm(const std::shared_ptr<Connection>& connection);
    void watchDeadlines();
    void storeMessages();

    FeedbackConfig m_config;
    FeedbackStore& m_store;
    std::unique_ptr<RateLimiter> m_limiter;
    MHD_Daemon* m_daemon = nullptr;
    int m_listen = -1;
    int m_port = 0;
    bool m_tls = false;
    std::string m_certificate, m_key;

    // Open connections per client key, and the requests still arriving, in
    // the order of their deadlines (all deadlines are equally long).
    std::mutex m_connectionsLock;
    std::unordered_map<std::string, int> m_perClient;
    struct Deadline {
        Clock::time_point at;
        std::shared_ptr<Connection> connection;
        unsigned long long request;
    };
    std::deque<Deadline> m_deadlines;

    // Messages waiting for the storing thread.
    std::mutex m_queueLock;
    std::condition_variable m_queueChanged;
    std::vector<Request*> m_queue;

    // Set under both the stop and the queue lock.
    std::mutex m_stopLock;
    std::condition_variable m_stopChanged;
    bool m_stopping = false;
};

}  // namespace tessaro::feedbackd
