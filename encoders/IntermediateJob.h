#pragma once
// The intermediate file of the two-stage formats is read by stage two only,
// so conv writes it to keep the source as it is rather than as its options
// say: the source's streams copied where the source allows it (into
// QuickTime for a QuickTime or MP4 source, into NUT for the others),
// otherwise a fast, visually lossless encode into NUT. Stage two tells the
// container by the file's content, not by its ".mp4" name.

#include <string>
#include <vector>

#include "encoders/FfmpegJob.h"

namespace tessaro {

// What ffprobe tells of a source: its demuxer names ("mov,mp4,m4a,...") and
// the codec of each video and audio stream ("" when ffmpeg cannot decode it).
struct SourceStreams {
    std::string container;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    bool oddSize = false;  // a video stream of odd width or height
};

// Reads the "key=value" lines of `ffprobe -of default=nw=1 -show_entries
// format=format_name:stream=codec_name,codec_type,width,height`.
SourceStreams parseSourceStreams(const std::string& csv);

// The job that writes the intermediate for this source: input and output of
// designed, each stream kind copied when the container and every stream of
// that kind copy cleanly, else encoded (video with videoEncoder: "libx264" or
// "mpeg4"; audio as 16-bit PCM). copyAllowed false encodes every stream.
FfmpegJob intermediateJob(const FfmpegJob& designed, const SourceStreams& source,
                          bool copyAllowed, const std::string& videoEncoder);

// conv's run when it writes the intermediate: probes the source, runs the
// copying job and, should ffmpeg refuse the copy, the encoding one. Prints the
// percentages like any conv run; returns the exit status.
int runIntermediate(const std::string& program, const FfmpegJob& designed);

}  // namespace tessaro
