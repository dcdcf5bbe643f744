// The window around a batch and after it: the sleep lock while it converts,
// and what the option 批处理结束后： asks for once it is over, against a
// stand-in logind on a private bus.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <functional>
#include <memory>

#include "FakeDialogs.h"
#include "base/Platform.h"
#include "engine/ConversionDriver.h"
#include "helpers/MockLogind.h"
#include "settings/OptionsFile.h"
#include "shell/AfterBatchCountdown.h"
#include "shell/frmMain.h"

namespace tessaro {
namespace {

using test::FakeDialogs;
using test::MockLogind;

class frmMainAfterBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.isValid() && m_tmp.isValid());
        platform::setApplicationFolder(QDir::toNativeSeparators(m_app.path()).toStdString());
        platform::setTemporaryFolder(QDir::toNativeSeparators(m_tmp.path()).toStdString());
        QDir(m_app.path()).mkpath("data");
        const QString conv = m_app.path() + "/data/" + platform::kConvExe;
        ASSERT_TRUE(QFile::copy(TESSARO_FAKE_ENCODER, conv));
    }
    void TearDown() override { qunsetenv("TESSARO_FAKE_HOLD"); }

    // The window set for MPG into tmp/out, with options.ini holding `options`.
    std::unique_ptr<frmMain> load(const Options& options) {
        writeOptionsFile(platform::settingsFile(platform::kOptionsFile), options);
        auto w = std::make_unique<frmMain>(dialogs);
        w->endProcess = [this] { ++ended; };
        w->openUrl = [](const QUrl&) {};
        w->playWave = [](const std::string&) {};
        w->Form_Load(nullptr);
        w->show();
        w->cmbOF->setCurrentIndex(2);
        emit w->cmbOF->activated(2);
        w->txtPath->setText(m_tmp.path() + "/out");
        return w;
    }
    // Queues new files of these names (a "bad" one fails in the encoder).
    void queue(frmMain& w, const QStringList& names) {
        for (const QString& name : names) {
            const QString path = QDir::toNativeSeparators(m_tmp.path() + "/" + name);
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("video") == 5);
            w.inputList().append(path.toStdString(), InputList::Source::Drop);
        }
    }

    // Starts the batch and returns once it has ended; `whileRunning` runs
    // once inside it, as soon as the head row shows its progress.
    static void runBatch(frmMain& w, const std::function<void()>& whileRunning = {}) {
        bool acted = false;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (acted || w.LV->topLevelItemCount() == 0 ||
                !w.LV->topLevelItem(0)->text(1).contains('%'))
                return;
            acted = true;
            if (whileRunning) whileRunning();
        });
        sampler.start(5);
        w.Command3->click();
        QElapsedTimer clock;
        clock.start();
        while (w.Command3->text() != "立刻开始转换！" && clock.elapsed() < 60000)
            QCoreApplication::processEvents();
        EXPECT_FALSE(w.driver()->running());
    }
    // Lets the timers that follow the batch's end fire.
    static void settle(int ms = 100) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) QCoreApplication::processEvents();
    }
    void holdEncoders() { qputenv("TESSARO_FAKE_HOLD", (m_tmp.path() + "/release").toLocal8Bit()); }

    FakeDialogs dialogs;
    int ended = 0;
    QTemporaryDir m_app, m_tmp;
};

Options withAfterBatch(Options::AfterBatch action) {
    Options options;
    options.intSoundReminder = 1;  // no sound to wait for
    options.afterBatch = action;
    return options;
}

// The lock is held while files convert and released when the batch ends,
// whether it ran out or was stopped.
TEST_F(frmMainAfterBatchTest, SleepLockHeldOnlyDuringTheBatch) {
    struct Row {
        const char* name;
        bool stop;
    };
    for (const Row row : {Row{"ends", false}, Row{"stopped", true}}) {
        SCOPED_TRACE(row.name);
        MockLogind logind;
        TESSARO_REQUIRE_MOCK_LOGIND(logind);
        auto w = load(Options{});
        queue(*w, {"a.flv", "b.flv"});
        if (row.stop) {
            holdEncoders();
            dialogs.answers = {true};  // 确定要停止转换吗？
        }
        std::size_t held = 0;
        runBatch(*w, [&] {
            held = logind.inhibitors().size();
            if (row.stop) w->Command3->click();
        });
        EXPECT_EQ(held, 1u);
        EXPECT_TRUE(logind.waitForInhibitors(0));
        EXPECT_EQ(w->LV->topLevelItemCount(), row.stop ? 2 : 0);
        qunsetenv("TESSARO_FAKE_HOLD");
    }
}

// What follows the batch, by the option and by what the batch converted.
TEST_F(frmMainAfterBatchTest, ChoiceRunsOnlyWhenAFileConverted) {
    struct Row {
        const char* name;
        Options::AfterBatch action;
        QStringList files;
        bool countdown;
        int ended;
    };
    const Row rows[] = {
        {"nothing", Options::AfterBatch::Nothing, {"a.flv"}, false, 0},
        {"quit", Options::AfterBatch::Quit, {"a.flv", "bad.flv"}, false, 1},
        {"quit, all failed", Options::AfterBatch::Quit, {"bad.flv"}, false, 0},
        {"sleep, with a failure", Options::AfterBatch::Sleep, {"bad.flv", "a.flv"}, true, 0},
        {"sleep, all failed", Options::AfterBatch::Sleep, {"bad.flv"}, false, 0},
        {"shut down", Options::AfterBatch::ShutDown, {"a.flv"}, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MockLogind logind;
        TESSARO_REQUIRE_MOCK_LOGIND(logind);
        ended = 0;
        auto w = load(withAfterBatch(row.action));
        queue(*w, row.files);
        runBatch(*w);
        settle();
        EXPECT_EQ(ended, row.ended);
        EXPECT_EQ(w->afterBatchCountdown() != nullptr, row.countdown);
        EXPECT_EQ(logind.callCount("Suspend") + logind.callCount("PowerOff"), 0);
    }
}

// Sleep and power-off are asked for only once the countdown has run out,
// once; 取消 asks nothing; a refusal is shown with its reason.
TEST_F(frmMainAfterBatchTest, CountdownThenAskTheSystem) {
    struct Row {
        const char* name;
        Options::AfterBatch action;
        const char* method;
        bool cancel;
        bool refused;
        const char* caption;
        const char* message;  // "" for none
    };
    const Row rows[] = {
        {"sleep", Options::AfterBatch::Sleep, "Suspend", false, false, "60 秒后睡眠", ""},
        {"shut down", Options::AfterBatch::ShutDown, "PowerOff", false, false, "60 秒后关机", ""},
        {"cancelled", Options::AfterBatch::Sleep, "Suspend", true, false, "60 秒后睡眠", ""},
        {"sleep refused", Options::AfterBatch::Sleep, "Suspend", false, true, "60 秒后睡眠",
         "无法睡眠：系统拒绝了请求：没有权限（Not allowed tonight）"},
        {"shut-down refused", Options::AfterBatch::ShutDown, "PowerOff", false, true, "60 秒后关机",
         "无法关机：系统拒绝了请求：没有权限（Not allowed tonight）"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MockLogind logind;
        TESSARO_REQUIRE_MOCK_LOGIND(logind);
        if (row.refused) {
            ASSERT_TRUE(logind.refuse(row.method, "org.freedesktop.DBus.Error.AccessDenied",
                                      "Not allowed tonight"));
        }
        dialogs.messages.clear();
        auto w = load(withAfterBatch(row.action));
        queue(*w, {"a.flv"});
        runBatch(*w);
        settle();
        AfterBatchCountdown* box = w->afterBatchCountdown();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(box->lblCountdown->text(), QString::fromUtf8(row.caption));
        for (int second = 0; second < 59; ++second) box->tick();
        EXPECT_EQ(box->remaining(), 1);
        EXPECT_EQ(logind.callCount(row.method), 0);  // not before the end
        if (row.cancel)
            box->cmdCancel->click();
        else
            box->tick();
        settle();
        EXPECT_EQ(w->afterBatchCountdown(), nullptr);
        EXPECT_EQ(logind.callCount(row.method), row.cancel ? 0 : 1);
        const std::string message = dialogs.messages.empty() ? "" : dialogs.messages.back().text;
        EXPECT_EQ(message, row.message);
        EXPECT_EQ(ended, 0);
    }
}

TEST_F(frmMainAfterBatchTest, CountdownCaptionsAndItsButtons) {
    AfterBatchCountdown box(AfterBatchCountdown::Action::ShutDown, 3);
    bool accepted = false;
    QObject::connect(&box, &QDialog::accepted, [&] { accepted = true; });
    box.show();
    EXPECT_EQ(box.cmdNow->text(), "立即关机");
    EXPECT_EQ(box.cmdCancel->text(), "取消");
    EXPECT_TRUE(box.cmdCancel->isDefault());  // Enter from someone back at the machine stops it
    box.tick();
    EXPECT_EQ(box.lblCountdown->text(), "2 秒后关机");
    box.cmdNow->click();
    EXPECT_TRUE(accepted);
    box.tick();  // closed: the count stays
    EXPECT_EQ(box.remaining(), 2);
    EXPECT_EQ(AfterBatchCountdown::caption(AfterBatchCountdown::Action::Sleep, 15), "15 秒后睡眠");
}

}  // namespace
}  // namespace tessaro
