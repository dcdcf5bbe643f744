// The settings files as the POSIX build writes them: UTF-8 byte for byte,
// and devices that are never read.
#include <gtest/gtest.h>

#include "helpers/TempFolder.h"
#include "TestPanel.h"
#include "base/FileHead.h"
#include "settings/SetupFile.h"

using namespace tessaro;
using test::TestPanel;

namespace {

TEST(SetupFileRoundTripTest, PanelSavedAndRestored) {
    test::TempFolder folder;
    const std::string path = folder.file("setup.ini");
    TestPanel before;
    before.selectStartupDefaults();
    before.cmbOF.setPosition(kMp3);
    applyFormatDefaults(before.panel);
    before.txtPath = "/srv/媒体,out";
    ASSERT_TRUE(writeSetupFile(path, setupValues(before.panel)));
    EXPECT_EQ(test::readBytes(path), "\"13\"\r\n\"0\"\r\n\"1\"\r\n\"/srv/媒体,out\"\r\n\"8\"\r\n");

    TestPanel after;
    after.selectStartupDefaults();
    restoreSetup(*readSetupFile(path), after.panel, test::kDefaultFolder);
    EXPECT_EQ(after.cmbOF.position(), kMp3);
    EXPECT_EQ(after.cmbBR.text(), "320");
    EXPECT_EQ(after.cmbR.text(), "48000");
    EXPECT_EQ(after.cmbChannel.position(), 1);
    EXPECT_EQ(after.txtPath, "/srv/媒体,out");
}

TEST(ReadFileHeadTest, DeviceThatWouldNeverEndIsUnreadable) {
    std::string bytes;
    EXPECT_EQ(readFileHead("/dev/zero", bytes), FileHead::Unreadable);
}

}  // namespace
