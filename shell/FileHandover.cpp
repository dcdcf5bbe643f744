#include "shell/FileHandover.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <utility>

#include "base/Platform.h"

namespace tessaro {
namespace {

constexpr char kMagic[] = "TSRF";
constexpr qsizetype kHeaderBytes = 8;  // magic and length
const QByteArray kAnswer = "OK\n";
constexpr int kConnectRetryMs = 100;

}  // namespace

QString handoverServerName() {
    const QString folder = QString::fromStdString(platform::temporaryFolder());
#ifdef _WIN32  // pipe names take no backslash: the folder's digest stands for it
    return "tessaro-" +
           QCryptographicHash::hash(folder.toLower().toUtf8(), QCryptographicHash::Sha256)
               .toHex()
               .left(32);
#else
    return folder + "/tessaro.socket";
#endif
}

QByteArray encodeHandover(const QStringList& paths) {
    QByteArray payload;
    for (const QString& path : paths) payload += path.toUtf8() + '\0';
    QByteArray message(kMagic, 4);
    const quint32 size = quint32(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) message += char((size >> shift) & 0xff);
    return message + payload;
}

HandoverReader::State HandoverReader::fail(const QString& why) {
    m_state = State::Invalid;
    m_error = why;
    m_buffer.clear();
    m_paths.clear();
    return m_state;
}

HandoverReader::State HandoverReader::feed(const QByteArray& bytes) {
    if (m_state == State::Invalid) return m_state;
    if (m_state == State::Complete) return bytes.isEmpty() ? m_state : fail("bytes after the end");
    m_buffer += bytes;
    if (m_expected < 0) {
        const qsizetype known = std::min<qsizetype>(m_buffer.size(), 4);
        if (m_buffer.left(known) != QByteArray(kMagic, known)) return fail("not a file list");
        if (m_buffer.size() < kHeaderBytes) return m_state;
        quint32 size = 0;
        for (int i = 4; i < kHeaderBytes; ++i) size = (size << 8) | quint8(m_buffer[i]);
        if (size > quint32(kHandoverMaxBytes)) return fail("too long");
        m_expected = qsizetype(size);
        m_buffer.remove(0, kHeaderBytes);
    }
    if (m_buffer.size() > m_expected) return fail("bytes after the end");
    if (m_buffer.size() < m_expected) return m_state;
    return parsePayload();
}

HandoverReader::State HandoverReader::parsePayload() {
    if (!m_buffer.isEmpty() && !m_buffer.endsWith('\0')) return fail("unterminated path");
    qsizetype start = 0;
    while (start < m_buffer.size()) {
        const qsizetype end = m_buffer.indexOf('\0', start);
        const QByteArrayView bytes(m_buffer.constData() + start, end - start);
        start = end + 1;
        if (bytes.isEmpty()) return fail("empty path");
        if (bytes.size() > kHandoverMaxPathBytes) return fail("path too long");
        if (m_paths.size() >= kHandoverMaxPaths) return fail("too many paths");
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString path = utf8(bytes);
        if (utf8.hasError()) return fail("not UTF-8");
        if (!QDir::isAbsolutePath(path)) return fail("relative path");
        m_paths << path;
    }
    m_buffer.clear();
    m_state = State::Complete;
    return m_state;
}

FileHandoverServer::FileHandoverServer(std::function<void(const QStringList&)> deliver,
                                       QObject* parent)
    : QObject(parent), m_deliver(std::move(deliver)), m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &FileHandoverServer::acceptPending);
}

FileHandoverServer::~FileHandoverServer() {
    // The sockets are children of the server: no signal of theirs may reach
    // this half-destroyed object.
    for (QLocalSocket* socket : m_readers.keys()) socket->disconnect(this);
    m_server->close();
}

bool FileHandoverServer::listen(const QString& name) {
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

QString FileHandoverServer::errorString() const { return m_server->errorString(); }

void FileHandoverServer::acceptPending() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (m_readers.size() >= kHandoverMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_readers.insert(socket, HandoverReader());
        connect(socket, &QObject::destroyed, this, [this, socket] { m_readers.remove(socket); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        // A half message, then silence: the connection is dropped.
        QTimer::singleShot(m_timeoutMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0) readFrom(socket);
    }
}

void FileHandoverServer::readFrom(QLocalSocket* socket) {
    auto reader = m_readers.find(socket);
    if (reader == m_readers.end() || reader->state() != HandoverReader::State::Incomplete) {
        socket->readAll();
        return;
    }
    // No more than the rest of one message is read in: a client that keeps
    // writing cannot make the window hold more.
    const QByteArray bytes = socket->read(kHandoverMaxBytes + kHeaderBytes + 1);
    switch (reader->feed(bytes)) {
        case HandoverReader::State::Incomplete:
            return;
        case HandoverReader::State::Invalid:
            socket->abort();
            return;
        case HandoverReader::State::Complete:
            m_queue << reader->paths();
            socket->write(kAnswer);
            socket->flush();
            socket->disconnectFromServer();
            QTimer::singleShot(0, this, &FileHandoverServer::deliverQueued);
            return;
    }
}

void FileHandoverServer::deliverQueued() {
    // Adding files lets the window process events, which may bring the next
    // message: it waits in the queue for this loop.
    if (m_delivering) return;
    m_delivering = true;
    while (!m_queue.isEmpty()) {
        const QStringList paths = m_queue.takeFirst();
        if (m_deliver) m_deliver(paths);
    }
    m_delivering = false;
}

namespace {

// One attempt: connect, send, read the answer. The reason in `why` when the
// window did not answer.
bool sendOnce(const QString& name, const QByteArray& message, const QDeadlineTimer& deadline,
              QString& why) {
    auto left = [&deadline] { return int(std::max<qint64>(0, deadline.remainingTime())); };
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(left())) {
        why = socket.errorString();
        return false;
    }
    socket.write(message);
    QByteArray answer;
    while (answer.size() < kAnswer.size()) {
        if (socket.bytesToWrite() > 0 && !socket.waitForBytesWritten(left())) break;
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(left())) break;
        answer += socket.read(kAnswer.size() - answer.size());
    }
    if (answer == kAnswer) return true;
    why = answer.isEmpty() ? QString("the window closed the connection without an answer")
                           : QString("unexpected answer");
    return false;
}

}  // namespace

bool handOverFiles(const QString& name, const QStringList& paths, int timeoutMs, QString* why) {
    QString reason;
    const QByteArray message = encodeHandover(paths);
    if (message.size() - kHeaderBytes > kHandoverMaxBytes || paths.size() > kHandoverMaxPaths) {
        reason = "too many files";
    } else {
        // Tried again until the deadline: a window that is just starting does
        // not listen yet, and one that many starts reach at once (a selection
        // opened from a file manager) closes the connections beyond its bound.
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            if (sendOnce(name, message, deadline, reason)) return true;
            if (deadline.hasExpired()) break;
            QThread::msleep(kConnectRetryMs);
        }
    }
    if (why) *why = reason;
    return false;
}

}  // namespace tessaro
