// Stand-in for settings/OptionsFile.cpp while it is being written: just
// enough of its contract for the dialog tests. Linked only when the real
// file is absent.
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "settings/OptionsFile.h"

namespace tessaro {

void readOptionsFile(const std::string& path, Options& options) {
    std::ifstream in(path);
    if (!in) {
        options.intSoundReminder = 0;
        options.intMusicCutter = 0;
        return;
    }
    long v[4] = {0, 0, 0, 0};
    for (long& x : v) in >> x;
    options = {int16_t(v[0]), int16_t(v[1]), int32_t(v[2]), int32_t(v[3])};
}

bool writeOptionsFile(const std::string& path, const Options& o) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << o.intSoundReminder << "\r\n" << o.intMusicCutter << "\r\n" << o.lngCutFrom << "\r\n"
        << o.lngCutTo << "\r\n";
    return bool(out);
}

double fieldValue(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

std::optional<ConfirmProblem> checkCutterFields(const CutterFields& f) {
    if (fieldValue(f.fromM) > 59) return ConfirmProblem{CutterField::FromM, "分钟必须小于60", "分钟"};
    if (fieldValue(f.toM) > 59) return ConfirmProblem{CutterField::ToM, "分钟必须小于60", "分钟"};
    if (fieldValue(f.fromS) > 59) return ConfirmProblem{CutterField::FromS, "秒必须小于60", "秒"};
    if (fieldValue(f.toS) > 59) return ConfirmProblem{CutterField::ToS, "秒必须小于60", "秒"};
    return std::nullopt;
}

Options confirmedOptions(int soundPosition, bool cutterChecked, const CutterFields& f) {
    const double from = fieldValue(f.fromH) * 3600 + fieldValue(f.fromM) * 60 + fieldValue(f.fromS);
    const double to = fieldValue(f.toH) * 3600 + fieldValue(f.toM) * 60 + fieldValue(f.toS);
    const bool allZero = fieldValue(f.fromH) == 0 && fieldValue(f.fromM) == 0 &&
                         fieldValue(f.fromS) == 0 && fieldValue(f.toH) == 0 &&
                         fieldValue(f.toM) == 0 && fieldValue(f.toS) == 0;
    return {int16_t(soundPosition), int16_t(cutterChecked && !allZero ? 1 : 0),
            int32_t(std::nearbyint(from)), int32_t(std::nearbyint(to))};
}

void fillBack(int32_t seconds, std::string& hours, std::string& minutes, std::string& secs) {
    const int32_t h = seconds / 3600, m = (seconds - h * 3600) / 60;
    hours = std::to_string(h);
    minutes = std::to_string(m);
    secs = std::to_string(seconds - h * 3600 - m * 60);
}

}  // namespace tessaro
