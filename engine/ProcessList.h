#pragma once
// Looks up running processes by image name.

#include <string>

namespace tessaro {

// True when a live process of the current user runs an image of this name.
// Names are compared without regard to case, and only as far as the system
// keeps them (15 characters here); a process that has exited but has not been
// reaped yet (a zombie) does not count.
bool isImageRunning(const std::string& imageName);

}  // namespace tessaro
