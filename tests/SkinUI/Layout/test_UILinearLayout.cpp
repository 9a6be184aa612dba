// The linear layouts: sharing the size along the axis, placement across it, and the splitter drag. The
// sizing cases are written along the stacking axis and run through both layouts.
#include "SkinUI/Layout/UILinearLayout.h"

#include "UITestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

std::unique_ptr<CLinearLayoutUI> MakeLayout(bool bVertical)
{
    if (bVertical)
        return std::make_unique<CVerticalLayoutUI>();
    return std::make_unique<CHorizontalLayoutUI>();
}

// A child described along the stacking axis.
struct ChildShape
{
    int nSize = 0; // 0: takes a share of the space left
    int nMin = 0;
    int nMax = 9999;
    int nBefore = 0; // padding on the near side
    int nAfter = 0;  // padding on the far side
    bool bHidden = false;
    bool bFloat = false;
};

struct SizingCase
{
    const char* pstrName;
    int nLength;
    int nChildPadding;
    std::vector<ChildShape> children;
    // Offset of each shown child's rectangle from the layout's near edge, and its length.
    std::vector<std::pair<int, int>> expected;
};

ChildShape Fixed(int n)
{
    ChildShape c;
    c.nSize = n;
    return c;
}

ChildShape Stretch()
{
    return ChildShape();
}

} // namespace

TEST(LinearLayoutSizing, FixedChildrenKeepTheirSizeAndTheRestIsShared)
{
    ChildShape cappedAt30 = Stretch();
    cappedAt30.nMax = 30;
    ChildShape paddedAfter = Fixed(20);
    paddedAfter.nAfter = 5;
    ChildShape raisedToMin = Fixed(10);
    raisedToMin.nMin = 20;
    ChildShape maxWinsConflict = Stretch();
    maxWinsConflict.nMin = 50;
    maxWinsConflict.nMax = 40;
    ChildShape hidden = Fixed(50);
    hidden.bHidden = true;
    ChildShape floating = Fixed(50);
    floating.bFloat = true;

    const SizingCase cases[] = {
        {"40 and 60 and one stretching child in 300",
         300,
         0,
         {Fixed(40), Fixed(60), Stretch()},
         {{0, 40}, {40, 60}, {100, 200}}},
        {"two stretching children share 101 as 50 and 51", 101, 0, {Stretch(), Stretch()}, {{0, 50}, {50, 51}}},
        {"a stretching child stops at its maximum; the rest stays empty",
         300,
         0,
         {cappedAt30, Fixed(10)},
         {{0, 30}, {30, 10}}},
        {"the gap between children counts as fixed space", 200, 10, {Fixed(50), Stretch()}, {{0, 50}, {60, 130}}},
        {"the far padding lies inside the child's rectangle", 100, 0, {paddedAfter, Fixed(10)}, {{0, 25}, {25, 10}}},
        {"minimum raises, maximum wins a conflict", 300, 0, {raisedToMin, maxWinsConflict}, {{0, 20}, {20, 40}}},
        {"hidden and floating children take no space",
         100,
         0,
         {Fixed(40), hidden, floating, Stretch()},
         {{0, 40}, {40, 60}}},
        {"no room left: a stretching child gets nothing", 50, 0, {Fixed(80), Stretch()}, {{0, 80}, {80, 0}}},
    };

    for (const bool bVertical : {true, false}) {
        for (const SizingCase& c : cases) {
            SCOPED_TRACE(std::string(bVertical ? "vertical: " : "horizontal: ") + c.pstrName);
            auto pLayout = MakeLayout(bVertical);
            pLayout->SetChildPadding(c.nChildPadding);
            std::vector<CControlUI*> shown;
            for (const ChildShape& shape : c.children) {
                auto* p = new CControlUI;
                if (bVertical) {
                    p->SetFixedHeight(shape.nSize);
                    p->SetMinHeight(shape.nMin);
                    p->SetMaxHeight(shape.nMax);
                    p->SetPadding(CUIRect(0, shape.nBefore, 0, shape.nAfter));
                } else {
                    p->SetFixedWidth(shape.nSize);
                    p->SetMinWidth(shape.nMin);
                    p->SetMaxWidth(shape.nMax);
                    p->SetPadding(CUIRect(shape.nBefore, 0, shape.nAfter, 0));
                }
                p->SetFloat(shape.bFloat);
                p->SetVisible(!shape.bHidden);
                pLayout->AddItem(p);
                if (!shape.bHidden && !shape.bFloat)
                    shown.push_back(p);
            }
            // The layout sits at (10, 20), 50 across the axis.
            pLayout->SetPos(bVertical ? CUIRect(10, 20, 60, 20 + c.nLength) : CUIRect(10, 20, 10 + c.nLength, 70));
            ASSERT_EQ(shown.size(), c.expected.size());
            for (size_t i = 0; i < shown.size(); ++i) {
                const CUIRect rc = shown[i]->GetPos();
                const int nStart = bVertical ? rc.top - 20 : rc.left - 10;
                const int nLength = bVertical ? rc.Height() : rc.Width();
                EXPECT_EQ(nStart, c.expected[i].first) << "child " << i;
                EXPECT_EQ(nLength, c.expected[i].second) << "child " << i;
                // Across the axis every child here fills the layout.
                EXPECT_EQ(bVertical ? rc.left : rc.top, bVertical ? 10 : 20) << "child " << i;
                EXPECT_EQ(bVertical ? rc.Width() : rc.Height(), 50) << "child " << i;
            }
        }
    }
}

TEST(LinearLayoutSizing, AcrossTheAxisChildrenAreFixedOrFillLessTheirPaddingAtTheNearEdge)
{
    CVerticalLayoutUI layout;
    layout.SetInset(CUIRect(2, 3, 4, 5));
    auto* pFixed = new CControlUI;
    pFixed->SetFixedWidth(30);
    auto* pPadded = new CControlUI;
    pPadded->SetPadding(CUIRect(5, 0, 7, 0));
    auto* pWide = new CControlUI;
    pWide->SetFixedWidth(10);
    pWide->SetMinWidth(120);
    auto* pNarrow = new CControlUI;
    pNarrow->SetMaxWidth(20);
    auto* pFloat = new CControlUI;
    pFloat->SetFloat(true);
    pFloat->SetFixedXY(CUISize(-10, 5));
    pFloat->SetFixedWidth(30);
    pFloat->SetFixedHeight(20);
    for (CControlUI* p : {pFixed, pPadded, pWide, pNarrow, pFloat}) {
        if (p != pFloat)
            p->SetFixedHeight(10);
        layout.AddItem(p);
    }
    layout.SetPos(CUIRect(100, 100, 300, 200));
    EXPECT_EQ(RectText(pFixed->GetPos()), "102,103,132,113");
    EXPECT_EQ(RectText(pPadded->GetPos()), "107,113,289,123"); // 194 less 5 and 7
    EXPECT_EQ(RectText(pWide->GetPos()), "102,123,222,133");
    EXPECT_EQ(RectText(pNarrow->GetPos()), "102,133,122,143");
    EXPECT_EQ(RectText(pFloat->GetPos()), "260,105,290,125"); // floating: by its offset, whatever the inset
}

TEST(LinearLayoutSizing, AbsurdSizesNeitherWrapNorCrash)
{
    for (const bool bVertical : {true, false}) {
        auto pLayout = MakeLayout(bVertical);
        pLayout->SetChildPadding(INT_MAX);
        for (int i = 0; i < 3; ++i) {
            auto* p = new CControlUI;
            p->ApplyAttributeList("maxwidth=\"2147483647\" maxheight=\"2147483647\" width=\"2147483647\" "
                                  "height=\"99999999999\" padding=\"2147483647,2147483647,2147483647,2147483647\"");
            pLayout->AddItem(p);
        }
        pLayout->AddItem(new CControlUI);
        pLayout->SetPos(CUIRect(0, 0, 100, 100));
        int nLastStart = INT_MIN;
        for (int i = 0; i < pLayout->ItemCount(); ++i) {
            const CUIRect rc = pLayout->ItemAt(i)->GetPos();
            EXPECT_GE(rc.right, rc.left);
            EXPECT_GE(rc.bottom, rc.top);
            const int nStart = bVertical ? rc.top : rc.left;
            EXPECT_GE(nStart, nLastStart) << "children never wrap back before their predecessors";
            nLastStart = nStart;
        }
    }
}

// ---- Splitter ----

TEST(LinearLayoutSplitter, ThumbLiesOnTheChosenEdge)
{
    struct Case
    {
        bool bVertical;
        int nSep;
        const char* expected;
    };
    const Case cases[] = {
        {false, 4, "96,0,100,200"},     {false, -4, "0,0,4,200"},   {true, 4, "0,196,100,200"},
        {true, -4, "0,0,100,4"},        {true, 300, "0,0,100,200"}, // the vertical splitter stays inside the layout
        {false, 300, "-200,0,100,200"},                             // the horizontal one is not limited
    };
    for (const Case& c : cases) {
        auto pLayout = MakeLayout(c.bVertical);
        pLayout->ApplyAttribute(c.bVertical ? "sepheight" : "sepwidth", std::to_string(c.nSep).c_str());
        pLayout->SetPos(CUIRect(0, 0, 100, 200));
        EXPECT_EQ(RectText(pLayout->GetThumbRect(false)), c.expected) << c.bVertical << " " << c.nSep;
        EXPECT_EQ(pLayout->GetControlFlags(), CONTROL_FLAG_SETCURSOR);
        pLayout->SetEnabled(false);
        EXPECT_EQ(pLayout->GetControlFlags(), 0u);
    }
    CVerticalLayoutUI plain;
    EXPECT_EQ(plain.GetControlFlags(), 0u);
}

namespace {

struct DragFixture
{
    CPaintManagerUI pm;
    HostWindow host{pm};
    CContainerUI* root = new CContainerUI;
    CLinearLayoutUI* layout = nullptr;
    bool bVertical;

    DragFixture(bool bVerticalLayout, int nSep, bool bImmediate = false) : bVertical(bVerticalLayout)
    {
        pm.SetRootControl(root);
        auto p = MakeLayout(bVertical);
        layout = p.get();
        root->AddItem(p.release());
        layout->ApplyAttribute(bVertical ? "sepheight" : "sepwidth", std::to_string(nSep).c_str());
        layout->SetSepImmMode(bImmediate);
        layout->ApplyAttributeList(bVertical ? "minheight=\"50\" maxheight=\"150\""
                                             : "minwidth=\"50\" maxwidth=\"150\"");
        layout->SetPos(bVertical ? CUIRect(0, 0, 200, 100) : CUIRect(0, 0, 100, 200));
    }
    void Send(int nKind, int nAlong)
    {
        InputEventUI event;
        event.nKind = nKind;
        event.ptMouse = bVertical ? POINT{10, nAlong} : POINT{nAlong, 10};
        layout->HandleEvent(event);
    }
    int Length(const RECT& rc) const { return bVertical ? rc.bottom - rc.top : rc.right - rc.left; }
    int FixedLength() const { return bVertical ? layout->GetFixedHeight() : layout->GetFixedWidth(); }
};

} // namespace

TEST(LinearLayoutSplitter, DragFollowsThePointerWithinTheLimitsAndIgnoresItBehindTheSplitter)
{
    // Pressed 2 pixels before the far edge (100): the edge stays 2 pixels beyond the pointer.
    struct Step
    {
        int nPointer;
        int nLength;
    };
    const Step steps[] = {
        {99, 101},                      // a move inside the splitter already counts
        {110, 112}, {80, 82}, {20, 50}, // stops at the minimum
        {10, 50},                       // already at the minimum
        {30, 50},                       // moving forward while behind the splitter: ignored
        {300, 150},                     // stops at the maximum
    };
    for (const bool bVertical : {true, false}) {
        SCOPED_TRACE(bVertical ? "vertical" : "horizontal");
        DragFixture f(bVertical, 4);
        f.Send(UIEV_BUTTONDOWN, 98);
        EXPECT_EQ(f.pm.CountPostPaintControls(), 1); // previewed over the window
        for (const Step& s : steps) {
            f.Send(UIEV_MOUSEMOVE, s.nPointer);
            EXPECT_EQ(f.FixedLength(), s.nLength) << "pointer at " << s.nPointer;
            EXPECT_EQ(f.Length(f.layout->GetPos()), 100) << "a preview leaves the layout as it is";
        }
        f.Send(UIEV_BUTTONUP, 300);
        EXPECT_EQ(f.Length(f.layout->GetPos()), 150);
        EXPECT_EQ(f.pm.CountPostPaintControls(), 0);
        f.Send(UIEV_MOUSEMOVE, 50); // no drag any more
        EXPECT_EQ(f.FixedLength(), 150);
    }
}

TEST(LinearLayoutSplitter, NearEdgeSplitterAndImmediateMode)
{
    for (const bool bVertical : {true, false}) {
        SCOPED_TRACE(bVertical ? "vertical" : "horizontal");
        DragFixture f(bVertical, -4, true);
        f.Send(UIEV_BUTTONDOWN, 1);
        EXPECT_EQ(f.pm.CountPostPaintControls(), 0); // immediate mode needs no preview
        f.Send(UIEV_MOUSEMOVE, -9);
        EXPECT_EQ(RectText(f.layout->GetPos()), bVertical ? "0,-10,200,100" : "-10,0,100,200"); // applied at once
        f.Send(UIEV_MOUSEMOVE, -20);
        f.Send(UIEV_MOUSEMOVE, 30);
        EXPECT_EQ(f.FixedLength(), 71);
        f.Send(UIEV_MOUSEMOVE, 200); // beyond the minimum
        EXPECT_EQ(f.FixedLength(), 50);
        f.Send(UIEV_BUTTONUP, 200);
    }
}

TEST(LinearLayoutSplitter, LayoutLeavesTheOverlayListWhenItsDragEndsAnyWay)
{
    DragFixture f(false, 4);
    f.Send(UIEV_BUTTONDOWN, 98);
    f.Send(UIEV_BUTTONDOWN, 98); // a second press without a release
    EXPECT_EQ(f.pm.CountPostPaintControls(), 1);
    f.layout->SetSepImmMode(true); // switching to immediate mode ends the preview
    EXPECT_EQ(f.pm.CountPostPaintControls(), 0);
    f.layout->SetSepImmMode(false);

    DragFixture g(true, 4);
    g.Send(UIEV_BUTTONDOWN, 98);
    ASSERT_EQ(g.pm.CountPostPaintControls(), 1);
    g.root->RemoveAllItems(); // the layout is deleted in the middle of its drag
    HostWindow::Pump();
    EXPECT_EQ(g.pm.CountPostPaintControls(), 0);
}

TEST(LinearLayoutSplitter, PressOutsideTheSplitterIsLeftToTheContainer)
{
    DragFixture f(false, 4);
    f.Send(UIEV_BUTTONDOWN, 50);
    EXPECT_EQ(f.pm.CountPostPaintControls(), 0);
    f.Send(UIEV_MOUSEMOVE, 120);
    EXPECT_EQ(f.FixedLength(), 0);
}
