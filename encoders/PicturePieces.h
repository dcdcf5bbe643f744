#pragma once
// A picture whose encoder works on one thread (RealVideo 1, H.263) encoded on
// several processors: the source is cut at its key frames into pieces that
// ffmpeg processes of their own encode at once, the pieces are joined without
// encoding them again, and the sound is encoded once, whole, as the join
// writes the output.

#include <string>
#include <vector>

#include "encoders/FfmpegJob.h"

namespace tessaro {

struct SourceFacts;

// True for the video encoders that keep to one thread whatever they are told.
bool encodesOnOneThread(const std::string& codec);

// The times of the key frames in ffmpeg's framecrc listing of one stream's
// packets ("#tb 0: 1/30", then "0, dts, pts, duration, size, crc" with
// ", F=0x0" for a packet that is no key frame), in seconds from the file's
// start, in order.
std::vector<double> keyFrameTimes(const std::string& framecrc);

// A piece lasts at least this many seconds: a shorter one gains less than
// its ffmpeg costs.
inline constexpr double kShortestPiece = 5;

// The output frames (at `rate` a second) at which the second and later
// pieces start, each at a key frame near an even share of the source: up to
// `threads` pieces of kShortestPiece or more. Empty (one piece) for a short
// source or one whose key frames lie too far from the places to cut.
std::vector<long> pieceStarts(const std::vector<double>& keyFrames, double duration, double rate,
                              int threads);

// The job that encodes the picture of `job` from output frame `first` on,
// `frames` of them (0: to the end), into `path` alone.
FfmpegJob pieceJob(const FfmpegJob& job, long first, long frames, double rate,
                   const std::string& path);

// The job that writes the output of `job` with its picture copied from the
// pieces that the concat list at `list` names and its sound encoded from the
// source.
FfmpegJob joinJob(const FfmpegJob& job, const std::string& list, const std::string& codec);

// The concat list of the pieces: each piece but the last as long as its
// frames at `rate`, so that the next starts where it ends.
std::string concatList(const std::vector<std::string>& pieces, const std::vector<long>& starts,
                       double rate);

// Runs a job of coder's (made with the source's facts) as runCoderJob does,
// with its picture in pieces when its encoder keeps to one thread, it was
// given threads, and the source can be cut. A piece that fails fails the run
// with its reason; a stop ends every piece; nothing of them is left behind.
int runCoderJobInPieces(const std::string& program, const FfmpegJob& job,
                        const SourceFacts& source);

}  // namespace tessaro
