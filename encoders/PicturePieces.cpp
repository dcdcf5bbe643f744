#include "encoders/PicturePieces.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "base/Platform.h"
#include "encoders/AmrNbTrack.h"
#include "encoders/EncoderProgress.h"
#include "encoders/EncoderRun.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/RunReaders.h"
#include "encoders/SourceProbe.h"
#include "report/EncoderReport.h"

namespace tessaro {
namespace {

void say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

bool isOneOf(const std::string& option, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return option == n; });
}

// The output options that take no value.
bool isFlag(const std::string& option) { return isOneOf(option, {"-vn", "-an", "-sn", "-dn"}); }

bool isPictureOption(const std::string& option) {
    return isOneOf(option, {"-c:v", "-b:v", "-maxrate", "-bufsize", "-vf", "-r", "-threads",
                            "-vsync", "-pix_fmt"});
}

bool isSoundOption(const std::string& option) {
    return isOneOf(option, {"-c:a", "-b:a", "-ar", "-ac", "-af"});
}

// The options of a list, each with its value, that `keep` keeps.
template <typename Keep>
std::vector<std::string> optionsKept(const std::vector<std::string>& options, Keep keep) {
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const bool flag = isFlag(options[i]) || i + 1 == options.size();
        const std::string value = flag ? std::string() : options[i + 1];
        if (keep(options[i], value)) {
            kept.push_back(options[i]);
            if (!flag) kept.push_back(value);
        }
        if (!flag) ++i;
    }
    return kept;
}

// The value of the last such option; "" when there is none.
std::string optionValue(const std::vector<std::string>& options, const std::string& name) {
    std::string value;
    optionsKept(options, [&](const std::string& o, const std::string& v) {
        if (o == name) value = v;
        return false;
    });
    return value;
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

// ffconcat quotes a path in single quotes, a quote in it as '\''.
std::string concatQuoted(const std::string& path) {
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// ffmpeg's framecrc listing of the packets of the source's picture stream.
std::string pictureListing(const std::string& ffmpeg, const std::string& input, int stream) {
    std::string listing;
    runChild(ffmpeg,
             {"-hide_banner", "-nostdin", "-loglevel", "error", "-i", "file:" + input, "-map",
              "0:V:" + std::to_string(stream), "-c", "copy", "-f", "framecrc", "-"},
             [&listing](const std::string& line) { listing += line + "\n"; }, nullptr);
    return listing;
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(platform::nativePath(path), ec);
}

// One run of pieces: their files and the concat list in the temporary
// folder, removed however the run ends (the window removes those of a
// killed encoder by their names).
class PieceRun {
public:
    PieceRun(const std::string& program, const FfmpegJob& job, const std::string& ffmpeg,
             double duration, double rate, std::vector<long> starts)
        : m_program(program),
          m_job(job),
          m_ffmpeg(ffmpeg),
          m_duration(duration),
          m_rate(rate),
          m_starts(std::move(starts)) {
        const std::string stem = "piece-" + std::to_string(platform::processId()) + "-";
        for (std::size_t i = 0; i <= m_starts.size(); ++i)
            m_paths.push_back(platform::temporaryFile((stem + std::to_string(i) + ".avi").c_str()));
        m_list = platform::temporaryFile(
            ("pieces-" + std::to_string(platform::processId()) + ".ffconcat").c_str());
        m_done.assign(m_paths.size(), 0);
    }
    ~PieceRun() {
        for (const std::string& path : m_paths) removeQuietly(path);
        removeQuietly(m_list);
    }
    PieceRun(const PieceRun&) = delete;
    PieceRun& operator=(const PieceRun&) = delete;

    int run() {
        say(durationText(clockText(m_duration)));
        encodePieces();
        if (const int sig = receivedStopSignal(); sig != 0)
            return fail("stopped by signal " + std::to_string(sig));
        if (m_failed >= 0) {
            // A picture that does not decode: one run knows what to keep.
            if (m_undecodable) return runCoderJob(m_program, m_job);
            return fail("piece " + std::to_string(m_failed + 1) + " of " +
                        std::to_string(m_paths.size()) + ": " + m_reason);
        }
        say(timeText(m_duration));
        std::ofstream list(platform::nativePath(m_list), std::ios::binary);
        list << concatList(m_paths, m_starts, m_rate);
        list.close();
        if (!list) return fail("cannot write " + m_list);
        const int status = runEncoder(m_program, joinJob(m_job, m_list, codec()), ProgressForm::None);
        say("\n");
        return status;
    }

private:
    std::string codec() const { return optionValue(m_job.outputOptions, "-c:v"); }

    int fail(const std::string& reason) const {
        say(errorLine(m_program, reason));
        return 1;
    }

    long firstFrame(std::size_t piece) const { return piece == 0 ? 0 : m_starts[piece - 1]; }
    long frameCount(std::size_t piece) const {
        return piece == m_starts.size() ? 0 : m_starts[piece] - firstFrame(piece);
    }

    // Runs every piece at once; the first that fails ends the others.
    void encodePieces() {
        watchStopSignals();
        const bool statsPeriod = ffmpegTakesStatsPeriod(m_ffmpeg);
        const int threadsEach = std::max(1, m_job.threads / int(m_paths.size()));
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < m_paths.size(); ++i)
            threads.emplace_back([this, i, statsPeriod, threadsEach] {
                FfmpegJob piece = pieceJob(m_job, firstFrame(i), frameCount(i), m_rate, m_paths[i]);
                piece.threads = threadsEach;
                encodePiece(i, piece, statsPeriod);
            });
        for (std::thread& t : threads) t.join();
        allowChildren();
    }

    void encodePiece(std::size_t i, const FfmpegJob& piece, bool statsPeriod) {
        RunReaders readers(piece, piece.output, ProgressForm::None, nullptr);
        const ChildStatus st = runChild(
            m_ffmpeg, ffmpegArguments(piece, statsPeriod),
            [&](const std::string& line) {
                const std::lock_guard<std::mutex> hold(m_lock);
                readers.progressLine(line);
                showProgress(i, readers.frames());
            },
            [&](const std::string& line) {
                const std::lock_guard<std::mutex> hold(m_lock);
                readers.logLine(line);
            });
        const std::lock_guard<std::mutex> hold(m_lock);
        std::string why = childTrouble(st);
        if (why.empty()) why = outputTrouble(piece, piece, st.exitCode, readers);
        if (why.empty() || m_failed >= 0) return;
        m_failed = static_cast<int>(i);
        m_reason = why;
        m_undecodable = readers.pictureFailed() || (st.exitCode == 0 && readers.frames() == 0);
        endChildren();  // the other pieces are of no use now
    }

    // The share of the frames done, as the time of one run's output.
    void showProgress(std::size_t piece, long frames) {
        m_done[piece] = frames;
        long total = 0;
        for (long done : m_done) total += done;
        const double position = std::min(m_duration, total / m_rate);
        if (position - m_shown < 0.05) return;
        m_shown = position;
        say(timeText(position));
    }

    const std::string m_program;
    const FfmpegJob m_job;
    const std::string m_ffmpeg;
    const double m_duration, m_rate;
    const std::vector<long> m_starts;
    std::vector<std::string> m_paths;
    std::string m_list;

    std::mutex m_lock;  // guards what follows while the pieces run
    std::vector<long> m_done;
    double m_shown = -1;
    int m_failed = -1;
    std::string m_reason;
    bool m_undecodable = false;
};

}  // namespace

bool encodesOnOneThread(const std::string& codec) { return codec == "rv10" || codec == "h263"; }

std::vector<double> keyFrameTimes(const std::string& framecrc) {
    std::vector<double> times;
    double unit = 0;
    std::istringstream lines(framecrc);
    std::string line;
    while (std::getline(lines, line)) {
        long num = 0, den = 0;
        if (std::sscanf(line.c_str(), "#tb 0: %ld/%ld", &num, &den) == 2 && num > 0 && den > 0)
            unit = double(num) / double(den);
        if (line.empty() || line[0] == '#' || unit <= 0) continue;
        long long dts = 0, pts = 0;
        if (std::sscanf(line.c_str(), "%*d, %lld, %lld,", &dts, &pts) != 2 || pts < 0) continue;
        const auto flags = line.find("F=0x");
        if (flags != std::string::npos && (std::strtol(line.c_str() + flags + 4, nullptr, 16) & 1) == 0)
            continue;
        times.push_back(double(pts) * unit);
    }
    std::sort(times.begin(), times.end());
    return times;
}

std::vector<long> pieceStarts(const std::vector<double>& keyFrames, double duration, double rate,
                              int threads) {
    std::vector<long> starts;
    if (threads < 2 || rate <= 0 || !(duration > 0)) return starts;
    const int pieces = std::min(threads, static_cast<int>(duration / kShortestPiece));
    if (pieces < 2) return starts;
    // A cut lands on the key frame nearest its place, when one is within a
    // quarter of a piece and leaves both sides long enough.
    const double share = duration / pieces;
    double previous = 0;
    for (int i = 1; i < pieces; ++i) {
        const double place = share * i;
        const auto nearest = std::min_element(
            keyFrames.begin(), keyFrames.end(),
            [place](double a, double b) { return std::fabs(a - place) < std::fabs(b - place); });
        if (nearest == keyFrames.end() || std::fabs(*nearest - place) > share / 4) continue;
        if (*nearest - previous < kShortestPiece / 2 || duration - *nearest < kShortestPiece / 2)
            continue;
        previous = *nearest;
        starts.push_back(std::lround(*nearest * rate));
    }
    return starts;
}

FfmpegJob pieceJob(const FfmpegJob& job, long first, long frames, double rate,
                   const std::string& path) {
    FfmpegJob piece;
    piece.input = job.input;
    piece.output = path;
    piece.keepsPicture = job.keepsPicture;
    // A quarter frame early: the first frame is kept, the one before it not.
    if (first > 0) piece.inputOptions = {"-ss", seconds((first - 0.25) / rate)};
    piece.outputOptions =
        optionsKept(job.outputOptions, [](const std::string& o, const std::string& v) {
            if (o == "-map") return v.find(":a") == std::string::npos;
            return !isSoundOption(o) && o != "-f" && o != "-threads";
        });
    // Every frame of one run's output, duplicates included, so that the
    // pieces' frames add up to its own.
    auto& o = piece.outputOptions;
    o.insert(o.end(), {"-an", "-vsync", "cfr"});
    if (frames > 0) o.insert(o.end(), {"-frames:v", std::to_string(frames)});
    o.insert(o.end(), {"-f", "avi"});
    return piece;
}

FfmpegJob joinJob(const FfmpegJob& job, const std::string& list, const std::string& codec) {
    FfmpegJob join = job;
    // AVI keeps no codec of RealVideo's: the pieces are read as what they are.
    join.extraInputs.push_back({list, {"-c:v", codec, "-f", "concat", "-safe", "0"}});
    join.outputOptions = {"-map", "1:v:0", "-map", "0:a:0?", "-c:v", "copy"};
    const auto rest = optionsKept(job.outputOptions, [](const std::string& o, const std::string&) {
        return o != "-map" && !isPictureOption(o);
    });
    join.outputOptions.insert(join.outputOptions.end(), rest.begin(), rest.end());
    return join;
}

std::string concatList(const std::vector<std::string>& pieces, const std::vector<long>& starts,
                       double rate) {
    std::string text = "ffconcat version 1.0\n";
    long previous = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        text += "file " + concatQuoted("file:" + pieces[i]) + "\n";
        if (i < starts.size()) {
            text += "duration " + seconds((starts[i] - previous) / rate) + "\n";
            previous = starts[i];
        }
    }
    return text;
}

int runCoderJobInPieces(const std::string& program, const FfmpegJob& job,
                        const SourceFacts& source) {
    const std::string codec = optionValue(job.outputOptions, "-c:v");
    const double rate = std::atof(optionValue(job.outputOptions, "-r").c_str());
    const bool cuttable = job.error.empty() && job.threads > 1 && encodesOnOneThread(codec) &&
                          !job.ownAmrNb && !job.audioOnly && source.probed &&
                          source.mainVideo >= 0 && source.audioStreams <= 1 && rate > 0 &&
                          source.duration >= 2 * kShortestPiece;
    const std::string ffmpeg = cuttable ? findFfmpeg() : std::string();
    if (ffmpeg.empty() || !platform::prepareTemporaryFolder()) return runCoderJob(program, job);
    platform::restoreDefaultChildHandling();
    const std::vector<long> starts =
        pieceStarts(keyFrameTimes(pictureListing(ffmpeg, job.input, source.mainVideo)),
                    source.duration, rate, job.threads);
    if (starts.empty()) return runCoderJob(program, job);
    return PieceRun(program, job, ffmpeg, source.duration, rate, starts).run();
}

}  // namespace tessaro
