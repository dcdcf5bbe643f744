// tessaro-feedbackd end to end: started on a free loopback port with a
// temporary database, fed by the real feedback form and by raw requests.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <atomic>
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
    QString site(const char* scheme = "http") const {
        return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port);
    }
    int port = 0;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

using Row = tessaro::feedbackd::FeedbackMessage;

// The stored messages as the receiver's own store reads them, and, when
// asked, SQLite's integrity check of the file.
std::vector<Row> rows(const QString& database, std::string* integrity = nullptr) {
    tessaro::feedbackd::FeedbackStore store;
    std::vector<tessaro::feedbackd::StoredMessage> stored;
    std::string error;
    EXPECT_TRUE(store.open(database.toStdString(), true, error) && store.all(stored, error))
        << error;
    std::vector<Row> out;
    for (const auto& row : stored) {
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

// Sends `request` as is on a new connection; the status of the answer, or 0
// for no answer.
int rawRequest(int port, const std::string& request) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        // The server may answer and close before a large body is all sent.
        for (std::size_t sent = 0; sent < request.size();) {
            const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        char buffer[512];
        ssize_t n;
        while (answer.find("\r\n") == std::string::npos &&
               (n = recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
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
    };
    for (const auto& c : cases) EXPECT_EQ(rawRequest(receiver.port, c.request), c.status) << c.what;

    const std::vector<Row> stored = rows(receiver.database());
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0].comment, "(MP4)c");
    EXPECT_EQ(stored[1].comment, sql);
    EXPECT_EQ(stored[2].name.size(), 150u);
    EXPECT_EQ(stored[3].name + stored[3].email + stored[3].comment, "pq(MP4)r");

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

}  // namespace
