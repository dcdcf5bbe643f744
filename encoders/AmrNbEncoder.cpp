#include "encoders/AmrNbEncoder.h"

#if TESSARO_HAVE_OPENCORE_AMRNB
#include <opencore-amrnb/interf_enc.h>
#endif

#include <vector>

#include "encoders/CodecLimits.h"

namespace tessaro {

AmrNbEncoder::AmrNbEncoder(double kbits, bool dtx) {
    const AudioCodecLimits* amr = audioCodecLimits("amr_nb");
    const std::vector<double> modes = amr->bitrates(8000);
    const double chosen = nearestValue(modes, kbits);
    for (size_t i = 0; i < modes.size(); ++i)
        if (modes[i] == chosen) m_mode = static_cast<int>(i);
#if TESSARO_HAVE_OPENCORE_AMRNB
    m_state = Encoder_Interface_init(dtx ? 1 : 0);
#else
    (void)dtx;
#endif
}

AmrNbEncoder::~AmrNbEncoder() {
#if TESSARO_HAVE_OPENCORE_AMRNB
    if (m_state) Encoder_Interface_exit(m_state);
#endif
}

// Built without the library, the encoder is never ready().
std::string AmrNbEncoder::encode(const int16_t* samples) {
#if !TESSARO_HAVE_OPENCORE_AMRNB
    (void)samples;
    return {};
#else
    unsigned char out[64];  // a 12.2 kbit/s frame takes 32 bytes
    const int n = Encoder_Interface_Encode(m_state, static_cast<Mode>(m_mode),
                                           reinterpret_cast<const short*>(samples), out, 0);
    return n > 0 ? std::string(reinterpret_cast<const char*>(out), static_cast<size_t>(n))
                 : std::string();
#endif
}

}  // namespace tessaro
