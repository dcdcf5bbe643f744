#pragma once
// The captions the front ends show of a batch status: the progress display's
// lblPB in the window, the progress line in tessaro-cli. The engine reports
// the record; only the fronts turn it into text.

#include <optional>
#include <string>

#include "engine/BatchStatus.h"

namespace tessaro {

// "转换中- 34%", "结束 100%", "创建中\ 28.5%" or "完成 100%".
std::string readingCaption(const ProgressReading& reading);

// The batch's percentage with several files at once, 0..100.
double batchPercent(const BatchStatus& status);

// The caption of the progress display: "Done." or "已停止。" once the batch
// is over; one file at a time, the reading of the current file; several at
// once, "转换中 3/4 个文件  34%". Nothing when the current file has not been
// read yet (the display keeps what it shows).
std::optional<std::string> statusCaption(const BatchStatus& status);

}  // namespace tessaro
