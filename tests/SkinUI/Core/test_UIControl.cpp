// The control base: attribute syntax, placement, hit testing, state, input bubbling, listeners, lifecycle.
#include "UITestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

std::unique_ptr<CControlUI> Apply(std::initializer_list<std::pair<const char*, const char*>> attributes)
{
    auto p = std::make_unique<CControlUI>();
    for (const auto& a : attributes)
        p->ApplyAttribute(a.first, a.second);
    return p;
}

// Listener that counts its calls in the int the control's tag points to.
bool CountCall(void* pParam)
{
    ++*reinterpret_cast<int*>(static_cast<CControlUI*>(pParam)->GetTag());
    return true;
}

bool Veto(void*)
{
    return false;
}

} // namespace

// ---- Attribute values ----

TEST(ControlAttributes, ColoursKeepAlphaInTheTopByte)
{
    auto p = Apply({{"bkcolor", "#ff0c78cb"},
                    {"bkcolor2", "0xFFFFFFFF"},
                    {"bkcolor3", "#000094E3"},
                    {"bordercolor", "80112233"},
                    {"focusbordercolor", "#12"}});
    EXPECT_EQ(p->GetBackColor(), 0xFF0C78CBu);
    EXPECT_EQ(p->GetBackColor2(), 0xFFFFFFFFu);
    EXPECT_EQ(p->GetBackColor3(), 0x000094E3u); // six digits after "00": alpha 0
    EXPECT_EQ(p->GetBorderColor(), 0x80112233u);
    EXPECT_EQ(p->GetFocusBorderColor(), 0x12u);
}

TEST(ControlAttributes, OnlyBackgroundColoursSkipLeadingBlanks)
{
    auto p = Apply({{"bkcolor1", " \t\r\n#FF102030"}, {"bkcolor2", "  #FF405060"}, {"bordercolor", " #FF708090"}});
    EXPECT_EQ(p->GetBackColor(), 0xFF102030u);
    EXPECT_EQ(p->GetBackColor2(), 0xFF405060u);
    EXPECT_EQ(p->GetBorderColor(), 0u); // the blank stays, so the '#' is not skipped and nothing is read
}

TEST(ControlAttributes, PosThenWidthAndHeightAsTheSkinWritesThem)
{
    auto p = Apply({{"pos", "3,0,0,0"}, {"width", "32"}, {"height", "22"}});
    EXPECT_EQ(p->GetFixedXY().cx, 3);
    EXPECT_EQ(p->GetFixedXY().cy, 0);
    EXPECT_EQ(p->GetFixedWidth(), 32);
    EXPECT_EQ(p->GetFixedHeight(), 22);
}

TEST(ControlAttributes, PosWithNegativeLeftOrTopTakesRightOrBottomAsOffset)
{
    auto p = Apply({{"pos", "-40,-20,-10,-5"}});
    EXPECT_EQ(p->GetFixedXY().cx, -10);
    EXPECT_EQ(p->GetFixedXY().cy, -5);
    EXPECT_EQ(p->GetFixedWidth(), 30);
    EXPECT_EQ(p->GetFixedHeight(), 15);

    // A negative size from "pos" is ignored and the earlier size stays.
    auto q = Apply({{"width", "50"}, {"pos", "10,10,0,20"}});
    EXPECT_EQ(q->GetFixedWidth(), 50);
    EXPECT_EQ(q->GetFixedHeight(), 10);
}

TEST(ControlAttributes, ShortListsStopAtTheEndOfTheText)
{
    auto p = Apply({{"pos", "5,6"}, {"padding", "1,2,3"}, {"borderround", "7"}});
    EXPECT_EQ(p->GetFixedXY().cx, 5);
    EXPECT_EQ(p->GetFixedXY().cy, 6);
    EXPECT_EQ(p->GetPadding().left, 1);
    EXPECT_EQ(p->GetPadding().right, 3);
    EXPECT_EQ(p->GetPadding().bottom, 0);
    EXPECT_EQ(p->GetBorderRound().cx, 7);
    EXPECT_EQ(p->GetBorderRound().cy, 0);
}

TEST(ControlAttributes, NumbersSkipBlanksReadASignAndStopAtOtherCharacters)
{
    auto p = Apply({{"width", "  +42px"}, {"height", "abc"}, {"minwidth", "-3"}, {"maxheight", "77"}});
    EXPECT_EQ(p->GetFixedWidth(), 42);
    EXPECT_EQ(p->GetFixedHeight(), 0);
    EXPECT_EQ(p->GetMinWidth(), 0); // negative: ignored
    EXPECT_EQ(p->GetMaxHeight(), 77);
    EXPECT_EQ(p->GetMaxWidth(), 9999);
}

TEST(ControlAttributes, BorderSizeWithOneNumberOrFourSides)
{
    auto p = Apply({{"bordersize", "2"}});
    EXPECT_EQ(p->GetBorderSize(), 2);
    p->ApplyAttribute("bordersize", "0,0,0,2");
    EXPECT_EQ(p->GetBorderSize(), 2); // the whole-border size is kept
    EXPECT_EQ(p->GetBottomBorderSize(), 2);
    EXPECT_EQ(p->GetLeftBorderSize(), 0);
    p->ApplyAttribute("bordersize", "1");
    EXPECT_EQ(p->GetBorderSize(), 1);
    EXPECT_EQ(p->GetBottomBorderSize(), 0); // a single number clears the sides
    p->ApplyAttribute("topbordersize", "4");
    p->ApplyAttribute("borderstyle", "2");
    EXPECT_EQ(p->GetTopBorderSize(), 4);
    EXPECT_EQ(p->GetBorderStyle(), 2);
}

TEST(ControlAttributes, BooleansAreTrueOnlyForExactlyTrue)
{
    auto p = Apply({{"enabled", "TRUE"},
                    {"visible", "1"},
                    {"mouse", "false"},
                    {"keyboard", "true"},
                    {"float", "true"},
                    {"menu", "true"},
                    {"colorhsl", "true"}});
    EXPECT_FALSE(p->IsEnabled());
    EXPECT_FALSE(p->IsVisible());
    EXPECT_FALSE(p->IsMouseEnabled());
    EXPECT_TRUE(p->IsKeyboardEnabled());
    EXPECT_TRUE(p->IsFloat());
    EXPECT_TRUE(p->IsContextMenuUsed());
    EXPECT_TRUE(p->IsColorHsl());
}

TEST(ControlAttributes, TextsShortcutAndUnknownNames)
{
    auto p = Apply({{"name", "btnOk"},
                    {"text", "确定"},
                    {"tooltip", "first<n>second"},
                    {"userdata", "u"},
                    {"shortcut", "xyz"},
                    {"Name", "ignored"},
                    {"nosuch", "1"},
                    {"relativepos", "50,0,100,0"}});
    EXPECT_STREQ(p->GetName(), "btnOk");
    EXPECT_STREQ(p->GetText(), "确定");
    EXPECT_STREQ(p->GetToolTip(), "first\r\nsecond");
    EXPECT_STREQ(p->GetUserData(), "u");
    EXPECT_EQ(p->GetShortcut(), 'x');
    EXPECT_TRUE(p->IsRelativePos());
    EXPECT_EQ(p->GetRelativePos().nMoveX, 50);
    EXPECT_EQ(p->GetRelativePos().nZoomX, 100);
}

TEST(ControlAttributes, AttributeListNeedsSingleSpaces)
{
    CControlUI c;
    c.ApplyAttributeList("name=\"a\" width=\"10\" height=\"20\"");
    EXPECT_STREQ(c.GetName(), "a");
    EXPECT_EQ(c.GetFixedWidth(), 10);
    EXPECT_EQ(c.GetFixedHeight(), 20);

    CControlUI d;
    d.ApplyAttributeList("width=\"10\"  height=\"20\""); // second name is " height": no such attribute
    EXPECT_EQ(d.GetFixedWidth(), 10);
    EXPECT_EQ(d.GetFixedHeight(), 0);

    CControlUI e;
    e.ApplyAttributeList("width=\"10\"height=\"20\""); // no separator: only the first pair
    EXPECT_EQ(e.GetFixedWidth(), 10);
    EXPECT_EQ(e.GetFixedHeight(), 0);
}

TEST(ControlAttributes, MalformedAttributeListKeepsWhatWasAppliedAndAsserts)
{
    AssertCounter asserts;
    CControlUI c;
    c.ApplyAttributeList("width=\"10\" height=20");
    EXPECT_EQ(c.GetFixedWidth(), 10);
    EXPECT_EQ(c.GetFixedHeight(), 0);
    EXPECT_EQ(asserts.Count(), 1);

    CControlUI d;
    d.ApplyAttributeList("text=\"unterminated");
    EXPECT_STREQ(d.GetText(), "");
    EXPECT_EQ(asserts.Count(), 2);

    CControlUI e;
    e.ApplyAttributeList("noequals");
    EXPECT_EQ(asserts.Count(), 3);
}

TEST(ControlAttributes, AttributeListKeepsDoubleByteText)
{
    CControlUI c;
    c.ApplyAttributeList("text=\"安装路径\" tooltip=\"选择<n>文件夹\"");
    EXPECT_STREQ(c.GetText(), "安装路径");
    EXPECT_STREQ(c.GetToolTip(), "选择\r\n文件夹");
}

// ---- Placement ----

TEST(ControlPlacement, SetPosCollapsesInvertedRectangles)
{
    CControlUI c;
    c.SetPos(CUIRect(50, 40, 10, 30));
    EXPECT_EQ(c.GetPos().left, 50);
    EXPECT_EQ(c.GetWidth(), 0);
    EXPECT_EQ(c.GetHeight(), 0);
    EXPECT_EQ(c.GetX(), 50);
    EXPECT_EQ(c.GetY(), 40);
}

TEST(ControlPlacement, FloatingControlKeepsItsOffsetSense)
{
    CPaintManagerUI pm;
    CTestContainerUI parent("p");
    parent.SetManager(&pm, nullptr, false);
    auto* pChild = parent.Add(std::make_unique<CRecordingControlUI>("c"));
    parent.SetPos(CUIRect(100, 100, 300, 200));
    pChild->SetFloat(true);
    pChild->SetFixedXY(CUISize(-40, 5));
    pChild->SetPos(CUIRect(230, 105, 260, 125));
    EXPECT_EQ(pChild->GetFixedXY().cx, -40); // right edge 260 is 40 left of the container's 300
    EXPECT_EQ(pChild->GetFixedXY().cy, 5);
    EXPECT_EQ(pChild->GetFixedWidth(), 30);
    EXPECT_EQ(pChild->GetFixedHeight(), 20);
    EXPECT_FALSE(pChild->IsLayoutNeeded());
}

TEST(ControlPlacement, SizeListenersRunOnlyWithAManager)
{
    int nCalls = 0;
    CControlUI c;
    c.SetTag(reinterpret_cast<UINT_PTR>(&nCalls));
    c.m_sizeListeners += CountCall;
    c.SetPos(CUIRect(0, 0, 10, 10));
    EXPECT_EQ(nCalls, 0);
    CPaintManagerUI pm;
    c.SetManager(&pm, nullptr, false);
    c.SetPos(CUIRect(0, 0, 20, 10));
    EXPECT_EQ(nCalls, 1);
}

TEST(ControlPlacement, SettersIgnoreNegativeAndUnchangedValues)
{
    CControlUI c;
    c.SetFixedWidth(-1);
    c.SetFixedHeight(-5);
    c.SetMinHeight(-2);
    c.SetMaxWidth(-2);
    EXPECT_EQ(c.GetFixedWidth(), 0);
    EXPECT_EQ(c.GetFixedHeight(), 0);
    EXPECT_EQ(c.GetMinHeight(), 0);
    EXPECT_EQ(c.GetMaxWidth(), 9999);
    c.SetFixedXY(CUISize(4, 5));
    EXPECT_EQ(c.EstimateSize(CUISize(100, 100)).cx, 0);
    c.SetFixedWidth(12);
    EXPECT_EQ(c.EstimateSize(CUISize(1, 1)).cx, 12);
}

// ---- Hit testing ----

TEST(ControlFind, HitTestExcludesRightAndBottomEdges)
{
    CControlUI c;
    c.SetPos(CUIRect(10, 10, 50, 30));
    const auto accept = [](CControlUI* p, void*) { return p; };
    POINT pt = {10, 10};
    EXPECT_EQ(c.FindControl(accept, &pt, FIND_HITTEST), &c);
    pt = {49, 29};
    EXPECT_EQ(c.FindControl(accept, &pt, FIND_HITTEST), &c);
    pt = {50, 20};
    EXPECT_EQ(c.FindControl(accept, &pt, FIND_HITTEST), nullptr);
    pt = {20, 30};
    EXPECT_EQ(c.FindControl(accept, &pt, FIND_HITTEST), nullptr);
}

TEST(ControlFind, FlagsFilterHiddenDisabledAndMouseDisabledControls)
{
    CControlUI c;
    c.SetPos(CUIRect(0, 0, 40, 40));
    const auto accept = [](CControlUI* p, void*) { return p; };
    POINT pt = {5, 5};
    c.SetMouseEnabled(false);
    EXPECT_EQ(c.FindControl(accept, &pt, FIND_HITTEST), nullptr);
    EXPECT_EQ(c.FindControl(accept, nullptr, FIND_ALL), &c);
    c.SetEnabled(false);
    EXPECT_EQ(c.FindControl(accept, nullptr, FIND_ENABLED), nullptr);
    EXPECT_EQ(c.FindControl(accept, nullptr, FIND_VISIBLE), &c);
    c.SetInternVisible(false);
    EXPECT_EQ(c.FindControl(accept, nullptr, FIND_VISIBLE), nullptr);
    EXPECT_EQ(c.FindControl(accept, nullptr, FIND_ALL), &c);
}

// ---- Input ----

TEST(ControlEvents, UnhandledEventsBubbleToTheRoot)
{
    EventLog log;
    CTestContainerUI root("root", &log);
    auto* pMid = root.Add(std::make_unique<CTestContainerUI>("mid", &log));
    auto* pLeaf = pMid->Add(std::make_unique<CRecordingControlUI>("leaf", &log));
    InputEventUI event;
    event.nKind = UIEV_KEYDOWN;
    pLeaf->DeliverEvent(event);
    EXPECT_EQ(log, (EventLog{"leaf:keydown", "mid:keydown", "root:keydown"}));

    // A control without a parent drops it.
    CRecordingControlUI lone("lone", &log);
    log.clear();
    lone.DeliverEvent(event);
    EXPECT_EQ(log, (EventLog{"lone:keydown"}));
}

TEST(ControlEvents, FocusEventsStopAtTheControl)
{
    EventLog log;
    CTestContainerUI root("root", &log);
    auto* pLeaf = root.Add(std::make_unique<CRecordingControlUI>("leaf", &log));
    InputEventUI event;
    event.nKind = UIEV_SETFOCUS;
    pLeaf->DeliverEvent(event);
    EXPECT_TRUE(pLeaf->IsFocused());
    event.nKind = UIEV_KILLFOCUS;
    pLeaf->DeliverEvent(event);
    EXPECT_FALSE(pLeaf->IsFocused());
    EXPECT_EQ(log.size(), 2u);
}

TEST(ControlEvents, ContextMenuBecomesMenuNotificationWhereItIsUsed)
{
    CPaintManagerUI pm;
    HostWindow host(pm);
    EventLog log;
    NotifyRecorder notes(&log);
    pm.RegisterNotifier(&notes);
    auto pRoot = std::make_unique<CTestContainerUI>("root", &log);
    auto* pLeaf = pRoot->Add(std::make_unique<CRecordingControlUI>("leaf", &log));
    pm.SetRootControl(pRoot.release());
    pm.GetRootControl()->SetContextMenuUsed(true);

    InputEventUI event;
    event.nKind = UIEV_CONTEXTMENU;
    event.wParam = 7;
    pLeaf->DeliverEvent(event);
    EXPECT_EQ(log, (EventLog{"leaf:contextmenu", "root:contextmenu", "notify:menu:root"}));
    ASSERT_EQ(notes.received.size(), 1u);
    EXPECT_EQ(notes.received[0].wParam, 7u);

    log.clear();
    pLeaf->SetContextMenuUsed(true);
    pLeaf->DeliverEvent(event);
    EXPECT_EQ(log, (EventLog{"leaf:contextmenu", "notify:menu:leaf"}));
}

TEST(ControlEvents, EventListenersSeeTheEventAndMayVetoIt)
{
    EventLog log;
    CRecordingControlUI c("c", &log);
    c.m_eventListeners += Veto;
    InputEventUI event;
    event.nKind = UIEV_CHAR;
    c.DeliverEvent(event);
    EXPECT_TRUE(log.empty());
    c.m_eventListeners -= Veto;
    c.DeliverEvent(event);
    EXPECT_EQ(log, (EventLog{"c:char"}));
}

namespace {
// An event listener that deletes the control it listens to, or removes itself.
struct EventMeddler
{
    EventLog* log;
    CControlUI* pControl;
    bool bDelete;
    bool OnEvent(void*)
    {
        log->push_back(bDelete ? "deleter" : "remover");
        if (bDelete)
            delete pControl;
        else
            pControl->m_eventListeners -= MakeDelegate(this, &EventMeddler::OnEvent);
        return true;
    }
};

bool LogSecond(void* pParam)
{
    static_cast<InputEventUI*>(pParam)->wParam += 1;
    return true;
}
} // namespace

TEST(ControlEvents, ListenerMayDeleteTheControlOrRemoveItselfDuringDelivery)
{
    for (const bool bDelete : {true, false}) {
        EventLog log;
        auto* pControl = new CRecordingControlUI("c", &log);
        bool bDeleted = false;
        pControl->pDeletedFlag = &bDeleted;
        EventMeddler meddler{&log, pControl, bDelete};
        pControl->m_eventListeners += MakeDelegate(&meddler, &EventMeddler::OnEvent);
        pControl->m_eventListeners += LogSecond;
        InputEventUI event;
        event.nKind = UIEV_CHAR;
        pControl->DeliverEvent(event);
        EXPECT_EQ(bDeleted, bDelete);
        if (bDelete) {
            // Nothing more reaches the deleted control: neither its later listeners nor its HandleEvent.
            EXPECT_EQ(log, (EventLog{"deleter"}));
            EXPECT_EQ(event.wParam, 0u);
            continue;
        }
        EXPECT_EQ(log, (EventLog{"remover", "c:char"})) << "the listener after the one removed still ran";
        EXPECT_EQ(event.wParam, 1u);
        EXPECT_EQ(pControl->m_eventListeners.Count(), 1);
        delete pControl;
    }
}

// ---- State ----

TEST(ControlState, VisibilityNeedsOwnAndInheritedFlags)
{
    CControlUI c;
    EXPECT_TRUE(c.IsVisible());
    c.SetInternVisible(false);
    EXPECT_FALSE(c.IsVisible());
    c.SetInternVisible(true);
    c.SetVisible(false);
    EXPECT_FALSE(c.IsVisible());
    EXPECT_FALSE(c.Activate());
    c.SetVisible(true);
    EXPECT_TRUE(c.Activate());
    c.SetEnabled(false);
    EXPECT_FALSE(c.Activate());
}

TEST(ControlState, SetVisibleClearsTheFocusedFlagEitherWay)
{
    CControlUI c;
    InputEventUI event;
    event.nKind = UIEV_SETFOCUS;
    c.DeliverEvent(event);
    ASSERT_TRUE(c.IsFocused());
    c.SetVisible(false);
    EXPECT_FALSE(c.IsFocused());
    c.DeliverEvent(event);
    c.SetVisible(true);
    EXPECT_FALSE(c.IsFocused());
}

TEST(ControlState, HidingTheFocusedControlClearsTheManagersFocus)
{
    CPaintManagerUI pm;
    HostWindow host(pm);
    auto pRoot = std::make_unique<CTestContainerUI>("root");
    auto* pA = pRoot->Add(std::make_unique<CRecordingControlUI>("a"));
    pm.SetRootControl(pRoot.release());
    pm.FocusControl(pA);
    ASSERT_EQ(pm.GetFocusedControl(), pA);
    pA->SetVisible(false);
    EXPECT_EQ(pm.GetFocusedControl(), nullptr);

    pA->SetVisible(true);
    pA->SetFocus();
    ASSERT_EQ(pm.GetFocusedControl(), pA);
    pA->SetInternVisible(false);
    EXPECT_EQ(pm.GetFocusedControl(), nullptr);
}

TEST(ControlState, VirtualWindowIsInheritedFromAncestors)
{
    CTestContainerUI root("root");
    auto* pMid = root.Add(std::make_unique<CTestContainerUI>("mid"));
    auto* pLeaf = pMid->Add(std::make_unique<CRecordingControlUI>("leaf"));
    EXPECT_STREQ(pLeaf->GetVirtualWindow(), "");
    root.SetVirtualWindow("page");
    EXPECT_STREQ(pLeaf->GetVirtualWindow(), "page");
    pMid->SetVirtualWindow("inner");
    EXPECT_STREQ(pLeaf->GetVirtualWindow(), "inner");
}

// ---- Lifecycle ----

TEST(ControlLifecycle, InitRunsOnlyWhenAttachedBelowAParent)
{
    int nInit = 0;
    CControlUI c;
    c.SetTag(reinterpret_cast<UINT_PTR>(&nInit));
    c.m_initListeners += CountCall;
    CPaintManagerUI pm;
    c.SetManager(&pm, nullptr, true); // a root is never initialised this way
    EXPECT_EQ(nInit, 0);
    CControlUI parent;
    c.SetManager(&pm, &parent, false);
    EXPECT_EQ(nInit, 0);
    c.SetManager(&pm, &parent, true);
    EXPECT_EQ(nInit, 1);
    EXPECT_EQ(c.GetParent(), &parent);
    EXPECT_EQ(c.GetManager(), &pm);
    c.SetManager(nullptr, nullptr, false);
}

TEST(ControlLifecycle, DestructionCallsListenersAndIsForgottenByTheManager)
{
    CPaintManagerUI pm;
    HostWindow host(pm);
    auto pRoot = std::make_unique<CTestContainerUI>("root");
    pm.SetRootControl(pRoot.release());
    int nDestroyed = 0;
    {
        CRecordingControlUI c("temp");
        c.SetTag(reinterpret_cast<UINT_PTR>(&nDestroyed));
        c.m_destroyListeners += CountCall;
        pm.AttachControlTree(&c, pm.GetRootControl());
        ASSERT_EQ(pm.FindControlByName("temp"), &c);
        pm.FocusControl(&c);
        ASSERT_EQ(pm.GetFocusedControl(), &c);
    }
    EXPECT_EQ(nDestroyed, 1);
    EXPECT_EQ(pm.FindControlByName("temp"), nullptr);
    EXPECT_EQ(pm.GetFocusedControl(), nullptr);
}

TEST(ControlLifecycle, BackgroundImageThatCannotBeDrawnIsDropped)
{
    CPaintManagerUI pm;
    CControlUI c;
    c.SetManager(&pm, nullptr, false);
    c.SetPos(CUIRect(0, 0, 20, 20));
    c.SetBackImage("file='no-such-image.png'");
    const HDC hDC = ::CreateCompatibleDC(nullptr);
    c.Paint(hDC, CUIRect(0, 0, 20, 20));
    ::DeleteDC(hDC);
    EXPECT_STREQ(c.GetBackImage(), "");
    c.SetManager(nullptr, nullptr, false);
}

TEST(ControlLifecycle, InterfacesAndClassName)
{
    CControlUI c;
    EXPECT_EQ(c.GetInterface("Control"), &c);
    EXPECT_EQ(c.GetInterface("control"), nullptr);
    EXPECT_STREQ(c.GetClassName(), "ControlUI");
    EXPECT_EQ(c.GetControlFlags(), 0u);
    EXPECT_EQ(c.GetToolTipWidth(), 300);
}
