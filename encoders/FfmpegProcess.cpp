#include "encoders/FfmpegProcess.h"

#include "base/ChildPump.h"
#include "encoders/LineSplitter.h"

namespace tessaro {

void drainChild(ChildProcess& child, ChildStatus& status,
                const std::function<void(const std::string&)>& onStdoutLine,
                const std::function<void(const std::string&)>& onStderrLine) {
    LineSplitter outLines(onStdoutLine), errLines(onStderrLine);
    ChildPump pump(child, status);
    pump.run([&](ChildPump::Pipe pipe, const char* data, std::size_t n) {
        (pipe == ChildPump::Pipe::Errors ? errLines : outLines).feed(data, n);
    });
    outLines.flush();
    errLines.flush();
    child.closeOutput();
    child.closeErrors();
    child.wait(status);
}

}  // namespace tessaro
