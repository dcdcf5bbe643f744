#include "settings/SetupFile.h"

#include "base/AtomicFile.h"
#include "base/FileHead.h"
#include "base/NumberText.h"
#include "formats/FormatCatalogue.h"
#include "settings/ComboValue.h"
#include "settings/SettingsEncoding.h"
#include "settings/SettingsText.h"

namespace tessaro {

std::optional<SetupFields> readSetupFile(const std::string& path) {
    std::string bytes;
    const FileHead head = readFileHead(path, bytes);
    if (head == FileHead::Missing) return std::nullopt;
    bytes = settingsTextFromFile(bytes);
    SetupFields fields;
    const std::vector<std::string> values = splitFields(bytes, 5);
    const auto number = [&](std::size_t i) {
        return i < values.size() ? wholeNumber(values[i]) : std::nullopt;
    };
    fields.audioBitratePosition = number(0);
    fields.sampleRatePosition = number(1);
    fields.channelPosition = number(2);
    if (values.size() > 3) fields.outputFolder = values[3];
    fields.formatIndex = number(4);
    return fields;
}

std::string setupFileText(const SetupValues& values) {
    // The text is UTF-8; writeSetupFile() gives the file the system's code
    // page (settingsFileFromText), so that any name survives.
    const bool oneLine = values.outputFolder.find_first_of("\r\n") == std::string::npos;
    std::string text;
    const auto line = [&](const std::string& value) { text += '"' + value + "\"\r\n"; };
    line(std::to_string(values.audioBitratePosition));
    line(std::to_string(values.sampleRatePosition));
    line(std::to_string(values.channelPosition));
    line(oneLine ? values.outputFolder : std::string());
    line(std::to_string(values.formatIndex));
    return text;
}

bool writeSetupFile(const std::string& path, const SetupValues& values) {
    return writeFileAtomically(path, settingsFileFromText(setupFileText(values)));
}

SetupValues setupValues(const SettingsPanel& panel) {
    SetupValues values;
    values.audioBitratePosition = panel.cmbBR->position();
    values.sampleRatePosition = panel.cmbR->position();
    values.channelPosition = panel.cmbChannel->position();
    values.outputFolder = *panel.txtPath;
    values.formatIndex = panel.cmbOF->position();
    return values;
}

void applyFormatDefaults(SettingsPanel& panel) {
    const FormatDefaults* defaults = formatDefaults(panel.cmbOF->position());
    if (!defaults) return;  // no selection
    // The catalogue leaves the video texts of MP3 empty: those fields keep
    // what they hold.
    if (defaults->videoBitrate) panel.cmbVB->setText(defaults->videoBitrate);
    if (defaults->frameRate) panel.cmbF->setText(defaults->frameRate);
    if (defaults->videoSize) panel.cmbS->setText(defaults->videoSize);
    panel.cmbR->setText(defaults->sampleRate);
    panel.cmbBR->setText(defaults->audioBitrate);
    panel.cmbChannel->setPosition(defaults->channelPosition);
}

void restoreSetup(const SetupFields& fields, SettingsPanel& panel,
                  const std::string& defaultOutputFolder) {
    // A position outside a list is refused by the combo itself.
    if (fields.audioBitratePosition) panel.cmbBR->setPosition(*fields.audioBitratePosition);
    if (fields.sampleRatePosition) panel.cmbR->setPosition(*fields.sampleRatePosition);
    if (fields.channelPosition) panel.cmbChannel->setPosition(*fields.channelPosition);
    if (fields.outputFolder) *panel.txtPath = *fields.outputFolder;
    // Setting the format always runs the format defaults, even when the
    // position does not change; a refused position runs nothing.
    if (fields.formatIndex && panel.cmbOF->setPosition(*fields.formatIndex))
        applyFormatDefaults(panel);
    if (panel.txtPath->empty()) *panel.txtPath = defaultOutputFolder;
}

}  // namespace tessaro
