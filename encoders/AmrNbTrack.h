#pragma once
// coder2's own AMR-NB audio: ffmpeg decodes the input's audio to 8000 Hz
// mono samples, AmrNbEncoder turns them into an ".amr" stream, and the main
// run muxes that stream beside the video.

#include <string>

#include "encoders/FfmpegJob.h"

namespace tessaro {

enum class AmrNbTrack { Made, NoAudio, Undecodable, Failed };

// Writes the AMR-NB stream of input's first audio stream to amrPath, at the
// mode nearest to kbits, through the temporary sample file pcmPath (removed
// again). Failed, and Undecodable (ffmpeg gave up on the sound's decode
// errors or decoded none of it), leave a one-line reason in *why.
AmrNbTrack makeAmrNbTrack(const std::string& ffmpeg, const std::string& input,
                          const std::string& pcmPath, const std::string& amrPath, double kbits,
                          std::string* why);

// Points a job of FfmpegJob::ownAmrNb at the stream made for it: adds it as
// the second input, or drops the audio options when the input had no audio,
// and leaves the sound out ("-an") when it could not be decoded.
void useAmrNbTrack(FfmpegJob& job, AmrNbTrack track, const std::string& amrPath);

// Runs a coder job: an own AMR-NB stream first when the job needs one, then
// the job itself; returns the exit status as runEncoder does.
int runCoderJob(const std::string& program, FfmpegJob job);

}  // namespace tessaro
