#pragma once
// Platform values in one place. Each Windows value stands next to its Linux
// value; a Windows build compiles the other branch and Platform_win.cpp.

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace tessaro::platform {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
// Windows takes either slash in a path, and Qt's file dialogs give '/'.
inline constexpr const char* kSeparators = "\\/";
inline constexpr const char* kDataFolder = "\\data\\";
inline constexpr const char* kConvExe = "conv.exe";
inline constexpr const char* kCoderExe = "coder.exe";
inline constexpr const char* kCoder2Exe = "coder2.exe";
inline constexpr const char* kWindowExe = "tessaro.exe";
inline constexpr const char* kCliExe = "tessaro-cli.exe";
inline constexpr const char* kDefaultOutputSuffix = "\\output";
inline constexpr const char* kHelpFile = "help.chm";
#else
inline constexpr char kSeparator = '/';
inline constexpr const char* kSeparators = "/";
inline constexpr const char* kDataFolder = "/data/";
inline constexpr const char* kConvExe = "conv";
inline constexpr const char* kCoderExe = "coder";
inline constexpr const char* kCoder2Exe = "coder2";
inline constexpr const char* kWindowExe = "tessaro";
inline constexpr const char* kCliExe = "tessaro-cli";
inline constexpr const char* kDefaultOutputSuffix = "/output";
inline constexpr const char* kHelpFile = "help.html";
#endif

// The intermediate of the two-stage formats is "tmp-PID.mp4" ("tmp-PID-K.mp4"
// for the K-th of the files converted at once): a name per process and file,
// so that two batches, or two files of one batch, never share one.
inline constexpr const char* kIntermediatePrefix = "tmp-";
inline constexpr const char* kIntermediateSuffix = ".mp4";
inline constexpr const char* kLeftoverWav = "tmpfile.wav";
inline constexpr const char* kLeftoverMp3 = "tmpfile1.mp3";
inline constexpr const char* kSoundFile = "sound.wav";
inline constexpr const char* kSetupFile = "setup.ini";
inline constexpr const char* kOptionsFile = "options.ini";

// Files a batch converts at once: 1 to kMaxJobs; by default the number of
// logical processors, at most 4 (1 when it cannot be told).
inline constexpr int kMaxJobs = 16;
int defaultJobs();

// Folder of the running executable, without a trailing separator.
// Tests and the window may override it with setApplicationFolder().
std::string applicationFolder();
void setApplicationFolder(const std::string& folder);

// The temporary folder: /tmp/tessaro-UID here, %TEMP%\tessaro on Windows.
// Tests may point it elsewhere with setTemporaryFolder().
std::string temporaryFolder();
void setTemporaryFolder(const std::string& folder);

// Creates the temporary folder (mode 0700) when missing. Refuses, with a
// reason in *why, a folder that is a symbolic link (on Windows any reparse
// point) or owned by another user.
bool prepareTemporaryFolder(std::string* why = nullptr);

// temporaryFolder() + separator + name.
std::string temporaryFile(const char* name);

// This process's intermediate file in the temporary folder for the file
// converted in `slot` (0 .. kMaxJobs - 1).
std::string intermediateFile(int slot = 0);

// True when path names an intermediate file of any process ("tmp-PID.mp4" or
// "tmp-PID-K.mp4" in the temporary folder). The encoders tell the intermediate by this.
bool isIntermediateFile(const std::string& path);

// The current process's numeric id.
long processId();

// Removes what processes that ended without cleaning up (killed, crashed,
// logged out) left behind: in the temporary folder their intermediates
// ("tmp-PID.mp4"), coder2's sample files ("amrnb-PID.pcm", "amrnb-PID.amr"),
// the pieces of a picture ("piece-PID-N.avi", "pieces-PID.ffconcat") and
// partial files (".NAME.PID.part"); in `outputFolder` (when not empty)
// partial files. A file is left behind when no live process of this user
// with the id in its name may have written it (mayHaveWritten). Only this
// user's regular files are removed, and nothing in a temporary folder that
// prepareTemporaryFolder() refuses. Returns the number of files removed.
int removeLeftovers(const std::string& outputFolder);

// Removes the scratch files that the encoder with this process id keeps in
// the temporary folder (coder2's sound samples, the pieces of a picture and
// their list), once it has ended: one that was killed leaves them. Only this
// user's regular files; nothing of this process. Returns the number removed.
int removeScratchOf(long encoder);

// The id of the process that a leftover's file name names, as
// removeLeftovers() reads it (`inTemporaryFolder`: the names of the
// temporary folder count too); 0 when the name is none of those.
long leftoverOwner(const std::string& fileName, bool inTemporaryFolder);

// The last change of a regular file of this user (not a link), in seconds
// since the epoch; a negative value for anything else.
double ownFileTime(const std::string& path);

// Gives the end of a child process its default handling again (POSIX: a
// parent may have started us with SIGCHLD ignored, and then no child's exit
// status could be read). Called first thing by every program.
void restoreDefaultChildHandling();

// The longest file name, in bytes, that the file system of this folder takes
// (255 when it cannot be told).
std::size_t maxFileNameLength(const std::string& folder);

// Opens a file by its UTF-8 name with the open() flags given, in binary and
// not inherited by children; a descriptor, or -1 with errno set.
int openFile(const std::string& path, int flags, int mode = 0);

// The local time of `time` (broken down, as localtime() gives it).
std::tm localTime(std::time_t time);

// applicationFolder() + separator + name.
std::string applicationFile(const char* name);

// The default output folder: the application folder followed by "/output";
// for an installed copy (application folder not writable), "Tessaro" in the
// user's home folder.
std::string defaultOutputFolder();

// The user's home folder: $HOME when it is absolute, else the password
// entry's; %USERPROFILE% on Windows. "" when there is none.
std::string homeFolder();

// The user's own folders of an installed copy. Where the user can write the
// application folder (the build tree, a portable copy), setup.ini and
// options.ini stay beside the executable; else they live in
// $XDG_CONFIG_HOME/tessaro, or $HOME/.config/tessaro when that variable is
// unset, empty or not absolute. Without a home folder they stay beside the
// executable (writes then fail quietly).
struct UserFolders {
    std::string settings;       // folder of setup.ini and options.ini
    std::string defaultOutput;  // see defaultOutputFolder()
};

// On Windows the settings go to %APPDATA%\tessaro and the output to
// %USERPROFILE%\Tessaro instead (beside the executable without APPDATA);
// there a copy that the installer put in place (its Uninstall.exe beside the
// executable) counts as installed whether or not its folder is writable.
//
// The rule above for given values; xdgConfigHome and home may be null (on
// Windows they carry APPDATA and USERPROFILE).
UserFolders userFoldersFor(const std::string& appFolder, bool appWritable,
                           const char* xdgConfigHome, const char* home);

// The rule above for this process: the application folder's writability for
// the current user, XDG_CONFIG_HOME, and HOME (else the password entry).
UserFolders userFolders();

// userFolders().settings + separator + name: where setup.ini and
// options.ini are read and written.
std::string settingsFile(const char* name);

// Creates the settings folder (mode 0700, and missing parents) before a
// settings file is written; false when it cannot be made.
bool prepareSettingsFolder();

// The program's arguments in UTF-8, argv[0] included: argv itself here; the
// Windows build reads the wide command line, whatever the ANSI code page.
std::vector<std::string> commandArguments(int argc, char** argv);

// A file-system path for a UTF-8 file name, and back. Every std::filesystem
// and file-stream call on a name goes through these: on Windows a path made
// from a plain std::string would be read in the ANSI code page.
std::filesystem::path nativePath(const std::string& utf8);
std::string utf8Path(const std::filesystem::path& path);

}  // namespace tessaro::platform
