// The container: ownership and order of children, deletion, state passed down, placement of floating
// children, hit-test order, the clip its children are painted under, and scrolling with its bars.
#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Layout/UILinearLayout.h"

#include "PaintCanvas.h"
#include "UITestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// A leaf that records the clip box it is painted under and every initialisation.
class CProbeUI : public CRecordingControlUI
{
public:
    explicit CProbeUI(const char* pstrName, EventLog* pLog = nullptr) : CRecordingControlUI(pstrName, pLog)
    {
        m_pInitLog = pLog;
    }
    void OnInit() override
    {
        if (m_pInitLog != nullptr)
            m_pInitLog->push_back(std::string("init:") + GetName().Chars());
    }
    void Paint(HDC hDC, const RECT& rcDirty) override
    {
        RECT rc = {};
        ::GetClipBox(hDC, &rc);
        clipBoxes.push_back(rc);
        CControlUI::Paint(hDC, rcDirty);
    }
    std::vector<CUIRect> clipBoxes;

private:
    EventLog* m_pInitLog;
};

class CLoggingContainerUI : public CContainerUI
{
public:
    CLoggingContainerUI(const char* pstrName, EventLog* pLog) : m_pLog(pLog) { SetName(pstrName); }
    void OnInit() override { m_pLog->push_back(std::string("init:") + GetName().Chars()); }

private:
    EventLog* m_pLog;
};

CControlUI* FirstHit(CControlUI* pThis, void*)
{
    return pThis;
}

CControlUI* HitAt(CControlUI* pRoot, int x, int y, UINT uFlags = FIND_VISIBLE | FIND_HITTEST | FIND_TOP_FIRST)
{
    POINT pt = {x, y};
    return pRoot->FindControl(FirstHit, &pt, uFlags);
}

// A manager on a message-only window, with a container as its root.
struct Attached
{
    CPaintManagerUI pm;
    HostWindow host{pm};
    CContainerUI* root = new CContainerUI;
    Attached() { pm.SetRootControl(root); }
};

CProbeUI* Floating(const char* pstrName, int x, int y, int cx, int cy)
{
    auto* p = new CProbeUI(pstrName);
    p->SetFloat(true);
    p->SetFixedXY(CUISize(x, y));
    p->SetFixedWidth(cx);
    p->SetFixedHeight(cy);
    return p;
}

} // namespace

TEST(ContainerChildren, RefusedControlsLeaveTheListAndTheControlUntouched)
{
    Attached t;
    auto* a = new CProbeUI("a");
    auto* b = new CProbeUI("b");
    ASSERT_TRUE(t.root->AddItem(a));
    ASSERT_TRUE(t.root->InsertItem(b, 0));
    EXPECT_EQ(t.root->ItemAt(0), b);
    EXPECT_EQ(a->GetParent(), t.root);
    EXPECT_EQ(a->GetManager(), &t.pm);

    auto pStranger = std::make_unique<CProbeUI>("stranger");
    EXPECT_FALSE(t.root->AddItem(nullptr));
    EXPECT_FALSE(t.root->AddItem(t.root)); // itself
    EXPECT_FALSE(t.root->AddItem(a));      // twice: it would be deleted twice
    EXPECT_FALSE(t.root->InsertItem(pStranger.get(), 3));
    EXPECT_FALSE(t.root->InsertItem(pStranger.get(), -1));
    EXPECT_EQ(pStranger->GetManager(), nullptr);
    EXPECT_EQ(t.pm.FindControlByName("stranger"), nullptr);
    EXPECT_EQ(t.root->ItemCount(), 2);

    EXPECT_EQ(t.root->ItemAt(2), nullptr);
    EXPECT_EQ(t.root->ItemAt(-1), nullptr);
    EXPECT_EQ(t.root->IndexOfItem(pStranger.get()), -1);
    EXPECT_FALSE(t.root->RemoveItemAt(2));
    EXPECT_FALSE(t.root->RemoveItem(pStranger.get()));
    EXPECT_FALSE(t.root->RemoveItem(nullptr));
}

TEST(ContainerChildren, MoveToARefusedPlaceKeepsTheChildWhereItWas)
{
    CContainerUI c;
    auto* a = new CProbeUI("a");
    auto* b = new CProbeUI("b");
    auto* d = new CProbeUI("d");
    c.AddItem(a);
    c.AddItem(b);
    c.AddItem(d);
    EXPECT_TRUE(c.MoveItemTo(a, 2));
    EXPECT_EQ(c.IndexOfItem(a), 2);
    EXPECT_EQ(c.IndexOfItem(b), 0);
    // After taking it out only three places remain (0..2); 3 is refused and nothing is lost.
    EXPECT_FALSE(c.MoveItemTo(b, 3));
    EXPECT_EQ(c.IndexOfItem(b), 0);
    EXPECT_EQ(c.ItemCount(), 3);
    CProbeUI stranger("x");
    EXPECT_FALSE(c.MoveItemTo(&stranger, 0));
}

TEST(ContainerOwnership, RemovedChildrenAreDeletedAtOnceOrThroughTheQueue)
{
    struct Case
    {
        bool bManager;
        bool bAutoDestroy;
        bool bDelayed;
        bool bDeletedAtOnce;
        bool bDeletedAfterPump;
    };
    const Case cases[] = {
        {false, true, true, true, true},   // no manager: no queue
        {true, true, true, false, true},   // queued until the delete message
        {true, true, false, true, true},   // delayed deletion off
        {true, false, true, false, false}, // never owned
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bManager << c.bAutoDestroy << c.bDelayed);
        CPaintManagerUI pm;
        HostWindow host(pm);
        CContainerUI* pRoot = new CContainerUI;
        std::unique_ptr<CContainerUI> pUnattached;
        if (c.bManager)
            pm.SetRootControl(pRoot);
        else
            pUnattached.reset(pRoot);
        pRoot->SetAutoDestroy(c.bAutoDestroy);
        pRoot->SetDelayedDestroy(c.bDelayed);
        bool bDeleted = false;
        auto* pChild = new CProbeUI("child");
        pChild->pDeletedFlag = &bDeleted;
        ASSERT_TRUE(pRoot->AddItem(pChild));
        EXPECT_TRUE(pRoot->RemoveItem(pChild));
        EXPECT_EQ(pRoot->ItemCount(), 0);
        EXPECT_EQ(bDeleted, c.bDeletedAtOnce);
        HostWindow::Pump();
        EXPECT_EQ(bDeleted, c.bDeletedAfterPump);
        if (!bDeleted)
            delete pChild;
    }
}

TEST(ContainerOwnership, QueuedContainerDeletesItsWholeSubtreeWhenTheQueueRuns)
{
    Attached t;
    auto* pInner = new CContainerUI;
    auto* pNested = new CContainerUI;
    bool bFirst = false, bSecond = false, bGrandchild = false;
    auto* pFirst = new CProbeUI("first");
    auto* pSecond = new CProbeUI("second");
    auto* pGrandchild = new CProbeUI("grandchild");
    pFirst->pDeletedFlag = &bFirst;
    pSecond->pDeletedFlag = &bSecond;
    pGrandchild->pDeletedFlag = &bGrandchild;
    t.root->AddItem(pInner);
    pInner->AddItem(pFirst);
    pInner->AddItem(pSecond);
    pInner->AddItem(pNested);
    pNested->AddItem(pGrandchild);

    pInner->RemoveItem(pFirst);
    t.root->RemoveAllItems();
    EXPECT_FALSE(bFirst); // both wait for the delete message
    EXPECT_FALSE(bSecond);
    HostWindow::Pump();
    // The queued container deletes its children at once: its queue entry is its last moment.
    EXPECT_TRUE(bFirst);
    EXPECT_TRUE(bSecond);
    EXPECT_TRUE(bGrandchild);
    EXPECT_EQ(t.pm.FindControlByName("second"), nullptr);
}

TEST(ContainerState, ChildrenAreInitialisedBeforeTheirContainerAndFollowItsVisibility)
{
    EventLog log;
    CPaintManagerUI pm;
    HostWindow host(pm);
    auto* pRoot = new CLoggingContainerUI("root", &log);
    auto* pMiddle = new CLoggingContainerUI("middle", &log);
    auto* pLeaf = new CProbeUI("leaf", &log);
    pMiddle->AddItem(pLeaf);
    pRoot->AddItem(pMiddle);
    pm.SetRootControl(pRoot);
    EXPECT_EQ(log, (EventLog{"init:leaf", "init:middle"})); // the root has no parent: not initialised

    pRoot->SetVisible(false);
    EXPECT_FALSE(pLeaf->IsVisible());
    auto* pLate = new CProbeUI("late");
    pMiddle->AddItem(pLate); // added while hidden: hidden with the tree
    EXPECT_FALSE(pLate->IsVisible());
    pRoot->SetVisible(true);
    EXPECT_TRUE(pLeaf->IsVisible());
    EXPECT_TRUE(pLate->IsVisible());

    pMiddle->SetVisible(false);
    pRoot->SetInternVisible(true); // the middle container's own flag still hides its subtree
    EXPECT_FALSE(pLeaf->IsVisible());
}

TEST(ContainerPlacement, ChildrenFillTheInsetAndFloatingChildrenKeepTheirOffsets)
{
    Attached t;
    t.root->SetInset(CUIRect(5, 6, 7, 8));
    auto* pFill = new CProbeUI("fill");
    auto* pHidden = new CProbeUI("hidden");
    struct FloatCase
    {
        int x, y, cx, cy;
        const char* expected;
    };
    const FloatCase floats[] = {
        {-10, 5, 30, 20, "260,105,290,125"}, // from the right edge, whatever the inset
        {10, -5, 30, 20, "110,175,140,195"}, // from the bottom edge
        {0, 0, 0, 0, "100,100,100,100"},
    };
    t.root->AddItem(pFill);
    t.root->AddItem(pHidden);
    std::vector<CControlUI*> aFloats;
    for (const FloatCase& f : floats) {
        aFloats.push_back(Floating("float", f.x, f.y, f.cx, f.cy));
        t.root->AddItem(aFloats.back());
    }
    pHidden->SetPos(CUIRect(1, 2, 3, 4));
    pHidden->SetVisible(false);
    t.root->SetPos(CUIRect(100, 100, 300, 200));

    EXPECT_EQ(RectText(pFill->GetPos()), "105,106,293,192");
    EXPECT_EQ(RectText(pHidden->GetPos()), "1,2,3,4");
    for (size_t i = 0; i < aFloats.size(); ++i)
        EXPECT_EQ(RectText(aFloats[i]->GetPos()), floats[i].expected) << i;
}

TEST(ContainerPlacement, RelativeFloatingChildFollowsTheGrowthSinceItsFirstPlacement)
{
    Attached t;
    auto* pMover = Floating("mover", 10, 10, 20, 20);
    auto* pZoomer = Floating("zoomer", 10, 40, 20, 20);
    pMover->SetRelativePos(50, 0, 0, 0);
    pZoomer->SetRelativePos(0, 0, 100, 0);
    t.root->AddItem(pMover);
    t.root->AddItem(pZoomer);
    t.root->SetPos(CUIRect(0, 0, 200, 100));
    EXPECT_EQ(RectText(pMover->GetPos()), "10,10,30,30"); // the first placement only records the size
    EXPECT_EQ(RectText(pZoomer->GetPos()), "10,40,30,60");

    t.root->SetPos(CUIRect(0, 0, 300, 100));
    EXPECT_EQ(RectText(pMover->GetPos()), "60,10,80,30");
    EXPECT_EQ(RectText(pZoomer->GetPos()), "10,40,130,60");
}

TEST(ContainerFind, HitTestsRespectTheClientAreaFloatingChildrenAndMouseChildren)
{
    Attached t;
    t.root->SetInset(CUIRect(10, 10, 10, 10));
    auto* pWide = new CProbeUI("wide"); // sticks out into the inset
    auto* pFloat = Floating("float", 0, 0, 10, 10);
    auto* pInner = new CContainerUI;
    auto* pDeep = new CProbeUI("deep");
    t.root->AddItem(pWide);
    t.root->AddItem(pFloat);
    t.root->AddItem(pInner);
    pInner->AddItem(pDeep);
    t.root->SetPos(CUIRect(0, 0, 100, 100));
    pWide->SetPos(CUIRect(0, 50, 100, 60));
    pInner->SetPos(CUIRect(20, 20, 40, 40));
    pDeep->SetPos(CUIRect(20, 20, 40, 40));

    struct Case
    {
        int x, y;
        CControlUI* expected;
    };
    const Case cases[] = {
        {5, 55, t.root},    // the wide child in the inset is not hit there
        {50, 55, pWide},    // but inside the client area it is
        {5, 5, pFloat},     // a floating child is hit in the inset
        {30, 30, pDeep},    // the topmost descendant
        {150, 50, nullptr}, // outside
    };
    for (const Case& c : cases)
        EXPECT_EQ(HitAt(t.root, c.x, c.y), c.expected) << c.x << "," << c.y;

    pInner->SetMouseChildEnabled(false);
    EXPECT_EQ(HitAt(t.root, 30, 30), pInner); // hit as a whole
    EXPECT_EQ(pInner->FindControl(FirstHit, nullptr, FIND_ALL), pDeep) << "only hit tests stop at the container";
    EXPECT_EQ(pInner->FindControl(FirstHit, nullptr, FIND_ALL | FIND_ME_FIRST), pInner);

    pInner->SetVisible(false);
    EXPECT_EQ(HitAt(t.root, 30, 30), t.root);
}

TEST(ContainerInput, MouseEventsOfAMouseDisabledContainerGoToItsParent)
{
    CPaintManagerUI pm;
    HostWindow host(pm);
    auto* pRoot = new CTestContainerUI("root");
    pm.SetRootControl(pRoot);
    auto* pContainer = pRoot->Add(std::make_unique<CContainerUI>());
    pContainer->SetMouseEnabled(false);

    InputEventUI move;
    move.nKind = UIEV_MOUSEMOVE;
    pContainer->HandleEvent(move);
    ASSERT_EQ(pRoot->events.size(), 1u);
    EXPECT_EQ(pRoot->events[0].nKind, UIEV_MOUSEMOVE);

    InputEventUI focus;
    focus.nKind = UIEV_SETFOCUS;
    pContainer->HandleEvent(focus);
    EXPECT_TRUE(pContainer->IsFocused());
    focus.nKind = UIEV_KILLFOCUS;
    pContainer->HandleEvent(focus);
    EXPECT_FALSE(pContainer->IsFocused());
    EXPECT_EQ(pRoot->events.size(), 1u); // focus changes stay with the container
}

TEST(ContainerAttributes, InsetChildPaddingAndMouseChildren)
{
    CContainerUI c;
    c.ApplyAttributeList("inset=\"1,2,3,4\" childpadding=\"7\" mousechild=\"false\" name=\"box\"");
    EXPECT_EQ(RectText(c.GetInset()), "1,2,3,4");
    EXPECT_EQ(c.GetChildPadding(), 7);
    EXPECT_FALSE(c.IsMouseChildEnabled());
    EXPECT_EQ(c.GetName(), "box");
    EXPECT_EQ(c.GetInterface("IContainer"), static_cast<IContainerUI*>(&c));
    EXPECT_EQ(c.GetInterface("Container"), &c);
    EXPECT_EQ(c.GetInterface("Control"), &c);
}

TEST(ContainerChildren, NamedDescendantsAreReachedIgnoringCase)
{
    Attached t;
    auto* pInner = new CContainerUI;
    auto* pLeaf = new CProbeUI("Leaf");
    t.root->AddItem(pInner);
    pInner->AddItem(pLeaf);
    EXPECT_TRUE(t.root->SetChildText("leaf", "hello"));
    EXPECT_TRUE(t.root->SetChildFixedWidth("LEAF", 33));
    EXPECT_TRUE(t.root->SetChildFixedHeight("leaf", 44));
    EXPECT_TRUE(t.root->SetChildUserData("leaf", "data"));
    EXPECT_EQ(t.root->GetChildText("leaf"), "hello");
    EXPECT_EQ(t.root->GetChildFixedWidth("leaf"), 33);
    EXPECT_EQ(t.root->GetChildFixedHeight("leaf"), 44);
    EXPECT_EQ(t.root->GetChildUserData("leaf"), "data");

    EXPECT_FALSE(t.root->SetChildText("none", "x"));
    EXPECT_EQ(t.root->GetChildText("none"), "");
    EXPECT_EQ(t.root->GetChildFixedWidth("none"), -1);
    EXPECT_EQ(t.root->GetChildFixedHeight("none"), -1);
    CContainerUI unattached;
    EXPECT_EQ(unattached.FindChildControl("leaf"), nullptr);
}

TEST(ContainerChildren, SelectableItemsAreVisibleEnabledListItems)
{
    class CListItemUI : public CControlUI
    {
    public:
        void* GetInterface(const char* pstrName) override
        {
            return std::string(pstrName) == "ListItem" ? this : CControlUI::GetInterface(pstrName);
        }
    };
    CContainerUI c;
    EXPECT_EQ(c.FindSelectableItem(0, true), -1);
    // 0 plain, 1 item, 2 disabled item, 3 hidden item, 4 item
    c.AddItem(new CControlUI);
    c.AddItem(new CListItemUI);
    c.AddItem(new CListItemUI);
    c.AddItem(new CListItemUI);
    c.AddItem(new CListItemUI);
    c.ItemAt(2)->SetEnabled(false);
    c.ItemAt(3)->SetVisible(false);
    struct Case
    {
        int iIndex;
        bool bForward;
        int expected;
    };
    const Case cases[] = {{0, true, 1}, {2, true, 4}, {99, true, 4}, {3, false, 1}, {-5, false, 1}, {0, false, 1}};
    for (const Case& k : cases)
        EXPECT_EQ(c.FindSelectableItem(k.iIndex, k.bForward), k.expected) << k.iIndex << " " << k.bForward;
}

TEST(ContainerPaint, ChildrenArePaintedUnderTheClientClipAndFloatingOnesUnderTheOuterClip)
{
    const HDC hDC = ::CreateCompatibleDC(nullptr);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 400;
    bmi.bmiHeader.biHeight = -300;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* pBits = nullptr;
    const HBITMAP hBitmap = ::CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    const HGDIOBJ hOld = ::SelectObject(hDC, hBitmap);

    CContainerUI c;
    c.SetInset(CUIRect(10, 10, 10, 10));
    auto* pChild = new CProbeUI("child");
    auto* pFloat = new CProbeUI("float");
    auto* pOutside = new CProbeUI("outside");
    pFloat->SetFloat(true);
    c.AddItem(pChild);
    c.AddItem(pFloat);
    c.AddItem(pOutside);
    c.SetPos(CUIRect(0, 0, 200, 100));
    pChild->SetPos(CUIRect(0, 0, 200, 100));
    pFloat->SetPos(CUIRect(0, 0, 30, 30));
    pOutside->SetPos(CUIRect(250, 0, 300, 50));

    c.Paint(hDC, CUIRect(0, 0, 400, 300));
    ASSERT_EQ(pChild->clipBoxes.size(), 1u);
    EXPECT_EQ(RectText(pChild->clipBoxes[0]), "10,10,190,90");
    ASSERT_EQ(pFloat->clipBoxes.size(), 1u);
    EXPECT_EQ(RectText(pFloat->clipBoxes[0]), "0,0,200,100");
    EXPECT_TRUE(pOutside->clipBoxes.empty());

    // A dirty area inside the inset only reaches floating children.
    c.Paint(hDC, CUIRect(0, 0, 5, 5));
    EXPECT_EQ(pChild->clipBoxes.size(), 1u);
    ASSERT_EQ(pFloat->clipBoxes.size(), 2u);
    EXPECT_EQ(RectText(pFloat->clipBoxes[1]), "0,0,5,5");

    // The clip in force before is restored.
    RECT rcAfter = {};
    ::GetClipBox(hDC, &rcAfter);
    EXPECT_EQ(RectText(rcAfter), "0,0,400,300");

    ::SelectObject(hDC, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hDC);
}

TEST(ContainerScrolling, KeysAndTheWheelScrollByTheVerticalBarElseByTheHorizontalOne)
{
    struct Case
    {
        const char* pstrWhat;
        bool bVertical;
        bool bVerticalEnabled;
        bool bHorizontal;
        int nKind;
        int nKeyOrWheel;
        int cx; // expected position; a line is given as a multiple of the line height in cyLines
        int cy;
        int cyLines;
    };
    // A 100 x 200 container; the vertical bar ranges 300, the horizontal one 50; both start at (20, 100).
    const Case cases[] = {
        {"down", true, true, true, UIEV_KEYDOWN, VK_DOWN, 20, 100, 1},
        {"up", true, true, true, UIEV_KEYDOWN, VK_UP, 20, 100, -1},
        {"page up, less the horizontal bar", true, true, true, UIEV_KEYDOWN, VK_PRIOR, 20, 0, 0},
        {"page down", true, true, true, UIEV_KEYDOWN, VK_NEXT, 20, 284, 0},
        {"home", true, true, true, UIEV_KEYDOWN, VK_HOME, 20, 0, 0},
        {"end", true, true, true, UIEV_KEYDOWN, VK_END, 20, 300, 0},
        {"wheel down", true, true, true, UIEV_SCROLLWHEEL, 1, 20, 100, 1},
        {"wheel up", true, true, true, UIEV_SCROLLWHEEL, 0, 20, 100, -1},
        {"other keys", true, true, true, UIEV_KEYDOWN, 'A', 20, 100, 0},
        {"horizontal: down", false, true, true, UIEV_KEYDOWN, VK_DOWN, 28, 0, 0},
        {"horizontal: up", false, true, true, UIEV_KEYDOWN, VK_UP, 12, 0, 0},
        {"horizontal: page down", false, true, true, UIEV_KEYDOWN, VK_NEXT, 50, 0, 0},
        {"horizontal: home", false, true, true, UIEV_KEYDOWN, VK_HOME, 0, 0, 0},
        {"horizontal: end", false, true, true, UIEV_KEYDOWN, VK_END, 50, 0, 0},
        {"horizontal: wheel down", false, true, true, UIEV_SCROLLWHEEL, 1, 28, 0, 0},
        {"disabled vertical bar", true, false, true, UIEV_KEYDOWN, VK_DOWN, 28, 100, 0},
        {"no bars", false, true, false, UIEV_KEYDOWN, VK_DOWN, 0, 0, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.pstrWhat);
        Attached t;
        t.root->EnableScrollBars(k.bVertical, k.bHorizontal);
        if (CScrollBarUI* pBar = t.root->GetVerticalScrollBar()) {
            pBar->SetScrollRange(300);
            pBar->SetEnabled(k.bVerticalEnabled);
        }
        if (CScrollBarUI* pBar = t.root->GetHorizontalScrollBar())
            pBar->SetScrollRange(50);
        t.root->SetPos(CUIRect(0, 0, 100, 200));
        t.root->SetScrollPos(CUISize(20, 100));
        InputEventUI event;
        event.nKind = k.nKind;
        event.pSender = t.root;
        if (k.nKind == UIEV_KEYDOWN)
            event.chKey = static_cast<char>(k.nKeyOrWheel);
        else
            event.wParam = static_cast<WPARAM>(k.nKeyOrWheel);
        t.root->DeliverEvent(event);
        const int nLine = t.pm.GetBaseFont()->metrics.tmHeight + 8;
        EXPECT_EQ(t.root->GetScrollPos().cx, k.cx);
        EXPECT_EQ(t.root->GetScrollPos().cy, k.cy + k.cyLines * nLine);
    }
}

TEST(ContainerScrolling, OnlyVisibleNonFloatingChildrenMoveAndOnlyByWhatTheBarMoved)
{
    Attached t;
    t.root->EnableScrollBars(true, false);
    t.root->GetVerticalScrollBar()->SetScrollRange(300);
    auto* pChild = new CProbeUI("child");
    auto* pFloat = Floating("float", 5, 5, 10, 10);
    auto* pHidden = new CProbeUI("hidden");
    t.root->AddItem(pChild);
    t.root->AddItem(pFloat);
    t.root->AddItem(pHidden);
    t.root->SetPos(CUIRect(0, 0, 100, 200));
    pHidden->SetVisible(false);
    // The plain container gives its visible bar a place on the right of the inset rectangle.
    EXPECT_EQ(RectText(t.root->GetVerticalScrollBar()->GetPos()), "84,0,100,200");

    struct Step
    {
        int cy;
        int nExpectedPos;
        const char* pstrChild;
    };
    const Step steps[] = {
        {40, 40, "0,-40,100,160"},
        {40, 40, "0,-40,100,160"},      // unchanged position: nothing moves
        {1000, 300, "0,-300,100,-100"}, // clamped by the bar, moved by what it moved
        {-7, 0, "0,0,100,200"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.cy);
        t.root->SetScrollPos(CUISize(0, s.cy));
        EXPECT_EQ(t.root->GetScrollPos().cy, s.nExpectedPos);
        EXPECT_EQ(RectText(pChild->GetPos()), s.pstrChild);
        EXPECT_EQ(RectText(pFloat->GetPos()), "5,5,15,15");
        EXPECT_EQ(RectText(pHidden->GetPos()), "0,0,100,200");
    }
}

TEST(ContainerScrolling, LayoutBarAppearsAndGoesWithTheContentHeight)
{
    CPaintManagerUI pm;
    HostWindow host(pm);
    auto* pLayout = new CVerticalLayoutUI;
    pm.SetRootControl(pLayout);
    pLayout->ApplyAttribute("vscrollbar", "true");
    auto* pChild = new CProbeUI("child");
    pLayout->AddItem(pChild);
    CScrollBarUI* pBar = pLayout->GetVerticalScrollBar();
    ASSERT_NE(pBar, nullptr);

    struct Step
    {
        int cyContent;
        int cyScrollTo; // -1: leave the position
        bool bVisible;
        int nRange;
        int nPos;
        const char* pstrChild;
    };
    const Step steps[] = {
        {500, -1, true, 300, 0, "0,0,84,500"},   {500, 100, true, 300, 100, "0,-100,84,400"},
        {250, -1, true, 50, 50, "0,-50,84,200"}, // the range shrinks under the position
        {150, -1, false, 0, 0, "0,0,100,150"},   // the content fits: the bar goes
        {400, -1, true, 200, 0, "0,0,84,400"},   // and comes back at the top
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.cyContent);
        pChild->SetFixedHeight(s.cyContent);
        pLayout->SetPos(CUIRect(0, 0, 100, 200));
        if (s.cyScrollTo >= 0)
            pLayout->SetScrollPos(CUISize(0, s.cyScrollTo));
        EXPECT_EQ(pBar->IsVisible(), s.bVisible);
        EXPECT_EQ(pBar->GetScrollRange(), s.nRange);
        EXPECT_EQ(pBar->GetScrollPos(), s.nPos);
        EXPECT_EQ(RectText(pChild->GetPos()), s.pstrChild);
    }

    // With the bar shown, children are clipped to the area left of it and the bar is painted there.
    pChild->SetFixedHeight(500);
    pLayout->SetPos(CUIRect(0, 0, 100, 200));
    ASSERT_TRUE(pBar->IsVisible());
    PaintCanvas canvas(100, 200, 0xFF000000);
    pLayout->Paint(canvas.DC(), CUIRect(0, 0, 100, 200));
    ASSERT_FALSE(pChild->clipBoxes.empty());
    EXPECT_EQ(RectText(pChild->clipBoxes.back()), "0,0,84,200");
    EXPECT_EQ(canvas.Rgb(84, 0), 0x85E4FFu); // the bar's first button, outlined for want of images
}

TEST(ContainerScrolling, AttributesMakeStyleAndDeleteTheBars)
{
    struct Case
    {
        const char* pstrWhat;
        std::vector<std::pair<const char*, const char*>> attributes;
        const char* pstrVerticalDefaults;
        int cxVertical;   // 0: no vertical bar
        int cyHorizontal; // 0: no horizontal bar
        int nVerticalRange;
    };
    const Case cases[] = {
        {"vertical", {{"vscrollbar", "true"}}, nullptr, 16, 0, 100},
        {"horizontal", {{"hscrollbar", "true"}}, nullptr, 0, 16, 0},
        {"both, then no vertical",
         {{"vscrollbar", "true"}, {"hscrollbar", "true"}, {"vscrollbar", "false"}},
         nullptr,
         0,
         16,
         0},
        {"styled", {{"vscrollbarstyle", "width=\"10\" range=\"7\""}}, nullptr, 10, 0, 7},
        {"manager defaults", {{"vscrollbar", "true"}}, "width=\"12\"", 12, 0, 100},
        {"style over the defaults", {{"vscrollbarstyle", "width=\"9\""}}, "width=\"12\"", 9, 0, 100},
        {"horizontal style", {{"hscrollbarstyle", "height=\"11\""}}, nullptr, 0, 11, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        Attached t;
        if (c.pstrVerticalDefaults != nullptr)
            t.pm.SetClassDefaults("VScrollBar", c.pstrVerticalDefaults);
        for (const auto& a : c.attributes)
            t.root->ApplyAttribute(a.first, a.second);
        CScrollBarUI* pVertical = t.root->GetVerticalScrollBar();
        CScrollBarUI* pHorizontal = t.root->GetHorizontalScrollBar();
        EXPECT_EQ(pVertical != nullptr ? pVertical->GetFixedWidth() : 0, c.cxVertical);
        EXPECT_EQ(pHorizontal != nullptr ? pHorizontal->GetFixedHeight() : 0, c.cyHorizontal);
        if (pVertical != nullptr) {
            EXPECT_EQ(pVertical->GetScrollRange(), c.nVerticalRange);
            EXPECT_EQ(pVertical->GetOwner(), t.root);
            EXPECT_FALSE(pVertical->IsHorizontal());
        }
        if (pHorizontal != nullptr) {
            EXPECT_EQ(pHorizontal->GetOwner(), t.root);
            EXPECT_TRUE(pHorizontal->IsHorizontal());
        }
    }
}
