#pragma once
// The main window: owns the queue, the settings panel, the progress display,
// the dialogs wrapper and the batch, and routes the user's commands. Control
// members carry their designed names (they are also the object names).

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "engine/BatchHost.h"
#include "input/FileSearch.h"
#include "input/InputList.h"
#include "present/ProgressView.h"
#include "settings/ComboValue.h"
#include "settings/OptionsFile.h"
#include "settings/SetupFile.h"
#include "shell/DialogBackend.h"
#include "widgets/Scaling.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace tessaro {

class AfterBatchCountdown;
class CCommonDialogs;
class BackgroundHandler;
class ClickLabel;
class ConversionDriver;
class ImageButton;
class LinkLabel;
class SingleInstance;
class frmMenu;

class frmMain : public QWidget, public BatchHost, public FolderScanHost {
    Q_OBJECT
public:
    explicit frmMain(DialogBackend& dialogs = qtDialogBackend(), QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up sequence, each step guarded. False when another instance
    // holds `instance` (nothing may be shown then); null skips the check.
    bool Form_Load(SingleInstance* instance);

    // Commands: the Click handlers of the image buttons and their routes.
    void CmdToolsBar_Click(int index);  // elements 0, 1, 2, 4, 5
    void imgToolbar_Click(int index);   // toolbar index table
    void imgAdd_Click();
    void imgRemove_Click();
    void imgStart_Click();
    // Command3: Start when idle; during a batch it reads "停止转换" and asks
    // "确定要停止转换吗？" before stopping the batch. The question does not
    // hold the batch up: files go on converting while it is open.
    void Command3_Click();
    // 浏览: the folder chooser, open while a batch goes on; its choice (or
    // the default folder on cancel) goes into txtPath.
    void imgBrowse_Click();
    void imgHelp_Click();
    void imgMin_Click();
    // Writes setup.ini, then unloads. During a batch it first asks whether to
    // stop; Yes stops the batch and exits once the batch has ended.
    void imgExit_Click();
    // The native window has gone without a close (destroyed from outside):
    // the process ends, after stopping a running batch.
    void windowLost();
    // A request from outside to end (SIGTERM, SIGHUP at a logout): as an
    // exit the user confirmed, with no question. Open dialogs are closed, a
    // running batch is stopped, setup.ini is written and the window unloads.
    void terminationRequested();
    void lblWeb_Click();
    void lblFeed_Click();
    void showOptions();  // toolbar index 2: frmOptions, modal
    void removeAll();    // menuRemoveAll

    // Appends the local files of dropped data (anything else adds nothing).
    void dropData(const QMimeData& data);
    // Files and folders from the command line or a second start (absolute
    // paths): files are appended as dropped ones, folders searched as the
    // folder command searches them; then the window comes to the front.
    void openPaths(const QStringList& paths);

    // The popup menu form, created on first use.
    frmMenu& menuForm();
    InputList& inputList() { return m_list; }
    CCommonDialogs& commonDialogs() { return *m_dialogsWrapper; }
    ConversionDriver* driver() { return m_driver.get(); }
    const Options& options() const { return m_options; }
    std::string defaultOutputFolder() const;
    // The design layout (pixels at 96 dpi) and applying it for a display.
    WindowLayout designLayout() const;
    void applyLayout(const WindowLayout& layout);

    // The countdown before sleep or power-off at the end of a batch, while
    // it is shown (the option 批处理结束后：).
    AfterBatchCountdown* afterBatchCountdown() const;

    // Outside effects, replaceable by tests.
    std::function<void(const QUrl&)> openUrl;              // openWithSystem
    std::function<void(const std::string& wav)> playWave;  // returns at once, beep when missing
    std::function<void()> endProcess;                      // ends at once, no waiting
    // Whether Form_Load restores the kept queue and later changes are saved
    // (off for a window that shows made-up files, such as a preview).
    bool keepQueue = true;

    // BatchHost. During a batch a message box holds nothing up: the running
    // files go on while it is open, and the same message is not shown again
    // while it is.
    void showMessage(const std::string& text, MessageIcon icon, const std::string& title) override;
    void showListMessage(const std::string& text, const std::string& list, MessageIcon icon,
                         const std::string& title) override;
    void processEvents() override;
    int queueCount() const override;
    std::string queueEntry(int index) const override;
    void removeQueueEntry(int index) override;
    // With the option on, a failed file stays as a row marked failed (its
    // reason the row's tooltip) and the next Start queues it again; off, it
    // leaves the list.
    void failQueueEntry(int index, const std::string& reason) override;
    int formatIndex() const override;
    ParameterTexts parameters() const override;
    std::string outputFolderText() const override;
    void setOutputFolderText(const std::string& text) override;
    void setControlsEnabled(bool enabled) override;
    void setTimer1Enabled(bool enabled) override;
    void showStatus(const BatchStatus& status) override;
    void openFolder(const std::string& folder) override;
    void playSound(const std::string& wavFile) override;

    // The file being converted, the last one started when several are, in
    // the title; one at a time, its row (the head) is marked. Empty when the
    // batch is over: no row stays marked.
    virtual void showCurrentFile(const std::string& path);
    // The mark of queue entry `index`: its own progress ("42%") beside its
    // tag, bold with a play mark; "" takes it away.
    void showFileProgress(int index, const std::string& text);

    // The kept queue (queue.txt beside setup.ini): written shortly after
    // every change of the list, and at once by saveQueue() and the unload.
    void saveQueue();

    // FolderScanHost
    bool chooseFolder(const std::string& title, std::string& folder) override;
    void showHint(const std::string& caption) override;

    // Visible controls.
    std::array<QToolButton*, 6> CmdToolsBar{};  // element 3 does not exist
    ImageButton* imgHelp = nullptr;
    ImageButton* imgMin = nullptr;
    ImageButton* imgExit = nullptr;
    QTreeWidget* LV = nullptr;
    QFrame* picText = nullptr;
    QLabel* lblText = nullptr;
    QComboBox* cmbOF = nullptr;
    QComboBox* cmbVB = nullptr;
    QComboBox* cmbF = nullptr;
    QComboBox* cmbS = nullptr;
    QComboBox* cmbR = nullptr;
    QComboBox* cmbBR = nullptr;
    QComboBox* cmbChannel = nullptr;
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* lblPB = nullptr;
    QProgressBar* pb = nullptr;
    LinkLabel* lblWeb = nullptr;
    LinkLabel* lblFeed = nullptr;
    // Controls outside the client area.
    QLineEdit* txtAction = nullptr;
    QListWidget* lstFile = nullptr;
    QListWidget* lstAddFolder = nullptr;
    QTimer* Timer1 = nullptr;
    QLabel* imgPB = nullptr;
    ClickLabel* imgAdd = nullptr;
    ClickLabel* imgRemove = nullptr;
    ClickLabel* imgStart = nullptr;
    ClickLabel* imgBrowse = nullptr;
    std::array<ClickLabel*, 7> imgToolbar{};
    // Resets the hover states and drags the window by its background.
    BackgroundHandler* background = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Bold with a play mark: the row's file is being converted.
    void markRunning(QTreeWidgetItem* item, bool running);
    void buildLayout();
    void connectCommands();
    QLabel* addCaption(const char* name, const QString& text, int left, int top, int width);
    void registerControl(QWidget* widget, bool hasFont = true);

    // The panel's combo values mirror the combo boxes around every rule
    // that works on the panel (format defaults, restore, save).
    void readPanel();
    void showPanel();
    SettingsPanel panel();
    void cmbOF_Click();
    // Enables the parameter fields that the chosen format's commands read
    // (all disabled during a batch) and tells on the others what the output
    // has instead.
    void showFieldUse();
    void txtAction_Change();
    void syncListView();
    // Row `row` (from 0) as its state shows: its tag, "失败" after it and
    // the reason as tooltip when a batch failed it, and `progress`.
    void markRow(int row, const std::string& progress);
    // The kept queue: read once at start-up, before any file is added;
    // from then on each change of the list schedules a save.
    void restoreQueue();
    void queueChanged();
    void fitProgressCaption();
    void setProgressBarWidth(double twips);  // imgPB, 5415 twips full
    void Form_Unload();
    // Asks the running batch to stop, once; Command3 waits disabled for its end.
    void requestStop();
    // Shows the start or the stop face of Command3.
    void setCommand3Stopping(bool stopping);
    enum class PendingExit { None, Command, Close };
    // False when the exit must wait: a batch runs, and the question whether
    // to stop it is asked (a Yes stops it and the exit follows the batch's
    // end, or comes at once when the batch has ended meanwhile).
    bool readyToExit(PendingExit kind);
    // Asks a Yes/No question without holding up a running batch; onYes runs
    // when Yes is answered. One question at a time.
    void ask(const char* text, const char* title, std::function<void()> onYes);
    // Carries out an exit of this kind now (no batch runs).
    void leave(PendingExit kind);
    // Leaves now, or stops the running batch and leaves once it has ended.
    void stopThenLeave(PendingExit kind);
    // Called when Timer1's tick returns: carries out an exit that waited.
    void batchReturned();
    void runStep(const std::function<void()>& step);
    // What follows a batch by Options::afterBatch, once the status has said
    // it ended and at least one file of it converted.
    void noteBatchPhase(BatchPhase phase);
    void runAfterBatch();
    // Asks the system for the countdown's action; a refusal is shown.
    void askSystemAfterBatch(Options::AfterBatch action);

    DialogBackend& m_dialogs;
    std::unique_ptr<CCommonDialogs> m_dialogsWrapper;
    std::unique_ptr<ConversionDriver> m_driver;
    ProgressView m_progressView;
    std::unique_ptr<frmMenu> m_menu;
    InputList m_list;
    Options m_options;
    std::string m_rememberedFolder;  // folder of the last file of Add file
    ComboValue m_cmbOF, m_cmbVB, m_cmbF, m_cmbS, m_cmbR, m_cmbBR, m_cmbChannel;
    std::string m_txtPath;
    std::vector<QWidget*> m_controls;  // in the window's own order
    QRect m_lblPBRect;                 // lblPB as laid out; its text grows from the centre
    bool m_unloading = false;
    bool m_stopAsked = false;  // the user agreed to stop the running batch
    bool m_questionOpen = false;
    bool m_folderChooserOpen = false;
    bool m_dismissingDialogs = false;  // the way out closes what is open: no answers
    QStringList m_openMessages;        // boxes shown during a batch, still open
    PendingExit m_pendingExit = PendingExit::None;
    QTimer* m_queueSaveTimer = nullptr;
    bool m_queueKept = false;      // restored: changes are saved from now on
    bool m_batchUnderway = false;  // the last status said a batch was running
    QPointer<AfterBatchCountdown> m_countdown;
};

}  // namespace tessaro
