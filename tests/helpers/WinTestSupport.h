#pragma once
// Shared pieces of the Windows tests: a private folder under %TEMP% whose
// names may hold any character, and copies of the helper child in it.

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/Platform.h"

namespace tessaro::testing {

inline std::string helperPath() { return std::string(TESSARO_TEST_HELPERS_DIR) + "/tst_child.exe"; }

class WinFolder {
public:
    WinFolder() {
        // Process ids come back: a folder that an earlier run could not
        // remove is passed over, not reused.
        static std::atomic<int> counter{0};
        do {
            m_path = std::filesystem::temp_directory_path() /
                     ("tessaro-win-" + std::to_string(::GetCurrentProcessId()) + "-" +
                      std::to_string(counter++));
        } while (std::filesystem::exists(m_path));
        std::filesystem::create_directories(m_path);
    }
    ~WinFolder() {
        // The long-path form: the tests make folders deeper than MAX_PATH.
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(L"\\\\?\\" + m_path.wstring()), ec);
    }
    // The full UTF-8 path of a name (with '\' separators) in this folder.
    std::string path(const std::string& relative = {}) const {
        const std::string root = platform::utf8Path(m_path);
        return relative.empty() ? root : root + "\\" + relative;
    }
    std::string folder(const std::string& relative) const {
        std::filesystem::create_directories(platform::nativePath(path(relative)));
        return path(relative);
    }
    std::string file(const std::string& relative, const std::string& bytes = "x") const {
        const auto full = platform::nativePath(path(relative));
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << bytes;
        return path(relative);
    }
    // Copies the helper child under this relative name.
    std::string copyHelper(const std::string& relative) const {
        const auto target = platform::nativePath(path(relative));
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(helperPath(), target, std::filesystem::copy_options::overwrite_existing);
        return path(relative);
    }
    std::string uniqueName(const std::string& prefix) const {
        static std::atomic<int> counter{0};
        return prefix + std::to_string(::GetCurrentProcessId() % 100000) + "_" + std::to_string(counter++);
    }

private:
    std::filesystem::path m_path;
};

}  // namespace tessaro::testing
