// coder and coder2: front ends in the old FFmpeg option syntax over the
// system's ffmpeg. The same source builds both; TESSARO_ENCODER_NAME names it.
#include <cstdio>
#include <string>
#include <vector>

#include "base/ConsoleCodePage.h"
#include "base/Platform.h"
#include "encoders/AmrNbTrack.h"
#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/PicturePieces.h"
#include "encoders/SourceProbe.h"

int main(int argc, char** argv) {
    tessaro::platform::useUtf8Console();
    std::vector<std::string> args = tessaro::platform::commandArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    const auto hasEncoder = [](const std::string& name) {
        const std::string ffmpeg = tessaro::findFfmpeg();
        return !ffmpeg.empty() && tessaro::ffmpegHasEncoder(ffmpeg, name);
    };
    tessaro::FfmpegJob job = tessaro::coderJob(args, hasEncoder);
    tessaro::SourceFacts source;
    if (job.error.empty() && job.wantsSource) {
        const std::string ffmpeg = tessaro::findFfmpeg();
        if (!ffmpeg.empty()) {
            source = tessaro::probeSource(ffmpeg, job.input);
            job = tessaro::coderJob(args, hasEncoder, &source);
        }
    }
    std::fputs(tessaro::noteLines(TESSARO_ENCODER_NAME, job).c_str(), stdout);
    return tessaro::runCoderJobInPieces(TESSARO_ENCODER_NAME, job, source);
}
