#include "engine/ConversionDriver.h"

#include <filesystem>
#include <system_error>

#include "engine/Commands.h"
#include "engine/Platform.h"

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
    if (running()) m_stopRequested = true;
}

void ConversionDriver::Timer1_Timer() {
    m_host.setTimer1Enabled(false);
    if (m_running) return;
    m_host.processEvents();
    ConvertQueue();
}

std::string ConversionDriver::outputFolder() {
    std::string folder = m_host.outputFolderText();
    if (folder.empty() || folder.back() != platform::kSeparator) {
        folder += platform::kSeparator;
        m_host.setOutputFolderText(folder);
    }
    std::error_code ec;
    fs::create_directories(platform::nativePath(folder), ec);  // a failure shows as a missing output
    return folder;
}

void ConversionDriver::ConvertQueue() {
    if (m_running) return;
    m_running = true;
    m_armed = false;
    m_results.clear();
    {
        std::error_code ec;
        fs::create_directories(platform::nativePath(m_host.outputFolderText()), ec);
    }
    std::string temporaryProblem;
    const bool temporaryReady = platform::prepareTemporaryFolder(&temporaryProblem);
    const std::string intermediate = platform::intermediateFile();

    while (m_host.queueCount() > 0 && !m_stopRequested) {
        const std::string folder = outputFolder();
        m_format = m_host.formatIndex();
        m_input = m_host.queueHead();
        m_output.clear();
        m_fileFinished = false;
        m_host.showCurrentFile(m_input);

        const OutputFormat* format = outputFormat(m_format);
        if (!format) {
            finishFile(false, "没有选择输出格式");
        } else {
            // Never convert from the previous file's intermediate.
            // A refused temporary folder is left alone.
            std::error_code ec;
            if (temporaryReady) fs::remove(platform::nativePath(intermediate), ec);
            if (isTwoStage(m_format) && (!temporaryReady || fs::exists(platform::nativePath(intermediate)))) {
                finishFile(false, temporaryReady ? "无法删除中间文件 " + intermediate
                                                 : "临时文件夹不可用：" + temporaryProblem);
            } else {
                CommandPaths paths{platform::applicationFolder(), m_input, {}, intermediate};
                if (!isTwoStage(m_format)) {
                    m_output = uniqueOutputPath(
                        designedOutputPath(folder, m_input, format->extension, currentClockTime()),
                        format->extension);
                    paths.output = m_output;
                }
                const std::string command = stageOneCommand(m_format, paths, m_host.parameters());
                DOSOutputs& runner = m_format == kMp3 ? objffmpeg : objDOS;
                runStage(runner, encoderImageName(format->stageOne), command);
                if (!m_fileFinished) finishFile(false, notStarted(encoderImageName(format->stageOne)));
            }
        }
        m_host.processEvents();
    }

    const bool stopped = m_stopRequested;
    if (!stopped) {
        m_host.openFolder(m_host.outputFolderText());
        if (m_soundReminder == 0) m_host.playSound(platform::applicationFile(platform::kSoundFile));
    }
    m_host.setControlsEnabled(true);
    m_host.setProgressBarWidth(0);
    m_host.setProgressCaption(stopped ? "已停止。" : "Done.");
    m_host.showCurrentFile({});
    m_running = false;
    m_stopRequested = false;
    reportFailures();
}

void ConversionDriver::runStage(DOSOutputs& runner, const char* imageName,
                                const std::string& command) {
    strEncoderExe = imageName;
    runner.setCommandLine(command);
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
    if (!status.exited)
        return std::string(imageName) + " 被信号 " + std::to_string(status.signal) + " 终止";
    if (status.exitCode != 0)
        return std::string(imageName) + " 退出码 " + std::to_string(status.exitCode);
    const auto size = fileSize(file);
    if (size < 0) return missingReason;
    if (size == 0) return emptyReason;
    return {};
}

void ConversionDriver::objDOS_CommandOver() {
    const std::string folder = outputFolder();
    const OutputFormat* format = outputFormat(m_format);
    if (!format) return finishFile(false, "没有选择输出格式");
    if (!isTwoStage(m_format)) {
        const std::string why = runFailure(objDOS, encoderImageName(format->stageOne), m_output,
                                           "输出文件为空", "没有生成输出文件");
        return finishFile(why.empty(), why);
    }
    const std::string intermediate = platform::intermediateFile();
    const std::string why = runFailure(objDOS, encoderImageName(format->stageOne), intermediate,
                                       "中间文件为空", "没有生成中间文件");
    if (!why.empty()) return finishFile(false, why);

    m_output = uniqueOutputPath(
        designedOutputPath(folder, m_input, format->extension, currentClockTime()),
        format->extension);
    const CommandPaths paths{platform::applicationFolder(), m_input, m_output, intermediate};
    const char* imageName = encoderImageName(format->stageTwo);
    runStage(objffmpeg, imageName, stageTwoCommand(m_format, paths, m_host.parameters()));
    if (!m_fileFinished) finishFile(false, notStarted(imageName));
}

void ConversionDriver::objffmpeg_CommandOver() {
    const OutputFormat* format = outputFormat(m_format);
    const char* imageName =
        format ? encoderImageName(m_format == kMp3 ? format->stageOne : format->stageTwo) : "";
    const std::string why =
        runFailure(objffmpeg, imageName, m_output, "输出文件为空", "没有生成输出文件");
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
    std::string text;
    for (const FileResult& r : m_results)
        if (!r.converted) text += "\n" + r.input + "：" + r.reason;
    if (text.empty() || !m_failureMessageShown) return;
    m_host.showMessage("以下文件转换失败：" + text, MessageIcon::Exclamation, "Tessaro");
}

}  // namespace tessaro
