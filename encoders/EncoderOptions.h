#pragma once
// The encoders' own command lines read into typed values: conv's
// MEncoder-style options and coder's old FFmpeg-style options. Reading checks
// every value the encoder will use; what ffmpeg is then asked to do is built
// from the values alone (FfmpegJob.h). A value that is no number, or none an
// encoder could use, sets error, with the reason that names the field.

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// A number of the panel as typed, and the value read from it.
struct TypedNumber {
    double value = 0;
    std::string text;  // as given, for the options that pass it on unchanged
};

// A frame size as typed, and its sides.
struct TypedSize {
    int width = 0, height = 0;
    std::string text;
};

// What conv is asked: the video of -ovc/-lavcopts, the audio of -oac with
// -lameopts or -lavcopts, the frame rate of -ofps and the container of
// -of/-lavfopts with the output's name.
struct ConvOptions {
    std::string input, output;
    bool copyVideo = false;                   // -ovc copy
    std::string videoCodec = "mpeg4";         // mpeg4, mpeg1video or mpeg2video
    std::optional<TypedNumber> videoBitrate;  // vbitrate: kbit/s, above 16000 bit/s
    std::optional<TypedNumber> frameRate;
    enum class Audio { Lame, Lavc, Copy } audio = Audio::Lame;
    // preset= of -lameopts: a named quality, or a bitrate (audioBitrate).
    enum class Preset { None, Insane, Extreme, Standard, Medium, Bitrate } preset = Preset::None;
    std::string audioCodec = "mp2";           // acodec= with -oac lavc: mp2, mp3 or ac3
    std::optional<TypedNumber> audioBitrate;  // kbit/s
    std::string container;                    // ffmpeg's muxer; "" lets ffmpeg choose by name
    int threads = 0;                          // threads= of -lavcopts, 1 to 64; 0: ffmpeg's choice
    std::string error;                        // non-empty: the options could not be understood
};

// The options of coder's syntax that carry a value into the output, in the
// order they were given (a repeated one keeps its first place).
enum class CoderOption {
    NoVideo,
    VideoCodec,
    VideoBitrate,
    Format,
    AudioCodec,
    SampleRate,
    AudioBitrate,
    Channels,
    FrameRate
};

// What coder and coder2 are asked (-i, -s, -vcodec, -b, -r, -f, -acodec, -ar,
// -ab, -ac, -vn, -threads; -y is always meant; the output last).
struct CoderOptions {
    std::string input, output;
    bool noVideo = false;
    std::string videoCodec;                   // "": the container's
    std::optional<TypedNumber> videoBitrate;  // kbit/s; the text as given ("600k")
    std::optional<TypedSize> size;
    std::optional<TypedNumber> frameRate;  // frames per second
    std::string container;                 // -f; "": by the output's name
    std::string audioCodec;                // "": the container's
    std::optional<TypedNumber> sampleRate, audioBitrate, channels;
    std::vector<CoderOption> order;
    int threads = 0;  // -threads, 1 to 64; 0: ffmpeg's own choice
    std::string error;
};

// Reads conv's arguments (without the program). Anything that is not one of
// its options is the input, even when its name starts with '-'.
ConvOptions readConvOptions(const std::vector<std::string>& args);

// Reads coder's arguments (without the program); empty ones are skipped.
CoderOptions readCoderOptions(const std::vector<std::string>& args);

// The reason the encoder a whole command names (its program first: conv,
// coder or coder2, with a folder or ".exe" or not) refuses its options; ""
// when it takes them, or when the program is none of ours.
std::string refusedOptions(const std::vector<std::string>& command);

}  // namespace tessaro
