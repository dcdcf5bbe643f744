#pragma once
// The options dialog "选项设置": the completion sound, the files converted at
// once, whether failed files stay in the list, what follows a batch, and
// the cutter switch with its time range. Modal; each opening loads
// from the options and the dialog is discarded when it closes.
//
// The seven cutter controls (chkMC and the six time fields) are built, loaded,
// enabled, checked and stored, but not shown: they change no conversion and
// would not fit the dialog. Their confirm checks still run.
//
// `boxes` may be null: the warnings are then real QMessageBox warnings.

#include <QDialog>
#include <string>

#include "settings/OptionsFile.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tessaro {

class MessageBoxes;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    // `options` is the program's options, edited in place on confirm;
    // `optionsPath` is the file written then.
    frmOptions(Options& options, std::string optionsPath, MessageBoxes* boxes = nullptr,
               QWidget* parent = nullptr);

    // The designed controls, for the window's tests.
    QLabel* Label1() const { return m_Label1; }
    QComboBox* cmbSR() const { return m_cmbSR; }
    QLabel* lblJobs() const { return m_lblJobs; }
    QSpinBox* spnJobs() const { return m_spnJobs; }
    QCheckBox* chkKeepFailed() const { return m_chkKeepFailed; }
    QCheckBox* chkMC() const { return m_chkMC; }
    QPushButton* Command1() const { return m_Command1; }
    QPushButton* Command2() const { return m_Command2; }
    QLineEdit* txtFromH() const { return m_txtFromH; }
    QLineEdit* txtFromM() const { return m_txtFromM; }
    QLineEdit* txtFromS() const { return m_txtFromS; }
    QLineEdit* txtToH() const { return m_txtToH; }
    QLineEdit* txtToM() const { return m_txtToM; }
    QLineEdit* txtToS() const { return m_txtToS; }
    // What follows a batch: 无操作, 退出 Tessaro, 睡眠, 关机 (Options::AfterBatch).
    QLabel* lblAfterBatch() const { return m_lblAfterBatch; }
    QComboBox* cmbAfterBatch() const { return m_cmbAfterBatch; }

private:
    void loadFromOptions();
    // 批处理结束后： and its list from `top` down, under the files converted at once.
    void buildAfterBatchChoice(int top);
    void chkMC_Click();
    void Command1_Click();
    QLineEdit* fieldFor(CutterField field) const;
    CutterFields cutterFields() const;
    void setTimeFieldsEnabled(bool enabled);

    Options& m_options;
    std::string m_optionsPath;
    MessageBoxes* m_boxes;

    QLabel* m_Label1;
    QComboBox* m_cmbSR;
    QLabel* m_lblJobs;
    QSpinBox* m_spnJobs;
    QCheckBox* m_chkKeepFailed;
    QLabel* m_lblAfterBatch = nullptr;
    QComboBox* m_cmbAfterBatch = nullptr;
    QCheckBox* m_chkMC;
    QPushButton* m_Command1;
    QPushButton* m_Command2;
    QLineEdit* m_txtFromH;
    QLineEdit* m_txtFromM;
    QLineEdit* m_txtFromS;
    QLineEdit* m_txtToH;
    QLineEdit* m_txtToM;
    QLineEdit* m_txtToS;
};

}  // namespace tessaro
