// Plain and marked-up text, drawn black on white into memory bitmaps and measured.
#include "PaintCanvas.h"
#include "SkinImages.h"

#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

const char* const kFace = "微软雅黑";

class MarkupText : public testing::Test
{
protected:
    MarkupText() { pm.SetBaseFont(kFace, 14, false, false, false); }

    HFONT Font(int nSize, bool bBold = false, bool bUnderline = false) const
    {
        return pm.FindFontHandle(kFace, nSize, bBold, bUnderline, false);
    }
    HFONT BaseFont() { return pm.GetBaseFont()->handle; }
    int Width(HFONT hFont, const char* pstr) const
    {
        const HDC hDC = ::CreateCompatibleDC(nullptr);
        const HGDIOBJ hOld = ::SelectObject(hDC, hFont);
        SIZE sz = {};
        ::GetTextExtentPoint32A(hDC, pstr, static_cast<int>(std::strlen(pstr)), &sz);
        ::SelectObject(hDC, hOld);
        ::DeleteDC(hDC);
        return sz.cx;
    }
    int LineHeight()
    {
        const HDC hDC = ::CreateCompatibleDC(nullptr);
        const HGDIOBJ hOld = ::SelectObject(hDC, BaseFont());
        TEXTMETRICA tm = {};
        ::GetTextMetricsA(hDC, &tm);
        ::SelectObject(hDC, hOld);
        ::DeleteDC(hDC);
        return tm.tmHeight + tm.tmExternalLeading;
    }
    RECT Measure(const char* pstrText, UINT uStyle = 0, int cx = 9999)
    {
        PaintCanvas canvas(4, 4);
        RECT rc = {0, 0, cx, 100};
        int nLinks = 0;
        CUIRender::PaintMarkupText(canvas.DC(), &pm, rc, pstrText, 0xFF000000, nullptr, nullptr, nLinks,
                                   uStyle | DT_CALCRECT);
        return rc;
    }
    void Draw(PaintCanvas& canvas, RECT rc, const char* pstrText, UINT uStyle = 0, RECT* prcLinks = nullptr,
              CUIString* psLinks = nullptr, int* pnLinks = nullptr)
    {
        int nLinks = 0;
        CUIRender::PaintMarkupText(canvas.DC(), &pm, rc, pstrText, 0xFF000000, prcLinks, psLinks,
                                   pnLinks != nullptr ? *pnLinks : nLinks, uStyle);
    }

    CPaintManagerUI pm;
};

bool Inked(const PaintCanvas& canvas, int x, int y)
{
    return ChannelOf(canvas.Pixel(x, y), 1) < 128;
}

// The lowest row with ink in columns [x0, x1), or -1.
int InkBottom(const PaintCanvas& canvas, int x0, int x1)
{
    for (int y = canvas.Height() - 1; y >= 0; --y)
        for (int x = x0; x < x1; ++x)
            if (Inked(canvas, x, y))
                return y;
    return -1;
}

int InkRight(const PaintCanvas& canvas)
{
    for (int x = canvas.Width() - 1; x >= 0; --x)
        for (int y = 0; y < canvas.Height(); ++y)
            if (Inked(canvas, x, y))
                return x;
    return -1;
}

} // namespace

TEST_F(MarkupText, RunsInOtherFontsShareTheBaseline)
{
    // Text sits at the bottom of its line, whatever sets the line's height.
    const char* const cases[] = {"A<b>ab</b>cd", "A{b}ab{/b}cd", "<y 40>A<b>ab</b>cd"};
    for (const char* pstrText : cases) {
        SCOPED_TRACE(pstrText);
        PaintCanvas canvas(300, 80);
        Draw(canvas, {5, 5, 295, 75}, pstrText);
        const HFONT hBold = Font(14, true);
        ASSERT_NE(hBold, nullptr);
        const int x1 = 5 + Width(BaseFont(), "A");
        const int x2 = x1 + Width(hBold, "ab");
        const int x3 = x2 + Width(BaseFont(), "cd");
        const int nBaseline = InkBottom(canvas, 5, x1);
        ASSERT_GT(nBaseline, 5);
        EXPECT_NEAR(InkBottom(canvas, x1, x2), nBaseline, 1);
        EXPECT_NEAR(InkBottom(canvas, x2, x3), nBaseline, 1);
        EXPECT_LE(InkRight(canvas), x3);
        if (std::strncmp(pstrText, "<y 40>", 6) == 0) {
            EXPECT_GT(nBaseline, 5 + 40 - LineHeight());
        }
    }
}

TEST_F(MarkupText, LinksAreRecordedPerLineUpToTheCapacity)
{
    const int nLine = LineHeight();
    // One link on one line.
    {
        PaintCanvas canvas(300, 40);
        RECT rcLinks[2] = {};
        CUIString sLinks[2];
        int nLinks = 2;
        Draw(canvas, {5, 5, 295, 35}, "go <a id1>link</a> now", 0, rcLinks, sLinks, &nLinks);
        ASSERT_EQ(nLinks, 1);
        EXPECT_STREQ(sLinks[0], "id1");
        const int xStart = 5 + Width(BaseFont(), "go") + Width(BaseFont(), " ");
        EXPECT_EQ(rcLinks[0].left, xStart);
        EXPECT_EQ(rcLinks[0].top, 5);
        EXPECT_NEAR(rcLinks[0].right, xStart + Width(Font(14, false, true), "link"), 1);
        EXPECT_EQ(rcLinks[0].bottom, 5 + nLine);
    }
    // Capacity 1 keeps the first of two links; capacity 0 (and no arrays) keeps none.
    {
        PaintCanvas canvas(300, 40);
        RECT rcLink = {};
        CUIString sLink;
        int nLinks = 1;
        Draw(canvas, {5, 5, 295, 35}, "<a x>one</a> and <a y>two</a>", 0, &rcLink, &sLink, &nLinks);
        EXPECT_EQ(nLinks, 1);
        EXPECT_STREQ(sLink, "x");
        nLinks = 0;
        Draw(canvas, {5, 5, 295, 35}, "<a x>one</a>", 0, nullptr, nullptr, &nLinks);
        EXPECT_EQ(nLinks, 0);
    }
    // A link that wraps gives one rectangle per line, both with its text.
    {
        const int cx = Width(Font(14, false, true), "aaaa") + Width(Font(14, false, true), " ") + 3;
        PaintCanvas canvas(cx + 10, 80);
        RECT rcLinks[4] = {};
        CUIString sLinks[4];
        int nLinks = 4;
        Draw(canvas, {0, 0, cx, 80}, "<a id2>aaaa bbbb</a>", DT_WORDBREAK, rcLinks, sLinks, &nLinks);
        ASSERT_EQ(nLinks, 2);
        EXPECT_STREQ(sLinks[0], "id2");
        EXPECT_STREQ(sLinks[1], "id2");
        EXPECT_EQ(rcLinks[0].top, 0);
        EXPECT_EQ(rcLinks[1].top, nLine);
        EXPECT_EQ(rcLinks[1].left, 0);
        EXPECT_LE(rcLinks[0].right, cx);
    }
}

TEST_F(MarkupText, MeasuringFollowsTagsEscapesAndBreaks)
{
    const int nLine = LineHeight();
    struct Case
    {
        const char* text;
        UINT uStyle;
        const char* plain; // the characters laid out, in the base font, on one line
        int cxExtra;
        int nLines;
        int cyExtra;
    };
    const Case cases[] = {
        {"Hello", 0, "Hello", 0, 1, 0},
        {"<r><b>x</b></r>", 0, "<b>x</b>", 0, 1, 0}, // raw text shows its tags
        {"{r}<b>x{/r}", 0, "<b>x", 0, 1, 0},
        {"<{>", 0, "{", 0, 1, 0},
        {"a<}>b{<}c{>}", 0, "a}b<c>", 0, 1, 0},
        {"a<x 10>b", 0, "ab", 10, 1, 0},
        {"<c #FF0000>red</c> <c 00FF00>green</c>", 0, "red green", 0, 1, 0},
        {"a<n>b", 0, "a", 0, 2, 0},
        {"a<n>b", DT_SINGLELINE, "ab", 0, 1, 0},
        {"a\nbc", 0, "bc", 0, 2, 0},
        {"<p 6>a</p>a", 0, "a", 0, 2, 6},
        {"<y 40>a", 0, "a", 0, 0, 40},
        {"a<i>", 0, "a", 0, 1, 0}, // an open tag at the end changes nothing drawn
        {"<b", 0, "<b", 0, 1, 0},  // not a tag: no closing bracket and no space
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const RECT rc = Measure(c.text, c.uStyle);
        EXPECT_EQ(rc.left, 0);
        EXPECT_EQ(rc.top, 0);
        EXPECT_NEAR(rc.right, Width(BaseFont(), c.plain) + c.cxExtra, 1);
        EXPECT_EQ(rc.bottom, c.nLines * nLine + c.cyExtra);
    }
    // Measuring draws nothing.
    PaintCanvas canvas(100, 40);
    RECT rc = {0, 0, 100, 40};
    int nLinks = 0;
    CUIRender::PaintMarkupText(canvas.DC(), &pm, rc, "<b>Hello</b>", 0xFF000000, nullptr, nullptr, nLinks, DT_CALCRECT);
    EXPECT_TRUE(canvas.AllRgb({0, 0, 100, 40}, 0xFFFFFF));
}

TEST_F(MarkupText, LongTextWrapsAtWordsOrEndsInAnEllipsis)
{
    const int nLine = LineHeight();
    // Word wrap: the third word goes to a second line; no line is wider than the rectangle.
    {
        const int cx = Width(BaseFont(), "aaa bbb") + 2;
        const RECT rc = Measure("aaa bbb ccc", DT_WORDBREAK, cx);
        EXPECT_EQ(rc.bottom, 2 * nLine);
        EXPECT_LE(rc.right, cx);
        // A word that fits on a line of its own moves there whole instead of being split.
        const RECT rcWords = Measure("aaa bbbbb", DT_WORDBREAK, Width(BaseFont(), "aaa bbb"));
        EXPECT_EQ(rcWords.bottom, 2 * nLine);
        EXPECT_EQ(rcWords.right,
                  std::max(Width(BaseFont(), "aaa") + Width(BaseFont(), " "), Width(BaseFont(), "bbbbb")));
        // A word wider than the line is cut where the line ends.
        EXPECT_EQ(Measure("aaa bbbbbbbbbbbb", DT_WORDBREAK, Width(BaseFont(), "aaa bbb")).bottom, 3 * nLine);
    }
    // Single line with an ellipsis: the text stops inside the rectangle, and its end is three dots (ink on
    // the baseline only), where the letters alone would fill the whole height.
    {
        const char* pstrText = "WWWWWWWWWWWWWWWWWWWWWWWWWWWW";
        const int cxDots = Width(BaseFont(), "...");
        PaintCanvas dotted(120, 30);
        Draw(dotted, {0, 0, 80, 30}, pstrText, DT_SINGLELINE | DT_END_ELLIPSIS);
        PaintCanvas cut(120, 30);
        Draw(cut, {0, 0, 80, 30}, pstrText, DT_SINGLELINE);
        const int xRight = InkRight(dotted);
        ASSERT_GT(xRight, 40);
        EXPECT_LT(xRight, 80);
        const int nBaseline = InkBottom(dotted, 0, 80);
        const auto inkAbove = [&](const PaintCanvas& canvas, int x0, int x1, int yLimit) {
            for (int y = 0; y < yLimit; ++y)
                for (int x = x0; x < x1; ++x)
                    if (Inked(canvas, x, y))
                        return true;
            return false;
        };
        EXPECT_FALSE(inkAbove(dotted, xRight - cxDots + 3, xRight + 1, nBaseline - 4));
        EXPECT_TRUE(inkAbove(cut, 80 - cxDots, 80, nBaseline - 4));
        EXPECT_GE(InkRight(cut), 77); // without the ellipsis the last letter is cut by the edge
    }
}

TEST_F(MarkupText, ColoursSelectionAndAlignment)
{
    // "#" or not, the digits are the colour; six digits give alpha 0, which text ignores.
    PaintCanvas hash(120, 30);
    PaintCanvas bare(120, 30);
    Draw(hash, {0, 0, 120, 30}, "<c #FF0000>WW</c>WW");
    Draw(bare, {0, 0, 120, 30}, "<c FF0000>WW</c>WW");
    bool bRed = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            ASSERT_EQ(hash.Rgb(x, y), bare.Rgb(x, y)) << x << "," << y;
            const DWORD dw = hash.Pixel(x, y);
            bRed = bRed || (ChannelOf(dw, 2) > 200 && ChannelOf(dw, 1) < 60);
        }
    EXPECT_TRUE(bRed);
    // The second half is in the default colour (black).
    EXPECT_EQ(InkBottom(hash, Width(BaseFont(), "WW") + 1, 120) > 0, true);

    // Selected text gets an opaque background in the manager's selection colour.
    pm.SetSelectedColor(0xFF00FF00);
    PaintCanvas selected(120, 30);
    Draw(selected, {0, 0, 120, 30}, "<s>ab</s>cc");
    EXPECT_EQ(selected.Rgb(1, 1), 0x00FF00u);
    EXPECT_EQ(selected.Rgb(Width(BaseFont(), "abc"), 1), 0xFFFFFFu);

    // Single-line centring and vertical centring move the text into the middle of the rectangle.
    PaintCanvas centred(200, 60);
    Draw(centred, {0, 0, 200, 60}, "<b>W</b>W", DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    const int cx = Width(Font(14, true), "W") + Width(BaseFont(), "W");
    const int xLeft = 100 - cx / 2;
    EXPECT_EQ(InkBottom(centred, 0, xLeft - 1), -1);
    EXPECT_EQ(InkBottom(centred, xLeft + cx + 1, 200), -1);
    const int nBottom = InkBottom(centred, 0, 200);
    EXPECT_GT(nBottom, 30);
    EXPECT_LT(nBottom, 30 + LineHeight() / 2 + 2);

    // Wrapping text centres each line as a whole, its link with it.
    PaintCanvas wrapped(200, 60);
    RECT rcLink = {};
    CUIString sLink;
    int nLinks = 1;
    Draw(wrapped, {0, 0, 200, 60}, "<a x>WW</a> WW", DT_CENTER | DT_WORDBREAK, &rcLink, &sLink, &nLinks);
    const int cxLine = Width(Font(14, false, true), "WW") + Width(BaseFont(), " WW");
    ASSERT_EQ(nLinks, 1);
    EXPECT_EQ(rcLink.left, (200 - cxLine) / 2);
    EXPECT_EQ(InkBottom(wrapped, 0, rcLink.left - 1), -1);
    EXPECT_GE(InkBottom(wrapped, rcLink.left, rcLink.left + 3), 0);
    EXPECT_NEAR(InkRight(wrapped), rcLink.left + cxLine - 1, 2);
}

TEST_F(MarkupText, PlainTextAndMeasuring)
{
    PaintCanvas canvas(120, 30);
    CUIRender::DrawPlainText(canvas.DC(), &pm, {0, 0, 120, 30}, "&Wide", 0xFF0000FF, -1, DT_SINGLELINE);
    bool bBlue = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x)
            bBlue = bBlue || (ChannelOf(canvas.Pixel(x, y), 0) > 200 && ChannelOf(canvas.Pixel(x, y), 2) < 60);
    EXPECT_TRUE(bBlue);
    // No prefix processing: the ampersand is drawn, so the text is as wide as "&Wide".
    EXPECT_NEAR(InkRight(canvas), Width(BaseFont(), "&Wide"), 2);

    const SIZE sz = CUIRender::MeasureText(canvas.DC(), &pm, "Hello", -1);
    EXPECT_EQ(sz.cx, Width(BaseFont(), "Hello"));
    EXPECT_GT(sz.cy, 0);
    const SIZE szNone = CUIRender::MeasureText(canvas.DC(), nullptr, "Hello", -1);
    EXPECT_EQ(szNone.cx, 0);
    EXPECT_EQ(szNone.cy, 0);
    PaintCanvas untouched(20, 20);
    CUIRender::DrawPlainText(untouched.DC(), nullptr, {0, 0, 20, 20}, "W", 0xFF000000, -1, 0);
    CUIRender::DrawPlainText(untouched.DC(), &pm, {0, 0, 20, 20}, nullptr, 0xFF000000, -1, 0);
    EXPECT_TRUE(untouched.AllRgb({0, 0, 20, 20}, 0xFFFFFF));
}

TEST_F(MarkupText, InlineImagesTakeTheirCellAndGrowTheLine)
{
    SkinImages images;
    // grid.png is 30 x 30: in three cells, cell 1 is its columns 10 to 19; the line grows to 30 pixels.
    const RECT rc = Measure("a<i grid.png 3 1>b");
    EXPECT_EQ(rc.right, Width(BaseFont(), "a") + 10 + Width(BaseFont(), "b"));
    EXPECT_EQ(rc.bottom, 30);
    PaintCanvas canvas(100, 40);
    Draw(canvas, {0, 0, 100, 40}, "a<i grid.png 3 1>b");
    const int x = Width(BaseFont(), "a");
    EXPECT_EQ(canvas.Rgb(x, 0), GridColor(10, 0));
    EXPECT_EQ(canvas.Rgb(x + 9, 29), GridColor(19, 29));
    // The image-string form; a missing image is left out.
    PaintCanvas named(100, 40);
    Draw(named, {0, 0, 100, 40}, "<i file='bk.png'><i missing.png>");
    // bk.png is 4 pixels high, lower than the line: it is centred in the line.
    const int y = (LineHeight() - 4) / 2;
    EXPECT_EQ(named.Rgb(0, y), kBkColor);
    EXPECT_EQ(named.Rgb(3, y + 3), kBkColor);
    EXPECT_EQ(named.Rgb(4, y + 3), 0xFFFFFFu);
    EXPECT_EQ(named.Rgb(0, y - 1), 0xFFFFFFu);
    // An image that does not fit after other text goes to the next line.
    const RECT rcWrapped = Measure("aaaa<i grid.png>", 0, Width(BaseFont(), "aaaa") + 10);
    EXPECT_EQ(rcWrapped.bottom, LineHeight() + 30);
}
