#pragma once
// Shared pieces of the POSIX runner tests: copies of the helper child under
// names of their own (so parallel test runs never see each other's
// processes); the recorders of RunnerRecorders.h.

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/RunnerRecorders.h"

extern char** environ;

namespace tessaro::testing {

inline std::string helperPath() { return std::string(TESSARO_TEST_HELPERS_DIR) + "/tst_child"; }

// A private temporary folder, removed with its contents at the end.
class HelperFolder {
public:
    HelperFolder() {
        static std::atomic<int> counter{0};
        m_path = std::filesystem::temp_directory_path() /
                 ("tessaro-runner-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~HelperFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }

    // A process name unique to this test process (at most 15 characters for
    // short prefixes).
    std::string uniqueName(const std::string& prefix) const {
        static std::atomic<int> counter{0};
        return prefix + std::to_string(::getpid() % 100000) + "_" + std::to_string(counter++);
    }

    // Copies the helper child into this folder (subfolders created) under name.
    std::string copy(const std::string& relativeName) const {
        const auto target = m_path / relativeName;
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(helperPath(), target, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(target, std::filesystem::perms::owner_all);
        return target.string();
    }

private:
    std::filesystem::path m_path;
};

// Starts program with args, output to /dev/null, not waited for.
inline pid_t spawnHelper(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// The state letter of a process ('Z' for a zombie), '?' when there is none.
inline char stateOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), {});
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

// True while a process of the group runs (zombies do not count).
inline bool groupIsRunning(pid_t group) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const pid_t pid = static_cast<pid_t>(std::atol(entry.path().filename().c_str()));
        if (pid > 0 && ::getpgid(pid) == group && stateOf(pid) != 'Z') return true;
    }
    return false;
}

}  // namespace tessaro::testing
