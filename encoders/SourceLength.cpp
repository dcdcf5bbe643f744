#include "encoders/SourceLength.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "encoders/EncoderProgress.h"

namespace tessaro {

void SourceLength::read(const std::string& line) {
    if (m_clock.empty()) {
        m_clock = durationClock(line);
        if (!m_clock.empty()) m_total = clockSeconds(m_clock);
    }
    if (line.find("Stream #") != std::string::npos) {
        const bool audio = line.find(": Audio: ") != std::string::npos;
        const bool video = line.find(": Video: ") != std::string::npos &&
                           line.find("(attached pic)") == std::string::npos;
        m_inPictureOrSound = audio || video;
        if (!m_inPictureOrSound) return;
        // "..., 13 kb/s" of the stream; a stream without one leaves the rate unknown.
        const auto kbs = line.rfind(" kb/s");
        const auto from = kbs == std::string::npos ? kbs : line.find_last_of(" ,", kbs - 1);
        const double kbits = from == std::string::npos ? 0 : std::atof(line.c_str() + from + 1);
        if (kbits > 0 && m_kbits >= 0)
            m_kbits += kbits;
        else
            m_kbits = -1;
        return;
    }
    // "      DURATION        : 00:00:30.640000000"
    const auto key = line.find(" DURATION ");
    const auto colon = line.find(": ", key == std::string::npos ? 0 : key);
    if (m_inPictureOrSound && key != std::string::npos && colon != std::string::npos) {
        const double own = clockSeconds(line.substr(colon + 2));
        if (own > 0) m_streams = std::max(m_streams, own);
    }
}

std::string SourceLength::clock() const {
    if (seconds() < 0) return m_clock;
    char text[32];
    const long long cs = std::llround(seconds() * 100);
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%02lld", cs / 360000, cs / 6000 % 60,
                  cs / 100 % 60, cs % 100);
    return text;
}

bool SourceLength::heldBy(std::uintmax_t bytes) const {
    if (!(m_kbits > 0)) return true;
    return double(bytes) * 8 / 1000 >= 0.9 * seconds() * m_kbits;
}

}  // namespace tessaro
