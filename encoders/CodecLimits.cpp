#include "encoders/CodecLimits.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace tessaro {
namespace {

// MPEG audio layer II and III bitrates, kbit/s, by MPEG version.
std::vector<double> mp2Bitrates(int rate) {
    if (rate >= 32000) return {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    return {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
}

std::vector<double> mp3Bitrates(int rate) {
    if (rate >= 32000) return {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    if (rate >= 16000) return {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    return {8, 16, 24, 32, 40, 48, 56, 64};  // MPEG 2.5
}

std::vector<double> ac3Bitrates(int) {
    return {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
}

// The eight AMR-NB modes.
std::vector<double> amrNbBitrates(int) { return {4.75, 5.15, 5.9, 6.7, 7.4, 7.95, 10.2, 12.2}; }

const AudioCodecLimits kCodecs[] = {
    {"mp2", {16000, 22050, 24000, 32000, 44100, 48000}, 2, mp2Bitrates, true},
    {"libmp3lame", {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}, 2, mp3Bitrates},
    {"ac3", {32000, 44100, 48000}, 6, ac3Bitrates},
    {"aac",
     {7350, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000},
     8,
     nullptr},
    {"libopus", {8000, 12000, 16000, 24000, 48000}, 8, nullptr},
    {"flac", {}, 8, nullptr},
    {"pcm_s16le", {}, 8, nullptr},
    {"amr_nb", {8000}, 1, amrNbBitrates},
    {"libopencore_amrnb", {8000}, 1, amrNbBitrates},
};

}  // namespace

const AudioCodecLimits* audioCodecLimits(const std::string& encoder) {
    for (const AudioCodecLimits& c : kCodecs)
        if (c.name == encoder) return &c;
    return nullptr;
}

std::string defaultAudioEncoder(const std::string& container, const std::string& extension) {
    const std::string f = !container.empty() ? container : extension;
    if (f == "rm" || f == "rmvb") return "ac3";
    if (f == "mp3" || f == "avi") return "libmp3lame";
    if (f == "mpeg" || f == "mpg" || f == "vob") return "mp2";
    if (f == "mov" || f == "mp4" || f == "m4a" || f == "ipod") return "aac";
    if (f == "3gp" || f == "3g2") return "amr_nb";
    return {};
}

double nearestValue(const std::vector<double>& list, double value) {
    double best = list.empty() ? value : list.front();
    for (double v : list)
        if (std::fabs(v - value) < std::fabs(best - value) ||
            (std::fabs(v - value) == std::fabs(best - value) && v > best))
            best = v;
    return best;
}

int nearestRate(const std::vector<int>& list, int value) {
    int best = list.empty() ? value : list.front();
    for (int v : list)
        if (std::abs(v - value) < std::abs(best - value) ||
            (std::abs(v - value) == std::abs(best - value) && v > best))
            best = v;
    return best;
}

std::vector<int> ratesTaking(const AudioCodecLimits& codec, double kbits) {
    std::vector<int> rates;
    for (int rate : codec.sampleRates) {
        const std::vector<double> b = codec.bitrates ? codec.bitrates(rate) : std::vector<double>{};
        if (b.empty() || std::find(b.begin(), b.end(), kbits) != b.end()) rates.push_back(rate);
    }
    return rates;
}

std::string nearestMpeg1FrameRate(double fps, double* chosen) {
    static const struct {
        const char* text;
        double value;
    } kRates[] = {{"5", 5},
                  {"10", 10},
                  {"12", 12},
                  {"15", 15},
                  {"24000/1001", 24000.0 / 1001},
                  {"24", 24},
                  {"25", 25},
                  {"30000/1001", 30000.0 / 1001},
                  {"30", 30},
                  {"50", 50},
                  {"60000/1001", 60000.0 / 1001},
                  {"60", 60}};
    auto best = std::begin(kRates);
    for (auto it = std::begin(kRates); it != std::end(kRates); ++it)
        if (std::fabs(it->value - fps) < std::fabs(best->value - fps)) best = it;
    if (chosen) *chosen = best->value;
    return best->text;
}

}  // namespace tessaro
