#pragma once
// Writing a file whole or not at all.

#include <cstddef>
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


// Gives `from` the name `to` only when no file of that name exists: never
// replaces one, even when another process creates it meanwhile. Uses an
// atomic no-replace rename where the file system has one, else a hard link
// followed by the removal of `from`. False (errno set, `from` left) on a
// clash (EEXIST) or any other failure.
// The Windows build uses MoveFileExW without MOVEFILE_REPLACE_EXISTING.
bool renameNoReplace(const std::string& from, const std::string& to);

// The name under which a file that ends up as `finalPath` is written while it
// is incomplete: a hidden name in the same folder, marked with the id of the
// process that writes it (".NAME.PID.part"). Writers and the owner that
// cleans up after a killed writer both take the name from here.
std::string partialFilePath(const std::string& finalPath, long writerPid);

// Bytes that partialFilePath() adds to a file name at most.
inline constexpr std::size_t kPartialNameExtra = 1 + 1 + 10 + 5;

// Gives the complete `partial` its final name: `wanted`, or when a file of
// that name exists, the first free "_2", "_3", ... name (inserted before the
// extension). Returns the name taken; "" when no rename succeeded (the
// partial file is then left for the caller to remove).
std::string commitPartialFile(const std::string& partial, const std::string& wanted);

}  // namespace tessaro
