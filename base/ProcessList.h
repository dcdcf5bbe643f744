#pragma once
// Looks up running processes by image name or by id.

#include <string>

namespace tessaro {

// True when a live process of the current user runs an image of this name.
// Names are compared without regard to case, and only as far as the system
// keeps them (15 characters here); a process that has exited but has not been
// reaped yet (a zombie) does not count.
bool isImageRunning(const std::string& imageName);

// True when `pid` is a live process of the current user that may have
// written a file last changed at `lastWrite` (seconds since the epoch): one
// of the program's own executables (the window, tessaro-cli, an encoder), or
// any other process that was started by then (one started later has only
// been given the id of a process that has gone). A zombie is not live.
bool mayHaveWritten(long pid, double lastWrite);

// True when `pid` is a live process of the current user that runs an image
// of the same name as this process: its name as the system keeps it, compared
// exactly here (/proc/PID/comm); the file name of its image, in any case, on
// Windows. A zombie, or a process that has ended while a handle keeps it
// listed, is not live.
bool runsOwnImage(long pid);

}  // namespace tessaro
