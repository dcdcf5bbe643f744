#include "encoders/AmrNbEncoder.h"

#include <opencore-amrnb/interf_enc.h>

#include <vector>

#include "encoders/CodecLimits.h"

namespace tessaro {

AmrNbEncoder::AmrNbEncoder(double kbits) {
    const AudioCodecLimits* amr = audioCodecLimits("amr_nb");
    const std::vector<double> modes = amr->bitrates(8000);
    const double chosen = nearestValue(modes, kbits);
    for (size_t i = 0; i < modes.size(); ++i)
        if (modes[i] == chosen) m_mode = static_cast<int>(i);
    m_state = Encoder_Interface_init(0);  // no discontinuous transmission
}

AmrNbEncoder::~AmrNbEncoder() {
    if (m_state) Encoder_Interface_exit(m_state);
}

std::string AmrNbEncoder::encode(const int16_t* samples) {
    unsigned char out[64];  // a 12.2 kbit/s frame takes 32 bytes
    const int n = Encoder_Interface_Encode(m_state, static_cast<Mode>(m_mode),
                                           reinterpret_cast<const short*>(samples), out, 0);
    return n > 0 ? std::string(reinterpret_cast<const char*>(out), static_cast<size_t>(n))
                 : std::string();
}

}  // namespace tessaro
