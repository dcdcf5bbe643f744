// frmMain: the queue kept between runs, and the rows a batch failed.

#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <ctime>

#include "base/Platform.h"
#include "input/QueueFile.h"
#include "shell/frmMain.h"

namespace tessaro {
namespace {

// Changes coming close together (a folder scan, a drop of thousands) are
// written once; a kill loses at most this much of them.
constexpr int kQueueSaveDelayMs = 200;

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void frmMain::restoreQueue() {
    if (m_queueKept || !keepQueue) return;
    const QueueFileLoad kept =
        loadQueueFile(platform::settingsFile(kQueueFile), std::time(nullptr));
    if (!kept.note.empty()) std::fprintf(stderr, "tessaro: %s\n", kept.note.c_str());
    for (const InputRow& row : kept.rows) m_list.appendRow(row);
    m_queueSaveTimer = new QTimer(this);
    m_queueSaveTimer->setSingleShot(true);
    m_queueSaveTimer->setInterval(kQueueSaveDelayMs);
    connect(m_queueSaveTimer, &QTimer::timeout, this, &frmMain::saveQueue);
    m_queueKept = true;
}

void frmMain::queueChanged() {
    // Not restarted by later changes: a long scan is still saved as it goes.
    if (m_queueKept && !m_queueSaveTimer->isActive()) m_queueSaveTimer->start();
}

void frmMain::saveQueue() {
    if (!m_queueKept) return;
    m_queueSaveTimer->stop();
    platform::prepareSettingsFolder();
    // An unwritable settings folder keeps the list for this run only.
    saveQueueFile(platform::settingsFile(kQueueFile), m_list.rows());
}

void frmMain::failQueueEntry(int index, const std::string& reason) {
    if (!m_options.keepFailedFiles) return removeQueueEntry(index);
    m_list.failEntry(index, reason);
}

void frmMain::markRow(int row, const std::string& progress) {
    QTreeWidgetItem* item = LV->topLevelItem(row);
    if (!item || row >= int(m_list.rows().size())) return;
    const InputRow& state = m_list.rows()[size_t(row)];
    QString shown = item->data(1, Qt::UserRole).toString();
    if (state.failed) shown += "  失败";
    if (!progress.empty()) shown += "  " + qs(progress);
    if (item->text(1) != shown) item->setText(1, shown);
    const QString tip = state.failed ? qs(state.reason) : QString();
    if (item->toolTip(0) != tip) {
        item->setToolTip(0, tip);
        item->setToolTip(1, tip);
    }
    markRunning(item, !progress.empty());
}

}  // namespace tessaro
