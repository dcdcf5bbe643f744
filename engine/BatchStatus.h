#pragma once
// The batch as the engine reports it: the files being converted, how far each
// has come, and how far the batch has. The front ends draw it.

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// What an encoder's output last said of its stage: conv converting or at
// "(100%)", coder/coder2 creating or at the end of the length.
enum class StageProgress { Converting, Converted, Creating, Created };

// One read of an encoder's progress.
struct ProgressReading {
    StageProgress stage = StageProgress::Converting;
    double fraction = 0;     // of the stage done, 0..1
    double percent = 0;      // as read, 0..100: conv's whole number, coder's shown digits
    std::string mark = "-";  // the rotating mark as the chunk left it
};

// A file the batch has started and not finished.
struct FileStatus {
    int number = 0;                          // 1 for the first file the batch started, and so on
    int row = -1;                            // its queue entry, -1 when it is not found there
    std::string name;                        // its queue entry
    bool stopped = false;                    // ended by Stop and left queued
    std::optional<ProgressReading> reading;  // the last one; none before the first
    double share = 0;                        // of the whole file done as of that reading, 0..1
};

enum class BatchPhase { Running, Done, Stopped };

struct BatchStatus {
    BatchPhase phase = BatchPhase::Done;
    int jobs = 1;      // places of the batch; 1 converts the queue head by head
    int done = 0;      // files finished, converted or not
    int running = 0;   // files being converted or stopped, not yet finished
    int total = 0;     // files finished and still queued
    double parts = 0;  // done + the running files' shares of themselves
    int started = 0;   // files started so far; the last one is `current`
    std::string current;
    std::vector<FileStatus> files;  // running or stopped, in the order started

    const FileStatus* file(int number) const;
};

// The percent text of a ratio: the first 4 characters of r * 100 written with
// up to 15 significant digits (28.5714285714286 gives "28.5", 25 gives "25").
std::string percentText(double ratio);

}  // namespace tessaro
