#pragma once
// setup.ini: five double-quoted values, one a line, CR LF, in the system code
// page (UTF-8 here; a Windows build writes the ANSI code page, where a
// character the code page cannot encode becomes '?'): the list positions of
// cmbBR, cmbR and cmbChannel, the output folder text, and the output format
// index.

#include <optional>
#include <string>

namespace tessaro {

struct SetupValues {
    int audioBitratePosition = -1;  // cmbBR
    int sampleRatePosition = -1;    // cmbR
    int channelPosition = -1;       // cmbChannel
    std::string outputFolder;       // txtPath
    int formatIndex = -1;           // cmbOF
};

// The fields as read from the file; a field is empty (std::nullopt) when the
// file holds fewer lines or the field does not convert to a whole number.
struct SetupFields {
    std::optional<int> audioBitratePosition;
    std::optional<int> sampleRatePosition;
    std::optional<int> channelPosition;
    std::optional<std::string> outputFolder;
    std::optional<int> formatIndex;
};

// Reads at most five fields; a quoted field runs to its closing quote (a
// comma inside survives), another field ends at a comma or the line end.
// Numbers are converted to the nearest whole number (halves to even).
// std::nullopt when the file does not exist; a file that cannot be read gives
// all fields empty. Never throws, never hangs: only the first MiB is read.
std::optional<SetupFields> readSetupFile(const std::string& path);

// The five lines as written: each value in double quotes, then CR LF. A
// folder holding a line break cannot be stored in one line and is written as
// "" (the next start falls back to the default output folder).
std::string setupFileText(const SetupValues& values);

// Writes the five lines atomically (temporary file + rename). False when the
// file could not be written; the old file is then left as it was.
bool writeSetupFile(const std::string& path, const SetupValues& values);

class ComboValue;

// The window's settings panel as the restore sees it.
struct SettingsPanel {
    ComboValue* cmbOF;
    ComboValue* cmbVB;
    ComboValue* cmbF;
    ComboValue* cmbS;
    ComboValue* cmbR;
    ComboValue* cmbBR;
    ComboValue* cmbChannel;
    std::string* txtPath;
};

// The values the exit command saves from the panel.
SetupValues setupValues(const SettingsPanel& panel);

// Applying the format defaults to the panel for the list position of cmbOF
// (no selection does nothing). Each field first takes the format's list
// (choiceList), then its default; where the format has neither (the video
// fields of the sound-only formats, the bitrate of FLAC and WAV) the field
// keeps its list and text. The texts are written as a combo's text property
// is, so a default that spells a list entry selects it and one that does not
// ("1200") leaves position -1.
void applyFormatDefaults(SettingsPanel& panel);

// Restores the fields in file order onto the panel: positions outside a list
// (other than -1) or fields that did not convert leave the control as it was;
// the format position is applied last and always runs the format defaults;
// a format index outside the catalogue (-1 included) leaves cmbOF as it was,
// as a line that did not convert does; an empty folder falls back to
// `defaultOutputFolder`.
void restoreSetup(const SetupFields& fields, SettingsPanel& panel,
                  const std::string& defaultOutputFolder);

}  // namespace tessaro
