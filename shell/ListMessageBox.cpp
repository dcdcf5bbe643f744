#include "shell/ListMessageBox.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace tessaro {
namespace {

// Lines measured for the list's width: enough to find the widest of a
// usual list without measuring ten thousand.
constexpr int kMeasuredLines = 2000;
constexpr int kShownLines = 15;

QStyle::StandardPixmap standardIcon(MessageIcon icon) {
    if (icon == MessageIcon::Critical) return QStyle::SP_MessageBoxCritical;
    if (icon == MessageIcon::Exclamation) return QStyle::SP_MessageBoxWarning;
    return QStyle::SP_MessageBoxInformation;
}

}  // namespace

ListMessageBox::ListMessageBox(QWidget* owner, const QString& text, const QString& list,
                               MessageIcon icon, const QString& title)
    : QDialog(owner) {
    setObjectName("listMessage");
    setWindowTitle(title);
    auto* grid = new QGridLayout(this);
    auto* picture = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    picture->setPixmap(style()->standardIcon(standardIcon(icon), nullptr, this).pixmap(iconSize));
    grid->addWidget(picture, 0, 0, Qt::AlignTop);
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    grid->addWidget(label, 0, 1);
    grid->setColumnStretch(1, 1);  // the text starts beside the icon

    // As many lines as fit a third of the screen (at most 15), as wide as
    // the widest line within three quarters of it; scroll bars for the rest.
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    m_list = new QPlainTextEdit(list, this);
    m_list->setObjectName("list");
    m_list->setReadOnly(true);
    m_list->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFontMetrics metrics = m_list->fontMetrics();
    const QStringList lines = list.split('\n');
    int widest = 0;
    for (qsizetype i = 0; i < lines.size() && i < kMeasuredLines; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(lines[i]));
    const int frame = 2 * m_list->frameWidth() + 2 * int(m_list->document()->documentMargin()) + 4;
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int shown = std::clamp(int(lines.size()), 3, kShownLines);
    m_list->setFixedSize(std::clamp(widest + frame + bar, 360, room.width() * 3 / 4),
                         std::min(shown * metrics.lineSpacing() + frame + bar, room.height() / 3));
    grid->addWidget(m_list, 1, 0, 1, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_copy = buttons->addButton("复制列表", QDialogButtonBox::ActionRole);
    m_copy->setObjectName("copyList");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_copy, &QPushButton::clicked, this,
            [list] { QGuiApplication::clipboard()->setText(list); });
    grid->addWidget(buttons, 2, 0, 1, 2);
    m_ok->setDefault(true);
    m_ok->setFocus();
}

}  // namespace tessaro
