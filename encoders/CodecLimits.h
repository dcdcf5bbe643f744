#pragma once
// What the ffmpeg encoders behind conv, coder and coder2 accept for the
// values the parameter panel hands them: sample rates, audio bitrates,
// channel counts and (MPEG-1) frame rates. A value outside these makes
// ffmpeg refuse to open the encoder or change the value unannounced, so the
// encoders take the nearest accepted value themselves and say so.

#include <string>
#include <vector>

namespace tessaro {

struct AudioCodecLimits {
    std::string name;              // ffmpeg encoder name ("ac3", "mp2", ...)
    std::vector<int> sampleRates;  // Hz; empty: any
    int maxChannels = 2;
    // Accepted bitrates in kbit/s at a sample rate; empty: any.
    std::vector<double> (*bitrates)(int sampleRate) = nullptr;
    // Refuses to start at a bitrate its sample rate does not take (the
    // others take the nearest one themselves).
    bool refusesOtherBitrates = false;
};

// Limits of an audio encoder by its ffmpeg name (the AMR-NB encoders under
// both names); nullptr for one we know nothing about.
const AudioCodecLimits* audioCodecLimits(const std::string& encoder);

// The audio encoder ffmpeg picks for a container when none is named: by the
// -f name or else the output's extension ("rm" -> ac3, "mp3" -> libmp3lame).
// "" when unknown.
std::string defaultAudioEncoder(const std::string& container, const std::string& extension);

// The entry of a list nearest to value; on a tie the larger one.
double nearestValue(const std::vector<double>& list, double value);
int nearestRate(const std::vector<int>& list, int value);

// The sample rates at which the codec takes this bitrate (all of them when
// the codec takes any).
std::vector<int> ratesTaking(const AudioCodecLimits& codec, double kbits);

// MPEG-1 video frame rates (with the unofficial ones ffmpeg allows), as
// ffmpeg option texts and their values; the nearest to fps.
std::string nearestMpeg1FrameRate(double fps, double* chosen);

}  // namespace tessaro
