#include "encoders/RunReaders.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "encoders/EncoderProgress.h"
#include "encoders/EncoderRun.h"

namespace tessaro {
namespace {

// "#0:1" of "  Stream #0:1(eng): Audio: ..." or of "Error while decoding
// stream #0:1: ..."; "" when the line names no stream.
std::string streamTag(const std::string& line, const char* after) {
    const auto at = line.find(after);
    if (at == std::string::npos) return {};
    const auto from = at + std::strlen(after) - 1;
    const auto end = line.find_first_not_of("0123456789:", from + 1);
    return line.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

bool isErrorLine(const std::string& line) {
    return line.rfind("[error]", 0) == 0 || line.rfind("[fatal]", 0) == 0 ||
           line.rfind("[panic]", 0) == 0;
}

}  // namespace

RunReaders::RunReaders(const FfmpegJob& asked, const std::string& partialOutput, ProgressForm form,
                       Say say)
    : m_input(asked.input),
      m_output(asked.output),
      m_partialName("file:" + partialOutput),
      m_form(form),
      m_say(std::move(say)) {}

// The length shown ("Duration: ...") once the input's report is read.
void RunReaders::showLength() {
    if (m_durationSeen || !m_length.known()) return;
    m_durationSeen = true;
    m_duration = m_length.seconds();
    if (m_form == ProgressForm::DurationTime) m_say(durationText(m_length.clock()));
}

void RunReaders::logLine(const std::string& line) {
    // The input's report comes first; "Duration" lines after it are the
    // output's. Stream mapping follows where no output report does.
    if (line.find("Output #") != std::string::npos ||
        line.find("Stream mapping") != std::string::npos)
        m_outputSeen = true;
    if (!m_outputSeen) {
        m_length.read(line);
        if (line.find(": Audio: ") != std::string::npos)
            m_soundStreams.push_back(streamTag(line, "Stream #"));
    } else {
        showLength();
    }
    if (showsReadTrouble(line)) m_readTrouble = true;
    const std::string undecoded = streamTag(line, "Error while decoding stream #");
    const bool ofSound =
        !undecoded.empty() &&
        std::find(m_soundStreams.begin(), m_soundStreams.end(), undecoded) != m_soundStreams.end();
    if (ofSound)
        m_soundError = line.substr(line.find("Error while decoding"));
    else if (!undecoded.empty() ||
             line.find("Error marking filters as finished") != std::string::npos)
        m_pictureFailed = m_frames == 0;
    if (const auto at = line.find(" audio:"); at != std::string::npos &&
                                              line.find("video:") != std::string::npos &&
                                              line.find("kB", at) != std::string::npos)
        m_soundKbytes = std::atol(line.c_str() + at + 7);
    if (isErrorLine(line)) keepError(line);
}

// Keeps an error line under the names the user gave.
void RunReaders::keepError(const std::string& line) {
    const std::string text = line.substr(line.find(']') + 1);
    const auto first = text.find_first_not_of(' ');
    m_lastError = first == std::string::npos ? std::string() : text.substr(first);
    for (auto at = m_lastError.find(m_partialName); at != std::string::npos;
         at = m_lastError.find(m_partialName, at + m_output.size()))
        m_lastError.replace(at, m_partialName.size(), m_output);
    const std::string sourceName = "file:" + m_input;
    if (m_lastError.rfind(sourceName, 0) == 0) m_lastError.replace(0, sourceName.size(), m_input);
    if (m_lastError.find(m_output) != std::string::npos ||
        m_lastError.rfind("av_interleaved_write_frame", 0) == 0)
        m_outputError = m_lastError;
}

void RunReaders::progressLine(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    showLength();
    if (key == "frame") m_frames = std::atol(value.c_str());
    if (key != "out_time_us" || value.empty() || value[0] < '0' || value[0] > '9') return;  // "N/A"
    const double pos = std::atof(value.c_str()) / 1e6;
    m_position = std::max(m_position, pos);
    if (m_form == ProgressForm::DurationTime) {
        m_say(timeText(pos));
    } else if (m_form == ProgressForm::Percent && m_duration > 0) {
        // Every percent shows; 100 waits for the finished file. Clamped
        // before the cast: a bogus tiny duration gives a huge ratio.
        const int p = static_cast<int>(std::clamp(std::floor(pos / m_duration * 100), -1.0, 99.0));
        while (m_lastPercent < p) m_say(convProgressText(++m_lastPercent, pos, m_frames));
    }
}

void RunReaders::finishProgress() {
    if (m_form == ProgressForm::None) return;
    if (m_form == ProgressForm::DurationTime) {
        m_say("\n");
        return;
    }
    while (m_lastPercent < 99) m_say(convProgressText(++m_lastPercent, m_duration, m_frames));
    m_say(convProgressText(100, m_duration > 0 ? m_duration : 0, m_frames) + "\n");
}

}  // namespace tessaro
