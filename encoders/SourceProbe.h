#pragma once
// What the encoders need to know of a source before they choose ffmpeg's
// options: the picture as it is shown (pixel aspect and rotation applied),
// the frame rate, whether it has sound, and its own tags. Read from ffmpeg's
// description of the input, which every ffmpeg prints the same way, and its
// FFMETADATA dump of the tags.

#include <string>
#include <utility>
#include <vector>

namespace tessaro {

struct SourceFacts {
    bool probed = false;  // ffmpeg could read the source
    std::string error;    // else ffmpeg's last line about it, when it gave one
    // The main picture as shown: the stored size with an unknown pixel aspect
    // taken as square, widened or narrowed by a known one, and turned by a
    // rotation of 90 or 270 degrees. 0 when there is no picture.
    int displayWidth = 0, displayHeight = 0;
    double framesPerSecond = 0;  // the lower of "fps" and "tbr"; 0 when unknown
    // Some video stream, a cover picture too, is stored at an odd width or
    // height (which x264 refuses).
    bool oddFrameSize = false;
    // The stream ffmpeg would take as the picture, counted among the video
    // streams that are no cover pictures (ffmpeg's "0:V:N"); -1: none.
    int mainVideo = -1;
    // The first cover picture (a video stream of disposition attached_pic),
    // counted among all video streams ("0:v:N"), and its codec; -1: none.
    int firstCover = -1;
    std::string coverCodec;
    bool audio = false;  // some audio stream
    int audioStreams = 0;
    double duration = -1;  // seconds, from "Duration:"; negative when none is declared
    std::vector<std::pair<std::string, std::string>> tags;       // global tags, in order
    std::vector<std::pair<std::string, std::string>> audioTags;  // the first audio stream's
};

// Reads the facts from ffmpeg's report of one input (the "Input #0" block it
// prints on stderr) and its FFMETADATA text (stdout of `-f ffmetadata`).
SourceFacts sourceFactsFrom(const std::string& inputReport, const std::string& ffmetadata);

// Runs ffmpeg on the source and reads its facts; probed is false when ffmpeg
// cannot read it.
SourceFacts probeSource(const std::string& ffmpeg, const std::string& input);

// The tags that describe the recording (title, artist, album, ...), under
// their usual names; the container's housekeeping (brands, encoder, creation
// time, handler names, vendor ids) is left out.
std::vector<std::pair<std::string, std::string>> descriptiveTags(const SourceFacts& facts);

}  // namespace tessaro
