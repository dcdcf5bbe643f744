#pragma once
// What an encoder program tells its runner beyond progress: the exit status
// of an incomplete source, and the lines it prints for its own error and for
// an output that had to take another name. The encoders write them, the batch
// reads them back from the collected output.

#include <string>
#include <vector>

namespace tessaro {

// Exit status of an encoder whose output is complete and kept but much shorter
// than the length its source declares.
inline constexpr int kExitIncompleteSource = 4;

// True when the source declares a length and the output is more than 5 % and
// more than 1 s shorter.
bool isIncompleteOutput(double outputSeconds, double sourceSeconds);

// "源文件可能不完整：输出 13.9 秒，源文件 60.0 秒".
std::string incompleteSourceReason(double outputSeconds, double sourceSeconds);

// The one error line of an encoder: "\nPROGRAM: error: REASON\n", with every
// control character of the reason turned into a blank.
std::string errorLine(const std::string& program, const std::string& reason);

// The REASON of the last error line in an encoder's output; "" when none.
std::string lastErrorReason(const std::string& outputs);

// What the reason of a failed encoder run is told from.
struct FailedRun {
    std::string program;            // image name of the encoder, "coder"
    int exitCode = 0;               // its exit status
    std::string outputs;            // all it printed
    std::string input;              // the source file of the batch
    std::string output;             // the final file it was to write ("" for the intermediate)
    bool audioOnly = false;         // the output keeps the sound only (MP3)
    bool outputFolderGone = false;  // the output's folder no longer exists
};

// The reason a user can act on: when a line of the run's output names a
// common cause (no sound or picture in the source, an unreadable source, a
// full disk, an output folder that is missing or not writable), that cause in
// Chinese with the line in brackets, "源文件没有声音（coder: Output file #0
// does not contain any stream）"; else "coder 退出码 1", followed by "：" and
// the encoder's own reason when it gave one. The last such line counts. An
// output folder that is gone is the cause, whatever the lines say.
std::string failureReason(const FailedRun& run);

// "输出文件夹不存在（DETAIL）".
std::string outputFolderGoneReason(const std::string& detail);

// "\nPROGRAM: written as: PATH\n": printed when the output took another name
// than the one asked for, because a file of that name appeared meanwhile.
std::string writtenAsLine(const std::string& program, const std::string& path);

// The PATH of the last such line in an encoder's output; "" when none.
std::string writtenAsPath(const std::string& outputs);

// "\nPROGRAM: notice: TEXT\n": something the user should know of a file that
// converted, such as a part of the source that could not be kept ("源文件的画面
// 无法解码，只转换了声音"). TEXT is Chinese, for the result line as it stands.
std::string noticeLine(const std::string& program, const std::string& text);

// The TEXTs of every notice line in an encoder's output, in order, each once.
std::vector<std::string> notices(const std::string& outputs);

}  // namespace tessaro
