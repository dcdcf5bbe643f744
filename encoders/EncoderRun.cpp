#include "encoders/EncoderRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "encoders/EncoderProgress.h"
#include "encoders/FfmpegProcess.h"
#include "engine/Platform.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsText.h"

namespace tessaro {
namespace {

void say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// A reason is printed on one line, whatever the paths in it hold.
std::string oneLine(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return s;
}

int fail(const std::string& program, const std::string& reason) {
    say("\n" + program + ": error: " + oneLine(reason) + "\n");
    return 1;
}

// ffmpeg's encoder names, one a line, as "ffmpeg -encoders" lists them.
std::string listEncoders(const std::string& ffmpeg) {
    std::string names;
    runChild(
        ffmpeg, {"-hide_banner", "-nostdin", "-encoders"},
        [&](const std::string& line) {
            // " A..... libopencore_amrnb    OpenCORE AMR-NB ..."
            if (line.size() < 9 || line[0] != ' ' || line[7] != ' ') return;
            const auto end = line.find(' ', 8);
            names += line.substr(8, end == std::string::npos ? std::string::npos : end - 8) + "\n";
        },
        nullptr);
    return names;
}

}  // namespace

bool ffmpegHasEncoder(const std::string& ffmpeg, const std::string& encoder) {
    // Starting ffmpeg just to list its encoders costs as much as a short
    // conversion, so the list is kept in the temporary folder, keyed by the
    // ffmpeg file's path, size and modification time.
    namespace fs = std::filesystem;
    std::string key;
    std::error_code sizeError, timeError;
    const fs::path file = platform::nativePath(ffmpeg);
    const auto size = fs::file_size(file, sizeError);
    const auto time = fs::last_write_time(file, timeError);
    if (!sizeError && !timeError)
        key = ffmpeg + "\t" + std::to_string(size) + "\t" +
              std::to_string(time.time_since_epoch().count()) + "\n";
    const bool cacheable = !key.empty() && platform::prepareTemporaryFolder();
    const std::string cache = platform::temporaryFile("ffmpeg-encoders.txt");
    std::string names;
    if (cacheable) {
        std::string text;
        if (readFileHead(cache, text) == FileHead::Read && text.rfind(key, 0) == 0)
            names = text.substr(key.size());
    }
    if (names.empty()) {
        names = listEncoders(ffmpeg);
        if (cacheable && !names.empty()) writeFileAtomically(cache, key + names);
    }
    return ("\n" + names).find("\n" + encoder + "\n") != std::string::npos;
}

int runEncoder(const std::string& program, const FfmpegJob& job, ProgressForm form) {
    if (!job.error.empty()) return fail(program, job.error);
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) return fail(program, ffmpegMissingReason());

    double duration = -1;
    bool durationSeen = false, outputSeen = false;
    std::string lastError;
    int lastPercent = -1;
    long frames = 0;

    auto onLog = [&](const std::string& line) {
        // "[info]   Duration: 00:00:10.03, start: ..." of the input; later ones
        // (of the output) are not the input's length.
        if (line.find("Output #") != std::string::npos) outputSeen = true;
        if (!durationSeen && !outputSeen) {
            const std::string clock = durationClock(line);
            if (!clock.empty()) {
                durationSeen = true;
                duration = clockSeconds(clock);
                if (form == ProgressForm::DurationTime) say(durationText(clock));
            }
        }
        if (line.rfind("[error]", 0) == 0 || line.rfind("[fatal]", 0) == 0 ||
            line.rfind("[panic]", 0) == 0) {
            auto text = line.substr(line.find(']') + 1);
            const auto first = text.find_first_not_of(' ');
            lastError = first == std::string::npos ? std::string() : text.substr(first);
        }
    };
    auto onProgress = [&](const std::string& line) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) return;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "frame") {
            frames = std::atol(value.c_str());
        } else if (key == "out_time_us") {
            if (value.empty() || value[0] < '0' || value[0] > '9') return;  // "N/A"
            const double pos = std::atof(value.c_str()) / 1e6;
            if (form == ProgressForm::DurationTime) {
                say(timeText(pos));
            } else if (duration > 0) {
                // Every percent shows; 100 waits for the finished file.
                const int p = std::min(99, static_cast<int>(std::floor(pos / duration * 100)));
                while (lastPercent < p) say(convProgressText(++lastPercent, pos, frames));
            }
        }
    };

    const ChildStatus st = runChild(ffmpeg, ffmpegArguments(job), onProgress, onLog);
    if (!st.started) return fail(program, "cannot start ffmpeg: " + st.startError);
    if (!st.exited)
        return fail(program, "ffmpeg was stopped by signal " + std::to_string(st.signal));
    if (st.exitCode != 0)
        return fail(program, lastError.empty()
                                 ? "ffmpeg failed with exit status " + std::to_string(st.exitCode)
                                 : lastError);
    std::error_code ec;
    const auto written = std::filesystem::file_size(platform::nativePath(job.output), ec);
    if (ec || written == 0)
        return fail(program, "no output was written: " + job.output);
    if (form == ProgressForm::Percent) {
        while (lastPercent < 99) say(convProgressText(++lastPercent, duration, frames));
        say(convProgressText(100, duration > 0 ? duration : 0, frames) + "\n");
    } else {
        say("\n");
    }
    return 0;
}

}  // namespace tessaro
