#include <gtest/gtest.h>

#include "formats/FormatCatalogue.h"
#include "settings/ComboValue.h"

using namespace tessaro;

TEST(ComboValueTest, PickingSetsTextAndPosition) {
    ComboValue combo(audioBitrateList());
    EXPECT_TRUE(combo.setPosition(7));
    EXPECT_EQ(combo.text(), "96");
    EXPECT_EQ(combo.position(), 7);
}

TEST(ComboValueTest, PositionOutsideTheListChangesNothing) {
    ComboValue combo(channelList());
    ASSERT_TRUE(combo.setPosition(1));
    for (int position : {2, 5, -2, -32768}) {
        EXPECT_FALSE(combo.setPosition(position)) << position;
        EXPECT_EQ(combo.position(), 1) << position;
        EXPECT_EQ(combo.text(), "双声道") << position;
    }
}

TEST(ComboValueTest, MinusOneClearsTheSelectionAndKeepsTheText) {
    ComboValue combo(sampleRateList());
    combo.setPosition(1);
    EXPECT_TRUE(combo.setPosition(-1));
    EXPECT_EQ(combo.position(), -1);
    EXPECT_EQ(combo.text(), "44100");
}

TEST(ComboValueTest, TypedTextIsNeverAPick) {
    ComboValue combo(channelList());
    combo.setPosition(0);
    combo.typeText("双声道");  // spells an entry, still typed
    EXPECT_EQ(combo.text(), "双声道");
    EXPECT_EQ(combo.position(), -1);
    combo.typeText(" 2 ");
    EXPECT_EQ(combo.text(), " 2 ");
    EXPECT_EQ(combo.position(), -1);
}

TEST(ComboValueTest, WrittenTextSelectsTheEntryItSpells) {
    ComboValue combo(sampleRateList());
    combo.setText("28000");  // no entry
    EXPECT_EQ(combo.text(), "28000");
    EXPECT_EQ(combo.position(), -1);
    combo.setText("8000");
    EXPECT_EQ(combo.position(), 7);
    combo.setText("8000 ");  // exact spelling only
    EXPECT_EQ(combo.position(), -1);
}
