#include "encoders/SourceProbe.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "base/Platform.h"
#include "encoders/EncoderProgress.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/OptionValues.h"

namespace tessaro {
namespace {

// "25", "29.97", "1k" (ffmpeg's short form of 1000).
double rateValue(const std::string& text) {
    double v = std::atof(text.c_str());
    if (!text.empty() && text.back() == 'k') v *= 1000;
    return v;
}

struct VideoStream {
    int index = 0;  // among the video streams that are no cover pictures
    int width = 0, height = 0, sarNum = 0, sarDen = 0;
    double fps = 0;
    int rotation = 0;
};

// ffmetadata escapes '=', ';', '#', '\' and the line end with a backslash.
std::vector<std::pair<std::string, std::string>> globalTags(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> tags;
    std::string line;
    bool escaped = false, header = true;
    auto finish = [&]() {
        if (header) {
            header = false;  // ";FFMETADATA1"
        } else if (!line.empty() && line[0] == '[') {
            return false;  // stream and chapter sections follow the global tags
        } else if (!line.empty() && line[0] != ';' && line[0] != '#') {
            const auto eq = line.find('\x01');
            if (eq != std::string::npos) tags.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        }
        line.clear();
        return true;
    };
    for (char c : text) {
        if (escaped) {
            line.push_back(c);
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '\n') {
            if (!finish()) return tags;
        } else if (c != '\r') {
            // The first unescaped '=' separates the key; kept apart from an escaped one.
            line.push_back(c == '=' && line.find('\x01') == std::string::npos ? '\x01' : c);
        }
    }
    if (!line.empty()) finish();
    return tags;
}

}  // namespace

SourceFacts sourceFactsFrom(const std::string& report, const std::string& ffmetadata) {
    SourceFacts facts;
    static const std::regex size(R"((?:^|[ ,])(\d{1,5})x(\d{1,5})(?=[ ,\[]|$))");
    static const std::regex sar(R"(\[SAR (\d+):(\d+) )");
    static const std::regex rate(R"(([\d.]+k?) (fps|tbr))");
    static const std::regex matrix(R"(rotation of (-?[\d.]+) degrees)");
    static const std::regex rotate(R"(^\s*rotate\s*:\s*(-?\d+))");
    std::vector<VideoStream> videos;
    VideoStream* current = nullptr;  // the video stream whose lines follow
    bool input = false;
    int audioStreams = 0;                // the first one's tags are read
    int videoStreams = 0, pictures = 0;  // all of them, and those no covers
    bool audioTags = false;
    std::stringstream ss(report);
    std::string line;
    std::smatch m;
    while (std::getline(ss, line)) {
        if (line.rfind("Input #", 0) == 0) input = true;
        if (line.rfind("Output #", 0) == 0 || line.rfind("Stream mapping", 0) == 0) break;
        if (!input) continue;
        if (const std::string clock = durationClock(line); !clock.empty() && facts.duration < 0)
            facts.duration = clockSeconds(clock);
        if (line.find("Stream #") != std::string::npos) {
            current = nullptr;
            audioTags = false;
            const auto video = line.find(": Video: "), audio = line.find(": Audio: ");
            if (audio != std::string::npos) {
                audioTags = ++audioStreams == 1;
                facts.audio = true;
                facts.audioStreams = audioStreams;
            } else if (video != std::string::npos) {
                const std::string text = line.substr(video + 8);
                const bool cover = line.find("(attached pic)") != std::string::npos;
                const int number = videoStreams++;
                if (cover && facts.firstCover < 0) {
                    facts.firstCover = number;
                    const auto from = text.find_first_not_of(' ');
                    facts.coverCodec =
                        from == std::string::npos
                            ? std::string()
                            : text.substr(from, text.find_first_of(" ,", from) - from);
                }
                VideoStream v;
                if (!cover) v.index = pictures++;
                if (!std::regex_search(text, m, size)) continue;
                v.width = std::atoi(m[1].str().c_str());
                v.height = std::atoi(m[2].str().c_str());
                if (v.width % 2 != 0 || v.height % 2 != 0) facts.oddFrameSize = true;
                if (v.width <= 0 || v.height <= 0 || cover) continue;
                if (std::regex_search(text, m, sar)) {
                    v.sarNum = std::atoi(m[1].str().c_str());
                    v.sarDen = std::atoi(m[2].str().c_str());
                }
                for (auto it = std::sregex_iterator(text.begin(), text.end(), rate);
                     it != std::sregex_iterator(); ++it) {
                    const double fps = rateValue((*it)[1].str());
                    if (fps > 0 && (v.fps == 0 || fps < v.fps)) v.fps = fps;
                }
                videos.push_back(v);
                current = &videos.back();
            }
            continue;
        }
        // "      title           : Harbour", a value's further lines with no key.
        if (audioTags && line.rfind("      ", 0) == 0 && line.find(" : ") != std::string::npos) {
            const auto colon = line.find(" : ");
            const auto first = line.find_first_not_of(' ');
            const std::string key =
                line.substr(first, line.find_last_not_of(' ', colon) + 1 - first);
            if (first == colon + 1 && !facts.audioTags.empty())
                facts.audioTags.back().second += "\n" + line.substr(colon + 3);
            else if (first != colon + 1)
                facts.audioTags.emplace_back(key, line.substr(colon + 3));
        }
        if (current && (std::regex_search(line, m, matrix) || std::regex_search(line, m, rotate)))
            current->rotation = static_cast<int>(std::lround(std::atof(m[1].str().c_str())));
    }
    // ffmpeg takes the largest picture.
    const VideoStream* best = nullptr;
    for (const VideoStream& v : videos)
        if (!best || v.width * v.height > best->width * best->height) best = &v;
    if (best) {
        facts.mainVideo = best->index;
        double w = best->width;
        if (best->sarNum > 0 && best->sarDen > 0) w = w * best->sarNum / best->sarDen;
        facts.displayWidth = static_cast<int>(std::lround(w));
        facts.displayHeight = best->height;
        if (((best->rotation % 180) + 180) % 180 == 90)
            std::swap(facts.displayWidth, facts.displayHeight);
        facts.framesPerSecond = best->fps;
    }
    // A picture of unknown size is still the one ffmpeg takes when it is alone.
    if (!best && pictures > 0) facts.mainVideo = 0;
    facts.probed = input;
    if (!input) {
        std::stringstream lines(report);
        for (std::string l; std::getline(lines, l);)
            if (!l.empty()) facts.error = l;
    }
    facts.tags = globalTags(ffmetadata);
    return facts;
}

SourceFacts probeSource(const std::string& ffmpeg, const std::string& input) {
    // A FIFO or a device would block or never end: left to the run to refuse.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(platform::nativePath(input), ec)) return {};
    std::string report, tags;
    const ChildStatus st = runChild(
        ffmpeg, {"-hide_banner", "-nostdin", "-i", "file:" + input, "-f", "ffmetadata", "pipe:1"},
        [&](const std::string& line) { tags += line + "\n"; },
        [&](const std::string& line) { report += line + "\n"; });
    if (!st.started) return {};
    return sourceFactsFrom(report, tags);
}

std::vector<std::pair<std::string, std::string>> descriptiveTags(const SourceFacts& facts) {
    static const char* const kKept[] = {
        "title",     "artist", "album",    "album_artist", "composer", "performer",
        "genre",     "date",   "track",    "disc",         "comment",  "copyright",
        "publisher", "lyrics", "grouping", "description",  "language", "conductor",
        "year",      "author", "lyricist", "compilation",  "show",     "episode_id",
    };
    std::vector<std::pair<std::string, std::string>> kept;
    // The container's tags, then those Ogg and the like keep with the sound.
    for (const auto* tags : {&facts.tags, &facts.audioTags}) {
        for (const auto& [key, value] : *tags) {
            const std::string name = asciiLower(key);
            const bool known = std::any_of(kept.begin(), kept.end(),
                                           [&](const auto& t) { return t.first == name; });
            for (const char* k : kKept)
                if (name == k && !value.empty() && !known) kept.emplace_back(name, value);
        }
    }
    return kept;
}

}  // namespace tessaro
