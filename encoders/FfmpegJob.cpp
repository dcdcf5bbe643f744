#include "encoders/FfmpegJob.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "encoders/CodecLimits.h"
#include "encoders/OptionValues.h"
#include "encoders/SourceProbe.h"

namespace tessaro {
namespace {

// RealVideo frames travel in RealMedia packets of under 64 KiB: the rate
// control's buffer bounds every frame to this many kbit.
constexpr double kRealVideoFrameKbits = 480;

// The sample rates of MPEG-1 and MPEG-2 audio, the only MP3 that MP4 carries.
constexpr const char* kMp4Mp3Rates = "aformat=sample_rates=16000|22050|24000|32000|44100|48000";

std::string extensionOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return asciiLower(path.substr(dot));
}

// "a=1:b=2" -> {a:1, b:2}; a key without '=' maps to "".
std::map<std::string, std::string> suboptions(const std::string& text) {
    std::map<std::string, std::string> out;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ':')) {
        if (item.empty()) continue;
        const auto eq = item.find('=');
        if (eq == std::string::npos)
            out[item] = "";
        else
            out[item.substr(0, eq)] = item.substr(eq + 1);
    }
    return out;
}

bool isNumber(const std::string& s) {
    if (s.empty()) return false;
    bool dot = false;
    for (char c : s) {
        if (c == '.' && !dot) dot = true;
        else if (c < '0' || c > '9') return false;
    }
    return true;
}

// MEncoder bitrates are kbit/s, except that values above 16000 are bit/s.
std::string kbits(const std::string& value) {
    if (isNumber(value) && std::stod(value) > 16000) return value;
    return value + "k";
}

// rv10 only encodes frame sizes that are multiples of 16, and the H.264 and
// MPEG-4 encoders only even ones: take the nearest size that is.
int sizeStep(const std::string& vcodec) { return vcodec == "rv10" ? 16 : 2; }

std::pair<int, int> roundedSize(int width, int height, int step) {
    auto round = [step](int v) { return v < step ? step : (v + step / 2) / step * step; };
    return {round(width), round(height)};
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


// The panel field an old-syntax option carries; nullptr for the others.
const char* optionField(const std::string& option) {
    if (option == "-s") return kVideoSizeField;
    if (option == "-b") return kVideoBitrateField;
    if (option == "-ar") return kSampleRateField;
    if (option == "-ab") return kAudioBitrateField;
    if (option == "-ac") return kChannelField;
    return nullptr;
}

// An ffmpeg bitrate of the old syntax in kbit/s: "128k", or bit/s without the k.
NumberValue readBitrate(const char* field, const std::string& text, double minKbits,
                        double maxKbits) {
    const bool kilo = !text.empty() && text.back() == 'k';
    NumberValue n = readNumber(field, text, kilo ? minKbits : minKbits * 1000,
                               kilo ? maxKbits : maxKbits * 1000, 'k');
    if (!kilo) n.value /= 1000;
    return n;
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
        notes.push_back(adjustedNote(kAudioBitrateField, numberText(a.kbits), numberText(kbits),
                                     encoder));
    a.kbits = kbits;
    if (a.rate > 0 || !codec->refusesOtherBitrates) return;
    const std::vector<int> rates = ratesTaking(*codec, kbits);
    if (rates.size() == codec->sampleRates.size()) return;
    a.rateFilter = "aformat=sample_rates=";
    for (size_t i = 0; i < rates.size(); ++i)
        a.rateFilter += (i ? "|" : "") + std::to_string(rates[i]);
}

}  // namespace

FfmpegJob convJob(const std::vector<std::string>& args, const SourceFacts* source) {
    FfmpegJob job;
    std::string oac, ovc, of, ofps;
    std::map<std::string, std::string> lavc, lame, lavf;
    bool haveInput = false, haveOutput = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty()) continue;
        static const char* const valued[] = {"-oac", "-lameopts", "-ovc", "-lavcopts",
                                             "-ofps", "-of", "-lavfopts", "-o"};
        bool known = false;
        for (const char* v : valued) known = known || a == v;
        if (!known) {
            // Anything that is not one of our options is the input, even when
            // its name starts with '-'.
            if (haveInput) {
                job.error = "more than one input file given: " + a;
                return job;
            }
            job.input = a;
            haveInput = true;
            continue;
        }
        // An empty frame-rate field leaves -ofps followed by the next option.
        bool nextKnown = false;
        for (const char* v : valued) nextKnown = nextKnown || (i + 1 < args.size() && args[i + 1] == v);
        if (i + 1 >= args.size() || nextKnown) {
            job.error = a == "-ofps" ? emptyField(kFrameRateField) : "option " + a + " needs a value";
            return job;
        }
        const std::string& v = args[++i];
        if (a == "-oac") oac = v;
        else if (a == "-ovc") ovc = v;
        else if (a == "-of") of = v;
        else if (a == "-ofps") ofps = v;
        else if (a == "-o") { job.output = v; haveOutput = true; }
        else {
            auto& target = a == "-lavcopts" ? lavc : a == "-lameopts" ? lame : lavf;
            for (auto& [k, val] : suboptions(v)) target[k] = val;
        }
    }
    if (!haveInput) { job.error = "no input file given"; return job; }
    if (!haveOutput || job.output.empty()) { job.error = "no output file given (-o)"; return job; }

    auto& o = job.outputOptions;
    // Video.
    std::string vcodec;
    if (ovc.empty() || ovc == "lavc") {
        vcodec = lavc.count("vcodec") ? lavc["vcodec"] : "mpeg4";
        if (vcodec != "mpeg4" && vcodec != "mpeg1video" && vcodec != "mpeg2video") {
            job.error = "unsupported video codec: " + vcodec;
            return job;
        }
        o.insert(o.end(), {"-c:v", vcodec});
        // MPEG-1 knows 15 frames/s only as an extension.
        if (vcodec == "mpeg1video") o.insert(o.end(), {"-strict", "unofficial"});
        if (lavc.count("vbitrate")) {
            // kbit/s up to 16000, bit/s above, as MEncoder reads it.
            const NumberValue b = readNumber(kVideoBitrateField, lavc["vbitrate"], 4, 24000000);
            if (!b.error.empty()) { job.error = b.error; return job; }
            o.insert(o.end(), {"-b:v", kbits(lavc["vbitrate"])});
        }
    } else if (ovc == "copy") {
        o.insert(o.end(), {"-c:v", "copy"});
    } else {
        job.error = "unsupported -ovc: " + ovc;
        return job;
    }
    if (!ofps.empty()) {
        const NumberValue fps = readNumber(kFrameRateField, ofps, 1, 120);
        if (!fps.error.empty()) { job.error = fps.error; return job; }
        std::string rate = ofps;
        double chosen = fps.value;
        if (vcodec == "mpeg1video") {
            const std::string nearest = nearestMpeg1FrameRate(fps.value, &chosen);
            if (std::fabs(chosen - fps.value) > 1e-9) {
                job.notes.push_back(adjustedNote(kFrameRateField, ofps, numberText(chosen), vcodec));
                rate = nearest;
            }
        }
        o.insert(o.end(), {"-r", rate});
    }

    // Audio: a bitrate the encoder takes, with a note when it is not the one given.
    std::vector<std::string> audioFilters;
    auto audioBitrate = [&](const std::string& encoder, const std::string& text) {
        const NumberValue b = readNumber(kAudioBitrateField, text, 1, 1000);
        if (!b.error.empty()) { job.error = b.error; return; }
        AudioChoice audio{0, 0, b.value, {}};
        fitAudio(encoder, audio, job.notes);
        o.insert(o.end(), {"-b:a", (audio.kbits == b.value ? text : numberText(audio.kbits)) + "k"});
        if (!audio.rateFilter.empty()) audioFilters.push_back(audio.rateFilter);
    };
    if (oac.empty() || oac == "mp3lame") {
        o.insert(o.end(), {"-c:a", "libmp3lame"});
        if (lame.count("preset")) {
            const std::string p = lame["preset"];
            if (p == "insane") o.insert(o.end(), {"-b:a", "320k"});
            else if (p == "extreme") o.insert(o.end(), {"-q:a", "0"});
            else if (p == "standard") o.insert(o.end(), {"-q:a", "2"});
            else if (p == "medium") o.insert(o.end(), {"-q:a", "4"});
            else audioBitrate("libmp3lame", p);
            if (!job.error.empty()) return job;
        }
    } else if (oac == "lavc") {
        const std::string acodec = lavc.count("acodec") ? lavc["acodec"] : "mp2";
        if (acodec != "mp2" && acodec != "mp3" && acodec != "ac3") {
            job.error = "unsupported audio codec: " + acodec;
            return job;
        }
        const std::string encoder = acodec == "mp3" ? "libmp3lame" : acodec;
        o.insert(o.end(), {"-c:a", encoder});
        if (lavc.count("abitrate")) audioBitrate(encoder, lavc["abitrate"]);
        if (!job.error.empty()) return job;
    } else if (oac == "copy") {
        o.insert(o.end(), {"-c:a", "copy"});
    } else {
        job.error = "unsupported -oac: " + oac;
        return job;
    }

    // Container: a name ending in .mp4 gets an MP4 file whatever -of says,
    // since AVI under that name plays nowhere MP4 is expected to.
    const std::string ext = extensionOf(job.output);
    std::string container;
    if (of.empty() || of == "avi") {
        container = ext == ".mp4" ? "mp4" : "avi";
    } else if (of == "lavf") {
        if (ext == ".mpg" || ext == ".mpeg") container = "mpeg";
        else if (ext == ".avi") container = "avi";
        else if (ext == ".mp4") container = "mp4";
        else if (lavf.count("format") && lavf["format"] != "yuv4mpeg") container = lavf["format"];
    } else if (of == "mpeg") {
        container = "mpeg";
    } else {
        job.error = "unsupported -of: " + of;
        return job;
    }
    if (!container.empty()) o.insert(o.end(), {"-f", container});
    // MP3 of 8000, 11025 or 12000 Hz (MPEG 2.5) is refused by the MP4 muxer:
    // such a source is resampled to the nearest MPEG-1 or MPEG-2 rate.
    const bool mp3 =
        (oac.empty() || oac == "mp3lame") || (oac == "lavc" && lavc["acodec"] == "mp3");
    if (container == "mp4" && mp3 && audioFilters.empty()) audioFilters.push_back(kMp4Mp3Rates);
    if (oac != "copy") {
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

FfmpegJob coderJob(const std::vector<std::string>& args,
                   const std::function<bool(const std::string&)>& hasEncoder,
                   const SourceFacts* source) {
    FfmpegJob job;
    std::vector<std::string> rest;
    for (const auto& a : args)
        if (!a.empty()) rest.push_back(a);  // a doubled blank is no argument
    if (rest.empty()) { job.error = "no output file given"; return job; }
    job.output = rest.back();
    rest.pop_back();

    static const char* const valued[] = {"-i", "-s", "-vcodec", "-b", "-f",
                                         "-acodec", "-ar", "-ab", "-ac"};
    auto isOption = [](const std::string& a) {
        for (const char* v : valued)
            if (a == v) return true;
        return a == "-y" || a == "-vn";
    };
    std::map<std::string, std::string> given;  // option -> value
    std::vector<std::string> order;            // options in the order given
    bool haveInput = false, noVideo = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        if (a == "-y") continue;  // always overwrite
        if (a == "-vn") {
            noVideo = true;
            order.push_back(a);
            continue;
        }
        if (!isOption(a)) { job.error = "unknown option: " + a; return job; }
        // An empty panel field leaves its option followed by the next one.
        if (i + 1 >= rest.size() || isOption(rest[i + 1])) {
            const char* field = optionField(a);
            job.error = field ? emptyField(field) : "option " + a + " needs a value";
            return job;
        }
        const std::string& v = rest[++i];
        if (a == "-i") {
            if (haveInput) { job.error = "more than one input file given"; return job; }
            job.input = v;
            haveInput = true;
            continue;
        }
        if (!given.count(a)) order.push_back(a);
        given[a] = v;
    }
    if (!haveInput) { job.error = "no input file given (-i)"; return job; }

    // The panel's values, read and checked.
    const std::string vcodec = given.count("-vcodec") ? given["-vcodec"] : "";
    NumberValue videoKbits, rate, audioKbits, channels;
    SizeValue size;
    if (given.count("-b")) videoKbits = readBitrate(kVideoBitrateField, given["-b"], 4, 100000);
    if (given.count("-s")) size = readSize(given["-s"]);
    if (given.count("-ar")) rate = readNumber(kSampleRateField, given["-ar"], 1000, 192000);
    if (given.count("-ab")) audioKbits = readBitrate(kAudioBitrateField, given["-ab"], 1, 1000);
    if (given.count("-ac")) channels = readNumber(kChannelField, given["-ac"], 0, 8);
    for (const auto* v : {&videoKbits, &rate, &audioKbits, &channels})
        if (!v->error.empty()) { job.error = v->error; return job; }
    if (!size.error.empty()) { job.error = size.error; return job; }

    // The audio encoder: the one named, or the container's own.
    std::string acodec = given.count("-acodec") ? given["-acodec"] : "";
    const std::string ext = extensionOf(job.output);
    const std::string container = given.count("-f") ? given["-f"] : "";
    std::string muxer = container;
    if (acodec == "amr_nb") {
        if (hasEncoder("libopencore_amrnb")) acodec = "libopencore_amrnb";
        else job.ownAmrNb = true;
        // ffmpeg's MP4 muxer has no AMR-NB; 3GPP is the MP4 form that carries it.
        if (muxer.empty() && ext == ".mp4") muxer = "3gp";
    }
    AudioChoice audio{static_cast<int>(channels.value), static_cast<int>(std::lround(rate.value)),
                      audioKbits.value, {}};
    fitAudio(acodec.empty() ? defaultAudioEncoder(container, ext.empty() ? "" : ext.substr(1))
                            : acodec,
             audio, job.notes);
    if (job.ownAmrNb && audioKbits.value > 0) job.amrNbKbits = audio.kbits;

    auto& o = job.outputOptions;
    if (job.ownAmrNb) {
        const int picture = source && source->mainVideo > 0 ? source->mainVideo : 0;
        o.insert(o.end(),
                 {"-map", "0:V:" + std::to_string(picture) + "?", "-map", "1:a:0", "-c:a", "copy"});
    }
    for (const std::string& a : order) {
        const std::string& v = given[a];
        if (a == "-vn") {
            o.push_back("-vn");
        } else if (a == "-vcodec") {
            o.insert(o.end(), {"-c:v", v});
        } else if (a == "-b") {
            if (vcodec != "rv10") {
                o.insert(o.end(), {"-b:v", v});
                continue;
            }
            // rv10 frames travel in RealMedia packets of under 64 KiB: each
            // frame is bounded through the rate control's buffer, which must
            // still hold one frame's share of the bitrate. At a low frame rate
            // the bitrate comes down to what such frames carry.
            std::string bitrate = v;
            const double fps = source ? source->framesPerSecond : 0;
            if (fps > 0 && videoKbits.value > kRealVideoFrameKbits * fps) {
                const double most = std::max(4.0, std::floor(kRealVideoFrameKbits * fps));
                bitrate = numberText(most) + "k";
                job.notes.push_back(adjustedNote(kVideoBitrateField, v, bitrate,
                                                 vcodec + "（每秒 " + numberText(fps) + " 帧）"));
            }
            o.insert(o.end(), {"-b:v", bitrate, "-maxrate", bitrate, "-bufsize",
                               numberText(kRealVideoFrameKbits) + "k"});
        } else if (a == "-f") {
            o.insert(o.end(), {"-f", v});
        } else if (a == "-acodec") {
            if (!job.ownAmrNb) o.insert(o.end(), {"-c:a", acodec});
        } else if (job.ownAmrNb) {
            continue;  // the AMR-NB stream is made at 8000 Hz, mono
        } else if (a == "-ar") {
            o.insert(o.end(), {"-ar", audio.rate == std::lround(rate.value) ? v
                                                                          : std::to_string(audio.rate)});
        } else if (a == "-ab") {
            o.insert(o.end(), {"-b:a", audio.kbits == audioKbits.value ? v
                                                                       : numberText(audio.kbits) + "k"});
        } else if (a == "-ac") {
            // 0 channels (a typed, not picked, channel field) means: keep the source's.
            if (audio.channels > 0) o.insert(o.end(), {"-ac", std::to_string(audio.channels)});
        }
    }
    if (!job.ownAmrNb)
        o.insert(o.end(),
                 {"-af", audio.rateFilter.empty() ? std::string(kSoundInStep)
                                                  : kSoundInStep + ("," + audio.rateFilter)});
    if (muxer != container) o.insert(o.end(), {"-f", muxer});
    // An MP3 keeps what describes the recording, not the source container's
    // housekeeping (brands, creation time, handler names).
    if (noVideo) job.wantsSource = true;
    if (noVideo && source && source->probed) {
        o.insert(o.end(), {"-map_metadata", "-1"});
        for (const auto& [key, value] : descriptiveTags(*source))
            o.insert(o.end(), {"-metadata", key + "=" + value});
        if (source->firstCover >= 0) {
            // The first cover as the MP3's picture frame: JPEG and PNG as
            // they are, any other picture as PNG.
            o.erase(std::find(o.begin(), o.end(), "-vn"));
            const bool kept = source->coverCodec == "mjpeg" || source->coverCodec == "png";
            o.insert(o.begin(),
                     {"-map", "0:a:0", "-map", "0:v:" + std::to_string(source->firstCover)});
            o.insert(o.end(), {"-c:v", kept ? "copy" : "png", "-disposition:v:0", "attached_pic",
                               "-metadata:s:v:0", "comment=Cover (front)"});
        }
    }
    job.audioOnly = noVideo;
    if (noVideo) return job;

    // The picture's options depend on the source: its covers left out, the
    // frames it shows counted, RealVideo's limits.
    job.wantsSource = true;
    if (source && source->probed) {
        if (!job.ownAmrNb) {
            const std::vector<std::string> maps = pictureAndSoundMaps(*source);
            o.insert(o.begin(), maps.begin(), maps.end());
        }
        job.keepsPicture = source->mainVideo >= 0;
    }
    const int step = sizeStep(vcodec);
    const bool rv10 = vcodec == "rv10";
    const std::string codecName = vcodec.empty() ? "视频编码器" : vcodec;
    if (given.count("-s")) {
        std::pair<int, int> frame = roundedSize(size.width, size.height, step);
        if (rv10) frame = realVideoFrame(frame.first, frame.second);
        if (sizeText(frame) != given["-s"])
            job.notes.push_back(
                adjustedNote(kVideoSizeField, given["-s"], sizeText(frame), codecName));
        o.insert(o.end(), {"-vf", fitInFrame(frame.first, frame.second)});
    } else if (rv10 && source && source->displayWidth > 0) {
        // RealMedia keeps no pixel aspect: the picture as shown, in the
        // nearest multiples of 16, and no larger than RealVideo encodes.
        const std::pair<int, int> shown{source->displayWidth, source->displayHeight};
        const std::pair<int, int> rounded = roundedSize(shown.first, shown.second, step);
        const std::pair<int, int> frame = realVideoFrame(rounded.first, rounded.second);
        if (frame != rounded)
            job.notes.push_back(
                adjustedNote(kVideoSizeField, sizeText(shown), sizeText(frame), codecName));
        o.insert(o.end(), {"-vf", fitInFrame(frame.first, frame.second)});
    } else {
        o.insert(o.end(), {"-vf", roundedSourceSize(step)});
    }
    if (rv10 && source && source->probed) {
        // RealMedia stores a whole number of frames a second and times in
        // milliseconds: at 29.97 or 59.94 a reader's frame times collide.
        // The nearest whole rate, frames dropped or repeated to keep it.
        const double fps = source->framesPerSecond;
        const long rate = fps > 0 ? std::clamp(std::lround(fps), 1L, 60L) : 25L;
        o.insert(o.end(), {"-r", std::to_string(rate)});
    }
    return job;
}

std::vector<std::string> pictureAndSoundMaps(const SourceFacts& source) {
    if (source.firstCover < 0) return {};
    return {"-map", "0:V:" + std::to_string(std::max(source.mainVideo, 0)) + "?", "-map", "0:a:0?"};
}

std::string fitInFrame(int width, int height) {
    const std::string w = std::to_string(width), h = std::to_string(height);
    const std::string wider = "gt(dar," + w + "/" + h + ")";
    return "scale='if(" + wider + "," + w + ",max(2,trunc(" + h + "*dar/2+0.5)*2))':'if(" + wider +
           ",max(2,trunc(" + w + "/dar/2+0.5)*2)," + h + ")',setsar=1,pad=" + w + ":" + h +
           ":(ow-iw)/2:(oh-ih)/2";
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
    std::vector<std::string> a = {"-hide_banner", "-nostdin", "-nostats", "-loglevel",
                                  "level+info", "-progress", "pipe:1"};
    // Without -stats_period (before 4.4) the progress comes at ffmpeg's
    // default rate, every half second.
    if (statsPeriod) a.insert(a.end(), {"-stats_period", "0.1"});
    a.insert(a.end(), {"-y", "-i", "file:" + job.input});
    for (const std::string& extra : job.extraInputs) a.insert(a.end(), {"-i", "file:" + extra});
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
