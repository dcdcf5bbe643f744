// tessaro-cli: converts the files named on the command line with the same
// batch as the window, printing one progress line per file and a summary.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/ConsoleCodePage.h"
#include "base/Platform.h"
#include "cli/ConsoleHost.h"
#include "cli/StopRequest.h"
#include "engine/Commands.h"
#include "engine/ConversionDriver.h"

using namespace tessaro;

namespace {

constexpr const char* kUsage =
    "Usage: tessaro-cli [-f INDEX] [-o FOLDER] [-j N] [--vb TEXT] [--fps TEXT]\n"
    "                   [--size TEXT] [--rate TEXT] [--abr TEXT] [--channels mono|stereo]\n"
    "                   FILE...\n"
    "\n"
    "Converts each FILE into the output format INDEX (default 0):\n"
    "  0 RMVB  1 RM  2 MPG  3 AVI  4 MP4 HD  5 MOV  6 MP4 phone  7 3GP  8 MP3\n"
    "\n"
    "  -f INDEX           output format, 0 to 8\n"
    "  -o FOLDER          output folder (default: the current folder; a leading ~ is\n"
    "                     the home folder)\n"
    "  -j, --jobs N       files converted at once, 1 to 16 (default: the number of\n"
    "                     processors, at most 4; 1 converts one after another)\n"
    "  --vb TEXT          video bitrate, kbit/s\n"
    "  --fps TEXT         frame rate\n"
    "  --size TEXT        video size, such as 320x240, or 原始大小 for the source size\n"
    "  --rate TEXT        audio sample rate, Hz\n"
    "  --abr TEXT         audio bitrate, kbit/s\n"
    "  --channels WHICH   mono or stereo\n"
    "  -h, --help         show this text\n"
    "  --version          show the version\n"
    "\n"
    "Options not given take the defaults of the chosen format. Exit status: 0 when\n"
    "every file converted, 1 when any failed or converted only in part (PARTIAL: the\n"
    "output is kept and holds what the source had), 2 for a usage error, 130 or 143\n"
    "when stopped by SIGINT or SIGTERM (the partial outputs of the files being\n"
    "converted are removed; they are listed as stopped).\n";

int usageError(const std::string& why) {
    std::fprintf(stderr, "tessaro-cli: %s\n\n%s", why.c_str(), kUsage);
    return 2;
}

std::string absolute(const std::string& path) {
    std::error_code ec;
    const auto full = std::filesystem::absolute(platform::nativePath(path), ec);
    return ec ? path : platform::utf8Path(full.lexically_normal());
}

// Warns when `option` sets a field that the commands of `format` do not read
// with this size (RMVB and RM at the source size read none but the size).
void warnIfUnread(int format, const std::string& size, const char* option, Field field) {
    const FieldUse use = fieldUse(format, size, field);
    if (use.read) return;
    std::fprintf(stderr, "tessaro-cli: warning: format %d does not use %s%s; the output has %.*s\n",
                 format, option, use.onlyAtSourceSize ? " at the source size" : "",
                 int(use.kept.size()), use.kept.data());
}

}  // namespace

int main(int argc, char** argv) {
    platform::useUtf8Console();
    platform::restoreDefaultChildHandling();
    const std::vector<std::string> args = platform::commandArguments(argc, argv);
    int format = 0;
    int jobs = platform::defaultJobs();
    std::string folder;
    std::vector<std::string> files;
    struct Override {
        const char* name;
        std::string ParameterTexts::*text;
        Field field;
        std::optional<std::string> value;
    };
    Override overrides[] = {
        {"--vb", &ParameterTexts::videoBitrate, Field::VideoBitrate, {}},
        {"--fps", &ParameterTexts::frameRate, Field::FrameRate, {}},
        {"--size", &ParameterTexts::videoSize, Field::VideoSize, {}},
        {"--rate", &ParameterTexts::sampleRate, Field::SampleRate, {}},
        {"--abr", &ParameterTexts::audioBitrate, Field::AudioBitrate, {}},
    };
    const auto takesValue = [&overrides](const std::string& option) {
        if (option == "-f" || option == "-o" || option == "-j" || option == "--jobs" ||
            option == "--channels")
            return true;
        for (const Override& o : overrides)
            if (option == o.name) return true;
        return false;
    };
    std::optional<int> channels;
    bool optionsEnded = false;

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string arg = args[i];
        if (arg.empty()) return usageError("an empty file name");
        if (optionsEnded || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "-") return usageError("standard input (-) cannot be converted; name a file");
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("tessaro-cli %s\n", TESSARO_VERSION);
            return 0;
        }
        if (!takesValue(arg)) return usageError("unknown option " + arg);
        if (i + 1 >= args.size()) return usageError(arg + " needs a value");
        const std::string value = args[++i];
        if (arg == "-f") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 0 || n >= kFormatCount)
                return usageError("-f takes a format index from 0 to 8, not '" + value + "'");
            format = static_cast<int>(n);
        } else if (arg == "-j" || arg == "--jobs") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > platform::kMaxJobs)
                return usageError(arg + " takes a number of files from 1 to " +
                                  std::to_string(platform::kMaxJobs) + ", not '" + value + "'");
            jobs = static_cast<int>(n);
        } else if (arg == "-o") {
            if (value.empty()) return usageError("-o needs a folder");
            folder = value;
        } else if (arg == "--channels") {
            if (value == "mono")
                channels = 0;
            else if (value == "stereo")
                channels = 1;
            else
                return usageError("--channels takes mono or stereo, not '" + value + "'");
        } else {
            for (Override& o : overrides)
                if (arg == o.name) o.value = value;
        }
    }
    if (files.empty()) return usageError("no input file");

    // The window starts on format 0 and then picks the chosen one.
    ParameterTexts parameters = withFormatDefaults(format, withFormatDefaults(0, {}));
    for (const Override& o : overrides)
        if (o.value) parameters.*(o.text) = *o.value;
    if (channels) parameters.channelPosition = *channels;
    for (const Override& o : overrides)
        if (o.value) warnIfUnread(format, parameters.videoSize, o.name, o.field);
    if (channels) warnIfUnread(format, parameters.videoSize, "--channels", Field::Channels);

    ConsoleHost host(stdout, ::isatty(STDOUT_FILENO) == 1);
    host.setFormatIndex(format);
    host.setParameters(parameters);
    // Unlike the window's, a relative folder is in the current folder here.
    std::error_code ec;
    const std::string outputFolder =
        resolveOutputFolder(folder.empty() ? "." : folder, platform::homeFolder(),
                            platform::utf8Path(std::filesystem::current_path(ec)));
    host.setOutputFolderText(outputFolder);
    std::printf("Output folder: %s\n", outputFolder.c_str());
    for (const std::string& file : files) host.enqueue(absolute(file));
    // What ended processes left in the temporary folder and in this output folder.
    platform::removeLeftovers(host.outputFolderText());

    // No more at once than there are files: one file shows its own progress.
    jobs = std::min(jobs, static_cast<int>(files.size()));
    host.setJobs(jobs);
    ConversionDriver driver(host);
    driver.setSoundReminder(1);
    driver.setJobs(jobs);
    driver.setFailureMessageShown(false);
    driver.fileFinished = [&host](const FileResult& r) { host.printResult(r); };
    watchStopRequests();
    host.onEvents = [&driver] {
        if (stopRequest() != 0) driver.Stop();
    };
    driver.Start();
    if (host.timer1Enabled() && stopRequest() == 0) driver.Timer1_Timer();

    host.endLine();
    int converted = 0;
    std::string noted, partial, failed;
    for (const FileResult& r : driver.results()) {
        if (r.converted) ++converted;
        std::string notes;
        for (const std::string& notice : r.notices) notes += (notes.empty() ? "" : "；") + notice;
        if (r.converted && !notes.empty())
            noted += "  " + r.input + " -> " + r.output + ": " + notes + "\n";
        else if (r.partial)
            partial += "  " + r.input + " -> " + r.output + ": " + r.reason + "\n";
        else if (!r.converted)
            failed += "  " + r.input + ": " + r.reason + "\n";
    }
    std::printf("Converted %d of %d file(s).\n", converted, host.total());
    if (!noted.empty()) std::printf("Converted with notes:\n%s", noted.c_str());
    // A partial file is neither converted nor lost: its output is kept.
    if (!partial.empty()) std::printf("Partial (output kept):\n%s", partial.c_str());
    if (!failed.empty()) std::printf("Failed:\n%s", failed.c_str());
    // A stop that came after the last file had been converted stopped nothing.
    if (const int stop = stopRequest(); stop != 0 && !host.remaining().empty()) {
        // Every file being converted when the stop came was stopped; a path
        // queued twice is stopped as often as it was running.
        std::multiset<std::string> running(driver.stoppedFiles().begin(),
                                           driver.stoppedFiles().end());
        std::string notStarted;
        for (const std::string& path : host.remaining()) {
            if (const auto it = running.find(path); it != running.end()) {
                std::printf("Stopped: %s\n", path.c_str());
                running.erase(it);
            } else {
                notStarted += "  " + path + "\n";
            }
        }
        if (!notStarted.empty()) std::printf("Not started:\n%s", notStarted.c_str());
        std::fflush(stdout);
        return stop;
    }
    return failed.empty() && partial.empty() ? 0 : 1;
}
