#include "encoders/EncoderRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <filesystem>
#include <map>

#include "base/AtomicFile.h"
#include "base/FileHead.h"
#include "base/Platform.h"
#include "encoders/EncoderProgress.h"
#include "encoders/FfmpegIdentity.h"
#include "encoders/FfmpegProcess.h"
#include "report/EncoderReport.h"

namespace tessaro {
namespace {

void say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int fail(const std::string& program, const std::string& reason) {
    say(errorLine(program, reason));
    return 1;
}

// ffmpeg's muxer for a file name's extension; "" when unknown. The output is
// written under a partial name, so ffmpeg cannot tell the container by it.
std::string muxerFor(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    static const char* const kMuxers[][2] = {
        {"rmvb", "rm"}, {"rm", "rm"},     {"mpg", "mpeg"}, {"mpeg", "mpeg"}, {"avi", "avi"},
        {"mp4", "mp4"}, {"m4a", "mp4"},   {"mov", "mov"},  {"3gp", "3gp"},   {"mp3", "mp3"},
        {"flv", "flv"}, {"mkv", "matroska"}, {"webm", "webm"}, {"wav", "wav"}, {"ogg", "ogg"},
    };
    for (const auto& m : kMuxers)
        if (ext == m[0]) return m[1];
    return {};
}

bool hasFormatOption(const std::vector<std::string>& options) {
    for (std::size_t i = 0; i + 1 < options.size(); ++i)
        if (options[i] == "-f") return true;
    return false;
}

// Why a path that exists cannot be read as a source; "" for a regular file
// or a missing one (ffmpeg reports that itself). A FIFO or a device would
// block or never end.
std::string notARegularFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(platform::nativePath(path), ec);
    if (ec || !fs::exists(st) || fs::is_regular_file(st)) return {};
    const char* what = fs::is_directory(st) ? "a folder"
                       : fs::is_fifo(st)    ? "a FIFO"
                       : fs::is_socket(st)  ? "a socket"
                                            : "a device";
    return "the input is " + std::string(what) + ", not a regular file: " + path;
}

// Size of a regular file; 0 when there is none.
std::uintmax_t regularFileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(platform::nativePath(path), ec);
    return ec ? 0 : size;
}

void removeFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(platform::nativePath(path), ec);
}

constexpr const char* kVersionLine = "version=";

// "version=VERSION" of ffmpeg's banner, then ffmpeg's encoder names, one a
// line, as "ffmpeg -encoders" lists them.
std::string listEncoders(const std::string& ffmpeg) {
    std::string names, version, avutil;
    runChild(
        ffmpeg, {"-nostdin", "-encoders"},
        [&](const std::string& line) {
            // " A..... libopencore_amrnb    OpenCORE AMR-NB ..."
            if (line.size() < 9 || line[0] != ' ' || line[7] != ' ') return;
            const auto end = line.find(' ', 8);
            names += line.substr(8, end == std::string::npos ? std::string::npos : end - 8) + "\n";
        },
        [&](const std::string& line) {
            // "ffmpeg version 4.2.7-0ubuntu0.1 Copyright (c) 2000-2022 ..."
            static const std::string kBanner = "ffmpeg version ";
            // "  libavutil      57. 28.100 / 57. 28.100"
            static const std::string kAvutil = "  libavutil ";
            if (version.empty() && line.rfind(kBanner, 0) == 0)
                version =
                    line.substr(kBanner.size(), line.find(' ', kBanner.size()) - kBanner.size());
            if (avutil.empty() && line.rfind(kAvutil, 0) == 0) {
                int major = 0, minor = 0;
                if (std::sscanf(line.c_str() + kAvutil.size(), "%d. %d", &major, &minor) == 2)
                    avutil = " libavutil=" + std::to_string(major) + "." + std::to_string(minor);
            }
        });
    return names.empty() ? names : kVersionLine + version + avutil + "\n" + names;
}

// What the installed ffmpeg is: the version line, then its encoders. Starting
// ffmpeg just to ask costs as much as a short conversion, so the answer is
// kept in the temporary folder, keyed by the ffmpeg file and the libavcodec
// it loads (see ffmpegIdentity), and asked of that file once per run.
std::string ffmpegCapabilities(const std::string& ffmpeg) {
    static std::map<std::string, std::string> known;
    if (const auto it = known.find(ffmpeg); it != known.end()) return it->second;
    std::string& answer = known[ffmpeg];
    const std::string identity = ffmpegIdentity(ffmpeg);
    const std::string key = identity.empty() ? identity : identity + "\n";
    const bool cacheable = !key.empty() && platform::prepareTemporaryFolder();
    const std::string cache = platform::temporaryFile("ffmpeg-encoders.txt");
    if (cacheable) {
        std::string text;
        // A list kept before the version was, is made again.
        if (readFileHead(cache, text) == FileHead::Read && text.rfind(key + kVersionLine, 0) == 0)
            return answer = text.substr(key.size());
    }
    answer = listEncoders(ffmpeg);
    if (cacheable && !answer.empty()) writeFileAtomically(cache, key + answer);
    return answer;
}

// True when reading every picture and sound packet of the source meets data
// that is missing or damaged: packets cut short, a container that ends early.
// Damage the decoders meet is no missing part, nor is anything in subtitle,
// data or attachment streams.
bool demuxTrouble(const std::string& ffmpeg, const std::string& input) {
    bool trouble = false;
    // "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'file:...':": the lines the
    // demuxer logs are tagged "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x...]"; a parser's
    // or decoder's ("[h264 @ 0x...]") tell of damage within packets.
    std::string demuxer;
    runChild(ffmpeg,
             {"-hide_banner", "-nostdin", "-loglevel", "level+info", "-i", "file:" + input, "-map",
              "0:v?", "-map", "0:a?", "-c", "copy", "-f", "null", "-"},
             nullptr, [&](const std::string& line) {
                 const auto input = line.find("Input #0, ");
                 if (demuxer.empty() && input != std::string::npos) {
                     const auto from = input + 10;
                     demuxer = "[" + line.substr(from, line.find(", from ", from) - from) + " @ ";
                 }
                 const bool tagged = line.rfind("[", 0) == 0 && line.find(" @ ") != std::string::npos;
                 if (tagged && (demuxer.empty() || line.rfind(demuxer, 0) != 0)) return;
                 trouble = trouble || showsReadTrouble(line);
             });
    return trouble;
}

// The length of the source as its picture and sound declare it, read from
// the input block of ffmpeg's report. The container's total also counts
// subtitles (a cue may run for minutes after the end); Matroska names each
// stream's own length, which is used where there is one.
class SourceLength {
public:
    // Fed the report's lines of the input, up to its "Output #" block.
    void read(const std::string& line) {
        if (m_clock.empty()) {
            m_clock = durationClock(line);
            if (!m_clock.empty()) m_total = clockSeconds(m_clock);
        }
        if (line.find("Stream #") != std::string::npos) {
            const bool audio = line.find(": Audio: ") != std::string::npos;
            const bool video = line.find(": Video: ") != std::string::npos &&
                               line.find("(attached pic)") == std::string::npos;
            m_inPictureOrSound = audio || video;
            if (!m_inPictureOrSound) return;
            // "..., 13 kb/s" of the stream; a stream without one leaves the rate unknown.
            const auto kbs = line.rfind(" kb/s");
            const auto from = kbs == std::string::npos ? kbs : line.find_last_of(" ,", kbs - 1);
            const double kbits = from == std::string::npos ? 0 : std::atof(line.c_str() + from + 1);
            if (kbits > 0 && m_kbits >= 0)
                m_kbits += kbits;
            else
                m_kbits = -1;
            return;
        }
        // "      DURATION        : 00:00:30.640000000"
        const auto key = line.find(" DURATION ");
        const auto colon = line.find(": ", key == std::string::npos ? 0 : key);
        if (m_inPictureOrSound && key != std::string::npos && colon != std::string::npos) {
            const double own = clockSeconds(line.substr(colon + 2));
            if (own > 0) m_streams = std::max(m_streams, own);
        }
    }
    bool known() const { return !m_clock.empty(); }
    // Negative when the source declares none ("N/A").
    double seconds() const { return m_streams > 0 ? m_streams : m_total; }
    // "HH:MM:SS.xx" of seconds(), or ffmpeg's own text when there is none.
    std::string clock() const {
        if (seconds() < 0) return m_clock;
        char text[32];
        const long long cs = std::llround(seconds() * 100);
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%02lld", cs / 360000, cs / 6000 % 60,
                      cs / 100 % 60, cs % 100);
        return text;
    }
    // A file of this size can hold the length at its streams' rates; true when
    // the rates are unknown. A header that counts blocks as samples claims
    // many times what the file holds.
    bool heldBy(std::uintmax_t bytes) const {
        if (!(m_kbits > 0)) return true;
        return double(bytes) * 8 / 1000 >= 0.9 * seconds() * m_kbits;
    }

private:
    std::string m_clock;  // of the "Duration:" line
    double m_total = -1, m_streams = 0;
    double m_kbits = 0;  // sum of the picture and sound rates; -1: some unknown
    bool m_inPictureOrSound = false;
};

// "#0:1" of "  Stream #0:1(eng): Audio: ..." or of "Error while decoding
// stream #0:1: ..."; "" when the line names no stream.
std::string streamTag(const std::string& line, const char* after) {
    const auto at = line.find(after);
    if (at == std::string::npos) return {};
    const auto from = at + std::strlen(after) - 1;
    const auto end = line.find_first_not_of("0123456789:", from + 1);
    return line.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

}  // namespace

bool showsReadTrouble(const std::string& line) {
    const auto tagged = [&line](const std::string& level) {
        return line.rfind(level, 0) == 0 || line.find("] " + level) != std::string::npos;
    };
    // Any error counts; a warning only when it names damaged or missing data.
    if (tagged("[error]")) return true;
    if (!tagged("[warning]")) return false;
    static const char* const kSigns[] = {
        "corrupt input packet", "Packet corrupt", "partial file", "ended prematurely",
        "filesize and duration do not match", "Error while decoding", "Invalid data found",
        "Packet mismatch", "Read error", "truncat", "Truncat", "concealing", "damaged"};
    for (const char* sign : kSigns)
        if (line.find(sign) != std::string::npos) return true;
    return false;
}

std::string withCause(const std::string& ffmpegLine, const FfmpegJob& job) {
    std::string cause;
    if (ffmpegLine.find("does not contain any stream") != std::string::npos)
        cause = job.audioOnly ? kNoAudioCause : kNoStreamCause;
    else if ((ffmpegLine.find("Invalid data found when processing input") != std::string::npos ||
              ffmpegLine.find("could not find codec parameters") != std::string::npos) &&
             (ffmpegLine.rfind("file:" + job.input + ":", 0) == 0 ||
              ffmpegLine.rfind(job.input + ":", 0) == 0))
        cause = kUnreadableCause;
    return cause.empty() ? ffmpegLine : cause + ": " + ffmpegLine;
}

bool ffmpegHasEncoder(const std::string& ffmpeg, const std::string& encoder) {
    return ("\n" + ffmpegCapabilities(ffmpeg)).find("\n" + encoder + "\n") != std::string::npos;
}

bool versionTakesStatsPeriod(const std::string& version) {
    // The libavutil of the banner decides where there is one: it also dates
    // builds from the development tree ("N-92722-g..." is of 2018). 56.70 is
    // the libavutil of 4.4.
    static const std::string kAvutil = " libavutil=";
    if (const auto at = version.find(kAvutil); at != std::string::npos) {
        int major = 0, minor = 0;
        if (std::sscanf(version.c_str() + at + kAvutil.size(), "%d.%d", &major, &minor) != 2)
            return false;
        return major > 56 || (major == 56 && minor >= 70);
    }
    // Release numbers alone, "4.2.7-0ubuntu0.1" or "n4.4": from 4.4 on. A
    // development build without its library version is unknown.
    std::string v = version;
    if (!v.empty() && v[0] == 'n' && v.size() > 1 && v[1] >= '0' && v[1] <= '9') v.erase(0, 1);
    if (v.empty() || v[0] < '0' || v[0] > '9') return false;
    char* end = nullptr;
    const long major = std::strtol(v.c_str(), &end, 10);
    const long minor = *end == '.' ? std::strtol(end + 1, nullptr, 10) : 0;
    return major > 4 || (major == 4 && minor >= 4);
}

bool ffmpegTakesStatsPeriod(const std::string& ffmpeg) {
    const std::string text = ffmpegCapabilities(ffmpeg);
    if (text.rfind(kVersionLine, 0) != 0) return false;
    const std::size_t from = std::string(kVersionLine).size();
    return versionTakesStatsPeriod(text.substr(from, text.find('\n') - from));
}

int runEncoder(const std::string& program, const FfmpegJob& asked, ProgressForm form) {
    platform::restoreDefaultChildHandling();
    if (!asked.error.empty()) return fail(program, asked.error);
    if (const std::string why = notARegularFile(asked.input); !why.empty()) return fail(program, why);
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) return fail(program, ffmpegMissingReason());

    // ffmpeg writes a partial file beside the output, which takes its name
    // only once it is complete; a failed or stopped run removes it.
    FfmpegJob job = asked;
    job.output = partialFilePath(asked.output, platform::processId());
    if (!hasFormatOption(job.outputOptions)) {
        const std::string muxer = muxerFor(asked.output);
        if (muxer.empty()) return fail(program, "cannot tell the container format of " + asked.output);
        job.outputOptions.insert(job.outputOptions.end(), {"-f", muxer});
    }
    watchStopSignals();
    const auto failAndClean = [&](const std::string& reason) {
        removeFile(job.output);
        return fail(program, reason);
    };

    double position = 0;
    SourceLength length;
    const std::string partialName = "file:" + job.output;
    std::string outputError;
    double duration = -1;
    bool durationSeen = false, outputSeen = false;
    std::string lastError;
    int lastPercent = -1;
    long frames = 0;
    // ffmpeg met data it could not read or decode: the source may be cut short.
    bool readTrouble = false;
    // Not one picture could be decoded, and ffmpeg gave up on the picture.
    bool pictureFailed = false;
    // The source's sound streams ("#0:1"), and the last line of ffmpeg about
    // a sound packet it could not decode.
    std::vector<std::string> soundStreams;
    std::string soundError;
    // ffmpeg's closing count of the sound it wrote, "audio:0kB"; -1 before it.
    long soundKbytes = -1;

    // The length shown ("Duration: ...") once the input's report is read.
    const auto showLength = [&]() {
        if (durationSeen || !length.known()) return;
        durationSeen = true;
        duration = length.seconds();
        if (form == ProgressForm::DurationTime) say(durationText(length.clock()));
    };
    auto onLog = [&](const std::string& line) {
        // The input's report comes first; "Duration" lines after it are the
        // output's. Stream mapping follows where no output report does.
        if (line.find("Output #") != std::string::npos ||
            line.find("Stream mapping") != std::string::npos)
            outputSeen = true;
        if (!outputSeen) {
            length.read(line);
            if (line.find(": Audio: ") != std::string::npos)
                soundStreams.push_back(streamTag(line, "Stream #"));
        } else {
            showLength();
        }
        if (showsReadTrouble(line)) readTrouble = true;
        const std::string undecoded = streamTag(line, "Error while decoding stream #");
        const bool ofSound =
            !undecoded.empty() &&
            std::find(soundStreams.begin(), soundStreams.end(), undecoded) != soundStreams.end();
        if (ofSound)
            soundError = line.substr(line.find("Error while decoding"));
        else if (!undecoded.empty() ||
                 line.find("Error marking filters as finished") != std::string::npos)
            pictureFailed = frames == 0;
        if (const auto at = line.find(" audio:"); at != std::string::npos &&
                                                  line.find("video:") != std::string::npos &&
                                                  line.find("kB", at) != std::string::npos)
            soundKbytes = std::atol(line.c_str() + at + 7);
        if (line.rfind("[error]", 0) == 0 || line.rfind("[fatal]", 0) == 0 ||
            line.rfind("[panic]", 0) == 0) {
            auto text = line.substr(line.find(']') + 1);
            const auto first = text.find_first_not_of(' ');
            lastError = first == std::string::npos ? std::string() : text.substr(first);
            // Shown under the name the user asked for.
            for (auto at = lastError.find(partialName); at != std::string::npos;
                 at = lastError.find(partialName, at + asked.output.size()))
                lastError.replace(at, partialName.size(), asked.output);
            const std::string sourceName = "file:" + asked.input;
            if (lastError.rfind(sourceName, 0) == 0)
                lastError.replace(0, sourceName.size(), asked.input);
            // ffmpeg 5 exits 0 when writing the output fails at its end (a
            // full disk while writing the trailer): such a line fails the run.
            if (lastError.find(asked.output) != std::string::npos ||
                lastError.rfind("av_interleaved_write_frame", 0) == 0)
                outputError = lastError;
        }
    };
    auto onProgress = [&](const std::string& line) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) return;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        showLength();
        if (key == "frame") {
            frames = std::atol(value.c_str());
        } else if (key == "out_time_us") {
            if (value.empty() || value[0] < '0' || value[0] > '9') return;  // "N/A"
            const double pos = std::atof(value.c_str()) / 1e6;
            position = std::max(position, pos);
            if (form == ProgressForm::DurationTime) {
                say(timeText(pos));
            } else if (duration > 0) {
                // Every percent shows; 100 waits for the finished file.
                // Clamped before the cast: a bogus tiny duration gives a huge ratio.
                const int p = static_cast<int>(std::clamp(std::floor(pos / duration * 100), -1.0, 99.0));
                while (lastPercent < p) say(convProgressText(++lastPercent, pos, frames));
            }
        }
    };

    const ChildStatus st =
        runChild(ffmpeg, ffmpegArguments(job, ffmpegTakesStatsPeriod(ffmpeg)), onProgress, onLog);
    if (!st.started) return failAndClean("cannot start ffmpeg: " + st.startError);
    if (const int sig = receivedStopSignal(); sig != 0)
        return failAndClean("stopped by signal " + std::to_string(sig));
    if (st.unknown) return failAndClean("the end of ffmpeg could not be told");
    if (!st.exited)
        return failAndClean("ffmpeg was stopped by signal " + std::to_string(st.signal));
    // A part of the source that cannot be decoded is left out, the run
    // redone without it and the notice says why: "-vn" the picture, "-an" the
    // sound.
    const auto leftOut = [&asked](const char* option) {
        return std::find(asked.outputOptions.begin(), asked.outputOptions.end(), option) !=
               asked.outputOptions.end();
    };
    const bool withoutPicture = leftOut("-vn"), withoutSound = leftOut("-an");
    // ffmpeg either gives up or writes an empty picture stream (that RealMedia
    // declares an hour long).
    const bool noPicture = asked.keepsPicture && frames == 0 && !withoutPicture &&
                           (st.exitCode == 0 ? outputError.empty() : pictureFailed);
    // ffmpeg either gives up on the sound's decode errors or writes none of it.
    const bool noSound = !soundError.empty() && !withoutSound &&
                         (st.exitCode == 0 ? soundKbytes == 0 : lastError == soundError);
    if (noSound && (!asked.keepsPicture || withoutPicture))
        return failAndClean(std::string(kUndecodableSoundCause) + ": " + soundError);
    if ((noPicture && !withoutSound) || noSound) {
        removeFile(job.output);
        FfmpegJob part = asked;
        part.outputOptions.push_back(noSound ? "-an" : "-vn");
        return runEncoder(program, part, form);
    }
    if (st.exitCode != 0)
        return failAndClean(lastError.empty()
                                ? "ffmpeg failed with exit status " + std::to_string(st.exitCode)
                                : withCause(lastError, asked));
    if (!outputError.empty()) return failAndClean(outputError);
    if (regularFileSize(job.output) == 0)
        return failAndClean(lastError.empty() ? "no output was written: " + asked.output : lastError);
    // The intermediate is this process's own name: it is never renamed aside.
    const std::string written = platform::isIntermediateFile(asked.output)
                                    ? (renameNoReplace(job.output, asked.output) ? asked.output : "")
                                    : commitPartialFile(job.output, asked.output);
    if (written.empty())
        return failAndClean("cannot name the output " + asked.output + ": " + std::strerror(errno));
    if (written != asked.output) say(writtenAsLine(program, written));
    if (form == ProgressForm::Percent) {
        while (lastPercent < 99) say(convProgressText(++lastPercent, duration, frames));
        say(convProgressText(100, duration > 0 ? duration : 0, frames) + "\n");
    } else {
        say("\n");
    }
    // The source's picture decoded to nothing: the output holds its sound.
    if (asked.keepsPicture && withoutPicture) say(noticeLine(program, kPictureUndecodedNotice));
    if (withoutSound) say(noticeLine(program, kSoundUndecodedNotice));
    // The output is all the source holds: it is kept, and the run still fails.
    // A source whose packets read to their end without trouble is whole,
    // whatever length its header declares; so is one whose decoders alone
    // met damage (a last packet cut short) when the file could never hold
    // the length declared.
    if (durationSeen && isIncompleteOutput(position, duration) &&
        ((readTrouble && length.heldBy(regularFileSize(asked.input))) ||
         demuxTrouble(ffmpeg, asked.input))) {
        say(errorLine(program, incompleteSourceReason(position, duration)));
        return kExitIncompleteSource;
    }
    return 0;
}

}  // namespace tessaro
