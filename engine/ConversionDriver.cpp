#include "engine/ConversionDriver.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <thread>

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "base/SystemPower.h"
#include "engine/Commands.h"
#include "report/EncoderReport.h"
#include "engine/clsWaitableTimer.h"

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

int threadsPerFile(int processors, int jobs, int filesLeft) {
    const int atOnce = std::max(1, std::min(jobs, filesLeft));
    return std::max(1, processors / atOnce);
}

ConversionDriver::FileJob::FileJob(BatchHost& host, int slot)
    : slot(slot),
      intermediate(platform::intermediateFile(slot)),
      objDOS(host, host),
      objffmpeg(host, host) {}

ConversionDriver::ConversionDriver(BatchHost& host)
    : m_host(host), m_processors(static_cast<int>(std::thread::hardware_concurrency())) {}

void ConversionDriver::setSoundReminder(int intSoundReminder) {
    m_soundReminder = intSoundReminder;
}

void ConversionDriver::setFailureMessageShown(bool shown) { m_failureMessageShown = shown; }

void ConversionDriver::setJobs(int jobs) { m_jobs = std::clamp(jobs, 1, platform::kMaxJobs); }

void ConversionDriver::setThreads(int threads) { m_threads = std::clamp(threads, 0, kMaxThreads); }

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
    for (const auto& file : m_files) {
        file->objDOS.Terminate();
        file->objffmpeg.Terminate();
    }
}

int32_t ConversionDriver::duration() const {
    for (const auto& file : m_files)
        if (!file->over) return file->lngDuration;
    return 0;
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
    fs::create_directories(platform::nativePath(folder),
                           ec);  // a failure shows as a missing output
    return folder;
}

void ConversionDriver::ConvertQueue() {
    if (m_running) return;
    m_running = true;
    m_armed = false;
    m_stopped = false;
    m_results.clear();
    m_stoppedFiles.clear();
    m_started = 0;
    m_current.clear();
    // Whatever ends the batch (its end, Stop, an exception) leaves the
    // controls enabled and the driver ready for the next one.
    struct BatchEnd {
        ConversionDriver& d;
        ~BatchEnd() {
            d.abandonFiles();
            try {
                d.m_stopped = d.m_stopRequested && d.m_host.queueCount() > 0;
            } catch (...) {
                d.m_stopped = d.m_stopRequested;
            }
            d.m_running = false;
            d.m_stopRequested = false;
            try {
                d.m_host.setControlsEnabled(true);
                d.report();
            } catch (...) {
            }
        }
    };
    {
        BatchEnd end{*this};
        // The machine stays awake while the batch runs; the lock goes before
        // the end is reported, whatever ends it.
        const SleepInhibitor awake;
        try {
            runBatch();
            // A Stop that came after the last file had been committed stopped nothing.
            if (!m_stopRequested || m_host.queueCount() == 0) {
                m_host.openFolder(m_batchFolder);
                if (m_soundReminder == 0)
                    m_host.playSound(platform::applicationFile(platform::kSoundFile));
            }
        } catch (const std::exception& e) {
            m_host.showMessage(std::string("转换中断：") + e.what(), MessageIcon::Critical,
                               "Tessaro");
        } catch (...) {
            m_host.showMessage("转换中断", MessageIcon::Critical, "Tessaro");
        }
    }
    reportFailures();
}

void ConversionDriver::runBatch() {
    m_batchFolder = outputFolder();
    m_batchJobs = 1;
    m_temporaryProblem.clear();
    m_temporaryReady = platform::prepareTemporaryFolder(&m_temporaryProblem);

    clsWaitableTimer timer(m_host);
    std::vector<NativeHandle> handles;
    for (;;) {
        // Files added meanwhile join the batch at the end of the queue.
        growPlaces();
        while (canStartFile()) startFile();
        retireFiles();
        if (m_files.empty()) {
            if (m_stopRequested || m_host.queueCount() <= 0) break;
            continue;
        }
        // Runs are serviced in the order their files started; a handler may
        // start a stage two but never adds or drops a file here.
        for (std::size_t i = 0; i < m_files.size(); ++i) {
            FileJob& file = *m_files[i];
            for (DOSOutputs* runner : {&file.objDOS, &file.objffmpeg})
                if (runner->busy()) runner->ServiceRun();
        }
        retireFiles();
        m_host.processEvents();

        bool pending = false;
        handles.clear();
        for (const auto& file : m_files)
            for (const DOSOutputs* runner : {&file->objDOS, &file->objffmpeg}) {
                pending = pending || runner->hasPendingOutput();
                runner->addWaitHandles(handles);
            }
        // No wait while read bytes are still to be handed on, or a file that
        // has ended leaves room for the next.
        if (!pending && !handles.empty() && !canStartFile())
            timer.Wait(DOSOutputs::kPassWaitMs, handles);
    }
}

int ConversionDriver::filesLeft() const {
    int files = m_host.queueCount() - queuedFiles();  // queued, not started
    for (const auto& file : m_files) files += file->over ? 0 : 1;
    return files;
}

void ConversionDriver::growPlaces() {
    m_batchJobs = std::max(m_batchJobs, std::min(m_jobs, filesLeft()));
}

bool ConversionDriver::canStartFile() const {
    return !m_stopRequested && int(m_files.size()) < m_batchJobs &&
           m_host.queueCount() > queuedFiles();
}

int ConversionDriver::queuedFiles() const {
    int rows = 0;
    for (const auto& file : m_files) rows += file->queued ? 1 : 0;
    return rows;
}

int ConversionDriver::queueRow(const FileJob& file) const {
    if (!file.queued) return -1;
    // The queue may hold the same path more than once: the files started
    // earlier from that path and still queued hold the rows before this one.
    int earlier = 0;
    for (const auto& other : m_files) {
        if (other.get() == &file) break;
        earlier += other->queued && other->input == file.input ? 1 : 0;
    }
    const int count = m_host.queueCount();
    for (int row = 0; row < count; ++row)
        if (m_host.queueEntry(row) == file.input && earlier-- == 0) return row;
    return -1;
}

int ConversionDriver::freeSlot() const {
    for (int slot = 0;; ++slot) {
        bool used = false;
        for (const auto& file : m_files) used = used || file->slot == slot;
        if (!used) return slot;
    }
}

std::string& ConversionDriver::spinnerOf(FileJob& file) {
    // One at a time, the mark turns on from file to file.
    return m_batchJobs == 1 ? strSpinner : file.strSpinner;
}

void ConversionDriver::startFile() {
    const std::string& folder = m_batchFolder;
    m_files.push_back(std::make_unique<FileJob>(m_host, freeSlot()));
    FileJob& file = *m_files.back();
    file.objDOS.ReceiveOutputs = [this, &file](const std::string& text) {
        objDOS_ReceiveOutputs(file, text);
    };
    file.objffmpeg.ReceiveOutputs = [this, &file](const std::string& text) {
        objffmpeg_ReceiveOutputs(file, text);
    };
    file.objDOS.CommandOver = [this, &file] {
        removeRunLeftovers(file, file.objDOS);
        objDOS_CommandOver(file);
        settle(file);
    };
    file.objffmpeg.CommandOver = [this, &file] {
        removeRunLeftovers(file, file.objffmpeg);
        objffmpeg_CommandOver(file);
        settle(file);
    };
    file.format = m_host.formatIndex();
    file.input = m_host.queueEntry(queuedFiles() - 1);  // the first entry not started
    file.number = ++m_started;
    // The places open are the most files that run at once; at the end of the
    // queue fewer do, and each takes a larger share.
    file.threads =
        m_threads > 0 ? m_threads : threadsPerFile(m_processors, m_batchJobs, filesLeft());
    m_current = file.input;
    report();

    const OutputFormat* format = outputFormat(file.format);
    std::error_code ec;
    if (!format) return finishFile(file, false, "没有选择输出格式");
    if (const std::string why = outputFolderProblem(folder); !why.empty())
        return finishFile(file, false, why);
    if (const std::string why = notARegularFile(file.input); !why.empty())
        return finishFile(file, false, why);
    // Never convert from an earlier file's intermediate. A refused temporary
    // folder is left alone.
    if (m_temporaryReady) fs::remove(platform::nativePath(file.intermediate), ec);
    if (isTwoStage(file.format) &&
        (!m_temporaryReady || fs::exists(platform::nativePath(file.intermediate), ec)))
        return finishFile(file, false,
                          m_temporaryReady ? "无法删除中间文件 " + file.intermediate
                                           : "临时文件夹不可用：" + m_temporaryProblem);

    CommandPaths paths{platform::applicationFolder(), file.input, {}, file.intermediate};
    if (!isTwoStage(file.format)) paths.output = file.output = nameOutput(file, folder, *format);
    const std::string command =
        stageOneCommand(file.format, paths, m_host.parameters(), file.threads);
    DOSOutputs& runner = format->stageOne == Encoder::Coder ? file.objffmpeg : file.objDOS;
    startRun(file, runner, encoderImageName(format->stageOne), command,
             isTwoStage(file.format) ? file.intermediate : file.output);
    settle(file);
}

void ConversionDriver::startRun(FileJob& file, DOSOutputs& runner, const char* imageName,
                                const std::string& command, const std::string& target) {
    strEncoderExe = imageName;
    file.imageName = imageName;
    file.target = target;
    runner.setCommandLine(command);
    runner.StartCommand({});
}

void ConversionDriver::removeRunLeftovers(const FileJob& file, const DOSOutputs& runner) const {
    // A killed or stopped encoder cannot remove its partial output or its
    // pieces itself.
    if (!runner.lastStatus().started) return;
    removeQuietly(partialFilePath(file.target, runner.lastStatus().pid));
    if (m_temporaryReady) platform::removeScratchOf(runner.lastStatus().pid);
}

void ConversionDriver::settle(FileJob& file) {
    if (file.over || file.objDOS.busy() || file.objffmpeg.busy()) return;
    if (!m_stopRequested) return finishFile(file, false, notStarted(file.imageName));
    file.over = true;
    m_stoppedFiles.push_back(file.input);
    report();
}

void ConversionDriver::retireFiles() {
    // A file left queued by Stop keeps its place among the running ones
    // until none is left, so that they still find their rows.
    const bool anyRunning =
        std::any_of(m_files.begin(), m_files.end(), [](const auto& file) { return !file->over; });
    for (auto it = m_files.begin(); it != m_files.end();) {
        if (!(*it)->over || ((*it)->queued && anyRunning)) {
            ++it;
            continue;
        }
        if (m_temporaryReady) removeQuietly((*it)->intermediate);
        it = m_files.erase(it);
        m_host.processEvents();
    }
}

void ConversionDriver::abandonFiles() {
    for (const auto& file : m_files) {
        for (DOSOutputs* runner : {&file->objDOS, &file->objffmpeg}) {
            if (!runner->busy()) continue;
            runner->AbandonRun();
            removeRunLeftovers(*file, *runner);
        }
        if (m_temporaryReady) removeQuietly(file->intermediate);
    }
    m_files.clear();
}

std::string ConversionDriver::nameOutput(const FileJob& file, const std::string& folder,
                                         const OutputFormat& format) {
    const auto taken = [this, &file](const std::string& path) {
        for (const auto& other : m_files)
            if (other.get() != &file && !other->over && other->output == path) return true;
        return false;
    };
    return uniqueOutputPath(fittedOutputPath(folder, file.input, format.extension,
                                             currentClockTime(), outputNameRoom(folder)),
                            format.extension, taken);
}

// The share of a file done, 0..1: a two-stage file's stages are half each.
static double fileShare(int format, double stageOneValue, double stageTwoValue) {
    const double stages = isTwoStage(format) ? 2 : 1;
    return std::clamp((stageOneValue + stageTwoValue) / (100 * stages), 0.0, 1.0);
}

FileStatus ConversionDriver::fileStatus(const FileJob& file) const {
    return {file.number, queueRow(file), file.input, file.over, file.reading, file.share};
}

BatchStatus ConversionDriver::status() const {
    BatchStatus s;
    s.phase =
        m_running ? BatchPhase::Running : (m_stopped ? BatchPhase::Stopped : BatchPhase::Done);
    s.jobs = m_batchJobs;
    s.done = int(m_results.size());
    s.parts = s.done;
    s.started = m_started;
    s.current = m_current;
    for (const auto& file : m_files) {
        // Files finished have left the queue; those Stop ended are still in it.
        if (file->over && !file->queued) continue;
        // A stopped file counts on until the batch ends, so that the batch's
        // figures hold still while Stop ends the runs one by one.
        s.files.push_back(fileStatus(*file));
        ++s.running;
        s.parts += fileShare(file->format, file->stageOneValue, file->stageTwoValue);
    }
    s.total = s.done + m_host.queueCount();
    return s;
}

void ConversionDriver::report() { m_host.showStatus(status()); }

void ConversionDriver::keepReading(FileJob& file, const std::optional<ProgressReading>& reading,
                                   double& stageValue) {
    if (!reading) return;
    // Kept one at a time too: files added meanwhile can open more places.
    stageValue = reading->percent;
    file.reading = reading;
    file.share = fileShare(file.format, file.stageOneValue, file.stageTwoValue);
    report();
}

void ConversionDriver::objDOS_ReceiveOutputs(FileJob& file, const std::string& CommandOutputs) {
    keepReading(file, stageOneProgress(CommandOutputs, spinnerOf(file), &m_host),
                file.stageOneValue);
}

void ConversionDriver::objffmpeg_ReceiveOutputs(FileJob& file, const std::string& CommandOutputs) {
    keepReading(file, stageTwoProgress(CommandOutputs, spinnerOf(file), file.lngDuration, &m_host),
                file.stageTwoValue);
}

std::string ConversionDriver::runFailure(const FileJob& file, const DOSOutputs& runner,
                                         const std::string& path, const char* emptyReason,
                                         const char* missingReason) const {
    const char* imageName = file.imageName;
    const RunStatus& status = runner.lastStatus();
    if (!status.started) return notStarted(imageName);
    // The output folder deleted while the encoder wrote into it: whatever the
    // encoder then said, that is the cause.
    const bool finalOutput = path == file.output;
    std::error_code ec;
    const bool folderGone =
        finalOutput && !fs::is_directory(platform::nativePath(path).parent_path(), ec);
    if (status.unknown) {
        // Reaped elsewhere: the file tells how the run went.
    } else if (!status.exited)
        return std::string(imageName) + " 被信号 " + std::to_string(status.signal) + " 终止";
    else if (status.exitCode != 0 && status.exitCode != kExitIncompleteSource)
        return failureReason({imageName, status.exitCode, runner.Outputs(), file.input,
                              finalOutput ? file.output : std::string(),
                              outputFormat(file.format)->soundOnly,
                              folderGone});
    const auto size = fileSize(path);
    if (size < 0 && folderGone) return outputFolderGoneReason(missingReason);
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

void ConversionDriver::objDOS_CommandOver(FileJob& file) {
    const OutputFormat* format = outputFormat(file.format);
    if (!format) {
        if (!m_stopRequested) finishFile(file, false, "没有选择输出格式");
        return;
    }
    if (!isTwoStage(file.format)) return finishRun(file, file.objDOS);
    // After Stop no stage two starts: the file stays queued.
    if (m_stopRequested) return;
    collectNotices(file, file.objDOS);
    // The batch's folder, made again when it was removed meanwhile.
    const std::string& folder = m_batchFolder;
    std::error_code ec;
    fs::create_directories(platform::nativePath(folder), ec);  // a failure shows in stage two
    const std::string why =
        runFailure(file, file.objDOS, file.intermediate, "中间文件为空", "没有生成中间文件");
    if (!why.empty()) return finishFile(file, false, why);
    // The intermediate holds all the source does: stage two still runs.
    file.incomplete = incompleteReason(file.objDOS);
    file.stageOneValue = 100;

    file.output = nameOutput(file, folder, *format);
    const CommandPaths paths{platform::applicationFolder(), file.input, file.output,
                             file.intermediate};
    startRun(file, file.objffmpeg, encoderImageName(format->stageTwo),
             stageTwoCommand(file.format, paths, m_host.parameters(), file.threads), file.output);
}

void ConversionDriver::objffmpeg_CommandOver(FileJob& file) { finishRun(file, file.objffmpeg); }

void ConversionDriver::collectNotices(FileJob& file, const DOSOutputs& runner) {
    for (std::string& text : notices(runner.Outputs()))
        if (std::find(file.notices.begin(), file.notices.end(), text) == file.notices.end())
            file.notices.push_back(std::move(text));
}

void ConversionDriver::finishRun(FileJob& file, const DOSOutputs& runner) {
    file.output = writtenOutput(runner, file.output);
    collectNotices(file, runner);
    // When Stop reached the encoder, only an output it had already committed
    // counts, whatever signal then ended it (the encoders name the final file
    // last); else the file stays queued for the next Start.
    const bool stopReached = m_stopRequested && runner.lastStatus().stopped;
    if (stopReached && fileSize(file.output) <= 0) return;
    const std::string why =
        stopReached ? std::string()
                    : runFailure(file, runner, file.output, "输出文件为空", "没有生成输出文件");
    if (!why.empty()) return finishFile(file, false, why);
    // An output as long as the source allowed: kept, and named as partial.
    std::string incomplete = incompleteReason(runner);
    if (incomplete.empty()) incomplete = file.incomplete;
    finishFile(file, incomplete.empty(), incomplete, !incomplete.empty());
}

void ConversionDriver::finishFile(FileJob& file, bool converted, const std::string& reason,
                                  bool partial) {
    if (file.over) return;
    const int row = queueRow(file);
    file.over = true;
    file.queued = false;
    // The file's own entry; another one only when entries were removed
    // behind the batch's back. A failed file leaves it as failed, so that a
    // host may keep it for the next Start; a partial one has its output.
    const bool failed = !converted && !partial;
    int entry = row;
    for (int i = 0; entry < 0 && i < m_host.queueCount(); ++i)
        if (m_host.queueEntry(i) == file.input) entry = i;
    if (entry >= 0 && failed)
        m_host.failQueueEntry(entry, reason);
    else if (entry >= 0)
        m_host.removeQueueEntry(entry);
    file.lngDuration = 0;
    FileResult result{file.input,
                      file.output,
                      converted,
                      partial && !converted,
                      converted ? std::string() : reason,
                      file.notices};
    m_results.push_back(result);
    report();
    if (fileFinished) fileFinished(result);
}

// "只转换了一部分，已保留 OUTPUT（REASON）": a partial file in the failure list.
static std::string partialResultText(const std::string& output, const std::string& reason) {
    return "只转换了一部分，已保留 " + output + "（" + reason + "）";
}

static std::string joinedNotices(const std::vector<std::string>& notices) {
    std::string text;
    for (const std::string& notice : notices) text += (text.empty() ? "" : "；") + notice;
    return text;
}

void ConversionDriver::reportFailures() {
    if (!m_failureMessageShown) return;
    std::string failedList, partialList, noticeList;
    int failed = 0, partial = 0, noted = 0;
    for (const FileResult& r : m_results) {
        if (r.partial) {
            partialList += r.input + "：" + partialResultText(r.output, r.reason) + "\n";
            ++partial;
        } else if (!r.converted) {
            failedList += r.input + "：" + r.reason + "\n";
            ++failed;
        } else if (!r.notices.empty()) {
            noticeList += r.input + "：" + joinedNotices(r.notices) + "\n";
            ++noted;
        }
    }
    if (failed + partial + noted == 0) return;
    std::string text;
    const auto count = [&text](int n, const char* what) {
        if (n > 0) text += (text.empty() ? "以下 " : "，") + std::to_string(n) + " 个文件" + what;
    };
    count(failed, "转换失败");
    count(partial, "只转换了一部分（输出已保留）");
    count(noted, "已转换，附有说明");
    std::string list = failedList + partialList + noticeList;
    list.pop_back();
    m_host.showListMessage(
        text + "：", list,
        failed + partial > 0 ? MessageIcon::Exclamation : MessageIcon::Information, "Tessaro");
}

}  // namespace tessaro
