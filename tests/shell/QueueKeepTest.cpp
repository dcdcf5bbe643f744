// The queue kept between runs and the rows a batch failed, in the window:
// offscreen, with a temporary application folder (where the settings and
// queue.txt live) and fake dialogs; the killed window is a process of its own
// converting with the real encoders.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QUrl>
#include <fstream>
#include <functional>
#include <iterator>

#include "FakeDialogs.h"
#include "base/Platform.h"
#include "engine/ConversionDriver.h"
#include "input/QueueFile.h"
#include "settings/OptionsFile.h"
#include "shell/SingleInstance.h"
#include "shell/frmMain.h"

#ifndef _WIN32
#include <csignal>
#endif

namespace tessaro {
namespace {

using test::FakeDialogs;

#ifndef _WIN32
// Neither running nor waiting to be reaped (an orphan's parent may be slow).
bool processAlive(pid_t pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = stat.readAll();
    const int end = text.lastIndexOf(')');
    return end < 0 || text.mid(end + 2, 1) != "Z";
}
#endif

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return done();
}

class QueueKeepTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.isValid() && m_tmp.isValid());
        platform::setApplicationFolder(native(m_app.path()));
        platform::setTemporaryFolder(native(m_tmp.path()));
    }

    static std::string native(const QString& path) {
        return QDir::toNativeSeparators(path).toStdString();
    }
    QString appPath(const QString& name) const {
        return QDir::toNativeSeparators(m_app.path() + "/" + name);
    }
    QString tmpPath(const QString& name) const {
        return QDir::toNativeSeparators(m_tmp.path() + "/" + name);
    }
    std::string queueFile() const { return platform::settingsFile(kQueueFile); }

    std::unique_ptr<frmMain> load(SingleInstance* instance = nullptr) {
        auto w = std::make_unique<frmMain>(dialogs);
        w->endProcess = [] {};
        w->openUrl = [](const QUrl&) {};
        w->playWave = [](const std::string&) {};
        EXPECT_TRUE(w->Form_Load(instance));
        w->show();
        return w;
    }

    // A window set for MPG into tmpPath("out"), with fake encoders (a file
    // named bad* gives no output).
    std::unique_ptr<frmMain> loadMpgBatch() {
        QDir(m_app.path()).mkpath("data");
        const QString conv = appPath(QString("data/") + platform::kConvExe);
        EXPECT_TRUE(QFile::copy(TESSARO_FAKE_ENCODER, conv));
        auto w = load();
        w->cmbOF->setCurrentIndex(2);
        emit w->cmbOF->activated(2);
        w->txtPath->setText(tmpPath("out"));
        w->driver()->setJobs(1);
        return w;
    }

    static void dropFiles(frmMain& window, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(window.LV->viewport(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.LV->viewport(), &drop);
    }

    // Presses Start and returns once the batch has ended.
    static void runBatch(frmMain& w) {
        w.Command3->click();
        EXPECT_TRUE(waitFor([&] { return !w.driver()->running(); }, 30000));
    }

    // The rows as "file name|format column".
    static QStringList rows(const frmMain& w) {
        QStringList texts;
        for (int i = 0; i < w.LV->topLevelItemCount(); ++i)
            texts << QFileInfo(w.LV->topLevelItem(i)->text(0)).fileName() + "|" +
                         w.LV->topLevelItem(i)->text(1);
        return texts;
    }

    std::vector<InputRow> savedRows() const {
        std::ifstream in(platform::nativePath(queueFile()), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        std::string why;
        auto parsed = parseQueueFile(text, &why);
        return parsed ? *parsed : std::vector<InputRow>{};
    }

    FakeDialogs dialogs;
    QTemporaryDir m_app, m_tmp;
};

struct KeepFailedRow {
    const char* name;
    bool keep;
};

class QueueKeepFailed : public QueueKeepTest,
                        public ::testing::WithParamInterface<KeepFailedRow> {};

// A file that fails (here a folder under a file's name) stays after the
// batch, marked, its reason as tooltip, and saved so; the failure box is
// shown as ever. Once the cause is gone the next Start converts it. With
// the option off it leaves the list.
TEST_P(QueueKeepFailed, FailedFileStaysForTheNextStartUnlessTheOptionIsOff) {
    Options options;
    options.keepFailedFiles = GetParam().keep;
    ASSERT_TRUE(writeOptionsFile(platform::settingsFile(platform::kOptionsFile), options));
    auto w = loadMpgBatch();
    ASSERT_TRUE(QDir(m_tmp.path()).mkdir("x.flv"));
    dropFiles(*w, {tmpPath("a.flv"), tmpPath("x.flv"), tmpPath("c.flv")});

    runBatch(*w);
    EXPECT_EQ(w->lblPB->text(), "Done.");
    ASSERT_EQ(dialogs.messages.size(), 1u);  // the failure box, as without the option
    EXPECT_NE(dialogs.messages[0].text.find("x.flv：不是普通文件（文件夹）"), std::string::npos)
        << dialogs.messages[0].text;
    EXPECT_EQ(QDir(tmpPath("out")).entryList({"*.mpg"}, QDir::Files).size(), 2);
    w->saveQueue();
    if (!GetParam().keep) {
        EXPECT_TRUE(rows(*w).isEmpty());
        EXPECT_TRUE(w->picText->isVisibleTo(w.get()));
        EXPECT_TRUE(savedRows().empty());
        return;
    }
    EXPECT_EQ(rows(*w), QStringList{"x.flv|FLV  失败"});
    EXPECT_EQ(w->LV->topLevelItem(0)->toolTip(0), "不是普通文件（文件夹）");
    EXPECT_EQ(w->LV->topLevelItem(0)->font(0).bold(), false);
    EXPECT_EQ(w->lstFile->count(), 1);
    EXPECT_FALSE(w->picText->isVisibleTo(w.get()));
    const std::vector<InputRow> saved = savedRows();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(saved[0].failed);
    EXPECT_EQ(saved[0].reason, "不是普通文件（文件夹）");

    // The cause removed: the next Start converts it, with a file added since.
    ASSERT_TRUE(QDir(m_tmp.path()).rmdir("x.flv"));
    std::ofstream(tmpPath("x.flv").toStdString()) << "video";
    dropFiles(*w, {tmpPath("d.flv")});
    EXPECT_EQ(rows(*w), (QStringList{"x.flv|FLV  失败", "d.flv|FLV"}));
    runBatch(*w);
    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_TRUE(rows(*w).isEmpty());
    EXPECT_TRUE(w->picText->isVisibleTo(w.get()));
    EXPECT_EQ(QDir(tmpPath("out")).entryList({"*.mpg"}, QDir::Files).size(), 4);
    EXPECT_EQ(dialogs.messages.size(), 1u);  // nothing failed this time
}

INSTANTIATE_TEST_SUITE_P(Option, QueueKeepFailed,
                         ::testing::Values(KeepFailedRow{"On", true}, KeepFailedRow{"Off", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RestoreRow {
    const char* name;
    std::string text;      // queue.txt as the last run left it; "" for none
    QStringList rows;      // shown after the start
    QStringList tooltips;  // of each row
    bool setAside;         // the file was moved out of the way
};

class QueueKeepRestore : public QueueKeepTest, public ::testing::WithParamInterface<RestoreRow> {};

// The start shows the queue as the last run left it, marks included; a
// damaged file is set aside and the list starts empty; either way the next
// change is saved.
TEST_P(QueueKeepRestore, StartShowsTheKeptQueue) {
    const RestoreRow& r = GetParam();
    if (!r.text.empty())
        std::ofstream(platform::nativePath(queueFile()), std::ios::binary) << r.text;
    auto w = load();
    EXPECT_EQ(rows(*w), r.rows);
    QStringList tips;
    for (int i = 0; i < w->LV->topLevelItemCount(); ++i) tips << w->LV->topLevelItem(i)->toolTip(1);
    EXPECT_EQ(tips, r.tooltips);
    EXPECT_EQ(w->picText->isVisibleTo(w.get()), r.rows.isEmpty());
    EXPECT_EQ(w->lstFile->count(), r.rows.size());
    const QStringList aside =
        QDir(m_app.path()).entryList({QString(kQueueFile) + ".damaged-*"}, QDir::Files);
    EXPECT_EQ(aside.size(), r.setAside ? 1 : 0) << aside.join(",").toStdString();

    // A change is saved shortly after, without an explicit save.
    dropFiles(*w, {tmpPath("new.flv")});
    EXPECT_TRUE(waitFor([&] { return savedRows().size() == size_t(r.rows.size() + 1); }, 3000));
    EXPECT_EQ(savedRows().back().path, native(tmpPath("new.flv")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, QueueKeepRestore,
    ::testing::Values(RestoreRow{"None", "", {}, {}, false},
                      RestoreRow{
                          "InOrderWithMarks",
                          "Tessaro queue 1\nW\tFLV\t/v/b.flv\nF\tFLV\t/v/a.flv\t没有生成输出文件\n"
                          "W\tP4 \t/v/%09c.mp4 \n",
                          {"b.flv|FLV", "a.flv|FLV  失败", "\tc.mp4 |P4 "},
                          {"", "没有生成输出文件", ""},
                          false},
                      RestoreRow{"Garbage",
                                 "\x7f"
                                 "ELF\x02\x01",
                                 {},
                                 {},
                                 true},
                      RestoreRow{"OtherHeader", "queue\nW\tFLV\t/v/b.flv\n", {}, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// kill -9 of a window converting the first of five files: the next start
// shows the five in their order, waiting, and the partial output is gone.
TEST_F(QueueKeepTest, KilledWindowComesBackWithItsQueueAndNoPartialOutput) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    ASSERT_FALSE(ffmpeg.isEmpty()) << "ffmpeg is needed to make the clip";
    QDir(m_app.path()).mkpath("data");
    for (const char* name : {platform::kConvExe, platform::kCoderExe, platform::kCoder2Exe})
        ASSERT_TRUE(QFile::copy(QString(TESSARO_APP_DIR) + "/data/" + name,
                                appPath(QString("data/") + name)))
            << name;
    // Long enough that it is still converting when the window is killed.
    const QString first = tmpPath("一 long.flv");
    QProcess make;
    make.start(ffmpeg, {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc=size=640x360:rate=25:duration=120", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=120", "-shortest", "-f", "flv", first});
    ASSERT_TRUE(make.waitForFinished(120000) && make.exitCode() == 0)
        << make.readAllStandardError().toStdString();
    QStringList files{first};
    for (const char* name : {"b.flv", "c.flv", "d.flv", "e.flv"}) {
        files << tmpPath(name);
        std::ofstream(tmpPath(name).toStdString()) << "video";
    }

    QProcess window;
    window.setProcessChannelMode(QProcess::ForwardedChannels);
    const QString temporary = tmpPath("temp");
    window.start(TESSARO_QUEUE_WINDOW, QStringList{m_app.path(), temporary} + files);
    ASSERT_TRUE(window.waitForStarted(10000));
    const QDir output(appPath("output"));
    QString part;
    ASSERT_TRUE(waitFor(
        [&] {
            const QStringList parts = output.entryList({".*.part"}, QDir::Files | QDir::Hidden);
            if (!parts.isEmpty()) part = parts.first();
            return !part.isEmpty() && savedRows().size() == 5;
        },
        60000))
        << "no partial output while converting";
    // As at a power cut: the encoder is frozen first, so that it cannot clean
    // up when its owner goes, then the window and the encoder are killed.
    const QRegularExpressionMatch writer = QRegularExpression(R"(\.(\d+)\.part$)").match(part);
    ASSERT_TRUE(writer.hasMatch()) << part.toStdString();
    const pid_t encoder = writer.captured(1).toInt();
    ASSERT_EQ(::kill(encoder, SIGSTOP), 0);
    window.kill();  // SIGKILL: nothing of the window runs after it
    ASSERT_TRUE(window.waitForFinished(10000));
    ASSERT_EQ(window.exitStatus(), QProcess::CrashExit);
    ::kill(encoder, SIGKILL);
    EXPECT_TRUE(waitFor([&] { return !processAlive(encoder); }, 10000));
    ASSERT_TRUE(output.exists(part));

    platform::setTemporaryFolder(native(temporary));
    SingleInstance instance;  // the killed window's lock does not hold the start
    auto w = load(&instance);
    QStringList expected;
    for (const QString& file : files) expected << QFileInfo(file).fileName() + "|FLV";
    EXPECT_EQ(rows(*w), expected);
    EXPECT_EQ(w->inputList().count(), 5);
    EXPECT_EQ(output.entryList({".*.part"}, QDir::Files | QDir::Hidden), QStringList{});
    EXPECT_EQ(output.entryList({"*.mpg"}, QDir::Files), QStringList{});
}
#endif

}  // namespace
}  // namespace tessaro
