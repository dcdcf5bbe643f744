#include "widgets/ImageButton.h"

#include <gtest/gtest.h>

#include <QBitmap>
#include <QSignalSpy>

#include "helpers/MouseHelpers.h"
#include "widgets/HandCursor.h"
#include "widgets/HoverPictures.h"
#include "widgets/LinkLabel.h"

namespace tessaro {
namespace {

using test::moveTo;
using test::pressAt;
using test::releaseAt;

TEST(HoverPicturesTest, PicturesHaveTheirDesignedSizes) {
    const std::pair<HoverPicture, QSize> rows[] = {
        {HoverPicture::HelpLight, {12, 17}},  {HoverPicture::MinLight, {14, 14}},
        {HoverPicture::ExitLight, {14, 13}},  {HoverPicture::SuggestExitLight, {14, 13}},
        {HoverPicture::SendLight, {24, 24}},  {HoverPicture::BackLight, {24, 24}},
    };
    for (const auto& [picture, size] : rows) {
        EXPECT_EQ(hoverPicture(picture).size(), size);
        EXPECT_EQ(normalPicture(picture).size(), size);
        // something is drawn, and the two states differ
        EXPECT_NE(hoverPicture(picture).toImage(), normalPicture(picture).toImage());
    }
}

TEST(HandCursorTest, IsAMonochrome32By32HandWithTheHotSpotAtTheFingertip) {
    const QCursor hand = pointingHandCursor();
    EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
    EXPECT_EQ(hand.hotSpot(), QPoint(6, 0));
    EXPECT_EQ(hand.bitmap().size(), QSize(32, 32));
    EXPECT_EQ(hand.mask().size(), QSize(32, 32));
    // the hot spot is an opaque pixel of the outline
    EXPECT_EQ(hand.mask().toImage().pixelIndex(6, 0), 1);
    EXPECT_EQ(hand.mask().toImage().pixelIndex(0, 0), 0);

    ImageButton button;
    LinkLabel label("x");
    EXPECT_EQ(button.cursor().hotSpot(), QPoint(6, 0));
    EXPECT_EQ(label.cursor().hotSpot(), QPoint(6, 0));
}

TEST(ImageButtonTest, MoveShowsTheHoverPictureUntilReset) {
    QWidget window;
    window.resize(100, 50);
    auto* button = new ImageButton(&window);
    button->setGeometry(10, 10, 15, 15);
    button->setHoverPicture(hoverPicture(HoverPicture::HelpLight));
    window.show();

    EXPECT_FALSE(button->isHovered());
    EXPECT_TRUE(button->pixmap().isNull());
    moveTo(&window, {15, 15});
    EXPECT_TRUE(button->isHovered());
    EXPECT_EQ(button->pixmap().size(), QSize(12, 17));
    button->setHovered(false);
    EXPECT_TRUE(button->pixmap().isNull());

    button->setNormalPicture(normalPicture(HoverPicture::HelpLight));
    EXPECT_EQ(button->pixmap().toImage(), normalPicture(HoverPicture::HelpLight).toImage());
}

TEST(ImageButtonTest, ClickIsAPressAndReleaseOnTheButton) {
    QWidget window;
    window.resize(100, 50);
    auto* button = new ImageButton(&window);
    button->setGeometry(10, 10, 15, 15);
    window.show();
    QSignalSpy clicks(button, &ImageButton::clicked);

    pressAt(&window, {15, 15});
    releaseAt(&window, {15, 15});
    EXPECT_EQ(clicks.count(), 1);

    // released elsewhere: the press grabs the pointer, the release lands outside
    pressAt(&window, {15, 15});
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(60, 30), QPointF(60, 30),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &release);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(LinkLabelTest, BoldOnHoverOnlyWhenAskedAndWhileEnabled) {
    QWidget window;
    window.resize(200, 50);
    auto* feed = new LinkLabel(QStringLiteral("意见反馈"), &window);
    feed->setBoldOnHover(true);
    feed->setGeometry(10, 10, 60, 14);
    auto* web = new LinkLabel("Tessaro", &window);
    web->setGeometry(100, 10, 60, 14);
    window.show();

    moveTo(&window, {20, 15});
    EXPECT_TRUE(feed->font().bold());
    moveTo(&window, {110, 15});
    EXPECT_FALSE(web->font().bold());
    feed->setHovered(false);
    EXPECT_FALSE(feed->font().bold());

    // while a batch runs the label is disabled: no bold, no click
    feed->setEnabled(false);
    QSignalSpy clicks(feed, &LinkLabel::clicked);
    moveTo(&window, {20, 15});
    pressAt(&window, {20, 15});
    releaseAt(&window, {20, 15});
    EXPECT_FALSE(feed->font().bold());
    EXPECT_EQ(clicks.count(), 0);
}

}  // namespace
}  // namespace tessaro
