#include "encoders/EncoderOptions.h"

#include <map>
#include <sstream>
#include <utility>

#include "encoders/OptionValues.h"

namespace tessaro {
namespace {

// ---- conv -------------------------------------------------------------------

constexpr const char* kConvValued[] = {"-oac",  "-lameopts", "-ovc",      "-lavcopts",
                                       "-ofps", "-of",       "-lavfopts", "-o"};

bool isConvOption(const std::string& arg) {
    for (const char* option : kConvValued)
        if (arg == option) return true;
    return false;
}

// "a=1:b=2" -> {a:1, b:2}; a key without '=' maps to "".
void addSuboptions(const std::string& text, std::map<std::string, std::string>& out) {
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ':')) {
        if (item.empty()) continue;
        const auto eq = item.find('=');
        out[item.substr(0, eq)] = eq == std::string::npos ? "" : item.substr(eq + 1);
    }
}

// conv's options as given: the plain ones by name, the suboptions of
// -lavcopts (given once or more), -lameopts and -lavfopts merged.
struct ConvTexts {
    std::map<std::string, std::string> plain;
    std::map<std::string, std::string> lavc, lame, lavf;
    std::string get(const std::string& option) const {
        const auto it = plain.find(option);
        return it == plain.end() ? std::string() : it->second;
    }
};

// Sorts the arguments into the texts and the input; "" or the reason.
std::string collectConvTexts(const std::vector<std::string>& args, ConvTexts& t, ConvOptions& c) {
    bool haveInput = false, haveOutput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty()) continue;
        if (!isConvOption(a)) {
            if (haveInput) return "more than one input file given: " + a;
            c.input = a;
            haveInput = true;
            continue;
        }
        // An empty frame-rate field leaves -ofps followed by the next option.
        if (i + 1 >= args.size() || isConvOption(args[i + 1]))
            return a == "-ofps" ? emptyField(kFrameRateField) : "option " + a + " needs a value";
        const std::string& v = args[++i];
        if (a == "-lavcopts")
            addSuboptions(v, t.lavc);
        else if (a == "-lameopts")
            addSuboptions(v, t.lame);
        else if (a == "-lavfopts")
            addSuboptions(v, t.lavf);
        else
            t.plain[a] = v;
        if (a == "-o") c.output = v;
        haveOutput = haveOutput || a == "-o";
    }
    if (!haveInput) return "no input file given";
    if (!haveOutput || c.output.empty()) return "no output file given (-o)";
    return {};
}

// A thread count of 1 to kMostThreads; "" or the reason.
std::string readThreads(const std::string& text, int& threads) {
    const NumberValue n = readNumber(kThreadsField, text, 1, kMostThreads);
    if (!n.error.empty()) return n.error;
    if (n.value != static_cast<int>(n.value)) return std::string(kThreadsField) + "“" + text + "”不是整数";
    threads = static_cast<int>(n.value);
    return {};
}

// Reads text into out; "" or the reason.
std::string typed(std::optional<TypedNumber>& out, const NumberValue& n, const std::string& text) {
    if (n.error.empty()) out = TypedNumber{n.value, text};
    return n.error;
}

std::string readConvVideo(const ConvTexts& t, ConvOptions& c) {
    const std::string ovc = t.get("-ovc");
    if (ovc == "copy") {
        c.copyVideo = true;
    } else if (ovc.empty() || ovc == "lavc") {
        if (const auto it = t.lavc.find("vcodec"); it != t.lavc.end()) c.videoCodec = it->second;
        if (c.videoCodec != "mpeg4" && c.videoCodec != "mpeg1video" && c.videoCodec != "mpeg2video")
            return "unsupported video codec: " + c.videoCodec;
        if (const auto it = t.lavc.find("vbitrate"); it != t.lavc.end()) {
            // kbit/s up to 16000, bit/s above, as MEncoder reads it.
            const std::string e =
                typed(c.videoBitrate, readNumber(kVideoBitrateField, it->second, 4, 24000000),
                      it->second);
            if (!e.empty()) return e;
        }
    } else {
        return "unsupported -ovc: " + ovc;
    }
    if (const auto it = t.lavc.find("threads"); it != t.lavc.end())
        if (const std::string e = readThreads(it->second, c.threads); !e.empty()) return e;
    if (const std::string fps = t.get("-ofps"); !fps.empty())
        return typed(c.frameRate, readNumber(kFrameRateField, fps, 1, 120), fps);
    return {};
}

std::string readAudioBitrate(const std::string& text, ConvOptions& c) {
    return typed(c.audioBitrate, readNumber(kAudioBitrateField, text, 1, 1000), text);
}

std::string readConvAudio(const ConvTexts& t, ConvOptions& c) {
    const std::string oac = t.get("-oac");
    if (oac.empty() || oac == "mp3lame") {
        const auto it = t.lame.find("preset");
        if (it == t.lame.end()) return {};
        static const std::pair<const char*, ConvOptions::Preset> kNamed[] = {
            {"insane", ConvOptions::Preset::Insane},
            {"extreme", ConvOptions::Preset::Extreme},
            {"standard", ConvOptions::Preset::Standard},
            {"medium", ConvOptions::Preset::Medium}};
        for (const auto& [name, preset] : kNamed)
            if (it->second == name) c.preset = preset;
        if (c.preset != ConvOptions::Preset::None) return {};
        c.preset = ConvOptions::Preset::Bitrate;
        return readAudioBitrate(it->second, c);
    }
    if (oac == "copy") {
        c.audio = ConvOptions::Audio::Copy;
        return {};
    }
    if (oac != "lavc") return "unsupported -oac: " + oac;
    c.audio = ConvOptions::Audio::Lavc;
    if (const auto it = t.lavc.find("acodec"); it != t.lavc.end()) c.audioCodec = it->second;
    if (c.audioCodec != "mp2" && c.audioCodec != "mp3" && c.audioCodec != "ac3")
        return "unsupported audio codec: " + c.audioCodec;
    const auto it = t.lavc.find("abitrate");
    return it == t.lavc.end() ? std::string() : readAudioBitrate(it->second, c);
}

// A name ending in .mp4 gets an MP4 file whatever -of says, since AVI under
// that name plays nowhere MP4 is expected to.
std::string readConvContainer(const ConvTexts& t, ConvOptions& c) {
    const std::string of = t.get("-of"), ext = extensionOf(c.output);
    if (of.empty() || of == "avi") {
        c.container = ext == ".mp4" ? "mp4" : "avi";
    } else if (of == "lavf") {
        const auto format = t.lavf.find("format");
        if (ext == ".mpg" || ext == ".mpeg")
            c.container = "mpeg";
        else if (ext == ".avi")
            c.container = "avi";
        else if (ext == ".mp4")
            c.container = "mp4";
        else if (format != t.lavf.end() && format->second != "yuv4mpeg")
            c.container = format->second;
    } else if (of == "mpeg") {
        c.container = "mpeg";
    } else {
        return "unsupported -of: " + of;
    }
    return {};
}

// ---- coder ------------------------------------------------------------------

struct CoderValued {
    const char* option;
    std::optional<CoderOption> kept;  // how it reaches the output; none: read alone
} const kCoderValued[] = {
    {"-i", {}},
    {"-s", {}},
    {"-vcodec", CoderOption::VideoCodec},
    {"-b", CoderOption::VideoBitrate},
    {"-r", CoderOption::FrameRate},
    {"-f", CoderOption::Format},
    {"-acodec", CoderOption::AudioCodec},
    {"-ar", CoderOption::SampleRate},
    {"-ab", CoderOption::AudioBitrate},
    {"-ac", CoderOption::Channels},
    {"-threads", {}},
};

const CoderValued* coderValued(const std::string& arg) {
    for (const CoderValued& v : kCoderValued)
        if (arg == v.option) return &v;
    return nullptr;
}

bool isCoderOption(const std::string& arg) {
    return coderValued(arg) || arg == "-y" || arg == "-vn";
}

// The panel field an option carries; nullptr for the others.
const char* optionField(const std::string& option) {
    if (option == "-s") return kVideoSizeField;
    if (option == "-b") return kVideoBitrateField;
    if (option == "-r") return kFrameRateField;
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

// Sorts the arguments (the output taken off) into the value texts by option
// and the order; "" or the reason.
std::string collectCoderTexts(const std::vector<std::string>& rest,
                              std::map<std::string, std::string>& given, CoderOptions& c) {
    bool haveInput = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        if (a == "-y") continue;  // always overwrite
        if (a == "-vn") {
            c.noVideo = true;
            c.order.push_back(CoderOption::NoVideo);
            continue;
        }
        const CoderValued* valued = coderValued(a);
        if (!valued) return "unknown option: " + a;
        // An empty panel field leaves its option followed by the next one.
        if (i + 1 >= rest.size() || isCoderOption(rest[i + 1])) {
            const char* field = optionField(a);
            return field ? emptyField(field) : "option " + a + " needs a value";
        }
        const std::string& v = rest[++i];
        if (a == "-i" && haveInput) return "more than one input file given";
        if (a == "-i") c.input = v;
        haveInput = haveInput || a == "-i";
        if (valued->kept && !given.count(a)) c.order.push_back(*valued->kept);
        given[a] = v;
    }
    return haveInput ? "" : "no input file given (-i)";
}

// The panel's values, read and checked in the order their reasons take.
std::string readCoderValues(std::map<std::string, std::string>& given, CoderOptions& c) {
    const auto read = [&given](std::optional<TypedNumber>& out, const char* option,
                               auto&& reader) -> std::string {
        const auto it = given.find(option);
        return it == given.end() ? std::string() : typed(out, reader(it->second), it->second);
    };
    const std::string errors[] = {
        read(c.videoBitrate, "-b",
             [](const std::string& t) { return readBitrate(kVideoBitrateField, t, 4, 100000); }),
        read(c.frameRate, "-r",
             [](const std::string& t) { return readNumber(kFrameRateField, t, 1, 240); }),
        read(c.sampleRate, "-ar",
             [](const std::string& t) { return readNumber(kSampleRateField, t, 1000, 192000); }),
        read(c.audioBitrate, "-ab",
             [](const std::string& t) { return readBitrate(kAudioBitrateField, t, 1, 1000); }),
        read(c.channels, "-ac",
             [](const std::string& t) { return readNumber(kChannelField, t, 0, 8); }),
    };
    for (const std::string& e : errors)
        if (!e.empty()) return e;
    if (given.count("-threads"))
        if (const std::string e = readThreads(given["-threads"], c.threads); !e.empty()) return e;
    if (given.count("-s")) {
        const SizeValue size = readSize(given["-s"]);
        if (!size.error.empty()) return size.error;
        c.size = TypedSize{size.width, size.height, given["-s"]};
    }
    c.videoCodec = given["-vcodec"];
    c.container = given["-f"];
    c.audioCodec = given["-acodec"];
    return {};
}

// The program a command runs, by its file name: "conv" of "C:\app\data\Conv.exe".
std::string programName(const std::string& path) {
    std::string name = asciiLower(path.substr(path.find_last_of("/\\") + 1));
    if (extensionOf(name) == ".exe") name.resize(name.size() - 4);
    return name;
}

}  // namespace

ConvOptions readConvOptions(const std::vector<std::string>& args) {
    ConvOptions c;
    ConvTexts t;
    c.error = collectConvTexts(args, t, c);
    if (c.error.empty()) c.error = readConvVideo(t, c);
    if (c.error.empty()) c.error = readConvAudio(t, c);
    if (c.error.empty()) c.error = readConvContainer(t, c);
    return c;
}

CoderOptions readCoderOptions(const std::vector<std::string>& args) {
    CoderOptions c;
    std::vector<std::string> rest;
    for (const auto& a : args)
        if (!a.empty()) rest.push_back(a);  // a doubled blank is no argument
    if (rest.empty()) {
        c.error = "no output file given";
        return c;
    }
    c.output = rest.back();
    rest.pop_back();
    std::map<std::string, std::string> given;
    c.error = collectCoderTexts(rest, given, c);
    if (c.error.empty()) c.error = readCoderValues(given, c);
    return c;
}

std::string refusedOptions(const std::vector<std::string>& command) {
    if (command.empty()) return {};
    const std::string program = programName(command.front());
    const std::vector<std::string> args(command.begin() + 1, command.end());
    if (program == "conv") return readConvOptions(args).error;
    if (program == "coder" || program == "coder2") return readCoderOptions(args).error;
    return {};
}

}  // namespace tessaro
