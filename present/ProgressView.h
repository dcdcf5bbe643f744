#pragma once
// What the window's progress display shows of a batch status: the bar image
// width, the progress bar's value, the caption, the window title's file and
// the marks of the queue's rows. Qt-free: the window applies it.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/BatchStatus.h"

namespace tessaro {

inline constexpr double kFullBarTwips = 5415;  // imgPB at 100 %

// What changes on screen; what is left empty stays as it is.
struct ProgressLook {
    std::optional<double> barWidth;      // imgPB, twips
    std::optional<double> value;         // pb, 0..100
    std::optional<std::string> caption;  // lblPB
    // The file just started (the title, and the head row's mark when it is
    // that file); "" once the batch is over: no row stays marked.
    std::optional<std::string> currentFile;
    // With several files at once, queue row -> its mark ("42%"; "" takes it away).
    std::vector<std::pair<int, std::string>> rows;
};

class ProgressView {
public:
    // The look of the status, given the ones shown before it.
    ProgressLook show(const BatchStatus& status);

private:
    int m_started = 0;  // files started as last shown
};

}  // namespace tessaro
