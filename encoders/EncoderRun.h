#pragma once
// The part every encoder program shares: run ffmpeg for a job, print the
// encoder's progress form, and decide the exit status.

#include <string>

#include "encoders/FfmpegJob.h"

namespace tessaro {

enum class ProgressForm {
    Percent,       // "( 7%)" ... "(100%)", as conv prints it
    DurationTime,  // "Duration: ..., " once, then "time=12.34 "
};

// Runs the job and returns the process exit status: 0 only when ffmpeg
// succeeded and the output file exists and is not empty; otherwise a one-line
// reason, prefixed by program, has been printed.
int runEncoder(const std::string& program, const FfmpegJob& job, ProgressForm form);

// True when the ffmpeg at this path lists an encoder of this name.
bool ffmpegHasEncoder(const std::string& ffmpeg, const std::string& encoder);

}  // namespace tessaro
