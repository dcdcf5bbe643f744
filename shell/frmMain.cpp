// frmMain: start-up, the settings panel, the host side of the batch, unload.

#include "shell/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/Platform.h"
#include "engine/Commands.h"
#include "engine/ConversionDriver.h"
#include "formats/FormatCatalogue.h"
#include "shell/AfterBatchCountdown.h"
#include "shell/CCommonDialogs.h"
#include "shell/SingleInstance.h"
#include "shell/SystemOpener.h"
#include "shell/ToolIcons.h"
#include "shell/WavePlayer.h"
#include "shell/frmMenu.h"
#include "widgets/FormScaling.h"
#include "widgets/LinkLabel.h"
#include "widgets/Skin.h"

namespace tessaro {
namespace {

// How often the unload tries to delete a leftover that will not go away.
constexpr int kDeleteRetries = 50;

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The list position of a combo box: its current entry while the text still
// spells it, else -1 (a typed text).
int comboPosition(const QComboBox* box) {
    const int index = box->currentIndex();
    return index >= 0 && box->itemText(index) == box->currentText() ? index : -1;
}

// Reads a combo box as the panel sees it: a picked entry, or a typed text.
void readCombo(const QComboBox* box, ComboValue& value) {
    const int position = comboPosition(box);
    if (position >= 0)
        value.setPosition(position);
    else
        value.setText(box->currentText().toStdString());
}

// True when the box lists exactly these entries.
bool listsEntries(const QComboBox* box, const std::vector<std::string>& list) {
    if (box->count() != int(list.size())) return false;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i) != qs(list[size_t(i)])) return false;
    return true;
}

// Shows a panel value in its box: the value's list (a format brings its own),
// then its entry or its text.
void showCombo(QComboBox* box, const ComboValue& value) {
    const QSignalBlocker blocker(box);
    if (!listsEntries(box, value.list())) {
        QStringList entries;
        for (const std::string& entry : value.list()) entries << qs(entry);
        box->clear();
        box->addItems(entries);
    }
    box->setCurrentIndex(value.position());
    if (value.position() < 0 && box->isEditable()) box->setEditText(qs(value.text()));
}

}  // namespace

frmMain::frmMain(DialogBackend& dialogs, QWidget* parent)
    : QWidget(parent),
      m_dialogs(dialogs),
      m_cmbOF(formatList()),
      m_cmbVB(videoBitrateList()),
      m_cmbF(frameRateList()),
      m_cmbS(videoSizeList()),
      m_cmbR(sampleRateList()),
      m_cmbBR(audioBitrateList()),
      m_cmbChannel(channelList()) {
    openUrl = [](const QUrl& url) { openWithSystem(url); };
    playWave = playWaveFile;
    endProcess = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    buildLayout();
    connectCommands();
    m_list.changed = [this] {
        syncListView();
        queueChanged();
    };
    m_list.rowChanged = [this](int row) {
        markRow(row, {});
        queueChanged();
    };
    m_list.hintVisibilityChanged = [this](bool visible) { picText->setVisible(visible); };
}

frmMain::~frmMain() {
    if (m_queueSaveTimer && m_queueSaveTimer->isActive()) saveQueue();
    // The boxes and choosers left open answer into this window: they go first.
    for (QDialog* dialog : findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        if (dialog->testAttribute(Qt::WA_DeleteOnClose)) delete dialog;
    delete m_countdown;  // a window of its own, on top even of a minimised one
}

void frmMain::runStep(const std::function<void()>& step) {
    try {
        step();
    } catch (...) {
        // A failing start-up step is skipped; the next one runs.
    }
}

bool frmMain::Form_Load(SingleInstance* instance) {
    if (instance && !instance->acquire()) return false;
    runStep([this] {
        SkinH_Attach();
        SkinH_Aero(this);
        SkinH_Aero_Adjust(220, 0, 0, 0, 0, 0, 0, 0, 0);
    });
    runStep([this] {
        m_dialogsWrapper = std::make_unique<CCommonDialogs>(m_dialogs);
        m_dialogsWrapper->Init(this);
    });
    runStep([] { QCoreApplication::processEvents(); });  // strSpinner starts at "-" in the driver
    runStep([this] { setProgressBarWidth(0); });
    runStep([this] { m_driver = std::make_unique<ConversionDriver>(*this); });
    runStep([this] {
        readPanel();
        m_cmbBR.setPosition(7);
        m_cmbR.setPosition(1);
        m_cmbChannel.setPosition(1);
        m_cmbOF.setPosition(0);
        SettingsPanel fields = panel();
        applyFormatDefaults(fields);
        showPanel();
    });
    runStep([this] { txtPath->setText(qs(defaultOutputFolder())); });
    runStep([this] {
        const std::optional<SetupFields> fields =
            readSetupFile(platform::settingsFile(platform::kSetupFile));
        if (!fields) return;
        readPanel();
        SettingsPanel target = panel();
        restoreSetup(*fields, target, defaultOutputFolder());
        showPanel();
    });
    runStep([this] {
        if (txtPath->text().isEmpty()) txtPath->setText(qs(defaultOutputFolder()));
    });
    // What ended processes left in the temporary folder and in the output
    // folder about to be used.
    runStep(
        [this] { platform::removeLeftovers(windowOutputFolder(txtPath->text().toStdString())); });
    runStep([this] {
        setWindowTitle("Tessaro");
        lblWeb->setText("Tessaro");
    });
    runStep([this] {
        readOptionsFile(platform::settingsFile(platform::kOptionsFile), m_options);
        if (m_driver) {
            m_driver->setSoundReminder(m_options.intSoundReminder);
            m_driver->setJobs(m_options.jobs);
        }
    });
    runStep([this] { restoreQueue(); });
    runStep([this] {
        const ScreenDpi dpi = screenDpi(*this);
        applyLayout(scaleLayout(designLayout(), twipsPerPixel(dpi.x), twipsPerPixel(dpi.y)));
    });
    return true;
}

std::string frmMain::defaultOutputFolder() const { return platform::defaultOutputFolder(); }

SettingsPanel frmMain::panel() {
    return {&m_cmbOF, &m_cmbVB, &m_cmbF, &m_cmbS, &m_cmbR, &m_cmbBR, &m_cmbChannel, &m_txtPath};
}

void frmMain::readPanel() {
    readCombo(cmbOF, m_cmbOF);
    readCombo(cmbVB, m_cmbVB);
    readCombo(cmbF, m_cmbF);
    readCombo(cmbS, m_cmbS);
    readCombo(cmbR, m_cmbR);
    readCombo(cmbBR, m_cmbBR);
    readCombo(cmbChannel, m_cmbChannel);
    m_txtPath = txtPath->text().toStdString();
}

void frmMain::showPanel() {
    showCombo(cmbOF, m_cmbOF);
    showCombo(cmbVB, m_cmbVB);
    showCombo(cmbF, m_cmbF);
    showCombo(cmbS, m_cmbS);
    showCombo(cmbR, m_cmbR);
    showCombo(cmbBR, m_cmbBR);
    showCombo(cmbChannel, m_cmbChannel);
    txtPath->setText(qs(m_txtPath));
    showFieldUse();
}

void frmMain::showFieldUse() {
    const bool idle = cmbOF->isEnabledTo(this);  // Start disables it for the batch
    const int format = cmbOF->currentIndex();
    const std::string size = cmbS->currentText().toStdString();
    const std::pair<QComboBox*, Field> fields[] = {
        {cmbVB, Field::VideoBitrate}, {cmbF, Field::FrameRate},     {cmbS, Field::VideoSize},
        {cmbR, Field::SampleRate},    {cmbBR, Field::AudioBitrate}, {cmbChannel, Field::Channels}};
    for (const auto& [box, field] : fields) {
        const FieldUse use = fieldUse(format, size, field);
        box->setEnabled(idle && use.read);
        box->setToolTip(use.read
                            ? box->property("tessaroToolTip").toString()
                            : QString(use.onlyAtSourceSize ? "视频尺寸为原始大小时" : "此格式") +
                                  "不使用此项，输出为" +
                                  QString::fromUtf8(use.kept.data(), qsizetype(use.kept.size())));
    }
}

void frmMain::cmbOF_Click() {
    readPanel();
    SettingsPanel fields = panel();
    applyFormatDefaults(fields);
    showPanel();
}

void frmMain::syncListView() {
    const std::vector<InputRow>& rows = m_list.rows();
    // Entries leave the model one at a time (head, selected row) or all at
    // once, and additions go to the end: drop what no longer pairs up, then
    // append the new tail. Both views stay parallel to the model.
    if (rows.empty()) {
        LV->clear();
        lstFile->clear();
    }
    for (int i = 0; LV->topLevelItemCount() > int(rows.size());) {
        const QTreeWidgetItem* item = LV->topLevelItem(i);
        if (i >= int(rows.size()) || item->text(0) != qs(rows[size_t(i)].path) ||
            item->data(1, Qt::UserRole).toString() != qs(rows[size_t(i)].tag)) {
            delete LV->takeTopLevelItem(i);
            delete lstFile->takeItem(i);
        } else {
            ++i;
        }
    }
    for (size_t i = size_t(LV->topLevelItemCount()); i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(LV, {qs(rows[i].path), qs(rows[i].tag)});
        item->setData(1, Qt::UserRole, qs(rows[i].tag));
        lstFile->addItem(qs(rows[i].path));
        if (rows[i].failed) markRow(int(i), {});
    }
}

// ---- BatchHost ----

void frmMain::showMessage(const std::string& text, MessageIcon icon, const std::string& title) {
    if (!m_driver || !m_driver->running())
        return m_dialogs.message(this, qs(text), icon, qs(title));
    const QString key = qs(title) + '\n' + qs(text);
    if (m_openMessages.contains(key)) return;
    m_openMessages << key;
    m_dialogs.messageLater(this, qs(text), icon, qs(title),
                           [this, key] { m_openMessages.removeOne(key); });
}

void frmMain::showListMessage(const std::string& text, const std::string& list, MessageIcon icon,
                              const std::string& title) {
    m_dialogs.listMessage(this, qs(text), qs(list), icon, qs(title));
}

void frmMain::processEvents() { QCoreApplication::processEvents(); }

int frmMain::queueCount() const { return m_list.count(); }
std::string frmMain::queueEntry(int index) const { return m_list.entry(index); }
void frmMain::removeQueueEntry(int index) {
    m_list.removeEntry(index);
    if (m_list.rowCount() == 0) m_list.setHintVisible(true);  // a removal that empties the list
}
int frmMain::formatIndex() const { return cmbOF->currentIndex(); }

ParameterTexts frmMain::parameters() const {
    ParameterTexts texts;
    texts.videoBitrate = cmbVB->currentText().toStdString();
    texts.frameRate = cmbF->currentText().toStdString();
    texts.videoSize = cmbS->currentText().toStdString();
    texts.sampleRate = cmbR->currentText().toStdString();
    texts.audioBitrate = cmbBR->currentText().toStdString();
    texts.channelPosition = comboPosition(cmbChannel);
    return texts;
}

std::string frmMain::outputFolderText() const { return txtPath->text().toStdString(); }
void frmMain::setOutputFolderText(const std::string& text) { txtPath->setText(qs(text)); }

void frmMain::setControlsEnabled(bool enabled) {
    for (QToolButton* button : CmdToolsBar)
        if (button) button->setEnabled(enabled);
    cmbOF->setEnabled(enabled);
    lblFeed->setEnabled(enabled);
    showFieldUse();
    // Command3 stays usable: during a batch it is the stop button.
    Command3->setEnabled(true);
    setCommand3Stopping(!enabled);
}

void frmMain::setCommand3Stopping(bool stopping) {
    Command3->setText(stopping ? "停止转换" : "立刻开始转换！");
    Command3->setIcon(toolIcon(stopping ? ToolIcon::Stop : ToolIcon::Start));
}

void frmMain::setTimer1Enabled(bool enabled) {
    if (enabled)
        Timer1->start();
    else
        Timer1->stop();
}

void frmMain::setProgressBarWidth(double twips) {
    imgPB->resize(int(twips / 15.0), imgPB->height());
}

void frmMain::showStatus(const BatchStatus& status) {
    const ProgressLook look = m_progressView.show(status);
    if (look.currentFile && !look.currentFile->empty()) showCurrentFile(*look.currentFile);
    for (const auto& [row, text] : look.rows) showFileProgress(row, text);
    if (look.barWidth) setProgressBarWidth(*look.barWidth);
    if (look.value) pb->setValue(int(*look.value));
    if (look.caption) {
        lblPB->setText(qs(*look.caption));
        fitProgressCaption();
    }
    if (look.currentFile && look.currentFile->empty()) showCurrentFile({});
    noteBatchPhase(status.phase);
}

void frmMain::showCurrentFile(const std::string& path) {
    setWindowTitle(path.empty() ? QString("Tessaro")
                                : QString("Tessaro - %1").arg(QFileInfo(qs(path)).fileName()));
    // One file at a time, only the head of the queue is converted; with
    // several, the rows being converted are marked by their progress.
    if (path.empty()) {  // the batch is over: no row of it stays marked
        for (int row = 0; row < LV->topLevelItemCount(); ++row) markRow(row, {});
        return;
    }
    QTreeWidgetItem* head = LV->topLevelItem(m_list.rowOfEntry(0));
    if (head && head->text(0) == qs(path)) markRunning(head, true);
}

void frmMain::showFileProgress(int index, const std::string& text) {
    markRow(m_list.rowOfEntry(index), text);
}

void frmMain::markRunning(QTreeWidgetItem* item, bool running) {
    if (item->font(0).bold() == running && item->icon(0).isNull() == !running) return;
    QFont font = item->font(0);
    font.setBold(running);
    item->setFont(0, font);
    item->setFont(1, font);
    item->setIcon(0, running ? style()->standardIcon(QStyle::SP_MediaPlay) : QIcon());
}

void frmMain::openFolder(const std::string& folder) {
    if (openUrl) openUrl(QUrl::fromLocalFile(qs(folder)));
}

void frmMain::playSound(const std::string& wavFile) {
    if (playWave) playWave(wavFile);
}

// ---- FolderScanHost ----

bool frmMain::chooseFolder(const std::string& title, std::string& folder) {
    const std::optional<QString> chosen = m_dialogs.chooseFolder(this, qs(title));
    if (!chosen) return false;
    folder = chosen->toStdString();
    return true;
}

void frmMain::showHint(const std::string& caption) {
    lblText->setText(qs(caption));
    picText->show();
    QCoreApplication::processEvents();
}

// ---- Unload ----

void frmMain::closeEvent(QCloseEvent* event) {
    if (!m_unloading && !readyToExit(PendingExit::Close)) {
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}

void frmMain::windowLost() {
    // No window is left to ask with: stop without a question.
    stopThenLeave(PendingExit::Close);
}

void frmMain::Form_Unload() {
    if (m_unloading) return;
    // Ending now would leave the driver mid-run inside the batch's nested
    // loop: stop it and unload once it has returned.
    if (m_driver && m_driver->running()) return stopThenLeave(PendingExit::Close);
    m_unloading = true;
    saveQueue();
    // Only this process's leftovers: other batches may be running.
    std::vector<std::string> leftovers{platform::temporaryFile(platform::kLeftoverWav),
                                       platform::temporaryFile(platform::kLeftoverMp3)};
    for (int slot = 0; slot < platform::kMaxJobs; ++slot)
        leftovers.push_back(platform::intermediateFile(slot));
    for (const std::string& name : leftovers) {
        const QString file = qs(name);
        for (int attempt = 0; attempt < kDeleteRetries && QFile::exists(file); ++attempt) {
            QFile::remove(file);
            QCoreApplication::processEvents();
        }
    }
    // No batch runs any more, so no encoder of this process is left.
    if (endProcess) endProcess();
}

}  // namespace tessaro
