#pragma once
// How coder encodes the codecs that today's players expect when it is asked
// for them by name: H.264, H.265 and VP9 pictures by quality unless a
// bitrate is given, at presets that keep a batch practical, in the frame
// sizes and rates phones and televisions play; Opus at its own sample rate;
// MP4 files with their index at the front.

#include <string>
#include <utility>
#include <vector>

namespace tessaro {

// True for libx264, libx265 and libvpx-vp9.
bool isCurrentVideoCodec(const std::string& codec);

// The encoder's options beyond codec, bitrate and frame rate: preset,
// profile, pixel format and, without a bitrate (""), the quality it aims at;
// with one (ffmpeg's text, "800k"), what holds VP9 to it. threads: the
// processors the encoder may use.
std::vector<std::string> currentVideoOptions(const std::string& codec, const std::string& bitrate,
                                             int threads);

// The largest frame the codec's players take, as its long and short side, in
// either orientation: 1920x1080 for H.264 (High profile, level 4.2 at most),
// 3840x2160 for the others.
std::pair<int, int> currentFrameLimit(const std::string& codec);

// The highest frame rate the players take (60); a faster source keeps every
// n-th frame, the fewest that bring it to this rate or below. 0 when the
// source's rate is kept.
double currentFrameRate(const std::string& codec, double sourceFramesPerSecond);

// Options a container of the output needs for a codec in it: the index at
// the front of MP4 and M4A, the "hvc1" tag Apple's players want of H.265, a
// WAV that can grow past 4 GiB.
std::vector<std::string> currentContainerOptions(const std::string& container,
                                                 const std::string& videoCodec);

// Whether the container keeps a cover picture beside the sound.
bool containerKeepsCover(const std::string& container, const std::string& outputExtension);

}  // namespace tessaro
