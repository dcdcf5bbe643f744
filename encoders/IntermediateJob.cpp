#include "encoders/IntermediateJob.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <sstream>

#include "encoders/EncoderRun.h"
#include "encoders/FfmpegProcess.h"

namespace tessaro {
namespace {

bool oneOf(const std::string& value, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return value == n; });
}

bool hasDemuxer(const std::string& demuxers, std::initializer_list<const char*> names) {
    std::stringstream ss(demuxers);
    std::string name;
    while (std::getline(ss, name, ','))
        if (oneOf(name, names)) return true;
    return false;
}

// Sources whose timestamps carry over unchanged. Raw streams, AVI and MPEG
// streams have none or need repairs, so they are encoded.
bool copyableContainer(const std::string& demuxers) {
    return hasDemuxer(demuxers, {"flv", "mov", "mp4", "matroska", "webm"});
}

bool allOf(const std::vector<std::string>& codecs, std::initializer_list<const char*> names) {
    return std::all_of(codecs.begin(), codecs.end(),
                       [&](const std::string& c) { return oneOf(c, names); });
}

bool copyableVideo(const std::vector<std::string>& codecs) {
    return allOf(codecs, {"flv1", "h263", "h264", "hevc", "mpeg4", "mpeg1video", "mpeg2video",
                          "vp8", "vp9", "av1"});
}

bool copyableAudio(const std::vector<std::string>& codecs) {
    return allOf(codecs, {"mp3", "mp2", "aac", "ac3", "vorbis", "opus", "flac", "pcm_s16le"});
}

}  // namespace

SourceStreams parseSourceStreams(const std::string& text) {
    SourceStreams s;
    std::stringstream ss(text);
    std::string line, codec;
    while (std::getline(ss, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_name") {
            codec = value;
        } else if (key == "codec_type") {
            // An undecodable stream has no codec_name: it stays "" and copies nowhere.
            if (value == "video") s.video.push_back(codec);
            else if (value == "audio") s.audio.push_back(codec);
            codec.clear();
        } else if (key == "width" || key == "height") {
            s.oddSize = s.oddSize || std::atoi(value.c_str()) % 2 != 0;
        } else if (key == "format_name") {
            s.container = value;
        }
    }
    return s;
}

FfmpegJob intermediateJob(const FfmpegJob& designed, const SourceStreams& source, bool copyAllowed,
                          const std::string& videoEncoder) {
    FfmpegJob job;
    job.input = designed.input;
    job.output = designed.output;
    const bool container = copyAllowed && copyableContainer(source.container);
    // Subtitles and data would reach stage two's outputs, which take neither.
    auto& o = job.outputOptions;
    o = {"-sn", "-dn"};
    if (container && !source.video.empty() && copyableVideo(source.video))
        o.insert(o.end(), {"-c:v", "copy"});
    else if (videoEncoder == "libx264" && !source.oddSize)
        o.insert(o.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "12"});
    else  // odd frame sizes, or no x264
        o.insert(o.end(), {"-c:v", "mpeg4", "-q:v", "2"});
    if (container && !source.audio.empty() && copyableAudio(source.audio))
        o.insert(o.end(), {"-c:a", "copy"});
    else
        o.insert(o.end(), {"-c:a", "pcm_s16le"});
    // QuickTime keeps the edit lists of a QuickTime or MP4 source (start
    // offsets, audio priming); NUT keeps the timestamps of the others, from
    // which stage two derives the frame rate as from the source.
    const bool quickTime = container && hasDemuxer(source.container, {"mov", "mp4"});
    o.insert(o.end(), {"-f", quickTime ? "mov" : "nut"});
    return job;
}

int runIntermediate(const std::string& program, const FfmpegJob& designed) {
    SourceStreams source;
    const std::string ffprobe = findOnPath("ffprobe");
    if (!ffprobe.empty()) {
        std::string text;
        runChild(ffprobe,
                 {"-v", "error", "-of", "default=nw=1", "-show_entries",
                  "format=format_name:stream=codec_name,codec_type,width,height",
                  "file:" + designed.input},
                 [&](const std::string& line) { text += line + "\n"; }, nullptr);
        source = parseSourceStreams(text);
    }
    const std::string ffmpeg = findOnPath("ffmpeg");
    const std::string encoder =
        !ffmpeg.empty() && ffmpegHasEncoder(ffmpeg, "libx264") ? "libx264" : "mpeg4";
    const FfmpegJob copying = intermediateJob(designed, source, true, encoder);
    const FfmpegJob encoding = intermediateJob(designed, source, false, encoder);
    if (copying.outputOptions == encoding.outputOptions)
        return runEncoder(program, encoding, ProgressForm::Percent);
    // A source that a probe passed may still hold packets Matroska refuses.
    const int status = runEncoder(program, copying, ProgressForm::Percent);
    return status == 0 ? 0 : runEncoder(program, encoding, ProgressForm::Percent);
}

}  // namespace tessaro
