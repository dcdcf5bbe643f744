#include <gtest/gtest.h>

#include "widgets/Scaling.h"

namespace tessaro {
namespace {

WindowLayout sample() {
    WindowLayout layout;
    layout.width = 698;
    layout.height = 455;
    layout.txtPathFontPoints = 9;
    layout.controls = {
        {"LV", 4, 90, 455, 274, true, 9.0},
        {"txtPath", 488, 325, 137, 21, true, 9.0},
        {"imgPB", 0, 2000, 0, 8, true, std::nullopt},
        {"Timer1", 3, 7, 0, 0, false, std::nullopt},
    };
    return layout;
}

struct ScalingRow {
    double twipsPerPixel;
    double fontFactor;  // every font but txtPath's
};

class ScalingAt : public ::testing::TestWithParam<ScalingRow> {};

TEST_P(ScalingAt, KeepsPixelsAndShrinksFonts) {
    const ScalingRow row = GetParam();
    const WindowLayout out = scaleLayout(sample(), row.twipsPerPixel, row.twipsPerPixel);
    EXPECT_EQ(out.width, 698);
    EXPECT_EQ(out.height, 455);
    const ControlLayout& lv = out.controls[0];
    EXPECT_EQ(lv.left, 4);
    EXPECT_EQ(lv.top, 90);
    EXPECT_EQ(lv.width, 455);
    EXPECT_EQ(lv.height, 274);
    EXPECT_DOUBLE_EQ(*lv.fontPoints, 9 * row.fontFactor);
    // txtPath's font is scaled twice: by fy and then by fx.
    EXPECT_DOUBLE_EQ(*out.controls[1].fontPoints, 9 * row.fontFactor * row.fontFactor);
    EXPECT_EQ(out.controls[1].width, 137);
    // No font and no size: those multiplications are skipped, the rest happen.
    EXPECT_FALSE(out.controls[2].fontPoints);
    EXPECT_EQ(out.controls[2].top, 2000);
    EXPECT_EQ(out.controls[3].left, 3);
    EXPECT_EQ(out.controls[3].width, 0);
}

INSTANTIATE_TEST_SUITE_P(TwipsPerPixel, ScalingAt,
                         ::testing::Values(ScalingRow{15, 1.0}, ScalingRow{12, 0.8}));

TEST(Scaling, TwipsPerPixelOfDpi) {
    EXPECT_DOUBLE_EQ(twipsPerPixel(96), 15);
    EXPECT_DOUBLE_EQ(twipsPerPixel(120), 12);
    EXPECT_DOUBLE_EQ(twipsPerPixel(0), 15);
}

}  // namespace
}  // namespace tessaro
