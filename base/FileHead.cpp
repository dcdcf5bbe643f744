#include "base/FileHead.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/Platform.h"

namespace tessaro {

FileHead readFileHead(const std::string& path, std::string& bytes, std::size_t limit) {
    bytes.clear();
    std::error_code error;
    const std::filesystem::path file = platform::nativePath(path);
    const auto status = std::filesystem::status(file, error);
    if (error || status.type() == std::filesystem::file_type::not_found) {
        return status.type() == std::filesystem::file_type::not_found ? FileHead::Missing
                                                                      : FileHead::Unreadable;
    }
    if (status.type() != std::filesystem::file_type::regular) return FileHead::Unreadable;
    std::ifstream in(file, std::ios::binary);
    if (!in) return FileHead::Unreadable;
    // Piece by piece: a small file costs no buffer of the whole limit.
    char piece[16 * 1024];
    while (bytes.size() < limit) {
        const std::size_t want = std::min(sizeof piece, limit - bytes.size());
        in.read(piece, static_cast<std::streamsize>(want));
        if (in.gcount() <= 0) break;
        bytes.append(piece, static_cast<std::size_t>(in.gcount()));
    }
    return FileHead::Read;
}

}  // namespace tessaro
