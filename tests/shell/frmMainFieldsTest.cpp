// The main window offscreen: the fields a format does not read, the failure
// list of a long batch, and the completion sound at the end of a batch.

#include <gtest/gtest.h>

#include <QAbstractItemView>
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
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <vector>

#include "FakeDialogs.h"
#include "base/Platform.h"
#include "engine/ConversionDriver.h"
#include "formats/FormatCatalogue.h"
#include "helpers/ParameterChecks.h"
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

// ---- The sixteen formats ----

void choose(frmMain& w, int format) {
    w.cmbOF->setCurrentIndex(format);
    emit w.cmbOF->activated(format);
}

std::vector<std::string> entries(const QComboBox* box) {
    std::vector<std::string> texts;
    for (int i = 0; i < box->count(); ++i) texts.push_back(box->itemText(i).toStdString());
    return texts;
}

std::array<QComboBox*, kFieldCount> fieldBoxes(const frmMain& w) {
    return {w.cmbVB, w.cmbF, w.cmbS, w.cmbR, w.cmbBR, w.cmbChannel};
}

TEST_F(frmMainFieldsTest, TheDropDownListsSixteenFormatsAndShowsThemWhole) {
    auto w = load(dialogs);
    ASSERT_EQ(w->cmbOF->count(), 16);
    EXPECT_FALSE(w->cmbOF->isEditable());
    QSet<QString> distinct;
    int longest = 0;
    for (int i = 0; i < w->cmbOF->count(); ++i) {
        distinct << w->cmbOF->itemText(i);
        longest = std::max(
            longest, w->cmbOF->view()->fontMetrics().horizontalAdvance(w->cmbOF->itemText(i)));
    }
    EXPECT_EQ(distinct.size(), 16);
    // The closed field keeps its place; the open list is as wide as it needs.
    EXPECT_EQ(w->cmbOF->geometry(), QRect(490, 90, 189, 22));
    ASSERT_GT(longest, w->cmbOF->width() - 24) << "the longest entry would fit the field anyway";
    w->cmbOF->showPopup();
    EXPECT_GE(w->cmbOF->view()->viewport()->width(), longest + 8);
    w->cmbOF->hidePopup();
}

// Each format chosen after the one before it, forwards and back: the window
// shows the parameters the commands derive, each field the format's list (or
// the list it had, where the format leaves the field), and the fields the
// commands do not read disabled, with the reason.
TEST_F(frmMainFieldsTest, ChoosingEachFormatSetsTheFieldsTheirListsAndTheirState) {
    auto w = load(dialogs);
    std::vector<int> order;
    for (int i = 0; i < kFormatCount; ++i) order.push_back(i);
    for (int i = kFormatCount - 1; i >= 0; --i) order.push_back(i);
    for (int format : {kMp4H264, kMp3, kFlac, kRmvb, kWebmVp9, kWav, kMp4Phone, kOpus})
        order.push_back(format);
    for (int format : order) {
        SCOPED_TRACE(testing::Message() << "format " << format);
        const ParameterTexts before = w->parameters();
        std::array<std::vector<std::string>, kFieldCount> listsBefore;
        for (int f = 0; f < kFieldCount; ++f)
            listsBefore[size_t(f)] = entries(fieldBoxes(*w)[size_t(f)]);
        choose(*w, format);

        const ParameterTexts want = withFormatDefaults(format, before);
        const ParameterTexts got = w->parameters();
        test::expectSameParameters(got, want);
        enabledFields(*w);  // a disabled field tells why
        for (int f = 0; f < kFieldCount; ++f) {
            QComboBox* box = fieldBoxes(*w)[size_t(f)];
            SCOPED_TRACE(box->objectName().toStdString());
            const std::vector<std::string>* own = choiceList(format, Field(f));
            EXPECT_EQ(entries(box), own ? *own : listsBefore[size_t(f)]);
            EXPECT_EQ(box->isEnabled(), fieldUse(format, got.videoSize, Field(f)).read);
            if (!box->isEnabled()) continue;
            // What an enabled field shows is an entry of its list; the
            // original formats also write a few texts that are none.
            const bool entry = box->findText(box->currentText()) >= 0;
            EXPECT_TRUE(entry || (!isCurrentFormat(format) &&
                                  QStringList{"1200", "24", "28000"}.contains(box->currentText())))
                << box->currentText().toStdString();
        }
    }
}

TEST_F(frmMainFieldsTest, H264ThenMp3ThenMpgGivesTheOriginalFieldsBack) {
    auto w = load(dialogs);
    const auto texts = [&] {
        QStringList shown;
        for (QComboBox* box : fieldBoxes(*w)) shown << box->currentText();
        return shown.join('|').toStdString();
    };
    choose(*w, kMp4H264);
    EXPECT_EQ(texts(), "自动|原始帧率|原始大小|原始频率|160|原始声道");
    EXPECT_EQ(w->cmbChannel->currentIndex(), kSourceChannels);
    w->cmbVB->setEditText("3500");  // typed, no entry
    choose(*w, kMp3);               // the video fields stay as they are, lists included
    EXPECT_EQ(texts(), "3500|原始帧率|原始大小|48000|320|双声道");
    EXPECT_EQ(entries(w->cmbVB), *choiceList(kMp4H264, Field::VideoBitrate));
    EXPECT_EQ(entries(w->cmbChannel), channelList());
    EXPECT_EQ(w->cmbChannel->currentIndex(), 1);
    choose(*w, kMpg);
    EXPECT_EQ(texts(), "600|24|原始大小|28000|64|双声道");
    EXPECT_EQ(entries(w->cmbVB), videoBitrateList());
    EXPECT_EQ(entries(w->cmbF), frameRateList());
    EXPECT_EQ(entries(w->cmbS), videoSizeList());
    EXPECT_EQ(entries(w->cmbR), sampleRateList());
    EXPECT_EQ(entries(w->cmbBR), audioBitrateList());
    EXPECT_EQ(w->cmbVB->currentIndex(), 7);  // "600" is an entry, "24" and "28000" are not
    EXPECT_EQ(w->cmbF->findText(w->cmbF->currentText()), -1);
}

// The format chosen before the exit is the one the next start shows, with
// its lists; an index outside the catalogue gives the first format.
TEST_F(frmMainFieldsTest, TheFormatSurvivesARestart) {
    for (int format = kFirstCurrentFormat; format < kFormatCount; ++format) {
        SCOPED_TRACE(testing::Message() << "format " << format);
        std::vector<std::string> saved;
        {
            auto w = load(dialogs);
            choose(*w, format);
            for (QComboBox* box : fieldBoxes(*w)) saved.push_back(box->currentText().toStdString());
            w->CmdToolsBar[5]->click();  // exit: writes setup.ini
        }
        auto w = load(dialogs);
        EXPECT_EQ(w->cmbOF->currentIndex(), format);
        // The fields the format reads come back as they were, in its lists.
        // (Those it leaves are not all stored: the video fields never are.)
        for (int f = 0; f < kFieldCount; ++f) {
            QComboBox* box = fieldBoxes(*w)[size_t(f)];
            if (!fieldUse(format, w->cmbS->currentText().toStdString(), Field(f)).read) continue;
            EXPECT_EQ(box->currentText().toStdString(), saved[size_t(f)]) << f;
            EXPECT_EQ(entries(box), *choiceList(format, Field(f))) << f;
        }
    }
    for (const char* index : {"16", "-1", "99999", "1e9", "H.264", ""}) {
        SCOPED_TRACE(index);
        QFile setup(m_app.path() + "/setup.ini");
        ASSERT_TRUE(setup.open(QIODevice::WriteOnly | QIODevice::Truncate));
        setup.write(QByteArray("\"7\"\r\n\"1\"\r\n\"1\"\r\n\"/o\"\r\n\"") + index + "\"\r\n");
        setup.close();
        auto w = load(dialogs);
        EXPECT_EQ(w->cmbOF->currentIndex(), kRmvb);
        EXPECT_EQ(w->cmbVB->currentText(), "1200");
        EXPECT_EQ(entries(w->cmbVB), videoBitrateList());
        EXPECT_EQ(entries(w->cmbChannel), channelList());
        EXPECT_EQ(enabledFields(*w), "cmbS");
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
