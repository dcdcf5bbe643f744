// frmMain: command routing, the queue commands and the drops.

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <utility>

#include "base/Platform.h"
#include "engine/ConversionDriver.h"
#include "feedback/frmSuggest.h"
#include "settings/frmOptions.h"
#include "shell/CCommonDialogs.h"
#include "shell/frmMain.h"
#include "shell/frmMenu.h"
#include "widgets/ClickLabel.h"
#include "widgets/ImageButton.h"
#include "widgets/LinkLabel.h"
#include "widgets/Site.h"

namespace tessaro {
namespace {

// A drop of thousands of files lets the window breathe every so often.
constexpr int kDropPumpEvery = 200;

}  // namespace

void frmMain::connectCommands() {
    for (int i = 0; i < int(CmdToolsBar.size()); ++i)
        if (CmdToolsBar[size_t(i)])
            connect(CmdToolsBar[size_t(i)], &QToolButton::clicked, this,
                    [this, i] { CmdToolsBar_Click(i); });
    for (int i = 0; i < int(imgToolbar.size()); ++i)
        connect(imgToolbar[size_t(i)], &ClickLabel::clicked, this,
                [this, i] { imgToolbar_Click(i); });
    connect(imgAdd, &ClickLabel::clicked, this, &frmMain::imgAdd_Click);
    connect(imgRemove, &ClickLabel::clicked, this, &frmMain::imgRemove_Click);
    connect(imgStart, &ClickLabel::clicked, this, &frmMain::imgStart_Click);
    connect(imgBrowse, &ClickLabel::clicked, this, &frmMain::imgBrowse_Click);
    connect(imgHelp, &ClickLabel::clicked, this, &frmMain::imgHelp_Click);
    connect(imgMin, &ClickLabel::clicked, this, &frmMain::imgMin_Click);
    connect(imgExit, &ClickLabel::clicked, this, &frmMain::imgExit_Click);
    connect(lblWeb, &ClickLabel::clicked, this, &frmMain::lblWeb_Click);
    connect(lblFeed, &ClickLabel::clicked, this, &frmMain::lblFeed_Click);
    connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
    connect(cmdBrowse, &QPushButton::clicked, imgBrowse, &ClickLabel::clicked);
    connect(txtAction, &QLineEdit::textChanged, this, &frmMain::txtAction_Change);
    connect(cmbOF, &QComboBox::activated, this, &frmMain::cmbOF_Click);
    // RMVB's and RM's size decides which of the other fields they read.
    connect(cmbS, &QComboBox::currentTextChanged, this, &frmMain::showFieldUse);
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (!m_driver) {
            Timer1->stop();
            return;
        }
        m_driver->Timer1_Timer();  // the whole batch runs inside
        batchReturned();
    });
}

void frmMain::CmdToolsBar_Click(int index) {
    switch (index) {
    case 0: imgToolbar_Click(0); break;
    case 1: imgToolbar_Click(6); break;
    case 2: imgToolbar_Click(1); break;
    case 4: imgToolbar_Click(2); break;
    case 5: imgToolbar_Click(4); break;
    default: break;
    }
}

void frmMain::imgToolbar_Click(int index) {
    switch (index) {
    case 0: imgAdd_Click(); break;
    case 1: m_dialogs.popup(*menuForm().menuRemove, QCursor::pos()); break;
    case 2: showOptions(); break;
    case 3: imgHelp_Click(); break;
    case 4: imgExit_Click(); break;
    case 6: AddFolderToList(*this, m_list, *this); break;
    default: break;
    }
}

frmMenu& frmMain::menuForm() {
    if (!m_menu) m_menu = std::make_unique<frmMenu>(*this);
    return *m_menu;
}

void frmMain::txtAction_Change() {
    if (txtAction->text() == "RemoveSelected") imgRemove_Click();
    txtAction->setText(QString());
}

void frmMain::imgAdd_Click() {
    if (!m_dialogsWrapper) return;
    CCommonDialogs& dialogs = *m_dialogsWrapper;
    dialogs.setTitle("Open Files");
    if (!m_rememberedFolder.empty()) dialogs.setPath(m_rememberedFolder);
    dialogs.setFilter("所有格式文件(*.*)|*.*");
    if (!dialogs.ShowOpen()) return;
    const std::string fileName = dialogs.FileName();
    if (!fileName.empty()) {
        m_rememberedFolder = ParsePath(fileName);
        m_list.append(fileName, InputList::Source::Dialog);
    }
    m_list.updateHint();
}

void frmMain::imgRemove_Click() {
    const QList<QTreeWidgetItem*> selected = LV->selectedItems();
    const int row = selected.isEmpty() ? 0 : LV->indexOfTopLevelItem(selected.first()) + 1;
    m_list.removeSelected(row);
}

void frmMain::removeAll() { m_list.removeAll(); }

void frmMain::imgStart_Click() {
    if (!m_driver) return;
    // The files the last batch failed are tried again with the others.
    if (!m_driver->running()) m_list.retryFailed();
    m_driver->Start();
}

void frmMain::Command3_Click() {
    if (!m_driver || !m_driver->running()) {
        emit imgStart->clicked();
        return;
    }
    if (m_stopAsked) return;  // stopping already
    ask("确定要停止转换吗？", "停止转换", [this] {
        // The batch may have ended while the question was up.
        if (m_driver->running() && !m_stopAsked) requestStop();
    });
}

void frmMain::ask(const char* text, const char* title, std::function<void()> onYes) {
    if (m_questionOpen) return;
    m_questionOpen = true;
    m_dialogs.ask(this, text, title, [this, onYes = std::move(onYes)](bool yes) {
        m_questionOpen = false;
        if (yes && !m_unloading) onYes();
    });
}

void frmMain::requestStop() {
    m_stopAsked = true;
    Command3->setEnabled(false);  // taken: the batch ends as soon as it can
    m_driver->Stop();
}

bool frmMain::readyToExit(PendingExit kind) {
    if (!m_driver || !m_driver->running()) return true;
    if (m_pendingExit != PendingExit::None) return false;  // leaving already
    if (m_stopAsked) {
        m_pendingExit = kind;  // stopping already: leave once it has
        return false;
    }
    ask("正在转换，确定要停止转换并退出吗？", "退出程序", [this, kind] {
        if (m_pendingExit == PendingExit::None) stopThenLeave(kind);
    });
    return false;
}

void frmMain::stopThenLeave(PendingExit kind) {
    if (!m_driver || !m_driver->running()) return leave(kind);
    // Never leave from inside the batch: stop it and leave once it has
    // unwound (batchReturned).
    m_pendingExit = kind;
    if (!m_stopAsked) requestStop();
}

void frmMain::leave(PendingExit kind) {
    if (kind == PendingExit::Command) imgExit_Click();
    if (kind == PendingExit::Close) Form_Unload();
}

void frmMain::batchReturned() {
    if (m_driver && m_driver->running()) return;
    m_stopAsked = false;
    leave(std::exchange(m_pendingExit, PendingExit::None));
}

void frmMain::terminationRequested() {
    if (m_unloading) return;
    // No one may be there to answer: whatever is open is cancelled, so that
    // nothing waits on it (a question left open answers No).
    m_dismissingDialogs = true;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
            dialog->reject();
    m_dismissingDialogs = false;
    stopThenLeave(PendingExit::Command);  // saved, as a confirmed exit is
}

void frmMain::imgBrowse_Click() {
    if (m_folderChooserOpen) return;
    m_folderChooserOpen = true;
    // Not modal in the nested sense: a running batch goes on meanwhile.
    m_dialogs.chooseFolderLater(this, "请选择一个文件夹:", [this](std::optional<QString> folder) {
        m_folderChooserOpen = false;
        if (m_dismissingDialogs || m_unloading) return;  // closed on the way out: no answer
        txtPath->setText(
            folder && !folder->isEmpty() ? *folder : QString::fromStdString(defaultOutputFolder()));
    });
}

void frmMain::imgHelp_Click() {
    // A missing help file shows nothing.
    const QString help = QString::fromStdString(platform::applicationFile(platform::kHelpFile));
    if (QFileInfo::exists(help) && openUrl) openUrl(QUrl::fromLocalFile(help));
    imgHelp->setHovered(false);
}

void frmMain::imgMin_Click() {
    showMinimized();
    imgMin->setHovered(false);  // the restored window shows it normal
}

void frmMain::imgExit_Click() {
    if (!readyToExit(PendingExit::Command)) return;
    readPanel();
    if (platform::prepareSettingsFolder())
        writeSetupFile(platform::settingsFile(platform::kSetupFile), setupValues(panel()));
    close();
    Form_Unload();  // close() of a window that is not shown raises no close event
}

void frmMain::showOptions() {
    platform::prepareSettingsFolder();  // the dialog writes options.ini there on confirm
    frmOptions dialog(m_options, platform::settingsFile(platform::kOptionsFile), this, this);
    m_dialogs.showModal(dialog);
    if (m_driver) {
        m_driver->setSoundReminder(m_options.intSoundReminder);
        m_driver->setJobs(m_options.jobs);
    }
}

void frmMain::lblWeb_Click() {
    if (openUrl) openUrl(QUrl(kMakerSite));
}

void frmMain::lblFeed_Click() {
    if (!lblFeed->isEnabled()) return;
    frmSuggest form(this);
    m_dialogs.showModal(form);
}

void frmMain::dropData(const QMimeData& data) {
    if (!data.hasUrls()) return;
    int appended = 0;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) continue;
        QString path = url.toLocalFile();
        if (path.size() > 1 && path.endsWith('/')) path.chop(1);
        m_list.append(QDir::toNativeSeparators(path).toStdString(), InputList::Source::Drop);
        if (++appended % kDropPumpEvery == 0) QCoreApplication::processEvents();
    }
    if (m_list.count() > 0) {
        QCoreApplication::processEvents();
        m_list.setHintVisible(false);
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LV->viewport() || watched == picText) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (drop->mimeData()) dropData(*drop->mimeData());
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tessaro
