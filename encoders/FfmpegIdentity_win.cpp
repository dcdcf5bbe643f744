#include <filesystem>

#include "base/Platform.h"
#include "encoders/FfmpegIdentity.h"

namespace tessaro {

// The ffmpeg.exe of the Windows build is linked statically: the program
// file alone tells one from another.
std::string ffmpegIdentity(const std::string& ffmpeg) {
    namespace fs = std::filesystem;
    std::error_code sizeError, timeError;
    const fs::path file = platform::nativePath(ffmpeg);
    const auto size = fs::file_size(file, sizeError);
    const auto time = fs::last_write_time(file, timeError);
    if (sizeError || timeError) return {};
    return ffmpeg + "\t" + std::to_string(size) + "\t" +
           std::to_string(time.time_since_epoch().count());
}

}  // namespace tessaro
