// The scroll bar: where its parts lie, clamping, presses, thumb drags and repeats on its timer, forwarding
// to an owning container, and the outlines it paints when it has no images.
#include "SkinUI/Core/UIScrollBar.h"
#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Layout/UILinearLayout.h"

#include "PaintCanvas.h"
#include "ResourceTestSupport.h"
#include "UITestSupport.h"
#include "WindowTestSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// A rectangle relative to an origin, as text.
std::string Rel(const RECT& rc, int x, int y)
{
    RECT r = rc;
    ::OffsetRect(&r, -x, -y);
    return RectText(r);
}

// An ownerless bar as the root of a manager on a message-only window, with its notifications recorded.
struct AttachedBar
{
    CPaintManagerUI pm;
    HostWindow host{pm};
    EventLog log;
    NotifyRecorder notes{&log};
    CScrollBarUI* bar = new CScrollBarUI;
    AttachedBar(int cy, int nRange, int nPos)
    {
        pm.SetRootControl(bar);
        pm.RegisterNotifier(&notes);
        bar->SetScrollRange(nRange);
        bar->SetScrollPos(nPos);
        bar->SetPos(CUIRect(0, 0, 16, cy));
    }
    void Send(int nKind, int x, int y, WPARAM wParam = 0)
    {
        InputEventUI event;
        event.nKind = nKind;
        event.pSender = bar;
        event.ptMouse = POINT{x, y};
        event.wParam = wParam;
        bar->DeliverEvent(event);
    }
    void Tick() { Send(UIEV_TIMER, 0, 0, CScrollBarUI::kTimerId); }
    int Scrolls() const
    {
        int n = 0;
        for (const std::string& s : log)
            n += s.rfind("notify:scroll:", 0) == 0 ? 1 : 0;
        return n;
    }
};

} // namespace

TEST(ScrollBarGeometry, ButtonsAndThumbFollowLengthRangeAndPosition)
{
    struct Case
    {
        const char* pstrWhat;
        bool bHorizontal;
        int nLength;
        int nRange;
        int nPos;
        bool bShowButton1;
        const char* pstrButton1;
        const char* pstrButton2;
        const char* pstrThumb;
    };
    const Case cases[] = {
        {"top", false, 200, 100, 0, true, "0,0,16,16", "0,184,16,200", "0,16,16,128"},
        {"bottom", false, 200, 100, 100, true, "0,0,16,16", "0,184,16,200", "0,72,16,184"},
        {"middle", false, 200, 100, 50, true, "0,0,16,16", "0,184,16,200", "0,44,16,156"},
        {"range 0 fills the track", false, 200, 0, 0, true, "0,0,16,16", "0,184,16,200", "0,16,16,184"},
        {"no room for a thumb", false, 40, 100, 0, true, "0,0,16,16", "0,24,16,40", "-10,-20,-10,-20"},
        {"buttons share a short bar", false, 20, 100, 0, true, "0,0,16,10", "0,10,16,20", "-10,-20,-10,-20"},
        {"horizontal", true, 200, 100, 100, true, "0,0,16,16", "184,0,200,16", "72,0,184,16"},
        {"hidden first button", false, 200, 100, 0, false, "0,0,0,0", "0,184,16,200", "0,0,16,122"},
        // Absurd ranges neither overflow nor leave the track: the thumb keeps the bar's thickness.
        {"huge range at the end", false, 200, INT_MAX, INT_MAX, true, "0,0,16,16", "0,184,16,200", "0,168,16,184"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        CScrollBarUI bar;
        bar.SetHorizontal(c.bHorizontal);
        bar.SetShowButton1(c.bShowButton1);
        bar.SetScrollRange(c.nRange);
        bar.SetScrollPos(c.nPos);
        // Placed away from the origin so that absolute and relative coordinates cannot be confused.
        const int x = 10, y = 20;
        bar.SetPos(c.bHorizontal ? CUIRect(x, y, x + c.nLength, y + 16) : CUIRect(x, y, x + 16, y + c.nLength));
        EXPECT_EQ(Rel(bar.GetButton1Rect(), x, y), c.pstrButton1);
        EXPECT_EQ(Rel(bar.GetButton2Rect(), x, y), c.pstrButton2);
        EXPECT_EQ(Rel(bar.GetThumbRect(), x, y), c.pstrThumb);
    }
}

TEST(ScrollBarValues, PositionAndRangeAreClampedAndAttributesApply)
{
    struct Case
    {
        const char* pstrAttributes;
        int nRange;
        int nPos;
    };
    const Case cases[] = {
        {"value=\"-5\"", 100, 0},
        {"value=\"150\"", 100, 100},
        {"value=\"80\" range=\"50\"", 50, 50},
        {"range=\"-3\" value=\"7\"", 0, 0},
        {"range=\"300\" value=\"250\"", 300, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrAttributes);
        CScrollBarUI bar;
        bar.ApplyAttributeList(c.pstrAttributes);
        EXPECT_EQ(bar.GetScrollRange(), c.nRange);
        EXPECT_EQ(bar.GetScrollPos(), c.nPos);
    }

    CScrollBarUI bar;
    bar.ApplyAttributeList("hor=\"true\" linesize=\"3\" showbutton2=\"false\"");
    EXPECT_TRUE(bar.IsHorizontal());
    EXPECT_EQ(bar.GetFixedWidth(), 0);
    EXPECT_EQ(bar.GetFixedHeight(), 16);
    EXPECT_EQ(bar.GetLineSize(), 3);
    EXPECT_FALSE(bar.IsShowButton2());
    bar.SetHorizontal(false);
    EXPECT_EQ(bar.GetFixedWidth(), 16);
    EXPECT_EQ(bar.GetFixedHeight(), 0);
}

TEST(ScrollBarInput, PressesMoveALineOrAPageAndNotifyWhenOwnerless)
{
    struct Case
    {
        const char* pstrWhat;
        bool bEnabled;
        int y;
        int nExpectedPos;
        int nExpectedScrolls;
    };
    // A bar 200 high, range 400, position 200, line size 8: the thumb lies from 72 to 128.
    const Case cases[] = {
        {"button 1", true, 5, 192, 1},
        {"button 2", true, 195, 208, 1},
        {"rail above the thumb", true, 40, 0, 1},
        {"rail below the thumb", true, 160, 400, 1},
        {"thumb", true, 100, 200, 1},
        {"disabled", false, 5, 200, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        AttachedBar t(200, 400, 200);
        ASSERT_EQ(RectText(t.bar->GetThumbRect()), "0,72,16,128");
        t.bar->SetEnabled(c.bEnabled);
        t.Send(UIEV_BUTTONDOWN, 8, c.y);
        EXPECT_EQ(t.bar->GetScrollPos(), c.nExpectedPos);
        EXPECT_EQ(t.Scrolls(), c.nExpectedScrolls);
        t.Send(UIEV_BUTTONUP, 8, c.y);
    }
}

TEST(ScrollBarInput, HeldButtonRepeatsFromTheSixthTick)
{
    struct Case
    {
        int y;
        int nStep;
    };
    const Case cases[] = {{5, -8}, {195, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        AttachedBar t(200, 400, 200);
        t.Send(UIEV_BUTTONDOWN, 8, c.y);
        EXPECT_EQ(t.bar->GetScrollPos(), 200 + c.nStep);
        for (int i = 0; i < 5; ++i)
            t.Tick();
        EXPECT_EQ(t.bar->GetScrollPos(), 200 + c.nStep);
        EXPECT_EQ(t.Scrolls(), 1);
        t.Tick();
        EXPECT_EQ(t.bar->GetScrollPos(), 200 + 2 * c.nStep);
        t.Tick();
        EXPECT_EQ(t.bar->GetScrollPos(), 200 + 3 * c.nStep);
        EXPECT_EQ(t.Scrolls(), 3);
        t.Send(UIEV_BUTTONUP, 8, c.y);
    }

    // The real control timer drives the repetition while the button is held and stops at the release.
    AttachedBar t(200, 400, 0);
    t.Send(UIEV_BUTTONDOWN, 8, 195);
    EXPECT_TRUE(XInput::PumpUntil([&t] { return t.bar->GetScrollPos() >= 24; }, 5000));
    t.Send(UIEV_BUTTONUP, 8, 195);
    const int nReleasedAt = t.bar->GetScrollPos();
    XInput::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(t.bar->GetScrollPos(), nReleasedAt);
}

TEST(ScrollBarInput, DraggedThumbMovesAtTheNextTick)
{
    struct Case
    {
        int nStartPos;
        int dy;
        int nExpectedPos;
    };
    // 200 high, range 100: the thumb is 112 long, so a pixel is 100 / (200 - 112 - 32) of the range.
    const Case cases[] = {{0, 28, 50}, {0, 1000, 100}, {100, -28, 50}, {50, -1000, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nStartPos << " " << c.dy);
        AttachedBar t(200, 100, c.nStartPos);
        const int y = (t.bar->GetThumbRect().top + t.bar->GetThumbRect().bottom) / 2;
        t.Send(UIEV_BUTTONDOWN, 8, y);
        t.Send(UIEV_MOUSEMOVE, 8, y + c.dy);
        EXPECT_EQ(t.bar->GetScrollPos(), c.nStartPos);
        t.Tick();
        EXPECT_EQ(t.bar->GetScrollPos(), c.nExpectedPos);
        t.Send(UIEV_BUTTONUP, 8, y + c.dy);
        // After the release further moves drag nothing.
        t.Send(UIEV_MOUSEMOVE, 8, y);
        t.Tick();
        EXPECT_EQ(t.bar->GetScrollPos(), c.nExpectedPos);
    }
}

TEST(ScrollBarOwner, ActionsGoToTheOwningContainerWhichScrollsItsChildren)
{
    CPaintManagerUI pm;
    HostWindow host(pm);
    EventLog log;
    NotifyRecorder notes(&log);
    pm.RegisterNotifier(&notes);
    auto* pLayout = new CVerticalLayoutUI;
    pm.SetRootControl(pLayout);
    pLayout->EnableScrollBars(true, false);
    auto* pTall = new CControlUI;
    pTall->SetFixedHeight(500);
    auto* pFloat = new CControlUI;
    pFloat->SetFloat(true);
    pFloat->SetFixedXY(CUISize(5, 5));
    pFloat->SetFixedWidth(10);
    pFloat->SetFixedHeight(10);
    pLayout->AddItem(pTall);
    pLayout->AddItem(pFloat);
    pLayout->SetPos(CUIRect(0, 0, 100, 200));

    CScrollBarUI* pBar = pLayout->GetVerticalScrollBar();
    ASSERT_NE(pBar, nullptr);
    ASSERT_TRUE(pBar->IsVisible());
    EXPECT_EQ(pBar->GetScrollRange(), 300);
    EXPECT_EQ(RectText(pBar->GetPos()), "84,0,100,200");
    EXPECT_EQ(RectText(pTall->GetPos()), "0,0,84,500");

    struct Step
    {
        const char* pstrWhat;
        int y;
        int nExpectedPos;
    };
    const int nLine = pm.GetBaseFont()->metrics.tmHeight + 8;
    const Step steps[] = {
        {"button 2: a line down", 195, nLine},
        {"rail below the thumb: a page down", 190 - 16, nLine + 200},
        {"button 1: a line up", 5, nLine + 200 - nLine},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.pstrWhat);
        InputEventUI event;
        event.nKind = UIEV_BUTTONDOWN;
        event.pSender = pBar;
        event.ptMouse = POINT{92, s.y};
        pBar->DeliverEvent(event);
        event.nKind = UIEV_BUTTONUP;
        pBar->DeliverEvent(event);
        EXPECT_EQ(pBar->GetScrollPos(), s.nExpectedPos);
        EXPECT_EQ(pTall->GetPos().top, -s.nExpectedPos);
        EXPECT_EQ(RectText(pFloat->GetPos()), "5,5,15,15"); // floating children stay
    }
    EXPECT_TRUE(log.empty()); // an owned bar leaves notifying to its owner
}

TEST(ScrollBarPaint, PartsWithoutImagesAreOutlined)
{
    struct Probe
    {
        int x;
        int y;
        bool bOutline;
    };
    // A bar at 10,20, 16 wide and 200 high, range 100 at 0: buttons at 20..36 and 204..220, thumb 36..148.
    const Probe probes[] = {
        {10, 20, true},   // button 1, outer corner
        {11, 25, true},   // its second pixel column
        {12, 27, false},  // inside it
        {25, 35, true},   // its right edge, bottom row
        {18, 36, true},   // the thumb's top edge
        {18, 38, false},  // inside the thumb
        {18, 147, true},  // its bottom edge
        {18, 160, false}, // the free track
        {18, 219, true},  // button 2, bottom edge
    };
    for (const char* pstrThumbImage : {"", "file='missing.png'"}) {
        SCOPED_TRACE(pstrThumbImage);
        CPaintManagerUI pm;
        HostWindow host(pm);
        auto* pBar = new CScrollBarUI;
        pm.SetRootControl(pBar);
        pBar->SetThumbNormalImage(pstrThumbImage);
        pBar->SetPos(CUIRect(10, 20, 26, 220));
        PaintCanvas canvas(40, 240, 0xFF000000);
        pBar->Paint(canvas.DC(), CUIRect(0, 0, 40, 240));
        for (const Probe& p : probes) {
            SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
            EXPECT_EQ(canvas.Rgb(p.x, p.y), p.bOutline ? 0x85E4FFu : 0u);
        }
        // A failing image is given up at once.
        EXPECT_TRUE(pBar->GetThumbNormalImage().IsEmpty());
    }
}

TEST(ScrollBarPaint, EachPartShowsTheImageOfItsState)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("sbimg");
    const struct
    {
        const char* pstrName;
        Rgba rgba;
    } images[] = {{"red.png", {255, 0, 0, 255}},
                  {"green.png", {0, 255, 0, 255}},
                  {"blue.png", {0, 0, 255, 255}},
                  {"yellow.png", {255, 255, 0, 255}},
                  {"grey.png", {128, 128, 128, 255}}};
    for (const auto& image : images)
        ZipTest::WriteWholeFile(folder / image.pstrName, MakePng(4, 4, std::vector<Rgba>(16, image.rgba)));
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());

    struct Case
    {
        const char* pstrWhat;
        int nAction; // 0 none, 1 mouse enters, 2 thumb pressed, 3 disabled
        int x;
        int y;
        DWORD dwRgb;
    };
    // A bar at 0,0, 16 x 200, range 100 at 0: button 1 at 0..16, thumb 16..128 (rail square 64..80).
    const Case cases[] = {
        {"button 1 normal", 0, 8, 8, 0xFF0000},
        {"button 1 hot", 1, 8, 8, 0x00FF00},
        {"button 1 disabled falls back to normal", 3, 8, 8, 0xFF0000},
        {"thumb normal", 0, 8, 30, 0x808080},
        {"thumb pushed", 2, 8, 30, 0x0000FF},
        {"rail centred on the thumb", 0, 8, 70, 0xFFFF00},
        {"rail square ends", 0, 8, 84, 0x808080},
        {"background", 0, 8, 190, 0x808080},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        CPaintManagerUI pm;
        HostWindow host(pm);
        auto* pBar = new CScrollBarUI;
        pm.SetRootControl(pBar);
        pBar->ApplyAttributeList("button1normalimage=\"red.png\" button1hotimage=\"green.png\" "
                                 "thumbnormalimage=\"grey.png\" thumbpushedimage=\"blue.png\" "
                                 "railnormalimage=\"yellow.png\" bknormalimage=\"grey.png\"");
        pBar->SetPos(CUIRect(0, 0, 16, 200));
        InputEventUI event;
        event.pSender = pBar;
        if (c.nAction == 1) {
            event.nKind = UIEV_MOUSEENTER;
            pBar->DeliverEvent(event);
        } else if (c.nAction == 2) {
            event.nKind = UIEV_BUTTONDOWN;
            event.ptMouse = POINT{8, 30};
            pBar->DeliverEvent(event);
        } else if (c.nAction == 3) {
            pBar->SetEnabled(false);
        }
        PaintCanvas canvas(16, 200, 0xFF000000);
        pBar->Paint(canvas.DC(), CUIRect(0, 0, 16, 200));
        EXPECT_EQ(canvas.Rgb(c.x, c.y), c.dwRgb);
    }
}
