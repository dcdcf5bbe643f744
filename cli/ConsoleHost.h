#pragma once
// The batch host of tessaro-cli: a queue of paths, fixed fields, a progress
// line on the terminal, message boxes printed to standard error. No sound and
// no folder opening.

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "engine/BatchHost.h"
#include "engine/ConversionDriver.h"

namespace tessaro {

class ConsoleHost : public BatchHost {
public:
    // `interactive`: redraw the progress line in place (a terminal).
    ConsoleHost(std::FILE* out, bool interactive);

    void enqueue(const std::string& path);
    // With several files at once the line drawn in place shows the batch,
    // not one file.
    void setJobs(int jobs);
    void setFormatIndex(int index);
    void setParameters(const ParameterTexts& parameters);
    bool timer1Enabled() const;
    int total() const;  // files queued since start
    // The files still queued, head first.
    const std::deque<std::string>& remaining() const { return m_queue; }
    // Called whenever the batch lets events be processed.
    std::function<void()> onEvents;

    // A finished file: its final progress line, "OK -> OUTPUT", with the
    // notices in brackets, "PARTIAL -> OUTPUT (REASON)" or "FAILED: REASON".
    // The file is over: no progress line is drawn for it again.
    void printResult(const FileResult& result);
    // The name a line shows for a queued path: its file name, with as many of
    // its folders as tell it from the other queued paths of that name
    // ("x/same.flv").
    std::string shownName(const std::string& path) const;
    // Ends the line drawn in place, if any, so that what follows starts on a
    // line of its own.
    void endLine();

    int queueCount() const override;
    std::string queueEntry(int index) const override;
    void removeQueueEntry(int index) override;
    int formatIndex() const override;
    ParameterTexts parameters() const override;
    std::string outputFolderText() const override;
    void setOutputFolderText(const std::string& text) override;
    void setControlsEnabled(bool enabled) override;
    void setTimer1Enabled(bool enabled) override;
    // The status as a line drawn in place: "[number/total] name  caption"
    // one file at a time, the batch's caption alone with several.
    void showStatus(const BatchStatus& status) override;
    void openFolder(const std::string& folder) override;
    void playSound(const std::string& wavFile) override;
    void showMessage(const std::string& text, MessageIcon icon, const std::string& title) override;
    void processEvents() override;

private:
    void showCurrentFile(const std::string& path);
    void showCaption(const std::string& caption);
    // "[number/total] name": the head of a progress or result line.
    std::string lineHead(int number, const std::string& path) const;

    std::FILE* m_out;
    bool m_interactive;
    std::deque<std::string> m_queue;
    // Every path queued, by its file name, for shownName.
    std::map<std::string, std::set<std::string>> m_byName;
    int m_jobs = 1;
    int m_total = 0;
    int m_done = 0;
    int m_format = 0;
    ParameterTexts m_parameters;
    std::string m_folder;
    bool m_timer1 = false;
    int m_started = 0;  // files started as last shown
    std::string m_current;
    std::string m_caption;
    size_t m_lineWidth = 0;  // bytes of the line drawn in place
};

}  // namespace tessaro
