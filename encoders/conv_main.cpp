// conv: MEncoder-style front end over the system's ffmpeg.
#include <cstdio>
#include <string>
#include <vector>

#include "base/ConsoleCodePage.h"
#include "base/Platform.h"
#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"
#include "encoders/IntermediateJob.h"

int main(int argc, char** argv) {
    tessaro::platform::useUtf8Console();
    std::vector<std::string> args = tessaro::platform::commandArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    const tessaro::FfmpegJob job = tessaro::convJob(args);
    // Only stage two reads the intermediate: it keeps the source's streams,
    // and the options meant for a final file do not apply.
    if (job.error.empty() && tessaro::platform::isIntermediateFile(job.output))
        return tessaro::runIntermediate("conv", job);
    std::fputs(tessaro::noteLines("conv", job).c_str(), stdout);
    return tessaro::runEncoder("conv", job, tessaro::ProgressForm::Percent);
}
