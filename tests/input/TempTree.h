#pragma once
// A real folder tree under the system's temporary folder, removed again
// (permissions restored first) when the object goes.

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tessaro::test {

class TempTree {
public:
    TempTree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-scan-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            m_root = pattern;
    }
    ~TempTree()
    {
        for (const std::string& path : m_locked)
            ::chmod(path.c_str(), 0755);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return m_root; }
    std::string path(const std::string& relative) const { return m_root + "/" + relative; }

    // Creates an empty file (and the folders leading to it); returns its path.
    std::string file(const std::string& relative) const
    {
        const std::filesystem::path full = path(relative);
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full).put('x');
        return full.string();
    }
    std::string folder(const std::string& relative) const
    {
        std::filesystem::create_directories(path(relative));
        return path(relative);
    }
    void link(const std::string& target, const std::string& relative) const
    {
        std::filesystem::create_symlink(target, path(relative));
    }
    void setMode(const std::string& relative, mode_t mode)
    {
        m_locked.push_back(path(relative));
        ::chmod(path(relative).c_str(), mode);
    }

private:
    std::string m_root;
    std::vector<std::string> m_locked;
};

}  // namespace tessaro::test
