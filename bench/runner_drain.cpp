// Drain throughput of DOSOutputs: a child writes 100 MB as fast as it can,
// the runner reads it in chunks of at most 1024 bytes, raising an event per
// chunk. Prints MB/s (1 MB = 10^6 bytes) and exits non-zero below the target.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/CommandLineText.h"
#include "bench/PrintedMessages.h"
#include "engine/DOSOutputs.h"

int main(int argc, char** argv) {
    const unsigned long long total = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000000ull;
    const double targetMBs = 50.0;

    tessaro::NullMessagePump pump;
    tessaro::bench::PrintedMessages messages;
    tessaro::DOSOutputs runner(pump, messages);
    unsigned long long received = 0;
    unsigned long long chunks = 0;
    runner.ReceiveOutputs = [&](const std::string& chunk) {
        received += chunk.size();
        ++chunks;
    };
    tessaro::strEncoderExe = "bench_writer";

    const auto start = std::chrono::steady_clock::now();
    runner.ExecuteCommand(tessaro::quotePath(BENCH_WRITER) + " " + std::to_string(total));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const double mbs = received / 1e6 / seconds;
    std::printf("runner_drain: %llu bytes in %llu chunks, %.3f s, %.1f MB/s (target >= %.0f MB/s)\n", received,
                chunks, seconds, mbs, targetMBs);
    if (received != total) {
        std::printf("runner_drain: FAIL, %llu of %llu bytes received\n", received, total);
        return 1;
    }
    return mbs >= targetMBs ? 0 : 1;
}
