// The control base's paint steps drawn into a memory bitmap: background colours and gradients, borders and
// rounded corners, background images.
#include "PaintCanvas.h"
#include "SkinImages.h"

#include "SkinUI/Core/UIControl.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

constexpr RECT kAll = {0, 0, 20, 20};

} // namespace

TEST(ControlPaint, BackgroundColoursFillThePaintedPartOrTheWholeControl)
{
    struct Case
    {
        const char* name;
        DWORD dwColor1, dwColor2, dwColor3;
        DWORD dwPainted; // at (5, 10), inside the dirty rectangle
        DWORD dwOutside; // at (15, 10), in the control but outside the dirty rectangle
    };
    const Case cases[] = {
        {"opaque: only the painted part", 0xFF0000FF, 0, 0, 0x0000FF, 0xFFFFFF},
        {"translucent: the whole control", 0x800000FF, 0, 0, 0x7F7FFF, 0x7F7FFF},
        {"six digits: alpha 0, nothing", 0x000000FF, 0, 0, 0xFFFFFF, 0xFFFFFF},
        {"second colour without a first: nothing", 0, 0xFF0000FF, 0, 0xFFFFFF, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(20, 20);
        CControlUI control;
        control.SetPos(CUIRect(kAll));
        control.SetBackColor(c.dwColor1);
        control.SetBackColor2(c.dwColor2);
        control.SetBackColor3(c.dwColor3);
        control.Paint(canvas.DC(), CUIRect(0, 0, 10, 20));
        EXPECT_TRUE(NearRgb(canvas.Pixel(5, 10), c.dwPainted, 2)) << std::hex << canvas.Pixel(5, 10);
        EXPECT_TRUE(NearRgb(canvas.Pixel(15, 10), c.dwOutside, 2)) << std::hex << canvas.Pixel(15, 10);
    }

    // Two colours: one vertical gradient; three colours: two, meeting in the middle at the second colour.
    PaintCanvas canvas(20, 40);
    CControlUI control;
    control.SetPos(CUIRect(0, 0, 20, 40));
    control.SetBackColor(0xFF000000);
    control.SetBackColor2(0xFFFFFFFF);
    control.Paint(canvas.DC(), CUIRect(0, 0, 20, 40));
    EXPECT_LT(ChannelOf(canvas.Pixel(10, 0), 1), 20);
    EXPECT_GT(ChannelOf(canvas.Pixel(10, 39), 1), 235);
    control.SetBackColor3(0xFF000000);
    control.Paint(canvas.DC(), CUIRect(0, 0, 20, 40));
    EXPECT_LT(ChannelOf(canvas.Pixel(10, 0), 1), 40);
    EXPECT_GT(ChannelOf(canvas.Pixel(10, 19), 1), 215);
    EXPECT_GT(ChannelOf(canvas.Pixel(10, 20), 1), 215);
    EXPECT_LT(ChannelOf(canvas.Pixel(10, 39), 1), 40);
}

TEST(ControlPaint, BordersWholeOrPerSideInBorderOrFocusColour)
{
    const RECT rcPos = {2, 2, 18, 18};
    // Whole border of 2 pixels inside the control.
    {
        PaintCanvas canvas(20, 20);
        CControlUI control;
        control.SetPos(CUIRect(rcPos));
        control.ApplyAttribute("bordercolor", "#FFFF0000");
        control.ApplyAttribute("bordersize", "2");
        control.Paint(canvas.DC(), CUIRect(kAll));
        EXPECT_TRUE(canvas.AllRgb({2, 2, 18, 4}, 0xFF0000));
        EXPECT_TRUE(canvas.AllRgb({2, 16, 18, 18}, 0xFF0000));
        EXPECT_TRUE(canvas.AllRgb({4, 4, 16, 16}, 0xFFFFFF));
        EXPECT_TRUE(canvas.AllRgb({0, 0, 20, 2}, 0xFFFFFF));

        // Focused with a focus colour: the same frame in that colour.
        control.SetFocusBorderColor(0xFF00FF00);
        InputEventUI event;
        event.nKind = UIEV_SETFOCUS;
        control.DeliverEvent(event);
        control.Paint(canvas.DC(), CUIRect(kAll));
        EXPECT_TRUE(canvas.AllRgb({2, 2, 18, 4}, 0x00FF00));
    }
    // Only a bottom side of 2: a line on the bottom edge and nothing else.
    {
        PaintCanvas canvas(20, 20);
        CControlUI control;
        control.SetPos(CUIRect(rcPos));
        control.ApplyAttribute("bordercolor", "#FF0000FF");
        control.ApplyAttribute("bordersize", "0,0,0,2");
        control.Paint(canvas.DC(), CUIRect(kAll));
        int nRows = 0;
        for (int y = 0; y < 20; ++y)
            nRows += canvas.Rgb(10, y) == 0x0000FF ? 1 : 0;
        EXPECT_EQ(nRows, 2);
        EXPECT_EQ(canvas.Rgb(10, 17), 0x0000FFu);
        EXPECT_TRUE(canvas.AllRgb({0, 0, 20, 16}, 0xFFFFFF));
    }
}

TEST(ControlPaint, RoundedCornersClipTheBackgroundAndRoundTheBorder)
{
    PaintCanvas canvas(20, 20);
    CControlUI control;
    control.SetPos(CUIRect(kAll));
    control.SetBackColor(0xFF0000FF);
    control.SetBorderRound(CUISize(10, 10));
    control.SetBorderColor(0xFFFF0000);
    control.SetBorderSize(1);
    control.Paint(canvas.DC(), CUIRect(kAll));
    EXPECT_EQ(canvas.Rgb(0, 0), 0xFFFFFFu);
    EXPECT_EQ(canvas.Rgb(19, 19), 0xFFFFFFu);
    EXPECT_EQ(canvas.Rgb(10, 10), 0x0000FFu);
    EXPECT_EQ(canvas.Rgb(10, 0), 0xFF0000u);
    // The clip is gone after the paint.
    CControlUI square;
    square.SetPos(CUIRect(kAll));
    square.SetBackColor(0xFF00FF00);
    square.Paint(canvas.DC(), CUIRect(kAll));
    EXPECT_TRUE(canvas.AllRgb(kAll, 0x00FF00));
}

TEST(ControlPaint, BackgroundImagesAreKeptWhenDrawableAndDroppedOtherwise)
{
    SkinImages images;
    CPaintManagerUI pm;
    struct Case
    {
        const char* image;
        bool bKept;
        DWORD dwCentre;
    };
    const Case cases[] = {
        {"bk.png", true, kBkColor},
        {"file='bk.png' source='0,0,2,2'", true, kBkColor},
        {"file='bk.png' dest='40,40,60,60'", true, 0xFFFFFF}, // nothing to draw here, but nothing wrong
        {"file='missing.png'", false, 0xFFFFFF},
        {"missing.png", false, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        PaintCanvas canvas(20, 20);
        CControlUI control;
        control.SetManager(&pm, nullptr, false);
        control.SetPos(CUIRect(kAll));
        control.SetBackImage(c.image);
        control.Paint(canvas.DC(), CUIRect(kAll));
        EXPECT_EQ(canvas.Rgb(10, 10), c.dwCentre);
        EXPECT_STREQ(control.GetBackImage(), c.bKept ? c.image : "");
        // What DrawImage reports is what the button's fallbacks rely on.
        EXPECT_EQ(control.DrawImage(canvas.DC(), c.image, nullptr, false, 255), c.bKept);
        control.SetManager(nullptr, nullptr, false);
    }
}
