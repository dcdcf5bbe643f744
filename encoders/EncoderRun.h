#pragma once
// The part every encoder program shares: run ffmpeg for a job, print the
// encoder's progress form, and decide the exit status.

#include <string>

#include "encoders/FfmpegJob.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/RunReaders.h"

namespace tessaro {

// Runs the job and returns the process exit status: 0 only when ffmpeg
// succeeded and the output file exists and is not empty; otherwise a one-line
// reason, prefixed by program, has been printed.
int runEncoder(const std::string& program, const FfmpegJob& job, ProgressForm form);

// Why the way ffmpeg ended fails a run whatever it wrote (a stop received
// included); "" when it exited.
std::string childTrouble(const ChildStatus& st);

// Why the output of an ffmpeg that exited is no conversion; "" when it is
// one. asked: the job as given; job: the one ffmpeg ran.
std::string outputTrouble(const FfmpegJob& asked, const FfmpegJob& job, int exitCode,
                          const RunReaders& r);

// The causes an encoder's error line names before ffmpeg's own line, as in
// "coder: error: source has no audio stream: Output file #0 does not contain
// any stream".
inline constexpr const char* kNoAudioCause = "source has no audio stream";
inline constexpr const char* kNoStreamCause = "source has no video or audio stream";
inline constexpr const char* kUnreadableCause = "source format is unreadable or unknown";
inline constexpr const char* kUndecodableSoundCause = "source sound cannot be decoded";

// The notice of a run whose source has a picture of which not one frame
// could be decoded: the output holds the sound alone.
inline constexpr const char* kPictureUndecodedNotice = "源文件的画面无法解码，只转换了声音";
// The same of a sound that cannot be decoded: the output holds the picture
// alone.
inline constexpr const char* kSoundUndecodedNotice = "源文件的声音无法解码，只转换了画面";

// ffmpeg's last error line for a job, behind the cause it shows, when it
// shows one of those above.
std::string withCause(const std::string& ffmpegLine, const FfmpegJob& job);

// True when one of ffmpeg's log lines ("[warning] ...", "[flv @ 0x..] [error] ...")
// tells of source data that could not be read or decoded.
bool showsReadTrouble(const std::string& line);

// True when the ffmpeg at this path lists an encoder of this name.
bool ffmpegHasEncoder(const std::string& ffmpeg, const std::string& encoder);

// True when the ffmpeg at this path, or of this cached version
// ("5.1.9-0+deb12u1 libavutil=57.28", "N-92722-gf22fcd4483 libavutil=56.24",
// "4.2.7-0ubuntu0.1"), takes -stats_period (4.4 and later, libavutil 56.70);
// false when the version is unknown.
bool ffmpegTakesStatsPeriod(const std::string& ffmpeg);
bool versionTakesStatsPeriod(const std::string& version);

}  // namespace tessaro
