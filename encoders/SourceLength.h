#pragma once
// The length of a source as its picture and sound declare it, read from the
// input block of ffmpeg's report.

#include <cstdint>
#include <string>

namespace tessaro {

// The container's total also counts subtitles (a cue may run for minutes
// after the end); Matroska names each stream's own length, which is used
// where there is one.
class SourceLength {
public:
    // Fed the report's lines of the input, up to its "Output #" block.
    void read(const std::string& line);
    bool known() const { return !m_clock.empty(); }
    // Negative when the source declares none ("N/A").
    double seconds() const { return m_streams > 0 ? m_streams : m_total; }
    // "HH:MM:SS.xx" of seconds(), or ffmpeg's own text when there is none.
    std::string clock() const;
    // A file of this size can hold the length at its streams' rates; true when
    // the rates are unknown. A header that counts blocks as samples claims
    // many times what the file holds.
    bool heldBy(std::uintmax_t bytes) const;

private:
    std::string m_clock;  // of the "Duration:" line
    double m_total = -1, m_streams = 0;
    double m_kbits = 0;  // sum of the picture and sound rates; -1: some unknown
    bool m_inPictureOrSound = false;
};

}  // namespace tessaro
