// The progress bar painted into a memory bitmap: the filled part for ranges, values and both directions,
// the repair of broken ranges, and the fill image stretched or cut to the filled part.
#include "PaintCanvas.h"
#include "SkinImages.h"

#include "SkinUI/Control/UIProgress.h"
#include "SkinUI/Window/UIDlgBuilder.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

constexpr DWORD kWhite = 0xFFFFFF;

// The number of columns (horizontal) or rows (vertical, counted from the bottom) in the fill colour.
int FilledExtent(const PaintCanvas& canvas, bool bHorizontal)
{
    int n = 0;
    if (bHorizontal) {
        while (n < canvas.Width() && canvas.Rgb(n, canvas.Height() / 2) == kBkColor)
            ++n;
    } else {
        while (n < canvas.Height() && canvas.Rgb(canvas.Width() / 2, canvas.Height() - 1 - n) == kBkColor)
            ++n;
    }
    return n;
}

} // namespace

TEST(ProgressPaint, FilledPartFollowsTheValueInItsRange)
{
    SkinImages images;
    CPaintManagerUI pm;
    struct Case
    {
        const char* name;
        bool bHorizontal;
        int cx, cy;
        int nMin, nMax, nValue;
        int nFilled;                // columns from the left, or rows from the bottom
        int nMaxAfter, nValueAfter; // the fields after the paint
    };
    const Case cases[] = {
        {"437 of 0..1000 over 500 pixels, truncated", true, 500, 8, 0, 1000, 437, 218, 1000, 437},
        {"zero: nothing filled", true, 100, 8, 0, 1000, 0, 0, 1000, 0},
        {"full", true, 100, 8, 0, 1000, 1000, 100, 1000, 1000},
        {"offset range", true, 100, 8, 50, 150, 75, 25, 150, 75},
        {"vertical 33 of 0..100 over 50 rows fills from the bottom", false, 8, 50, 0, 100, 33, 17, 100, 33},
        {"above the maximum: clamped", true, 100, 8, 0, 10, 15, 100, 10, 10},
        {"below the minimum: clamped", true, 100, 8, 10, 20, 3, 0, 20, 10},
        {"maximum 0 with minimum 0: becomes 1, no division by zero", true, 100, 8, 0, 0, 5, 100, 1, 1},
        {"inverted range: maximum moves above the minimum", true, 100, 8, 30, 10, 20, 0, 31, 30},
        {"a range of millions does not overflow", true, 500, 8, 0, 10000000, 5000000, 250, 10000000, 5000000},
        {"the widest range", true, 100, 8, INT_MIN, INT_MAX, 0, 50, INT_MAX, 0},
        {"the largest minimum", true, 100, 8, INT_MAX, INT_MAX, INT_MAX, 100, INT_MAX, INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(c.cx, c.cy);
        CProgressUI progress;
        progress.SetManager(&pm, nullptr, false);
        progress.SetPos(CUIRect(0, 0, c.cx, c.cy));
        progress.SetHorizontal(c.bHorizontal);
        progress.SetForeImage("bk.png");
        progress.SetMinValue(c.nMin);
        progress.SetMaxValue(c.nMax);
        progress.SetValue(c.nValue);
        progress.Paint(canvas.DC(), CUIRect(0, 0, c.cx, c.cy));
        EXPECT_EQ(FilledExtent(canvas, c.bHorizontal), c.nFilled);
        EXPECT_EQ(progress.GetMaxValue(), c.nMaxAfter);
        EXPECT_EQ(progress.GetValue(), c.nValueAfter);
        EXPECT_STREQ(progress.GetForeImage(), "bk.png");
        progress.SetManager(nullptr, nullptr, false);
    }
}

TEST(ProgressPaint, FillImageIsStretchedOverTheFilledPartOrCutToIt)
{
    SkinImages images;
    CPaintManagerUI pm;
    // grid.png is 30 x 30 with green = x and blue = y; the bar is 30 x 30 and half full.
    struct Case
    {
        const char* name;
        const char* attributes;
        const char* image;
        DWORD dwAt14; // the last filled column
        DWORD dwAt20; // an empty column: the background
        bool bImageKept;
    };
    const Case cases[] = {
        {"stretched: the whole image in 15 columns", "", "grid.png", GridColor(28, 5), 0x0000FF, true},
        {"cut: the image's own columns", "isstretchfore=\"false\"", "grid.png", GridColor(14, 5), 0x0000FF, true},
        {"an image that cannot be drawn is dropped", "", "missing.png", 0x0000FF, 0x0000FF, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(30, 30);
        CProgressUI progress;
        progress.SetManager(&pm, nullptr, false);
        progress.ApplyAttributeList(c.attributes);
        progress.SetPos(CUIRect(0, 0, 30, 30));
        progress.SetBackColor(0xFF0000FF);
        progress.SetForeImage(c.image);
        progress.SetValue(50);
        progress.Paint(canvas.DC(), CUIRect(0, 0, 30, 30));
        // Stretching 30 source columns into 15 keeps every second one (28 or 29 at the last column).
        EXPECT_TRUE(NearRgb(canvas.Rgb(14, 5), c.dwAt14, 1)) << std::hex << canvas.Rgb(14, 5);
        EXPECT_EQ(canvas.Rgb(20, 5), c.dwAt20);
        EXPECT_STREQ(progress.GetForeImage(), c.bImageKept ? c.image : "");
        progress.SetManager(nullptr, nullptr, false);
    }
}

TEST(ProgressMarkup, BuilderMakesABarFromItsTagAndAttributes)
{
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> pRoot(builder.Build("<Window><Progress name=\"bar\" min=\"10\" max=\"90\" value=\"40\" "
                                                    "hor=\"false\" foreimage=\"fill.png\" isstretchfore=\"false\" "
                                                    "textcolor=\"#FF112233\"/></Window>"));
    ASSERT_NE(pRoot, nullptr);
    auto* pBar = static_cast<CProgressUI*>(pRoot->GetInterface("Progress"));
    ASSERT_NE(pBar, nullptr);
    EXPECT_STREQ(pBar->GetClassName(), "ProgressUI");
    EXPECT_EQ(pBar->GetMinValue(), 10);
    EXPECT_EQ(pBar->GetMaxValue(), 90);
    EXPECT_EQ(pBar->GetValue(), 40);
    EXPECT_FALSE(pBar->IsHorizontal());
    EXPECT_FALSE(pBar->IsStretchForeImage());
    EXPECT_STREQ(pBar->GetForeImage(), "fill.png");
    EXPECT_EQ(pBar->GetTextColor(), 0xFF112233u); // other names reach the label
    EXPECT_NE(pBar->GetInterface("Label"), nullptr);
}
