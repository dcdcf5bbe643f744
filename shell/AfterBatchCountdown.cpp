#include "shell/AfterBatchCountdown.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tessaro {

AfterBatchCountdown::AfterBatchCountdown(Action action, int seconds, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_action(action),
      m_remaining(seconds) {
    setWindowTitle(QStringLiteral("Tessaro"));
    // Above a box the batch left open (the failed files): this one answers.
    setWindowModality(Qt::ApplicationModal);

    lblCountdown = new QLabel(caption(action, seconds), this);
    lblCountdown->setObjectName(QStringLiteral("lblCountdown"));
    lblCountdown->setAlignment(Qt::AlignCenter);
    lblCountdown->setMinimumWidth(240);

    cmdNow = new QPushButton(
        action == Action::Sleep ? QStringLiteral("立即睡眠") : QStringLiteral("立即关机"), this);
    cmdNow->setObjectName(QStringLiteral("cmdNow"));
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter or Escape from someone just back at the machine cancels.
    cmdCancel->setDefault(true);
    cmdCancel->setFocus();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdNow);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCountdown);
    layout->addLayout(buttons);

    tmrCountdown = new QTimer(this);
    tmrCountdown->setObjectName(QStringLiteral("tmrCountdown"));
    tmrCountdown->setInterval(1000);
    connect(tmrCountdown, &QTimer::timeout, this, &AfterBatchCountdown::tick);
    connect(cmdNow, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Counting stops with the box, whichever way it closes.
    connect(this, &QDialog::finished, tmrCountdown, &QTimer::stop);
    tmrCountdown->start();
}

QString AfterBatchCountdown::caption(Action action, int seconds) {
    return QStringLiteral("%1 秒后%2")
        .arg(seconds)
        .arg(action == Action::Sleep ? QStringLiteral("睡眠") : QStringLiteral("关机"));
}

void AfterBatchCountdown::tick() {
    if (m_remaining <= 0 || !tmrCountdown->isActive()) return;  // closed already
    --m_remaining;
    lblCountdown->setText(caption(m_action, m_remaining));
    if (m_remaining == 0) accept();
}

}  // namespace tessaro
