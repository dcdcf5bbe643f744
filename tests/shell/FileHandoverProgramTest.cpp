// The window program started with files, then started again while it runs.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#ifndef _WIN32
#include <unistd.h>

namespace tessaro {
namespace {

// Where the program's socket is: its temporary folder is fixed per user.
QString programSocket() { return QString("/tmp/tessaro-%1/tessaro.socket").arg(::getuid()); }

bool windowListening() {
    QLocalSocket probe;
    probe.connectToServer(programSocket());
    return probe.waitForConnected(500);
}

class FileHandoverProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath("folder");
        QDir(m_dir.path()).mkpath("home");
        for (const char* name : {"a.flv", "b.flv", "folder/c.flv"}) {
            QFile file(m_dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("HOME", m_dir.filePath("home"));
        m_env.insert("XDG_CONFIG_HOME", m_dir.filePath("home/.config"));
        m_env.insert("XDG_RUNTIME_DIR", m_dir.path());
        m_queueBefore = QFile::exists(kAppQueue);
    }
    void TearDown() override {
        if (m_first.state() != QProcess::NotRunning) {
            m_first.kill();
            m_first.waitForFinished(5000);
        }
        // The window keeps its queue beside itself (the build's application
        // folder is writable): the test's files must not greet the next start.
        if (!m_queueBefore) QFile::remove(kAppQueue);
    }
    static constexpr const char* kAppQueue = TESSARO_APP_DIR "/queue.txt";

    void start(QProcess& process, const QStringList& arguments) {
        process.setProcessEnvironment(m_env);
        process.setWorkingDirectory(m_dir.path());
        process.start(TESSARO_APP_DIR "/tessaro", arguments);
    }
    // Starts a second window program and returns its exit code (-1: it did
    // not end in time); its error output goes to `err`.
    int runSecond(const QStringList& arguments, QString& err) {
        QProcess second;
        start(second, arguments);
        if (!second.waitForFinished(20000)) {
            second.kill();
            second.waitForFinished();
            return -1;
        }
        err = QString::fromUtf8(second.readAllStandardError());
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QProcess m_first;
    bool m_queueBefore = false;
};

TEST_F(FileHandoverProgram, ASecondStartHandsItsFilesOverAndEnds) {
    if (windowListening()) {
        if (qEnvironmentVariableIsSet("CI")) FAIL() << "a Tessaro window of this user runs";
        GTEST_SKIP() << "a Tessaro window of this user runs already";
    }
    start(m_first, {"a.flv", "folder/"});
    ASSERT_TRUE(m_first.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (!windowListening() && m_first.state() == QProcess::Running && clock.elapsed() < 30000)
        QThread::msleep(50);
    ASSERT_EQ(m_first.state(), QProcess::Running) << m_first.readAllStandardError().toStdString();
    ASSERT_TRUE(windowListening());

    // Clients that misbehave first: garbage, and half a message left open.
    QLocalSocket garbage, half;
    garbage.connectToServer(programSocket());
    half.connectToServer(programSocket());
    ASSERT_TRUE(garbage.waitForConnected(2000) && half.waitForConnected(2000));
    garbage.write("GET / HTTP/1.1\r\n\r\n");
    half.write(QByteArray("TSRF\0\0\0\x40/tmp/a", 14));
    garbage.waitForBytesWritten(1000);
    half.waitForBytesWritten(1000);

    QString err;
    EXPECT_EQ(runSecond({"b.flv"}, err), 0) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    // Nothing to hand over: it ends at once, saying what it left out.
    EXPECT_EQ(runSecond({}, err), 0) << err.toStdString();
    EXPECT_EQ(runSecond({"--bogus", "missing.flv"}, err), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("--bogus") && err.contains("missing.flv")) << err.toStdString();

    EXPECT_TRUE(garbage.waitForDisconnected(6000));
    EXPECT_TRUE(half.waitForDisconnected(6000));
    EXPECT_EQ(m_first.state(), QProcess::Running);
}

}  // namespace
}  // namespace tessaro
#endif
