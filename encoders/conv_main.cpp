// conv: MEncoder-style front end over the system's ffmpeg.
#include <string>
#include <vector>

#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tessaro::runEncoder("conv", tessaro::convJob(args), tessaro::ProgressForm::Percent);
}
