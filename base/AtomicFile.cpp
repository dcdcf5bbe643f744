// The naming of partial files, the same on every platform.
#include "base/AtomicFile.h"

#include <cerrno>

#include "base/Platform.h"

namespace tessaro {

std::string partialFilePath(const std::string& finalPath, long writerPid) {
    const std::size_t slash = finalPath.find_last_of(platform::kSeparators);
    const std::string folder = slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(writerPid) + ".part";
}

std::string commitPartialFile(const std::string& partial, const std::string& wanted) {
    const std::size_t slash = wanted.find_last_of(platform::kSeparators);
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = wanted.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) dot = wanted.size();
    std::string target = wanted;
    for (int n = 2; n < 10000; ++n) {
        if (renameNoReplace(partial, target)) return target;
        if (errno != EEXIST) return {};
        target = wanted.substr(0, dot) + "_" + std::to_string(n) + wanted.substr(dot);
    }
    return {};
}

}  // namespace tessaro
