// Writes the completion sound: a short two-tone chime as 16-bit mono PCM WAV.
// Run by the build; usage: tessaro_make_sound OUTPUT.wav

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <vector>

namespace {

void put16(std::ofstream& out, uint16_t value) {
    out.put(char(value & 0xff));
    out.put(char(value >> 8));
}

void put32(std::ofstream& out, uint32_t value) {
    put16(out, uint16_t(value & 0xffff));
    put16(out, uint16_t(value >> 16));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    constexpr uint32_t kRate = 22050;
    constexpr double kPi = 3.14159265358979323846;
    std::vector<int16_t> samples;
    for (double frequency : {880.0, 1320.0}) {
        const int count = int(kRate * 0.18);
        for (int i = 0; i < count; ++i) {
            const double t = double(i) / kRate;
            const double envelope = std::exp(-6.0 * t) * std::min(1.0, i / 200.0);
            samples.push_back(int16_t(12000 * envelope * std::sin(2 * kPi * frequency * t)));
        }
    }
    std::ofstream out(argv[1], std::ios::binary);
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (int16_t sample : samples) put16(out, uint16_t(sample));
    return out ? 0 : 1;
}
