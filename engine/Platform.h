#pragma once
// Platform values in one place. Each Windows value stands next to its Linux
// value; a Windows build compiles the other branch and Platform_win.cpp.

#include <string>
#include <vector>

namespace tessaro::platform {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline constexpr const char* kDataFolder = "\\data\\";
inline constexpr const char* kConvExe = "conv.exe";
inline constexpr const char* kCoderExe = "coder.exe";
inline constexpr const char* kCoder2Exe = "coder2.exe";
inline constexpr const char* kDefaultOutputSuffix = "\\output";
inline constexpr const char* kHelpFile = "help.chm";
#else
inline constexpr char kSeparator = '/';
inline constexpr const char* kDataFolder = "/data/";
inline constexpr const char* kConvExe = "conv";
inline constexpr const char* kCoderExe = "coder";
inline constexpr const char* kCoder2Exe = "coder2";
inline constexpr const char* kDefaultOutputSuffix = "/output";
inline constexpr const char* kHelpFile = "help.html";
#endif

// The intermediate of the two-stage formats is "tmp-PID.mp4": a name per
// process, so that two batches at once never share one.
inline constexpr const char* kIntermediatePrefix = "tmp-";
inline constexpr const char* kIntermediateSuffix = ".mp4";
inline constexpr const char* kLeftoverWav = "tmpfile.wav";
inline constexpr const char* kLeftoverMp3 = "tmpfile1.mp3";
inline constexpr const char* kSoundFile = "sound.wav";
inline constexpr const char* kSetupFile = "setup.ini";
inline constexpr const char* kOptionsFile = "options.ini";

// Folder of the running executable, without a trailing separator.
// Tests and the window may override it with setApplicationFolder().
std::string applicationFolder();
void setApplicationFolder(const std::string& folder);

// The temporary folder ("c:\tmp" on Windows; /tmp/tessaro-UID here).
// Tests may point it elsewhere with setTemporaryFolder().
std::string temporaryFolder();
void setTemporaryFolder(const std::string& folder);

// Creates the temporary folder (mode 0700) when missing. Refuses, with a
// reason in *why, a folder that is a symbolic link or owned by another user.
bool prepareTemporaryFolder(std::string* why = nullptr);

// temporaryFolder() + separator + name.
std::string temporaryFile(const char* name);

// This process's intermediate file in the temporary folder.
std::string intermediateFile();

// True when path names an intermediate file of any process ("tmp-PID.mp4" in
// the temporary folder). The encoders tell the intermediate by this.
bool isIntermediateFile(const std::string& path);

// The current process's numeric id.
long processId();

// applicationFolder() + separator + name.
std::string applicationFile(const char* name);

// The default output folder: the application folder followed by "/output";
// for an installed copy (application folder not writable), "Tessaro" in the
// user's home folder.
std::string defaultOutputFolder();

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

// The rule above for given values; xdgConfigHome and home may be null.
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

}  // namespace tessaro::platform
