#pragma once
// The batch: Start arms Timer1, its tick runs ConvertQueue, which converts the
// queue in order, up to jobs() files at once, each file through its own two
// runners: stage one, and for a two-stage format stage two, started from the
// CommandOver of stage one. One loop on the window's thread drives every
// running encoder. Files that fail are counted, taken off the queue, and
// listed in one message box once the batch is over.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/BatchHost.h"
#include "engine/DOSOutputs.h"
#include "engine/ProgressParser.h"

namespace tessaro {

// The outcome of one file of the batch: converted, partial (not converted,
// but an output holding what the source had is kept) or failed.
struct FileResult {
    std::string input;
    std::string output;  // the final file (empty when none was named)
    bool converted = false;
    bool partial = false;  // the output is kept and `reason` says how much it holds
    std::string reason;    // why it failed or is partial, shown to the user
    // What the encoders said was left out of a file they converted, each once,
    // in the order said ("源文件的画面无法解码，只转换了声音").
    std::vector<std::string> notices;
};

// The threads a file starting now gets: the processors shared among the files
// that will run at once, max(1, min(jobs, filesLeft)); at least 1, and 1 when
// the processors are not known (0 or less). filesLeft counts the files of the
// batch not finished yet, the one starting and those running included.
int threadsPerFile(int processors, int jobs, int filesLeft);

class ConversionDriver {
public:
    // The most threads a file may be given.
    static constexpr int kMaxThreads = 64;

    explicit ConversionDriver(BatchHost& host);
    ConversionDriver(const ConversionDriver&) = delete;
    ConversionDriver& operator=(const ConversionDriver&) = delete;

    // intSoundReminder: 0 plays "sound.wav" of the application folder at the
    // end of a batch, any other value plays nothing.
    void setSoundReminder(int intSoundReminder);
    // Whether the end of a batch lists the failed files in a message box
    // (on by default; a front end that prints its own summary turns it off).
    void setFailureMessageShown(bool shown);

    // How many files are converted at once, clamped to 1..platform::kMaxJobs
    // (platform::defaultJobs() is the usual choice). With 1
    // the queue is converted head by head; with more, files start in queue
    // order as others finish, and the progress display shows the batch.
    void setJobs(int jobs);
    int jobs() const { return m_jobs; }

    // The threads every file's encoders run on: 1 to kMaxThreads forces that
    // many; 0, the default, lets the batch choose each file's share of the
    // processors as it starts (threadsPerFile). Clamped to 0..kMaxThreads.
    void setThreads(int threads);
    int threads() const { return m_threads; }
    // The processors the batch shares among its files; by default
    // std::thread::hardware_concurrency() (0 when it cannot be told).
    void setProcessors(int processors) { m_processors = processors; }

    // The click of Command3: refuses an empty queue with "请先添加一个文件",
    // else disables the controls and switches Timer1 on.
    void Start();
    // The Timer1 tick: switches the timer off and runs the whole batch.
    void Timer1_Timer();
    // Converts the queue until it is empty, then ends the batch: folder
    // opened, sound, controls enabled, "Done.", and the failures listed.
    // The system's sleep lock (SleepInhibitor) is held while it converts.
    void ConvertQueue();

    // Asks the running batch to stop: the running encoders and what they
    // started are ended and their partial outputs removed, the files being
    // converted stay queued, no further run starts (nor a stage two), and the
    // batch ends without opening the folder or playing the sound, with
    // "已停止。" in lblPB and the controls enabled. A file whose output the
    // encoder had committed before the stop reached it counts as converted
    // and leaves the queue. Returns at once; does nothing when no batch runs.
    void Stop();
    // True from Start until the batch has ended (armed or converting).
    bool running() const { return m_armed || m_running; }
    // True when the last batch ended through Stop() with files left; the
    // stopped files and the files not started are still in the queue.
    bool stopped() const { return m_stopped; }
    // The files that Stop() ended while they were being converted, in the
    // order they ended; they are still queued.
    const std::vector<std::string>& stoppedFiles() const { return m_stoppedFiles; }
    // The output folder of the running (or last) batch: txtPath as the batch
    // started; a later edit applies to the next Start.
    const std::string& batchFolder() const { return m_batchFolder; }

    // Called after every file has been finished, converted or failed.
    std::function<void(const FileResult&)> fileFinished;

    // The files of the last (or running) batch, in the order finished.
    const std::vector<FileResult>& results() const;

    // How the batch stands: what the host's showStatus is handed.
    BatchStatus status() const;

    const std::string& spinner() const { return strSpinner; }
    // The length stage two read of the first file being converted (0 when
    // none is, or it has not been read yet).
    int32_t duration() const;

private:
    // One file being converted: its runners, its intermediate, its output
    // name and its progress.
    struct FileJob {
        FileJob(BatchHost& host, int slot);
        int slot;        // the number of its intermediate
        int number = 0;  // in the order the batch started its files, from 1
        int format = -1;
        int threads = 0;                   // of both stages, chosen as it started
        std::string input;                 // its queue entry
        std::string output;                // its final file, once named
        std::string intermediate;          // its stage one's output in a two-stage format
        std::string incomplete;            // why stage one found the source incomplete
        std::vector<std::string> notices;  // said by its runs so far
        std::string target;                // the file its current run writes
        const char* imageName = "";        // the encoder of its current run
        DOSOutputs objDOS;
        DOSOutputs objffmpeg;
        std::string strSpinner = "-";
        int32_t lngDuration = 0;
        double stageOneValue = 0;  // the percentage of each stage, 0..100
        double stageTwoValue = 0;
        bool over = false;   // no run of it is left: finished, or left queued
        bool queued = true;  // its entry is still in the queue
        // The last reading of either stage, and the share of the file it gave.
        std::optional<ProgressReading> reading;
        double share = 0;
    };

    void objDOS_ReceiveOutputs(FileJob& file, const std::string& CommandOutputs);
    void objffmpeg_ReceiveOutputs(FileJob& file, const std::string& CommandOutputs);
    void objDOS_CommandOver(FileJob& file);
    void objffmpeg_CommandOver(FileJob& file);
    // Finishes the file by the outcome of its last run (or leaves it queued
    // when Stop ended that run before it committed its output).
    void finishRun(FileJob& file, const DOSOutputs& runner);

    std::string outputFolder();  // txtPath, normalised and created
    // Adds what the run said was left out to the file's notices.
    static void collectNotices(FileJob& file, const DOSOutputs& runner);
    // Opens more places when files were added: never more than the files to
    // convert, so that one file shows the one-file display, at most jobs().
    void growPlaces();
    void runBatch();
    // Takes the first queue entry not yet started and starts its stage one
    // (or finishes it at once when it cannot be converted).
    void startFile();
    // Starts one encoder run of the file writing `target`; settle() finds a
    // run that could not be started.
    void startRun(FileJob& file, DOSOutputs& runner, const char* imageName,
                  const std::string& command, const std::string& target);
    // After a run of the file: removes what a killed encoder left under the
    // partial name of its target and in the temporary folder under its id.
    void removeRunLeftovers(const FileJob& file, const DOSOutputs& runner) const;
    // Ends a file that has no run left and was not finished: left queued
    // after Stop, else failed as not started.
    void settle(FileJob& file);
    // Drops the files that are over, with their intermediates; one left
    // queued by Stop only once no file runs.
    void retireFiles();
    // Ends every run still going and drops every file (the batch is ending).
    void abandonFiles();
    // The final output path of the file, named now; never the name of
    // another file being converted.
    std::string nameOutput(const FileJob& file, const std::string& folder,
                           const OutputFormat& format);
    // The queue row of a file still queued, found by its path (-1 when it
    // is not there any more).
    int queueRow(const FileJob& file) const;
    int queuedFiles() const;
    // Files of the batch not finished: those queued and not started, and
    // those running.
    int filesLeft() const;
    // True when a free place and a queued file not yet started are there.
    bool canStartFile() const;
    int freeSlot() const;
    std::string& spinnerOf(FileJob& file);
    // Keeps a reading of the file's stage (none leaves all as it was).
    void keepReading(FileJob& file, const std::optional<ProgressReading>& reading,
                     double& stageValue);
    FileStatus fileStatus(const FileJob& file) const;
    // Hands the host the status; what the host throws ends the batch.
    void report();
    // Takes the file off the queue and records how it ended; a partial file
    // keeps its output.
    void finishFile(FileJob& file, bool converted, const std::string& reason, bool partial = false);
    // The reason a finished run does not count as converted ("" when it does).
    std::string runFailure(const FileJob& file, const DOSOutputs& runner, const std::string& path,
                           const char* emptyReason, const char* missingReason) const;
    // The end-of-batch message box: the failed files, the partial ones and
    // the notices of the converted ones; nothing when every file converted
    // without a notice.
    void reportFailures();

    BatchHost& m_host;
    std::string strSpinner = "-";
    int m_soundReminder = 0;
    bool m_failureMessageShown = true;
    int m_jobs = 1;
    int m_threads = 0;
    int m_processors;

    bool m_armed = false;  // Start has switched Timer1 on
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_stopped = false;
    int m_batchJobs = 1;            // jobs() as the batch started
    int m_started = 0;              // files the batch has started
    std::string m_current;          // the one started last
    bool m_temporaryReady = false;  // the batch may write the temporary folder
    std::string m_temporaryProblem;
    std::string m_batchFolder;  // the output folder, read once as the batch starts
    std::vector<std::string> m_stoppedFiles;
    std::vector<std::unique_ptr<FileJob>> m_files;  // in the order started
    std::vector<FileResult> m_results;
};

}  // namespace tessaro
