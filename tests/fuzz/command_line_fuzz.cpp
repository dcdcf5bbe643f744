// The command-line splitter: any argument vector (the input's NUL-separated
// pieces) joined and split again comes back as it was; any text quoted as a
// path splits back into that one argument; and what a text splits into joins
// into a line that splits the same way.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/CommandLineText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::vector<std::string> args;
    for (size_t start = 0; start <= text.size();) {
        const size_t nul = text.find('\0', start);
        args.push_back(text.substr(start, nul - start));
        if (nul == std::string::npos) break;
        start = nul + 1;
    }
    FUZZ_CHECK(tessaro::splitCommandLine(tessaro::joinCommandLine(args)) == args);

    FUZZ_CHECK(tessaro::splitCommandLine(tessaro::quotePath(text)) ==
               std::vector<std::string>{text});

    const std::vector<std::string> split = tessaro::splitCommandLine(text);
    FUZZ_CHECK(tessaro::splitCommandLine(tessaro::joinCommandLine(split)) == split);
    return 0;
}
