// tessaro-cli: converts the files named on the command line with the same
// batch as the window, printing one progress line per file and a summary.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/CommandLineText.h"
#include "base/ConsoleCodePage.h"
#include "base/Platform.h"
#include "cli/ConsoleHost.h"
#include "cli/StopRequest.h"
#include "encoders/EncoderOptions.h"
#include "encoders/OptionValues.h"
#include "engine/Commands.h"
#include "engine/ConversionDriver.h"

using namespace tessaro;

namespace {

constexpr const char* kUsage =
    "Usage: tessaro-cli [-f INDEX] [-o FOLDER] [-j N] [--threads N] [--vb TEXT]\n"
    "                   [--fps TEXT] [--size TEXT] [--rate TEXT] [--abr TEXT]\n"
    "                   [--channels mono|stereo|source] FILE...\n"
    "\n"
    "Converts each FILE into the output format INDEX (default 0):\n"
    "  0 RMVB  1 RM  2 MPG  3 AVI  4 MP4 HD  5 MOV  6 MP4 phone  7 3GP  8 MP3\n"
    "  9 MP4 (H.264 + AAC)  10 MP4 (H.265 + AAC)  11 WebM (VP9 + Opus)\n"
    "  12 M4A (AAC)  13 FLAC  14 Opus  15 WAV\n"
    "\n"
    "  -f INDEX           output format, 0 to 15\n"
    "  -o FOLDER          output folder (default: the current folder; a leading ~ is\n"
    "                     the home folder)\n"
    "  -j, --jobs N       files converted at once, 1 to 16 (default: the number of\n"
    "                     processors, at most 4; 1 converts one after another)\n"
    "  --threads N        threads each file's encoders run on, 1 to 64 (default: the\n"
    "                     processors shared among the files converted at once)\n"
    "  --vb TEXT          video bitrate, kbit/s (formats 9 to 11: 自动, the default,\n"
    "                     chooses by quality)\n"
    "  --fps TEXT         frame rate (formats 9 to 11: 原始帧率 keeps the source's)\n"
    "  --size TEXT        video size, such as 320x240, or 原始大小 for the source size\n"
    "  --rate TEXT        audio sample rate, Hz (formats 9 to 15: 原始频率 keeps the\n"
    "                     source's)\n"
    "  --abr TEXT         audio bitrate, kbit/s\n"
    "  --channels WHICH   mono or stereo; source keeps the source's (formats 9 to 15)\n"
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

// An option that sets a parameter field, and the caption the encoders'
// reasons name the field by.
struct Override {
    const char* name;
    std::string ParameterTexts::*text;
    Field field;
    const char* caption;
};

constexpr Override kOverrides[] = {
    {"--vb", &ParameterTexts::videoBitrate, Field::VideoBitrate, kVideoBitrateField},
    {"--fps", &ParameterTexts::frameRate, Field::FrameRate, kFrameRateField},
    {"--size", &ParameterTexts::videoSize, Field::VideoSize, kVideoSizeField},
    {"--rate", &ParameterTexts::sampleRate, Field::SampleRate, kSampleRateField},
    {"--abr", &ParameterTexts::audioBitrate, Field::AudioBitrate, kAudioBitrateField},
};
constexpr std::size_t kOverrideCount = std::size(kOverrides);

// --threads reaches the encoders as it stands: they take as many.
static_assert(ConversionDriver::kMaxThreads == kMostThreads);

// What the command line asks.
struct Request {
    int format = 0;
    int jobs = platform::defaultJobs();
    int threads = 0;  // 0: the batch's choice
    std::string folder;
    std::vector<std::string> files;
    std::optional<std::string> values[kOverrideCount];  // of kOverrides
    std::optional<int> channels;                        // the channel list's position
    ParameterTexts parameters;                          // the fields, options applied
};

bool takesValue(const std::string& option) {
    for (const Override& o : kOverrides)
        if (option == o.name) return true;
    return option == "-f" || option == "-o" || option == "-j" || option == "--jobs" ||
           option == "--threads" || option == "--channels";
}

// A whole number from min to max; none for any other text.
std::optional<int> wholeNumber(const std::string& text, long min, long max) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < min || n > max) return std::nullopt;
    return static_cast<int>(n);
}

// Takes the value of one option; "" or why it is refused.
std::string takeValue(const std::string& option, const std::string& value, Request& r) {
    if (option == "-f") {
        const std::optional<int> n = wholeNumber(value, 0, kFormatCount - 1);
        if (!n)
            return "-f takes a format index from 0 to " + std::to_string(kFormatCount - 1) +
                   ", not '" + value + "'";
        r.format = *n;
    } else if (option == "-j" || option == "--jobs") {
        const std::optional<int> n = wholeNumber(value, 1, platform::kMaxJobs);
        if (!n)
            return option + " takes a number of files from 1 to " +
                   std::to_string(platform::kMaxJobs) + ", not '" + value + "'";
        r.jobs = *n;
    } else if (option == "--threads") {
        const std::optional<int> n = wholeNumber(value, 1, ConversionDriver::kMaxThreads);
        if (!n)
            return "--threads takes a number of threads from 1 to " +
                   std::to_string(ConversionDriver::kMaxThreads) + ", not '" + value + "'";
        r.threads = *n;
    } else if (option == "-o") {
        if (value.empty()) return "-o needs a folder";
        r.folder = value;
    } else if (option == "--channels") {
        if (value != "mono" && value != "stereo" && value != "source")
            return "--channels takes mono, stereo or source, not '" + value + "'";
        r.channels = value == "mono" ? 0 : value == "stereo" ? 1 : kSourceChannels;
    } else {
        for (std::size_t i = 0; i < kOverrideCount; ++i)
            if (option == kOverrides[i].name) r.values[i] = value;
    }
    return {};
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

// Why the encoders would refuse the fields of every file; "" when they take
// them. The commands are the batch's own, for any file: their values are
// read as the encoders read them.
std::string refusedValue(const Request& r) {
    const CommandPaths paths{"/app", "/in.flv", "/out", "/tmp/intermediate.mp4"};
    for (const std::string& command : {stageOneCommand(r.format, paths, r.parameters),
                                       stageTwoCommand(r.format, paths, r.parameters)}) {
        const std::string why = refusedOptions(splitCommandLine(command));
        if (why.empty()) continue;
        // Named by the option that gave the field.
        for (std::size_t i = 0; i < kOverrideCount; ++i)
            if (r.values[i] && why.find(kOverrides[i].caption) != std::string::npos)
                return std::string(kOverrides[i].name) + " '" + *r.values[i] + "': " + why;
        return why;
    }
    return {};
}

// The fields of the chosen format with the options applied; warns of the
// options the format does not read.
ParameterTexts parametersOf(const Request& r) {
    // The window starts on format 0 and then picks the chosen one.
    ParameterTexts parameters = withFormatDefaults(r.format, withFormatDefaults(0, {}));
    for (std::size_t i = 0; i < kOverrideCount; ++i)
        if (r.values[i]) parameters.*(kOverrides[i].text) = *r.values[i];
    if (r.channels) parameters.channelPosition = *r.channels;
    for (std::size_t i = 0; i < kOverrideCount; ++i)
        if (r.values[i])
            warnIfUnread(r.format, parameters.videoSize, kOverrides[i].name, kOverrides[i].field);
    if (r.channels) warnIfUnread(r.format, parameters.videoSize, "--channels", Field::Channels);
    return parameters;
}

// Reads the command line into r; the exit status when the program ends here
// (help, version, a usage error), none when the batch is to run.
std::optional<int> parse(const std::vector<std::string>& args, Request& r) {
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string arg = args[i];
        if (arg.empty()) return usageError("an empty file name");
        if (optionsEnded || arg[0] != '-') {
            r.files.push_back(arg);
            continue;
        }
        if (arg == "-") return usageError("standard input (-) cannot be converted; name a file");
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("tessaro-cli %s\n", TESSARO_VERSION);
            return 0;
        } else if (!takesValue(arg)) {
            return usageError("unknown option " + arg);
        } else if (i + 1 >= args.size()) {
            return usageError(arg + " needs a value");
        } else if (const std::string why = takeValue(arg, args[++i], r); !why.empty()) {
            return usageError(why);
        }
    }
    if (r.files.empty()) return usageError("no input file");
    if (r.channels == kSourceChannels && !isCurrentFormat(r.format))
        return usageError("--channels source applies to formats " +
                          std::to_string(kFirstCurrentFormat) + " to " +
                          std::to_string(kFormatCount - 1));
    r.parameters = parametersOf(r);
    if (const std::string why = refusedValue(r); !why.empty()) return usageError(why);
    return std::nullopt;
}

// Queues the files and converts them; what is printed as they finish is the
// host's.
void run(const Request& r, ConsoleHost& host, ConversionDriver& driver) {
    host.setFormatIndex(r.format);
    host.setParameters(r.parameters);
    // Unlike the window's, a relative folder is in the current folder here.
    std::error_code ec;
    const std::string outputFolder =
        resolveOutputFolder(r.folder.empty() ? "." : r.folder, platform::homeFolder(),
                            platform::utf8Path(std::filesystem::current_path(ec)));
    host.setOutputFolderText(outputFolder);
    std::printf("Output folder: %s\n", outputFolder.c_str());
    for (const std::string& file : r.files) host.enqueue(absolute(file));
    // What ended processes left in the temporary folder and in this output folder.
    platform::removeLeftovers(host.outputFolderText());

    // No more at once than there are files: one file shows its own progress.
    const int jobs = std::min(r.jobs, static_cast<int>(r.files.size()));
    host.setJobs(jobs);
    driver.setSoundReminder(1);
    driver.setJobs(jobs);
    driver.setThreads(r.threads);
    driver.setFailureMessageShown(false);
    driver.fileFinished = [&host](const FileResult& result) { host.printResult(result); };
    watchStopRequests();
    host.onEvents = [&driver] {
        if (stopRequest() != 0) driver.Stop();
    };
    driver.Start();
    if (host.timer1Enabled() && stopRequest() == 0) driver.Timer1_Timer();
    host.endLine();
}

// Lists the files a stop left: those it stopped, and those not started.
void printStopped(const ConsoleHost& host, const ConversionDriver& driver) {
    // Every file being converted when the stop came was stopped; a path
    // queued twice is stopped as often as it was running.
    std::multiset<std::string> running(driver.stoppedFiles().begin(), driver.stoppedFiles().end());
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
}

// Prints the batch's summary; the exit status.
int summary(const ConsoleHost& host, const ConversionDriver& driver) {
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
        printStopped(host, driver);
        return stop;
    }
    return failed.empty() && partial.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::useUtf8Console();
    platform::restoreDefaultChildHandling();
    Request request;
    if (const std::optional<int> status = parse(platform::commandArguments(argc, argv), request))
        return *status;
    ConsoleHost host(stdout, ::isatty(STDOUT_FILENO) == 1);
    ConversionDriver driver(host);
    run(request, host, driver);
    return summary(host, driver);
}
