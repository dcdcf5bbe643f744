#include "encoders/IntermediateJob.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "encoders/EncoderProgress.h"
#include "encoders/EncoderRun.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/SourceProbe.h"

namespace tessaro {
namespace {

bool startsWith(const std::string& s, size_t at, const char* bytes, size_t n) {
    return s.size() >= at + n && s.compare(at, n, bytes, n) == 0;
}

unsigned byteAt(const std::string& s, size_t i) { return static_cast<unsigned char>(s[i]); }

void say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int fail(const std::string& program, const std::string& reason) {
    std::string line = reason;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    say("\n" + program + ": error: " + line + "\n");
    return 1;
}

void removeFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(platform::nativePath(path), ec);
}

// Copies source to target through the partial name beside it, so that the
// target exists only once complete; prints every percent of the bytes copied.
// A stop signal ends the copy and removes the partial file.
int copyWithProgress(const std::string& program, const std::string& source,
                     const std::string& target) {
    platform::restoreDefaultChildHandling();
    watchStopSignals();
    const int in = platform::openFile(source, O_RDONLY);
    if (in < 0) return fail(program, source + ": " + std::strerror(errno));
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(platform::nativePath(source), sizeError);
    const long long total = sizeError ? 0 : static_cast<long long>(size);
    const std::string part = partialFilePath(target, platform::processId());
    removeFile(part);
    const int out = platform::openFile(part, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (out < 0) {
        const std::string why = std::strerror(errno);
        ::close(in);
        return fail(program, part + ": " + why);
    }
    std::vector<char> buffer(1 << 20);
    long long copied = 0;
    int percent = -1;
    std::string error;
    for (;;) {
        if (const int sig = receivedStopSignal(); sig != 0) {
            error = "stopped by signal " + std::to_string(sig);
            break;
        }
        const auto n = ::read(in, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = source + ": " + std::strerror(errno);
            break;
        }
        if (n == 0) break;
        for (long long done = 0; done < n && error.empty();) {
            const auto w = ::write(out, buffer.data() + done, static_cast<unsigned>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0)
                error = part + ": " + std::strerror(errno);
            else
                done += w;
        }
        if (!error.empty()) break;
        copied += n;
        // Every percent shows; 100 waits for the finished file.
        const int p =
            total > 0 ? static_cast<int>(std::min<long long>(99, copied * 100 / total)) : 0;
        while (percent < p) say(convProgressText(++percent, 0, 0));
    }
    ::close(in);
    if (::close(out) != 0 && error.empty()) error = part + ": " + std::strerror(errno);
    if (error.empty() && copied == 0) error = "the source is empty: " + source;
    if (error.empty() && !renameNoReplace(part, target))
        error = target + ": " + std::strerror(errno);
    if (!error.empty()) {
        removeFile(part);
        return fail(program, error);
    }
    while (percent < 99) say(convProgressText(++percent, 0, 0));
    say(convProgressText(100, 0, 0) + "\n");
    return 0;
}

}  // namespace

std::string selfIdentifyingContainer(const std::string& h) {
    if (startsWith(h, 0, "FLV", 3) && h.size() >= 9 && byteAt(h, 3) < 5) {
        // The header's own length: 9 bytes or more, as every FLV has.
        const unsigned long size =
            byteAt(h, 5) << 24 | byteAt(h, 6) << 16 | byteAt(h, 7) << 8 | byteAt(h, 8);
        if (size > 8 && byteAt(h, 5) == 0) return "flv";
    }
    for (const char* atom : {"ftyp", "moov", "mdat", "wide", "free"})
        if (startsWith(h, 4, atom, 4)) return "mov";
    if (startsWith(h, 0, "\x1A\x45\xDF\xA3", 4)) return "matroska";
    if (startsWith(h, 0, "RIFF", 4) && startsWith(h, 8, "AVI", 3)) return "avi";
    if (startsWith(h, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16))
        return "asf";
    return {};
}

FfmpegJob intermediateEncodeJob(const FfmpegJob& designed, const SourceFacts& source,
                                const std::string& videoEncoder) {
    FfmpegJob job;
    job.input = designed.input;
    job.output = designed.output;
    job.keepsPicture = source.mainVideo >= 0;
    // Subtitles and data would reach stage two's outputs, which take neither;
    // a cover picture would become a video of one frame.
    job.outputOptions = pictureAndSoundMaps(source);
    auto& o = job.outputOptions;
    o.insert(o.end(), {"-sn", "-dn"});
    if (videoEncoder == "libx264" && !source.oddFrameSize)
        o.insert(o.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "12"});
    else
        o.insert(o.end(), {"-c:v", "mpeg4", "-q:v", "2"});
    job.threads = designed.threads;
    if (designed.threads > 0) o.insert(o.end(), {"-threads", std::to_string(designed.threads)});
    // Stage two may cut the picture into pieces at key frames, one every 2 s.
    if (designed.threads > 1) o.insert(o.end(), {"-force_key_frames", "expr:gte(t,n_forced*2)"});
    // NUT keeps the timestamps as decoded, whatever the frame rate.
    o.insert(o.end(), {"-c:a", "pcm_s16le", "-af", kSoundInStep, "-f", "nut"});
    return job;
}

int runIntermediate(const std::string& program, const FfmpegJob& designed) {
    std::string head(64, '\0');
    if (const int f = platform::openFile(designed.input, O_RDONLY); f >= 0) {
        const auto n = ::read(f, head.data(), static_cast<unsigned>(head.size()));
        head.resize(n > 0 ? static_cast<size_t>(n) : 0);
        ::close(f);
    } else {
        head.clear();
    }
    // What ffmpeg makes of the source: a copy of one it cannot read would only
    // fail in stage two, under the intermediate's name. The size from
    // ffmpeg's own report of the source: ffprobe is not everywhere ffmpeg is
    // (only ffmpeg.exe ships on Windows).
    const std::string ffmpeg = findFfmpeg();
    const SourceFacts source = ffmpeg.empty() ? SourceFacts{} : probeSource(ffmpeg, designed.input);
    if (!source.probed && !source.error.empty()) {
        std::string line = source.error;
        if (const std::string named = "file:" + designed.input; line.rfind(named, 0) == 0)
            line.replace(0, named.size(), designed.input);
        const bool unreadable = line.find("Invalid data found") != std::string::npos ||
                                line.find("could not find codec parameters") != std::string::npos;
        return fail(program, unreadable ? std::string(kUnreadableCause) + ": " + line : line);
    }
    if (!selfIdentifyingContainer(head).empty())
        return copyWithProgress(program, designed.input, designed.output);
    const bool x264 = !ffmpeg.empty() && ffmpegHasEncoder(ffmpeg, "libx264");
    return runEncoder(program, intermediateEncodeJob(designed, source, x264 ? "libx264" : "mpeg4"),
                      ProgressForm::Percent);
}

}  // namespace tessaro
