// setup.ini's reader over any file: it never fails on a file that exists, a
// folder it gives is one line, and what it read is written and read back
// unchanged (fields that did not convert are written as the -1 of no
// selection).
#include "FuzzSupport.h"
#include "settings/SettingsText.h"
#include "settings/SetupFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile file("setup.ini");
    file.write(data, size);
    const auto read = tessaro::readSetupFile(file.path());
    FUZZ_CHECK(read);
    if (read->outputFolder) {
        FUZZ_CHECK(read->outputFolder->find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(read->outputFolder->size() <= tessaro::kFieldLimit);
    }

    tessaro::SetupValues values;
    values.audioBitratePosition = read->audioBitratePosition.value_or(-1);
    values.sampleRatePosition = read->sampleRatePosition.value_or(-1);
    values.channelPosition = read->channelPosition.value_or(-1);
    values.outputFolder = read->outputFolder.value_or("");
    values.formatIndex = read->formatIndex.value_or(-1);
    FUZZ_CHECK(tessaro::writeSetupFile(file.path(), values));
    const auto back = tessaro::readSetupFile(file.path());
    FUZZ_CHECK(back && back->audioBitratePosition == values.audioBitratePosition);
    FUZZ_CHECK(back->sampleRatePosition == values.sampleRatePosition);
    FUZZ_CHECK(back->channelPosition == values.channelPosition);
    FUZZ_CHECK(back->outputFolder == values.outputFolder);
    FUZZ_CHECK(back->formatIndex == values.formatIndex);
    return 0;
}
