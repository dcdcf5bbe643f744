#pragma once
// What an encoder makes of ffmpeg's output while a job runs: fed the lines of
// ffmpeg's log and of its machine-readable progress, it prints the encoder's
// progress form and keeps what decides the run's end.

#include <functional>
#include <string>
#include <vector>

#include "encoders/FfmpegJob.h"
#include "encoders/SourceLength.h"

namespace tessaro {

enum class ProgressForm {
    Percent,       // "( 7%)" ... "(100%)", as conv prints it
    DurationTime,  // "Duration: ..., " once, then "time=12.34 "
    None,          // nothing: the caller shows the progress
};

class RunReaders {
public:
    using Say = std::function<void(const std::string&)>;
    // asked: the job as given; partialOutput: the path ffmpeg writes to, which
    // the kept lines show under the output's name; say prints a text.
    RunReaders(const FfmpegJob& asked, const std::string& partialOutput, ProgressForm form,
               Say say);

    // One line of ffmpeg's log ("[error] ...", "  Stream #0:1: Audio: ...").
    void logLine(const std::string& line);
    // One "key=value" line of ffmpeg's -progress output.
    void progressLine(const std::string& line);
    // Prints the progress of a finished output: the percents still to come
    // up to 100 and the end of the line, or the end of the line alone.
    void finishProgress();

    long frames() const { return m_frames; }
    // The furthest output time reached, seconds.
    double position() const { return m_position; }
    // The source's length was read and shown; its seconds, negative when
    // the source declares none.
    bool durationSeen() const { return m_durationSeen; }
    double duration() const { return m_duration; }
    const SourceLength& length() const { return m_length; }
    // ffmpeg's last error line, paths shown as given; "" when none.
    const std::string& lastError() const { return m_lastError; }
    // The last error line about writing the output: it fails the run even
    // when ffmpeg exits 0 (ffmpeg 5 on a full disk at the trailer).
    const std::string& outputError() const { return m_outputError; }
    // ffmpeg met data it could not read or decode: the source may be cut short.
    bool readTrouble() const { return m_readTrouble; }
    // Not one picture was decoded before ffmpeg gave up on the picture.
    bool pictureFailed() const { return m_pictureFailed; }
    // The last line about a sound packet that could not be decoded.
    const std::string& soundError() const { return m_soundError; }
    // ffmpeg's closing count of the sound it wrote ("audio:0kB"); -1 before it.
    long soundKbytes() const { return m_soundKbytes; }

private:
    void showLength();
    void keepError(const std::string& line);

    std::string m_input, m_output;  // as given
    std::string m_partialName;      // "file:" + the partial output
    ProgressForm m_form;
    Say m_say;
    SourceLength m_length;
    bool m_outputSeen = false, m_durationSeen = false;
    double m_duration = -1, m_position = 0;
    int m_lastPercent = -1;
    long m_frames = 0;
    std::string m_lastError, m_outputError;
    bool m_readTrouble = false, m_pictureFailed = false;
    std::vector<std::string> m_soundStreams;  // "#0:1"
    std::string m_soundError;
    long m_soundKbytes = -1;
};

}  // namespace tessaro
