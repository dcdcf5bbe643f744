// tessaro-feedbackd end to end: started on a free loopback port with a
// temporary database, fed by the real feedback form and by raw requests.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "feedback/frmSuggest.h"
#include "server/FeedbackStore.h"

namespace {

// The receiver as a child process; `settings` go into its configuration file.
class Receiver {
public:
    explicit Receiver(const std::string& settings = {}) {
        QFile config(m_dir.filePath("feedbackd.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(settings.c_str());
        config.close();
        start();
    }
    ~Receiver() { kill(); }

    void start() {
        m_process.start(TESSARO_FEEDBACKD,
                        {"--config", m_dir.filePath("feedbackd.conf"), "--listen", "127.0.0.1",
                         "--port", "0", "--database", database()});
        // "tessaro-feedbackd: listening on 127.0.0.1 port N (http)"
        m_process.waitForReadyRead(5000);
        const QList<QByteArray> words = m_process.readLine().split(' ');
        port = words.size() > 5 ? words[5].toInt() : 0;
        ASSERT_GT(port, 0) << m_process.readAllStandardError().toStdString();
    }
    qint64 pid() const { return m_process.processId(); }
    void kill() {
        m_process.kill();  // SIGKILL
        m_process.waitForFinished(5000);
    }
    QString database() const { return m_dir.filePath("feedback.db"); }
    // What it has written to its standard error, waiting up to 3 s for `text`.
    std::string errors(const std::string& text = {}) {
        for (int i = 0; i < 15 && m_errors.find(text) == std::string::npos; ++i) {
            m_process.waitForReadyRead(200);
            m_errors += m_process.readAllStandardError().toStdString();
        }
        return m_errors;
    }
    QString site(const char* scheme = "http") const {
        return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port);
    }
    int port = 0;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    std::string m_errors;
};

using Row = tessaro::feedbackd::FeedbackMessage;

// The stored messages as the receiver's own store reads them, and, when
// asked, SQLite's integrity check of the file; their addresses go to
// `addresses`, else each must be 127.0.0.1.
std::vector<Row> rows(const QString& database, std::string* integrity = nullptr,
                      std::vector<std::string>* addresses = nullptr) {
    tessaro::feedbackd::FeedbackStore store;
    std::vector<tessaro::feedbackd::StoredMessage> stored;
    std::string error;
    EXPECT_TRUE(store.open(database.toStdString(), true, error) && store.all(stored, error))
        << error;
    std::vector<Row> out;
    for (const auto& row : stored) {
        if (addresses)
            addresses->push_back(row.address);
        else
            EXPECT_EQ(row.address, "127.0.0.1");
        out.push_back(row.message);
    }
    if (integrity) {
        sqlite3* db = nullptr;
        sqlite3_stmt* s = nullptr;
        sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            *integrity = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        sqlite3_close(db);
    }
    return out;
}

// A connection to the receiver from `source` (in 127.0.0.0/8), with
// `seconds` for each send and receive; -1 when refused.
int connectFrom(int port, const char* source = "127.0.0.1", int seconds = 5) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends all of `data`, or what the receiver takes before it closes.
void sendAll(int fd, const std::string& data) {
    for (std::size_t sent = 0; sent < data.size();) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
}

// The statuses of up to `count` answers on `fd` (answers to HEAD have no body).
std::vector<int> answers(int fd, std::size_t count, bool head = false) {
    std::vector<int> statuses;
    std::string data;
    char buffer[4096];
    ssize_t n;
    while (statuses.size() < count && (n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
        data.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = data.find("\r\n\r\n")) != std::string::npos) {
            const auto length = data.find("Content-Length: ");
            const std::size_t body =
                head || length > end ? 0 : std::strtoul(data.c_str() + length + 16, nullptr, 10);
            if (data.size() < end + 4 + body) break;
            statuses.push_back(data.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(data.c_str() + 9) : 0);
            data.erase(0, end + 4 + body);
        }
    }
    return statuses;
}

// Sends `request` as is on a new connection; the status of the answer, or 0
// for no answer.
int rawRequest(int port, const std::string& request, const char* source = "127.0.0.1") {
    const int fd = connectFrom(port, source);
    if (fd < 0) return 0;
    // The server may answer and close before a large body is all sent.
    sendAll(fd, request);
    const std::vector<int> status = answers(fd, 1, request.rfind("HEAD ", 0) == 0);
    close(fd);
    return status.empty() ? 0 : status[0];
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
}

std::string get(const std::string& query) {
    return "GET /suggest/post.php?" + query + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
}

bool sendForm(const QString& site, const QString& name, const QString& email,
              const QString& comment) {
    tessaro::frmSuggest form(nullptr, site);
    form.show();
    form.txtName()->setText(name);
    form.txtEMail()->setText(email);
    form.txtComment()->setPlainText(comment);
    QSignalSpy finished(&form, &tessaro::frmSuggest::sendFinished);
    form.Command3()->click();
    return finished.wait(10000) && finished.at(0).at(0).toBool();
}

TEST(FeedbackdTest, TheFormsMessageLandsOnceWithEveryFieldIntact) {
    Receiver receiver("rate_per_minute = 3\n");
    const QString name = QStringLiteral("张三 & 李四");
    const QString email = QStringLiteral("zhang+san@例子.中国");
    const QString comment = QStringLiteral("很好用！转换 MP4 很快。\n第二行 100% 好 a=b&c #tag");
    ASSERT_TRUE(sendForm(receiver.site(), name, email, comment));
    // The user sends again, as after a lost answer: the same message once.
    ASSERT_TRUE(sendForm(receiver.site(), name, email, comment));

    const std::vector<Row> stored = rows(receiver.database());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, name.toStdString());
    EXPECT_EQ(stored[0].email, email.toStdString());
    EXPECT_EQ(stored[0].comment, "(MP4)" + comment.toStdString());

    // A new text is a new message; over the rate limit the form says it failed.
    ASSERT_TRUE(sendForm(receiver.site(), name, email, QStringLiteral("另一条")));
    EXPECT_FALSE(sendForm(receiver.site(), name, email, QStringLiteral("第三条")));
    EXPECT_EQ(rows(receiver.database()).size(), 2u);
}

TEST(FeedbackdTest, HostileRequestsAreRefusedAndOnlyGoodOnesStoredVerbatim) {
    Receiver receiver("rate_per_minute = 1000\n");
    const std::string big(4 << 20, 'x');
    const std::string sql = "(MP4)'); DROP TABLE messages; -- \" OR 1=1";
    const std::string sqlQuery = "%27%29%3B%20DROP%20TABLE%20messages%3B%20--%20%22%20OR%201%3D1";
    const struct {
        const char* what;
        std::string request;
        int status;
    } cases[] = {
        {"good", get("name=a&age=b&comment=(MP4)c"), 200},
        {"SQL-like text", get("name=x&age=y&comment=(MP4)" + sqlQuery), 200},
        {"name over its limit", get("name=" + std::string(51, 'n') + "&age=b&comment=c"), 413},
        {"Chinese name at its limit", get("name=" + repeat("%E5%A5%BD", 50) + "&age=b&comment=c"),
         200},
        {"request over the total", get("name=a&age=b&comment=" + std::string(20000, 'c')), 414},
        {"several MB of POST body",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
         "application/x-www-form-urlencoded\r\nContent-Length: " +
             std::to_string(big.size()) + "\r\n\r\n" + big,
         413},
        {"a GET with a body",
         "GET /suggest/post.php?name=a&age=b&comment=d HTTP/1.1\r\nHost: "
         "x\r\nContent-Length: 5\r\n\r\nhello",
         413},
        {"invalid UTF-8", get("name=%FF%FE&age=b&comment=c"), 400},
        {"overlong UTF-8", get("name=%C0%AF&age=b&comment=c"), 400},
        {"UTF-16 surrogate", get("name=%ED%A0%80&age=b&comment=c"), 400},
        {"terminal escape", get("name=a&age=b&comment=%1B%5B2J"), 400},
        {"missing field", get("name=a&age=b"), 400},
        {"repeated field", get("name=a&age=b&comment=c&comment=d"), 400},
        {"form-encoded POST",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
         "application/x-www-form-urlencoded\r\nContent-Length: 27\r\n\r\n"
         "name=p&age=q&comment=(MP4)r",
         200},
        {"chunked form-encoded POST",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
         "application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n"
         "5\r\nname=\r\n16\r\ns&age=t&comment=(MP4)u\r\n0\r\n\r\n",
         200},
        {"raw \"=\" inside a value", get("name=e&age=q&comment=(MP4)1%2B1=2"), 200},
        {"X-Forwarded-For from a client that is no proxy",
         "GET /suggest/post.php?name=f&age=f&comment=f HTTP/1.1\r\nHost: x\r\n"
         "X-Forwarded-For: 192.0.2.9\r\n\r\n",
         200},
        {"unknown method", "BREW /suggest/post.php?name=a&age=b&comment=m HTTP/1.1\r\n\r\n", 405},
        {"HEAD", "HEAD /suggest/post.php?name=h&age=h&comment=h HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"another path", "GET /suggest/other.php?name=a&age=b&comment=o HTTP/1.1\r\n\r\n", 404},
        {"bad Content-Length",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Length: 12abc\r\n\r\nname=a", 400},
        {"Content-Length with Transfer-Encoding",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n"
         "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         400},
        {"gzip-coded body",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Encoding: gzip\r\n"
         "Content-Length: 4\r\n\r\n\x1f\x8b\x08\x00",
         415},
        {"transfer coding other than chunked",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
         501},
        {"head over 8 KiB",
         "GET /suggest/post.php?name=a&age=b&comment=c HTTP/1.1\r\nHost: x\r\nX-Filler: " +
             std::string(8200, 'y') + "\r\n\r\n",
         431},
        {"chunked body past 16 KiB",
         "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
         "5000\r\n" +
             std::string(0x5000, 'b') + "\r\n0\r\n\r\n",
         413},
    };
    for (const auto& c : cases) EXPECT_EQ(rawRequest(receiver.port, c.request), c.status) << c.what;

    const std::vector<Row> stored = rows(receiver.database());
    ASSERT_EQ(stored.size(), 7u);
    EXPECT_EQ(stored[0].comment, "(MP4)c");
    EXPECT_EQ(stored[1].comment, sql);
    EXPECT_EQ(stored[2].name.size(), 150u);
    EXPECT_EQ(stored[3].name + stored[3].email + stored[3].comment, "pq(MP4)r");
    EXPECT_EQ(stored[4].name + stored[4].email + stored[4].comment, "st(MP4)u");
    EXPECT_EQ(stored[5].comment, "(MP4)1+1=2");
    EXPECT_EQ(stored[6].comment, "f");

    // A second receiver on the same port would split the messages: refused.
    QProcess second;
    second.start(TESSARO_FEEDBACKD,
                 {"--listen", "127.0.0.1", "--port", QString::number(receiver.port), "--database",
                  receiver.database() + ".2"});
    EXPECT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 1);
}

TEST(FeedbackdTest, OverHttpsWithACertificateTheFormsMessageLands) {
    // A certificate for 127.0.0.1 that the form's TLS trusts for this test.
    QTemporaryDir keys;
    const QString cert = keys.filePath("cert.pem"), key = keys.filePath("key.pem");
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                              "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                              "subjectAltName=IP:127.0.0.1"});
    ASSERT_TRUE(openssl.waitForFinished(30000) && openssl.exitCode() == 0)
        << openssl.readAllStandardError().toStdString();
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(cert);
    QSslConfiguration::setDefaultConfiguration(tls);

    Receiver receiver(("certificate = " + cert + "\nprivate_key = " + key + "\n").toStdString());
    ASSERT_TRUE(
        sendForm(receiver.site("https"), QStringLiteral("王五"), "w@x", QStringLiteral("加密")));
    EXPECT_FALSE(sendForm(receiver.site("http"), "plain", "p@x", "text"));
    const std::vector<Row> stored = rows(receiver.database());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name + stored[0].comment, "王五(MP4)加密");
}

// Sends `count` distinct messages from four threads at once; the comments of
// those answered 200 go to `accepted`, the other statuses are counted. Stops
// at the first request that finds no receiver.
void flood(int port, int count, std::set<std::string>& accepted, int& limited, int& other) {
    std::mutex lock;
    std::atomic<int> next{0};
    std::atomic<bool> gone{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i; !gone && (i = next++) < count;) {
                const std::string comment = "flood" + std::to_string(i);
                const int status = rawRequest(port, get("name=f&age=g&comment=" + comment));
                std::lock_guard<std::mutex> guard(lock);
                if (status == 200)
                    accepted.insert(comment);
                else if (status == 429)
                    ++limited;
                else
                    ++other;
                if (status == 0) gone = true;
            }
        });
    }
    for (std::thread& t : threads) t.join();
}

TEST(FeedbackdTest, AFloodIsRateLimitedAndTheServerKeepsAnswering) {
    Receiver receiver("rate_per_minute = 10\n");
    std::set<std::string> accepted;
    int limited = 0, other = 0;
    const auto start = std::chrono::steady_clock::now();
    flood(receiver.port, 200, accepted, limited, other);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(accepted.size(), 10u);
    EXPECT_EQ(limited, 190);
    EXPECT_EQ(other, 0);
    std::set<std::string> stored;
    for (const Row& r : rows(receiver.database())) stored.insert(r.comment);
    EXPECT_EQ(stored, accepted);
}

TEST(FeedbackdTest, AKilledReceiverLeavesAnIntactDatabaseWithEveryAnsweredMessage) {
    Receiver receiver("rate_per_minute = 100000\n");
    std::set<std::string> accepted;
    int limited = 0, other = 0;
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(static_cast<pid_t>(receiver.pid()), SIGKILL);
    });
    flood(receiver.port, 100000, accepted, limited, other);
    killer.join();
    receiver.kill();  // reaps it
    EXPECT_GT(accepted.size(), 0u);
    EXPECT_GT(other, 0);  // the requests after the kill found no one

    receiver.start();
    EXPECT_EQ(rawRequest(receiver.port, get("name=a&age=b&comment=after")), 200);
    std::string integrity;
    std::set<std::string> stored;
    for (const Row& r : rows(receiver.database(), &integrity)) stored.insert(r.comment);
    EXPECT_EQ(integrity, "ok");
    for (const std::string& comment : accepted) EXPECT_EQ(stored.count(comment), 1u) << comment;
    EXPECT_EQ(stored.count("after"), 1u);
}

// The receiver's resident memory in MB, and its threads.
double residentMb(qint64 pid, int* threads = nullptr) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    double mb = 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) mb = line.mid(6).trimmed().split(' ')[0].toDouble() / 1024;
        if (threads && line.startsWith("Threads:")) *threads = line.mid(8).trimmed().toInt();
    }
    return mb;
}

bool closedByServer(int fd) {
    char byte;
    const ssize_t n = recv(fd, &byte, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

TEST(FeedbackdTest, SlowAndIdleConnectionsNeitherHoldTheServerNorStay) {
    Receiver receiver("rate_per_minute = 1000\nrequest_timeout = 3\n");
    // 200 connections that drip a head a byte every 2 s, 200 that send
    // nothing, each pair from its own address so that the per-address limit
    // plays no part.
    std::vector<int> dripping, idle;
    for (int i = 1; i <= 200; ++i) {
        dripping.push_back(connectFrom(receiver.port, ("127.0.1." + std::to_string(i)).c_str()));
        idle.push_back(connectFrom(receiver.port, ("127.0.2." + std::to_string(i)).c_str()));
    }
    const auto opened = std::chrono::steady_clock::now();
    std::atomic<bool> done{false};
    std::thread drip([&] {
        const std::string head = get("name=a&age=b&comment=drip");
        for (std::size_t k = 0; !done && k < 3; ++k) {
            for (int fd : dripping) send(fd, &head[k], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            for (int w = 0; !done && w < 20; ++w)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    for (int i = 0; i < 10; ++i) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(rawRequest(receiver.port, get("name=v&age=w&comment=" + std::to_string(i))), 200);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << i;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    int threads = 0;
    residentMb(receiver.pid(), &threads);
    EXPECT_LE(threads, 6);  // none per connection

    // Sixteen connections from one address are let in, the next is closed.
    std::vector<int> crowd;
    for (int i = 0; i < 17; ++i) crowd.push_back(connectFrom(receiver.port, "127.0.3.1", 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 17; ++i) EXPECT_EQ(closedByServer(crowd[i]), i == 16) << i;

    // Past the 3 s a request may take to arrive, every one is closed.
    std::this_thread::sleep_until(opened + std::chrono::milliseconds(4500));
    int stillOpen = 0;
    for (int fd : dripping) stillOpen += !closedByServer(fd);
    for (int fd : idle) stillOpen += !closedByServer(fd);
    EXPECT_EQ(stillOpen, 0);
    done = true;
    drip.join();
    for (const auto* list : {&dripping, &idle, &crowd})
        for (int fd : *list) close(fd);
    EXPECT_EQ(rows(receiver.database()).size(), 10u);
}

TEST(FeedbackdTest, HugeBodiesAndHeadsAreRefusedAtOnceInLittleMemory) {
    Receiver receiver;
    std::atomic<double> peak{0};
    std::atomic<bool> done{false};
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak.load(), residentMb(receiver.pid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    const std::string chunkedPost =
        "POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n";
    const std::string chunk = "10000\r\n" + std::string(0x10000, '\0') + "\r\n";
    const std::string headerLines = repeat("X-Filler: " + std::string(1000, 'y') + "\r\n", 64);
    const struct {
        const char* what;
        std::string head;
        std::string piece;  // sent again and again after the head
        std::size_t total;
        int status;
    } cases[] = {
        {"611 KB gzip-coded chunked body", chunkedPost + "Content-Encoding: gzip\r\n\r\n", chunk,
         611 << 10, 415},
        {"200 MB chunked body", chunkedPost + "\r\n", chunk, 200 << 20, 413},
        {"200 MB announced body",
         "POST /suggest/post.php HTTP/1.1\r\nContent-Length: 209715200\r\n\r\n", chunk, 200 << 20,
         413},
        {"100 MB of headers", "GET /suggest/post.php?name=a&age=b&comment=c HTTP/1.1\r\n",
         headerLines, 100 << 20, 431},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const int fd = connectFrom(receiver.port);
        sendAll(fd, c.head);
        for (std::size_t sent = 0; sent < c.total; sent += c.piece.size()) {
            if (send(fd, c.piece.data(), c.piece.size(), MSG_NOSIGNAL) <= 0) break;
        }
        const std::vector<int> status = answers(fd, 1);
        close(fd);
        EXPECT_EQ(status, std::vector<int>{c.status}) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.what;
    }
    done = true;
    sampler.join();
    EXPECT_LT(peak.load(), 64.0);
    EXPECT_EQ(rawRequest(receiver.port, get("name=a&age=b&comment=after")), 200);
    EXPECT_EQ(rows(receiver.database()).size(), 1u);
}

TEST(FeedbackdTest, PipelinedRequestsAreEachAnsweredInOrder) {
    Receiver receiver("rate_per_minute = 1000\n");
    std::string requests;
    for (int i = 0; i < 25; ++i)
        requests += "GET /suggest/post.php?name=p&age=q&comment=" + std::to_string(i) +
                    (i == 12 ? "&comment=again" : "") + " HTTP/1.1\r\nHost: x\r\n\r\n";
    const int fd = connectFrom(receiver.port);
    sendAll(fd, requests);
    const std::vector<int> statuses = answers(fd, 25);
    close(fd);
    std::vector<int> expected(25, 200);
    expected[12] = 400;
    EXPECT_EQ(statuses, expected);
    const std::vector<Row> stored = rows(receiver.database());
    ASSERT_EQ(stored.size(), 24u);
    for (int i = 0, k = 0; i < 25; ++i) {
        if (i == 12) continue;
        EXPECT_EQ(stored[k++].comment, std::to_string(i));
    }
}

TEST(FeedbackdTest, BehindATrustedProxyEachForwardedClientHasItsOwnLimit) {
    Receiver receiver("rate_per_minute = 10\ntrusted_proxy = 127.0.0.2, 10.0.0.0/8\n");
    const struct {
        const char* from;
        const char* forwardedFor;
    } clients[] = {
        {"127.0.0.2", "192.0.2.1"},
        {"127.0.0.2", "192.0.2.66, 192.0.2.2, 10.0.0.1"},
        {"127.0.0.3", "192.0.2.3"},  // no proxy: the header changes nothing
        {"127.0.0.3", "192.0.2.4"},
    };
    // The same message, again and again: a retry of each client's own.
    for (const auto& c : clients) {
        std::vector<int> statuses;
        for (int i = 0; i < 11; ++i)
            statuses.push_back(rawRequest(receiver.port,
                                          "GET /suggest/post.php?name=n&age=e&comment=same "
                                          "HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: " +
                                              std::string(c.forwardedFor) + "\r\n\r\n",
                                          c.from));
        std::vector<int> expected(10, 200);
        expected.push_back(429);
        if (std::string(c.forwardedFor) == "192.0.2.4") expected.assign(11, 429);
        EXPECT_EQ(statuses, expected) << c.forwardedFor;
    }
    EXPECT_EQ(rawRequest(receiver.port,
                         "GET /suggest/post.php?name=n&age=e&comment=x HTTP/1.1\r\n"
                         "X-Forwarded-For: 192.0.2.5, unknown\r\n\r\n",
                         "127.0.0.2"),
              400);
    std::vector<std::string> addresses;
    rows(receiver.database(), nullptr, &addresses);
    EXPECT_EQ(addresses, (std::vector<std::string>{"192.0.2.1", "192.0.2.2", "127.0.0.3"}));
}

TEST(FeedbackdTest, StorageSaysWhyItFailsAndKeepsItsFilesPrivate) {
    // Made under umask 0, the database and its -wal and -shm are still 0600.
    const mode_t umask = ::umask(0);
    Receiver receiver;
    ::umask(umask);
    ASSERT_EQ(rawRequest(receiver.port, get("name=a&age=b&comment=first")), 200);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        struct stat st {};
        ASSERT_EQ(stat((receiver.database() + suffix).toUtf8().constData(), &st), 0) << suffix;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << suffix;
    }

    // An outside writer holds the lock: a request that stores nothing is
    // answered at once; one that stores gets 503 once SQLite gives up, and
    // the log says why.
    sqlite3* outside = nullptr;
    ASSERT_EQ(sqlite3_open(receiver.database().toUtf8().constData(), &outside), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(outside, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    int storing = 0;
    std::thread waiting([&] {
        const int fd = connectFrom(receiver.port, "127.0.0.1", 10);
        sendAll(fd, get("name=a&age=b&comment=second"));
        const std::vector<int> status = answers(fd, 1);
        storing = status.empty() ? 0 : status[0];
        close(fd);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rawRequest(receiver.port, get("name=a&age=b")), 400);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    waiting.join();
    EXPECT_EQ(storing, 503);
    EXPECT_NE(receiver.errors("locked").find("cannot store a message: database is locked"),
              std::string::npos);
    sqlite3_exec(outside, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(outside);
    EXPECT_EQ(rawRequest(receiver.port, get("name=a&age=b&comment=third")), 200);

    // A database it may only read: it does not start, and says why. Root
    // may write any file, so as root the receiver runs as nobody.
    QTemporaryDir dir;
    const QString database = dir.filePath("readonly.db");
    {
        tessaro::feedbackd::FeedbackStore store;
        std::string error;
        ASSERT_TRUE(store.open(database.toStdString(), false, error)) << error;
    }
    sqlite3* db = nullptr;
    sqlite3_open(database.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    chmod(database.toUtf8().constData(), 0444);
    chmod(dir.path().toUtf8().constData(), 0755);
    QStringList command = {TESSARO_FEEDBACKD, "--listen", "127.0.0.1", "--port", "0",
                           "--database",      database};
    if (geteuid() == 0)
        command =
            QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    QProcess readOnly;
    readOnly.start(command.takeFirst(), command);
    ASSERT_TRUE(readOnly.waitForFinished(5000));
    EXPECT_EQ(readOnly.exitCode(), 1);
    const std::string said = readOnly.readAllStandardError().toStdString();
    EXPECT_NE(said.find("readonly.db: attempt to write a readonly database"), std::string::npos)
        << said;
}

}  // namespace
