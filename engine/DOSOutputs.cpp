#include "engine/DOSOutputs.h"

#include "base/ChildProcess.h"
#include "base/CommandLineText.h"
#include "engine/clsWaitableTimer.h"

#include <algorithm>
#include <vector>

namespace tessaro {

std::string strEncoderExe;

namespace {

constexpr const char* kTitle = "Tessaro";
constexpr std::size_t kChunkSize = 1024;
constexpr std::size_t kReadBlock = 64 * 1024;
// Chunks read in one pass while data waits, before the pass checks the child.
constexpr int kChunksPerPass = 256;
constexpr std::int32_t kPassWaitMs = 50;
// The last drain ends even if a left-over grandchild keeps writing.
constexpr int kMaxDrainChunks = 4096;

}  // namespace

DOSOutputs::DOSOutputs(MessagePump& pump, MessageBoxes& messages) : m_pump(pump), m_messages(messages) {}

DOSOutputs::~DOSOutputs() = default;

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
    if (!CommandLine.empty()) m_commandLine = CommandLine;
    m_status = RunStatus{};
    if (m_commandLine.empty()) {
        m_messages.showMessage("Command Line empty", MessageIcon::Critical, kTitle);
        return {};
    }

    ChildProcess child;
    // An encoder ends with its owner, and is given the chance to remove its
    // partial output.
    switch (child.start(splitCommandLine(m_commandLine), ChildProcess::Streams::Merged,
                        ChildProcess::OwnerEnd::Terminate)) {
    case ChildProcess::StartResult::Started:
        break;
    case ChildProcess::StartResult::PipeFailed:
        m_messages.showMessage("CreatePipe failed. Error: " + std::to_string(child.errorNumber()),
                               MessageIcon::Critical, kTitle);
        return {};
    case ChildProcess::StartResult::SpawnFailed:
        m_messages.showMessage("File or command not found", MessageIcon::Critical, kTitle);
        return {};
    }

    m_outputs.clear();
    m_status = RunStatus{};
    m_status.started = true;
    m_status.pid = child.pid();
    m_terminated = false;
    m_child = &child;
    // However the run ends, m_child never outlives the child object, and an
    // exception out of an event handler leaves no child running.
    struct ChildReset {
        ChildProcess*& current;
        ChildProcess& child;
        RunStatus& status;
        ~ChildReset() {
            current = nullptr;
            if (!child.ended()) {
                child.kill();
                child.wait(status);
            }
        }
    } childReset{m_child, child, m_status};

    // The pipe is read in large blocks and handed on in chunks of at most
    // kChunkSize bytes: one system call per 1024 bytes would cap the drain
    // rate well below what an encoder writes.
    std::vector<char> buffer(kReadBlock);
    std::size_t begin = 0;
    std::size_t end = 0;
    bool endOfFile = false;
    bool readFailed = false;
    // Hands on one chunk; false when nothing waits.
    auto readChunk = [&]() {
        if (begin == end) {
            std::size_t count = 0;
            switch (child.read(buffer.data(), buffer.size(), &count)) {
            case ChildProcess::ReadResult::Data:
                begin = 0;
                end = count;
                break;
            case ChildProcess::ReadResult::Empty:
                return false;
            case ChildProcess::ReadResult::EndOfFile:
                endOfFile = true;
                return false;
            case ChildProcess::ReadResult::Failed:
                readFailed = true;
                return false;
            }
        }
        const std::size_t n = std::min(kChunkSize, end - begin);
        const std::string chunk(buffer.data() + begin, n);
        begin += n;
        appendOutput(chunk);
        if (ReceiveOutputs) ReceiveOutputs(chunk);
        return true;
    };

    using Clock = std::chrono::steady_clock;
    clsWaitableTimer timer(m_pump);
    Clock::time_point endedAt{};   // when the child was first seen ended
    Clock::time_point killedAt{};  // when its tree was killed
    bool treeKilled = false;
    bool childEnded = false;
    for (;;) {
        int chunks = 0;
        while (chunks < kChunksPerPass && readChunk()) {
            if (++chunks < kChunksPerPass) m_pump.processEvents();
        }
        if (readFailed) break;
        const bool drained = chunks < kChunksPerPass;  // the pipe was found empty
        if (!childEnded && child.hasEnded(m_status)) {
            childEnded = true;
            endedAt = Clock::now();
        }
        // Over once the child has ended and nobody holds the pipe any more.
        if (childEnded && endOfFile && begin == end) break;

        // Bounds: a stopped child that does not end, and descendants that
        // keep the pipe open after the child, are killed with its group; a
        // process that left the group is not waited for beyond that.
        const auto now = Clock::now();
        bool killNow = false;
        if (m_terminated)
            killNow =
                childEnded || now - m_terminatedAt > std::chrono::milliseconds(kTerminateGraceMs);
        else if (childEnded)
            killNow = now - endedAt > std::chrono::milliseconds(kLingerMs);
        if (killNow && !treeKilled) {
            child.kill();
            treeKilled = true;
            killedAt = now;
        }
        if (treeKilled && childEnded && drained &&
            now - killedAt > std::chrono::milliseconds(kLingerMs))
            break;

        m_pump.processEvents();
        // No wait while read bytes are still to be handed on.
        if (begin == end)
            timer.Wait(kPassWaitMs, {endOfFile ? kNoHandle : child.outputFd(),
                                     childEnded ? kNoHandle : child.exitFd()});
    }

    // What still waits when reading gave up on a pipe held open elsewhere.
    if (!readFailed) {
        for (int i = 0; i < kMaxDrainChunks && readChunk(); ++i) m_pump.processEvents();
    }
    if (!child.hasEnded(m_status)) child.kill();  // only after a failed read
    child.wait(m_status);
    child.closeOutput();
    m_child = nullptr;

    if (CommandOver) CommandOver();
    trimOutput();
    return m_outputs;
}

}  // namespace tessaro
