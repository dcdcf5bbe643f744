#pragma once
// What an encoder asks ffmpeg to do: one input, one output and the output
// options between them, translated from the encoder's own option syntax.

#include <functional>
#include <string>
#include <vector>

namespace tessaro {

struct FfmpegJob {
    std::string input;                       // path as given, no protocol prefix
    std::string output;                      // path as given, no protocol prefix
    std::vector<std::string> outputOptions;  // ffmpeg options placed before the output
    std::string error;                       // non-empty: the options could not be understood
};

// Translates MEncoder-style options (input path, -oac, -lameopts, -ovc,
// -lavcopts given once or more, -ofps, -of, -lavfopts, -o) into an ffmpeg job.
FfmpegJob convJob(const std::vector<std::string>& args);

// Translates FFmpeg-style options of the old syntax (-i, -y, -s, -vcodec, -b,
// -f, -acodec, -ar, -ab, -ac, -vn, output last) into current ffmpeg options.
// hasEncoder tells whether the installed ffmpeg has an encoder of that name;
// it is asked only when a codec needs a substitute (amr_nb).
FfmpegJob coderJob(const std::vector<std::string>& args,
                   const std::function<bool(const std::string&)>& hasEncoder);

// The full ffmpeg argument vector (without the program path) for a job:
// quiet logging with level prefixes, machine-readable progress on stdout,
// overwrite, and both paths behind the "file:" protocol.
std::vector<std::string> ffmpegArguments(const FfmpegJob& job);

}  // namespace tessaro
