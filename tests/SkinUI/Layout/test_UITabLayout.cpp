// The tab layout: which page is shown as pages come and go, selection with its notification, and where the
// shown page goes.
#include "SkinUI/Layout/UITabLayout.h"

#include "UITestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

CControlUI* Page(const char* pstrName)
{
    auto* p = new CControlUI;
    p->SetName(pstrName);
    return p;
}

std::vector<NotifyEventUI> TabSelects(const NotifyRecorder& recorder)
{
    std::vector<NotifyEventUI> found;
    for (const NotifyEventUI& msg : recorder.received) {
        if (msg.type == "tabselect")
            found.push_back(msg);
    }
    return found;
}

// Names of the visible pages, in order.
std::string Shown(CTabLayoutUI& tab)
{
    std::string s;
    for (int i = 0; i < tab.ItemCount(); ++i) {
        if (tab.ItemAt(i)->IsVisible())
            s += tab.ItemAt(i)->GetName().Chars();
    }
    return s;
}

struct TabFixture
{
    CPaintManagerUI pm;
    HostWindow host{pm};
    CTabLayoutUI* tab = new CTabLayoutUI;
    EventLog log;
    NotifyRecorder recorder{&log};
    TabFixture()
    {
        tab->SetName("tab");
        pm.SetRootControl(tab);
        pm.RegisterNotifier(&recorder);
    }
};

} // namespace

TEST(TabLayoutPages, ShownPageFollowsInsertionsAndRemovals)
{
    CTabLayoutUI tab;
    auto* pHidden = Page("h");
    pHidden->SetVisible(false);
    tab.AddItem(pHidden); // a hidden page is not shown first
    EXPECT_EQ(tab.GetCurSel(), -1);
    tab.AddItem(Page("a"));
    tab.AddItem(Page("b"));
    EXPECT_EQ(tab.GetCurSel(), 1);
    EXPECT_EQ(Shown(tab), "a");

    auto* pX = Page("x");
    EXPECT_TRUE(tab.InsertItem(pX, 0)); // before the shown page: the same page stays shown
    EXPECT_EQ(tab.GetCurSel(), 2);
    EXPECT_EQ(tab.ItemAt(2)->GetName(), "a");
    EXPECT_TRUE(tab.InsertItem(Page("y"), 4)); // after it: hidden
    EXPECT_EQ(Shown(tab), "xa");
    auto* pZ = Page("z");
    EXPECT_FALSE(tab.InsertItem(pZ, 9));
    delete pZ;

    EXPECT_TRUE(tab.RemoveItem(pX)); // before the shown page
    EXPECT_EQ(tab.GetCurSel(), 1);
    EXPECT_TRUE(tab.RemoveItem(tab.ItemAt(1))); // the shown page: the first one takes over
    EXPECT_EQ(tab.GetCurSel(), 0);
    EXPECT_TRUE(tab.ItemAt(0)->IsVisible());
    EXPECT_FALSE(tab.RemoveItem(nullptr));
    tab.RemoveAllItems();
    EXPECT_EQ(tab.GetCurSel(), -1);
    EXPECT_EQ(tab.ItemCount(), 0);
}

TEST(TabLayoutSelect, SelectingAnotherPageShowsItAndSendsTabselectWithNewAndOldIndex)
{
    TabFixture f;
    for (const char* pstrName : {"p0", "p1", "p2"})
        f.tab->AddItem(Page(pstrName));
    EXPECT_TRUE(f.tab->SelectItem(2));
    EXPECT_EQ(Shown(*f.tab), "p2");
    auto sent = TabSelects(f.recorder);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].sender, f.tab);
    EXPECT_EQ(sent[0].wParam, 2u);
    EXPECT_EQ(sent[0].lParam, 0);

    EXPECT_TRUE(f.tab->SelectItem(2)); // already shown: nothing is sent
    EXPECT_TRUE(f.tab->SelectItem(f.tab->ItemAt(2)));
    EXPECT_FALSE(f.tab->SelectItem(3));
    EXPECT_FALSE(f.tab->SelectItem(-1));
    CControlUI stranger;
    EXPECT_FALSE(f.tab->SelectItem(&stranger));
    EXPECT_EQ(TabSelects(f.recorder).size(), 1u);
    EXPECT_EQ(f.tab->GetCurSel(), 2);

    EXPECT_TRUE(f.tab->SelectItem(f.tab->ItemAt(0)));
    sent = TabSelects(f.recorder);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].wParam, 0u);
    EXPECT_EQ(sent[1].lParam, 2);

    // "selectedid" selects once the pages exist; a missing page is ignored.
    f.tab->ApplyAttribute("selectedid", "1");
    EXPECT_EQ(f.tab->GetCurSel(), 1);
    f.tab->ApplyAttribute("selectedid", "7");
    EXPECT_EQ(f.tab->GetCurSel(), 1);
}

TEST(TabLayoutPlacement, ShownPageFillsTheInsetLessItsPaddingUnlessItHasASize)
{
    CTabLayoutUI tab;
    tab.SetInset(CUIRect(10, 10, 10, 10));
    auto* pFirst = Page("first");
    pFirst->SetPadding(CUIRect(1, 2, 3, 4));
    auto* pSecond = Page("second");
    pSecond->SetFixedWidth(50);
    pSecond->SetMaxHeight(30);
    auto* pFloat = Page("float");
    pFloat->SetFloat(true);
    pFloat->SetFixedXY(CUISize(-10, 5));
    pFloat->SetFixedWidth(30);
    pFloat->SetFixedHeight(20);
    tab.AddItem(pFirst);
    tab.AddItem(pSecond);
    tab.AddItem(pFloat);
    pFloat->SetVisible(true); // a floating child shown beside the page

    tab.SetPos(CUIRect(0, 0, 200, 100));
    EXPECT_EQ(RectText(pFirst->GetPos()), "11,12,187,86");
    EXPECT_EQ(RectText(pSecond->GetPos()), "0,0,0,0"); // hidden pages are not placed
    EXPECT_EQ(RectText(pFloat->GetPos()), "160,5,190,25");

    tab.SelectItem(1);
    EXPECT_EQ(RectText(pSecond->GetPos()), "10,10,60,40");
    EXPECT_EQ(RectText(pFirst->GetPos()), "11,12,187,86");
}
