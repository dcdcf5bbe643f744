#include "engine/DOSOutputs.h"

#include <algorithm>
#include <vector>

#include "base/ChildProcess.h"
#include "base/CommandLineText.h"
#include "engine/clsWaitableTimer.h"

namespace tessaro {

std::string strEncoderExe;

namespace {

constexpr const char* kTitle = "Tessaro";
constexpr std::size_t kChunkSize = 1024;
constexpr std::size_t kReadBlock = 64 * 1024;
// Chunks read in one pass while data waits, before the pass checks the child.
constexpr int kChunksPerPass = 256;
// The last drain ends even if a left-over grandchild keeps writing.
constexpr int kMaxDrainChunks = 4096;

}  // namespace

DOSOutputs::DOSOutputs(MessagePump& pump, MessageBoxes& messages)
    : m_pump(pump), m_messages(messages) {}

DOSOutputs::~DOSOutputs() { AbandonRun(); }

void DOSOutputs::setCommandLine(const std::string& DOSCommand) { m_commandLine = DOSCommand; }

const std::string& DOSOutputs::CommandLine() const { return m_commandLine; }

const std::string& DOSOutputs::Outputs() const {
    trimOutput();
    return m_outputs;
}

const RunStatus& DOSOutputs::lastStatus() const { return m_status; }

void DOSOutputs::Terminate() {
    if (!m_child) return;
    if (!m_terminated) {
        m_terminated = true;
        m_terminatedAt = std::chrono::steady_clock::now();
        m_status.stopped = !m_child->hasEnded(m_status);
    }
    m_child->terminate();
}

void DOSOutputs::appendOutput(const std::string& chunk) {
    m_outputs += chunk;
    if (m_outputs.size() > 2 * kOutputLimit) trimOutput();
}

void DOSOutputs::trimOutput() const {
    if (m_outputs.size() > kOutputLimit) m_outputs.erase(0, m_outputs.size() - kOutputLimit);
}

std::string DOSOutputs::ExecuteCommand(const std::string& CommandLine) {
    if (!StartCommand(CommandLine)) return {};
    // An exception out of an event handler leaves no child running.
    struct Abandon {
        DOSOutputs& runner;
        ~Abandon() { runner.AbandonRun(); }
    } abandon{*this};
    clsWaitableTimer timer(m_pump);
    std::vector<NativeHandle> handles;
    while (busy()) {
        ServiceRun();
        if (!busy()) break;
        m_pump.processEvents();
        // No wait while read bytes are still to be handed on.
        if (!hasPendingOutput()) {
            handles.clear();
            addWaitHandles(handles);
            timer.Wait(kPassWaitMs, handles);
        }
    }
    trimOutput();
    return m_outputs;
}

bool DOSOutputs::StartCommand(const std::string& CommandLine) {
    if (busy()) return false;
    if (!CommandLine.empty()) m_commandLine = CommandLine;
    m_status = RunStatus{};
    if (m_commandLine.empty()) {
        m_messages.showMessage("Command Line empty", MessageIcon::Critical, kTitle);
        return false;
    }

    auto child = std::make_unique<ChildProcess>();
    // An encoder ends with its owner, and is given the chance to remove its
    // partial output.
    switch (child->start(splitCommandLine(m_commandLine), ChildProcess::Streams::Merged,
                         ChildProcess::OwnerEnd::Terminate)) {
        case ChildProcess::StartResult::Started:
            break;
        case ChildProcess::StartResult::PipeFailed:
            m_messages.showMessage(
                "CreatePipe failed. Error: " + std::to_string(child->errorNumber()),
                MessageIcon::Critical, kTitle);
            return false;
        case ChildProcess::StartResult::SpawnFailed:
            m_messages.showMessage("File or command not found", MessageIcon::Critical, kTitle);
            return false;
    }

    m_outputs.clear();
    m_status = RunStatus{};
    m_status.started = true;
    m_status.pid = child->pid();
    m_terminated = false;
    m_child = std::move(child);
    m_reader = std::make_unique<ChildPump>(*m_child, m_status);
    m_buffer.resize(kReadBlock);
    m_begin = m_end = 0;
    m_treeKilled = false;
    return true;
}

bool DOSOutputs::readChunk() {
    if (m_begin == m_end) {
        ChildPump::Pipe from = ChildPump::Pipe::Output;
        const std::size_t count = m_reader->read(m_buffer.data(), m_buffer.size(), from);
        if (count == 0) return false;
        m_begin = 0;
        m_end = count;
    }
    const std::size_t n = std::min(kChunkSize, m_end - m_begin);
    const std::string chunk(m_buffer.data() + m_begin, n);
    m_begin += n;
    appendOutput(chunk);
    if (ReceiveOutputs) ReceiveOutputs(chunk);
    return true;
}

void DOSOutputs::ServiceRun() {
    if (!busy()) return;
    int chunks = 0;
    // A handler may end the run (AbandonRun) while chunks are handed on.
    while (chunks < kChunksPerPass && busy() && readChunk()) {
        if (++chunks < kChunksPerPass) m_pump.processEvents();
    }
    if (!busy()) return;
    if (m_reader->failed()) return endRun();
    const bool drained = chunks < kChunksPerPass;  // the pipe was found empty
    const bool childEnded = m_reader->childEnded();
    // Over once the child has ended and nobody holds the pipe any more.
    if (childEnded && m_reader->pipesAtEnd() && m_begin == m_end) return endRun();

    // Bounds: a stopped child that does not end, and descendants that keep
    // the pipe open after the child, are killed with its group; a process
    // that left the group is not waited for beyond that.
    const auto now = Clock::now();
    bool killNow = false;
    if (m_terminated)
        killNow = childEnded || now - m_terminatedAt > std::chrono::milliseconds(kTerminateGraceMs);
    else
        killNow = m_reader->endedFor() > std::chrono::milliseconds(kLingerMs);
    if (killNow && !m_treeKilled) {
        m_child->kill();
        m_treeKilled = true;
        m_killedAt = now;
    }
    if (m_treeKilled && childEnded && drained &&
        now - m_killedAt > std::chrono::milliseconds(kLingerMs))
        return endRun();
}

void DOSOutputs::addWaitHandles(std::vector<NativeHandle>& handles) const {
    if (busy()) m_reader->addWaitHandles(handles);
}

void DOSOutputs::endRun() {
    // What still waits when reading gave up on a pipe held open elsewhere.
    if (!m_reader->failed()) {
        for (int i = 0; i < kMaxDrainChunks && busy() && readChunk(); ++i) m_pump.processEvents();
        if (!busy()) return;
    }
    if (!m_child->hasEnded(m_status)) m_child->kill();  // only after a failed read
    m_child->wait(m_status);
    m_child->closeOutput();
    m_reader.reset();
    m_child.reset();
    m_begin = m_end = 0;

    if (CommandOver) CommandOver();
    trimOutput();
}

void DOSOutputs::AbandonRun() {
    if (!m_child) return;
    std::unique_ptr<ChildProcess> child = std::move(m_child);
    m_reader.reset();
    m_begin = m_end = 0;
    if (!child->ended()) {
        child->kill();
        child->wait(m_status);
    }
}

}  // namespace tessaro
