#include "base/Platform.h"
#include "base/PlatformNative.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tessaro::platform {

std::string native::applicationFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

std::string native::withoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && folder.back() == kSeparator) folder.pop_back();
    return folder;
}

std::string native::temporaryFolder() { return "/tmp/tessaro-" + std::to_string(::getuid()); }

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

void restoreDefaultChildHandling() { ::signal(SIGCHLD, SIG_DFL); }

std::size_t maxFileNameLength(const std::string& folder) {
    const long n = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<std::size_t>(n) : 255;
}

long processId() { return static_cast<long>(::getpid()); }

double ownFileTime(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
        return -1;
    return static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
}

std::string applicationFile(const char* name) { return applicationFolder() + kSeparator + name; }

std::string defaultOutputFolder() { return userFolders().defaultOutput; }

UserFolders userFoldersFor(const std::string& appFolder, bool appWritable,
                           const char* xdgConfigHome, const char* home) {
    if (appWritable || !home || home[0] != '/')
        return {appFolder, appFolder + kDefaultOutputSuffix};
    std::string homeFolder = home;
    while (homeFolder.size() > 1 && homeFolder.back() == kSeparator) homeFolder.pop_back();
    if (homeFolder == "/") homeFolder.clear();
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    std::string config = xdgConfigHome && xdgConfigHome[0] == '/' ? std::string(xdgConfigHome)
                                                                  : homeFolder + "/.config";
    while (config.size() > 1 && config.back() == kSeparator) config.pop_back();
    if (config == "/") config.clear();
    return {config + "/tessaro", homeFolder + "/Tessaro"};
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry && entry->pw_dir && entry->pw_dir[0] == '/' ? entry->pw_dir : nullptr;
    }
    return home ? home : "";
}

UserFolders userFolders() {
    const std::string app = applicationFolder();
    const bool writable = ::access(app.c_str(), W_OK | X_OK) == 0;
    const std::string home = homeFolder();
    return userFoldersFor(app, writable, std::getenv("XDG_CONFIG_HOME"),
                          home.empty() ? nullptr : home.c_str());
}

std::string settingsFile(const char* name) { return userFolders().settings + kSeparator + name; }

bool prepareSettingsFolder() {
    const std::string folder = userFolders().settings;
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    std::filesystem::create_directories(folder, ec);
    if (ec) return false;
    ::chmod(folder.c_str(), 0700);
    return true;
}

std::vector<std::string> commandArguments(int argc, char** argv) { return {argv, argv + argc}; }

int openFile(const std::string& path, int flags, int mode) {
    return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}

std::tm localTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

}  // namespace tessaro::platform
