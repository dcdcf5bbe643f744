#pragma once
// A second start of the window hands its files to the running one over a
// local socket of the user's own, then ends.
//
// Message: "TSRF", the payload's length (4 bytes, big-endian), the payload:
// each path in UTF-8 followed by a NUL. Every path is absolute. The window
// answers "OK\n" once it has taken the files, and closes the connection.
// Anything else (a wrong start, invalid UTF-8, a relative or empty path,
// more than the bounds below) closes the connection without an answer.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <functional>

class QLocalServer;
class QLocalSocket;

namespace tessaro {

inline constexpr qsizetype kHandoverMaxBytes = 4 * 1024 * 1024;  // one message's payload
inline constexpr qsizetype kHandoverMaxPathBytes = 64 * 1024;
inline constexpr qsizetype kHandoverMaxPaths = 100000;
inline constexpr int kHandoverMaxConnections = 8;  // open at once; more are closed
inline constexpr int kHandoverTimeoutMs = 5000;    // a whole message, or the answer

// The socket's name: in the user's own temporary folder here (mode 0700, so
// nobody else can reach or replace it); on Windows a pipe named after that
// folder, which only the user may open.
QString handoverServerName();

// The message that carries `paths` (absolute, without NULs).
QByteArray encodeHandover(const QStringList& paths);

// Reads one message as its bytes arrive.
class HandoverReader {
public:
    enum class State { Incomplete, Complete, Invalid };

    // Takes the next bytes; Invalid from the first fault on, Complete once the
    // whole message has arrived (bytes after it make it Invalid).
    State feed(const QByteArray& bytes);
    State state() const { return m_state; }
    const QStringList& paths() const { return m_paths; }
    const QString& error() const { return m_error; }

private:
    State fail(const QString& why);
    State parsePayload();

    QByteArray m_buffer;
    qsizetype m_expected = -1;  // payload length, once the header is in
    QStringList m_paths;
    QString m_error;
    State m_state = State::Incomplete;
};

// The window's end: listens and hands every valid message's paths to
// `deliver`, one message at a time and in arrival order, on the event loop
// (never inside a socket's signal).
class FileHandoverServer : public QObject {
public:
    explicit FileHandoverServer(std::function<void(const QStringList&)> deliver,
                                QObject* parent = nullptr);
    ~FileHandoverServer() override;

    // Listens on `name`, for this user only. A socket file left by a window
    // that ended without removing it is removed first: the caller holds the
    // single-instance lock, so no live window owns it.
    bool listen(const QString& name);
    QString errorString() const;
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int openConnections() const { return int(m_readers.size()); }

private:
    void acceptPending();
    void readFrom(QLocalSocket* socket);
    void deliverQueued();

    std::function<void(const QStringList&)> m_deliver;
    QLocalServer* m_server;
    QHash<QLocalSocket*, HandoverReader> m_readers;
    QList<QStringList> m_queue;
    bool m_delivering = false;
    int m_timeoutMs = kHandoverTimeoutMs;
};

// The second start's end: connects to `name` (trying again while a window
// that is just starting has not begun to listen), sends `paths` and waits for
// the answer, all within `timeoutMs`. False, with the reason in `why`, when
// the window did not take them.
bool handOverFiles(const QString& name, const QStringList& paths,
                   int timeoutMs = kHandoverTimeoutMs, QString* why = nullptr);

}  // namespace tessaro
