#include "cli/ConsoleHost.h"

#include "engine/Commands.h"
#include "present/StatusCaptions.h"

namespace tessaro {

ConsoleHost::ConsoleHost(std::FILE* out, bool interactive)
    : m_out(out), m_interactive(interactive) {}

void ConsoleHost::enqueue(const std::string& path) {
    m_queue.push_back(path);
    m_byName[GetFileName(path)].insert(path);
    ++m_total;
}

void ConsoleHost::setFormatIndex(int index) { m_format = index; }
void ConsoleHost::setParameters(const ParameterTexts& parameters) { m_parameters = parameters; }
bool ConsoleHost::timer1Enabled() const { return m_timer1; }
int ConsoleHost::total() const { return m_total; }

int ConsoleHost::queueCount() const { return static_cast<int>(m_queue.size()); }
std::string ConsoleHost::queueEntry(int index) const {
    return index >= 0 && index < queueCount() ? m_queue[size_t(index)] : std::string();
}

void ConsoleHost::removeQueueEntry(int index) {
    if (index < 0 || index >= queueCount()) return;
    m_queue.erase(m_queue.begin() + index);
    ++m_done;
}

void ConsoleHost::setJobs(int jobs) { m_jobs = jobs; }

int ConsoleHost::formatIndex() const { return m_format; }
ParameterTexts ConsoleHost::parameters() const { return m_parameters; }
std::string ConsoleHost::outputFolderText() const { return m_folder; }
void ConsoleHost::setOutputFolderText(const std::string& text) { m_folder = text; }
void ConsoleHost::setControlsEnabled(bool) {}
void ConsoleHost::setTimer1Enabled(bool enabled) { m_timer1 = enabled; }

// The last `parts` parts of a path ("y/same.flv" for 2), the whole path
// when it has no more.
static std::string pathTail(const std::string& path, int parts) {
    std::size_t at = path.size();
    while (parts-- > 0) {
        if (at == 0) return path;
        at = path.find_last_of("/\\", at - 1);
        if (at == std::string::npos) return path;
    }
    return path.substr(at + 1);
}

std::string ConsoleHost::shownName(const std::string& path) const {
    // The same path queued twice is the same file: it is told from the others.
    const auto found = m_byName.find(GetFileName(path));
    for (int parts = 1;; ++parts) {
        const std::string tail = pathTail(path, parts);
        bool unique = true;
        if (tail != path && found != m_byName.end())
            for (const std::string& other : found->second)
                unique = unique && (other == path || pathTail(other, parts) != tail);
        if (unique) return tail;
    }
}

std::string ConsoleHost::lineHead(int number, const std::string& path) const {
    return "[" + std::to_string(number) + "/" + std::to_string(m_total) + "] " + shownName(path);
}

void ConsoleHost::showStatus(const BatchStatus& status) {
    const bool over = status.phase != BatchPhase::Running;
    if (!over && status.started != m_started) showCurrentFile(status.current);
    m_started = over ? 0 : status.started;
    if (const auto caption = statusCaption(status)) showCaption(*caption);
    if (over) showCurrentFile({});
}

void ConsoleHost::showCaption(const std::string& caption) {
    if (caption == m_caption) return;
    m_caption = caption;
    // Several at once, the line shows the batch while files are left.
    if (!m_interactive || (m_jobs == 1 ? m_current.empty() : m_done >= m_total)) return;
    std::string line = m_jobs > 1 ? caption : lineHead(m_done + 1, m_current) + "  " + caption;
    const size_t width = line.size();
    if (width < m_lineWidth) line.append(m_lineWidth - width, ' ');
    m_lineWidth = width;
    std::fprintf(m_out, "\r%s", line.c_str());
    std::fflush(m_out);
}

void ConsoleHost::showCurrentFile(const std::string& path) {
    m_current = path;
    m_caption.clear();
}

void ConsoleHost::printResult(const FileResult& r) {
    // The result replaces the line drawn in place; the head has already left
    // the queue, so the counter of done files names this one.
    std::string line = lineHead(m_done, r.input) + "  ";
    if (r.converted || r.partial) {
        std::string notes = r.partial ? r.reason : std::string();
        for (const std::string& notice : r.notices) notes += (notes.empty() ? "" : "；") + notice;
        line += (r.converted ? "OK -> " : "PARTIAL -> ") + r.output;
        if (!notes.empty()) line += " (" + notes + ")";
    } else {
        line += "FAILED: " + r.reason;
    }
    if (m_interactive && line.size() < m_lineWidth) line.append(m_lineWidth - line.size(), ' ');
    std::fprintf(m_out, "%s%s\n", m_interactive ? "\r" : "", line.c_str());
    std::fflush(m_out);
    m_lineWidth = 0;
    m_current.clear();
}

void ConsoleHost::endLine() {
    if (m_interactive && m_lineWidth > 0) std::fputc('\n', m_out);
    m_lineWidth = 0;
    std::fflush(m_out);
}

void ConsoleHost::openFolder(const std::string&) {}
void ConsoleHost::playSound(const std::string&) {}

void ConsoleHost::showMessage(const std::string& text, MessageIcon, const std::string& title) {
    endLine();
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

void ConsoleHost::processEvents() {
    if (onEvents) onEvents();
}

}  // namespace tessaro
