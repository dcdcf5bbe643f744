#include <gtest/gtest.h>

#include "present/ProgressView.h"

namespace tessaro {
namespace {

using Rows = std::vector<std::pair<int, std::string>>;

// File n at row n - 1, read at `fraction` of stage one or not read (< 0).
FileStatus file(int n, double fraction, double share = 0, bool stopped = false) {
    std::optional<ProgressReading> read;
    if (fraction >= 0) read = ProgressReading{StageProgress::Converting, fraction, 100 * fraction};
    return {n, n - 1, "/in/f" + std::to_string(n) + ".flv", stopped, read, share};
}

BatchStatus batch(int jobs, std::vector<FileStatus> files, int done = 0, int total = 0,
                  double parts = 0, BatchPhase phase = BatchPhase::Running) {
    const int started = files.empty() ? 0 : files.back().number;
    return {phase, jobs, done, int(files.size()), total, parts, started, "/in/current.flv", files};
}

// The look of a status shown after an earlier one of the same files, so that
// only the progress display and the rows can change.
TEST(ProgressViewTest, DrawsTheStatus) {
    const struct {
        const char* what;
        BatchStatus status;
        std::optional<double> width, value;
        std::optional<std::string> caption;
        Rows rows;
    } rows[] = {
        {"one file", batch(1, {file(1, 0.25)}), 0.25 * 5415, 25, "转换中- 25%", {}},
        // A file not read yet leaves the last file's display.
        {"not read", batch(1, {file(1, -1)}), {}, {}, {}, {}},
        // The batch on the bar, each file read in its row, a stopped one
        // cleared, one not read untouched.
        {"several",
         batch(3, {file(1, 0.5, 0.75), file(2, 0.5, 0.25, true), file(3, -1)}, 1, 4, 1.75),
         0.4375 * 5415, 43.75, "转换中 4/4 个文件  43%", Rows{{0, "75%"}, {1, ""}}},
        // Never fewer than one file, never past 100 %.
        {"queue emptied",
         batch(2, {file(1, -1)}, 0, 0, 1.5),
         5415,
         100,
         "转换中 1/1 个文件  100%",
         {}},
        {"done", batch(2, {}, 3, 3, 3, BatchPhase::Done), 0, {}, "Done.", {}},
        {"stopped", batch(1, {}, 0, 2, 0, BatchPhase::Stopped), 0, {}, "已停止。", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ProgressView view;
        BatchStatus earlier = row.status;
        earlier.phase = BatchPhase::Running;
        view.show(earlier);
        const ProgressLook look = view.show(row.status);
        EXPECT_EQ(look.caption, row.caption);
        EXPECT_EQ(look.value, row.value);
        ASSERT_EQ(look.barWidth.has_value(), row.width.has_value());
        if (row.width) {
            EXPECT_NEAR(*look.barWidth, *row.width, 1e-9);
        }
        EXPECT_EQ(look.rows, row.rows);
    }
}

// The title's file changes when a file starts, also one of the same path,
// and is taken away once the batch is over; the next batch starts afresh.
TEST(ProgressViewTest, CurrentFileOnlyWhenAFileStarts) {
    const BatchStatus first = batch(1, {file(1, -1)}), second = batch(1, {file(2, -1)});
    const BatchStatus over = batch(1, {}, 2, 2, 2, BatchPhase::Done);
    const std::optional<std::string> name = "/in/current.flv", none;
    const std::pair<BatchStatus, std::optional<std::string>> steps[] = {
        {first, name}, {first, none}, {second, name}, {second, none}, {over, ""}, {first, name}};
    ProgressView view;
    for (const auto& [status, currentFile] : steps)
        EXPECT_EQ(view.show(status).currentFile, currentFile) << status.started;
}

}  // namespace
}  // namespace tessaro
