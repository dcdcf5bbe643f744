#pragma once
// The batch: Start arms Timer1, its tick runs ConvertQueue, which converts the
// queue head by head through the two runners; stage two of a two-stage format
// runs nested in the CommandOver of stage one. Files that fail are counted,
// taken off the queue, and listed in one message box once the batch is over.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/BatchHost.h"
#include "engine/DOSOutputs.h"
#include "engine/ProgressParser.h"

namespace tessaro {

// The outcome of one file of the batch.
struct FileResult {
    std::string input;
    std::string output;  // the final file (empty when none was named)
    bool converted = false;
    std::string reason;  // why it failed, shown to the user
};

class ConversionDriver {
public:
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

    // The click of Command3: refuses an empty queue with "请先添加一个文件",
    // else disables the controls and switches Timer1 on.
    void Start();
    // The Timer1 tick: switches the timer off and runs the whole batch.
    void Timer1_Timer();
    // Converts the queue until it is empty, then ends the batch: folder
    // opened, sound, controls enabled, "Done.", and the failures listed.
    void ConvertQueue();

    // Asks the running batch to stop: the running encoder and what it started
    // are ended and its partial output removed, the current file stays at the
    // head of the queue, no further run starts (nor a stage two), and the
    // batch ends without opening the folder or playing the sound, with
    // "已停止。" in lblPB and the controls enabled. A file whose output the
    // encoder had committed before the stop reached it counts as converted
    // and leaves the queue. Returns at once; does nothing when no batch runs.
    void Stop();
    // True from Start until the batch has ended (armed or converting).
    bool running() const { return m_armed || m_running; }
    // True when the last batch ended through Stop() with files left; the
    // stopped file and the files not started are still in the queue.
    bool stopped() const { return m_stopped; }

    // Called after every file has been finished, converted or failed.
    std::function<void(const FileResult&)> fileFinished;

    // The files of the last (or running) batch, in the order finished.
    const std::vector<FileResult>& results() const;

    const std::string& spinner() const { return strSpinner; }
    int32_t duration() const { return lngDuration; }

private:
    void objDOS_ReceiveOutputs(const std::string& CommandOutputs);
    void objffmpeg_ReceiveOutputs(const std::string& CommandOutputs);
    void objDOS_CommandOver();
    void objffmpeg_CommandOver();
    // Finishes the file by the outcome of its last run (or leaves it queued
    // when Stop ended that run before it committed its output).
    void finishRun(const DOSOutputs& runner, const char* imageName);

    std::string outputFolder();  // txtPath, normalised and created
    void runBatch();
    // Starts one encoder run writing `target`; afterwards removes what a
    // killed encoder left under the partial name of `target`.
    void runStage(DOSOutputs& runner, const char* imageName, const std::string& command,
                  const std::string& target);
    // The final output path of the current file, named now.
    std::string nameOutput(const std::string& folder, const OutputFormat& format);
    void show(const std::optional<ProgressDisplay>& display);
    // Takes the head off the queue and records how it ended.
    void finishFile(bool converted, const std::string& reason);
    // The reason a finished run does not count as converted ("" when it does).
    std::string runFailure(const DOSOutputs& runner, const char* imageName,
                           const std::string& file, const char* emptyReason,
                           const char* missingReason) const;
    void reportFailures();

    BatchHost& m_host;
    DOSOutputs objDOS;
    DOSOutputs objffmpeg;
    std::string strSpinner = "-";
    int32_t lngDuration = 0;
    int m_soundReminder = 0;
    bool m_failureMessageShown = true;
    int m_jobs = 1;

    bool m_armed = false;         // Start has switched Timer1 on
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_stopped = false;
    bool m_temporaryReady = false;  // the batch may write the temporary folder
    bool m_fileFinished = false;  // the current head has been finished
    int m_format = -1;            // format of the current file
    std::string m_input;          // the current head
    std::string m_output;         // its final file
    std::string m_incomplete;     // why stage one found the source incomplete
    std::vector<FileResult> m_results;
};

}  // namespace tessaro
