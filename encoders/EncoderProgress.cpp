#include "encoders/EncoderProgress.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tessaro {

std::string convProgressText(int percent, double seconds, long frames) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Pos:%6.1fs %6ldf (%2d%%)\r", seconds, frames, percent);
    return buf;
}

std::string durationText(const std::string& clock) { return "Duration: " + clock + ", \n"; }

std::string timeText(double seconds) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "time=%.2f \r", seconds);
    return buf;
}

std::string durationClock(const std::string& logLine) {
    static const std::string key = "Duration: ";
    const auto at = logLine.find(key);
    if (at == std::string::npos) return {};
    const auto from = at + key.size();
    const auto end = logLine.find_first_of(", ", from);
    return logLine.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

double clockSeconds(const std::string& clock) {
    int h = 0, m = 0;
    double s = 0;
    int used = 0;
    if (std::sscanf(clock.c_str(), "%d:%d:%lf%n", &h, &m, &s, &used) != 3 ||
        used != static_cast<int>(clock.size()) || h < 0 || m < 0 || s < 0)
        return -1;
    return h * 3600.0 + m * 60.0 + s;
}

std::string clockText(double seconds) {
    if (!(seconds >= 0)) return "N/A";
    const long hundredths = std::lround(seconds * 100);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld.%02ld", hundredths / 360000,
                  hundredths / 6000 % 60, hundredths / 100 % 60, hundredths % 100);
    return buf;
}

}  // namespace tessaro
