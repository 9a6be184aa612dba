// Labels and text controls: alignment, colours and padding drawn into memory bitmaps, attributes, sizes,
// the effect path and the links of a text control.
#include "ControlTestSupport.h"

#include "SkinUI/Control/UIAnimation.h"
#include "SkinUI/Control/UILabel.h"
#include "SkinUI/Window/UIDlgBuilder.h"

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

    // Before its manager has a window a text control still measures its text, plain or marked up.
    for (const char* pstrHtml : {"false", "true"}) {
        SCOPED_TRACE(pstrHtml);
        CPaintManagerUI windowless;
        CTextUI loose;
        loose.SetManager(&windowless, nullptr, false);
        loose.ApplyAttribute("showhtml", pstrHtml);
        loose.SetText("one two");
        const CUISize sz = loose.EstimateSize({300, 0});
        EXPECT_GT(sz.cy, 5);
        EXPECT_LT(sz.cy, 60);
        EXPECT_LT(sz.cx, 150);
    }
}

namespace {

// Pixels whose red, green and blue are all below nLevel.
int CountDark(const PaintCanvas& canvas, int nLevel)
{
    int n = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (ChannelOf(canvas.Pixel(x, y), 0) < nLevel && ChannelOf(canvas.Pixel(x, y), 1) < nLevel &&
                ChannelOf(canvas.Pixel(x, y), 2) < nLevel)
                ++n;
    return n;
}

// Mean of channel n over the changed pixels of rows [y0, y1).
double MeanChannel(const PaintCanvas& canvas, int n, int y0, int y1)
{
    double dSum = 0;
    int nCount = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < canvas.Width(); ++x)
            if (canvas.Rgb(x, y) != 0xFFFFFF) {
                dSum += ChannelOf(canvas.Pixel(x, y), n);
                ++nCount;
            }
    return nCount > 0 ? dSum / nCount : -1;
}

} // namespace

TEST_F(Label, EffectPathDrawsGradientOutlineAndShadow)
{
    pm.RegisterFont(kTestFace, 40, true, false, false);
    const char* const kBase = "enabledeffect=\"true\" text=\"MMM\" font=\"0\" transtext=\"255\" transtext1=\"255\" "
                              "textcolor=\"#FFFF0000\" ";
    struct Case
    {
        const char* name;
        std::string attributes;
        bool bGreen;     // outline pixels
        bool bDark;      // shadow pixels
        bool bBlueBelow; // the lower half bluer than the upper half
    };
    const Case cases[] = {
        {"one colour", kBase, false, false, false},
        {"gradient to blue", std::string(kBase) + "textcolor1=\"#FF0000FF\"", false, false, true},
        {"outline", std::string(kBase) + "enabledstroke=\"true\" strokecolor=\"#FF00FF00\"", true, false, false},
        {"outline colour without the switch", std::string(kBase) + "strokecolor=\"#FF00FF00\"", false, false, false},
        {"shadow",
         std::string(kBase) + "enabledshadow=\"true\" transshadow=\"255\" transshadow1=\"255\" "
                              "shadowoffset=\"3,-135\"",
         false, true, false},
        {"shadow colours both 0",
         std::string(kBase) + "enabledshadow=\"true\" transshadow=\"255\" "
                              "textshadowcolora=\"0\" textshadowcolorb=\"0\"",
         false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(200, 60);
        auto label = Make(c.attributes.c_str(), {0, 0, 200, 60});
        label->Paint(canvas.DC(), {0, 0, 200, 60});
        const RECT rc = ChangedBox(canvas);
        ASSERT_GT(rc.bottom - rc.top, 10) << "the effect text was not drawn";
        EXPECT_EQ(HasRgb(canvas, 0x00FF00), c.bGreen);
        EXPECT_EQ(CountDark(canvas, 40) > 20, c.bDark);
        const int nMid = (rc.top + rc.bottom) / 2;
        const double dBlueTop = MeanChannel(canvas, 0, rc.top, nMid) - MeanChannel(canvas, 1, rc.top, nMid);
        const double dBlueBottom = MeanChannel(canvas, 0, nMid, rc.bottom) - MeanChannel(canvas, 1, nMid, rc.bottom);
        EXPECT_EQ(dBlueBottom > dBlueTop + 30, c.bBlueBelow) << dBlueTop << " " << dBlueBottom;
    }
}

TEST_F(Label, TextLinksNotifyTheirIndexAndRepaintOnHoverChange)
{
    // A visible window so that repaint requests can be seen as its update region.
    CPaintManagerUI wpm;
    HostWindow host(wpm, HostWindow::VisiblePopup, 300, 40);
    wpm.SetBaseFont(kTestFace, 14, false, false, false);
    EventLog log;
    NotifyRecorder recorder(&log);
    wpm.RegisterNotifier(&recorder);
    CTextUI text;
    text.SetManager(&wpm, nullptr, false);
    text.ApplyAttributeList("showhtml=\"true\" text=\"<a one>AAAA</a>                    <a two>BBBB</a>\"");
    text.SetPos(CUIRect(0, 0, 300, 40));
    EXPECT_EQ(text.GetControlFlags(), 0u) << "no links before the first paint";

    PaintCanvas canvas(300, 40);
    text.Paint(canvas.DC(), {0, 0, 300, 40});
    ASSERT_NE(text.GetLinkContent(1), nullptr);
    EXPECT_EQ(*text.GetLinkContent(0), "one");
    EXPECT_EQ(*text.GetLinkContent(1), "two");
    EXPECT_EQ(text.GetLinkContent(2), nullptr);
    EXPECT_EQ(text.GetLinkContent(-1), nullptr);
    EXPECT_EQ(text.GetControlFlags(), SkinUI::CONTROL_FLAG_SETCURSOR);

    // The links are drawn in the manager's link colour: the first at the left, the second at the right.
    const RECT rcLinks = ChangedBox(canvas);
    ASSERT_GT(rcLinks.right - rcLinks.left, 100);
    const int y = (rcLinks.top + rcLinks.bottom) / 2;
    const POINT ptFirst = {rcLinks.left + 3, y}, ptSecond = {rcLinks.right - 3, y},
                ptGap = {(rcLinks.left + rcLinks.right) / 2, y};
    auto release = [&text](POINT pt) {
        InputEventUI event;
        event.nKind = SkinUI::UIEV_BUTTONUP;
        event.ptMouse = pt;
        text.HandleEvent(event);
    };
    struct Case
    {
        const char* name;
        POINT pt;
        bool bEnabled;
        EventLog expected;
    };
    const Case cases[] = {
        {"second link", ptSecond, true, {"notify:link:"}},
        {"first link", ptFirst, true, {"notify:link:"}},
        {"between the links", ptGap, true, {}},
        {"disabled", ptSecond, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        text.SetEnabled(c.bEnabled);
        log.clear();
        recorder.received.clear();
        release(c.pt);
        EXPECT_EQ(log, c.expected);
        if (!recorder.received.empty()) {
            EXPECT_EQ(recorder.received[0].wParam, c.pt.x == ptSecond.x ? 1u : 0u);
        }
    }
    text.SetEnabled(true);

    // Hover changes repaint; moves within the same link or the same gap do not.
    struct Move
    {
        POINT pt;
        bool bRepaint;
    };
    const Move moves[] = {{ptFirst, true}, {{ptFirst.x + 1, y}, false}, {ptGap, true}, {{ptGap.x + 5, y}, false}};
    for (const Move& m : moves) {
        SCOPED_TRACE(m.pt.x);
        ::ValidateRect(host.Handle(), nullptr);
        InputEventUI event;
        event.nKind = SkinUI::UIEV_MOUSEMOVE;
        event.ptMouse = m.pt;
        text.HandleEvent(event);
        EXPECT_EQ(::GetUpdateRect(host.Handle(), nullptr, FALSE) != FALSE, m.bRepaint);
    }

    // Plain text has no links, whatever an earlier paint found.
    text.SetShowHtml(false);
    text.Paint(canvas.DC(), {0, 0, 300, 40});
    EXPECT_EQ(text.GetLinkContent(0), nullptr);
    EXPECT_EQ(text.GetControlFlags(), 0u);
}

TEST(ControlTags, TheBuilderMakesEachControlByTag)
{
    struct Case
    {
        const char* tag;
        const char* className;
        const char* key; // interface key the control answers with itself
    };
    const Case cases[] = {
        {"Label", "LabelUI", "Label"},        {"Text", "TextUI", "Text"},
        {"Button", "ButtonUI", "Button"},     {"Option", "OptionUI", "Option"},
        {"CheckBox", "CheckBoxUI", "Option"}, {"FadeButton", "FadeButtonUI", "FadeButton"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        CPaintManagerUI pm;
        CSkinBuilder builder;
        const std::string sSkin = std::string("<Window><") + c.tag + " name=\"x\" text=\"hello\" font=\"3\"/></Window>";
        std::unique_ptr<CControlUI> pControl(builder.Build(sSkin.c_str(), nullptr, nullptr, &pm));
        ASSERT_NE(pControl, nullptr);
        EXPECT_EQ(pControl->GetClassName(), c.className);
        EXPECT_EQ(pControl->GetInterface(c.key), static_cast<void*>(pControl.get()));
        auto* pLabel = static_cast<CLabelUI*>(pControl->GetInterface("Label"));
        ASSERT_NE(pLabel, nullptr);
        EXPECT_EQ(pLabel->GetText(), "hello");
        EXPECT_EQ(pLabel->GetFont(), 3);
    }
}
