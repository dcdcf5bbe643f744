#pragma once
// A bounded read of the head of a regular file, for the small text files the
// program reads (the settings files, the encoders' caches).

#include <cstddef>
#include <string>

namespace tessaro {

// No file read this way needs more than this; a bigger file is read only
// this far.
inline constexpr std::size_t kSettingsReadLimit = 1 << 20;

enum class FileHead { Missing, Unreadable, Read };

// Reads at most `limit` bytes of a regular file into `bytes`. Anything that is
// not a regular file (a folder, a pipe, a device) is Unreadable and is never
// opened, so a read cannot block.
FileHead readFileHead(const std::string& path, std::string& bytes,
                      std::size_t limit = kSettingsReadLimit);

}  // namespace tessaro
