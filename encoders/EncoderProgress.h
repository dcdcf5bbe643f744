#pragma once
// The progress texts the encoders print, in the forms the window reads, and
// the readers of ffmpeg's own report lines they are made from.

#include <string>

namespace tessaro {

// MEncoder's status form; the percentage stands in parentheses, the number
// right-aligned in three characters: "( 7%)", "(42%)", "(100%)". Ends in CR.
std::string convProgressText(int percent, double seconds, long frames);

// "Duration: HH:MM:SS.xx, " for the given length text; ends in a newline.
std::string durationText(const std::string& clock);

// "time=" + position in seconds as a decimal + " "; ends in CR.
std::string timeText(double seconds);

// The length text of an ffmpeg "Duration: 00:01:40.00, start: ..." log line
// ("00:01:40.00", or "N/A"); empty when the line holds no Duration.
std::string durationClock(const std::string& logLine);

// Seconds of an "HH:MM:SS.xx" text; negative when it is not one.
double clockSeconds(const std::string& clock);

// The "HH:MM:SS.xx" text of a length in seconds ("N/A" when negative).
std::string clockText(double seconds);

}  // namespace tessaro
