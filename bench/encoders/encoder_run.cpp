// Runs one command line through DOSOutputs, as the window does, and prints
// the wall time in seconds. Usage: encoder_run IMAGE_NAME COMMAND_LINE
#include <chrono>
#include <cstdio>
#include <string>

#include "base/MessagePump.h"
#include "bench/PrintedMessages.h"
#include "engine/DOSOutputs.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: encoder_run IMAGE_NAME COMMAND_LINE\n");
        return 2;
    }
    tessaro::NullMessagePump pump;
    tessaro::bench::PrintedMessages messages;
    tessaro::DOSOutputs runner(pump, messages);
    size_t bytes = 0;
    runner.ReceiveOutputs = [&](const std::string& chunk) { bytes += chunk.size(); };
    tessaro::strEncoderExe = argv[1];
    const auto t0 = std::chrono::steady_clock::now();
    runner.ExecuteCommand(argv[2]);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%.3f\n", s);
    return runner.lastStatus().succeeded() ? 0 : 1;
}
