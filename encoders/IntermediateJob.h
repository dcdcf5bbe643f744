#pragma once
// The intermediate file of the two-stage formats is read by stage two only,
// which tells a container by the file's content, not by its ".mp4" name. So
// conv writes it to keep the source as it is rather than as its options say:
// a source in a container that its content alone identifies is copied byte
// for byte (stage two then decodes exactly what it would decode from the
// source); any other source gets a fast, visually lossless encode into NUT.

#include <string>

#include "encoders/FfmpegJob.h"

namespace tessaro {

// The container that a file starting with these bytes is read as whatever
// its name: "flv", "mov" (QuickTime, MP4, 3GP), "matroska" (and WebM), "avi"
// or "asf". "" for anything else (raw streams, MPEG streams, unknown data),
// whose reading may depend on the file name.
std::string selfIdentifyingContainer(const std::string& head);

struct SourceFacts;

// The encoding job for a source that cannot be copied: input and output of
// designed; video with videoEncoder ("libx264": near-lossless and fast; any
// other value, or an odd frame size, which x264 refuses: MPEG-4 at the finest
// quantiser), audio as 16-bit PCM kept in step; subtitles, data and cover
// pictures left out; NUT.
FfmpegJob intermediateEncodeJob(const FfmpegJob& designed, const SourceFacts& source,
                                const std::string& videoEncoder);

// conv's run when it writes the intermediate: the copy or the encode, with
// the percentages of any conv run. A source that ffmpeg cannot read fails
// here, before stage two would read its copy. Returns the exit status.
int runIntermediate(const std::string& program, const FfmpegJob& designed);

}  // namespace tessaro
