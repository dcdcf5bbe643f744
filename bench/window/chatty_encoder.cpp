// A chatty stand-in for the encoders of data/: installed as conv, coder and
// coder2 of a scratch application folder, it floods its output with the
// progress text of the encoder it is named after (percentages for conv,
// "Duration: " and "time=" for the others), BENCH_CHATTY_BYTES in all
// (default 50 MB), then writes a small output file: the path after "-o",
// else the last argument.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void writeAll(const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(1, p, left);
        if (n <= 0) std::exit(1);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* env = std::getenv("BENCH_CHATTY_BYTES");
    const unsigned long long total = env ? std::strtoull(env, nullptr, 10) : 50000000ull;
    const char* slash = std::strrchr(argv[0], '/');
    const bool percent = std::strcmp(slash ? slash + 1 : argv[0], "conv") == 0;

    std::string output = argc > 1 ? argv[argc - 1] : "";
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-o") == 0) output = argv[i + 1];

    std::string block;
    unsigned long long written = 0, line = 0;
    const unsigned long long lines = total / 24 + 1;
    if (!percent) writeAll("Duration: 00:01:40.00, start: 0.000000, bitrate: 1500 kb/s\n");
    while (written < total) {
        block.clear();
        while (block.size() < 64 * 1024 && written + block.size() < total) {
            char text[64];
            if (percent)
                std::snprintf(text, sizeof text, "Pos:%6.1fs %6lluf (%2llu%%)\r", line * 0.04, line,
                              line * 100 / lines);
            else
                std::snprintf(text, sizeof text, "frame=%llu time=%.2f \r", line, line * 100.0 / lines);
            block += text;
            ++line;
        }
        writeAll(block);
        written += block.size();
    }
    if (percent) writeAll("(100%)\n");
    if (!output.empty()) {
        if (std::FILE* f = std::fopen(output.c_str(), "wb")) {
            std::fputs("chatty\n", f);
            std::fclose(f);
        }
    }
    return 0;
}
