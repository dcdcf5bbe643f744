#include "report/EncoderReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessaro {
namespace {

constexpr const char* kErrorMarker = ": error: ";
constexpr const char* kWrittenAsMarker = ": written as: ";
constexpr const char* kNoticeMarker = ": notice: ";

std::string oneLine(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return s;
}

// The rest of the line after the last occurrence of marker; "" when none.
std::string lastMarkedLine(const std::string& outputs, const std::string& marker) {
    const auto at = outputs.rfind(marker);
    if (at == std::string::npos) return {};
    const auto from = at + marker.size();
    const auto end = outputs.find_first_of("\r\n", from);
    return outputs.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The text for whom a line about a file blames: the source, the output
// folder, or neither.
const char* byBlamed(const std::string& line, const FailedRun& run, const char* source,
                     const char* outputFolder, const char* other) {
    if (!run.input.empty() && line.find(run.input) != std::string::npos) return source;
    const auto slash = run.output.find_last_of("/\\");
    if (slash != std::string::npos &&
        line.find(run.output.substr(0, slash + 1)) != std::string::npos)
        return outputFolder;
    return other;
}

constexpr const char* kNoSound = "源文件没有声音";
constexpr const char* kNoPicture = "源文件没有画面";
constexpr const char* kNoStreams = "源文件没有声音也没有画面";
constexpr const char* kOutputFolderGone = "输出文件夹不存在";

// The cause a line of an encoder (or of the ffmpeg under it) names, in
// Chinese; "" for a line that names none of the common ones.
std::string causeOf(const std::string& line, const FailedRun& run) {
    const auto has = [&line](const char* text) { return line.find(text) != std::string::npos; };
    if (has("source has no audio stream")) return kNoSound;
    if (has("source has no video stream")) return kNoPicture;
    if (has("matches no streams")) {
        // "Stream map '0:a:0' matches no streams."
        const auto open = line.find('\'');
        const auto close = line.find('\'', open + 1);
        const std::string map = open == std::string::npos || close == std::string::npos
                                    ? std::string()
                                    : line.substr(open + 1, close - open - 1);
        if (map.find(":a") != std::string::npos) return kNoSound;
        if (map.find(":v") != std::string::npos) return kNoPicture;
        return kNoStreams;
    }
    if (has("does not contain any stream")) return run.audioOnly ? kNoSound : kNoStreams;
    // Before the ffmpeg line it names, which tells of invalid data.
    if (has("source sound cannot be decoded")) return "源文件的声音无法解码";
    if (has("Invalid data found when processing input") ||
        has("source format is unreadable or unknown"))
        return "源文件已损坏或格式无法识别";
    if (has("No space left on device")) return "磁盘已满";
    if (has("Disk quota exceeded")) return "磁盘配额已用完";
    if (has("Read-only file system")) return "输出文件夹所在的磁盘只读";
    if (has("Permission denied"))
        return byBlamed(line, run, "没有读取源文件的权限", "没有写入输出文件夹的权限",
                        "没有访问权限");
    if (has("No such file or directory"))
        return byBlamed(line, run, "源文件不存在", kOutputFolderGone, "找不到文件或文件夹");
    return {};
}

// The line as the encoder's own, "coder: REASON": an encoder's error line
// loses its "error:", any other line is put under the program's name.
std::string ownLine(std::string program, std::string line) {
    const auto first = line.find_first_not_of(" \t");
    line.erase(0, first == std::string::npos ? line.size() : first);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (const auto at = line.find(kErrorMarker); at != std::string::npos)
        return line.substr(0, at) + ": " + line.substr(at + std::string(kErrorMarker).size());
    if (program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0)
        program.resize(program.size() - 4);
    if (line.rfind(program + ": ", 0) == 0) return line;
    return program + ": " + line;
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", s);
    return text;
}

}  // namespace

bool isIncompleteOutput(double outputSeconds, double sourceSeconds) {
    if (!(sourceSeconds > 0) || !std::isfinite(sourceSeconds)) return false;
    const double shortBy = sourceSeconds - std::max(outputSeconds, 0.0);
    return shortBy > 0.05 * sourceSeconds && shortBy > 1.0;
}

std::string incompleteSourceReason(double outputSeconds, double sourceSeconds) {
    return "源文件可能不完整：输出 " + seconds(outputSeconds) + " 秒，源文件 " +
           seconds(sourceSeconds) + " 秒";
}

std::string errorLine(const std::string& program, const std::string& reason) {
    return "\n" + program + kErrorMarker + oneLine(reason) + "\n";
}

std::string lastErrorReason(const std::string& outputs) {
    return lastMarkedLine(outputs, kErrorMarker);
}

std::string outputFolderGoneReason(const std::string& detail) {
    return std::string(kOutputFolderGone) + "（" + detail + "）";
}

std::string failureReason(const FailedRun& run) {
    const std::string& out = run.outputs;
    const std::string status = run.program + " 退出码 " + std::to_string(run.exitCode);
    const std::string own = lastErrorReason(out);
    // "no output was written", or ffmpeg's own line about the partial name.
    if (run.outputFolderGone)
        return outputFolderGoneReason(own.empty() ? status : ownLine(run.program, own));
    for (std::size_t end = out.size(); end > 0;) {
        const auto start = out.find_last_of("\r\n", end - 1);
        const std::size_t from = start == std::string::npos ? 0 : start + 1;
        const std::string line = out.substr(from, end - from);
        if (const std::string cause = causeOf(line, run); !cause.empty())
            return cause + "（" + ownLine(run.program, line) + "）";
        if (start == std::string::npos) break;
        end = start;
    }
    return own.empty() ? status : status + "：" + own;
}

std::string writtenAsLine(const std::string& program, const std::string& path) {
    return "\n" + program + kWrittenAsMarker + oneLine(path) + "\n";
}

std::string writtenAsPath(const std::string& outputs) {
    return lastMarkedLine(outputs, kWrittenAsMarker);
}

std::string noticeLine(const std::string& program, const std::string& text) {
    return "\n" + program + kNoticeMarker + oneLine(text) + "\n";
}

std::vector<std::string> notices(const std::string& outputs) {
    static const std::string marker = kNoticeMarker;
    std::vector<std::string> found;
    for (auto at = outputs.find(marker); at != std::string::npos;
         at = outputs.find(marker, at + marker.size())) {
        const auto from = at + marker.size();
        const auto end = outputs.find_first_of("\r\n", from);
        std::string text =
            outputs.substr(from, end == std::string::npos ? std::string::npos : end - from);
        if (!text.empty() && std::find(found.begin(), found.end(), text) == found.end())
            found.push_back(std::move(text));
    }
    return found;
}

}  // namespace tessaro
