#include "present/ProgressView.h"

#include "present/StatusCaptions.h"

namespace tessaro {
namespace {

// One file at a time: the current file's last reading, when it has one.
void showFile(const BatchStatus& status, ProgressLook& look) {
    const FileStatus* current = status.file(status.started);
    if (!current || !current->reading) return;
    look.barWidth = current->reading->fraction * kFullBarTwips;
    look.value = current->reading->percent;
}

// Several at once: the batch on the bar, each file's own share in its row.
void showBatch(const BatchStatus& status, ProgressLook& look) {
    const double percent = batchPercent(status);
    look.barWidth = percent / 100 * kFullBarTwips;
    look.value = percent;
    for (const FileStatus& file : status.files) {
        if (file.stopped)
            look.rows.emplace_back(file.row, std::string());
        else if (file.reading)
            look.rows.emplace_back(file.row, std::to_string(int(100 * file.share)) + "%");
    }
}

}  // namespace

ProgressLook ProgressView::show(const BatchStatus& status) {
    ProgressLook look;
    look.caption = statusCaption(status);
    if (status.phase != BatchPhase::Running) {
        m_started = 0;
        look.barWidth = 0;
        look.currentFile = std::string();
        return look;
    }
    if (status.started != m_started) {
        m_started = status.started;
        look.currentFile = status.current;
    }
    if (status.jobs > 1)
        showBatch(status, look);
    else
        showFile(status, look);
    return look;
}

}  // namespace tessaro
