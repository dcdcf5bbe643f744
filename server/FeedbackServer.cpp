#include "server/FeedbackServer.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>

#include "base/FileHead.h"
#include "server/ClientAddress.h"
#include "server/FeedbackRequest.h"
#include "server/FeedbackStore.h"
#include "server/RateLimiter.h"

namespace tessaro::feedbackd {

// One client connection: its socket, its client, and whether its current
// request is still arriving. The fields after `fd` change under the server's
// connections lock only.
struct FeedbackServer::Connection {
    int fd = -1;
    IpAddress peer;
    std::string key;  // empty for a trusted proxy, which no per-client limit counts
    bool open = true;
    bool arriving = true;
    unsigned long long request = 0;
};

// One request, from its head to its answer.
struct FeedbackServer::Request {
    FeedbackRequest http;
    bool headChecked = false;
    bool answered = false;  // answered, or sent to be stored
    std::shared_ptr<Connection> connection;
    MHD_Connection* mhd = nullptr;
    FeedbackStore::Item item;
};

namespace {

void queueAnswer(MHD_Connection* connection, const FeedbackResponse& answer) {
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    for (const auto& [name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
}

std::optional<std::string> header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// Every value of a header that may come several times, in order.
std::vector<std::string> headerValues(MHD_Connection* connection, const char* name) {
    struct Search {
        const char* name;
        std::vector<std::string> values;
    } search{name, {}};
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char* value) -> MHD_Result {
            auto* s = static_cast<Search*>(cls);
            if (key && value && strcasecmp(key, s->name) == 0) s->values.push_back(value);
            return MHD_YES;
        },
        &search);
    return search.values;
}

// The bytes of the request head as it came: the request line, each header
// line and the empty line.
std::size_t headSize(MHD_Connection* connection, const char* method, const std::string& target) {
    std::size_t size = std::strlen(method) + target.size() + 13;
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char* value) -> MHD_Result {
            *static_cast<std::size_t*>(cls) +=
                (key ? std::strlen(key) : 0) + (value ? std::strlen(value) : 0) + 4;
            return MHD_YES;
        },
        &size);
    return size + 2;
}

FeedbackResponse shuttingDown() {
    FeedbackResponse response;
    response.status = 503;
    response.body = "shutting down\n";
    return response;
}

// Fills in what the head of `request` says, from the library's connection.
void readHead(MHD_Connection* mhd, FeedbackRequest& request, const char* url, const char* method) {
    request.method = method;
    request.path = url;
    request.headBytes = headSize(mhd, method, request.target);
    request.contentLength = header(mhd, MHD_HTTP_HEADER_CONTENT_LENGTH);
    request.transferEncoding = header(mhd, MHD_HTTP_HEADER_TRANSFER_ENCODING);
    request.contentEncoding = header(mhd, MHD_HTTP_HEADER_CONTENT_ENCODING);
    request.contentType = header(mhd, MHD_HTTP_HEADER_CONTENT_TYPE);
    request.forwardedFor = headerValues(mhd, "X-Forwarded-For");
}

}  // namespace

// libmicrohttpd's callbacks, on its one thread.
struct Callbacks {
    static MHD_Result accept(void* cls, const sockaddr* address, socklen_t) {
        auto* self = static_cast<FeedbackServer*>(cls);
        IpAddress peer;
        if (!fromSockaddr(address, peer)) return MHD_NO;
        if (self->m_config.trustedProxies.contains(peer)) return MHD_YES;
        std::lock_guard<std::mutex> guard(self->m_connectionsLock);
        const auto it = self->m_perClient.find(peer.countingKey());
        return it != self->m_perClient.end() && it->second >= self->m_config.limits.perAddress
                   ? MHD_NO
                   : MHD_YES;
    }

    static void notify(void* cls, MHD_Connection* mhd, void** context,
                       MHD_ConnectionNotificationCode what) {
        auto* self = static_cast<FeedbackServer*>(cls);
        if (what == MHD_CONNECTION_NOTIFY_STARTED) {
            auto connection = std::make_shared<FeedbackServer::Connection>();
            const MHD_ConnectionInfo* fd =
                MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_CONNECTION_FD);
            const MHD_ConnectionInfo* address =
                MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            connection->fd = fd ? fd->connect_fd : -1;
            if (address) fromSockaddr(address->client_addr, connection->peer);
            if (!self->m_config.trustedProxies.contains(connection->peer))
                connection->key = connection->peer.countingKey();
            std::lock_guard<std::mutex> guard(self->m_connectionsLock);
            if (!connection->key.empty()) ++self->m_perClient[connection->key];
            self->m_deadlines.push_back(
                {FeedbackServer::Clock::now() +
                     std::chrono::seconds(self->m_config.limits.requestTimeout),
                 connection, 0});
            *context = new std::shared_ptr<FeedbackServer::Connection>(std::move(connection));
        } else if (what == MHD_CONNECTION_NOTIFY_CLOSED && *context) {
            auto* holder = static_cast<std::shared_ptr<FeedbackServer::Connection>*>(*context);
            FeedbackServer::Connection& connection = **holder;
            {
                // Under the lock, so that the deadline thread never shuts a
                // socket number that the library has closed and reused.
                std::lock_guard<std::mutex> guard(self->m_connectionsLock);
                connection.open = false;
                if (!connection.key.empty() && --self->m_perClient[connection.key] <= 0)
                    self->m_perClient.erase(connection.key);
            }
            delete holder;
            *context = nullptr;
        }
    }

    static void* started(void*, const char* uri, MHD_Connection* mhd) {
        auto* request = new FeedbackServer::Request;
        request->http.target = uri ? uri : "";
        request->mhd = mhd;
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        if (info && info->socket_context) {
            request->connection =
                *static_cast<std::shared_ptr<FeedbackServer::Connection>*>(info->socket_context);
            request->http.peer = request->connection->peer;
        }
        return request;
    }

    static MHD_Result access(void* cls, MHD_Connection* mhd, const char* url, const char* method,
                             const char*, const char* upload, size_t* uploadSize, void** context) {
        auto* self = static_cast<FeedbackServer*>(cls);
        auto* request = static_cast<FeedbackServer::Request*>(*context);
        if (!request) return MHD_NO;
        if (!request->headChecked) {
            request->headChecked = true;
            self->headArrived(mhd, *request, url, method);
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            std::string& body = *request->http.body;
            if (body.size() + *uploadSize > self->m_config.limits.body) {
                self->refuseLargeBody(*request);
                return MHD_NO;
            }
            body.append(upload, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        if (!request->answered) {
            self->complete(mhd, *request);
            return MHD_YES;
        }
        // Back from the storing thread.
        if (request->item.result == FeedbackStore::Result::Failed)
            std::cerr << "tessaro-feedbackd: cannot store a message: " << request->item.error
                      << std::endl;
        queueAnswer(mhd, storedResponse(request->item));
        return MHD_YES;
    }

    static void completed(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
        auto* self = static_cast<FeedbackServer*>(cls);
        auto* request = static_cast<FeedbackServer::Request*>(*context);
        if (!request) return;
        if (request->connection) self->arm(request->connection);
        delete request;
        *context = nullptr;
    }
};

FeedbackServer::FeedbackServer(const FeedbackConfig& config, FeedbackStore& store)
    : m_config(config),
      m_store(store),
      m_limiter(std::make_unique<RateLimiter>(config.limits.perMinute)) {}

FeedbackServer::~FeedbackServer() {
    stop();
    if (m_daemon) MHD_stop_daemon(m_daemon);
    if (m_listen >= 0) close(m_listen);
}

void FeedbackServer::headArrived(MHD_Connection* mhd, Request& request, const char* url,
                                 const char* method) {
    readHead(mhd, request.http, url, method);
    const FeedbackResponse response = respond(request.http, m_config, *m_limiter);
    request.http.body.emplace();
    if (response.next == FeedbackResponse::Next::ReadBody) return;
    request.answered = true;
    queueAnswer(mhd, response);
}

void FeedbackServer::refuseLargeBody(const Request& request) {
    // A chunked body past the limit. The library takes an answer only once
    // the body has all arrived; write it here and close at once rather than
    // read the rest.
    if (m_tls || !request.connection) return;
    constexpr char k413[] =
        "HTTP/1.1 413 Content Too Large\r\nConnection: close\r\n"
        "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 18\r\n\r\n"
        "request too large\n";
    (void)!::send(request.connection->fd, k413, sizeof k413 - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(request.connection->fd, SHUT_WR);
}

void FeedbackServer::complete(MHD_Connection* mhd, Request& request) {
    if (request.connection) {
        std::lock_guard<std::mutex> guard(m_connectionsLock);
        request.connection->arriving = false;
    }
    request.answered = true;  // from here on, answered at once or after storing
    FeedbackResponse response = respond(request.http, m_config, *m_limiter);
    if (response.next != FeedbackResponse::Next::Store) return queueAnswer(mhd, response);
    request.item = std::move(response.item);
    {
        // Suspended before it is queued, so that the storing thread's resume
        // always finds it suspended; none is queued once the storing thread
        // may have left.
        std::lock_guard<std::mutex> guard(m_queueLock);
        if (m_stopping) return queueAnswer(mhd, shuttingDown());
        MHD_suspend_connection(mhd);
        m_queue.push_back(&request);
    }
    m_queueChanged.notify_one();
}

void FeedbackServer::arm(const std::shared_ptr<Connection>& connection) {
    std::lock_guard<std::mutex> guard(m_connectionsLock);
    connection->arriving = true;
    ++connection->request;
    m_deadlines.push_back({Clock::now() + std::chrono::seconds(m_config.limits.requestTimeout),
                           connection, connection->request});
}

void FeedbackServer::watchDeadlines() {
    std::unique_lock<std::mutex> stopGuard(m_stopLock);
    while (!m_stopping) {
        m_stopChanged.wait_for(stopGuard, std::chrono::milliseconds(250));
        const auto now = Clock::now();
        std::lock_guard<std::mutex> guard(m_connectionsLock);
        while (!m_deadlines.empty() && m_deadlines.front().at <= now) {
            const Deadline& d = m_deadlines.front();
            Connection& c = *d.connection;
            // The library sees the shut socket as closed by the client.
            if (c.open && c.arriving && c.request == d.request && c.fd >= 0)
                shutdown(c.fd, SHUT_RDWR);
            m_deadlines.pop_front();
        }
    }
}

void FeedbackServer::storeMessages() {
    std::vector<Request*> batch;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(m_queueLock);
            m_queueChanged.wait(guard, [&] { return !m_queue.empty() || m_stopping; });
            if (m_queue.empty()) return;
            batch.swap(m_queue);
        }
        std::vector<FeedbackStore::Item*> items;
        for (Request* r : batch) items.push_back(&r->item);
        m_store.store(items, m_config.limits.retryWindow);
        for (Request* r : batch) MHD_resume_connection(r->mhd);
        batch.clear();
    }
}

bool FeedbackServer::bind(std::string& error) {
    return loadCertificate(error) && listenSocket(error) && startDaemon(error);
}

bool FeedbackServer::loadCertificate(std::string& error) {
    m_tls = !m_config.certificate.empty() || !m_config.privateKey.empty();
    if (m_tls && (readFileHead(m_config.certificate, m_certificate) != FileHead::Read ||
                  readFileHead(m_config.privateKey, m_key) != FileHead::Read)) {
        error = "cannot load the certificate " + m_config.certificate + " and key " +
                m_config.privateKey;
        return false;
    }
    return true;
}

std::string FeedbackServer::listenError() const {
    return "cannot listen on " + m_config.listen + " port " + std::to_string(m_config.port);
}

bool FeedbackServer::listenSocket(std::string& error) {
    // The listening socket is made here: its backlog, no SO_REUSEPORT (a
    // second receiver on the port would split the messages between two
    // databases), and both IPv4 and IPv6 on "::".
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(m_config.listen.c_str(), std::to_string(m_config.port).c_str(), &hints,
                    &found) != 0 ||
        !found) {
        error = listenError() + ": not a numeric address";
        return false;
    }
    m_listen = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int yes = 1, no = 0;
    if (m_listen >= 0) {
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (found->ai_family == AF_INET6)
            setsockopt(m_listen, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    }
    const bool listening = m_listen >= 0 &&
                           ::bind(m_listen, found->ai_addr, found->ai_addrlen) == 0 &&
                           listen(m_listen, m_config.limits.backlog) == 0;
    const int bindError = errno;
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    if (!listening || getsockname(m_listen, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        error = listenError() + ": " + std::strerror(bindError);
        return false;
    }
    m_port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return true;
}

bool FeedbackServer::startDaemon(std::string& error) {
    const Limits& limits = m_config.limits;
    // A request may use the library's memory for its head and a little more.
    const std::size_t memory = limits.head + 4096;
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
    if (m_tls) flags |= MHD_USE_TLS;
    MHD_OptionItem tls[] = {
        {m_tls ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END, 0, m_certificate.data()},
        {m_tls ? MHD_OPTION_HTTPS_MEM_KEY : MHD_OPTION_END, 0, m_key.data()},
        {MHD_OPTION_END, 0, nullptr},
    };
    m_daemon = MHD_start_daemon(
        flags, 0, &Callbacks::accept, this, &Callbacks::access, this, MHD_OPTION_LISTEN_SOCKET,
        m_listen, MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(limits.connections),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(limits.requestTimeout),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, memory, MHD_OPTION_URI_LOG_CALLBACK,
        &Callbacks::started, this, MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::notify, this,
        MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::completed, this, MHD_OPTION_ARRAY, tls,
        MHD_OPTION_END);
    if (!m_daemon) {
        error = m_tls ? "cannot load the certificate " + m_config.certificate + " and key " +
                            m_config.privateKey
                      : listenError();
        return false;
    }
    return true;
}

bool FeedbackServer::run() {
    std::thread deadlines([this] { watchDeadlines(); });
    std::thread storing([this] { storeMessages(); });
    {
        std::unique_lock<std::mutex> guard(m_stopLock);
        m_stopChanged.wait(guard, [this] { return m_stopping; });
    }
    // The storing thread finishes the messages it has, resuming their
    // connections, before the library may stop.
    storing.join();
    deadlines.join();
    MHD_stop_daemon(m_daemon);  // closes the listening socket too
    m_daemon = nullptr;
    m_listen = -1;
    return true;
}

void FeedbackServer::stop() {
    {
        std::lock_guard<std::mutex> stopGuard(m_stopLock);
        std::lock_guard<std::mutex> queueGuard(m_queueLock);
        m_stopping = true;
    }
    m_stopChanged.notify_all();
    m_queueChanged.notify_all();
}

}  // namespace tessaro::feedbackd
