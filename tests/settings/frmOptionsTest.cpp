#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <vector>

#include "base/MessageBoxes.h"
#include "base/Platform.h"
#include "settings/frmOptions.h"

namespace tessaro {
namespace {

struct Shown {
    std::string text;
    MessageIcon icon;
    std::string title;
};

class RecordingBoxes : public MessageBoxes {
public:
    void showMessage(const std::string& text, MessageIcon icon, const std::string& title) override {
        shown.push_back({text, icon, title});
    }
    std::vector<Shown> shown;
};

class FrmOptionsTest : public ::testing::Test {
protected:
    std::string path() const { return (m_dir.path() + "/options.ini").toStdString(); }
    QByteArray fileBytes() const {
        QFile f(QString::fromStdString(path()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    std::vector<QLineEdit*> timeFields(const frmOptions& d) const {
        return {d.txtFromH(), d.txtFromM(), d.txtFromS(), d.txtToH(), d.txtToM(), d.txtToS()};
    }
    void setTimes(frmOptions& d, std::vector<const char*> texts) {
        auto fields = timeFields(d);
        for (size_t i = 0; i < fields.size(); ++i) fields[i]->setText(QString::fromUtf8(texts[i]));
    }

    QTemporaryDir m_dir;
    Options m_options;
    RecordingBoxes m_boxes;
};

TEST_F(FrmOptionsTest, ShowsTheSoundChoiceAndButtonsAndHidesTheCutter) {
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("选项设置"));
    EXPECT_EQ(d.size(), QSize(305, 196));
    EXPECT_TRUE(d.isModal());
    EXPECT_EQ(d.Label1()->text(), QStringLiteral("转换完毕声音提示"));
    ASSERT_EQ(d.cmbSR()->count(), 2);
    EXPECT_EQ(d.cmbSR()->itemText(0), "ON");
    EXPECT_EQ(d.cmbSR()->itemText(1), "OFF");
    EXPECT_EQ(d.chkMC()->text(), "Music Cutter");
    EXPECT_EQ(d.Command1()->text(), QStringLiteral("确定"));
    EXPECT_EQ(d.Command2()->text(), QStringLiteral("返回"));

    const QRect client = d.rect();
    std::vector<QWidget*> shown = {d.Label1(),        d.cmbSR(),         d.lblJobs(),
                                   d.spnJobs(),       d.chkKeepFailed(), d.lblAfterBatch(),
                                   d.cmbAfterBatch(), d.Command1(),      d.Command2()};
    for (QWidget* w : shown) {
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
        EXPECT_TRUE(client.contains(w->geometry())) << w->objectName().toStdString();
    }
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << shown[i]->objectName().toStdString() << " / "
                << shown[j]->objectName().toStdString();
    EXPECT_FALSE(d.chkMC()->isVisible());
    for (QLineEdit* f : timeFields(d)) EXPECT_FALSE(f->isVisible());
}

TEST_F(FrmOptionsTest, LoadsEveryOpeningFromTheOptions) {
    struct Row {
        int16_t sound, cutter;
        int32_t from, to;
        int index;
        bool checked;
        std::vector<const char*> fields;
    };
    const std::vector<Row> rows = {
        {0, 0, 0, 0, 0, false, {"0", "0", "0", "0", "0", "0"}},
        {1, 1, 3723, 120, 1, true, {"1", "2", "3", "0", "2", "0"}},
        {5, 0, 90, 120, -1, false, {"0", "0", "0", "0", "0", "0"}},   // no list position 5
        {-1, 2, 90, 120, -1, false, {"0", "0", "0", "0", "0", "0"}},  // the box takes 0 or 1
        {0, 1, 0, 86399, 0, true, {"0", "0", "0", "23", "59", "59"}},
    };
    for (const Row& r : rows) {
        m_options = {r.sound, r.cutter, r.from, r.to};
        frmOptions d(m_options, path(), &m_boxes);
        SCOPED_TRACE(r.sound * 1000 + r.cutter);
        EXPECT_EQ(d.cmbSR()->currentIndex(), r.index);
        EXPECT_EQ(d.chkMC()->isChecked(), r.checked);
        auto fields = timeFields(d);
        for (size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(fields[i]->text().toStdString(), r.fields[i]) << i;
            EXPECT_EQ(fields[i]->isEnabled(), r.checked) << i;
        }
    }
}

TEST_F(FrmOptionsTest, CheckBoxEnablesAndDisablesTheTimeFieldsKeepingTheirText) {
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    d.txtFromS()->setText("7");
    d.chkMC()->click();
    for (QLineEdit* f : timeFields(d)) EXPECT_TRUE(f->isEnabled());
    d.chkMC()->click();
    for (QLineEdit* f : timeFields(d)) EXPECT_FALSE(f->isEnabled());
    EXPECT_EQ(d.txtFromS()->text(), "7");
}

TEST_F(FrmOptionsTest, ConfirmChecksInOrderWarnsFocusesAndStaysOpen) {
    struct Row {
        std::vector<const char*> fields;
        const char* text;
        const char* title;
        int failing;  // index into the six fields
    };
    const std::vector<Row> rows = {
        {{"0", "60", "0", "0", "0", "0"}, "分钟必须小于60", "分钟", 1},
        {{"0", "75", "0", "0", "0", "99"}, "分钟必须小于60", "分钟", 1},  // first failure only
        {{"0", "0", "0", "0", "60", "0"}, "分钟必须小于60", "分钟", 4},
        {{"0", "0", "60", "0", "0", "99"}, "秒必须小于60", "秒", 2},
        {{"0", "59", "59", "0", "0", "60"}, "秒必须小于60", "秒", 5},
    };
    for (const Row& r : rows) {
        m_options = {1, 1, 0, 0};
        m_boxes.shown.clear();
        frmOptions d(m_options, path(), &m_boxes);
        d.show();
        setTimes(d, r.fields);
        // the fields are hidden in the dialog; shown here, the focus can be seen
        for (QLineEdit* f : timeFields(d)) f->show();
        d.Command1()->click();
        SCOPED_TRACE(r.failing);
        ASSERT_EQ(m_boxes.shown.size(), 1u);
        EXPECT_EQ(m_boxes.shown[0].text, r.text);
        EXPECT_EQ(m_boxes.shown[0].title, r.title);
        EXPECT_EQ(m_boxes.shown[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(d.focusWidget(), timeFields(d)[r.failing]);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(fileBytes(), "<missing>");
        EXPECT_EQ(m_options.intMusicCutter, 1);
    }
}

TEST_F(FrmOptionsTest, StaleTextInDisabledFieldsStillStopsTheConfirm) {
    frmOptions d(m_options, path(), &m_boxes);  // cutter off: fields disabled
    d.show();
    d.txtToM()->setText("60");
    d.Command1()->click();
    ASSERT_EQ(m_boxes.shown.size(), 1u);
    EXPECT_EQ(m_boxes.shown[0].text, "分钟必须小于60");
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(fileBytes(), "<missing>");
}

TEST_F(FrmOptionsTest, ConfirmStoresAndWritesTheFile) {
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    d.cmbSR()->setCurrentIndex(1);
    d.chkMC()->click();
    setTimes(d, {"0", "1", "30", "0", "2", "0"});
    d.Command1()->click();
    EXPECT_TRUE(m_boxes.shown.empty());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(m_options.intSoundReminder, 1);
    EXPECT_EQ(m_options.intMusicCutter, 1);
    EXPECT_EQ(m_options.lngCutFrom, 90);
    EXPECT_EQ(m_options.lngCutTo, 120);
    EXPECT_EQ(fileBytes(), "1\r\n1\r\n90\r\n120\r\n");

    // the next opening shows what was stored
    frmOptions again(m_options, path(), &m_boxes);
    EXPECT_EQ(again.cmbSR()->currentIndex(), 1);
    EXPECT_TRUE(again.chkMC()->isChecked());
    EXPECT_EQ(again.txtFromM()->text(), "1");
    EXPECT_EQ(again.txtFromS()->text(), "30");
    EXPECT_EQ(again.txtToM()->text(), "2");
}

TEST_F(FrmOptionsTest, CutterWithAllTimesZeroIsStoredAsOff) {
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    d.chkMC()->click();
    d.Command1()->click();
    EXPECT_FALSE(d.chkMC()->isChecked());
    EXPECT_EQ(m_options.intMusicCutter, 0);
    EXPECT_EQ(fileBytes(), "0\r\n0\r\n0\r\n0\r\n");
}

TEST_F(FrmOptionsTest, NoSoundSelectionIsStoredAsMinusOne) {
    m_options.intSoundReminder = 5;
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    d.Command1()->click();
    EXPECT_EQ(m_options.intSoundReminder, -1);
    EXPECT_EQ(fileBytes(), "-1\r\n0\r\n0\r\n0\r\n");
}

// Files converted at once: loaded, stored on confirm, written as the fifth line.
TEST_F(FrmOptionsTest, JobsLoadFromTheOptionsAndAreStoredOnConfirm) {
    m_options.jobs = 3;
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    EXPECT_EQ(d.spnJobs()->value(), 3);
    EXPECT_TRUE(d.spnJobs()->isVisible() && d.lblJobs()->isVisible());
    d.spnJobs()->setValue(16);
    d.Command1()->click();
    EXPECT_EQ(m_options.jobs, 16);
    EXPECT_EQ(fileBytes(), "0\r\n0\r\n0\r\n0\r\n16\r\n");
}

// Whether failed files stay in the list: loaded, stored on confirm, written
// as the sixth line only when off (on is the default a missing line gives).
TEST_F(FrmOptionsTest, KeepFailedFilesLoadsAndIsStoredOnConfirm) {
    struct Row {
        bool loaded;
        bool clicked;  // the box clicked before confirming
        bool stored;
    } rows[] = {
        {true, false, true},
        {true, true, false},
        {false, false, false},
        {false, true, true},
    };
    const QByteArray four = "0\r\n0\r\n0\r\n0\r\n";
    const QByteArray six = four + QByteArray::number(platform::defaultJobs()) + "\r\n0\r\n";
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.loaded ? "on" : "off") + (r.clicked ? " clicked" : ""));
        m_options = {};
        m_options.jobs = platform::defaultJobs();
        m_options.keepFailedFiles = r.loaded;
        QFile::remove(QString::fromStdString(path()));
        frmOptions d(m_options, path(), &m_boxes);
        d.show();
        EXPECT_EQ(d.chkKeepFailed()->text(), QStringLiteral("失败的文件留在列表中"));
        EXPECT_EQ(d.chkKeepFailed()->isChecked(), r.loaded);
        if (r.clicked) d.chkKeepFailed()->click();
        d.Command1()->click();
        EXPECT_EQ(m_options.keepFailedFiles, r.stored);
        EXPECT_EQ(fileBytes(), r.stored ? four : six);
    }
    // Returning stores nothing.
    m_options.keepFailedFiles = true;
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    d.chkKeepFailed()->click();
    d.Command2()->click();
    EXPECT_TRUE(m_options.keepFailedFiles);
}

// What follows a batch: each choice loads into the drop-down, and the one
// picked is stored on confirm and read back from the file.
TEST_F(FrmOptionsTest, AfterBatchChoiceLoadsAndIsStoredOnConfirm) {
    struct Row {
        Options::AfterBatch loaded;
        const char* shownText;
        int picked;
        Options::AfterBatch stored;
    };
    const Row rows[] = {
        {Options::AfterBatch::Nothing, "无操作", 3, Options::AfterBatch::ShutDown},
        {Options::AfterBatch::Quit, "退出 Tessaro", 2, Options::AfterBatch::Sleep},
        {Options::AfterBatch::Sleep, "睡眠", 1, Options::AfterBatch::Quit},
        {Options::AfterBatch::ShutDown, "关机", 0, Options::AfterBatch::Nothing},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.shownText);
        m_options = Options{};
        m_options.afterBatch = row.loaded;
        frmOptions d(m_options, path(), &m_boxes);
        d.show();
        EXPECT_EQ(d.lblAfterBatch()->text(), QStringLiteral("批处理结束后："));
        EXPECT_EQ(d.cmbAfterBatch()->count(), 4);
        EXPECT_EQ(d.cmbAfterBatch()->currentText(), QString::fromUtf8(row.shownText));
        d.cmbAfterBatch()->setCurrentIndex(row.picked);
        d.Command1()->click();
        EXPECT_EQ(m_options.afterBatch, row.stored);
        Options read;
        readOptionsFile(path(), read);
        EXPECT_EQ(read.afterBatch, row.stored);
    }
}

TEST_F(FrmOptionsTest, CancelKeepsTheOptionsAndTheFile) {
    m_options = {0, 1, 90, 120};
    frmOptions d(m_options, path(), &m_boxes);
    d.show();
    d.cmbSR()->setCurrentIndex(1);
    d.txtFromM()->setText("5");
    d.Command2()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(m_options.intSoundReminder, 0);
    EXPECT_EQ(m_options.lngCutFrom, 90);
    EXPECT_EQ(fileBytes(), "<missing>");
}

}  // namespace
}  // namespace tessaro
