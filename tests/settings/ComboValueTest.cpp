#include <gtest/gtest.h>

#include <functional>

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

// Another list: the text stays and takes the position it has there.
TEST(ComboValueTest, ANewListKeepsTheTextAndFindsItsPosition) {
    const std::vector<std::string> rates = {"原始频率", "48000", "44100", "8000"};
    const struct {
        const char* name;
        std::function<void(ComboValue&)> before;
        const char* text;
        int position;  // in `rates`
    } rows[] = {
        {"picked entry moves", [](ComboValue& c) { c.setPosition(1); }, "44100", 2},
        {"picked entry missing", [](ComboValue& c) { c.setPosition(2); }, "32000", -1},
        {"written non-entry", [](ComboValue& c) { c.setText("28000"); }, "28000", -1},
        {"written text now an entry", [](ComboValue& c) { c.setText("原始频率"); }, "原始频率", 0},
        {"typed text spelling an entry", [](ComboValue& c) { c.typeText("8000"); }, "8000", 3},
        {"nothing shown", [](ComboValue&) {}, "", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ComboValue combo(sampleRateList());
        row.before(combo);
        combo.setList(rates);
        EXPECT_EQ(combo.list(), rates);
        EXPECT_EQ(combo.text(), row.text);
        EXPECT_EQ(combo.position(), row.position);
        // Positions now count in the new list.
        EXPECT_TRUE(combo.setPosition(3));
        EXPECT_EQ(combo.text(), "8000");
        EXPECT_FALSE(combo.setPosition(4));
    }
}

TEST(ComboValueTest, AShorterListDropsAPositionBeyondIt) {
    ComboValue combo(channelList());
    combo.setList({"单声道", "双声道", "原始声道"});
    ASSERT_TRUE(combo.setPosition(2));
    combo.setList(channelList());  // "原始声道" is no entry of the two
    EXPECT_EQ(combo.position(), -1);
    EXPECT_EQ(combo.text(), "原始声道");
    EXPECT_FALSE(combo.setPosition(2));
}
