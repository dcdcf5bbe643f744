#include "encoders/EncoderRun.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "base/AtomicFile.h"
#include "base/FileHead.h"
#include "base/Platform.h"
#include "encoders/FfmpegIdentity.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/RunReaders.h"
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
        {"rmvb", "rm"}, {"rm", "rm"},        {"mpg", "mpeg"},  {"mpeg", "mpeg"}, {"avi", "avi"},
        {"mp4", "mp4"}, {"m4a", "mp4"},      {"mov", "mov"},   {"3gp", "3gp"},   {"mp3", "mp3"},
        {"flv", "flv"}, {"mkv", "matroska"}, {"webm", "webm"}, {"wav", "wav"},   {"ogg", "ogg"},
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
                 const bool tagged =
                     line.rfind("[", 0) == 0 && line.find(" @ ") != std::string::npos;
                 if (tagged && (demuxer.empty() || line.rfind(demuxer, 0) != 0)) return;
                 trouble = trouble || showsReadTrouble(line);
             });
    return trouble;
}

}  // namespace

bool showsReadTrouble(const std::string& line) {
    const auto tagged = [&line](const std::string& level) {
        return line.rfind(level, 0) == 0 || line.find("] " + level) != std::string::npos;
    };
    // Any error counts; a warning only when it names damaged or missing data.
    if (tagged("[error]")) return true;
    if (!tagged("[warning]")) return false;
    static const char* const kSigns[] = {"corrupt input packet",
                                         "Packet corrupt",
                                         "partial file",
                                         "ended prematurely",
                                         "filesize and duration do not match",
                                         "Error while decoding",
                                         "Invalid data found",
                                         "Packet mismatch",
                                         "Read error",
                                         "truncat",
                                         "Truncat",
                                         "concealing",
                                         "damaged"};
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

namespace {

// The job ffmpeg runs for the one asked: written to a partial file beside
// the output, which takes its name only once it is complete, in the
// container named (ffmpeg cannot tell it by the partial name). "" or the
// reason it cannot run.
std::string preparedJob(const FfmpegJob& asked, FfmpegJob& job) {
    job = asked;
    job.output = partialFilePath(asked.output, platform::processId());
    if (hasFormatOption(job.outputOptions)) return {};
    const std::string muxer = muxerFor(asked.output);
    if (muxer.empty()) return "cannot tell the container format of " + asked.output;
    job.outputOptions.insert(job.outputOptions.end(), {"-f", muxer});
    return {};
}


// The job already leaves a part of the source out: "-vn" the picture, "-an"
// the sound.
bool leavesOut(const FfmpegJob& job, const char* option) {
    const auto& o = job.outputOptions;
    return std::find(o.begin(), o.end(), option) != o.end();
}

// A part of the source that could not be decoded: the run is redone without
// it, or fails when the sound was all there was to convert.
enum class Undecodable { None, Picture, Sound, AllThereIs };

Undecodable undecodablePart(const FfmpegJob& asked, int exitCode, const RunReaders& r) {
    const bool withoutPicture = leavesOut(asked, "-vn"), withoutSound = leavesOut(asked, "-an");
    // ffmpeg either gives up or writes an empty picture stream (that RealMedia
    // declares an hour long).
    const bool noPicture = asked.keepsPicture && r.frames() == 0 && !withoutPicture &&
                           (exitCode == 0 ? r.outputError().empty() : r.pictureFailed());
    // ffmpeg either gives up on the sound's decode errors or writes none of it.
    const bool noSound = !r.soundError().empty() && !withoutSound &&
                         (exitCode == 0 ? r.soundKbytes() == 0 : r.lastError() == r.soundError());
    if (noSound)
        return !asked.keepsPicture || withoutPicture ? Undecodable::AllThereIs : Undecodable::Sound;
    return noPicture && !withoutSound ? Undecodable::Picture : Undecodable::None;
}


// Gives the complete output its name; the name it took, "" when it has none.
std::string namedOutput(const FfmpegJob& asked, const FfmpegJob& job) {
    // The intermediate is this process's own name: it is never renamed aside.
    if (platform::isIntermediateFile(asked.output))
        return renameNoReplace(job.output, asked.output) ? asked.output : "";
    return commitPartialFile(job.output, asked.output);
}

// The end of a run whose output is named: the notices of a part left out,
// and the status.
int finishedRun(const std::string& program, const FfmpegJob& asked, const std::string& ffmpeg,
                const RunReaders& r) {
    // The source's picture decoded to nothing: the output holds its sound.
    if (asked.keepsPicture && leavesOut(asked, "-vn"))
        say(noticeLine(program, kPictureUndecodedNotice));
    if (leavesOut(asked, "-an")) say(noticeLine(program, kSoundUndecodedNotice));
    // The output is all the source holds: it is kept, and the run still fails.
    // A source whose packets read to their end without trouble is whole,
    // whatever length its header declares; so is one whose decoders alone
    // met damage (a last packet cut short) when the file could never hold
    // the length declared.
    if (r.durationSeen() && isIncompleteOutput(r.position(), r.duration()) &&
        ((r.readTrouble() && r.length().heldBy(regularFileSize(asked.input))) ||
         demuxTrouble(ffmpeg, asked.input))) {
        say(errorLine(program, incompleteSourceReason(r.position(), r.duration())));
        return kExitIncompleteSource;
    }
    return 0;
}

}  // namespace

// Why the way ffmpeg ended fails the run whatever it wrote; "" when it exited.
std::string childTrouble(const ChildStatus& st) {
    if (!st.started) return "cannot start ffmpeg: " + st.startError;
    if (const int sig = receivedStopSignal(); sig != 0)
        return "stopped by signal " + std::to_string(sig);
    if (st.unknown) return "the end of ffmpeg could not be told";
    if (!st.exited) return "ffmpeg was stopped by signal " + std::to_string(st.signal);
    return {};
}

// Why the output of an ffmpeg that exited is no conversion; "" when it is one.
std::string outputTrouble(const FfmpegJob& asked, const FfmpegJob& job, int exitCode,
                          const RunReaders& r) {
    if (exitCode != 0)
        return r.lastError().empty() ? "ffmpeg failed with exit status " + std::to_string(exitCode)
                                     : withCause(r.lastError(), asked);
    if (!r.outputError().empty()) return r.outputError();
    if (regularFileSize(job.output) == 0)
        return r.lastError().empty() ? "no output was written: " + asked.output : r.lastError();
    return {};
}

int runEncoder(const std::string& program, const FfmpegJob& asked, ProgressForm form) {
    platform::restoreDefaultChildHandling();
    if (!asked.error.empty()) return fail(program, asked.error);
    if (const std::string why = notARegularFile(asked.input); !why.empty())
        return fail(program, why);
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) return fail(program, ffmpegMissingReason());
    FfmpegJob job;
    if (const std::string why = preparedJob(asked, job); !why.empty()) return fail(program, why);
    watchStopSignals();
    // A failed or stopped run removes the partial file.
    const auto failAndClean = [&](const std::string& reason) {
        removeFile(job.output);
        return fail(program, reason);
    };
    RunReaders readers(asked, job.output, form, say);
    const ChildStatus st = runChild(
        ffmpeg, ffmpegArguments(job, ffmpegTakesStatsPeriod(ffmpeg)),
        [&readers](const std::string& line) { readers.progressLine(line); },
        [&readers](const std::string& line) { readers.logLine(line); });
    if (const std::string why = childTrouble(st); !why.empty()) return failAndClean(why);
    const Undecodable lost = undecodablePart(asked, st.exitCode, readers);
    if (lost == Undecodable::AllThereIs)
        return failAndClean(std::string(kUndecodableSoundCause) + ": " + readers.soundError());
    if (lost != Undecodable::None) {
        removeFile(job.output);
        FfmpegJob part = asked;
        part.outputOptions.push_back(lost == Undecodable::Sound ? "-an" : "-vn");
        return runEncoder(program, part, form);
    }
    if (const std::string why = outputTrouble(asked, job, st.exitCode, readers); !why.empty())
        return failAndClean(why);
    const std::string written = namedOutput(asked, job);
    if (written.empty())
        return failAndClean("cannot name the output " + asked.output + ": " + std::strerror(errno));
    if (written != asked.output) say(writtenAsLine(program, written));
    readers.finishProgress();
    return finishedRun(program, asked, ffmpeg, readers);
}

}  // namespace tessaro
