// The pump's end-of-run rule and its drain, with the helper child: one that
// exits at once, one that closes its output early and ends later, one whose
// grandchild keeps the pipe, one that floods.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/ChildPump.h"
#include "helpers/FloodPattern.h"

using namespace tessaro;

namespace {

using Clock = std::chrono::steady_clock;

std::string helper() {
#ifdef _WIN32
    return std::string(TESSARO_TEST_HELPERS_DIR) + "/tst_child.exe";
#else
    return std::string(TESSARO_TEST_HELPERS_DIR) + "/tst_child";
#endif
}

// The first n bytes the flood helper writes.
std::string pattern(std::size_t n) {
    std::string bytes;
    for (std::size_t i = 0; i < n; ++i)
        bytes.push_back(static_cast<char>(tessaro::testing::floodByte(i)));
    return bytes;
}

struct PumpedRun {
    std::string output, errors;
    RunStatus status;
    long long ms = 0;  // until the pump called the run over
};

// Pumps one run of the helper to its end, then ends what is left of its tree.
PumpedRun pumpHelper(const std::vector<std::string>& args, ChildProcess::Streams streams) {
    std::vector<std::string> argv{helper()};
    argv.insert(argv.end(), args.begin(), args.end());
    PumpedRun run;
    ChildProcess child;
    EXPECT_EQ(child.start(argv, streams, ChildProcess::OwnerEnd::Kill),
              ChildProcess::StartResult::Started);
    run.status.started = true;
    const auto start = Clock::now();
    ChildPump(child, run.status).run([&](ChildPump::Pipe pipe, const char* data, std::size_t n) {
        (pipe == ChildPump::Pipe::Errors ? run.errors : run.output).append(data, n);
    });
    run.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    child.kill();
    child.wait(run.status);
    return run;
}

TEST(ChildPump, RunIsOverWhenTheChildHasEndedAndItsPipesAreAtTheirEndOrQuiet) {
    const int quiet = static_cast<int>(ChildPump::kQuietAfterExit.count());
    struct Row {
        const char* what;
        std::vector<std::string> args;
        int minMs, maxMs;
        std::string output;
        int exitCode;
    };
    const std::vector<Row> rows = {
        {"exits at once", {"exit", "3"}, 0, 3000, "", 3},
        {"closes its output, ends later", {"close", "400", "4"}, 400, 2000, "closing\n", 4},
#ifdef _WIN32
        {"grandchild keeps the pipe, silent",
         {"spawn", "linger", "60000"},
         quiet,
         quiet + 2000,
         "parent\n",
         0},
        {"grandchild writes within the grace",
         {"spawn", "tail", "150", "5", "0"},
         150,
         quiet + 1500,
         "parent\n" + pattern(5),
         0},
#else
        {"grandchild keeps the pipe, silent",
         {"fork", "60000"},
         quiet,
         quiet + 2000,
         "parent\n",
         0},
        {"grandchild writes within the grace",
         {"fork", "150"},
         150,
         quiet + 1500,
         "parent\ngrandchild\n",
         0},
#endif
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const PumpedRun run = pumpHelper(row.args, ChildProcess::Streams::Merged);
        EXPECT_GE(run.ms, row.minMs);
        EXPECT_LT(run.ms, row.maxMs);
        EXPECT_EQ(run.output, row.output);
        EXPECT_TRUE(run.status.exited);
        EXPECT_EQ(run.status.exitCode, row.exitCode);
    }
}

TEST(ChildPump, FloodArrivesWholeAndInOrderOnEitherArrangementOfPipes) {
    constexpr std::size_t kTotal = 8 * 1024 * 1024 + 17;
    for (const auto streams : {ChildProcess::Streams::Merged, ChildProcess::Streams::Separate}) {
        SCOPED_TRACE(streams == ChildProcess::Streams::Merged ? "merged" : "separate");
        const PumpedRun run = pumpHelper({"flood", std::to_string(kTotal)}, streams);
        ASSERT_EQ(run.output.size(), kTotal);
        EXPECT_TRUE(run.output == pattern(kTotal)) << "bytes lost, doubled or reordered";
        EXPECT_TRUE(run.errors.empty());
        EXPECT_EQ(run.status.exitCode, 0);
    }
}

}  // namespace
