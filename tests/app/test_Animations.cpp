#include "app/Animations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Animations, SlideshowHoldsAtFullStrengthAndMovesOnWhenFadedOut)
{
    const struct
    {
        int nAlpha, nImage;
        const char* pstrImage;
        SlideshowFrame::Next eNext;
        int nImageAfter;
    } cases[] = {
        {25, 0, "file='0.png' fade='25'", SlideshowFrame::KeepFading, 0},
        {254, 0, "file='0.png' fade='254'", SlideshowFrame::KeepFading, 0},
        {255, 0, "file='0.png' fade='255'", SlideshowFrame::Hold, 0},
        {260, 1, "file='1.png' fade='255'", SlideshowFrame::Hold, 1},
        {20, 0, "file='1.png' fade='20'", SlideshowFrame::FadeInNext, 1},
        {15, 2, "file='0.png' fade='20'", SlideshowFrame::FadeInNext, 0},
        {21, 2, "file='2.png' fade='21'", SlideshowFrame::KeepFading, 2},
    };
    for (const auto& c : cases) {
        const SlideshowFrame frame = MakeSlideshowFrame(c.nAlpha, c.nImage);
        EXPECT_STREQ(frame.strImage, c.pstrImage) << c.nAlpha << "," << c.nImage;
        EXPECT_EQ(frame.eNext, c.eNext) << c.nAlpha << "," << c.nImage;
        EXPECT_EQ(frame.nImage, c.nImageAfter) << c.nAlpha << "," << c.nImage;
    }
}

TEST(Animations, PanelSlidesInSixteenStepsAndEndsExactlyOnItsHeights)
{
    for (const bool bOpening : {true, false}) {
        int h = bOpening ? 1 : 80;
        std::vector<int> heights;
        for (int i = 0; i < 100; ++i) {
            const PanelStep step = StepPanel(h, bOpening);
            h = step.nHeight;
            heights.push_back(h);
            ASSERT_GE(h, 1);
            ASSERT_LE(h, 80);
            if (step.bEnded)
                break;
        }
        EXPECT_EQ(heights.size(), 16u) << (bOpening ? "opening" : "closing");
        EXPECT_EQ(heights.back(), bOpening ? 80 : 1);
        EXPECT_EQ(heights.front(), bOpening ? 6 : 75);
        EXPECT_EQ(heights[14], bOpening ? 76 : 5);
    }
}
