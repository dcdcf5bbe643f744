// conv: MEncoder-style front end over the system's ffmpeg.
#include <string>
#include <vector>

#include "encoders/EncoderRun.h"
#include "encoders/FfmpegJob.h"
#include "engine/Platform.h"

int main(int argc, char** argv) {
    std::vector<std::string> args = tessaro::platform::commandArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    return tessaro::runEncoder("conv", tessaro::convJob(args), tessaro::ProgressForm::Percent);
}
