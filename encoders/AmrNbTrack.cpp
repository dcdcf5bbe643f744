#include "encoders/AmrNbTrack.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/Platform.h"
#include "encoders/AmrNbEncoder.h"
#include "encoders/EncoderRun.h"
#include "encoders/FfmpegProcess.h"

namespace tessaro {

AmrNbTrack makeAmrNbTrack(const std::string& ffmpeg, const std::string& input,
                          const std::string& pcmPath, const std::string& amrPath, double kbits,
                          std::string* why) {
    std::string lastError, soundError;
    bool noStream = false;
    const ChildStatus st = runChild(
        ffmpeg,
        {"-hide_banner", "-nostdin", "-loglevel", "level+error", "-y", "-i", "file:" + input,
         "-map", "0:a:0?", "-vn", "-af", kSoundInStep, "-ac", "1", "-ar", "8000", "-f", "s16le",
         "file:" + pcmPath},
        nullptr, [&](const std::string& line) {
            noStream = noStream || line.find("does not contain any stream") != std::string::npos;
            lastError = line.substr(line.find(']') + 1);
            lastError.erase(0, lastError.find_first_not_of(' '));
            // The picture is not decoded here: every such line is the sound's.
            if (lastError.rfind("Error while decoding stream", 0) == 0) soundError = lastError;
        });
    std::error_code ec;
    auto fail = [&](const std::string& reason) {
        std::filesystem::remove(pcmPath, ec);
        if (why) *why = reason;
        return AmrNbTrack::Failed;
    };
    if (!st.started) return fail("cannot start ffmpeg: " + st.startError);
    if (noStream) {
        std::filesystem::remove(pcmPath, ec);
        return AmrNbTrack::NoAudio;
    }
    // ffmpeg gave up on the sound's decode errors, or decoded none of it.
    if (!soundError.empty() && st.exited &&
        (st.exitCode != 0 ? lastError == soundError
                          : std::filesystem::file_size(pcmPath, ec) == 0)) {
        fail(soundError);
        return AmrNbTrack::Undecodable;
    }
    if (!st.exited || st.exitCode != 0)
        return fail(lastError.empty() ? "ffmpeg could not decode the audio" : lastError);

    AmrNbEncoder encoder(kbits);
    std::ifstream pcm(pcmPath, std::ios::binary);
    std::ofstream amr(amrPath, std::ios::binary | std::ios::trunc);
    if (!encoder.ready()) return fail("the AMR-NB encoder could not be set up");
    if (!pcm || !amr) return fail("cannot write " + amrPath);
    amr << AmrNbEncoder::fileMagic();
    std::vector<int16_t> frame(AmrNbEncoder::kFrameSamples);
    const auto frameBytes = static_cast<std::streamsize>(frame.size() * sizeof(int16_t));
    for (;;) {
        std::fill(frame.begin(), frame.end(), 0);  // the last frame is padded with silence
        pcm.read(reinterpret_cast<char*>(frame.data()), frameBytes);
        if (pcm.gcount() <= 0) break;
        const std::string bits = encoder.encode(frame.data());
        if (bits.empty()) return fail("the AMR-NB encoder failed");
        amr.write(bits.data(), static_cast<std::streamsize>(bits.size()));
        if (pcm.gcount() < frameBytes) break;
    }
    amr.close();
    std::filesystem::remove(pcmPath, ec);
    if (!amr) return fail("cannot write " + amrPath);
    return AmrNbTrack::Made;
}

void useAmrNbTrack(FfmpegJob& job, AmrNbTrack track, const std::string& amrPath) {
    if (track == AmrNbTrack::Made) {
        job.extraInputs.push_back({amrPath});
        return;
    }
    // No audio in the input, or none that decodes: the video alone; runEncoder
    // tells of the sound left out.
    auto& o = job.outputOptions;
    if (track == AmrNbTrack::Undecodable) o.push_back("-an");
    for (size_t i = 0; i + 1 < o.size();) {
        if ((o[i] == "-map" && o[i + 1] == "1:a:0") || (o[i] == "-c:a" && o[i + 1] == "copy"))
            o.erase(o.begin() + static_cast<long>(i), o.begin() + static_cast<long>(i) + 2);
        else
            ++i;
    }
}

int runCoderJob(const std::string& program, FfmpegJob job) {
    const std::string ffmpeg = findFfmpeg();
    if (!job.ownAmrNb || !job.error.empty() || ffmpeg.empty() ||
        !platform::prepareTemporaryFolder())
        return runEncoder(program, job, ProgressForm::DurationTime);
    const std::string stem = "amrnb-" + std::to_string(platform::processId());
    const std::string pcm = platform::temporaryFile((stem + ".pcm").c_str());
    const std::string amr = platform::temporaryFile((stem + ".amr").c_str());
    std::string why;
    const AmrNbTrack track = makeAmrNbTrack(ffmpeg, job.input, pcm, amr, job.amrNbKbits, &why);
    if (track == AmrNbTrack::Failed)
        job.error = why;
    else if (track == AmrNbTrack::Undecodable && !job.keepsPicture)
        job.error = std::string(kUndecodableSoundCause) + ": " + why;
    else
        useAmrNbTrack(job, track, amr);
    const int status = runEncoder(program, job, ProgressForm::DurationTime);
    std::error_code ec;
    std::filesystem::remove(amr, ec);
    return status;
}

}  // namespace tessaro
