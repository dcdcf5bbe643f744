#include "settings/frmOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include "base/MessageBoxes.h"
#include "widgets/BackgroundHandler.h"
#include "widgets/FormScaling.h"

namespace tessaro {

namespace {

QLineEdit* timeField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(QStringLiteral("0"), parent);
    field->setObjectName(QString::fromLatin1(name));
    field->hide();
    return field;
}

}  // namespace

frmOptions::frmOptions(Options& options, std::string optionsPath, MessageBoxes* boxes,
                       QWidget* parent)
    : QDialog(parent), m_options(options), m_optionsPath(std::move(optionsPath)), m_boxes(boxes) {
    setWindowTitle(QStringLiteral("选项设置"));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(305, 196);

    // Shown: the sound choice under its caption, the files converted at once
    // beside theirs, and the two buttons.
    m_Label1 = new QLabel(QStringLiteral("转换完毕声音提示"), this);
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Label1->setAlignment(Qt::AlignCenter);
    m_Label1->setGeometry(40, 6, 225, 18);

    m_cmbSR = new QComboBox(this);
    m_cmbSR->setObjectName(QStringLiteral("cmbSR"));
    m_cmbSR->addItems({QStringLiteral("ON"), QStringLiteral("OFF")});
    m_cmbSR->setGeometry(71, 26, 163, 24);

    m_lblJobs = new QLabel(QStringLiteral("同时转换文件数"), this);
    m_lblJobs->setObjectName(QStringLiteral("lblJobs"));
    m_lblJobs->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_lblJobs->setGeometry(71, 56, 100, 24);

    m_spnJobs = new QSpinBox(this);
    m_spnJobs->setObjectName(QStringLiteral("spnJobs"));
    m_spnJobs->setRange(1, platform::kMaxJobs);
    m_spnJobs->setGeometry(174, 56, 60, 24);
    m_lblJobs->setBuddy(m_spnJobs);

    m_chkKeepFailed = new QCheckBox(QStringLiteral("失败的文件留在列表中"), this);
    m_chkKeepFailed->setObjectName(QStringLiteral("chkKeepFailed"));
    m_chkKeepFailed->setGeometry(71, 84, 190, 22);
    buildAfterBatchChoice(110);

    m_Command1 = new QPushButton(QStringLiteral("确定"), this);
    m_Command1->setObjectName(QStringLiteral("Command1"));
    m_Command1->setGeometry(54, 163, 87, 27);
    m_Command1->setDefault(true);

    m_Command2 = new QPushButton(QStringLiteral("返回"), this);
    m_Command2->setObjectName(QStringLiteral("Command2"));
    m_Command2->setGeometry(164, 163, 87, 27);

    // Built but not shown: the cutter switch and its six time fields.
    m_chkMC = new QCheckBox(QStringLiteral("Music Cutter"), this);
    m_chkMC->setObjectName(QStringLiteral("chkMC"));
    m_chkMC->hide();
    m_txtFromH = timeField(this, "txtFromH");
    m_txtFromM = timeField(this, "txtFromM");
    m_txtFromS = timeField(this, "txtFromS");
    m_txtToH = timeField(this, "txtToH");
    m_txtToM = timeField(this, "txtToM");
    m_txtToS = timeField(this, "txtToS");

    setTabOrder(m_cmbSR, m_spnJobs);
    setTabOrder(m_spnJobs, m_chkKeepFailed);
    setTabOrder(m_chkKeepFailed, m_cmbAfterBatch);
    setTabOrder(m_cmbAfterBatch, m_Command1);
    setTabOrder(m_Command1, m_Command2);

    connect(m_chkMC, &QCheckBox::clicked, this, [this] { chkMC_Click(); });
    connect(m_Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(m_Command2, &QPushButton::clicked, this, &QDialog::reject);

    new BackgroundHandler(this);
    scaleFormToScreen(*this);
    loadFromOptions();
}

void frmOptions::buildAfterBatchChoice(int top) {
    m_lblAfterBatch = new QLabel(QStringLiteral("批处理结束后："), this);
    m_lblAfterBatch->setObjectName(QStringLiteral("lblAfterBatch"));
    // Laid out as the sound choice: the caption centred over the list.
    m_lblAfterBatch->setAlignment(Qt::AlignCenter);
    m_lblAfterBatch->setGeometry(40, top, 225, 18);
    m_cmbAfterBatch = new QComboBox(this);
    m_cmbAfterBatch->setObjectName(QStringLiteral("cmbAfterBatch"));
    // In the order of Options::AfterBatch.
    m_cmbAfterBatch->addItems({QStringLiteral("无操作"), QStringLiteral("退出 Tessaro"),
                               QStringLiteral("睡眠"), QStringLiteral("关机")});
    m_cmbAfterBatch->setGeometry(71, top + 20, 163, 24);
    m_lblAfterBatch->setBuddy(m_cmbAfterBatch);
}

void frmOptions::loadFromOptions() {
    // A position the list does not hold leaves it without a selection.
    const int position = m_options.intSoundReminder;
    m_cmbSR->setCurrentIndex(position >= 0 && position < m_cmbSR->count() ? position : -1);
    // The box accepts 0 and 1 only; anything else leaves it unchecked.
    m_chkMC->setChecked(m_options.intMusicCutter == 1);
    // The box holds 1..kMaxJobs and brings anything else to the nearer end.
    m_spnJobs->setValue(m_options.jobs);
    m_chkKeepFailed->setChecked(m_options.keepFailedFiles);
    m_cmbAfterBatch->setCurrentIndex(static_cast<int>(m_options.afterBatch));

    if (m_chkMC->isChecked()) {
        setTimeFieldsEnabled(true);
        std::string h, m, s;
        fillBack(m_options.lngCutFrom, h, m, s);
        m_txtFromH->setText(QString::fromStdString(h));
        m_txtFromM->setText(QString::fromStdString(m));
        m_txtFromS->setText(QString::fromStdString(s));
        fillBack(m_options.lngCutTo, h, m, s);
        m_txtToH->setText(QString::fromStdString(h));
        m_txtToM->setText(QString::fromStdString(m));
        m_txtToS->setText(QString::fromStdString(s));
    } else {
        setTimeFieldsEnabled(false);
    }
}

void frmOptions::setTimeFieldsEnabled(bool enabled) {
    for (QLineEdit* field : {m_txtFromH, m_txtFromM, m_txtFromS, m_txtToH, m_txtToM, m_txtToS})
        field->setEnabled(enabled);
}

void frmOptions::chkMC_Click() { setTimeFieldsEnabled(m_chkMC->isChecked()); }

CutterFields frmOptions::cutterFields() const {
    CutterFields f;
    f.fromH = m_txtFromH->text().toStdString();
    f.fromM = m_txtFromM->text().toStdString();
    f.fromS = m_txtFromS->text().toStdString();
    f.toH = m_txtToH->text().toStdString();
    f.toM = m_txtToM->text().toStdString();
    f.toS = m_txtToS->text().toStdString();
    return f;
}

QLineEdit* frmOptions::fieldFor(CutterField field) const {
    switch (field) {
        case CutterField::FromH:
            return m_txtFromH;
        case CutterField::FromM:
            return m_txtFromM;
        case CutterField::FromS:
            return m_txtFromS;
        case CutterField::ToH:
            return m_txtToH;
        case CutterField::ToM:
            return m_txtToM;
        case CutterField::ToS:
            return m_txtToS;
        case CutterField::None:
            break;
    }
    return nullptr;
}

void frmOptions::Command1_Click() {
    const CutterFields fields = cutterFields();
    if (const auto problem = checkCutterFields(fields)) {
        if (m_boxes) {
            m_boxes->showMessage(problem->text, MessageIcon::Exclamation, problem->title);
        } else {
            QMessageBox::warning(this, QString::fromStdString(problem->title),
                                 QString::fromStdString(problem->text));
        }
        // a disabled field takes no focus; the warning has still been shown
        if (QLineEdit* field = fieldFor(problem->field)) field->setFocus(Qt::OtherFocusReason);
        return;
    }

    Options stored = confirmedOptions(m_cmbSR->currentIndex(), m_chkMC->isChecked(), fields);
    stored.jobs = m_spnJobs->value();
    stored.keepFailedFiles = m_chkKeepFailed->isChecked();
    stored.afterBatch = static_cast<Options::AfterBatch>(m_cmbAfterBatch->currentIndex());
    if (!stored.intMusicCutter) m_chkMC->setChecked(false);
    m_options = stored;
    writeOptionsFile(m_optionsPath, m_options);  // an unwritable file is not reported
    accept();
}

}  // namespace tessaro
