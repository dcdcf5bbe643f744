#pragma once
// What an encoder asks ffmpeg to do: one input, one output and the output
// options between them, translated from the encoder's own option syntax.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "encoders/EncoderOptions.h"

namespace tessaro {

struct SourceFacts;

// The audio filter that keeps the sound as long as its timestamps say and in
// step with the picture: gaps (speech codecs that send nothing in silence)
// filled with silence, overlaps trimmed, the sound starting with the picture.
inline constexpr const char* kSoundInStep = "aresample=async=1:first_pts=0";

// An input after the first, with the options that read it.
struct ExtraInput {
    std::string path;  // as given, no protocol prefix
    std::vector<std::string> options = {};
};

struct FfmpegJob {
    std::string input;                       // path as given, no protocol prefix
    std::string output;                      // path as given, no protocol prefix
    std::vector<std::string> inputOptions;   // ffmpeg options placed before the input
    std::vector<std::string> outputOptions;  // ffmpeg options placed before the output
    std::string error;                       // non-empty: the options could not be understood
    std::vector<std::string> notes;          // values used in place of those given, a line each
    // The audio is AMR-NB that coder2 encodes itself: the options map the
    // video of the input and the audio of a second input, an AMR-NB stream
    // of this bitrate that the caller makes and names in extraInputs.
    bool ownAmrNb = false;
    double amrNbKbits = 12.2;
    std::vector<ExtraInput> extraInputs;
    // The options depend on the source (RealVideo's frame limits, an MP3's
    // tags): coderJob wants to be called again with the source's facts.
    bool wantsSource = false;
    bool audioOnly = false;  // -vn: the output holds the sound alone
    // The source has a picture (not a cover) that the output is to show: an
    // output without a single frame of it is told of.
    bool keepsPicture = false;
    // Threads for decoding and encoding; 0 leaves the choice to ffmpeg.
    int threads = 0;
};

// Whether the installed ffmpeg has an encoder of that name.
using HasEncoder = std::function<bool(const std::string&)>;

// The ffmpeg job of conv's options (see convJob).
FfmpegJob ffmpegJob(const ConvOptions& options, const SourceFacts* source = nullptr);

// The ffmpeg job of coder's options (see coderJob).
FfmpegJob ffmpegJob(const CoderOptions& options, const HasEncoder& hasEncoder,
                    const SourceFacts* source = nullptr);

// Reads (readConvOptions) and translates MEncoder-style options (input path, -oac, -lameopts, -ovc,
// -lavcopts given once or more, -ofps, -of, -lavfopts, -o) into an ffmpeg job,
// with the same handling of the panel's values as coderJob. With the source's
// facts, cover pictures are left out and the picture the source shows is
// kept.
FfmpegJob convJob(const std::vector<std::string>& args, const SourceFacts* source = nullptr);

// The -map options that take a source's picture and sound but none of its
// cover pictures; none when the source has no cover (ffmpeg's own choice).
std::vector<std::string> pictureAndSoundMaps(const SourceFacts& source);

// Reads (readCoderOptions) and translates FFmpeg-style options of the old syntax (-i, -y, -s,
// -vcodec, -b, -f, -acodec, -ar, -ab, -ac, -vn, output last) into current ffmpeg options.
// hasEncoder tells whether the installed ffmpeg has an encoder of that name;
// it is asked only when a codec needs a substitute (amr_nb). Values a codec
// cannot take are replaced by the nearest it can, with a line in notes;
// values that are no usable number fail the job with a reason in Chinese.
// A fixed frame size is never stretched to: the picture is fitted inside and
// padded with black, with square pixels. With the source's facts, RealVideo
// takes a bitrate whose frames fit its packets at the source's frame rate and
// a frame size it can encode, and an MP3 takes the source's descriptive tags
// only and its first cover picture. Every audio encode keeps the sound in
// step (kSoundInStep).
FfmpegJob coderJob(const std::vector<std::string>& args, const HasEncoder& hasEncoder,
                   const SourceFacts* source = nullptr);

// The filter that shows a picture of any shape whole in a width x height
// frame: scaled to fit (an unknown pixel aspect taken as square), centred on
// black, square pixels.
std::string fitInFrame(int width, int height);

// The filter that shows the source's picture as it is shown, in square
// pixels and even sides, made smaller (never larger) where its long or short
// side exceeds those of `limit`.
std::string shownWithin(std::pair<int, int> limit);

// The largest frame, in multiples of 16, that RealVideo can encode (under
// 4096 macroblocks) with the shape of width x height; the size itself when
// it fits.
std::pair<int, int> realVideoFrame(int width, int height);

// The full ffmpeg argument vector (without the program path) for a job:
// quiet logging with level prefixes, machine-readable progress on stdout,
// overwrite, and every path behind the "file:" protocol. statsPeriod: the
// ffmpeg takes -stats_period (4.4 and later), for progress every 0.1 s.
std::vector<std::string> ffmpegArguments(const FfmpegJob& job, bool statsPeriod = true);

// The job's notes, one line each behind the program's name ("" when none).
std::string noteLines(const std::string& program, const FfmpegJob& job);

}  // namespace tessaro
