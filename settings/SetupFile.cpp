#include "settings/SetupFile.h"

#include <utility>
#include <vector>

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
    const int format = panel.cmbOF->position();
    const FormatDefaults* defaults = formatDefaults(format);
    if (!defaults) return;  // no selection
    // Each field first takes the list of the format, then its default. A
    // format without a list for a field (the video fields of the sound-only
    // formats, the bitrate of the lossless ones) leaves list and text alone;
    // its default is null there too.
    const std::pair<ComboValue*, Field> fields[] = {
        {panel.cmbVB, Field::VideoBitrate}, {panel.cmbF, Field::FrameRate},
        {panel.cmbS, Field::VideoSize},     {panel.cmbR, Field::SampleRate},
        {panel.cmbBR, Field::AudioBitrate}, {panel.cmbChannel, Field::Channels}};
    for (const auto& [combo, field] : fields)
        if (const std::vector<std::string>* list = choiceList(format, field))
            if (*list != combo->list()) combo->setList(*list);
    if (defaults->videoBitrate) panel.cmbVB->setText(defaults->videoBitrate);
    if (defaults->frameRate) panel.cmbF->setText(defaults->frameRate);
    if (defaults->videoSize) panel.cmbS->setText(defaults->videoSize);
    if (defaults->sampleRate) panel.cmbR->setText(defaults->sampleRate);
    if (defaults->audioBitrate) panel.cmbBR->setText(defaults->audioBitrate);
    if (defaults->channelPosition >= 0) panel.cmbChannel->setPosition(defaults->channelPosition);
}

void restoreSetup(const SetupFields& fields, SettingsPanel& panel,
                  const std::string& defaultOutputFolder) {
    // A position outside a list is refused by the combo itself.
    if (fields.audioBitratePosition) panel.cmbBR->setPosition(*fields.audioBitratePosition);
    if (fields.sampleRatePosition) panel.cmbR->setPosition(*fields.sampleRatePosition);
    if (fields.channelPosition) panel.cmbChannel->setPosition(*fields.channelPosition);
    if (fields.outputFolder) *panel.txtPath = *fields.outputFolder;
    // Setting the format always runs the format defaults, even when the
    // position does not change. An index outside the catalogue (-1 too) is
    // taken as a damaged line: the format stays, at start-up the first one
    // with the audio fields of lines 1 to 3.
    if (fields.formatIndex && outputFormat(*fields.formatIndex) &&
        panel.cmbOF->setPosition(*fields.formatIndex))
        applyFormatDefaults(panel);
    if (panel.txtPath->empty()) *panel.txtPath = defaultOutputFolder;
}

}  // namespace tessaro
