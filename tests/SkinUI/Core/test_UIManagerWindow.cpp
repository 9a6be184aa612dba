// The paint manager with a visible host window: what needs a real paint (the first layout, tab navigation
// after it) and the areas controls invalidate.
#include "UITestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

struct PaintedTree
{
    EventLog log;
    CPaintManagerUI pm;
    HostWindow host{pm, HostWindow::VisiblePopup, 200, 120};
    NotifyRecorder notes{&log};
    CTestContainerUI* root = nullptr;

    PaintedTree(std::initializer_list<const char*> tabStops, bool bPaint = true)
    {
        pm.RegisterNotifier(&notes);
        auto pRoot = std::make_unique<CTestContainerUI>("root", &log);
        for (const char* pstrName : tabStops)
            pRoot->Add(std::make_unique<CRecordingControlUI>(pstrName, &log, true));
        root = pRoot.get();
        pm.SetRootControl(pRoot.release());
        if (bPaint)
            Paint();
    }
    ~PaintedTree() { pm.UnregisterNotifier(&notes); }

    void Paint()
    {
        ::InvalidateRect(host.Handle(), nullptr, FALSE);
        ::UpdateWindow(host.Handle());
    }
    CControlUI* Leaf(int i) const { return root->ChildAt(i); }
    CUIRect UpdateRect() const
    {
        CUIRect rc;
        if (!::GetUpdateRect(host.Handle(), &rc, FALSE))
            rc.Zero();
        return rc;
    }
};

bool SameRect(const RECT& a, const RECT& b)
{
    return ::EqualRect(&a, &b) != FALSE;
}

} // namespace

TEST(ManagerFirstPaint, LaysOutSendsWindowInitThenFocusesTheFirstTabStop)
{
    PaintedTree t({"a", "b"});
    EXPECT_EQ(t.log, (EventLog{"notify:windowinit:root", "a:setfocus<-a", "notify:setfocus:a"}));
    EXPECT_TRUE(SameRect(t.root->GetPos(), CUIRect(0, 0, 200, 120)));
    EXPECT_FALSE(t.root->IsLayoutNeeded());
    t.log.clear();
    t.Paint();
    EXPECT_TRUE(t.log.empty()); // "windowinit" goes out once per root
}

TEST(ManagerTab, ForwardAndBackwardWrap)
{
    PaintedTree t({"a", "b", "c"});
    ASSERT_EQ(t.pm.GetFocusedControl(), t.Leaf(0));
    t.pm.MoveFocusByTab(true);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(1));
    t.pm.MoveFocusByTab(true);
    t.pm.MoveFocusByTab(true);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(0)); // from the last to the first
    t.pm.MoveFocusByTab(false);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(2)); // from the first to the last
    t.pm.MoveFocusByTab(false);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(1));

    // Without a focus, forward takes the first tab stop.
    t.pm.FocusControl(nullptr);
    t.pm.MoveFocusByTab(true);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(0));
}

TEST(ManagerTab, HiddenAndPlainControlsAreSkipped)
{
    PaintedTree t({"a", "b", "c"});
    t.root->Add(std::make_unique<CRecordingControlUI>("plain")); // not a tab stop
    t.Leaf(1)->SetVisible(false);
    t.Paint();
    t.pm.FocusControl(t.Leaf(0));
    t.pm.MoveFocusByTab(true);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(2));
    t.pm.MoveFocusByTab(true);
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(0));
}

TEST(ManagerTab, ForwardTabBeforeTheFirstLayoutWaitsForThePaint)
{
    PaintedTree t({"a", "b"}, false);
    t.pm.MoveFocusByTab(true);
    EXPECT_EQ(t.pm.GetFocusedControl(), nullptr);
    t.Paint();
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(0));
}

TEST(ManagerTab, FocusOnNextPaintLandsOnTheControl)
{
    PaintedTree t({"a", "b", "c"});
    ASSERT_EQ(t.pm.GetFocusedControl(), t.Leaf(0));
    t.log.clear();
    t.pm.FocusOnNextPaint(t.Leaf(2));
    EXPECT_EQ(t.log, (EventLog{"a:killfocus<-c", "notify:killfocus:a"}));
    t.log.clear();
    t.Paint();
    EXPECT_EQ(t.pm.GetFocusedControl(), t.Leaf(2));
    // The move starts from the tab stop before the control, which stood in as the focus without events.
    EXPECT_EQ(t.log, (EventLog{"b:killfocus<-c", "notify:killfocus:b", "c:setfocus<-c", "notify:setfocus:c"}));
}

TEST(ControlInvalidation, SetPosRepaintsOldAndNewPlaceWithinTheAncestors)
{
    PaintedTree t({"a"});
    CControlUI* pLeaf = t.Leaf(0);
    ::ValidateRect(t.host.Handle(), nullptr);
    pLeaf->SetPos(CUIRect(10, 10, 30, 30)); // from an empty rectangle: only the new one
    EXPECT_TRUE(SameRect(t.UpdateRect(), CUIRect(10, 10, 30, 30)));

    ::ValidateRect(t.host.Handle(), nullptr);
    pLeaf->SetPos(CUIRect(50, 20, 70, 40));
    EXPECT_TRUE(SameRect(t.UpdateRect(), CUIRect(10, 10, 70, 40)));

    ::ValidateRect(t.host.Handle(), nullptr);
    pLeaf->SetPos(CUIRect(190, 100, 260, 160)); // partly outside the root: cut at its edges
    EXPECT_TRUE(SameRect(t.UpdateRect(), CUIRect(50, 20, 200, 120)));
}

TEST(ControlInvalidation, NothingOutsideAnAncestorOrWhileHidden)
{
    PaintedTree t({"a"});
    auto* pInner = t.root->Add(std::make_unique<CTestContainerUI>("inner"));
    pInner->SetPos(CUIRect(0, 0, 50, 50));
    auto* pLeaf = pInner->Add(std::make_unique<CRecordingControlUI>("leaf"));
    ::ValidateRect(t.host.Handle(), nullptr);
    pLeaf->SetPos(CUIRect(100, 60, 120, 80)); // entirely outside its container
    EXPECT_TRUE(t.UpdateRect().IsAllZero());

    pLeaf->SetPos(CUIRect(10, 10, 20, 20));
    ::ValidateRect(t.host.Handle(), nullptr);
    pLeaf->SetVisible(false);
    ::ValidateRect(t.host.Handle(), nullptr);
    pLeaf->Invalidate();
    pLeaf->SetBackColor(0xFF112233);
    EXPECT_TRUE(t.UpdateRect().IsAllZero());
    pLeaf->SetVisible(true);
    ::ValidateRect(t.host.Handle(), nullptr);
    pLeaf->SetBackColor(0xFF445566);
    EXPECT_TRUE(SameRect(t.UpdateRect(), CUIRect(10, 10, 20, 20)));
}
