#pragma once
// What makes one installed ffmpeg differ from another, for the caches that
// would otherwise have to start it: the program file and the libavcodec
// library it loads, which packages such as libavcodec-extra replace while
// the program stays the same file.

#include <string>
#include <vector>

namespace tessaro {

// "path<TAB>size<TAB>mtime" of the ffmpeg file, then the same, with the
// resolved path and inode, of the libavcodec it names; "" when the ffmpeg
// file cannot be read.
std::string ffmpegIdentity(const std::string& ffmpeg);

// The two below exist in the POSIX build only.

// The libavcodec file ("libavcodec.so.59") that the program at this path is
// linked against; "" for a program that names none (a static build).
std::string linkedLibavcodec(const std::string& program);

// Where the dynamic loader looks for a library of this name: the folders of
// LD_LIBRARY_PATH, of /etc/ld.so.conf.d, the program's own ../lib and the
// system folders, in that order; "" when none holds it.
std::string findLibrary(const std::string& soname, const std::string& program);

}  // namespace tessaro
