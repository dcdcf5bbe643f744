#include "encoders/FfmpegJob.h"

#include <map>
#include <sstream>

namespace tessaro {
namespace {

// The ffmpeg.exe shipped with the Windows build is 4.1: it has no
// -stats_period, and its MP4 muxer has no tag for AMR-NB audio.
#ifdef _WIN32
constexpr bool kFfmpeg41 = true;
#else
constexpr bool kFfmpeg41 = false;
#endif

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string extensionOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return lower(path.substr(dot));
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

std::string roundedSize(const std::string& size, int step) {
    const auto x = size.find('x');
    if (x == std::string::npos) return size;
    const std::string w = size.substr(0, x), h = size.substr(x + 1);
    if (!isNumber(w) || !isNumber(h) || w.find('.') != std::string::npos ||
        h.find('.') != std::string::npos || w.size() > 6 || h.size() > 6)
        return size;
    auto round = [step](int v) { return v < step ? step : (v + step / 2) / step * step; };
    return std::to_string(round(std::stoi(w))) + "x" + std::to_string(round(std::stoi(h)));
}

// The same for the source's own size, as a scale filter.
std::string roundedSourceSize(int step) {
    const std::string n = std::to_string(step), half = std::to_string(step / 2);
    return "scale='max(" + n + ",trunc((iw+" + half + ")/" + n + ")*" + n + ")':'max(" + n +
           ",trunc((ih+" + half + ")/" + n + ")*" + n + ")'";
}

}  // namespace

FfmpegJob convJob(const std::vector<std::string>& args) {
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
        if (i + 1 >= args.size()) {
            job.error = "option " + a + " needs a value";
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
    if (ovc.empty() || ovc == "lavc") {
        const std::string vcodec = lavc.count("vcodec") ? lavc["vcodec"] : "mpeg4";
        if (vcodec != "mpeg4" && vcodec != "mpeg1video" && vcodec != "mpeg2video") {
            job.error = "unsupported video codec: " + vcodec;
            return job;
        }
        o.insert(o.end(), {"-c:v", vcodec});
        // MPEG-1 knows 15 frames/s only as an extension.
        if (vcodec == "mpeg1video") o.insert(o.end(), {"-strict", "unofficial"});
        if (lavc.count("vbitrate")) o.insert(o.end(), {"-b:v", kbits(lavc["vbitrate"])});
    } else if (ovc == "copy") {
        o.insert(o.end(), {"-c:v", "copy"});
    } else {
        job.error = "unsupported -ovc: " + ovc;
        return job;
    }
    if (!ofps.empty()) o.insert(o.end(), {"-r", ofps});

    // Audio.
    if (oac.empty() || oac == "mp3lame") {
        o.insert(o.end(), {"-c:a", "libmp3lame"});
        if (lame.count("preset")) {
            const std::string p = lame["preset"];
            if (p == "insane") o.insert(o.end(), {"-b:a", "320k"});
            else if (p == "extreme") o.insert(o.end(), {"-q:a", "0"});
            else if (p == "standard") o.insert(o.end(), {"-q:a", "2"});
            else if (p == "medium") o.insert(o.end(), {"-q:a", "4"});
            else if (isNumber(p)) o.insert(o.end(), {"-b:a", p + "k"});
            else { job.error = "unsupported LAME preset: " + p; return job; }
        }
    } else if (oac == "lavc") {
        const std::string acodec = lavc.count("acodec") ? lavc["acodec"] : "mp2";
        if (acodec != "mp2" && acodec != "mp3" && acodec != "ac3") {
            job.error = "unsupported audio codec: " + acodec;
            return job;
        }
        o.insert(o.end(), {"-c:a", acodec == "mp3" ? "libmp3lame" : acodec});
        if (lavc.count("abitrate")) o.insert(o.end(), {"-b:a", lavc["abitrate"] + "k"});
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
    return job;
}

FfmpegJob coderJob(const std::vector<std::string>& args,
                   const std::function<bool(const std::string&)>& hasEncoder) {
    FfmpegJob job;
    std::vector<std::string> rest;
    for (const auto& a : args)
        if (!a.empty()) rest.push_back(a);  // a doubled blank is no argument
    if (rest.empty()) { job.error = "no output file given"; return job; }
    job.output = rest.back();
    rest.pop_back();

    std::string vcodec, size;
    bool haveInput = false, noVideo = false;
    auto& o = job.outputOptions;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        if (a == "-y") continue;  // always overwrite
        if (a == "-vn") {
            o.push_back("-vn");
            noVideo = true;
            continue;
        }
        static const char* const valued[] = {"-i", "-s", "-vcodec", "-b", "-f",
                                             "-acodec", "-ar", "-ab", "-ac"};
        bool known = false;
        for (const char* v : valued) known = known || a == v;
        if (!known) { job.error = "unknown option: " + a; return job; }
        if (i + 1 >= rest.size()) { job.error = "option " + a + " needs a value"; return job; }
        const std::string& v = rest[++i];
        if (a == "-i") {
            if (haveInput) { job.error = "more than one input file given"; return job; }
            job.input = v;
            haveInput = true;
        } else if (a == "-s") {
            size = v;
        } else if (a == "-vcodec") {
            vcodec = v;
            o.insert(o.end(), {"-c:v", v});
        } else if (a == "-b") {
            o.insert(o.end(), {"-b:v", v});
        } else if (a == "-f") {
            o.insert(o.end(), {"-f", v});
        } else if (a == "-acodec") {
            if (v == "amr_nb") {
                if (hasEncoder("libopencore_amrnb")) {
                    o.insert(o.end(), {"-c:a", "libopencore_amrnb"});
                    // There an .mp4 with AMR-NB is written as the 3GP brand
                    // of the same file format, which carries AMR-NB.
                    if (kFfmpeg41 && extensionOf(job.output) == ".mp4") o.insert(o.end(), {"-f", "3gp"});
                }
                else  // same rate, channels and bitrate, in AAC-LC
                    o.insert(o.end(), {"-c:a", "aac", "-profile:a", "aac_low"});
            } else {
                o.insert(o.end(), {"-c:a", v});
            }
        } else if (a == "-ar") {
            o.insert(o.end(), {"-ar", v});
        } else if (a == "-ab") {
            o.insert(o.end(), {"-b:a", v});
        } else if (a == "-ac") {
            // 0 channels (a typed, not picked, channel field) means: keep the source's.
            if (v != "0") o.insert(o.end(), {"-ac", v});
        }
    }
    if (!haveInput) { job.error = "no input file given (-i)"; return job; }
    if (!size.empty())
        o.insert(o.end(), {"-s", roundedSize(size, sizeStep(vcodec))});
    else if (!noVideo)
        o.insert(o.end(), {"-vf", roundedSourceSize(sizeStep(vcodec))});
    return job;
}

std::vector<std::string> ffmpegArguments(const FfmpegJob& job) {
    std::vector<std::string> a = {"-hide_banner", "-nostdin", "-nostats", "-loglevel",
                                  "level+info", "-progress", "pipe:1"};
    // The ffmpeg 4.1 shipped for Windows has no -stats_period (new in 4.4):
    // there the progress comes at ffmpeg's default rate, every half second.
    if (!kFfmpeg41) a.insert(a.end(), {"-stats_period", "0.1"});
    a.insert(a.end(), {"-y", "-i", "file:" + job.input});
    a.insert(a.end(), job.outputOptions.begin(), job.outputOptions.end());
    a.push_back("file:" + job.output);
    return a;
}

}  // namespace tessaro
