#include "present/StatusCaptions.h"

#include <algorithm>
#include <cstdio>

namespace tessaro {
namespace {

std::string wholeNumber(double p) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", p);
    return buffer;
}

std::string batchCaption(const BatchStatus& status) {
    return "转换中 " + std::to_string(status.done + status.running) + "/" +
           std::to_string(std::max(status.total, 1)) + " 个文件  " +
           std::to_string(int(batchPercent(status))) + "%";
}

}  // namespace

std::string readingCaption(const ProgressReading& reading) {
    switch (reading.stage) {
        case StageProgress::Converting:
            return "转换中" + reading.mark + " " + wholeNumber(reading.percent) + "%";
        case StageProgress::Converted:
            return "结束 100%";
        case StageProgress::Creating:
            return "创建中" + reading.mark + " " + percentText(reading.fraction) + "%";
        case StageProgress::Created:
            break;
    }
    return "完成 100%";
}

double batchPercent(const BatchStatus& status) {
    // Files finished count whole, running ones by their share.
    return std::clamp(100 * status.parts / std::max(status.total, 1), 0.0, 100.0);
}

std::optional<std::string> statusCaption(const BatchStatus& status) {
    if (status.phase != BatchPhase::Running)
        return status.phase == BatchPhase::Stopped ? "已停止。" : "Done.";
    if (status.jobs > 1) return batchCaption(status);
    const FileStatus* current = status.file(status.started);
    if (!current || !current->reading) return std::nullopt;
    return readingCaption(*current->reading);
}

}  // namespace tessaro
