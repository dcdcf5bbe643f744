// conv: MEncoder-style front end over the system's ffmpeg.
#include <cstdio>
#include <string>
#include <vector>

#include "base/ConsoleCodePage.h"
#include "base/Platform.h"
#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"
#include "encoders/FfmpegProcess.h"
#include "encoders/IntermediateJob.h"
#include "encoders/SourceProbe.h"

int main(int argc, char** argv) {
    tessaro::platform::useUtf8Console();
    std::vector<std::string> args = tessaro::platform::commandArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    tessaro::FfmpegJob job = tessaro::convJob(args);
    // Only stage two reads the intermediate: it keeps the source's streams,
    // and the options meant for a final file do not apply.
    if (job.error.empty() && tessaro::platform::isIntermediateFile(job.output))
        return tessaro::runIntermediate("conv", job);
    // A final file takes the source's picture, not its covers.
    if (const std::string ffmpeg = tessaro::findFfmpeg(); job.error.empty() && !ffmpeg.empty()) {
        const tessaro::SourceFacts source = tessaro::probeSource(ffmpeg, job.input);
        job = tessaro::convJob(args, &source);
    }
    std::fputs(tessaro::noteLines("conv", job).c_str(), stdout);
    return tessaro::runEncoder("conv", job, tessaro::ProgressForm::Percent);
}
