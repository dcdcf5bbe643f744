#include "server/FeedbackServer.h"

#include <httplib.h>

#include <iostream>

#include "server/FeedbackStore.h"
#include "server/RateLimiter.h"

namespace tessaro::feedbackd {

namespace {

void answer(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

}  // namespace

FeedbackServer::FeedbackServer(const FeedbackConfig& config, FeedbackStore& store)
    : m_config(config),
      m_store(store),
      m_limiter(std::make_unique<RateLimiter>(config.limits.perMinute)) {}

FeedbackServer::~FeedbackServer() = default;

bool FeedbackServer::bind(std::string& error) {
    if (!m_config.certificate.empty() || !m_config.privateKey.empty()) {
        auto ssl = std::make_unique<httplib::SSLServer>(m_config.certificate.c_str(),
                                                        m_config.privateKey.c_str());
        if (!ssl->is_valid()) {
            error = "cannot load the certificate " + m_config.certificate + " and key " +
                    m_config.privateKey;
            return false;
        }
        m_server = std::move(ssl);
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    httplib::Server& svr = *m_server;
    const Limits limits = m_config.limits;
    svr.new_task_queue = [] { return new httplib::ThreadPool(32); };
    svr.set_payload_max_length(limits.request);
    svr.set_read_timeout(5, 0);
    svr.set_write_timeout(5, 0);
    svr.set_keep_alive_max_count(20);
    // The library's default also sets SO_REUSEPORT, which would let a second
    // receiver share the port and split the messages between two databases.
    svr.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    // The size of a request is known from its head: refuse a body that would
    // not fit before reading it, and any body of a GET, which the library
    // would otherwise leave on the connection to be read as the next request.
    svr.set_pre_routing_handler([limits](const httplib::Request& req, httplib::Response& res) {
        const bool chunked = req.has_header("Transfer-Encoding");
        const std::string length = req.get_header_value("Content-Length");
        const bool body = chunked || (!length.empty() && length != "0");
        unsigned long long bytes = 0;
        if (!length.empty() &&
            (length.find_first_not_of("0123456789") != std::string::npos || length.size() > 12))
            bytes = ~0ull;
        else if (!length.empty())
            bytes = std::stoull(length);
        if ((req.method == "GET" && body) || req.target.size() + bytes > limits.request) {
            res.set_header("Connection", "close");
            answer(res, 413, "request too large");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    auto handle = [this, limits](const httplib::Request& req, httplib::Response& res) {
        if (!m_limiter->allow(req.remote_addr)) {
            res.set_header("Retry-After", "60");
            return answer(res, 429, "too many requests");
        }
        if (req.target.size() + req.body.size() > limits.request)
            return answer(res, 413, "request too large");
        for (const char* key : {"name", "age", "comment"}) {
            if (req.get_param_value_count(key) > 1)
                return answer(res, 400, std::string("repeated ") + key);
        }
        const FeedbackMessage message{req.get_param_value("name"), req.get_param_value("age"),
                                      req.get_param_value("comment")};
        std::string reason;
        if (const int status = checkMessage(message, limits, reason))
            return answer(res, status, reason);
        switch (m_store.store(message, req.remote_addr, limits.retryWindow)) {
            case FeedbackStore::Result::Stored:
            case FeedbackStore::Result::Retry:
                return answer(res, 200, "OK");
            case FeedbackStore::Result::Failed:
                std::cerr << "tessaro-feedbackd: cannot store a message\n";
                return answer(res, 503, "cannot store the message now");
        }
    };
    svr.Get("/suggest/post.php", handle);
    svr.Post("/suggest/post.php", handle);

    if (m_config.port == 0) {
        m_port = svr.bind_to_any_port(m_config.listen.c_str());
    } else {
        m_port = svr.bind_to_port(m_config.listen.c_str(), m_config.port) ? m_config.port : -1;
    }
    if (m_port <= 0) {
        error = "cannot listen on " + m_config.listen + " port " + std::to_string(m_config.port);
        return false;
    }
    return true;
}

bool FeedbackServer::run() { return m_server->listen_after_bind(); }

void FeedbackServer::stop() {
    if (m_server) m_server->stop();
}

}  // namespace tessaro::feedbackd
