#include "widgets/BackgroundHandler.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>

#include "helpers/MouseHelpers.h"
#include "feedback/frmSuggest.h"
#include "widgets/HoverPictures.h"
#include "widgets/ImageButton.h"
#include "widgets/LinkLabel.h"

namespace tessaro {
namespace {

using test::moveTo;
using test::pressAt;
using test::releaseAt;

// The top-right corner of the main window, wired as the window wires it.
class BackgroundHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(698, 455);
        imgHelp = button({635, 8, 15, 15}, HoverPicture::HelpLight);
        imgMin = button({652, 9, 14, 14}, HoverPicture::MinLight);
        imgExit = button({672, 10, 15, 15}, HoverPicture::ExitLight);
        lblFeed = new LinkLabel(QStringLiteral("意见反馈"), &window);
        lblFeed->setBoldOnHover(true);
        lblFeed->setGeometry(624, 432, 48, 13);
        caption = new QLabel(QStringLiteral("输出格式："), &window);
        caption->setGeometry(490, 70, 100, 14);
        background = new BackgroundHandler(&window);
        QObject::connect(background, &BackgroundHandler::pointerOverBackground, &window, [this] {
            lblFeed->setHovered(false);
            imgHelp->setHovered(false);
            imgExit->setHovered(false);
            imgMin->setHovered(false);
        });
        window.move(100, 100);
        window.show();
    }
    ImageButton* button(QRect rect, HoverPicture picture) {
        auto* b = new ImageButton(&window);
        b->setGeometry(rect);
        b->setHoverPicture(hoverPicture(picture));
        return b;
    }
    std::vector<bool> hovered() const {
        return {imgHelp->isHovered(), imgMin->isHovered(), imgExit->isHovered(),
                lblFeed->isHovered()};
    }

    QWidget window;
    ImageButton* imgHelp;
    ImageButton* imgMin;
    ImageButton* imgExit;
    LinkLabel* lblFeed;
    QLabel* caption;
    BackgroundHandler* background;
};

TEST_F(BackgroundHandlerTest, CrossingTheBackgroundResetsTheOtherButtons) {
    moveTo(&window, {642, 15});  // imgHelp
    moveTo(&window, {651, 15});  // the strip between imgHelp and imgMin
    moveTo(&window, {659, 15});  // imgMin
    EXPECT_EQ(hovered(), (std::vector<bool>{false, true, false, false}));
}

TEST_F(BackgroundHandlerTest, LeavingWithoutCrossingTheBackgroundKeepsTheHover) {
    moveTo(&window, {679, 17});  // imgExit, then straight out of the window
    EXPECT_EQ(hovered(), (std::vector<bool>{false, false, true, false}));
    moveTo(&window, {300, 300});  // back in over the background
    EXPECT_EQ(hovered(), (std::vector<bool>{false, false, false, false}));
}

TEST_F(BackgroundHandlerTest, FeedbackLinkTurnsBoldAndBackToNormal) {
    moveTo(&window, {640, 438});
    EXPECT_TRUE(lblFeed->font().bold());
    moveTo(&window, {600, 438});
    EXPECT_FALSE(lblFeed->font().bold());
}

TEST_F(BackgroundHandlerTest, MovesOverACaptionLabelResetNothing) {
    QSignalSpy over(background, &BackgroundHandler::pointerOverBackground);
    moveTo(&window, {679, 17});
    moveTo(&window, {520, 76});  // the caption label
    EXPECT_TRUE(imgExit->isHovered());
    EXPECT_EQ(over.count(), 0);
}

TEST_F(BackgroundHandlerTest, LeftDragOnTheBackgroundMovesTheWindow) {
    QSignalSpy drags(background, &BackgroundHandler::dragStarted);
    const QPoint start = window.pos();
    pressAt(&window, {300, 300});
    moveTo(&window, {310, 305}, Qt::LeftButton);
    EXPECT_EQ(drags.count(), 1);
    // offscreen has no system move: the handler follows the pointer itself
    EXPECT_EQ(window.pos(), start + QPoint(10, 5));
    releaseAt(&window, {300, 300});
}

TEST_F(BackgroundHandlerTest, PlainMovesAndDragsFromAControlDoNotMoveTheWindow) {
    QSignalSpy drags(background, &BackgroundHandler::dragStarted);
    const QPoint start = window.pos();
    moveTo(&window, {300, 300});
    moveTo(&window, {320, 320});
    // pressed on the caption label, then moved onto the background
    pressAt(&window, {520, 76});
    moveTo(&window, {520, 120}, Qt::LeftButton);
    releaseAt(&window, {520, 120});
    EXPECT_EQ(drags.count(), 0);
    EXPECT_EQ(window.pos(), start);
}

TEST(FeedbackFormBackgroundTest, BackgroundResetsTheImageButtons) {
    frmSuggest form(nullptr, "http://127.0.0.1:9");
    form.show();
    moveTo(&form, test::centreOf(form.imgSend()));
    EXPECT_TRUE(form.imgSend()->isHovered());
    moveTo(&form, test::centreOf(form.imgBack()));
    moveTo(&form, test::centreOf(form.imgExit()));
    EXPECT_TRUE(form.imgBack()->isHovered());  // no background crossed
    moveTo(&form, {6, 270});
    EXPECT_FALSE(form.imgSend()->isHovered());
    EXPECT_FALSE(form.imgBack()->isHovered());
    EXPECT_FALSE(form.imgExit()->isHovered());
}

}  // namespace
}  // namespace tessaro
