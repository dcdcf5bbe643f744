#pragma once

#include <string>

namespace tessaro {

// Starts playing a wave file and returns at once: the sound plays on while
// the caller goes on. A missing file gives the system beep; no sound device
// gives no sound, and neither waits for anything.
void playWaveFile(const std::string& wav);

}  // namespace tessaro
