// frmMain: the controls at their designed rectangles, and the scaling.

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "formats/FormatCatalogue.h"
#include "shell/ToolIcons.h"
#include "shell/frmMain.h"
#include "widgets/BackgroundHandler.h"
#include "widgets/ClickLabel.h"
#include "widgets/ImageButton.h"
#include "widgets/LinkLabel.h"

namespace tessaro {
namespace {

constexpr int kWidth = 698;
constexpr int kHeight = 455;
constexpr double kFontPoints = 9;
// Hidden controls sit beyond the right and bottom edges of the client area.
constexpr int kOutside = 2000;

QFont windowFont(bool bold = false) {
    // Tahoma is rarely installed here; the CJK face keeps the captions legible.
    const QString family = QFontDatabase::hasFamily("Tahoma") ? "Tahoma" : "Noto Sans CJK SC";
    QFont font(family);
    font.setFamilies({family, "Noto Sans CJK SC", "WenQuanYi Micro Hei"});
    font.setPointSizeF(kFontPoints);
    font.setBold(bold);
    return font;
}

QComboBox* makeCombo(QWidget* parent, const char* name, const std::vector<std::string>& list,
                     bool editable, const char* tooltip, QRect rect) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(editable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Typed text reaches the commands as typed: no completion ("150" would
    // become "1500").
    if (editable) combo->setCompleter(nullptr);
    for (const std::string& entry : list) combo->addItem(QString::fromStdString(entry));
    combo->setToolTip(tooltip);
    combo->setProperty("tessaroToolTip", QString(tooltip));  // shown while the field is read
    combo->setGeometry(rect);
    return combo;
}

// Lets the drop-down list of a combo box show its entries whole where the
// field itself cuts them.
void fitPopupToEntries(QComboBox* combo) {
    QAbstractItemView* view = combo->view();
    view->setMinimumWidth(view->sizeHintForColumn(0) + 2 * view->frameWidth() +
                          view->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

}  // namespace

void frmMain::registerControl(QWidget* widget, bool hasFont) {
    widget->setProperty("tessaroHasFont", hasFont);
    widget->setProperty("tessaroDesign", widget->geometry());
    widget->setProperty("tessaroFontPoints", widget->font().pointSizeF());
    m_controls.push_back(widget);
}

QLabel* frmMain::addCaption(const char* name, const QString& text, int left, int top, int width) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(left, top, width, 14);
    registerControl(label);
    return label;
}

void frmMain::buildLayout() {
    setObjectName("frmMain");
    setWindowFlag(Qt::FramelessWindowHint);
    setFont(windowFont());
    setWindowTitle("Tessaro");
    setWindowIcon(applicationIcon());  // the task bar shows it
    setFixedSize(kWidth, kHeight);

    struct Tool {
        int index;
        const char* caption;
        const char* tooltip;
        ToolIcon icon;
    };
    const Tool tools[] = {
        {0, "添加文件", "Add a File", ToolIcon::AddFile},
        {1, "添加文件夹", "Add Files from a Folder", ToolIcon::AddFolder},
        {2, "移除文件", "Remove File(s) from List", ToolIcon::RemoveFile},
        {4, "提示设置", "Move selected Down", ToolIcon::Settings},
        {5, "退出程序", "Exit", ToolIcon::Exit},
    };
    int left = 0;
    for (const Tool& tool : tools) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString("CmdToolsBar_%1").arg(tool.index));
        button->setText(tool.caption);
        button->setToolTip(tool.tooltip);
        button->setIcon(toolIcon(tool.icon));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setGeometry(left, 0, 95, 66);
        left += 94;
        CmdToolsBar[tool.index] = button;
        registerControl(button);
    }

    // The window has no artwork beneath its image buttons, so their normal
    // state shows a quiet version of the hover picture.
    auto imageButton = [this](const char* name, HoverPicture picture, const char* tooltip,
                              QRect rect) {
        auto* button = new ImageButton(picture, this);
        button->setObjectName(name);
        button->setToolTip(tooltip);
        button->setGeometry(rect);
        registerControl(button, false);
        return button;
    };
    imgHelp = imageButton("imgHelp", HoverPicture::HelpLight, "Help & Tutorial", {635, 8, 15, 15});
    imgMin = imageButton("imgMin", HoverPicture::MinLight, "Minimize Window", {652, 9, 14, 14});
    imgExit = imageButton("imgExit", HoverPicture::ExitLight, "Exit", {672, 10, 15, 15});

    LV = new QTreeWidget(this);
    LV->setObjectName("LV");
    LV->setColumnCount(2);
    LV->setHeaderLabels({"文件名", "格式"});
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    LV->setSelectionMode(QAbstractItemView::SingleSelection);
    // The name column takes what the format column leaves: no sideways scrolling.
    LV->header()->setStretchLastSection(false);
    LV->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    LV->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    LV->setColumnWidth(1, 94);
    LV->setTextElideMode(Qt::ElideMiddle);
    LV->setAcceptDrops(true);
    LV->viewport()->setAcceptDrops(true);
    LV->viewport()->installEventFilter(this);
    LV->setGeometry(4, 90, 455, 274);
    registerControl(LV);

    picText = new QFrame(this);
    picText->setObjectName("picText");
    picText->setGeometry(152, 208, 163, 21);
    picText->setAcceptDrops(true);
    picText->installEventFilter(this);
    registerControl(picText, false);
    lblText = new QLabel("拖拽文件到这里开始转换", picText);
    lblText->setObjectName("lblText");
    lblText->setAlignment(Qt::AlignCenter);
    lblText->setGeometry(0, 0, 163, 21);
    registerControl(lblText);

    addCaption("lblOF", "输出格式：", 490, 70, 189);
    cmbOF = makeCombo(this, "cmbOF", formatList(), false, "Output Format", {490, 90, 189, 22});
    registerControl(cmbOF);
    addCaption("lblVB", "视频比特率：", 488, 127, 89);
    cmbVB = makeCombo(this, "cmbVB", videoBitrateList(), true, "Size", {488, 146, 89, 22});
    registerControl(cmbVB);
    addCaption("lblF", "帧率：", 588, 127, 89);
    cmbF = makeCombo(this, "cmbF", frameRateList(), true, "Size", {588, 146, 89, 22});
    registerControl(cmbF);
    addCaption("lblS", "视频尺寸：", 488, 185, 89);
    cmbS = makeCombo(this, "cmbS", videoSizeList(), true, "Size", {488, 204, 89, 22});
    registerControl(cmbS);
    addCaption("lblR", "声音频率：", 588, 184, 89);
    cmbR = makeCombo(this, "cmbR", sampleRateList(), true, "Audio Rate", {588, 203, 89, 22});
    registerControl(cmbR);
    addCaption("lblBR", "声音比特率：", 488, 246, 89);
    cmbBR = makeCombo(this, "cmbBR", audioBitrateList(), true, "Audio Bitrate",
                      {488, 265, 89, 22});
    registerControl(cmbBR);
    addCaption("lblChannel", "声道：", 588, 246, 89);
    cmbChannel = makeCombo(this, "cmbChannel", channelList(), true, "Channel(Stereo or Mono)",
                           {588, 265, 89, 22});
    registerControl(cmbChannel);

    addCaption("lblPath", "输出路径：", 488, 306, 137);
    txtPath = new QLineEdit(this);
    txtPath->setObjectName("txtPath");
    txtPath->setToolTip("Select a Folder to Output");
    txtPath->setGeometry(488, 325, 137, 21);
    registerControl(txtPath);
    cmdBrowse = new QPushButton("浏览", this);
    cmdBrowse->setObjectName("cmdBrowse");
    cmdBrowse->setToolTip("Select an Output Folder");
    cmdBrowse->setGeometry(630, 326, 47, 20);
    registerControl(cmdBrowse);

    Command3 = new QPushButton("立刻开始转换！", this);
    Command3->setObjectName("Command3");
    Command3->setFont(windowFont(true));
    Command3->setIcon(toolIcon(ToolIcon::Start));
    Command3->setIconSize(QSize(32, 32));
    Command3->setGeometry(488, 364, 189, 59);
    registerControl(Command3);

    lblPB = new QLabel("0%", this);
    lblPB->setObjectName("lblPB");
    lblPB->setAlignment(Qt::AlignCenter);
    lblPB->setGeometry(218, 378, 23, 14);
    registerControl(lblPB);
    pb = new QProgressBar(this);
    pb->setObjectName("pb");
    pb->setRange(0, 100);
    pb->setValue(0);
    pb->setTextVisible(false);
    pb->setGeometry(4, 398, 457, 21);
    registerControl(pb);

    lblWeb = new LinkLabel("Tessaro", this);
    lblWeb->setObjectName("lblWeb");
    lblWeb->setStyleSheet("color: #1a56b8; text-decoration: underline;");
    lblWeb->setGeometry(6, 430, 173, 13);
    registerControl(lblWeb);
    lblFeed = new LinkLabel("意见反馈", this);
    lblFeed->setObjectName("lblFeed");
    lblFeed->setBoldOnHover(true);
    lblFeed->setToolTip("Send us your suggestion or question");
    lblFeed->setStyleSheet("QLabel { color: #1a56b8; } QLabel:disabled { color: #9aa3ad; }");
    lblFeed->setGeometry(624, 432, 48, 13);
    registerControl(lblFeed);

    // Outside the client area: the pointer never reaches these.
    txtAction = new QLineEdit(this);
    txtAction->setObjectName("txtAction");
    txtAction->setGeometry(kOutside, 0, 100, 21);
    lstFile = new QListWidget(this);
    lstFile->setObjectName("lstFile");
    lstFile->setGeometry(kOutside, 30, 100, 60);
    lstAddFolder = new QListWidget(this);
    lstAddFolder->setObjectName("lstAddFolder");
    lstAddFolder->setGeometry(kOutside, 100, 100, 60);
    imgPB = new QLabel(this);
    imgPB->setObjectName("imgPB");
    imgPB->setGeometry(0, kOutside, 0, 8);
    for (QWidget* hidden : std::initializer_list<QWidget*>{txtAction, lstFile, lstAddFolder})
        registerControl(hidden);
    registerControl(imgPB, false);
    auto hiddenButton = [this](const QString& name, const char* tooltip, int left) {
        auto* button = new ClickLabel(this);
        button->setObjectName(name);
        button->setToolTip(tooltip);
        button->setGeometry(left, kOutside, 16, 16);
        registerControl(button, false);
        button->hide();
        return button;
    };
    imgAdd = hiddenButton("imgAdd", "Add a new file to file list", 0);
    imgRemove = hiddenButton("imgRemove", "Remove a file from file list", 20);
    imgStart = hiddenButton("imgStart", "", 40);
    imgBrowse = hiddenButton("imgBrowse", "", 60);
    for (int i = 0; i < 7; ++i)
        imgToolbar[i] = hiddenButton(QString("imgToolbar_%1").arg(i), "", 80 + 20 * i);
    for (QWidget* hidden : std::initializer_list<QWidget*>{txtAction, lstFile, lstAddFolder, imgPB})
        hidden->hide();

    background = new BackgroundHandler(this);
    connect(background, &BackgroundHandler::pointerOverBackground, this, [this] {
        lblFeed->setHovered(false);
        imgHelp->setHovered(false);
        imgExit->setHovered(false);
        imgMin->setHovered(false);
    });

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
}

WindowLayout frmMain::designLayout() const {
    WindowLayout layout;
    layout.width = kWidth;
    layout.height = kHeight;
    layout.txtPathFontPoints = kFontPoints;
    for (QWidget* widget : m_controls) {
        const QRect rect = widget->property("tessaroDesign").toRect();
        ControlLayout control{widget->objectName().toStdString(), rect.x(), rect.y(),
                              rect.width(), rect.height(), true, std::nullopt};
        if (widget->property("tessaroHasFont").toBool())
            control.fontPoints = widget->property("tessaroFontPoints").toDouble();
        layout.controls.push_back(control);
    }
    // Timer1 has a position but no size and no font.
    layout.controls.push_back({"Timer1", 0, 0, 0, 0, false, std::nullopt});
    return layout;
}

void frmMain::applyLayout(const WindowLayout& layout) {
    setFixedSize(layout.width, layout.height);
    for (const ControlLayout& control : layout.controls) {
        auto* widget = findChild<QWidget*>(QString::fromStdString(control.name));
        if (!widget) continue;
        widget->setGeometry(control.left, control.top, control.width, control.height);
        if (control.fontPoints && *control.fontPoints > 0) {
            QFont font = widget->font();
            font.setPointSizeF(*control.fontPoints);
            widget->setFont(font);
        }
    }
    m_lblPBRect = lblPB->geometry();
    fitProgressCaption();
    fitPopupToEntries(cmbOF);  // after the fonts have been scaled
}

void frmMain::fitProgressCaption() {
    // The caption grows from the centre of its designed box so that the
    // spinner and the percentage are never clipped.
    const int needed = lblPB->fontMetrics().horizontalAdvance(lblPB->text()) + 4;
    const int width = std::max(m_lblPBRect.width(), needed);
    const int centre = m_lblPBRect.x() + m_lblPBRect.width() / 2;
    lblPB->setGeometry(centre - width / 2, m_lblPBRect.y(), width, m_lblPBRect.height());
}

}  // namespace tessaro
