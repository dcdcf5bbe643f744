#include "engine/Platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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

std::string applicationFolder() {
    if (!appFolderOverride().empty()) return appFolderOverride();
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

void setApplicationFolder(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == kSeparator) f.pop_back();
    appFolderOverride() = f;
}

std::string temporaryFolder() {
    if (!tempFolderOverride().empty()) return tempFolderOverride();
    return "/tmp/tessaro-" + std::to_string(::getuid());
}

void setTemporaryFolder(const std::string& folder) { tempFolderOverride() = folder; }

bool prepareTemporaryFolder(std::string* why) {
    const std::string folder = temporaryFolder();
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return fail(folder + ": " + std::strerror(errno));
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return fail(folder + ": " + std::strerror(errno));
    if (S_ISLNK(st.st_mode)) return fail(folder + " is a symbolic link");
    if (!S_ISDIR(st.st_mode)) return fail(folder + " is not a folder");
    if (st.st_uid != ::getuid()) return fail(folder + " belongs to another user");
    return true;
}

std::string temporaryFile(const char* name) { return temporaryFolder() + kSeparator + name; }

long processId() { return static_cast<long>(::getpid()); }

std::string applicationFile(const char* name) { return applicationFolder() + kSeparator + name; }

std::vector<std::string> commandArguments(int argc, char** argv) { return {argv, argv + argc}; }

void useUtf8Console() {}

std::string defaultOutputFolder() { return applicationFolder() + kDefaultOutputSuffix; }

}  // namespace tessaro::platform
