#pragma once
// Reading the encoders' console output into progress readings: the stage,
// the share of it done and the percentage as read. A chunk is parsed on its
// own; a pattern split across two chunks is not recognised.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/MessagePump.h"
#include "engine/BatchStatus.h"

namespace tessaro {

// The rotating mark: "-" -> "\" -> "|" -> "/" -> "-"; anything else -> "-".
std::string advanceMark(const std::string& mark);

// The leading number of a text: leading blanks skipped, reading stops at the
// first character that cannot continue the number; 0 when there is none.
double leadingNumber(std::string_view text);

// Stage one (conv): advances strSpinner, then reads the first "(" followed by
// ")" 4 or 5 characters later. "(100%)" is Converted; otherwise p = the
// rounded leading number is Converting at p percent. Nothing when there is no
// such text or p is outside 0..100.
std::optional<ProgressReading> stageOneProgress(std::string_view chunk, std::string& strSpinner,
                                                MessagePump* pump = nullptr);

// Stage two and MP3 (coder, coder2): reads the length after "Duration: " while
// lngDuration is 0, then the position after the first "time=" (seconds, or
// hours:minutes:seconds), then advances strSpinner. Created at or past the
// length, else Creating at the position's share of it, its percentage read
// back from percentText. Nothing when no "time=" was found or no length is
// known.
std::optional<ProgressReading> stageTwoProgress(std::string_view chunk, std::string& strSpinner,
                                                int32_t& lngDuration, MessagePump* pump = nullptr);

}  // namespace tessaro
