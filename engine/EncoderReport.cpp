#include "engine/EncoderReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessaro {
namespace {

constexpr const char* kErrorMarker = ": error: ";
constexpr const char* kWrittenAsMarker = ": written as: ";

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

std::string lastErrorReason(const std::string& outputs) { return lastMarkedLine(outputs, kErrorMarker); }

std::string writtenAsLine(const std::string& program, const std::string& path) {
    return "\n" + program + kWrittenAsMarker + oneLine(path) + "\n";
}

std::string writtenAsPath(const std::string& outputs) { return lastMarkedLine(outputs, kWrittenAsMarker); }

}  // namespace tessaro
