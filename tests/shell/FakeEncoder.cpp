// A stand-in for conv, coder and coder2 in the window's batch tests: prints a
// progress line, waits a moment and writes a little output to its last
// argument; when an argument holds "bad" it ends without output.
//
// With TESSARO_FAKE_HOLD naming a file, it waits after the progress line
// until that file exists (at most 20 s) instead of a fixed moment, so that a
// test decides when the run goes on. When an argument holds "slow", asked to
// end it takes another 300 ms.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

volatile std::sig_atomic_t g_asked = 0;

void onTerm(int) { g_asked = 1; }

bool exists(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    bool bad = false, slow = false;
    for (int i = 1; i < argc; ++i) {
        bad = bad || std::strstr(argv[i], "bad");
        slow = slow || std::strstr(argv[i], "slow");
    }
    if (slow) std::signal(SIGTERM, onTerm);
    std::puts("Pos:   1.0s (50%)");
    std::fflush(stdout);

    using namespace std::chrono;
    const char* hold = std::getenv("TESSARO_FAKE_HOLD");
    const auto until = steady_clock::now() + (hold && *hold ? seconds(20) : milliseconds(200));
    while (steady_clock::now() < until && !(hold && *hold && exists(hold))) {
        if (g_asked) {
            std::this_thread::sleep_for(milliseconds(300));
            return 1;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    if (bad) return 0;
    std::FILE* out = argc > 1 ? std::fopen(argv[argc - 1], "w") : nullptr;
    if (!out) return 1;
    std::fputs("data\n", out);
    return std::fclose(out) == 0 ? 0 : 1;
}
