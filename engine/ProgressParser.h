#pragma once
// Reading the encoders' console output into what the progress display shows:
// the bar image width (twips, 5415 = 100 %), the progress-bar value and the
// caption. A chunk is parsed on its own; a pattern split across two chunks is
// not recognised.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/MessagePump.h"

namespace tessaro {

inline constexpr double kFullBarTwips = 5415;

struct ProgressDisplay {
    double barWidth = 0;  // imgPB width in twips
    double value = 0;     // pb, 0..100
    std::string caption;  // lblPB
};

// The rotating mark: "-" -> "\" -> "|" -> "/" -> "-"; anything else -> "-".
std::string advanceMark(const std::string& mark);

// The leading number of a text: leading blanks skipped, reading stops at the
// first character that cannot continue the number; 0 when there is none.
double leadingNumber(std::string_view text);

// Stage one (conv): advances strSpinner, then reads the first "(" followed by
// ")" 4 or 5 characters later. "(100%)" gives the full bar and "结束 100%";
// otherwise p = the rounded leading number gives "转换中" + mark + " " + p +
// "%". Nothing (no change on screen) when there is no such text or p is
// outside 0..100.
std::optional<ProgressDisplay> stageOneProgress(std::string_view chunk, std::string& strSpinner,
                                                MessagePump* pump = nullptr);

// Stage two and MP3 (coder, coder2): reads the length after "Duration: " while
// lngDuration is 0, then the position after the first "time=" (seconds, or
// hours:minutes:seconds), then advances strSpinner. Full bar and "完成 100%"
// at or past the length, else "创建中" + mark + " " + percent text + "%".
// Nothing when no "time=" was found or no length is known.
std::optional<ProgressDisplay> stageTwoProgress(std::string_view chunk, std::string& strSpinner,
                                                int32_t& lngDuration, MessagePump* pump = nullptr);

// The percent text of a ratio: the first 4 characters of r * 100 written with
// up to 15 significant digits (28.5714285714286 gives "28.5", 25 gives "25").
std::string percentText(double ratio);

}  // namespace tessaro
