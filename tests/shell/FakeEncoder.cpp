// A stand-in for conv, coder and coder2 in the window's batch tests: prints a
// progress line, waits a moment and writes a little output to its last
// argument; when an argument holds "bad" it ends without output.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    std::puts("Pos:   1.0s (50%)");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 1; i < argc; ++i)
        if (std::strstr(argv[i], "bad")) return 0;
    std::FILE* out = argc > 1 ? std::fopen(argv[argc - 1], "w") : nullptr;
    if (!out) return 1;
    std::fputs("data\n", out);
    return std::fclose(out) == 0 ? 0 : 1;
}
