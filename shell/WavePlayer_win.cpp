#include "shell/WavePlayer.h"

#include <windows.h>
#include <mmsystem.h>

#include "base/WideText.h"

namespace tessaro {

void playWaveFile(const std::string& wav) {
    // Asynchronous: the call returns while the sound plays. A missing file
    // plays the system's default sound; a system without sound plays none.
    const std::wstring file = wide::fromUtf8(wav);
    if (!::PlaySoundW(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC)) ::MessageBeep(MB_OK);
}

}  // namespace tessaro
