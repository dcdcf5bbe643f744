#pragma once
// options.ini: bare decimal numbers, one a line, CR LF (the four options, then
// the files converted at once, whether failed files stay in the list and what
// follows a batch); and the rules of the options dialog's confirm, as
// functions the dialog calls.

#include <cstdint>
#include <optional>
#include <string>

#include "base/Platform.h"

namespace tessaro {

struct Options {
    int16_t intSoundReminder = 0;  // 0 = play the completion sound ("ON")
    int16_t intMusicCutter = 0;    // 0 or 1
    int32_t lngCutFrom = 0;        // seconds
    int32_t lngCutTo = 0;          // seconds
    // Files converted at once, 1..platform::kMaxJobs.
    int jobs = platform::defaultJobs();
    // A file that fails stays in the list, marked, for the next Start.
    bool keepFailedFiles = true;
    // What follows a batch in which at least one file converted.
    enum class AfterBatch { Nothing = 0, Quit = 1, Sleep = 2, ShutDown = 3 };
    AfterBatch afterBatch = AfterBatch::Nothing;
};

// Reads the file into `options` by the reader rules: fields end at a comma or
// a line end, leading blanks skipped, longest numeric prefix, nearest integer
// with halves to even, out-of-range values not stored. A missing file sets
// sound on and cutter off and leaves the times. `jobs` is always set: the
// fifth line when it is a whole number from 1 to platform::kMaxJobs, else
// (no such line, no file, anything else) platform::defaultJobs(). The sixth
// line, 0 or 1, is keepFailedFiles, and the seventh, 0 to 3, afterBatch; any
// other value, or none, gives their defaults. Never throws, never hangs.
void readOptionsFile(const std::string& path, Options& options);

// Writes the lines of optionsFileText() atomically (temporary file + rename). False when the
// file could not be written; the old file is then left as it was.
bool writeOptionsFile(const std::string& path, const Options& options);

// The value of a time field: its longest numeric prefix (0 when none).
double fieldValue(const std::string& text);

// The six time fields of the dialog, as text.
struct CutterFields {
    std::string fromH = "0", fromM = "0", fromS = "0";
    std::string toH = "0", toM = "0", toS = "0";
};

enum class CutterField { None, FromH, FromM, FromS, ToH, ToM, ToS };

// The first failing confirm check: the field to focus, the warning text and
// its title ("分钟必须小于60" / "分钟", "秒必须小于60" / "秒").
struct ConfirmProblem {
    CutterField field = CutterField::None;
    std::string text;
    std::string title;
};
std::optional<ConfirmProblem> checkCutterFields(const CutterFields& fields);

// The options a passing confirm stores: the sound position, the check box
// (unchecked when all six values are 0), and the two times in seconds,
// hours x 3600 + minutes x 60 + seconds with fractions, to the nearest
// integer (halves to even). A value that does not fit its type keeps the one
// in `current`.
Options confirmedOptions(int soundPosition, bool cutterChecked, const CutterFields& fields,
                         const Options& current = {});

// True when all six time fields have the value 0 (the cutter is unchecked).
bool allCutterFieldsZero(const CutterFields& fields);

// The lines of options.ini as written: "N\r\n" each, the four options, then
// the later lines (jobs, keepFailedFiles, afterBatch) up to the last that
// differs from its default (a missing line reads as the default, and a
// reader of four lines never sees them).
std::string optionsFileText(const Options& options);

// The fields shown back when the dialog opens with the cutter on: hours are
// the floor of seconds / 3600, minutes the floor of the rest / 60, seconds
// what is left; 3723 gives "1", "2", "3".
void fillBack(int32_t seconds, std::string& hours, std::string& minutes, std::string& secs);

}  // namespace tessaro
