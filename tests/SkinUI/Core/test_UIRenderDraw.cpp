// Colour fills, gradients, outlines, clips, colour adjustment and rendering a control into a bitmap.
#include "PaintCanvas.h"

#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace SkinUITest;

TEST(FillColor, AlphaDecidesBetweenNothingOpaqueAndBlended)
{
    struct Case
    {
        DWORD dwColor;
        DWORD dwBackground;
        DWORD dwInside;
    };
    const Case cases[] = {
        {0x00FF0000, 0xFFFFFFFF, 0xFFFFFF}, // alpha 0: nothing
        {0x0012FF34, 0xFF000000, 0x000000},
        {0xFFFF0000, 0xFFFFFFFF, 0xFF0000}, // opaque
        {0xFF123456, 0xFF000000, 0x123456},
        {0x80FF0000, 0xFF000000, 0x800000}, // half red over black is dark red, not full red
        {0x80FF0000, 0xFFFFFFFF, 0xFF7F7F},
        {0x400000FF, 0xFF808080, 0x6060A0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.dwColor << " over " << c.dwBackground);
        PaintCanvas canvas(20, 20, c.dwBackground);
        CUIRender::FillColor(canvas.DC(), {5, 5, 15, 15}, c.dwColor);
        for (const POINT pt : {POINT{5, 5}, POINT{14, 14}, POINT{10, 7}})
            EXPECT_TRUE(NearRgb(canvas.Pixel(pt.x, pt.y), c.dwInside, 2)) << std::hex << canvas.Pixel(pt.x, pt.y);
        EXPECT_EQ(canvas.Rgb(4, 4), c.dwBackground & 0xFFFFFF);
        EXPECT_EQ(canvas.Rgb(15, 15), c.dwBackground & 0xFFFFFF);
    }
}

TEST(FillGradient, RunsFromFirstToSecondColourAndBlendsAtTheMeanAlpha)
{
    // Opaque black to white, vertical and horizontal.
    for (const bool bVertical : {true, false}) {
        SCOPED_TRACE(bVertical ? "vertical" : "horizontal");
        PaintCanvas canvas(40, 40, 0xFFFF0000);
        CUIRender::FillGradient(canvas.DC(), {0, 0, 40, 40}, 0xFF000000, 0xFFFFFFFF, bVertical, 16);
        int nPrevious = -1;
        for (int i = 0; i < 40; ++i) {
            const DWORD dw = bVertical ? canvas.Pixel(20, i) : canvas.Pixel(i, 20);
            const int nGreen = ChannelOf(dw, 1);
            EXPECT_GE(nGreen, nPrevious) << i;
            EXPECT_EQ(ChannelOf(dw, 1), ChannelOf(dw, 2)) << i; // grey: the red background is covered
            nPrevious = nGreen;
            // The other direction is uniform.
            const DWORD dwAcross = bVertical ? canvas.Pixel(3, i) : canvas.Pixel(i, 3);
            EXPECT_EQ(dw & 0xFFFFFF, dwAcross & 0xFFFFFF) << i;
        }
        EXPECT_LT(ChannelOf(bVertical ? canvas.Pixel(0, 0) : canvas.Pixel(0, 0), 1), 16);
        EXPECT_GT(ChannelOf(bVertical ? canvas.Pixel(0, 39) : canvas.Pixel(39, 0), 1), 240);
    }
    // Alphas 128 and 0 blend at 64: black over white gives 255 * (1 - 64/255).
    {
        PaintCanvas canvas(10, 10, 0xFFFFFFFF);
        CUIRender::FillGradient(canvas.DC(), {0, 0, 10, 10}, 0x80000000, 0x00000000, true, 8);
        EXPECT_TRUE(NearRgb(canvas.Pixel(5, 0), 0xBFBFBF, 2)) << std::hex << canvas.Pixel(5, 0);
        EXPECT_TRUE(NearRgb(canvas.Pixel(5, 9), 0xBFBFBF, 2)) << std::hex << canvas.Pixel(5, 9);
    }
    // Both alphas 0, or an empty rectangle: nothing.
    {
        PaintCanvas canvas(10, 10, 0xFFFFFFFF);
        CUIRender::FillGradient(canvas.DC(), {0, 0, 10, 10}, 0x00000000, 0x00000000, true, 8);
        CUIRender::FillGradient(canvas.DC(), {5, 5, 5, 9}, 0xFF000000, 0xFF000000, false, 8);
        EXPECT_TRUE(canvas.AllRgb({0, 0, 10, 10}, 0xFFFFFF));
    }
}

TEST(Outlines, StayInsideTheirRectangleAndIgnoreAlpha)
{
    // Rectangle outline of width 2, colour with alpha 0: red all the same.
    {
        PaintCanvas canvas(20, 20);
        CUIRender::StrokeRect(canvas.DC(), {2, 2, 18, 18}, 2, 0x00FF0000);
        EXPECT_TRUE(canvas.AllRgb({2, 2, 18, 4}, 0xFF0000));
        EXPECT_TRUE(canvas.AllRgb({2, 16, 18, 18}, 0xFF0000));
        EXPECT_TRUE(canvas.AllRgb({2, 2, 4, 18}, 0xFF0000));
        EXPECT_TRUE(canvas.AllRgb({16, 2, 18, 18}, 0xFF0000));
        EXPECT_TRUE(canvas.AllRgb({4, 4, 16, 16}, 0xFFFFFF)); // no fill
        EXPECT_EQ(canvas.Rgb(1, 1), 0xFFFFFFu);
        EXPECT_EQ(canvas.Rgb(18, 18), 0xFFFFFFu);
    }
    // Rounded outline: the corner pixel stays, the middle of an edge is drawn.
    {
        PaintCanvas canvas(20, 20);
        CUIRender::StrokeRoundRect(canvas.DC(), {0, 0, 20, 20}, 1, 10, 10, 0xFF0000FF);
        EXPECT_EQ(canvas.Rgb(0, 0), 0xFFFFFFu);
        EXPECT_EQ(canvas.Rgb(10, 0), 0x0000FFu);
        EXPECT_EQ(canvas.Rgb(0, 10), 0x0000FFu);
        EXPECT_EQ(canvas.Rgb(10, 10), 0xFFFFFFu);
    }
    // A line from left-top to right-bottom; the end point itself is not drawn.
    {
        PaintCanvas canvas(20, 20);
        CUIRender::StrokeLine(canvas.DC(), {0, 5, 20, 5}, 1, 0x8000FF00);
        EXPECT_TRUE(canvas.AllRgb({0, 5, 20, 6}, 0x00FF00));
        EXPECT_TRUE(canvas.AllRgb({0, 0, 20, 5}, 0xFFFFFF));
        EXPECT_TRUE(canvas.AllRgb({0, 6, 20, 20}, 0xFFFFFF));
    }
}

TEST(RenderClip, LimitsPaintingUntilItGoes)
{
    PaintCanvas canvas(20, 20);
    const RECT rcAll = {0, 0, 20, 20};
    {
        CUIRenderClip clip;
        CUIRenderClip::ClipToRect(canvas.DC(), {5, 5, 15, 15}, clip);
        CUIRender::FillColor(canvas.DC(), rcAll, 0xFFFF0000);
        EXPECT_EQ(canvas.Rgb(5, 5), 0xFF0000u);
        EXPECT_EQ(canvas.Rgb(14, 14), 0xFF0000u);
        EXPECT_EQ(canvas.Rgb(4, 4), 0xFFFFFFu);
        EXPECT_EQ(canvas.Rgb(15, 15), 0xFFFFFFu);

        CUIRenderClip::UseOuterClip(canvas.DC(), clip);
        CUIRender::FillColor(canvas.DC(), {0, 0, 20, 2}, 0xFF0000FF);
        EXPECT_EQ(canvas.Rgb(0, 0), 0x0000FFu);

        CUIRenderClip::UseInnerClip(canvas.DC(), clip);
        CUIRender::FillColor(canvas.DC(), rcAll, 0xFF00FF00);
        EXPECT_EQ(canvas.Rgb(5, 5), 0x00FF00u);
        EXPECT_EQ(canvas.Rgb(3, 3), 0xFFFFFFu);
        EXPECT_EQ(canvas.Rgb(0, 0), 0x0000FFu);
    }
    CUIRender::FillColor(canvas.DC(), rcAll, 0xFF000000);
    EXPECT_TRUE(canvas.AllRgb(rcAll, 0));

    {
        CUIRenderClip clip;
        CUIRenderClip::ClipToRoundRect(canvas.DC(), rcAll, rcAll, 12, 12, clip);
        CUIRender::FillColor(canvas.DC(), rcAll, 0xFFFFFFFF);
        EXPECT_EQ(canvas.Rgb(0, 0), 0u);
        EXPECT_EQ(canvas.Rgb(19, 19), 0u);
        EXPECT_EQ(canvas.Rgb(10, 10), 0xFFFFFFu);
        EXPECT_EQ(canvas.Rgb(10, 0), 0xFFFFFFu);
    }
    CUIRender::FillColor(canvas.DC(), rcAll, 0xFF000000);
    EXPECT_TRUE(canvas.AllRgb(rcAll, 0));
}

TEST(AdjustColorHSL, ShiftsHueAndScalesSaturationAndLightness)
{
    struct Case
    {
        DWORD dwColor;
        short H, S, L;
        DWORD dwExpected;
    };
    const Case cases[] = {
        // Neutral settings return the colour as it is, whatever it is.
        {0x12345678, 180, 100, 100, 0x12345678},
        {0x80FF0000, 180, 100, 100, 0x80FF0000},
        {0x00000000, 180, 100, 100, 0x00000000},
        // Lightness 0 is black with the alpha kept.
        {0x80336699, 180, 100, 0, 0x80000000},
        {0xFF336699, 0, 50, 0, 0xFF000000},
        // Saturation 0 is grey of the same lightness.
        {0xFFFF0000, 180, 0, 100, 0xFF7F7F7F},
        // A hue shift of 120 degrees moves each pure channel on by one.
        {0xFF0000FF, 300, 100, 100, 0xFF00FF00},
        {0xFF00FF00, 300, 100, 100, 0xFFFF0000},
        {0xFFFF0000, 300, 100, 100, 0xFF0000FF},
        // Shifting by a full turn (however the arithmetic wraps) keeps the colour.
        {0xFF0000FF, 900, 100, 100, 0xFF0000FF},
        // Double lightness of mid grey is white.
        {0xFF808080, 180, 100, 200, 0xFFFFFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CUIRender::AdjustColorHSL(c.dwColor, c.H, c.S, c.L), c.dwExpected)
            << std::hex << c.dwColor << std::dec << " " << c.H << "," << c.S << "," << c.L;
}

TEST(RenderToBitmap, CopiesTheControlAsPainted)
{
    CPaintManagerUI pm;
    CControlUI control;
    control.SetManager(&pm, nullptr, false);
    control.SetPos(CUIRect(10, 10, 30, 40));
    control.SetBackColor(0xFF2040C0);
    control.SetBorderColor(0xFFFF0000);
    control.SetBorderSize(1);
    const RECT rc = {10, 10, 30, 40};
    const HBITMAP hBitmap = CUIRender::RenderToBitmap(&pm, &control, rc);
    ASSERT_NE(hBitmap, nullptr);
    DIBSECTION dib = {};
    ASSERT_EQ(::GetObjectA(hBitmap, sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
    EXPECT_EQ(dib.dsBm.bmWidth, 20);
    EXPECT_EQ(std::abs(dib.dsBm.bmHeight), 30);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    const auto* pPixels = static_cast<const DWORD*>(dib.dsBm.bmBits);
    const bool bTopDown = dib.dsBmih.biHeight < 0;
    const auto pixel = [&](int x, int y) { return pPixels[(bTopDown ? y : 29 - y) * 20 + x] & 0xFFFFFF; };
    EXPECT_EQ(pixel(0, 0), 0xFF0000u);
    EXPECT_EQ(pixel(19, 29), 0xFF0000u);
    EXPECT_EQ(pixel(10, 15), 0x2040C0u);
    ::DeleteObject(hBitmap);
    EXPECT_EQ(CUIRender::RenderToBitmap(&pm, &control, {5, 5, 5, 9}), nullptr);
    EXPECT_EQ(CUIRender::RenderToBitmap(&pm, nullptr, rc), nullptr);
    control.SetManager(nullptr, nullptr, false);
}
