#pragma once
// Writing a file whole or not at all.

#include <string>
#include <string_view>

namespace tessaro {

// Writes `bytes` to a temporary file in the folder of `path`, flushes it to
// the disk and renames it over `path`, so that a crash or a full disk never
// leaves a truncated file: either the old file or the complete new one is
// there. A symbolic link at `path` keeps pointing at the rewritten file, and
// an existing file keeps its permission bits. False (and the old file left
// as it was, no temporary file left behind) when any step fails.
// The POSIX build renames with rename(2), the Windows build with
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
bool writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace tessaro
