// Files handed from a second start to the running window: the message, the
// window's end against clients that misbehave, the command line's files, and
// the program itself started twice.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <memory>

#include "base/Platform.h"
#include "shell/CommandLineFiles.h"
#include "shell/FileHandover.h"

namespace tessaro {
namespace {

using State = HandoverReader::State;

QByteArray header(quint32 size) {
    QByteArray bytes("TSRF");
    for (int shift = 24; shift >= 0; shift -= 8) bytes += char((size >> shift) & 0xff);
    return bytes;
}
QByteArray framed(const QByteArray& payload) { return header(quint32(payload.size())) + payload; }

struct ReaderRow {
    const char* name;
    QByteArray bytes;
    State state;
    QStringList paths;
};

class HandoverReaderTest : public ::testing::TestWithParam<ReaderRow> {};

// Fed whole, and one byte at a time: the same outcome.
TEST_P(HandoverReaderTest, ReadsOrRefusesTheMessage) {
    const ReaderRow& row = GetParam();
    for (int chunk : {int(row.bytes.size()) + 1, 1}) {
        SCOPED_TRACE(chunk);
        HandoverReader reader;
        State state = State::Incomplete;
        for (qsizetype at = 0; at < row.bytes.size() && state != State::Invalid; at += chunk)
            state = reader.feed(row.bytes.mid(at, chunk));
        EXPECT_EQ(state, row.state) << reader.error().toStdString();
        EXPECT_EQ(reader.paths(), row.paths);
    }
}

const QString kChinese = QString::fromUtf8("/视频/第一集 (1).flv");

INSTANTIATE_TEST_SUITE_P(
    Messages, HandoverReaderTest,
    ::testing::Values(
        ReaderRow{"TwoPaths",
                  encodeHandover({"/v/a.flv", kChinese}),
                  State::Complete,
                  {"/v/a.flv", kChinese}},
        ReaderRow{"NewlineInAName",
                  framed(QByteArray("/v/a\nb.flv\0", 11)),
                  State::Complete,
                  {"/v/a\nb.flv"}},
        ReaderRow{"NoPaths", header(0), State::Complete, {}},
        ReaderRow{"HalfAHeader", QByteArray("TSR"), State::Incomplete, {}},
        ReaderRow{"HalfAPayload", header(20) + "/v/a", State::Incomplete, {}},
        ReaderRow{"Garbage", QByteArray("GET / HTTP/1.1\r\n\r\n"), State::Invalid, {}},
        ReaderRow{"Oversize", header(quint32(kHandoverMaxBytes) + 1), State::Invalid, {}},
        ReaderRow{"HugeLength", header(0xffffffffu), State::Invalid, {}},
        ReaderRow{"InvalidUtf8", framed(QByteArray("/v/\xff\xfe.flv\0", 11)), State::Invalid, {}},
        ReaderRow{"OverlongUtf8", framed(QByteArray("/v/\xc0\xaf.flv\0", 11)), State::Invalid, {}},
        ReaderRow{"RelativePath", framed(QByteArray("a.flv\0", 6)), State::Invalid, {}},
        ReaderRow{"EmptyPath", framed(QByteArray("/v/a\0\0", 6)), State::Invalid, {}},
        ReaderRow{"Unterminated", framed("/v/a.flv"), State::Invalid, {}},
        ReaderRow{"BytesAfterTheEnd", encodeHandover({"/v/a.flv"}) + "x", State::Invalid, {}},
        ReaderRow{"PathTooLong",
                  framed("/" + QByteArray(kHandoverMaxPathBytes, 'a') + QByteArray(1, '\0')),
                  State::Invalid,
                  {}}),
    [](const ::testing::TestParamInfo<ReaderRow>& info) { return std::string(info.param.name); });

TEST(HandoverReader, RefusesMorePathsThanItsBound) {
    QByteArray payload;
    for (qsizetype i = 0; i <= kHandoverMaxPaths; ++i) payload += "/a" + QByteArray(1, '\0');
    HandoverReader reader;
    EXPECT_EQ(reader.feed(framed(payload)), State::Invalid);
    EXPECT_TRUE(reader.paths().isEmpty());
}

// ---- the command line ----

struct ArgumentsRow {
    const char* name;
    QStringList arguments;
    QStringList paths;  // relative to the current folder
    int notes;
};

class CommandLineFilesTest : public ::testing::TestWithParam<ArgumentsRow> {};

TEST_P(CommandLineFilesTest, TakesFilesAndFoldersThatExist) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath("folder/sub");
    for (const char* name : {"a.flv", "b c.flv", "-dash.flv", "folder/sub/d.flv"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const ArgumentsRow& row = GetParam();
    QStringList arguments;
    for (QString argument : row.arguments)
        arguments << argument.replace("@", QUrl::fromLocalFile(dir.path()).toString());
    const CommandLineFiles files = commandLineFiles(arguments, dir.path());
    QStringList expected;
    for (const QString& path : row.paths)
        expected << QDir::toNativeSeparators(QDir::cleanPath(dir.filePath(path)));
    EXPECT_EQ(files.paths, expected);
    EXPECT_EQ(files.notes.size(), row.notes) << files.notes.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineFilesTest,
    ::testing::Values(
        ArgumentsRow{"FileAndFolder", {"a.flv", "folder/"}, {"a.flv", "folder"}, 0},
        ArgumentsRow{"KeepsTheOrder",
                     {"folder/sub/d.flv", "b c.flv", "a.flv"},
                     {"folder/sub/d.flv", "b c.flv", "a.flv"},
                     0},
        ArgumentsRow{
            "DotsResolved", {"./folder/../a.flv", "folder/sub/.."}, {"a.flv", "folder"}, 0},
        ArgumentsRow{"Missing", {"gone.flv", "a.flv"}, {"a.flv"}, 1},
        ArgumentsRow{"UnknownOptions", {"--foo", "-x", "a.flv"}, {"a.flv"}, 2},
        ArgumentsRow{"DoubleDashEndsOptions", {"--", "-dash.flv", "--"}, {"-dash.flv"}, 1},
        ArgumentsRow{"EmptyArgument", {"", "a.flv"}, {"a.flv"}, 0},
        ArgumentsRow{"FileUrl", {"@/b%20c.flv"}, {"b c.flv"}, 0},
        ArgumentsRow{"RemoteUrlIsNoFile", {"file://example.com/a.flv"}, {}, 1}),
    [](const ::testing::TestParamInfo<ArgumentsRow>& info) {
        return std::string(info.param.name);
    });

TEST(CommandLineFiles, AbsolutePathsStayAsGiven) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const CommandLineFiles files = commandLineFiles({dir.path()}, "/nowhere");
    EXPECT_EQ(files.paths, QStringList{QDir::toNativeSeparators(dir.path())});
}

// ---- the window's end ----

class FileHandoverServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        platform::setTemporaryFolder(QDir::toNativeSeparators(m_tmp.path()).toStdString());
        m_name = handoverServerName();
        m_server = std::make_unique<FileHandoverServer>(
            [this](const QStringList& paths) { delivered << paths; });
        m_server->setTimeoutMs(300);
        ASSERT_TRUE(m_server->listen(m_name)) << m_server->errorString().toStdString();
    }

    // Runs the event loop until `done` or `ms` pass.
    template <class Done>
    static bool spin(Done done, int ms = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        }
        return done();
    }

    // A second start's handover, from another thread while this one serves.
    bool handOverFromThread(const QStringList& paths, int timeoutMs = 5000) {
        bool result = false;
        std::unique_ptr<QThread> thread(
            QThread::create([&] { result = handOverFiles(m_name, paths, timeoutMs, &m_why); }));
        thread->start();
        spin([&] { return thread->isFinished(); }, timeoutMs + 5000);
        thread->wait();
        return result;
    }

    QTemporaryDir m_tmp;
    QString m_name, m_why;
    std::unique_ptr<FileHandoverServer> m_server;
    QList<QStringList> delivered;
};

TEST_F(FileHandoverServerTest, DeliversAndAnswers) {
    EXPECT_TRUE(handOverFromThread({"/v/a.flv", kChinese})) << m_why.toStdString();
    spin([&] { return !delivered.isEmpty(); });
    EXPECT_EQ(delivered, QList<QStringList>({{"/v/a.flv", kChinese}}));
}

struct HostileRow {
    const char* name;
    QByteArray bytes;
    bool closeAfterWriting;  // else silence until the window gives up
};

class HostileClientTest : public FileHandoverServerTest,
                          public ::testing::WithParamInterface<HostileRow> {};

// Nothing is delivered, the window drops the connection without an answer
// (at the latest after its timeout), and the next second start still gets
// through.
TEST_P(HostileClientTest, IsDroppedAndTheWindowStaysServing) {
    const HostileRow& row = GetParam();
    QLocalSocket client;
    client.connectToServer(m_name);
    ASSERT_TRUE(client.waitForConnected(2000));
    client.write(row.bytes);
    client.flush();
    if (row.closeAfterWriting) client.disconnectFromServer();
    EXPECT_TRUE(spin([&] {
        return client.state() == QLocalSocket::UnconnectedState && m_server->openConnections() == 0;
    }));
    EXPECT_TRUE(client.readAll().isEmpty());
    EXPECT_TRUE(delivered.isEmpty());

    EXPECT_TRUE(handOverFromThread({"/v/after.flv"})) << m_why.toStdString();
    spin([&] { return !delivered.isEmpty(); });
    EXPECT_EQ(delivered, QList<QStringList>({{"/v/after.flv"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Clients, HostileClientTest,
    ::testing::Values(HostileRow{"Garbage", QByteArray("\x00\x01garbage\xff", 10), false},
                      HostileRow{"Silence", {}, false},
                      HostileRow{"HalfAMessageThenSilence", header(100) + "/v/a", false},
                      HostileRow{"HalfAMessageThenGone", header(100) + "/v/a", true},
                      HostileRow{"Oversize", header(0x7fffffff) + QByteArray(64 * 1024, 'a'),
                                 false},
                      HostileRow{"Flood",
                                 header(quint32(kHandoverMaxBytes)) +
                                     QByteArray(kHandoverMaxBytes + 1024 * 1024, '/'),
                                 false},
                      HostileRow{"InvalidUtf8", framed(QByteArray("/\xff\0", 3)), false}),
    [](const ::testing::TestParamInfo<HostileRow>& info) { return std::string(info.param.name); });

TEST_F(FileHandoverServerTest, ConnectionsBeyondTheBoundAreClosed) {
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 3 * kHandoverMaxConnections; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(m_name);
        idle.back()->waitForConnected(2000);
    }
    spin([] { return false; }, 100);
    EXPECT_LE(m_server->openConnections(), kHandoverMaxConnections);
    EXPECT_TRUE(spin([&] { return m_server->openConnections() == 0; }));
    EXPECT_TRUE(handOverFromThread({"/v/after.flv"})) << m_why.toStdString();
}

TEST_F(FileHandoverServerTest, NoWindowMeansFailureWithAReason) {
    m_server.reset();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(handOverFiles(m_name, {"/v/a.flv"}, 500, &m_why));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(m_why.isEmpty());
}

#ifndef _WIN32
// A window killed with its socket still on disk: the next window listens.
TEST_F(FileHandoverServerTest, AStaleSocketIsReplaced) {
    m_server.reset();
    QFile stale(m_name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    FileHandoverServer next([this](const QStringList& paths) { delivered << paths; });
    ASSERT_TRUE(next.listen(m_name)) << next.errorString().toStdString();
    EXPECT_TRUE(handOverFromThread({"/v/a.flv"})) << m_why.toStdString();
    spin([&] { return !delivered.isEmpty(); });
    EXPECT_EQ(delivered.size(), 1);
    EXPECT_EQ(QFile(m_name).permissions() & (QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
}
#endif

}  // namespace
}  // namespace tessaro
