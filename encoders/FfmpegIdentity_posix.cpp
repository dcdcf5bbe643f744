#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "encoders/FfmpegIdentity.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

std::string fileStamp(const std::string& path, bool withInode) {
    struct stat sb {};
    if (::stat(path.c_str(), &sb) != 0) return {};
    std::string stamp =
        path + "\t" + std::to_string(sb.st_size) + "\t" + std::to_string(sb.st_mtime);
    if (withInode) stamp += "\t" + std::to_string(sb.st_ino);
    return stamp;
}

void addFolders(std::vector<std::string>& folders, const std::string& list, char separator) {
    std::stringstream ss(list);
    std::string item;
    while (std::getline(ss, item, separator))
        if (!item.empty() && item[0] == '/') folders.push_back(item);
}

}  // namespace

std::string linkedLibavcodec(const std::string& program) {
    std::ifstream in(program, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const std::string kName = "libavcodec.so.";
    const auto at = bytes.find(kName);
    if (at == std::string::npos) return {};
    auto end = at + kName.size();
    while (end < bytes.size() && ((bytes[end] >= '0' && bytes[end] <= '9') || bytes[end] == '.'))
        ++end;
    return bytes.substr(at, end - at);
}

std::string findLibrary(const std::string& soname, const std::string& program) {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("LD_LIBRARY_PATH")) addFolders(folders, path, ':');
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/etc/ld.so.conf.d", ec)) {
        std::ifstream conf(entry.path());
        std::string line;
        while (std::getline(conf, line)) addFolders(folders, line.substr(0, line.find('#')), ' ');
    }
    folders.push_back(fs::path(program).parent_path().parent_path().string() + "/lib");
    for (const char* f : {"/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib64",
                          "/usr/lib64", "/lib", "/usr/lib"})
        folders.push_back(f);
    for (const std::string& folder : folders) {
        const std::string candidate = folder + "/" + soname;
        if (fs::exists(candidate, ec)) return candidate;
    }
    return {};
}

std::string ffmpegIdentity(const std::string& ffmpeg) {
    std::string identity = fileStamp(ffmpeg, false);
    if (identity.empty()) return {};
    const std::string soname = linkedLibavcodec(ffmpeg);
    const std::string library = soname.empty() ? std::string() : findLibrary(soname, ffmpeg);
    if (!library.empty()) {
        std::error_code ec;
        const std::string real = fs::canonical(library, ec).string();
        identity += "\t" + fileStamp(ec ? library : real, true);
    }
    return identity;
}

}  // namespace tessaro
