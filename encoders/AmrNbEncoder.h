#pragma once
// AMR-NB speech frames from 8000 Hz mono 16-bit samples, through the
// OpenCORE AMR-NB library, for when the installed ffmpeg has no AMR-NB
// encoder of its own.

#include <cstdint>
#include <string>

namespace tessaro {

class AmrNbEncoder {
public:
    static constexpr int kFrameSamples = 160;  // 20 ms at 8000 Hz

    // kbits: one of the eight AMR-NB modes (4.75 ... 12.2); another value
    // takes the nearest mode. dtx: silence sent as the sparse comfort-noise
    // frames phones send (what a phone's recording holds, not what we write).
    explicit AmrNbEncoder(double kbits, bool dtx = false);
    ~AmrNbEncoder();
    AmrNbEncoder(const AmrNbEncoder&) = delete;
    AmrNbEncoder& operator=(const AmrNbEncoder&) = delete;

    bool ready() const { return m_state != nullptr; }
    // One frame of kFrameSamples samples, in the storage form of an ".amr"
    // file (header byte, then the mode's bits); empty when it fails.
    std::string encode(const int16_t* samples);

    // The text an ".amr" file starts with.
    static const char* fileMagic() { return "#!AMR\n"; }

private:
    void* m_state = nullptr;
    int m_mode = 7;  // MR122
};

}  // namespace tessaro
