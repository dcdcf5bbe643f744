#pragma once
// What the fuzz targets share: a check that holds in every build type, and a
// scratch file for the readers that take a path.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

// Unlike assert(), not compiled away by NDEBUG: a broken invariant aborts,
// and libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// A file in a folder of this process's own, removed at exit; in memory
// (/dev/shm) where there is such a folder, so that the writers' fsync costs
// nothing.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& name)
        : m_folder(scratchRoot() / ("tessaro-fuzz-" + std::to_string(::getpid()))),
          m_path((m_folder / name).string()) {
        std::filesystem::create_directories(m_folder);
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    const std::string& path() const { return m_path; }
    void write(const uint8_t* data, std::size_t size) const {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

private:
    static std::filesystem::path scratchRoot() {
        std::error_code error;
        if (std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0)
            return "/dev/shm";
        return std::filesystem::temp_directory_path();
    }

    std::filesystem::path m_folder;
    std::string m_path;
};
