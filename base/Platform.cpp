#include "base/Platform.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

#include "base/PlatformNative.h"
#include "base/ProcessList.h"

namespace tessaro::platform {
namespace {

std::string& appFolderOverride() {
    static std::string folder;
    return folder;
}

std::string& tempFolderOverride() {
    static std::string folder;
    return folder;
}

}  // namespace

int defaultJobs() {
    const unsigned processors = std::thread::hardware_concurrency();
    return processors == 0 ? 1 : static_cast<int>(std::min(processors, 4u));
}

std::string applicationFolder() {
    return appFolderOverride().empty() ? native::applicationFolder() : appFolderOverride();
}

void setApplicationFolder(const std::string& folder) {
    appFolderOverride() = native::withoutTrailingSeparators(folder);
}

std::string temporaryFolder() {
    return tempFolderOverride().empty() ? native::temporaryFolder() : tempFolderOverride();
}

void setTemporaryFolder(const std::string& folder) { tempFolderOverride() = folder; }

std::string intermediateFile(int slot) {
    return temporaryFolder() + kSeparator + kIntermediatePrefix + std::to_string(processId()) +
           (slot > 0 ? "-" + std::to_string(slot) : std::string()) + kIntermediateSuffix;
}

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

namespace {

bool allDigits(const std::string& text) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The digits between prefix and suffix, as a process id; 0 when they are none.
long idBetween(const std::string& name, const std::string& prefix, const std::string& suffix) {
    if (name.size() <= prefix.size() + suffix.size() || !startsWith(name, prefix) ||
        !endsWith(name, suffix))
        return 0;
    const std::string digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return allDigits(digits) ? std::atol(digits.c_str()) : 0;
}

// The same of a numbered name, PREFIX PID "-" N SUFFIX.
long numberedIdBetween(const std::string& name, const std::string& prefix,
                       const std::string& suffix) {
    const auto dash = name.rfind('-');
    if (dash == std::string::npos || dash < prefix.size() || !endsWith(name, suffix) ||
        !allDigits(name.substr(dash + 1, name.size() - dash - 1 - suffix.size())))
        return 0;
    return idBetween(name.substr(0, dash) + suffix, prefix, suffix);
}

// The process id of an intermediate's name: "tmp-PID.mp4", and
// "tmp-PID-K.mp4" of the K-th file converted at once; 0 for any other name.
long intermediateOwner(const std::string& name) {
    const std::string prefix = kIntermediatePrefix;
    const std::string suffix = kIntermediateSuffix;
    if (name.size() <= prefix.size() + suffix.size() || !startsWith(name, prefix) ||
        !endsWith(name, suffix))
        return 0;
    std::string id = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (const auto dash = id.find('-'); dash != std::string::npos && allDigits(id.substr(dash + 1)))
        id.erase(dash);
    return allDigits(id) ? std::atol(id.c_str()) : 0;
}

// The id of the encoder whose scratch file in the temporary folder a name
// is: coder2's sound samples ("amrnb-PID.pcm", "amrnb-PID.amr") and the
// pieces of a picture ("piece-PID-N.avi", "pieces-PID.ffconcat"); 0 for any
// other name.
long scratchOwner(const std::string& name) {
    for (const char* suffix : {".pcm", ".amr"})
        if (const long id = idBetween(name, "amrnb-", suffix)) return id;
    if (const long id = numberedIdBetween(name, "piece-", ".avi")) return id;
    return idBetween(name, "pieces-", ".ffconcat");
}

// Removes the files of folder whose names `owner` reads a process id from
// (those of `only`, when given), where no live process of that id may have
// written them.
int removeFrom(const std::string& folder, const std::function<long(const std::string&)>& owner,
               long only = 0) {
    namespace fs = std::filesystem;
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(nativePath(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = utf8Path(it->path().filename());
        const long id = owner(name);
        if (id <= 0 || id == processId() || (only > 0 && id != only)) continue;
        const std::string path = folder + kSeparator + name;
        const double written = ownFileTime(path);
        if (written < 0 || mayHaveWritten(id, written)) continue;
        std::error_code removeError;
        if (fs::remove(it->path(), removeError)) ++removed;
    }
    return removed;
}

}  // namespace

bool isIntermediateFile(const std::string& path) {
    const std::string folder = temporaryFolder() + kSeparator;
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           intermediateOwner(path.substr(folder.size())) > 0;
}

long leftoverOwner(const std::string& fileName, bool inTemporaryFolder) {
    if (inTemporaryFolder) {
        if (const long id = intermediateOwner(fileName)) return id;
        if (const long id = scratchOwner(fileName)) return id;
    }
    // ".NAME.PID.part": the writer's id before the last suffix.
    const std::string suffix = ".part";
    if (fileName.size() < 4 + suffix.size() || fileName[0] != '.' || !endsWith(fileName, suffix))
        return 0;
    const std::string rest = fileName.substr(0, fileName.size() - suffix.size());
    const auto dot = rest.rfind('.');
    if (dot == std::string::npos || dot < 2) return 0;
    const std::string digits = rest.substr(dot + 1);
    return allDigits(digits) ? std::atol(digits.c_str()) : 0;
}

int removeScratchOf(long encoder) {
    if (encoder <= 0 || !prepareTemporaryFolder()) return 0;
    return removeFrom(temporaryFolder(), scratchOwner, encoder);
}

int removeLeftovers(const std::string& outputFolder) {
    int removed = 0;
    const auto inTemporary = [](const std::string& name) { return leftoverOwner(name, true); };
    const auto inOutput = [](const std::string& name) { return leftoverOwner(name, false); };
    if (prepareTemporaryFolder()) removed += removeFrom(temporaryFolder(), inTemporary);
    std::string folder = outputFolder;
    while (folder.size() > 1 && folder.back() == kSeparator) folder.pop_back();
    if (!folder.empty()) removed += removeFrom(folder, inOutput);
    return removed;
}

}  // namespace tessaro::platform
