// The main window offscreen: the fields a format does not read, the failure
// list of a long batch, and the completion sound at the end of a batch.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "FakeDialogs.h"
#include "engine/ConversionDriver.h"
#include "engine/Platform.h"
#include "settings/FormatCatalogue.h"
#include "shell/ListMessageBox.h"
#include "shell/WavePlayer.h"
#include "shell/frmMain.h"

namespace tessaro {
namespace {

class frmMainFieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.isValid() && m_tmp.isValid());
        platform::setApplicationFolder(m_app.path().toStdString());
        platform::setTemporaryFolder(m_tmp.path().toStdString());
    }

    // The window as started, with the real sound and the given dialogs.
    std::unique_ptr<frmMain> load(DialogBackend& backend) {
        auto window = std::make_unique<frmMain>(backend);
        window->endProcess = [] {};
        window->openUrl = [](const QUrl&) {};
        window->Form_Load(nullptr);
        window->txtPath->setText(m_tmp.path() + "/out");
        window->show();
        return window;
    }

    // Queues `count` folders (each fails at once, no encoder runs) and runs
    // the batch to its end; `during` runs inside it.
    void runFailingBatch(frmMain& w, int count, const std::function<void()>& during = {}) {
        for (int i = 0; i < count; ++i) {
            const QString folder = m_tmp.path() + QString("/in%1").arg(i, 3, 10, QChar('0'));
            QDir().mkpath(folder);
            w.inputList().append(folder.toStdString(), InputList::Source::Drop);
        }
        if (during) QTimer::singleShot(0, &w, during);
        w.Command3->click();
        QElapsedTimer clock;
        clock.start();
        while ((w.driver()->running() || w.lblPB->text() != "Done.") && clock.elapsed() < 30000)
            QCoreApplication::processEvents();
    }

    test::FakeDialogs dialogs;
    QTemporaryDir m_app, m_tmp;
};

// The names of the enabled parameter fields, in panel order.
std::string enabledFields(const frmMain& w) {
    QStringList names;
    for (QComboBox* box : {w.cmbVB, w.cmbF, w.cmbS, w.cmbR, w.cmbBR, w.cmbChannel})
        if (box->isEnabled()) names << box->objectName();
    return names.join(' ').toStdString();
}

struct FieldsRow {
    int format;
    const char* size;  // picked from cmbS's list, typed when `typed`, or left
    bool typed;
    const char* enabled;
};

TEST_F(frmMainFieldsTest, OnlyTheFieldsTheFormatReadsStayEnabled) {
    for (const char* file : {"skin.qss", "skin-arrow.xpm"})  // the popup as the skin draws it
        QFile::copy(QString(TESSARO_APP_DIR "/") + file, m_app.path() + "/" + file);
    // A style that leaves the popup's width to the field (as on Windows).
    struct StyleGuard {
        QString previous = QApplication::style()->name();
        ~StyleGuard() { QApplication::setStyle(previous); }
    } guard;
    QApplication::setStyle("Windows");
    auto w = load(dialogs);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->cmbOF->showPopup();
    const QAbstractItemView* view = w->cmbOF->view();
    for (int i = 0; i < w->cmbOF->count(); ++i) {  // an entry narrower than it asks is cut
        const QModelIndex entry = view->model()->index(i, 0);
        EXPECT_GE(view->viewport()->width(), view->sizeHintForIndex(entry).width())
            << w->cmbOF->itemText(i).toStdString();
    }
    w->cmbOF->hidePopup();

    const char* const realChosen = "cmbVB cmbS cmbR cmbBR cmbChannel";
    const FieldsRow rows[] = {
        {kRmvb, nullptr, false, "cmbS"},  // at the source size: the fixed template
        {kRmvb, "320x240", false, realChosen},
        {kRm, "640x48", true, realChosen},
        {kRm, "原始大小", true, "cmbS"},
        {kMpg, nullptr, false, "cmbVB cmbF cmbBR"},
        {kAvi, nullptr, false, "cmbVB cmbF cmbBR"},
        {kMp4Hd, nullptr, false, "cmbVB cmbBR"},
        {kMov, "640x480", false, "cmbS"},
        {kMp4Phone, nullptr, false, "cmbS"},
        {k3gp, nullptr, false, "cmbS"},
        {kMp3, nullptr, false, "cmbR cmbBR cmbChannel"},
    };
    for (const FieldsRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "format " << row.format << " size " << (row.size ? row.size : "-"));
        w->cmbOF->setCurrentIndex(row.format);
        emit w->cmbOF->activated(row.format);
        if (row.size && row.typed) {
            w->cmbS->setFocus();
            w->cmbS->lineEdit()->selectAll();
            QTest::keyClick(w->cmbS->lineEdit(), Qt::Key_Delete);
            // As an input method commits it: the keys of Chinese text are no keys.
            QInputMethodEvent typing;
            typing.setCommitString(QString::fromUtf8(row.size));
            QCoreApplication::sendEvent(w->cmbS->lineEdit(), &typing);
        } else if (row.size) {
            w->cmbS->setCurrentIndex(w->cmbS->findText(QString::fromUtf8(row.size)));
        }
        EXPECT_EQ(enabledFields(*w), row.enabled);
        for (QComboBox* box : {w->cmbVB, w->cmbF, w->cmbS, w->cmbR, w->cmbBR, w->cmbChannel})
            EXPECT_EQ(box->toolTip().contains("不使用此项，输出为"), !box->isEnabled())
                << box->objectName().toStdString() << ": " << box->toolTip().toStdString();

        // A batch locks every field and gives back the same ones.
        std::string duringBatch = "-";
        runFailingBatch(*w, 1, [&] { duringBatch = enabledFields(*w); });
        EXPECT_EQ(duringBatch, "");
        EXPECT_EQ(enabledFields(*w), row.enabled);
    }
}

TEST_F(frmMainFieldsTest, ThreeHundredFailuresFitTheScreen) {
    auto w = load(qtDialogBackend());
    QRect screen, box, ok;
    bool openAfterCopy = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* shown = qobject_cast<ListMessageBox*>(QApplication::activeModalWidget());
        if (!shown || !shown->isVisible()) return;
        poll.stop();
        screen = shown->screen()->availableGeometry();
        box = shown->frameGeometry();
        ok = QRect(shown->okButton()->mapToGlobal(QPoint(0, 0)), shown->okButton()->size());
        shown->copyButton()->click();
        openAfterCopy = shown->isVisible();
        shown->okButton()->click();
    });
    poll.start(20);
    QGuiApplication::clipboard()->clear();
    runFailingBatch(*w, 300);

    ASSERT_FALSE(box.isNull()) << "no list message was shown";
    EXPECT_TRUE(screen.contains(box)) << box.height() << " px in " << screen.height();
    EXPECT_TRUE(screen.contains(ok));
    EXPECT_TRUE(openAfterCopy);
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
    ASSERT_EQ(lines.size(), 300);
    for (int i : {0, 150, 299})
        EXPECT_TRUE(
            lines[i].startsWith(m_tmp.path() + QString("/in%1：").arg(i, 3, 10, QChar('0'))))
            << lines[i].toStdString();
}

// A silent 16-bit mono WAV of `seconds`.
void writeSilence(const QString& path, int seconds) {
    const uint32_t rate = 8000, bytes = rate * 2 * uint32_t(seconds);
    std::ofstream out(path.toStdString(), std::ios::binary);
    auto put = [&out](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) out.put(char((value >> (8 * i)) & 0xff));
    };
    out.write("RIFF", 4);
    put(36 + bytes, 4);
    out.write("WAVEfmt ", 8);
    for (auto [value, size] :
         {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {rate, 4}, {rate * 2, 4}, {2u, 2}, {16u, 2}})
        put(value, size);
    out.write("data", 4);
    put(bytes, 4);
    out << std::string(bytes, '\0');
}

TEST_F(frmMainFieldsTest, TheSoundDoesNotHoldTheBatchsEnd) {
    writeSilence(m_app.path() + "/sound.wav", 4);
    auto w = load(dialogs);
    ASSERT_EQ(w->options().intSoundReminder, 0);  // the sound is on
    QElapsedTimer clock;
    clock.start();
    runFailingBatch(*w, 1);
    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_TRUE(w->cmbOF->isEnabled());
    EXPECT_EQ(w->Command3->text(), "立刻开始转换！");
    EXPECT_LT(clock.elapsed(), 2000);  // the sound lasts 4 s
}

}  // namespace
}  // namespace tessaro
