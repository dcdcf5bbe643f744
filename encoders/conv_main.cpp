// conv: MEncoder-style front end over the system's ffmpeg.
#include <cstdio>
#include <string>
#include <vector>

#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const tessaro::FfmpegJob job = tessaro::convJob(args);
    std::fputs(tessaro::noteLines("conv", job).c_str(), stdout);
    return tessaro::runEncoder("conv", job, tessaro::ProgressForm::Percent);
}
