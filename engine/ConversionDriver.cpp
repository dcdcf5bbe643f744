#include "engine/ConversionDriver.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "engine/Commands.h"
#include "engine/EncoderReport.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

// Size of a regular file, -1 when there is none.
std::intmax_t fileSize(const std::string& path) {
    std::error_code ec;
    const fs::path file = platform::nativePath(path);
    if (!fs::is_regular_file(file, ec)) return -1;
    const auto size = fs::file_size(file, ec);
    return ec ? -1 : static_cast<std::intmax_t>(size);
}

std::string notStarted(const char* imageName) { return std::string("无法启动编码器 ") + imageName; }

// Why a queued path cannot be converted at all; "" for a regular file or a
// missing one (the encoder reports that). A FIFO or a device would hang the
// batch.
std::string notARegularFile(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(platform::nativePath(path), ec);
    if (ec || !fs::exists(st) || fs::is_regular_file(st)) return {};
    const char* what = fs::is_directory(st) ? "文件夹"
                       : fs::is_fifo(st)    ? "命名管道"
                       : fs::is_socket(st)  ? "套接字"
                                            : "设备";
    return std::string("不是普通文件（") + what + "）";
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    if (!path.empty()) fs::remove(platform::nativePath(path), ec);
}

// Bytes a name may take so that its partial name and a "_N" clash suffix fit.
std::size_t outputNameRoom(const std::string& folder) {
    const std::size_t reserve = kPartialNameExtra + 5;
    const std::size_t max = platform::maxFileNameLength(folder);
    return max > reserve ? max - reserve : 1;
}

// Why the output folder cannot take the outputs; "" when it can. Writing is
// tried by making (and removing) a folder in it, so that permission bits,
// access lists and a read-only file system all show.
std::string outputFolderProblem(const std::string& folder) {
    const fs::path path = platform::nativePath(folder);
    std::error_code made, ec;
    fs::create_directories(path, made);
    if (!fs::is_directory(path, ec)) {
        // Without the trailing separator: "file/" does not exist, "file" does.
        if (fs::exists(path.has_filename() ? path : path.parent_path(), ec))
            return "输出路径不是文件夹：" + folder;
        return "无法创建输出文件夹 " + folder + "（" + (made ? made.message() : "?") + "）";
    }
    const fs::path probe = path / (".tessaro-probe-" + std::to_string(platform::processId()));
    if (!fs::create_directory(probe, ec) && ec)
        return "输出文件夹不可写 " + folder + "（" + ec.message() + "）";
    fs::remove(probe, ec);
    return {};
}

}  // namespace

ConversionDriver::ConversionDriver(BatchHost& host)
    : m_host(host), objDOS(host, host), objffmpeg(host, host) {
    objDOS.ReceiveOutputs = [this](const std::string& text) { objDOS_ReceiveOutputs(text); };
    objffmpeg.ReceiveOutputs = [this](const std::string& text) { objffmpeg_ReceiveOutputs(text); };
    objDOS.CommandOver = [this] { objDOS_CommandOver(); };
    objffmpeg.CommandOver = [this] { objffmpeg_CommandOver(); };
}

void ConversionDriver::setSoundReminder(int intSoundReminder) { m_soundReminder = intSoundReminder; }

void ConversionDriver::setFailureMessageShown(bool shown) { m_failureMessageShown = shown; }

void ConversionDriver::setJobs(int jobs) { m_jobs = std::clamp(jobs, 1, platform::kMaxJobs); }

const std::vector<FileResult>& ConversionDriver::results() const { return m_results; }

void ConversionDriver::Start() {
    if (m_running) return;
    if (m_host.queueCount() == 0) {
        m_host.showMessage("请先添加一个文件", MessageIcon::Exclamation, "添加");
        return;
    }
    m_host.setControlsEnabled(false);
    m_armed = true;
    m_stopRequested = false;
    m_host.setTimer1Enabled(true);
}

void ConversionDriver::Stop() {
    if (!running()) return;
    m_stopRequested = true;
    objDOS.Terminate();
    objffmpeg.Terminate();
}

void ConversionDriver::Timer1_Timer() {
    m_host.setTimer1Enabled(false);
    if (m_running) return;
    try {
        m_host.processEvents();
    } catch (...) {
        // the batch below still runs and ends cleanly
    }
    ConvertQueue();
}

std::string ConversionDriver::outputFolder() {
    const std::string text = m_host.outputFolderText();
    const std::string folder = windowOutputFolder(text);
    if (folder != text) m_host.setOutputFolderText(folder);
    std::error_code ec;
    fs::create_directories(platform::nativePath(folder), ec);  // a failure shows as a missing output
    return folder;
}

void ConversionDriver::ConvertQueue() {
    if (m_running) return;
    m_running = true;
    m_armed = false;
    m_stopped = false;
    m_results.clear();
    // Whatever ends the batch (its end, Stop, an exception) leaves the
    // controls enabled and the driver ready for the next one.
    struct BatchEnd {
        ConversionDriver& d;
        ~BatchEnd() {
            if (d.m_temporaryReady) removeQuietly(platform::intermediateFile());
            try {
                d.m_stopped = d.m_stopRequested && d.m_host.queueCount() > 0;
            } catch (...) {
                d.m_stopped = d.m_stopRequested;
            }
            d.m_running = false;
            d.m_stopRequested = false;
            try {
                d.m_host.setControlsEnabled(true);
                d.m_host.setProgressBarWidth(0);
                d.m_host.setProgressCaption(d.m_stopped ? "已停止。" : "Done.");
                d.m_host.showCurrentFile({});
            } catch (...) {
            }
        }
    };
    {
        BatchEnd end{*this};
        try {
            runBatch();
            // A Stop that came after the last file had been committed stopped nothing.
            if (!m_stopRequested || m_host.queueCount() == 0) {
                m_host.openFolder(m_host.outputFolderText());
                if (m_soundReminder == 0)
                    m_host.playSound(platform::applicationFile(platform::kSoundFile));
            }
        } catch (const std::exception& e) {
            m_host.showMessage(std::string("转换中断：") + e.what(), MessageIcon::Critical, "Tessaro");
        } catch (...) {
            m_host.showMessage("转换中断", MessageIcon::Critical, "Tessaro");
        }
    }
    reportFailures();
}

void ConversionDriver::runBatch() {
    outputFolder();
    std::string temporaryProblem;
    const bool temporaryReady = platform::prepareTemporaryFolder(&temporaryProblem);
    m_temporaryReady = temporaryReady;
    const std::string intermediate = platform::intermediateFile();

    while (m_host.queueCount() > 0 && !m_stopRequested) {
        const std::string folder = outputFolder();
        m_format = m_host.formatIndex();
        m_input = m_host.queueHead();
        m_output.clear();
        m_incomplete.clear();
        m_fileFinished = false;
        m_host.showCurrentFile(m_input);

        const OutputFormat* format = outputFormat(m_format);
        std::error_code ec;
        if (!format) {
            finishFile(false, "没有选择输出格式");
        } else if (const std::string why = outputFolderProblem(folder); !why.empty()) {
            finishFile(false, why);
        } else if (const std::string why = notARegularFile(m_input); !why.empty()) {
            finishFile(false, why);
        } else {
            // Never convert from the previous file's intermediate.
            // A refused temporary folder is left alone.
            if (temporaryReady) fs::remove(platform::nativePath(intermediate), ec);
            if (isTwoStage(m_format) && (!temporaryReady || fs::exists(platform::nativePath(intermediate), ec))) {
                finishFile(false, temporaryReady ? "无法删除中间文件 " + intermediate
                                                 : "临时文件夹不可用：" + temporaryProblem);
            } else {
                CommandPaths paths{platform::applicationFolder(), m_input, {}, intermediate};
                if (!isTwoStage(m_format)) paths.output = m_output = nameOutput(folder, *format);
                const std::string command = stageOneCommand(m_format, paths, m_host.parameters());
                DOSOutputs& runner = m_format == kMp3 ? objffmpeg : objDOS;
                runStage(runner, encoderImageName(format->stageOne), command,
                         isTwoStage(m_format) ? intermediate : m_output);
                if (!m_fileFinished && !m_stopRequested)
                    finishFile(false, notStarted(encoderImageName(format->stageOne)));
            }
        }
        if (temporaryReady) removeQuietly(intermediate);
        m_host.processEvents();
    }
}

std::string ConversionDriver::nameOutput(const std::string& folder, const OutputFormat& format) {
    return uniqueOutputPath(fittedOutputPath(folder, m_input, format.extension, currentClockTime(),
                                             outputNameRoom(folder)),
                            format.extension);
}

void ConversionDriver::runStage(DOSOutputs& runner, const char* imageName,
                                const std::string& command, const std::string& target) {
    strEncoderExe = imageName;
    runner.setCommandLine(command);
    // A killed or stopped encoder cannot remove its partial output itself;
    // done even when a handler throws.
    struct PartialCleanup {
        const DOSOutputs& runner;
        const std::string& target;
        ~PartialCleanup() {
            if (runner.lastStatus().started) removeQuietly(partialFilePath(target, runner.lastStatus().pid));
        }
    } cleanup{runner, target};
    runner.ExecuteCommand({});
}

void ConversionDriver::show(const std::optional<ProgressDisplay>& display) {
    if (!display) return;
    m_host.setProgressBarWidth(display->barWidth);
    m_host.setProgressValue(display->value);
    m_host.setProgressCaption(display->caption);
}

void ConversionDriver::objDOS_ReceiveOutputs(const std::string& CommandOutputs) {
    show(stageOneProgress(CommandOutputs, strSpinner, &m_host));
}

void ConversionDriver::objffmpeg_ReceiveOutputs(const std::string& CommandOutputs) {
    show(stageTwoProgress(CommandOutputs, strSpinner, lngDuration, &m_host));
}

std::string ConversionDriver::runFailure(const DOSOutputs& runner, const char* imageName,
                                         const std::string& file, const char* emptyReason,
                                         const char* missingReason) const {
    const RunStatus& status = runner.lastStatus();
    if (!status.started) return notStarted(imageName);
    if (status.unknown) {
        // Reaped elsewhere: the file tells how the run went.
    } else if (!status.exited)
        return std::string(imageName) + " 被信号 " + std::to_string(status.signal) + " 终止";
    else if (status.exitCode != 0 && status.exitCode != kExitIncompleteSource)
        return failureReason({imageName, status.exitCode, runner.Outputs(), m_input,
                              file == m_output ? m_output : std::string(), m_format == kMp3});
    const auto size = fileSize(file);
    if (size < 0) return missingReason;
    if (size == 0) return emptyReason;
    return {};
}

// The reason an incomplete source gives, "" when the run did not say so.
static std::string incompleteReason(const DOSOutputs& runner) {
    const RunStatus& status = runner.lastStatus();
    if (!status.exited || status.exitCode != kExitIncompleteSource) return {};
    const std::string reason = lastErrorReason(runner.Outputs());
    return reason.empty() ? "源文件可能不完整" : reason;
}

// The name the encoder's output finally took.
static std::string writtenOutput(const DOSOutputs& runner, const std::string& asked) {
    const std::string renamed = writtenAsPath(runner.Outputs());
    return renamed.empty() ? asked : renamed;
}

void ConversionDriver::objDOS_CommandOver() {
    const OutputFormat* format = outputFormat(m_format);
    if (!format) {
        if (!m_stopRequested) finishFile(false, "没有选择输出格式");
        return;
    }
    if (!isTwoStage(m_format)) return finishRun(objDOS, encoderImageName(format->stageOne));
    // After Stop no stage two starts: the file stays queued.
    if (m_stopRequested) return;
    const std::string folder = outputFolder();
    const std::string intermediate = platform::intermediateFile();
    const std::string why = runFailure(objDOS, encoderImageName(format->stageOne), intermediate,
                                       "中间文件为空", "没有生成中间文件");
    if (!why.empty()) return finishFile(false, why);
    // The intermediate holds all the source does: stage two still runs.
    m_incomplete = incompleteReason(objDOS);

    m_output = nameOutput(folder, *format);
    const CommandPaths paths{platform::applicationFolder(), m_input, m_output, intermediate};
    const char* imageName = encoderImageName(format->stageTwo);
    runStage(objffmpeg, imageName, stageTwoCommand(m_format, paths, m_host.parameters()), m_output);
    if (!m_fileFinished && !m_stopRequested) finishFile(false, notStarted(imageName));
}

void ConversionDriver::objffmpeg_CommandOver() {
    const OutputFormat* format = outputFormat(m_format);
    const char* imageName =
        format ? encoderImageName(m_format == kMp3 ? format->stageOne : format->stageTwo) : "";
    finishRun(objffmpeg, imageName);
}

void ConversionDriver::finishRun(const DOSOutputs& runner, const char* imageName) {
    m_output = writtenOutput(runner, m_output);
    // When Stop reached the encoder, only an output it had already committed
    // counts, whatever signal then ended it (the encoders name the final file
    // last); else the file stays queued for the next Start.
    const bool stopReached = m_stopRequested && runner.lastStatus().stopped;
    if (stopReached && fileSize(m_output) <= 0) return;
    std::string why = stopReached ? std::string()
                                  : runFailure(runner, imageName, m_output, "输出文件为空",
                                               "没有生成输出文件");
    if (why.empty()) why = incompleteReason(runner);
    if (why.empty()) why = m_incomplete;
    finishFile(why.empty(), why);
}

void ConversionDriver::finishFile(bool converted, const std::string& reason) {
    if (m_fileFinished) return;
    m_fileFinished = true;
    m_host.removeQueueHead();
    lngDuration = 0;
    FileResult result{m_input, m_output, converted, converted ? std::string() : reason};
    m_results.push_back(result);
    if (fileFinished) fileFinished(result);
}

void ConversionDriver::reportFailures() {
    if (!m_failureMessageShown) return;
    std::string list;
    int failed = 0;
    for (const FileResult& r : m_results) {
        if (r.converted) continue;
        list += (failed++ ? "\n" : "") + r.input + "：" + r.reason;
    }
    if (failed == 0) return;
    m_host.showListMessage("以下 " + std::to_string(failed) + " 个文件转换失败：", list,
                           MessageIcon::Exclamation, "Tessaro");
}

}  // namespace tessaro
