#include "engine/Commands.h"

#include <ctime>
#include <filesystem>

#include "base/CommandLineText.h"
#include "base/Platform.h"

namespace tessaro {
namespace {

// A path the design leaves bare (the executable, the intermediate file) stays
// bare unless it holds what would split it or end a quote.
std::string bareOrQuoted(const std::string& path) {
    if (path.find_first_of(" \t\"") == std::string::npos) return path;
    return quotePath(path);
}

std::string encoderPath(const std::string& app, Encoder encoder) {
    return bareOrQuoted(app + platform::kDataFolder + encoderImageName(encoder));
}

std::string channelCount(const ParameterTexts& p) { return std::to_string(p.channelPosition + 1); }

// The thread count as conv's video suboption, and as coder's option (with the
// blank before it); "" for none.
std::string lavcThreads(int threads) {
    return threads > 0 ? ":threads=" + std::to_string(threads) : std::string();
}
std::string coderThreads(int threads) {
    return threads > 0 ? " -threads " + std::to_string(threads) : std::string();
}

}  // namespace

std::string GetFileName(const std::string& path) {
    const auto last = path.find_last_of(platform::kSeparators);
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::string GetBaseName(const std::string& path) {
    const std::string name = GetFileName(path);
    return name.substr(0, name.find('.'));
}

std::string outputBaseName(const std::string& path) {
    const std::string name = GetFileName(path);
    const auto first = name.find_first_not_of('.');
    const std::string base =
        first == std::string::npos ? std::string() : GetBaseName(name.substr(first));
    return base.empty() ? "output" : base;
}

std::string resolveOutputFolder(const std::string& text, const std::string& home,
                                const std::string& base) {
    const auto isSeparator = [](char c) { return c == '/' || c == platform::kSeparator; };
    std::string rest = text;
    std::string from = base;
    if (!home.empty() && !text.empty() && text[0] == '~' &&
        (text.size() == 1 || isSeparator(text[1]))) {
        from = home;
        rest.erase(0, 1);
        while (!rest.empty() && isSeparator(rest[0])) rest.erase(0, 1);
    }
    std::filesystem::path path = platform::nativePath(rest);
    if (!path.is_absolute() && !from.empty()) path = platform::nativePath(from) / path;
    return withTrailingSeparator(platform::utf8Path(path.lexically_normal()));
}

std::string windowOutputFolder(const std::string& text) {
    if (text.empty()) return withTrailingSeparator(platform::defaultOutputFolder());
    const std::string home = platform::homeFolder();
    return resolveOutputFolder(text, home, home);
}

std::string withTrailingSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == platform::kSeparator) return folder;
    return folder + platform::kSeparator;
}

ClockTime currentClockTime() {
    const std::tm local = platform::localTime(std::time(nullptr));
    return {local.tm_hour, local.tm_min, local.tm_sec};
}

std::string designedOutputPath(const std::string& folder, const std::string& input,
                               std::string_view extension, ClockTime time) {
    return withTrailingSeparator(folder) + outputBaseName(input) + "-" + std::to_string(time.hour) +
           std::to_string(time.minute) + std::to_string(time.second) + std::string(extension);
}

std::string fittedOutputPath(const std::string& folder, const std::string& input,
                             std::string_view extension, ClockTime time, std::size_t maxNameBytes) {
    std::string base = outputBaseName(input);
    const std::string tail = "-" + std::to_string(time.hour) + std::to_string(time.minute) +
                             std::to_string(time.second) + std::string(extension);
    const std::size_t room = maxNameBytes > tail.size() ? maxNameBytes - tail.size() : 0;
    if (base.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }
    return withTrailingSeparator(folder) + base + tail;
}

std::string uniqueOutputPath(const std::string& designedPath, std::string_view extension,
                             const std::function<bool(const std::string&)>& reserved) {
    namespace fs = std::filesystem;
    const auto free = [&reserved](const std::string& path) {
        std::error_code ec;
        return !fs::exists(fs::symlink_status(platform::nativePath(path), ec)) &&
               !(reserved && reserved(path));
    };
    if (free(designedPath)) return designedPath;
    std::string stem = designedPath;
    std::string ext;
    if (!extension.empty() && stem.size() >= extension.size() &&
        stem.compare(stem.size() - extension.size(), extension.size(), extension) == 0) {
        ext = std::string(extension);
        stem.resize(stem.size() - extension.size());
    }
    for (int n = 2;; ++n) {
        std::string candidate = stem + "_" + std::to_string(n) + ext;
        if (free(candidate)) return candidate;
    }
}

namespace {

// The encoders of a later format, as coder names them.
struct CurrentCodecs {
    const char* video;  // nullptr: sound only
    const char* container;
    const char* audio;
};

CurrentCodecs currentCodecs(int formatIndex) {
    switch (formatIndex) {
        case kMp4H264:
            return {"libx264", "mp4", "aac"};
        case kMp4H265:
            return {"libx265", "mp4", "aac"};
        case kWebmVp9:
            return {"libvpx-vp9", "webm", "libopus"};
        case kM4a:
            return {nullptr, "ipod", "aac"};
        case kFlac:
            return {nullptr, "flac", "flac"};
        case kOpus:
            return {nullptr, "opus", "libopus"};
        default:
            return {nullptr, "wav", "pcm_s16le"};
    }
}

// One coder run into the final file. A field at its "keep the source's" or
// automatic text gives no option, and so does a field the format does not
// use; every other text reaches coder as it stands.
std::string currentFormatCommand(int formatIndex, const CommandPaths& paths,
                                 const ParameterTexts& p, int threads) {
    const CurrentCodecs codecs = currentCodecs(formatIndex);
    const auto reads = [&](Field field) { return fieldUse(formatIndex, p.videoSize, field).read; };
    std::string options;
    if (codecs.video) {
        if (p.videoSize != kSourceSize) options += " -s " + p.videoSize;
        options += std::string(" -vcodec ") + codecs.video;
        if (p.videoBitrate != kAutomaticBitrate) options += " -b " + p.videoBitrate + "k";
        if (p.frameRate != kSourceFrameRate) options += " -r " + p.frameRate;
    } else {
        options += " -vn";
    }
    options += std::string(" -f ") + codecs.container + " -acodec " + codecs.audio;
    if (reads(Field::SampleRate) && p.sampleRate != kSourceSampleRate)
        options += " -ar " + p.sampleRate;
    if (reads(Field::AudioBitrate)) options += " -ab " + p.audioBitrate + "k";
    if (p.channelPosition == 0 || p.channelPosition == 1) options += " -ac " + channelCount(p);
    options += coderThreads(threads);
    return encoderPath(paths.applicationFolder, Encoder::Coder) + " -i " + quotePath(paths.input) +
           " -y" + options + " " + quotePath(paths.output);
}

}  // namespace

std::string stageOneCommand(int formatIndex, const CommandPaths& paths, const ParameterTexts& p,
                            int threads) {
    const std::string conv = encoderPath(paths.applicationFolder, Encoder::Conv) + " ";
    const std::string in = quotePath(paths.input);
    const std::string out = quotePath(paths.output);
    switch (formatIndex) {
        case kRmvb:
        case kRm:
        case kMov:
        case kMp4Phone:
        case k3gp:
            return conv + in +
                   " -oac mp3lame -lameopts preset=320 -ovc lavc -lavcopts "
                   "vcodec=mpeg4:vbitrate=1200" +
                   lavcThreads(threads) + " -of avi -o " + bareOrQuoted(paths.intermediate);
        case kMpg:
        case kAvi:
            return conv + in + " -oac lavc -lavcopts acodec=mp2:abitrate=" + p.audioBitrate +
                   " -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=" + p.videoBitrate +
                   ":vpass=1" + lavcThreads(threads) + " -ofps " + p.frameRate +
                   " -of lavf -lavfopts format=yuv4mpeg -o " + out;
        case kMp4Hd:
            return conv + in + " -oac mp3lame -lameopts preset=" + p.audioBitrate +
                   " -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=" + p.videoBitrate +
                   lavcThreads(threads) + " -of avi -o " + out;
        case kMp3:
            return encoderPath(paths.applicationFolder, Encoder::Coder) + " -i " + in +
                   " -y -vn -ar " + p.sampleRate + " -ab " + p.audioBitrate + "k -ac " +
                   channelCount(p) + coderThreads(threads) + " " + out;
        default:
            return isCurrentFormat(formatIndex)
                       ? currentFormatCommand(formatIndex, paths, p, threads)
                       : std::string();
    }
}

std::string stageTwoCommand(int formatIndex, const CommandPaths& paths, const ParameterTexts& p,
                            int threads) {
    const OutputFormat* format = outputFormat(formatIndex);
    if (!format || format->stageTwo == Encoder::None) return {};
    const bool sourceSize = p.videoSize == kSourceSize;
    const std::string head = encoderPath(paths.applicationFolder, format->stageTwo) + " -i " +
                             bareOrQuoted(paths.intermediate) + " -y ";
    std::string options;
    switch (formatIndex) {
        case kRmvb:
        case kRm:
            // The fixed template has two blanks before -ab.
            options = sourceSize ? "-vcodec rv10 -b 1200k -f rm  -ab 128k -ac 2 "
                                 : "-s " + p.videoSize + " -vcodec rv10 -b " + p.videoBitrate +
                                       "k -f rm -ar " + p.sampleRate + " -ab " + p.audioBitrate +
                                       "k -ac " + channelCount(p) + " ";
            break;
        case kMov:
            options = sourceSize ? "-ac 2 -ar 48000 -ab 128k "
                                 : "-s " + p.videoSize + " -ac 2 -ar 48000 -ab 128k ";
            break;
        default:  // the phone formats
            options = "-s " + (sourceSize ? std::string("320x240") : p.videoSize) +
                      " -vcodec mpeg4 -acodec amr_nb -ac 1 -ar 8000 -ab 12.2k ";
            break;
    }
    options.pop_back();  // its closing blank goes after the threads
    return head + options + coderThreads(threads) + " " + quotePath(paths.output);
}

}  // namespace tessaro
