#pragma once
// A settings panel of plain combo values with the catalogue's lists, in the
// state start-up leaves before setup.ini is restored.

#include <string>

#include "formats/FormatCatalogue.h"
#include "settings/ComboValue.h"
#include "settings/SetupFile.h"

namespace tessaro::test {

inline const std::string kDefaultFolder = "/opt/tessaro/output";

struct TestPanel {
    ComboValue cmbOF{formatList()};
    ComboValue cmbVB{videoBitrateList()};
    ComboValue cmbF{frameRateList()};
    ComboValue cmbS{videoSizeList()};
    ComboValue cmbR{sampleRateList()};
    ComboValue cmbBR{audioBitrateList()};
    ComboValue cmbChannel{channelList()};
    std::string txtPath;
    SettingsPanel panel{&cmbOF, &cmbVB, &cmbF, &cmbS, &cmbR, &cmbBR, &cmbChannel, &txtPath};

    // The default entries of start-up: 96 kbit/s, 44100 Hz, stereo, then
    // RMVB with its defaults, and the default output folder.
    void selectStartupDefaults() {
        cmbBR.setPosition(7);
        cmbR.setPosition(1);
        cmbChannel.setPosition(1);
        cmbOF.setPosition(kRmvb);
        applyFormatDefaults(panel);
        txtPath = kDefaultFolder;
    }
};

}  // namespace tessaro::test
