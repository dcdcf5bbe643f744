// The main window driven through its controls, offscreen, with a temporary
// application folder and fake dialogs.

#include <gtest/gtest.h>

#include <QBitmap>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <fstream>
#include <functional>

#include "FakeDialogs.h"
#include "helpers/MouseHelpers.h"
#include "base/Platform.h"
#include "engine/Commands.h"
#include "engine/ConversionDriver.h"
#include "feedback/frmSuggest.h"
#include "settings/frmOptions.h"
#include "shell/FileHandover.h"
#include "shell/SingleInstance.h"
#include "shell/frmMain.h"
#include "widgets/ImageButton.h"
#include "widgets/LinkLabel.h"
#include "widgets/Site.h"

namespace tessaro {
namespace {

using test::FakeDialogs;

void writeEncoder(const QString& path);

// Each row's format column, then " bold" and " mark" when it is marked
// as being converted.
QStringList rowStates(const frmMain& window) {
    QStringList states;
    for (int i = 0; i < window.LV->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = window.LV->topLevelItem(i);
        states << item->text(1) + (item->font(0).bold() ? " bold" : "") +
                      (item->icon(0).isNull() ? "" : " mark");
    }
    return states;
}

class frmMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.isValid() && m_tmp.isValid());
        platform::setApplicationFolder(QDir::toNativeSeparators(m_app.path()).toStdString());
        platform::setTemporaryFolder(QDir::toNativeSeparators(m_tmp.path()).toStdString());
    }
    void TearDown() override { qunsetenv("TESSARO_FAKE_HOLD"); }

    // The window set for MPG (one run per file) into tmpPath("out"), with a
    // fake conv.
    template <class Window = frmMain>
    std::unique_ptr<Window> loadMpgBatch(DialogBackend* backend = nullptr) {
        QDir(m_app.path()).mkpath("data");
        writeEncoder(appPath(QString("data/") + platform::kConvExe));
        auto w = load<Window>(backend);
        w->cmbOF->setCurrentIndex(2);
        emit w->cmbOF->activated(2);
        w->txtPath->setText(tmpPath("out"));
        return w;
    }

    template <class Window = frmMain>
    std::unique_ptr<Window> load(DialogBackend* backend = nullptr) {
        auto window = std::make_unique<Window>(backend ? *backend : dialogs);
        window->endProcess = [this] { ++ended; };
        window->openUrl = [this](const QUrl& url) { opened.push_back(url); };
        window->playWave = [this](const std::string& wav) { played.push_back(wav); };
        window->Form_Load(nullptr);
        window->show();  // drops reach only a shown drop site
        return window;
    }

    void writeAppFile(const char* name, const std::string& text) {
        std::ofstream(appPath(name).toStdString(), std::ios::binary) << text;
    }
    // Full paths as the system writes them.
    QString appPath(const QString& name) const {
        return QDir::toNativeSeparators(m_app.path() + "/" + name);
    }
    QString tmpPath(const QString& name) const {
        return QDir::toNativeSeparators(m_tmp.path() + "/" + name);
    }

    static void drop(frmMain& window, const QMimeData& data) {
        // As a drag does it: enter the drop site, then drop.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.LV->viewport(), &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.LV->viewport(), &event);
    }
    static void dropFiles(frmMain& window, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        drop(window, data);
    }
    // The rows as "path|tag", the paths written with '/'.
    static QStringList rows(const frmMain& window) {
        QStringList texts;
        for (int i = 0; i < window.LV->topLevelItemCount(); ++i)
            texts << QDir::fromNativeSeparators(window.LV->topLevelItem(i)->text(0)) + "|" +
                         window.LV->topLevelItem(i)->text(1);
        return texts;
    }

    // From now on the fake encoders wait after their progress line until
    // releaseEncoders() (FakeEncoder.cpp).
    void holdEncoders() { qputenv("TESSARO_FAKE_HOLD", tmpPath("release").toLocal8Bit()); }
    void releaseEncoders() { std::ofstream(tmpPath("release").toStdString()) << "go"; }

    // Starts the batch and returns when it has ended; `whileRunning` runs
    // once, inside the batch, as soon as the first `running` rows show their
    // progress.
    static void runBatch(frmMain& w, int running, const std::function<void()>& whileRunning) {
        bool acted = false;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (acted || w.LV->topLevelItemCount() < running) return;
            for (int i = 0; i < running; ++i)
                if (!w.LV->topLevelItem(i)->text(1).contains('%')) return;
            acted = true;
            whileRunning();
        });
        sampler.start(5);  // fires inside the batch, which runs in the window's loop
        w.Command3->click();
        QElapsedTimer clock;
        clock.start();
        while (w.Command3->text() != "立刻开始转换！" && clock.elapsed() < 60000)
            QCoreApplication::processEvents();
        EXPECT_TRUE(acted);
    }

    FakeDialogs dialogs;
    int ended = 0;
    std::vector<QUrl> opened;
    std::vector<std::string> played;
    QTemporaryDir m_app, m_tmp;
};

TEST_F(frmMainTest, FirstStartShowsRmvbDefaultsAndDefaultFolder) {
    auto w = load();
    EXPECT_EQ(w->windowTitle(), "Tessaro");
    EXPECT_EQ(w->size(), QSize(698, 455));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w->cmbOF->currentIndex(), 0);
    EXPECT_EQ(w->cmbVB->currentText(), "1200");
    EXPECT_EQ(w->cmbF->currentText(), "29");
    EXPECT_EQ(w->cmbS->currentText(), "原始大小");
    EXPECT_EQ(w->cmbR->currentText(), "44100");
    EXPECT_EQ(w->cmbBR->currentText(), "320");
    EXPECT_EQ(w->cmbChannel->currentIndex(), 1);
    EXPECT_EQ(w->txtPath->text(), appPath("output"));
    EXPECT_FALSE(w->picText->isHidden());
    EXPECT_EQ(w->lblText->text(), "拖拽文件到这里开始转换");
    EXPECT_EQ(w->lblWeb->text(), "Tessaro");
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_EQ(w->Timer1->interval(), 100);
}

TEST_F(frmMainTest, ControlsStandAtTheirRectangles) {
    auto w = load();
    struct Row {
        const char* name;
        QRect rect;
        const char* text;
        const char* tooltip;
    };
    const Row table[] = {
        {"CmdToolsBar_0", {0, 0, 95, 66}, "添加文件", "Add a File"},
        {"CmdToolsBar_1", {94, 0, 95, 66}, "添加文件夹", "Add Files from a Folder"},
        {"CmdToolsBar_2", {188, 0, 95, 66}, "移除文件", "Remove File(s) from List"},
        {"CmdToolsBar_4", {282, 0, 95, 66}, "提示设置", "Move selected Down"},
        {"CmdToolsBar_5", {376, 0, 95, 66}, "退出程序", "Exit"},
        {"imgHelp", {635, 8, 15, 15}, nullptr, "Help & Tutorial"},
        {"imgMin", {652, 9, 14, 14}, nullptr, "Minimize Window"},
        {"imgExit", {672, 10, 15, 15}, nullptr, "Exit"},
        {"LV", {4, 90, 455, 274}, nullptr, ""},
        {"picText", {152, 208, 163, 21}, nullptr, ""},
        {"cmbOF", {490, 90, 189, 22}, nullptr, "Output Format"},
        {"cmbVB", {488, 146, 89, 22}, nullptr, "Size"},
        {"cmbF", {588, 146, 89, 22}, nullptr, "Size"},
        {"cmbS", {488, 204, 89, 22}, nullptr, "Size"},
        {"cmbR", {588, 203, 89, 22}, nullptr, "Audio Rate"},
        {"cmbBR", {488, 265, 89, 22}, nullptr, "Audio Bitrate"},
        {"cmbChannel", {588, 265, 89, 22}, nullptr, "Channel(Stereo or Mono)"},
        {"txtPath", {488, 325, 137, 21}, nullptr, "Select a Folder to Output"},
        {"cmdBrowse", {630, 326, 47, 20}, "浏览", "Select an Output Folder"},
        {"Command3", {488, 364, 189, 59}, "立刻开始转换！", ""},
        {"pb", {4, 398, 457, 21}, nullptr, ""},
        {"lblWeb", {6, 430, 173, 13}, "Tessaro", ""},
        {"lblFeed", {624, 432, 48, 13}, "意见反馈", "Send us your suggestion or question"},
        {"lblOF", {490, 70, 189, 14}, "输出格式：", ""},
        {"lblPath", {488, 306, 137, 14}, "输出路径：", ""},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        auto* widget = w->findChild<QWidget*>(row.name);
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->geometry(), row.rect);
        // A field the format does not read tells why instead (frmMainFieldsTest).
        if (widget->isEnabled()) {
            EXPECT_EQ(widget->toolTip(), row.tooltip);
        }
        if (row.text) {
            EXPECT_EQ(widget->property("text").toString(), row.text);
        }
    }
    EXPECT_TRUE(w->Command3->font().bold());
    EXPECT_EQ(w->LV->headerItem()->text(0), "文件名");
    EXPECT_EQ(w->LV->headerItem()->text(1), "格式");
    // The two columns fill the list without a sideways scroll bar.
    EXPECT_EQ(w->LV->columnWidth(1), 94);
    EXPECT_EQ(w->LV->columnWidth(0) + 94, w->LV->viewport()->width());
    for (QWidget* hidden : {static_cast<QWidget*>(w->txtAction), static_cast<QWidget*>(w->lstFile),
                            static_cast<QWidget*>(w->imgAdd), static_cast<QWidget*>(w->imgPB)})
        EXPECT_FALSE(QRect(0, 0, 698, 455).contains(hidden->geometry()) && hidden->isVisibleTo(w.get()));
}

struct RestoreRow {
    const char* name;
    std::string file;
    int format;
    const char* sampleRate;
    const char* audioBitrate;
    int channel;
    const char* folder;  // relative to the application folder, or absolute
};

class frmMainRestore : public frmMainTest, public ::testing::WithParamInterface<RestoreRow> {};

TEST_P(frmMainRestore, AppliesSetupIni) {
    const RestoreRow& row = GetParam();
    writeAppFile("setup.ini", row.file);
    auto w = load();
    EXPECT_EQ(w->cmbOF->currentIndex(), row.format);
    EXPECT_EQ(w->cmbR->currentText(), row.sampleRate);
    EXPECT_EQ(w->cmbBR->currentText(), row.audioBitrate);
    EXPECT_EQ(w->cmbChannel->currentIndex(), row.channel);
    const QString folder = QString(row.folder).startsWith('/') ? QString(row.folder)
                                                               : appPath(row.folder);
    EXPECT_EQ(w->txtPath->text(), folder);
    if (row.format == 8) {  // the video fields keep the RMVB defaults
        EXPECT_EQ(w->cmbVB->currentText(), "1200");
        EXPECT_EQ(w->cmbS->currentText(), "原始大小");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, frmMainRestore,
    ::testing::Values(
        RestoreRow{"Mp3", "\"2\"\r\n\"3\"\r\n\"0\"\r\n\"/srv/out\"\r\n\"8\"\r\n", 8, "48000", "320", 1,
                   "/srv/out"},
        RestoreRow{"EmptyFolder", "\"7\"\r\n\"1\"\r\n\"1\"\r\n\"\"\r\n\"0\"\r\n", 0, "44100", "320", 1,
                   "output"},
        RestoreRow{"BadFormatKeepsAudio", "\"2\"\r\n\"3\"\r\n\"0\"\r\n\"/a,b\"\r\n\"x\"\r\n", 0,
                   "24000", "32", 0, "/a,b"},
        RestoreRow{"FormatOutOfRange", "\"99\"\r\n\"0\"\r\n\"1\"\r\n\"/o\"\r\n\"16\"\r\n", 0,
                   "48000", "320", 1, "/o"},
        RestoreRow{"FormatMinusOne", "\"2\"\r\n\"0\"\r\n\"0\"\r\n\"/o\"\r\n\"-1\"\r\n", 0, "48000",
                   "32", 0, "/o"},
        RestoreRow{"FormatFarOut", "\"2\"\r\n\"0\"\r\n\"0\"\r\n\"/o\"\r\n\"99999\"\r\n", 0,
                   "48000", "32", 0, "/o"},
        RestoreRow{"LaterFormat", "\"2\"\r\n\"0\"\r\n\"0\"\r\n\"/o\"\r\n\"12\"\r\n", 12,
                   "原始频率", "256", 2, "/o"}),
    [](const ::testing::TestParamInfo<RestoreRow>& info) { return std::string(info.param.name); });

TEST_F(frmMainTest, ExitWritesSetupIniAndASystemCloseDoesNot) {
    {
        auto w = load();
        w->cmbOF->setCurrentIndex(8);
        emit w->cmbOF->activated(8);
        w->txtPath->setText("/out,1");
        std::ofstream(tmpPath("tmpfile.wav").toStdString()) << "x";
        w->close();
        EXPECT_EQ(ended, 1);
        EXPECT_FALSE(QFile::exists(appPath("setup.ini")));
        EXPECT_FALSE(QFile::exists(tmpPath("tmpfile.wav")));
    }
    {
        auto w = load();
        w->cmbOF->setCurrentIndex(8);
        emit w->cmbOF->activated(8);
        w->txtPath->setText("/out,1");
        std::ofstream(tmpPath("tmpfile1.mp3").toStdString()) << "x";
        w->CmdToolsBar[5]->click();
        EXPECT_EQ(ended, 2);
        EXPECT_FALSE(QFile::exists(tmpPath("tmpfile1.mp3")));
        QFile file(appPath("setup.ini"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "\"13\"\r\n\"0\"\r\n\"1\"\r\n\"/out,1\"\r\n\"8\"\r\n");
    }
    auto again = load();  // the next start restores what the exit wrote
    EXPECT_EQ(again->cmbOF->currentIndex(), 8);
    EXPECT_EQ(again->txtPath->text(), "/out,1");
    again->imgExit_Click();
    EXPECT_EQ(ended, 3);
}

TEST_F(frmMainTest, DropsAppendLocalFilesOnly) {
    auto w = load();
    QDir(m_tmp.path()).mkdir("folder");
    dropFiles(*w, {"/v/clip.flv", "/v/a.rmvb", tmpPath("folder")});
    EXPECT_EQ(rows(*w), QStringList({"/v/clip.flv|FLV", "/v/a.rmvb|MVB",
                                     QDir::fromNativeSeparators(tmpPath("folder")) + "|DER"}));
    EXPECT_EQ(w->lstFile->count(), 3);
    EXPECT_TRUE(w->picText->isHidden());

    QMimeData text;
    text.setText("/v/not-a-drop.flv");
    drop(*w, text);
    QMimeData web;
    web.setUrls({QUrl("http://example.com/a.flv")});
    drop(*w, web);
    EXPECT_EQ(w->LV->topLevelItemCount(), 3);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(frmMainTest, ThousandsOfDroppedFilesStayParallel) {
    auto w = load();
    QStringList paths;
    for (int i = 0; i < 3000; ++i) paths << QString("/v/%1.flv").arg(i);
    dropFiles(*w, paths);
    ASSERT_EQ(w->LV->topLevelItemCount(), 3000);
    EXPECT_EQ(w->lstFile->count(), 3000);
    EXPECT_EQ(QDir::fromNativeSeparators(w->LV->topLevelItem(2999)->text(0)), "/v/2999.flv");
    EXPECT_EQ(QDir::fromNativeSeparators(w->lstFile->item(1500)->text()), "/v/1500.flv");
}

TEST_F(frmMainTest, RemovalMenuAndCommandWords) {
    auto w = load();
    dropFiles(*w, {"/v/1.flv", "/v/2.flv", "/v/3.flv", "/v/4.flv", "/v/5.flv"});
    w->LV->setCurrentItem(w->LV->topLevelItem(2));

    w->CmdToolsBar[2]->click();  // dismissed: nothing runs
    ASSERT_EQ(dialogs.popups.size(), 1u);
    EXPECT_EQ(dialogs.popups[0], QStringList({"移除选择项", "移除全部"}));
    EXPECT_EQ(w->LV->topLevelItemCount(), 5);

    w->txtAction->setText("removeselected");  // not the word: cleared, nothing runs
    EXPECT_EQ(w->txtAction->text(), "");
    EXPECT_EQ(w->LV->topLevelItemCount(), 5);

    dialogs.popupChoice = "移除选择项";
    w->CmdToolsBar[2]->click();
    EXPECT_EQ(w->txtAction->text(), "");
    EXPECT_EQ(rows(*w), QStringList({"/v/1.flv|FLV", "/v/2.flv|FLV", "/v/4.flv|FLV", "/v/5.flv|FLV"}));
    EXPECT_EQ(QDir::fromNativeSeparators(w->lstFile->item(2)->text()), "/v/4.flv");

    w->LV->clearSelection();
    w->txtAction->setText("RemoveSelected");  // no selection: nothing removed
    EXPECT_EQ(w->LV->topLevelItemCount(), 4);

    dialogs.popupChoice = "移除全部";
    w->CmdToolsBar[2]->click();
    EXPECT_EQ(w->LV->topLevelItemCount(), 0);
    EXPECT_EQ(w->lstFile->count(), 0);
    EXPECT_FALSE(w->picText->isHidden());

    w->Command3->click();  // the empty list is refused
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "请先添加一个文件");
    EXPECT_EQ(dialogs.messages[0].title, "添加");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(w->Command3->isEnabled());
    EXPECT_FALSE(w->Timer1->isActive());
}

TEST_F(frmMainTest, ToolbarRoutesAddOptionsFolderHelpAndLinks) {
    writeAppFile("options.ini", "0\r\n0\r\n0\r\n0\r\n5\r\n");
    auto w = load();
    EXPECT_EQ(w->driver()->jobs(), 5);  // the batch converts as many at once as the file says
    // Add file: one file per use, the folder of the last one remembered.
    dialogs.files.push_back(QString("/clips/a.flv"));
    w->CmdToolsBar[0]->click();
    dialogs.files.push_back(std::nullopt);
    w->CmdToolsBar[0]->click();
    EXPECT_EQ(rows(*w), QStringList({"/clips/a.flv|FLV"}));
    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_EQ(dialogs.opened[0].title, "Open Files");
    EXPECT_EQ(dialogs.opened[0].filters, QStringList{"所有格式文件(*.*)"});

    // Settings: the options dialog, owned by the window; its confirm
    // writes options.ini and the window keeps the new values.
    dialogs.onModal = [&](QDialog& dialog) {
        auto* options = qobject_cast<frmOptions*>(&dialog);
        EXPECT_TRUE(options);
        EXPECT_EQ(dialog.parentWidget(), w.get());
        if (!options) return int(QDialog::Rejected);
        options->cmbSR()->setCurrentIndex(1);  // OFF
        options->spnJobs()->setValue(3);
        options->Command1()->click();
        return dialog.result();
    };
    w->CmdToolsBar[4]->click();
    dialogs.onModal = nullptr;
    EXPECT_EQ(dialogs.modalTitles, QStringList{"选项设置"});
    EXPECT_EQ(w->options().intSoundReminder, 1);
    EXPECT_EQ(w->driver()->jobs(), 3);
    EXPECT_TRUE(QFile::exists(appPath("options.ini")));

    // Add a folder: the .flv files found under the chosen folder.
    QDir(m_tmp.path()).mkpath("scan/sub");
    std::ofstream(tmpPath("scan/sub/b.FLV").toStdString()) << "x";
    std::ofstream(tmpPath("scan/c.txt").toStdString()) << "x";
    dialogs.folders.push_back(tmpPath("scan"));
    w->CmdToolsBar[1]->click();
    EXPECT_EQ(w->LV->topLevelItemCount(), 2);
    EXPECT_EQ(w->LV->topLevelItem(1)->text(0), tmpPath("scan/sub/b.FLV"));

    // Browse: the chosen folder, and the default one on cancel.
    dialogs.folders.push_back(QString("/srv/videos"));
    w->cmdBrowse->click();
    EXPECT_EQ(w->txtPath->text(), "/srv/videos");
    EXPECT_EQ(dialogs.folderTitles.back(), "请选择一个文件夹:");
    w->cmdBrowse->click();
    EXPECT_EQ(w->txtPath->text(), appPath("output"));

    w->imgHelp_Click();  // no help file: nothing happens
    EXPECT_TRUE(opened.empty());
    writeAppFile(platform::kHelpFile, "<html></html>");
    w->imgToolbar_Click(3);
    w->lblWeb_Click();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(appPath(platform::kHelpFile)));
    EXPECT_EQ(opened[1], QUrl(QString::fromUtf8(kMakerSite)));  // the site the build names

    w->lblFeed_Click();
    EXPECT_EQ(dialogs.modalTitles.back(), "建议和意见");
    w->lblFeed->setEnabled(false);  // as during a batch
    w->lblFeed_Click();
    EXPECT_EQ(dialogs.modalTitles.size(), 2u);
    w->imgToolbar_Click(5);
    w->CmdToolsBar_Click(3);
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

// Fake encoders (FakeEncoder.cpp): each writes a little output to its last
// argument and prints a progress line; a file named bad* produces nothing.
void writeEncoder(const QString& path) {
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(TESSARO_FAKE_ENCODER, path)) << path.toStdString();
}

TEST_F(frmMainTest, BatchRunsInsideTheWindow) {
    QDir(m_app.path()).mkpath("data");
    for (const char* name : {platform::kConvExe, platform::kCoderExe, platform::kCoder2Exe})
        writeEncoder(appPath(QString("data/") + name));
    auto w = load();
    w->driver()->setJobs(1);
    w->cmbOF->setCurrentIndex(2);  // MPG: one run per file
    emit w->cmbOF->activated(2);
    const QString out = tmpPath("out");
    w->txtPath->setText(out);
    dropFiles(*w, {tmpPath("a.flv"), tmpPath("bad.flv")});

    bool sawCurrent = false, laterDropAccepted = false;
    holdEncoders();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        // Inside the batch: the current file shows, drops still go in.
        if (sawCurrent || !w->windowTitle().contains("a.flv") ||
            !w->LV->topLevelItem(0)->font(0).bold())
            return;
        sawCurrent = true;
        dropFiles(*w, {tmpPath("c.flv")});
        laterDropAccepted = w->LV->topLevelItemCount() == 3;
        releaseEncoders();
    });
    sampler.start(5);
    w->Command3->click();
    for (QWidget* locked : std::initializer_list<QWidget*>{
             w->CmdToolsBar[0], w->CmdToolsBar[5], w->cmbOF, w->cmbS, w->cmbChannel, w->lblFeed})
        EXPECT_FALSE(locked->isEnabled()) << locked->objectName().toStdString();
    EXPECT_TRUE(w->cmdBrowse->isEnabled());
    EXPECT_TRUE(w->txtPath->isEnabled());

    QElapsedTimer clock;
    clock.start();
    while (w->lblPB->text() != "Done." && clock.elapsed() < 30000) QCoreApplication::processEvents();
    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_TRUE(sawCurrent);
    EXPECT_TRUE(laterDropAccepted);
    // Only the file that failed is left, marked (failed files stay by default).
    ASSERT_EQ(w->LV->topLevelItemCount(), 1);
    EXPECT_EQ(w->LV->topLevelItem(0)->text(1), "FLV  失败");
    EXPECT_EQ(w->lstFile->count(), 1);
    EXPECT_TRUE(w->picText->isHidden());
    EXPECT_TRUE(w->Command3->isEnabled());
    EXPECT_TRUE(w->cmbOF->isEnabled());
    EXPECT_TRUE(w->CmdToolsBar[0]->isEnabled());
    EXPECT_EQ(w->windowTitle(), "Tessaro");
    EXPECT_EQ(QDir(out).entryList({"*.mpg"}, QDir::Files).size(), 2);
    ASSERT_FALSE(dialogs.messages.empty());  // the failure list
    EXPECT_NE(dialogs.messages.back().text.find("bad.flv"), std::string::npos);
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.back().scheme(), "file");
    EXPECT_EQ(played.size(), 1u);
    EXPECT_EQ(ended, 0);
}

// Files from the command line or a second start: files as dropped, a
// folder searched for its Flash videos as the folder command does.
TEST_F(frmMainTest, OpenedPathsAddFilesAndSearchFolders) {
    auto w = load();
    QDir(m_tmp.path()).mkpath("folder/sub");
    for (const char* name : {"folder/c.FLV", "folder/d.mp4", "folder/sub/e.flv"})
        std::ofstream(tmpPath(name).toStdString()) << "x";
    w->openPaths({});
    EXPECT_FALSE(w->picText->isHidden());
    w->openPaths({tmpPath("a.mp4"), tmpPath("folder"), tmpPath("empty-or-gone")});
    const QString tmp = QDir::fromNativeSeparators(m_tmp.path());
    EXPECT_EQ(rows(*w), QStringList({tmp + "/a.mp4|MP4", tmp + "/folder/c.FLV|FLV",
                                     tmp + "/folder/sub/e.flv|FLV", tmp + "/empty-or-gone|ONE"}));
    EXPECT_EQ(w->lstFile->count(), 4);
    EXPECT_TRUE(w->picText->isHidden());
    EXPECT_TRUE(dialogs.messages.empty());
}

// A second start while a batch runs: its file joins the running batch.
TEST_F(frmMainTest, FilesHandedOverDuringABatchConvertInIt) {
    auto w = loadMpgBatch();
    holdEncoders();
    FileHandoverServer server([&w](const QStringList& paths) { w->openPaths(paths); });
    ASSERT_TRUE(server.listen(handoverServerName()));
    dropFiles(*w, {tmpPath("a.flv")});
    bool handedOver = false;
    std::unique_ptr<QThread> second(QThread::create(
        [&] { handedOver = handOverFiles(handoverServerName(), {tmpPath("b.flv")}); }));
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (second->isRunning() || second->isFinished() || !w->windowTitle().contains("a.flv"))
            return;
        second->start();  // the first file is converting
        while (!second->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
        releaseEncoders();
    });
    sampler.start(5);
    w->Command3->click();
    QElapsedTimer clock;
    clock.start();
    while (w->lblPB->text() != "Done." && clock.elapsed() < 30000)
        QCoreApplication::processEvents();
    second->wait();
    EXPECT_TRUE(handedOver);
    const QStringList outputs = QDir(tmpPath("out")).entryList({"*.mpg"}, QDir::Files);
    ASSERT_EQ(outputs.size(), 2) << outputs.join(' ').toStdString();
    EXPECT_TRUE(outputs[0].startsWith("a") && outputs[1].startsWith("b"));
    EXPECT_EQ(w->lstFile->count(), 0);
}

// Two files at once: each running row shows its own percentage beside its
// format tag, the bar and its caption the batch.
TEST_F(frmMainTest, RowsShowTheirOwnProgressWhileTwoFilesRun) {
    auto w = loadMpgBatch();
    w->driver()->setJobs(2);
    holdEncoders();
    dropFiles(*w, {tmpPath("a.flv"), tmpPath("b.flv"), tmpPath("c.flv")});

    QStringList rows;
    QString caption;
    runBatch(*w, 2, [&] {
        rows = rowStates(*w);
        caption = w->lblPB->text();
        releaseEncoders();
    });
    EXPECT_EQ(rows, (QStringList{"FLV  50% bold mark", "FLV  50% bold mark", "FLV"}));
    EXPECT_EQ(caption, "转换中 2/3 个文件  33%");
    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_EQ(QDir(tmpPath("out")).entryList({"*.mpg"}, QDir::Files).size(), 3);
}

// The rows as the batch leaves them, before the window clears what is left.
class RowsAtBatchEnd : public frmMain {
public:
    using frmMain::frmMain;
    void showCurrentFile(const std::string& path) override {
        if (path.empty()) left = rowStates(*this);
        frmMain::showCurrentFile(path);
    }
    QStringList left;
};

// Stopped while three files run, the middle one ending last: each file
// clears its own row, found by the file (the queue holds a path twice), and
// nothing stays marked.
TEST_F(frmMainTest, StopLeavesNoRowMarked) {
    auto w = loadMpgBatch<RowsAtBatchEnd>();
    w->driver()->setJobs(3);
    holdEncoders();
    dropFiles(*w, {tmpPath("a.flv"), tmpPath("slow.flv"), tmpPath("a.flv"), tmpPath("d.flv")});
    dialogs.answers = {true};

    QStringList running;
    runBatch(*w, 3, [&] {
        running = rowStates(*w);
        w->Command3->click();  // 确定要停止转换吗？ Yes
    });
    const QString marked = "FLV  50% bold mark";
    EXPECT_EQ(running, (QStringList{marked, marked, marked, "FLV"}));
    EXPECT_EQ(w->lblPB->text(), "已停止。");
    const QStringList unmarked{"FLV", "FLV", "FLV", "FLV"};
    EXPECT_EQ(w->left, unmarked);
    EXPECT_EQ(rowStates(*w), unmarked);
    EXPECT_EQ(w->lstFile->count(), 4);
    EXPECT_EQ(w->windowTitle(), "Tessaro");
}

// What the window opens during a batch, with the real dialogs, holds nothing
// up: the batch reaches its end while it is still open.
struct OpenDuringBatchRow {
    const char* name;
    bool encoderMissing;  // the runner's own box: "File or command not found"
    const char* dialogClass;
    int converted;
};

class frmMainOpenDuringBatch : public frmMainTest,
                               public ::testing::WithParamInterface<OpenDuringBatchRow> {};

TEST_P(frmMainOpenDuringBatch, FilesGoOnConverting) {
    const OpenDuringBatchRow& row = GetParam();
    auto w = loadMpgBatch(&qtDialogBackend());
    w->driver()->setJobs(1);
    w->driver()->setFailureMessageShown(false);
    if (row.encoderMissing) QFile::remove(appPath(QString("data/") + platform::kConvExe));
    dropFiles(*w, {tmpPath("a.flv"), tmpPath("b.flv"), tmpPath("c.flv")});
    const auto openDialogs = [&] {
        QList<QDialog*> open;
        for (QDialog* dialog : w->findChildren<QDialog*>())
            if (dialog->isVisible() && dialog->inherits(row.dialogClass)) open << dialog;
        return open;
    };
    // Whatever nests its own loop is closed after a while, so that a
    // failure ends.
    bool rescued = false;
    QTimer rescue;
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        for (QDialog* dialog : openDialogs()) rescued = true, dialog->reject();
    });
    rescue.start(10000);
    if (!row.encoderMissing) QTimer::singleShot(100, w.get(), [&] { w->cmdBrowse->click(); });
    w->Command3->click();
    QElapsedTimer clock;
    clock.start();
    while (w->Command3->text() != "立刻开始转换！" && clock.elapsed() < 60000)
        QCoreApplication::processEvents();

    EXPECT_EQ(w->lblPB->text(), "Done.");
    EXPECT_EQ(QDir(tmpPath("out")).entryList({"*.mpg"}, QDir::Files).size(), row.converted);
    const QList<QDialog*> open = openDialogs();
    EXPECT_FALSE(rescued) << "the batch waited on the dialog";
    ASSERT_EQ(open.size(), 1);  // one box for the three failures
    if (auto* chooser = qobject_cast<QFileDialog*>(open.first())) {
        EXPECT_TRUE(w->txtPath->text().startsWith(tmpPath("out")));  // nothing chosen yet
        QDir(m_tmp.path()).mkpath("chosen");
        chooser->setDirectory(tmpPath("chosen"));
        static_cast<QDialog*>(chooser)->accept();  // as its 选择 button does
        EXPECT_EQ(w->txtPath->text(), tmpPath("chosen"));
    } else {
        open.first()->done(QDialog::Accepted);
    }
    QCoreApplication::processEvents();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, frmMainOpenDuringBatch,
    ::testing::Values(OpenDuringBatchRow{"FolderChooser", false, "QFileDialog", 3},
                      OpenDuringBatchRow{"RunnerErrorBox", true, "QMessageBox", 0}),
    [](const ::testing::TestParamInfo<OpenDuringBatchRow>& info) {
        return std::string(info.param.name);
    });

// Typed into each editable combo by keys and left: the text stays as typed
// (a prefix of a list entry included) and reaches the command unchanged.
TEST_F(frmMainTest, TypedValuesReachTheCommandAsTyped) {
    auto w = load();
    w->activateWindow();  // completion works only in the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->cmbOF->setCurrentIndex(kRmvb);
    emit w->cmbOF->activated(kRmvb);
    struct Row {
        QComboBox* combo;
        QString typed;
        std::string piece;  // what the RMVB chosen-size command then holds
    } rows[] = {
        {w->cmbVB, "150", "-b 150k "},  {w->cmbVB, "", "-b k "},
        {w->cmbS, "320x", "-s 320x "},  {w->cmbS, "12", "-s 12 "},
        {w->cmbR, "2", "-ar 2 "},       {w->cmbR, "abc", "-ar abc "},
        {w->cmbBR, "1", "-ab 1k "},     {w->cmbBR, "-5", "-ab -5k "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed.toStdString());
        if (row.combo != w->cmbS) w->cmbS->setCurrentIndex(w->cmbS->findText("320x240"));
        row.combo->setFocus();
        row.combo->lineEdit()->selectAll();
        QTest::keyClick(row.combo->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(row.combo->lineEdit(), row.typed);
        QTest::keyClick(row.combo->lineEdit(), Qt::Key_Tab);  // leave the field
        EXPECT_EQ(row.combo->currentText().toStdString(), row.typed.toStdString());
        const std::string command = stageTwoCommand(
            kRmvb, {"/app", "/in.flv", "/out.rmvb", "/t/tmp-1.mp4"}, w->parameters());
        EXPECT_NE(command.find(row.piece), std::string::npos) << command;
    }
    // The frame rate reaches the MPG stage one the same way.
    w->cmbOF->setCurrentIndex(kMpg);
    emit w->cmbOF->activated(kMpg);
    w->cmbF->setFocus();
    w->cmbF->lineEdit()->selectAll();
    QTest::keyClicks(w->cmbF->lineEdit(), "2");
    QTest::keyClick(w->cmbF->lineEdit(), Qt::Key_Tab);
    EXPECT_EQ(w->cmbF->currentText().toStdString(), "2");
    EXPECT_NE(stageOneCommand(kMpg, {"/app", "/in.flv", "/out.mpg", ""}, w->parameters())
                  .find(" -ofps 2 "),
              std::string::npos);
}

// Stopping, closing and exiting while a batch runs: each asks first, and a
// Yes ends the batch before anything exits.
struct InterruptRow {
    const char* name;
    std::function<void(frmMain&)> act;
    const char* question;
    bool yes;
    const char* caption;  // lblPB at the end
    int ended;
    bool setupWritten;
};

class frmMainInterrupt : public frmMainTest, public ::testing::WithParamInterface<InterruptRow> {};

TEST_P(frmMainInterrupt, AsksThenStopsOrKeepsConverting) {
    const InterruptRow& row = GetParam();
    auto w = loadMpgBatch();
    dropFiles(*w, {tmpPath("a.flv"), tmpPath("b.flv"), tmpPath("c.flv")});
    dialogs.answers = {row.yes};
    QString faceDuringQuestion;
    dialogs.onQuestion = [&] { faceDuringQuestion = w->Command3->text(); };
    int endedInside = -1;
    QTimer::singleShot(150, w.get(), [&] {
        EXPECT_TRUE(w->Command3->isEnabled());
        row.act(*w);
        endedInside = ended;  // nothing exits from inside the batch
    });
    w->Command3->click();
    QElapsedTimer clock;
    clock.start();
    while (w->Command3->text() != "立刻开始转换！" && clock.elapsed() < 30000)
        QCoreApplication::processEvents();

    if (*row.question) {
        ASSERT_EQ(dialogs.questions.size(), 1u);
        EXPECT_EQ(dialogs.questions[0].text, row.question);
        EXPECT_EQ(faceDuringQuestion, "停止转换");
    } else {  // no window is left to ask with
        EXPECT_TRUE(dialogs.questions.empty());
    }
    EXPECT_EQ(endedInside, 0);
    EXPECT_EQ(w->lblPB->text(), row.caption);
    EXPECT_TRUE(w->Command3->isEnabled());
    EXPECT_TRUE(w->CmdToolsBar[0]->isEnabled());
    EXPECT_EQ(ended, row.ended);
    EXPECT_EQ(QFile::exists(appPath("setup.ini")), row.setupWritten);
    if (row.yes) {  // the current file, or the next, heads what is left
        EXPECT_GE(w->LV->topLevelItemCount(), 2);
        EXPECT_EQ(w->lstFile->count(), w->LV->topLevelItemCount());
        EXPECT_TRUE(opened.empty());
        EXPECT_TRUE(played.empty());
    } else {
        EXPECT_EQ(w->LV->topLevelItemCount(), 0);
    }
}

const char* const kStopQuestion = "确定要停止转换吗？";
const char* const kExitQuestion = "正在转换，确定要停止转换并退出吗？";

INSTANTIATE_TEST_SUITE_P(
    Cases, frmMainInterrupt,
    ::testing::Values(
        InterruptRow{"StopYes", [](frmMain& w) { w.Command3->click(); }, kStopQuestion, true,
                     "已停止。", 0, false},
        InterruptRow{"StopNo", [](frmMain& w) { w.Command3->click(); }, kStopQuestion, false,
                     "Done.", 0, false},
        InterruptRow{"CloseYes", [](frmMain& w) { w.close(); }, kExitQuestion, true, "已停止。",
                     1, false},
        InterruptRow{"CloseNo", [](frmMain& w) { w.close(); }, kExitQuestion, false, "Done.", 0,
                     false},
        InterruptRow{"ExitButtonYes", [](frmMain& w) { w.imgExit_Click(); }, kExitQuestion, true,
                     "已停止。", 1, true},
        InterruptRow{"WindowLost", [](frmMain& w) { w.windowLost(); }, "", true, "已停止。", 1,
                     false},
        // SIGTERM or SIGHUP: as an exit the user confirmed, saved.
        InterruptRow{"Terminated", [](frmMain& w) { w.terminationRequested(); }, "", true,
                     "已停止。", 1, true}),
    [](const ::testing::TestParamInfo<InterruptRow>& info) { return std::string(info.param.name); });

// A question left open does not hold the batch up; a Yes given after the
// file was converted neither reports it stopped nor converts it again.
TEST_F(frmMainTest, QuestionAnsweredAfterTheBatchEndedDoublesNothing) {
    QDir(m_app.path()).mkpath("data");
    writeEncoder(appPath(QString("data/") + platform::kConvExe));
    const std::function<void(frmMain&)> acts[] = {[](frmMain& w) { w.Command3->click(); },
                                                  [](frmMain& w) { w.close(); }};
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        auto w = load();
        w->cmbOF->setCurrentIndex(2);
        emit w->cmbOF->activated(2);
        const QString out = tmpPath(QString("out%1").arg(row));
        w->txtPath->setText(out);
        dropFiles(*w, {tmpPath("a.flv")});
        dialogs.holdQuestions = true;
        QTimer::singleShot(150, w.get(), [&] { acts[row](*w); });
        w->Command3->click();
        QElapsedTimer clock;
        clock.start();
        while (w->lblPB->text() != "Done." && clock.elapsed() < 30000)
            QCoreApplication::processEvents();
        ASSERT_TRUE(dialogs.held);  // still open
        dialogs.answerHeld(true);
        EXPECT_EQ(w->lblPB->text(), "Done.");
        EXPECT_EQ(w->LV->topLevelItemCount(), 0);
        EXPECT_EQ(QDir(out).entryList({"*.mpg"}, QDir::Files).size(), 1);
        EXPECT_EQ(ended, row);  // the exit, once asked for, still comes
    }
}

TEST_F(frmMainTest, OnlyALiveInstanceHoldsTheLock) {
    const QString lock = tmpPath("tessaro.lock");
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QByteArray stale[] = {"", "\x01garbage\n\xff", self + "\nTessaro\nanother-host\n",
                                "999999999\nTessaro\n" + host + "\n"};
    for (const QByteArray& content : stale) {
        SCOPED_TRACE(content.toStdString());
        QFile file(lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        SingleInstance instance;
        EXPECT_TRUE(instance.acquire());
    }
    SingleInstance first, second;
    ASSERT_TRUE(first.acquire());
    EXPECT_FALSE(second.acquire());
}

TEST_F(frmMainTest, HoverStatesLastUntilThePointerCrossesTheBackground) {
    using test::centreOf;
    using test::moveTo;
    auto w = load();
    const QPoint background(600, 40);  // right of the button row, above the panel
    ASSERT_EQ(w->childAt(background), nullptr);

    // Leaving imgExit straight out of the window keeps it hovered.
    moveTo(w.get(), centreOf(w->imgExit));
    EXPECT_TRUE(w->imgExit->isHovered());
    EXPECT_EQ(w->imgExit->pixmap().size(), QSize(14, 13));
    moveTo(w.get(), background);
    EXPECT_FALSE(w->imgExit->isHovered());

    // Help, across the strip of background between them, to Min.
    moveTo(w.get(), centreOf(w->imgHelp));
    EXPECT_TRUE(w->imgHelp->isHovered());
    moveTo(w.get(), {651, 12});
    moveTo(w.get(), centreOf(w->imgMin));
    EXPECT_FALSE(w->imgHelp->isHovered());
    EXPECT_TRUE(w->imgMin->isHovered());

    // A caption label of the panel resets nothing.
    moveTo(w.get(), centreOf(w->findChild<QLabel*>("lblVB")));
    EXPECT_TRUE(w->imgMin->isHovered());

    moveTo(w.get(), centreOf(w->lblFeed));
    EXPECT_TRUE(w->lblFeed->font().bold());
    moveTo(w.get(), background);
    EXPECT_FALSE(w->lblFeed->font().bold());
    EXPECT_FALSE(w->imgMin->isHovered());

    // During a batch lblFeed is disabled: no bold, and the image buttons
    // keep their hover.
    w->setControlsEnabled(false);
    moveTo(w.get(), centreOf(w->lblFeed));
    EXPECT_FALSE(w->lblFeed->font().bold());
    moveTo(w.get(), centreOf(w->imgHelp));
    EXPECT_TRUE(w->imgHelp->isHovered());
    w->setControlsEnabled(true);
}

TEST_F(frmMainTest, HelpAndMinimiseClicksResetTheirButtons) {
    using test::centreOf;
    auto w = load();
    writeAppFile(platform::kHelpFile, "<html></html>");
    for (ImageButton* button : {w->imgHelp, w->imgMin}) {
        test::moveTo(w.get(), centreOf(button));
        ASSERT_TRUE(button->isHovered());
        test::pressAt(w.get(), centreOf(button));
        test::releaseAt(w.get(), centreOf(button));
        EXPECT_FALSE(button->isHovered()) << button->objectName().toStdString();
    }
    EXPECT_EQ(opened.size(), 1u);  // the help page
    EXPECT_TRUE(w->isMinimized());
}

TEST_F(frmMainTest, TheHandPointsOnlyOverTheButtonsAndLinks) {
    auto w = load();
    for (QWidget* control : std::initializer_list<QWidget*>{w->imgHelp, w->imgMin, w->imgExit,
                                                            w->lblWeb, w->lblFeed}) {
        EXPECT_EQ(control->cursor().shape(), Qt::BitmapCursor) << control->objectName().toStdString();
        EXPECT_EQ(control->cursor().hotSpot(), QPoint(6, 0));
    }
    for (QWidget* control : std::initializer_list<QWidget*>{w.get(), w->cmdBrowse, w->Command3, w->LV,
                                                            w->CmdToolsBar[0]})
        EXPECT_NE(control->cursor().shape(), Qt::BitmapCursor) << control->objectName().toStdString();
}

TEST_F(frmMainTest, DraggingTheBackgroundMovesTheWindowButNotACaption) {
    auto w = load();
    const QPoint start = w->pos();
    const QPoint caption = test::centreOf(w->findChild<QLabel*>("lblOF"));
    test::pressAt(w.get(), caption);
    test::moveTo(w.get(), caption + QPoint(30, 20), Qt::LeftButton);
    test::releaseAt(w.get(), caption + QPoint(30, 20));
    EXPECT_EQ(w->pos(), start);

    // A plain move over the background does not move it either.
    const QPoint background(600, 40);
    test::moveTo(w.get(), background + QPoint(5, 5));
    EXPECT_EQ(w->pos(), start);
    test::pressAt(w.get(), background);
    test::moveTo(w.get(), background + QPoint(30, 20), Qt::LeftButton);
    test::releaseAt(w.get(), background + QPoint(30, 20));
    EXPECT_EQ(w->pos(), start + QPoint(30, 20));
}

}  // namespace
}  // namespace tessaro
