#include "engine/Platform.h"

#include <cctype>

namespace tessaro::platform {

std::string intermediateFile() {
    return temporaryFolder() + kSeparator + kIntermediatePrefix + std::to_string(processId()) +
           kIntermediateSuffix;
}

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool isIntermediateFile(const std::string& path) {
    const std::string folder = temporaryFolder() + kSeparator + kIntermediatePrefix;
    const std::string suffix = kIntermediateSuffix;
    if (path.size() <= folder.size() + suffix.size() || path.compare(0, folder.size(), folder) != 0 ||
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (std::size_t i = folder.size(); i < path.size() - suffix.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(path[i]))) return false;
    return true;
}

}  // namespace tessaro::platform
