// The main window offscreen: the fields a format does not read, the failure
// list of a long batch, and the completion sound at the end of a batch.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "FakeDialogs.h"
#include "base/Platform.h"
#include "engine/ConversionDriver.h"
#include "shell/ListMessageBox.h"
#include "shell/frmMain.h"

namespace tessaro {
namespace {

class frmMainFieldsTest : public ::testing::Test {
protected:
    // The window as started, with the real sound and the given dialogs.
    std::unique_ptr<frmMain> load(DialogBackend& backend) {
        platform::setApplicationFolder(m_app.path().toStdString());
        platform::setTemporaryFolder(m_tmp.path().toStdString());
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

// The enabled parameter fields, in panel order.
std::string enabledFields(const frmMain& w) {
    QStringList names;
    for (QComboBox* box : {w.cmbVB, w.cmbF, w.cmbS, w.cmbR, w.cmbBR, w.cmbChannel}) {
        if (box->isEnabled()) names << box->objectName();
        // Between batches a disabled field says why.
        if (w.cmbOF->isEnabled()) {
            EXPECT_EQ(box->toolTip().contains("不使用此项，输出为"), !box->isEnabled())
                << box->toolTip().toStdString();
        }
    }
    return names.join(' ').toStdString();
}

TEST_F(frmMainFieldsTest, OnlyTheFieldsTheFormatReadsStayEnabled) {
    auto w = load(dialogs);
    const char* const realChosen = "cmbVB cmbS cmbR cmbBR cmbChannel";
    const struct {
        int format;
        const char* size;  // typed into cmbS after choosing the format, or left
        const char* enabled;
    } rows[] = {
        {kRmvb, nullptr, "cmbS"},  // at the source size: the fixed template
        {kRmvb, "320x240", realChosen},
        {kRm, "640x4", realChosen},
        {kRm, "原始大小", "cmbS"},
        {kMpg, nullptr, "cmbVB cmbF cmbBR"},
        {kAvi, nullptr, "cmbVB cmbF cmbBR"},
        {kMp4Hd, nullptr, "cmbVB cmbBR"},
        {kMov, "640x480", "cmbS"},
        {kMp4Phone, nullptr, "cmbS"},
        {k3gp, nullptr, "cmbS"},
        {kMp3, nullptr, "cmbR cmbBR cmbChannel"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.format << " " << (row.size ? row.size : "-"));
        w->cmbOF->setCurrentIndex(row.format);
        emit w->cmbOF->activated(row.format);
        if (row.size) {  // as a keyboard or an input method enters it
            w->cmbS->lineEdit()->clear();
            QInputMethodEvent typing;
            typing.setCommitString(QString::fromUtf8(row.size));
            QCoreApplication::sendEvent(w->cmbS->lineEdit(), &typing);
        }
        EXPECT_EQ(enabledFields(*w), row.enabled);
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
    for (int i : {0, 299})
        EXPECT_TRUE(
            lines[i].startsWith(m_tmp.path() + QString("/in%1：").arg(i, 3, 10, QChar('0'))));
}

// Four seconds of silence, 8 kHz 16-bit mono PCM WAV.
QByteArray silentWave() {
    const quint32 bytes = 4 * 8000 * 2;
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << 36 + bytes;
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << bytes;
    return wav + QByteArray(bytes, '\0');
}

TEST_F(frmMainFieldsTest, TheSoundDoesNotHoldTheBatchsEnd) {
    QFile sound(m_app.path() + "/sound.wav");
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly) && sound.write(silentWave()) > 0);
    sound.close();
    auto w = load(dialogs);
    ASSERT_EQ(w->options().intSoundReminder, 0);  // the sound is on
    QElapsedTimer clock;
    clock.start();
    runFailingBatch(*w, 1);
    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_EQ(w->Command3->text(), "立刻开始转换！");
    EXPECT_LT(clock.elapsed(), 2000);  // the sound lasts 4 s
}

}  // namespace
}  // namespace tessaro
