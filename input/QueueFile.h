#pragma once
// The queue kept between runs: the rows of the input list in a UTF-8 text
// file beside setup.ini, rewritten whole on every change, so that a crash, a
// reboot or an update finds it as it last stood.
//
//   Tessaro queue 1
//   W<TAB>TAG<TAB>PATH             a row waiting (or being converted)
//   F<TAB>TAG<TAB>PATH<TAB>REASON  a row a batch failed, with its reason
//
// In the fields '%' and the control characters are written as %XX, so that
// a tab or a line break in a file name cannot end a field or a line.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/InputList.h"

namespace tessaro {

inline constexpr const char* kQueueFile = "queue.txt";
// A queue file larger than this is not read (it is not one we wrote).
inline constexpr std::size_t kMaxQueueFileBytes = 64u << 20;

// The file's text for these rows.
std::string queueFileText(const std::vector<InputRow>& rows);

// The rows the text holds, in order; none, with the reason in *why, when the
// text is not a queue file (another header, a line of another shape, a bad
// escape, a NUL byte, text that is not UTF-8, an empty path).
std::optional<std::vector<InputRow>> parseQueueFile(std::string_view text, std::string* why);

// Writes the rows to `path` atomically (the old file or the new one, never
// half of one). False when it could not be written.
bool saveQueueFile(const std::string& path, const std::vector<InputRow>& rows);

struct QueueFileLoad {
    std::vector<InputRow> rows;
    // Empty when the file was read or there was none; else what happened to
    // a damaged file ("… 已移到 …"), for the log.
    std::string note;
};

// Reads the queue file at `path`. No file gives no rows. A file that cannot
// be read as a queue is renamed aside to "<path>.damaged-YYYYMMDD-HHMMSS"
// (local time `now`; "-2", "-3", … when taken) and gives no rows.
QueueFileLoad loadQueueFile(const std::string& path, std::time_t now);

}  // namespace tessaro
