#include "engine/DOSOutputs.h"

#include "engine/ChildProcess.h"
#include "engine/CommandLineText.h"
#include "engine/ProcessList.h"
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
    if (!m_child || m_child->ended()) return;
    if (!m_terminated) m_terminatedAt = std::chrono::steady_clock::now();
    m_terminated = true;
    m_child->terminate();
}

bool DOSOutputs::IsProcessRunning(const std::string& imageName) const { return isImageRunning(imageName); }

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

    clsWaitableTimer timer(m_pump);
    bool keepGoing = true;
    while (keepGoing) {
        int chunks = 0;
        while (chunks < kChunksPerPass && readChunk()) {
            if (++chunks < kChunksPerPass) m_pump.processEvents();
        }
        if (readFailed) {
            keepGoing = false;
        } else if (chunks < kChunksPerPass) {
            // The pipe was found empty: the run is over once our own child has
            // gone and no other process of the encoder's image name is left.
            // A terminated run waits for its own child only.
            if (child.reap(m_status) && (m_terminated || !IsProcessRunning(strEncoderExe)))
                keepGoing = false;
        }
        if (keepGoing && m_terminated && !child.ended() &&
            std::chrono::steady_clock::now() - m_terminatedAt >
                std::chrono::milliseconds(kTerminateGraceMs))
            child.kill();
        m_pump.processEvents();
        // No wait while read bytes are still to be handed on.
        if (keepGoing && begin == end)
            timer.Wait(kPassWaitMs, {endOfFile ? kNoHandle : child.outputFd(), child.exitFd()});
    }

    // Whatever was written between the last empty pipe and the process check.
    if (!readFailed) {
        for (int i = 0; i < kMaxDrainChunks && readChunk(); ++i) m_pump.processEvents();
    }
    child.reap(m_status);
    child.closeOutput();
    m_child = nullptr;

    if (CommandOver) CommandOver();
    trimOutput();
    return m_outputs;
}

}  // namespace tessaro
