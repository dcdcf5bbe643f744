#include "base/CommandLineText.h"

namespace tessaro {

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;  // a quoted empty pair ("") still makes an argument
    bool quoted = false;
    const std::size_t n = commandLine.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = commandLine[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument) {
                args.push_back(current);
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t run = 0;
            while (i < n && commandLine[i] == '\\') {
                ++run;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                current.append(run / 2, '\\');
                if (run % 2 == 1) {
                    current.push_back('"');
                    ++i;
                }
                // an even run leaves the quote to toggle on the next turn
            } else {
                current.append(run, '\\');
            }
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            ++i;
            continue;
        }
        current.push_back(c);
        ++i;
    }
    if (inArgument) args.push_back(current);
    return args;
}

std::string quotePath(const std::string& path) {
    std::string out;
    out.reserve(path.size() + 2);
    out.push_back('"');
    std::size_t backslashes = 0;
    for (char c : path) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // n backslashes before a quote become 2n+1, the quote a literal one
            out.append(backslashes * 2 + 1, '\\');
            out.push_back('"');
        } else {
            out.append(backslashes, '\\');
            out.push_back(c);
        }
        backslashes = 0;
    }
    // backslashes before the closing quote are doubled so it still closes
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

std::string joinCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const auto& arg : args) {
        if (!line.empty()) line.push_back(' ');
        const bool plain = !arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos;
        line += plain ? arg : quotePath(arg);
    }
    return line;
}

}  // namespace tessaro
