#pragma once
// setup.ini: five double-quoted values, one a line, CR LF, in the system code
// page (UTF-8 here): the list positions of cmbBR, cmbR and cmbChannel, the
// output folder text, and the output format index.

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
// std::nullopt when the file does not exist. Never throws, never hangs.
std::optional<SetupFields> readSetupFile(const std::string& path);

// Writes the five lines atomically (temporary file + rename).
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

// Applying the format defaults to the panel for the list position of cmbOF
// (index 8 leaves the three video fields; no selection does nothing).
void applyFormatDefaults(SettingsPanel& panel);

// Restores the fields in file order onto the panel: positions outside a list
// (other than -1) or fields that did not convert leave the control as it was;
// the format position is applied last and always runs the format defaults;
// an empty folder falls back to `defaultOutputFolder`.
void restoreSetup(const SetupFields& fields, SettingsPanel& panel,
                  const std::string& defaultOutputFolder);

}  // namespace tessaro
