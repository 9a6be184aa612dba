// Labels and text controls: alignment, colours and padding drawn into memory bitmaps, attributes, sizes,
// the effect path and the links of a text control.
#include "ControlTestSupport.h"

#include "SkinUI/Control/UILabel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

bool HasRgb(const PaintCanvas& canvas, DWORD dwRgb)
{
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (canvas.Rgb(x, y) == (dwRgb & 0xFFFFFF))
                return true;
    return false;
}

class Label : public testing::Test, protected ManagedPaint
{
protected:
    // A label of the canvas's size, attached to the manager and configured by an attribute list.
    template <class T = CLabelUI>
    std::unique_ptr<T> Make(const char* pstrAttributes, const RECT& rcPos)
    {
        auto p = std::make_unique<T>();
        p->SetManager(&pm, nullptr, false);
        p->ApplyAttributeList(pstrAttributes);
        p->SetPos(rcPos);
        return p;
    }
};

} // namespace

TEST_F(Label, AlignWordsPlaceTheTextInTheRectangle)
{
    enum
    {
        Start,
        Middle,
        End
    };
    struct Case
    {
        const char* attributes;
        int h;
        int v;
    };
    const Case cases[] = {
        {"text=\"Abc\"", Start, Middle}, // the default style centres vertically on one line
        {"text=\"Abc\" align=\"left\"", Start, Start},
        {"text=\"Abc\" align=\"center\"", Middle, Middle},
        {"text=\"Abc\" align=\"vcenter\"", Middle, Middle},
        {"text=\"Abc\" align=\"right\"", End, Start},
        {"text=\"Abc\" align=\"center bottom\"", Middle, End},
        {"text=\"Abc\" align=\"right top\"", End, Start},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        PaintCanvas canvas(200, 60);
        auto label = Make(c.attributes, {0, 0, 200, 60});
        label->Paint(canvas.DC(), {0, 0, 200, 60});
        const RECT rc = ChangedBox(canvas);
        ASSERT_GT(rc.right, rc.left) << "nothing drawn";
        const int cx = (rc.left + rc.right) / 2;
        const int cy = (rc.top + rc.bottom) / 2;
        switch (c.h) {
        case Start:
            EXPECT_LE(rc.left, 3);
            break;
        case Middle:
            EXPECT_NEAR(cx, 100, 3);
            break;
        default:
            EXPECT_GE(rc.right, 196);
            break;
        }
        switch (c.v) {
        case Start:
            EXPECT_LE(rc.top, 6);
            break;
        case Middle:
            EXPECT_NEAR(cy, 30, 4);
            break;
        default:
            EXPECT_GE(rc.bottom, 55);
            break;
        }
    }
}

TEST_F(Label, TextColourFollowsStateDefaultsAndMarkup)
{
    pm.SetDefaultFontColor(0xFF00C000);
    pm.SetDisabledFontColor(0xFF808000);
    struct Case
    {
        const char* attributes;
        DWORD dwSeen;
    };
    const Case cases[] = {
        {"text=\"Abc\" textcolor=\"#FFFF0000\"", 0xFF0000},
        {"text=\"Abc\"", 0x00C000}, // the manager's default
        {"text=\"Abc\" enabled=\"false\" disabledtextcolor=\"#FF0000FF\"", 0x0000FF},
        {"text=\"Abc\" enabled=\"false\"", 0x808000},
        {"text=\"{c #FF0000FF}Abc{/c}\" showhtml=\"true\" textcolor=\"#FFFF0000\"", 0x0000FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        PaintCanvas canvas(100, 30);
        auto label = Make(c.attributes, {0, 0, 100, 30});
        label->Paint(canvas.DC(), {0, 0, 100, 30});
        EXPECT_TRUE(HasRgb(canvas, c.dwSeen));
    }

    // The default colour is copied at the first paint: a later change of the manager's does not reach it.
    PaintCanvas canvas(100, 30);
    auto label = Make("text=\"Abc\"", {0, 0, 100, 30});
    label->Paint(canvas.DC(), {0, 0, 100, 30});
    pm.SetDefaultFontColor(0xFFFF0000);
    canvas.Fill(0xFFFFFFFF);
    label->Paint(canvas.DC(), {0, 0, 100, 30});
    EXPECT_TRUE(HasRgb(canvas, 0x00C000));
    EXPECT_FALSE(HasRgb(canvas, 0xFF0000));
}

TEST_F(Label, PaddingInsetsTheTextAndALabelDrawsOneLine)
{
    PaintCanvas canvas(200, 80);
    auto label = Make("text=\"Abc\" align=\"left\" textpadding=\"30,20,0,0\"", {0, 0, 200, 80});
    label->Paint(canvas.DC(), {0, 0, 200, 80});
    RECT rc = ChangedBox(canvas);
    EXPECT_GE(rc.left, 30);
    EXPECT_LE(rc.left, 33);
    EXPECT_GE(rc.top, 20);

    // Word breaks are ignored: a long text stays on one line however narrow the label.
    canvas.Fill(0xFFFFFFFF);
    auto narrow = Make("text=\"aaa bbb ccc ddd\" align=\"left\"", {0, 0, 40, 80});
    narrow->SetTextStyle(DT_WORDBREAK);
    narrow->Paint(canvas.DC(), {0, 0, 200, 80});
    rc = ChangedBox(canvas);
    EXPECT_LT(rc.bottom - rc.top, 22);
}

TEST_F(Label, AttributesSetStyleEffectsAndShadowOffset)
{
    struct Case
    {
        const char* attributes;
        UINT uStyle;
        float fShadowX;
        float fShadowY;
    };
    const Case cases[] = {
        {"", DT_VCENTER, 0, 0},
        {"align=\"left\"", 0, 0, 0},
        {"align=\"vcenter\"", DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, 0},
        {"align=\"right\"", DT_RIGHT, 0, 0},
        {"align=\"center bottom\"", DT_CENTER | DT_BOTTOM | DT_SINGLELINE, 0, 0},
        {"endellipsis=\"true\"", DT_VCENTER | DT_END_ELLIPSIS, 0, 0},
        {"endellipsis=\"true\" endellipsis=\"false\"", DT_VCENTER, 0, 0},
        {"shadowoffset=\"2,45\"", DT_VCENTER, -2, -2},
        {"shadowoffset=\"2,-45\"", DT_VCENTER, 2, -2},
        {"shadowoffset=\"2,135\"", DT_VCENTER, -2, 2},
        {"shadowoffset=\"2,45\" shadowoffset=\"2,181\"", DT_VCENTER, -2, -2}, // out of range: kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        CLabelUI label;
        label.ApplyAttributeList(c.attributes);
        EXPECT_EQ(label.GetTextStyle(), c.uStyle);
        EXPECT_EQ(label.GetShadowOffset().X, c.fShadowX);
        EXPECT_EQ(label.GetShadowOffset().Y, c.fShadowY);
    }

    CLabelUI label;
    label.ApplyAttributeList("textcolor=\"#FF102030\" textcolor1=\"#FF405060\" strokecolor=\"FF010203\" font=\"2\" "
                             "transtext=\"100\" enabledstroke=\"true\" name=\"n\"");
    EXPECT_EQ(label.GetTextColor(), 0xFF102030u);
    EXPECT_EQ(label.GetTextColor1(), 0xFF405060u);
    EXPECT_EQ(label.GetStrokeColor(), 0xFF010203u);
    EXPECT_EQ(label.GetFont(), 2);
    EXPECT_EQ(label.GetTransText(), 100);
    EXPECT_TRUE(label.GetEnabledStroke());
    EXPECT_EQ(label.GetName(), "n"); // unknown names go to the control base
}

TEST_F(Label, EffectTextIsSeparateFromThePlainText)
{
    struct Case
    {
        const char* attributes;
        const char* pstrText; // GetText
        bool bDrawn;
    };
    const Case cases[] = {
        {"text=\"Abc\"", "Abc", true},
        {"text=\"Abc\" enabledeffect=\"true\"", "", false}, // the text went to the plain text
        {"enabledeffect=\"true\" text=\"Abc\"", "Abc", true},
        {"enabledeffect=\"true\" text=\"Abc\" textshadowcolora=\"0\" textshadowcolorb=\"0\" "
         "enabledshadow=\"true\"",
         "Abc", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        PaintCanvas canvas(100, 30);
        auto label = Make(c.attributes, {0, 0, 100, 30});
        label->SetTextColor(0xFF000000);
        EXPECT_EQ(label->GetText(), c.pstrText);
        label->Paint(canvas.DC(), {0, 0, 100, 30});
        const RECT rc = ChangedBox(canvas);
        EXPECT_EQ(rc.right > rc.left, c.bDrawn);
    }
}

TEST_F(Label, EstimatedSizeComesFromTheFontOrTheFixedSize)
{
    const int nFontHeight = pm.FontInfoByIndex(-1)->metrics.tmHeight;
    ASSERT_GT(nFontHeight, 0);
    auto label = Make("text=\"a very long text that is never measured\" width=\"40\"", {0, 0, 0, 0});
    CUISize sz = label->EstimateSize({300, 300});
    EXPECT_EQ(sz.cx, 40);
    EXPECT_EQ(sz.cy, nFontHeight + 4);
    label->SetFixedHeight(17);
    sz = label->EstimateSize({300, 300});
    EXPECT_EQ(sz.cx, 40);
    EXPECT_EQ(sz.cy, 17);

    // A text control measures its wrapped text in its column.
    auto text = Make<CTextUI>("text=\"one two three four five six seven eight nine ten\" width=\"200\"", {0, 0, 0, 0});
    const CUISize szWide = text->EstimateSize({150, 0});
    EXPECT_LE(szWide.cx, 200);
    EXPECT_GT(szWide.cx, 100);
    const int nLines = szWide.cy / nFontHeight;
    EXPECT_GE(nLines, 1);
    text->SetFixedWidth(60);
    const CUISize szNarrow = text->EstimateSize({50, 0});
    EXPECT_LE(szNarrow.cx, 60);
    EXPECT_GT(szNarrow.cy, szWide.cy);
    text->SetFixedHeight(30);
    EXPECT_EQ(text->EstimateSize({50, 0}).cy, 30);
}
