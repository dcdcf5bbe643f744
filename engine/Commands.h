#pragma once
// Path helpers of the output name and the encoder command lines of both
// stages, built as one text the way the encoders' options are written.

#include <functional>
#include <string>

#include "formats/FormatCatalogue.h"

namespace tessaro {

// The part of a path after its last separator; the whole text when it has
// none; "" for an empty path.
std::string GetFileName(const std::string& path);

// GetFileName(path) up to, not including, its first dot; the whole file name
// when it has no dot. "/v/my.trip.flv" gives "my".
std::string GetBaseName(const std::string& path);

// The base name an output file takes: GetBaseName() of the file name without
// its leading dots (".hidden clip.flv" gives "hidden clip"), so that no output
// name starts with the "-" of the time; "output" when no character is left.
std::string outputBaseName(const std::string& path);

// The output folder a text names, absolute, lexically normal and with a
// trailing separator: "~" and "~/x" are in `home`, any other relative text is
// in `base`, an absolute one stays where it is. Without a home, "~" is a name
// like any other.
std::string resolveOutputFolder(const std::string& text, const std::string& home,
                                const std::string& base);

// The output folder of the window's txtPath: "~" and a relative text are in
// the home folder (the window's working folder is nothing the user chose),
// an empty text is the default output folder.
std::string windowOutputFolder(const std::string& text);

// The folder text with the platform separator appended when it does not end
// with one (an empty text stays empty).
std::string withTrailingSeparator(const std::string& folder);

struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};
ClockTime currentClockTime();

// folder (with a trailing separator) + outputBaseName() + "-" + H M S without
// leading zeros + extension: 09:05:07 gives ".../clip-957.mpg".
std::string designedOutputPath(const std::string& folder, const std::string& input,
                               std::string_view extension, ClockTime time);

// designedOutputPath() with the base name cut short (at a UTF-8 character
// boundary) so that the file name takes at most maxNameBytes bytes; the "-"
// with the time and the extension are kept whole.
std::string fittedOutputPath(const std::string& folder, const std::string& input,
                             std::string_view extension, ClockTime time, std::size_t maxNameBytes);

// The designed path when no file of that name exists (and `reserved`, when
// given, does not claim it), else the first free name with "_2", "_3", ...
// inserted before the extension.
std::string uniqueOutputPath(const std::string& designedPath, std::string_view extension,
                             const std::function<bool(const std::string&)>& reserved = {});

// Paths spliced into a command line.
struct CommandPaths {
    std::string applicationFolder;  // APP, without a trailing separator
    std::string input;              // IN: the queue head
    std::string output;             // OUT: the final file
    std::string intermediate;       // the intermediate file, bare
};

// The threads of a command: with 1 or more, conv's -lavcopts that names the
// video codec ends with ":threads=N", and coder's and coder2's options end
// with " -threads N" before the output; with 0 (or less) the command says
// nothing of threads and the encoders keep their own choice.

// Stage one of the format: conv (coder for MP3 and formats 9 to 15) writing
// the intermediate file for the two-stage formats, the final file otherwise.
// "" for an index outside the catalogue.
std::string stageOneCommand(int formatIndex, const CommandPaths& paths,
                            const ParameterTexts& parameters, int threads = 0);

// Stage two of a two-stage format: coder or coder2 reading the intermediate
// file; the source-size template when the size text is exactly "原始大小".
// "" for the formats without a stage two.
std::string stageTwoCommand(int formatIndex, const CommandPaths& paths,
                            const ParameterTexts& parameters, int threads = 0);

}  // namespace tessaro
