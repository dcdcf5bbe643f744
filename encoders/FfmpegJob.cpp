#include "encoders/FfmpegJob.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "encoders/CodecLimits.h"
#include "encoders/CurrentCodecs.h"
#include "encoders/OptionValues.h"
#include "encoders/SourceProbe.h"

namespace tessaro {
namespace {

// RealVideo frames travel in RealMedia packets of under 64 KiB: the rate
// control's buffer bounds every frame to this many kbit.
constexpr double kRealVideoFrameKbits = 480;

// The sample rates of MPEG-1 and MPEG-2 audio, the only MP3 that MP4 carries.
constexpr const char* kMp4Mp3Rates = "aformat=sample_rates=16000|22050|24000|32000|44100|48000";

// MEncoder bitrates are kbit/s, except that values above 16000 are bit/s.
std::string kbits(const TypedNumber& bitrate) {
    return bitrate.value > 16000 ? bitrate.text : bitrate.text + "k";
}

// rv10 only encodes frame sizes that are multiples of 16, and the H.264 and
// MPEG-4 encoders only even ones: take the nearest size that is.
int sizeStep(const std::string& vcodec) { return vcodec == "rv10" ? 16 : 2; }

std::pair<int, int> roundedSize(int width, int height, int step) {
    auto round = [step](int v) { return v < step ? step : (v + step / 2) / step * step; };
    return {round(width), round(height)};
}

// An ffmpeg expression: the side `expression` gives, to the nearest even
// number of at least 2.
std::string evenSide(const std::string& expression) {
    return "max(2,trunc(" + expression + "/2+0.5)*2)";
}

std::string sizeText(std::pair<int, int> size) {
    return std::to_string(size.first) + "x" + std::to_string(size.second);
}

// The same for the source's own size, as a scale filter.
std::string roundedSourceSize(int step) {
    const std::string n = std::to_string(step), half = std::to_string(step / 2);
    return "scale='max(" + n + ",trunc((iw+" + half + ")/" + n + ")*" + n + ")':'max(" + n +
           ",trunc((ih+" + half + ")/" + n + ")*" + n + ")'";
}

// The audio values of a job: channels and sample rate (0: the source's),
// bitrate in kbit/s (0: the encoder's default), and a filter that keeps the
// source's sample rate among those that take the bitrate.
struct AudioChoice {
    int channels = 0;
    int rate = 0;
    double kbits = 0;
    std::string rateFilter;
};

// Moves each audio value to the nearest one the encoder takes, with a note.
void fitAudio(const std::string& encoder, AudioChoice& a, std::vector<std::string>& notes) {
    const AudioCodecLimits* codec = audioCodecLimits(encoder);
    if (!codec) return;
    if (a.channels > codec->maxChannels) {
        notes.push_back(adjustedNote(kChannelField, std::to_string(a.channels),
                                     std::to_string(codec->maxChannels), encoder));
        a.channels = codec->maxChannels;
    }
    if (a.rate > 0 && !codec->sampleRates.empty()) {
        const int rate = nearestRate(codec->sampleRates, a.rate);
        if (rate != a.rate)
            notes.push_back(adjustedNote(kSampleRateField, std::to_string(a.rate),
                                         std::to_string(rate), encoder));
        a.rate = rate;
    }
    if (a.kbits <= 0 || !codec->bitrates) return;
    // Without a sample rate: the bitrates of the highest one, and, for an
    // encoder that would refuse it, the source's rate kept among those that
    // take the bitrate chosen.
    const int rate = a.rate > 0 ? a.rate : codec->sampleRates.back();
    const double kbits = nearestValue(codec->bitrates(rate), a.kbits);
    if (kbits != a.kbits)
        notes.push_back(
            adjustedNote(kAudioBitrateField, numberText(a.kbits), numberText(kbits), encoder));
    a.kbits = kbits;
    if (a.rate > 0 || !codec->refusesOtherBitrates) return;
    const std::vector<int> rates = ratesTaking(*codec, kbits);
    if (rates.size() == codec->sampleRates.size()) return;
    a.rateFilter = "aformat=sample_rates=";
    for (size_t i = 0; i < rates.size(); ++i)
        a.rateFilter += (i ? "|" : "") + std::to_string(rates[i]);
}

// ---- conv -------------------------------------------------------------------

// The frame rate as ffmpeg is to take it: MPEG-1 knows a few rates only.
std::string convFrameRate(const ConvOptions& c, std::vector<std::string>& notes) {
    const TypedNumber& fps = *c.frameRate;
    if (c.copyVideo || c.videoCodec != "mpeg1video") return fps.text;
    double chosen = fps.value;
    const std::string nearest = nearestMpeg1FrameRate(fps.value, &chosen);
    if (std::fabs(chosen - fps.value) <= 1e-9) return fps.text;
    notes.push_back(adjustedNote(kFrameRateField, fps.text, numberText(chosen), c.videoCodec));
    return nearest;
}

void addConvVideo(const ConvOptions& c, FfmpegJob& job) {
    auto& o = job.outputOptions;
    if (c.copyVideo) {
        o.insert(o.end(), {"-c:v", "copy"});
    } else {
        o.insert(o.end(), {"-c:v", c.videoCodec});
        // MPEG-1 knows 15 frames/s only as an extension.
        if (c.videoCodec == "mpeg1video") o.insert(o.end(), {"-strict", "unofficial"});
        if (c.videoBitrate) o.insert(o.end(), {"-b:v", kbits(*c.videoBitrate)});
        // The MPEG encoders share a picture among their threads in slices.
        if (c.threads > 0) o.insert(o.end(), {"-threads", std::to_string(c.threads)});
    }
    if (c.frameRate) o.insert(o.end(), {"-r", convFrameRate(c, job.notes)});
}

// A bitrate the encoder takes, with a note when it is not the one given.
void addAudioBitrate(const std::string& encoder, const TypedNumber& b, FfmpegJob& job,
                     std::vector<std::string>& filters) {
    AudioChoice audio{0, 0, b.value, {}};
    fitAudio(encoder, audio, job.notes);
    job.outputOptions.insert(
        job.outputOptions.end(),
        {"-b:a", (audio.kbits == b.value ? b.text : numberText(audio.kbits)) + "k"});
    if (!audio.rateFilter.empty()) filters.push_back(audio.rateFilter);
}

void addLamePreset(const ConvOptions& c, FfmpegJob& job, std::vector<std::string>& filters) {
    auto& o = job.outputOptions;
    using Preset = ConvOptions::Preset;
    switch (c.preset) {
        case Preset::None:
            return;
        case Preset::Insane:
            o.insert(o.end(), {"-b:a", "320k"});
            return;
        case Preset::Extreme:
            o.insert(o.end(), {"-q:a", "0"});
            return;
        case Preset::Standard:
            o.insert(o.end(), {"-q:a", "2"});
            return;
        case Preset::Medium:
            o.insert(o.end(), {"-q:a", "4"});
            return;
        case Preset::Bitrate:
            addAudioBitrate("libmp3lame", *c.audioBitrate, job, filters);
            return;
    }
}

void addConvAudio(const ConvOptions& c, FfmpegJob& job, std::vector<std::string>& filters) {
    auto& o = job.outputOptions;
    if (c.audio == ConvOptions::Audio::Copy) {
        o.insert(o.end(), {"-c:a", "copy"});
    } else if (c.audio == ConvOptions::Audio::Lame) {
        o.insert(o.end(), {"-c:a", "libmp3lame"});
        addLamePreset(c, job, filters);
    } else {
        const std::string encoder = c.audioCodec == "mp3" ? "libmp3lame" : c.audioCodec;
        o.insert(o.end(), {"-c:a", encoder});
        if (c.audioBitrate) addAudioBitrate(encoder, *c.audioBitrate, job, filters);
    }
}

bool convWritesMp3(const ConvOptions& c) {
    return c.audio == ConvOptions::Audio::Lame ||
           (c.audio == ConvOptions::Audio::Lavc && c.audioCodec == "mp3");
}

// ---- coder ------------------------------------------------------------------

// The audio encoder of a coder job (the one named, or the container's own),
// the container written and the audio values the encoder takes.
struct CoderAudio {
    std::string encoder;  // as -c:a names it; "": the container's
    std::string muxer;
    AudioChoice values;
};

CoderAudio coderAudio(const CoderOptions& c, const HasEncoder& hasEncoder, FfmpegJob& job) {
    CoderAudio a{c.audioCodec, c.container, {}};
    const std::string ext = extensionOf(c.output);
    if (a.encoder == "amr_nb") {
        if (hasEncoder("libopencore_amrnb"))
            a.encoder = "libopencore_amrnb";
        else
            job.ownAmrNb = true;
        // ffmpeg's MP4 muxer has no AMR-NB; 3GPP is the MP4 form that carries it.
        if (a.muxer.empty() && ext == ".mp4") a.muxer = "3gp";
    }
    a.values.channels = c.channels ? static_cast<int>(c.channels->value) : 0;
    a.values.rate = c.sampleRate ? static_cast<int>(std::lround(c.sampleRate->value)) : 0;
    a.values.kbits = c.audioBitrate ? c.audioBitrate->value : 0;
    fitAudio(a.encoder.empty() ? defaultAudioEncoder(c.container, ext.empty() ? "" : ext.substr(1))
                               : a.encoder,
             a.values, job.notes);
    if (job.ownAmrNb && c.audioBitrate) job.amrNbKbits = a.values.kbits;
    return a;
}

void addVideoBitrate(const CoderOptions& c, const SourceFacts* source, FfmpegJob& job) {
    const TypedNumber& b = *c.videoBitrate;
    auto& o = job.outputOptions;
    if (c.videoCodec != "rv10") {
        o.insert(o.end(), {"-b:v", b.text});
        return;
    }
    // rv10 frames travel in RealMedia packets of under 64 KiB: each frame is
    // bounded through the rate control's buffer, which must still hold one
    // frame's share of the bitrate. At a low frame rate the bitrate comes
    // down to what such frames carry.
    std::string bitrate = b.text;
    const double fps = source ? source->framesPerSecond : 0;
    if (fps > 0 && b.value > kRealVideoFrameKbits * fps) {
        const double most = std::max(4.0, std::floor(kRealVideoFrameKbits * fps));
        bitrate = numberText(most) + "k";
        job.notes.push_back(adjustedNote(kVideoBitrateField, b.text, bitrate,
                                         c.videoCodec + "（每秒 " + numberText(fps) + " 帧）"));
    }
    o.insert(o.end(), {"-b:v", bitrate, "-maxrate", bitrate, "-bufsize",
                       numberText(kRealVideoFrameKbits) + "k"});
}

// The output options of one option given, in the place it was given.
void addCoderOption(CoderOption key, const CoderOptions& c, const CoderAudio& a,
                    const SourceFacts* source, FfmpegJob& job) {
    auto& o = job.outputOptions;
    switch (key) {
        case CoderOption::NoVideo:
            o.push_back("-vn");
            return;
        case CoderOption::VideoCodec:
            o.insert(o.end(), {"-c:v", c.videoCodec});
            return;
        case CoderOption::VideoBitrate:
            addVideoBitrate(c, source, job);
            return;
        case CoderOption::Format:
            o.insert(o.end(), {"-f", c.container});
            return;
        case CoderOption::FrameRate:
            o.insert(o.end(), {"-r", c.frameRate->text});
            return;
        case CoderOption::AudioCodec:
            if (!job.ownAmrNb) o.insert(o.end(), {"-c:a", a.encoder});
            return;
        default:
            break;
    }
    if (job.ownAmrNb) return;  // the AMR-NB stream is made at 8000 Hz, mono
    if (key == CoderOption::SampleRate) {
        const TypedNumber& rate = *c.sampleRate;
        o.insert(o.end(),
                 {"-ar", a.values.rate == std::lround(rate.value) ? rate.text
                                                                  : std::to_string(a.values.rate)});
    } else if (key == CoderOption::AudioBitrate) {
        const TypedNumber& b = *c.audioBitrate;
        o.insert(o.end(),
                 {"-b:a", a.values.kbits == b.value ? b.text : numberText(a.values.kbits) + "k"});
    } else if (a.values.channels > 0) {
        // 0 channels (a typed, not picked, channel field) means: keep the source's.
        o.insert(o.end(), {"-ac", std::to_string(a.values.channels)});
    }
}

// A sound file keeps what describes the recording, not the source
// container's housekeeping (brands, creation time, handler names), and,
// where its container has room for one (MP3, FLAC), the first cover as its
// picture: JPEG and PNG as they are, any other picture as PNG.
void addSoundSource(const SourceFacts& source, bool keepsCover, FfmpegJob& job) {
    auto& o = job.outputOptions;
    o.insert(o.end(), {"-map_metadata", "-1"});
    for (const auto& [key, value] : descriptiveTags(source))
        o.insert(o.end(), {"-metadata", key + "=" + value});
    if (source.firstCover < 0 || !keepsCover) return;
    o.erase(std::find(o.begin(), o.end(), "-vn"));
    const bool kept = source.coverCodec == "mjpeg" || source.coverCodec == "png";
    o.insert(o.begin(), {"-map", "0:a:0", "-map", "0:v:" + std::to_string(source.firstCover)});
    o.insert(o.end(), {"-c:v", kept ? "copy" : "png", "-disposition:v:0", "attached_pic",
                       "-metadata:s:v:0", "comment=Cover (front)"});
}

// The -vf filter of the frame: the size given, fitted; for RealVideo without
// one, the picture as shown; otherwise the source's size made one the codec
// encodes.
std::string coderFrame(const CoderOptions& c, const SourceFacts* source,
                       std::vector<std::string>& notes) {
    const int step = sizeStep(c.videoCodec);
    const bool rv10 = c.videoCodec == "rv10";
    const std::string codecName = c.videoCodec.empty() ? "视频编码器" : c.videoCodec;
    if (c.size) {
        std::pair<int, int> frame = roundedSize(c.size->width, c.size->height, step);
        if (rv10) frame = realVideoFrame(frame.first, frame.second);
        if (sizeText(frame) != c.size->text)
            notes.push_back(
                adjustedNote(kVideoSizeField, c.size->text, sizeText(frame), codecName));
        return fitInFrame(frame.first, frame.second);
    }
    if (isCurrentVideoCodec(c.videoCodec)) return shownWithin(currentFrameLimit(c.videoCodec));
    if (!rv10 || !source || source->displayWidth <= 0) return roundedSourceSize(step);
    // RealMedia keeps no pixel aspect: the picture as shown, in the nearest
    // multiples of 16, and no larger than RealVideo encodes.
    const std::pair<int, int> shown{source->displayWidth, source->displayHeight};
    const std::pair<int, int> rounded = roundedSize(shown.first, shown.second, step);
    const std::pair<int, int> frame = realVideoFrame(rounded.first, rounded.second);
    if (frame != rounded)
        notes.push_back(adjustedNote(kVideoSizeField, sizeText(shown), sizeText(frame), codecName));
    return fitInFrame(frame.first, frame.second);
}

// The picture's options: the source's covers left out, the frames it shows
// counted, RealVideo's limits.
void addCoderPicture(const CoderOptions& c, const SourceFacts* source, FfmpegJob& job) {
    auto& o = job.outputOptions;
    const bool probed = source && source->probed;
    if (probed) {
        if (!job.ownAmrNb) {
            const std::vector<std::string> maps = pictureAndSoundMaps(*source);
            o.insert(o.begin(), maps.begin(), maps.end());
        }
        job.keepsPicture = source->mainVideo >= 0;
    }
    o.insert(o.end(), {"-vf", coderFrame(c, source, job.notes)});
    if (isCurrentVideoCodec(c.videoCodec) && probed && !c.frameRate) {
        if (const double rate = currentFrameRate(c.videoCodec, source->framesPerSecond); rate > 0)
            o.insert(o.end(), {"-r", numberText(rate)});
    }
    if (c.videoCodec != "rv10" || !probed) return;
    // RealMedia stores a whole number of frames a second and times in
    // milliseconds: at 29.97 or 59.94 a reader's frame times collide. The
    // nearest whole rate, frames dropped or repeated to keep it.
    const double fps = source->framesPerSecond;
    const long rate = fps > 0 ? std::clamp(std::lround(fps), 1L, 60L) : 25L;
    o.insert(o.end(), {"-r", std::to_string(rate)});
}

// The settings of the codecs and containers of today's players, when named.
void addCurrentCodecs(const CoderOptions& c, const CoderAudio& a, FfmpegJob& job) {
    auto& o = job.outputOptions;
    if (isCurrentVideoCodec(c.videoCodec) && !c.noVideo) {
        const int threads = c.threads > 0 ? c.threads : int(std::thread::hardware_concurrency());
        const auto video = currentVideoOptions(
            c.videoCodec, c.videoBitrate ? c.videoBitrate->text : "", threads);
        o.insert(o.end(), video.begin(), video.end());
    }
    // Any other encoder that threads (the MPEG ones in slices, x264 in frames)
    // takes the threads it is given.
    if (c.threads > 0 && !c.noVideo && c.videoCodec != "libvpx-vp9")
        o.insert(o.end(), {"-threads", std::to_string(c.threads)});
    // Opus runs at 48000 Hz whatever the source's rate.
    if (a.encoder == "libopus" && !c.sampleRate) o.insert(o.end(), {"-ar", "48000"});
    const auto container = currentContainerOptions(c.container, c.noVideo ? "" : c.videoCodec);
    o.insert(o.end(), container.begin(), container.end());
}

FfmpegJob jobOf(const std::string& input, const std::string& output, const std::string& error) {
    FfmpegJob job;
    job.input = input;
    job.output = output;
    job.error = error;
    return job;
}

}  // namespace

FfmpegJob ffmpegJob(const ConvOptions& c, const SourceFacts* source) {
    FfmpegJob job = jobOf(c.input, c.output, c.error);
    if (!job.error.empty()) return job;
    job.threads = c.threads;
    std::vector<std::string> audioFilters;
    addConvVideo(c, job);
    addConvAudio(c, job, audioFilters);
    auto& o = job.outputOptions;
    if (!c.container.empty()) o.insert(o.end(), {"-f", c.container});
    // MP3 of 8000, 11025 or 12000 Hz (MPEG 2.5) is refused by the MP4 muxer:
    // such a source is resampled to the nearest MPEG-1 or MPEG-2 rate.
    if (c.container == "mp4" && convWritesMp3(c) && audioFilters.empty())
        audioFilters.push_back(kMp4Mp3Rates);
    if (c.audio != ConvOptions::Audio::Copy) {
        std::string chain = kSoundInStep;
        for (const std::string& f : audioFilters) chain += "," + f;
        o.insert(o.end(), {"-af", chain});
    }
    if (source && source->probed) {
        const std::vector<std::string> maps = pictureAndSoundMaps(*source);
        o.insert(o.begin(), maps.begin(), maps.end());
        job.keepsPicture = source->mainVideo >= 0;
    }
    return job;
}

FfmpegJob ffmpegJob(const CoderOptions& c, const HasEncoder& hasEncoder,
                    const SourceFacts* source) {
    FfmpegJob job = jobOf(c.input, c.output, c.error);
    if (!job.error.empty()) return job;
    job.threads = c.threads;
    const CoderAudio audio = coderAudio(c, hasEncoder, job);
    auto& o = job.outputOptions;
    if (job.ownAmrNb) {
        const int picture = source && source->mainVideo > 0 ? source->mainVideo : 0;
        o.insert(o.end(),
                 {"-map", "0:V:" + std::to_string(picture) + "?", "-map", "1:a:0", "-c:a", "copy"});
    }
    for (const CoderOption key : c.order) addCoderOption(key, c, audio, source, job);
    addCurrentCodecs(c, audio, job);
    if (!job.ownAmrNb)
        o.insert(o.end(), {"-af", audio.values.rateFilter.empty()
                                      ? std::string(kSoundInStep)
                                      : kSoundInStep + ("," + audio.values.rateFilter)});
    if (audio.muxer != c.container) o.insert(o.end(), {"-f", audio.muxer});
    // The options depend on the source: an MP3's tags, the picture's covers,
    // RealVideo's frame limits.
    job.wantsSource = true;
    job.audioOnly = c.noVideo;
    if (!c.noVideo)
        addCoderPicture(c, source, job);
    else if (source && source->probed)
        addSoundSource(*source, containerKeepsCover(c.container, extensionOf(c.output)), job);
    return job;
}

FfmpegJob convJob(const std::vector<std::string>& args, const SourceFacts* source) {
    return ffmpegJob(readConvOptions(args), source);
}

FfmpegJob coderJob(const std::vector<std::string>& args, const HasEncoder& hasEncoder,
                   const SourceFacts* source) {
    return ffmpegJob(readCoderOptions(args), hasEncoder, source);
}

std::vector<std::string> pictureAndSoundMaps(const SourceFacts& source) {
    if (source.firstCover < 0) return {};
    return {"-map", "0:V:" + std::to_string(std::max(source.mainVideo, 0)) + "?", "-map", "0:a:0?"};
}

std::string fitInFrame(int width, int height) {
    const std::string w = std::to_string(width), h = std::to_string(height);
    const std::string wider = "gt(dar," + w + "/" + h + ")";
    return "scale='if(" + wider + "," + w + "," + evenSide(h + "*dar") + ")':'if(" + wider + "," +
           evenSide(w + "/dar") + "," + h + ")',setsar=1,pad=" + w + ":" + h +
           ":(ow-iw)/2:(oh-ih)/2";
}

std::string shownWithin(std::pair<int, int> limit) {
    const std::string longSide = std::to_string(limit.first);
    const std::string shortSide = std::to_string(limit.second);
    // The picture as shown (an unknown pixel aspect is square), and the factor
    // that brings its long and short sides within the limit.
    const std::string w = "iw*sar", h = "ih";
    const std::string k = "min(1,min(" + longSide + "/max(" + w + "," + h + ")," + shortSide +
                          "/min(" + w + "," + h + ")))";
    return "scale='" + evenSide(w + "*" + k) + "':'" + evenSide(h + "*" + k) + "',setsar=1";
}

std::pair<int, int> realVideoFrame(int width, int height) {
    constexpr double kMostMacroblocks = 4095, kLongestSide = 4080;
    const double blocks = std::ceil(width / 16.0) * std::ceil(height / 16.0);
    if (blocks <= kMostMacroblocks && width <= kLongestSide && height <= kLongestSide)
        return {width, height};
    const double k = std::min({std::sqrt(kMostMacroblocks * 256 / (double(width) * height)),
                               kLongestSide / width, kLongestSide / height});
    auto side = [k](int v) { return std::max(16, static_cast<int>(std::floor(v * k / 16)) * 16); };
    return {side(width), side(height)};
}

std::vector<std::string> ffmpegArguments(const FfmpegJob& job, bool statsPeriod) {
    std::vector<std::string> a = {"-hide_banner", "-nostdin",  "-nostats", "-loglevel",
                                  "level+info",   "-progress", "pipe:1"};
    // Without -stats_period (before 4.4) the progress comes at ffmpeg's
    // default rate, every half second.
    if (statsPeriod) a.insert(a.end(), {"-stats_period", "0.1"});
    a.push_back("-y");
    if (job.threads > 0) a.insert(a.end(), {"-threads", std::to_string(job.threads)});
    a.insert(a.end(), job.inputOptions.begin(), job.inputOptions.end());
    a.insert(a.end(), {"-i", "file:" + job.input});
    for (const ExtraInput& extra : job.extraInputs) {
        a.insert(a.end(), extra.options.begin(), extra.options.end());
        a.insert(a.end(), {"-i", "file:" + extra.path});
    }
    a.insert(a.end(), job.outputOptions.begin(), job.outputOptions.end());
    a.push_back("file:" + job.output);
    return a;
}

std::string noteLines(const std::string& program, const FfmpegJob& job) {
    std::string text;
    for (const std::string& note : job.notes) text += program + ": " + note + "\n";
    return text;
}

}  // namespace tessaro
