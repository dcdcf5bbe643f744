#include "encoders/CurrentCodecs.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

// Per codec: the options it always takes, those that set its quality when
// no bitrate is given, and the largest frame (long and short side) its
// players take. The presets and quality levels are measured (bench/formats.sh):
// each encodes a detailed 720p clip at least twice as fast as it plays
// (H.265: as fast) on two cores, at 38 dB PSNR or better.
struct CurrentVideo {
    const char* codec;
    std::vector<std::string> always;
    std::vector<std::string> byQuality;
    int longSide, shortSide;
};

const CurrentVideo kVideo[] = {
    {"libx264",
     {"-preset", "veryfast", "-profile:v", "high", "-pix_fmt", "yuv420p"},
     {"-crf", "20"},
     1920,
     1080},
    {"libx265",
     {"-preset", "superfast", "-pix_fmt", "yuv420p", "-x265-params", "log-level=error"},
     {"-crf", "24"},
     3840,
     2160},
    {"libvpx-vp9",
     {"-deadline", "realtime", "-cpu-used", "7", "-row-mt", "1", "-pix_fmt", "yuv420p"},
     {"-crf", "36", "-b:v", "0"},
     3840,
     2160},
};

const CurrentVideo* currentVideo(const std::string& codec) {
    for (const CurrentVideo& v : kVideo)
        if (codec == v.codec) return &v;
    return nullptr;
}

// The players' highest frame rate.
constexpr double kMostFramesPerSecond = 60;

}  // namespace

bool isCurrentVideoCodec(const std::string& codec) { return currentVideo(codec) != nullptr; }

std::vector<std::string> currentVideoOptions(const std::string& codec, const std::string& bitrate,
                                             int threads) {
    const CurrentVideo* v = currentVideo(codec);
    if (!v) return {};
    std::vector<std::string> options = v->always;
    if (bitrate.empty()) options.insert(options.end(), v->byQuality.begin(), v->byQuality.end());
    // libvpx's real-time rate control overshoots a bare target by a fifth on
    // busy pictures: a constant rate holds it.
    else if (codec == "libvpx-vp9")
        options.insert(options.end(), {"-minrate", bitrate, "-maxrate", bitrate});
    // x265 builds its thread pool on every processor unless told otherwise.
    if (codec == "libx265" && threads > 0) {
        std::string& params = *(std::find(options.begin(), options.end(), "-x265-params") + 1);
        params += ":pools=" + std::to_string(threads);
    }
    // libvpx takes one thread unless told otherwise (ffmpeg 4.1 and older);
    // its tiles give the threads columns of their own.
    if (codec == "libvpx-vp9")
        options.insert(options.end(), {"-threads", std::to_string(threads > 0 ? threads : 1),
                                       "-tile-columns", "2"});
    return options;
}

std::pair<int, int> currentFrameLimit(const std::string& codec) {
    const CurrentVideo* v = currentVideo(codec);
    return v ? std::pair{v->longSide, v->shortSide} : std::pair{3840, 2160};
}

double currentFrameRate(const std::string& codec, double sourceFramesPerSecond) {
    if (!currentVideo(codec) || sourceFramesPerSecond <= kMostFramesPerSecond + 0.01) return 0;
    return sourceFramesPerSecond / std::ceil(sourceFramesPerSecond / kMostFramesPerSecond - 0.0002);
}

std::vector<std::string> currentContainerOptions(const std::string& container,
                                                 const std::string& videoCodec) {
    std::vector<std::string> options;
    if (container == "mp4" || container == "ipod") options = {"-movflags", "+faststart"};
    if (container == "mp4" && videoCodec == "libx265")
        options.insert(options.end(), {"-tag:v", "hvc1"});
    if (container == "wav") options = {"-rf64", "auto"};
    return options;
}

bool containerKeepsCover(const std::string& container, const std::string& outputExtension) {
    if (!container.empty()) return container == "mp3" || container == "flac";
    return outputExtension == ".mp3" || outputExtension == ".flac";
}

}  // namespace tessaro
