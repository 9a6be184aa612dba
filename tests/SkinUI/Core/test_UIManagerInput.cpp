// The paint manager turning window messages into control events: mouse tracking, buttons, capture, the
// wheel, the cursor, keys, the pre-dispatch keys (Tab, Alt shortcuts), tooltips and reflected child
// messages. Sent messages where the input path does not matter; real input through the X server where
// it does (capture, hover and leave tracking, the key state).
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// Two controls side by side in a 200 x 120 window: a at (10, 10, 60, 60), b at (70, 10, 120, 60). The root
// does not take the mouse, so the rest of the window is empty space.
struct InputTree
{
    EventLog log;
    CPaintManagerUI pm;
    HostWindow host{pm, HostWindow::VisiblePopup, 200, 120};
    CBoxUI* root = nullptr;
    CHookedUI* a = nullptr;
    CHookedUI* b = nullptr;

    InputTree()
    {
        auto pRoot = std::make_unique<CBoxUI>("root");
        pRoot->SetMouseEnabled(false);
        a = pRoot->Place(std::make_unique<CHookedUI>("a", &log), CUIRect(10, 10, 60, 60));
        b = pRoot->Place(std::make_unique<CHookedUI>("b", &log), CUIRect(70, 10, 120, 60));
        root = pRoot.get();
        pm.SetRootControl(pRoot.release());
        ::InvalidateRect(host.Handle(), nullptr, FALSE);
        ::UpdateWindow(host.Handle());
        log.clear();
    }
    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(host.Handle(), uMsg, wParam, lParam);
    }
    void Mouse(UINT uMsg, int x, int y, WPARAM wParam = 0) { Send(uMsg, wParam, MAKELPARAM(x, y)); }
    LPARAM ScreenPoint(int x, int y) const
    {
        POINT pt = {x, y};
        ::ClientToScreen(host.Handle(), &pt);
        return MAKELPARAM(pt.x, pt.y);
    }
    EventLog Take()
    {
        EventLog taken;
        taken.swap(log);
        return taken;
    }
};

// Sets the calling thread's key state as GetKeyState reports it; restores the previous one when it goes.
class KeyStateScope
{
public:
    explicit KeyStateScope(std::initializer_list<int> down)
    {
        ::GetKeyboardState(m_saved);
        BYTE state[256] = {};
        for (int vk : down)
            state[vk] = 0x80;
        ::SetKeyboardState(state);
    }
    ~KeyStateScope() { ::SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256] = {};
};

} // namespace

TEST(ManagerMouse, HoverFollowsThePointerWithLeaveBeforeEnter)
{
    InputTree t;
    struct Step
    {
        UINT uMsg;
        int x, y;
        EventLog expected;
    };
    const Step steps[] = {
        {WM_MOUSEMOVE, 20, 20, {"a:mouseenter", "a:mousemove"}},
        {WM_MOUSEMOVE, 30, 30, {"a:mousemove"}},
        {WM_MOUSEMOVE, 80, 20, {"a:mouseleave", "b:mouseenter", "b:mousemove"}},
        {WM_MOUSEMOVE, 150, 100, {"b:mouseleave"}}, // empty space
        {WM_MOUSEMOVE, 90, 30, {"b:mouseenter", "b:mousemove"}},
        {WM_MOUSELEAVE, 0, 0, {"b:mouseleave"}}, // the mouse left the window
        {WM_MOUSELEAVE, 0, 0, {}},               // no tracking any more: nothing to report
        {WM_MOUSEMOVE, 20, 20, {"a:mouseenter", "a:mousemove"}},
        {WM_MOUSEHOVER, 20, 20, {"a:mousehover"}}, // ends hover tracking; leave tracking goes on
        {WM_MOUSELEAVE, 0, 0, {"a:mouseleave"}},
    };
    for (const Step& step : steps) {
        t.Mouse(step.uMsg, step.x, step.y);
        EXPECT_EQ(t.Take(), step.expected) << "after message " << step.uMsg << " at " << step.x << "," << step.y;
    }
    EXPECT_EQ(t.pm.GetLastMousePoint().x, -1);
    EXPECT_EQ(t.pm.GetLastMousePoint().y, -1);
    ASSERT_FALSE(t.b->events.empty());
    EXPECT_EQ(t.b->events.back().ptMouse.x, -1);
    EXPECT_EQ(t.b->senders.back(), t.b);
}

TEST(ManagerMouse, PressedControlGetsTheMovesAndTheReleaseEvenOutside)
{
    InputTree t;
    t.Mouse(WM_MOUSEMOVE, 20, 20);
    t.Take();
    t.Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(t.Take(), (EventLog{"a:setfocus<-a", "a:buttondown"}));
    EXPECT_EQ(t.a->events.back().wKeyState, 0x09); // the key state of a button message is its own wParam
    EXPECT_EQ(::GetCapture(), t.host.Handle());
    EXPECT_TRUE(t.pm.IsMouseCaptured());

    t.Mouse(WM_MOUSEMOVE, 80, 20, MK_LBUTTON);
    EXPECT_EQ(t.Take(), (EventLog{"a:mouseleave", "b:mouseenter", "a:mousemove"}));
    t.Mouse(WM_MOUSEMOVE, -30, 150, MK_LBUTTON); // outside the window
    EXPECT_EQ(t.Take(), (EventLog{"b:mouseleave", "a:mousemove"}));
    EXPECT_EQ(t.a->events.back().ptMouse.x, -30);
    t.Mouse(WM_LBUTTONUP, -30, 150);
    EXPECT_EQ(t.Take(), (EventLog{"a:buttonup"}));
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_FALSE(t.pm.IsMouseCaptured());

    t.Mouse(WM_MOUSEMOVE, 80, 20);
    EXPECT_EQ(t.Take(), (EventLog{"b:mouseenter", "b:mousemove"}));
    t.Mouse(WM_LBUTTONUP, 80, 20);     // no press: nobody hears it
    t.Mouse(WM_LBUTTONDOWN, 150, 100); // empty space: no press, no capture
    EXPECT_EQ(t.Take(), EventLog{});
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST(ManagerMouse, DoubleClickRightButtonAndContextMenu)
{
    InputTree t;
    t.Mouse(WM_LBUTTONDBLCLK, 20, 20, MK_LBUTTON);
    t.Mouse(WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(t.Take(), (EventLog{"a:dblclick", "a:buttonup"})); // a double click does not move the focus
    EXPECT_EQ(t.pm.GetFocusedControl(), nullptr);

    t.Mouse(WM_RBUTTONDOWN, 80, 20, MK_RBUTTON | MK_SHIFT);
    EXPECT_EQ(t.b->events.back().wKeyState, MK_RBUTTON | MK_SHIFT);
    t.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(t.host.Handle()), t.ScreenPoint(85, 25));
    EXPECT_EQ(t.Take(), (EventLog{"b:setfocus<-b", "b:rbuttondown", "b:contextmenu"}));
    const InputEventUI& menu = t.b->events.back();
    EXPECT_EQ(menu.lParam, reinterpret_cast<LPARAM>(t.b));
    EXPECT_EQ(menu.ptMouse.x, 85);
    EXPECT_EQ(menu.ptMouse.y, 25);
    EXPECT_EQ(::GetCapture(), nullptr);
    t.Send(WM_CONTEXTMENU, 0, t.ScreenPoint(85, 25)); // the press is used up
    EXPECT_EQ(t.Take(), EventLog{});
}

TEST(ManagerMouse, WheelDirectionAndHoverAfterTheContentMoved)
{
    InputTree t;
    t.Mouse(WM_MOUSEMOVE, 20, 20);
    t.Take();
    // a scrolls by swapping places with b, so after the wheel b is under the mouse.
    t.a->onEvent = [&t](InputEventUI& event) {
        if (event.nKind != UIEV_SCROLLWHEEL)
            return;
        t.a->SetPos(CUIRect(70, 10, 120, 60));
        t.b->SetPos(CUIRect(10, 10, 60, 60));
    };
    t.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), t.ScreenPoint(20, 20)); // towards the user
    EXPECT_EQ(t.Take(), (EventLog{"a:scrollwheel", "a:mouseleave", "b:mouseenter", "b:mousemove"}));
    const InputEventUI& wheel = t.a->events[t.a->events.size() - 2];
    EXPECT_EQ(wheel.wParam, 1u);
    EXPECT_EQ(wheel.pSender, t.a);

    t.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), t.ScreenPoint(20, 20)); // away from the user
    EXPECT_EQ(t.Take(), (EventLog{"b:scrollwheel", "b:mousemove"}));
    EXPECT_EQ(t.b->events[t.b->events.size() - 2].wParam, 0u);

    t.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), t.ScreenPoint(150, 100)); // over nothing
    EXPECT_EQ(t.Take(), EventLog{});
}

namespace {

BOOL CALLBACK FindToolTipWindow(HWND hWnd, LPARAM lParam)
{
    char szClass[64] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (lstrcmpiA(szClass, TOOLTIPS_CLASSA) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

} // namespace

TEST(ManagerMouse, HoverShowsTheControlsToolTip)
{
    InputTree t;
    t.a->SetToolTip("Install here");
    t.a->SetToolTipWidth(150);
    t.Mouse(WM_MOUSEMOVE, 20, 20);
    t.Take();
    LRESULT lRes = 0;
    EXPECT_TRUE(t.pm.HandleWindowMessage(WM_MOUSEHOVER, 0, MAKELPARAM(20, 20), lRes));
    EXPECT_EQ(t.Take(), (EventLog{"a:mousehover"}));

    HWND hTip = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindToolTipWindow, reinterpret_cast<LPARAM>(&hTip));
    ASSERT_NE(hTip, nullptr);
    EXPECT_EQ(::GetWindow(hTip, GW_OWNER), t.host.Handle());
    EXPECT_EQ(::SendMessageA(hTip, TTM_GETMAXTIPWIDTH, 0, 0), 150);
    char szText[80] = {};
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = t.host.Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(t.host.Handle());
    ti.lpszText = szText;
    ::SendMessageA(hTip, TTM_GETTEXTA, sizeof(szText), reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(szText, "Install here");

    // Over a control without a tooltip, and over nothing: no hover event for a non-hover control.
    t.Mouse(WM_MOUSEMOVE, 80, 20);
    t.Take();
    t.Send(WM_MOUSEHOVER, 0, MAKELPARAM(80, 20));
    EXPECT_EQ(t.Take(), (EventLog{"b:mousehover"}));
    EXPECT_FALSE(t.pm.HandleWindowMessage(WM_MOUSEHOVER, 0, MAKELPARAM(150, 100), lRes));
    EXPECT_EQ(t.Take(), EventLog{});
}

TEST(ManagerMouse, SetCursorGoesToControlsThatAskForIt)
{
    InputTree t;
    struct CursorControl : CHookedUI
    {
        using CHookedUI::CHookedUI;
        UINT GetControlFlags() const override { return CONTROL_FLAG_SETCURSOR; }
    };
    auto* pCursor = t.root->Place(std::make_unique<CursorControl>("c", &t.log), CUIRect(10, 70, 60, 110));
    t.root->SetPos(CUIRect(0, 0, 200, 120));
    POINT pt = {30, 90};
    ::ClientToScreen(t.host.Handle(), &pt);
    ASSERT_TRUE(::SetCursorPos(pt.x, pt.y));
    const auto SetCursor = [&t](WORD wHitTest) {
        LRESULT lRes = 0;
        return t.pm.HandleWindowMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(t.host.Handle()),
                                        MAKELPARAM(wHitTest, WM_MOUSEMOVE), lRes);
    };
    EXPECT_TRUE(SetCursor(HTCLIENT));
    EXPECT_EQ(t.Take(), (EventLog{"c:setcursor"}));
    EXPECT_EQ(pCursor->senders.back(), nullptr);
    EXPECT_EQ(pCursor->events.back().ptMouse.y, 90);
    EXPECT_FALSE(SetCursor(HTCAPTION)); // not the client area
    t.pm.CaptureMouse();
    EXPECT_TRUE(SetCursor(HTCLIENT)); // captured: answered, nobody asked
    t.pm.ReleaseMouse();
    EXPECT_EQ(t.Take(), EventLog{});

    pt = {20, 20}; // over a, which does not ask
    ::ClientToScreen(t.host.Handle(), &pt);
    ::SetCursorPos(pt.x, pt.y);
    EXPECT_FALSE(SetCursor(HTCLIENT));
    EXPECT_EQ(t.Take(), EventLog{});
}

TEST(ManagerMouse, CloseTellsTheHoverAndPressControlsAndDropsTheFocus)
{
    InputTree t;
    t.Mouse(WM_MOUSEMOVE, 80, 20);
    t.Mouse(WM_LBUTTONDOWN, 80, 20);
    t.Mouse(WM_MOUSEMOVE, 20, 20);
    t.Take();
    LRESULT lRes = 0;
    EXPECT_FALSE(t.pm.HandleWindowMessage(WM_CLOSE, 0, 0, lRes)); // the window still closes
    EXPECT_EQ(t.Take(), (EventLog{"a:mouseleave", "b:buttonup", "b:killfocus<-null"}));
    EXPECT_EQ(t.pm.GetFocusedControl(), nullptr);
    t.pm.ReleaseMouse();
}

TEST(ManagerKeys, KeysGoToTheFocusAndTheReleaseToWhereThePressWent)
{
    InputTree t;
    t.Send(WM_KEYDOWN, 'A', 0x1E0001);
    t.Send(WM_CHAR, 'a', 0x1E0001);
    EXPECT_EQ(t.Take(), EventLog{}); // nothing has the focus

    t.pm.FocusControl(t.a);
    t.Take();
    t.Send(WM_KEYDOWN, VK_RETURN, 0x1C0001);
    t.pm.FocusControl(t.b);
    t.Take();
    t.Send(WM_KEYUP, VK_RETURN, 0xC01C0001);
    t.Send(WM_CHAR, 'x', 0x2D0001);
    t.Send(WM_KEYUP, VK_RETURN, 0xC01C0001); // the key control was used up
    EXPECT_EQ(t.a->events.back().nKind, UIEV_KEYUP);
    EXPECT_EQ(t.a->events.back().chKey, VK_RETURN);
    EXPECT_EQ(t.a->events.back().lParam, static_cast<LPARAM>(0xC01C0001));
    EXPECT_EQ(t.a->events.back().pSender, nullptr);
    ASSERT_EQ(t.b->events.back().nKind, UIEV_CHAR);
    EXPECT_EQ(t.b->events.back().chKey, 'x');
    EXPECT_EQ(t.b->events.back().wParam, 0u); // a character carries no message words
    EXPECT_EQ(t.Take(), (EventLog{"a:keyup", "b:char"}));
    // The window is a Unicode window: a typed character is a UTF-16 unit. Only ASCII is passed on, so that
    // a character whose low byte is a space (U+4E20) or a letter (U+4E41) never reads as that key.
    for (const wchar_t ch : {L'\u4e20', L'\u4e41', L'\u00f1'}) {
        ::SendMessageW(t.host.Handle(), WM_CHAR, ch, 0x10001);
        ASSERT_EQ(t.b->events.back().nKind, UIEV_CHAR);
        EXPECT_EQ(t.b->events.back().chKey, '\0') << static_cast<int>(ch);
    }
    ::SendMessageW(t.host.Handle(), WM_CHAR, L' ', 0x390001);
    EXPECT_EQ(t.b->events.back().chKey, ' ');
}

TEST(ManagerKeys, KeyStateReadsButtonsAndModifiers)
{
    struct Case
    {
        std::initializer_list<int> down;
        WORD wExpected;
    };
    const Case cases[] = {
        {{}, 0},
        {{VK_LBUTTON, VK_CONTROL}, 0x09},
        {{VK_RBUTTON, VK_SHIFT}, 0x06},
        {{VK_MENU}, 0x20},
        {{VK_LBUTTON, VK_RBUTTON, VK_SHIFT, VK_CONTROL, VK_MENU}, 0x2F},
    };
    for (const Case& c : cases) {
        KeyStateScope keys(c.down);
        EXPECT_EQ(CPaintManagerUI::CurrentKeyState(), c.wExpected);
    }
}

namespace {

// A rich edit stand-in that may want the Tab key for itself.
class CWantTabUI : public CHookedUI, public IWantTabUI
{
public:
    CWantTabUI(const char* pstrName, EventLog* pLog) : CHookedUI(pstrName, pLog, true, "RichEditUI") {}
    void* GetInterface(const char* pstrName) override
    {
        if (std::string(pstrName) == "WantTab")
            return static_cast<IWantTabUI*>(this);
        return CHookedUI::GetInterface(pstrName);
    }
    bool IsWantTab() const override { return bWantTab; }
    bool bWantTab = true;
};

// Children in this order: a label 'x', the tab stops t1, the rich edit and t3, a plain control and a label
// 'n'. Shortcut searches visit the children from last to first: label 'n', target, t3, edit, t1, label 'x'.
struct KeyTree
{
    EventLog log;
    CPaintManagerUI pm;
    HostWindow host{pm, HostWindow::VisiblePopup, 200, 120};
    CHookedUI* t1;
    CWantTabUI* edit;
    CHookedUI* t3;
    CHookedUI* target;
    CHookedUI* label;

    KeyTree()
    {
        auto pRoot = std::make_unique<CBoxUI>("root");
        auto* pFirst =
            pRoot->Place(std::make_unique<CHookedUI>("firstlabel", &log, false, "LabelUI"), CUIRect(0, 30, 20, 50));
        pFirst->SetShortcut('x');
        t1 = pRoot->Place(std::make_unique<CHookedUI>("t1", &log, true), CUIRect(0, 0, 20, 20));
        edit = pRoot->Place(std::make_unique<CWantTabUI>("edit", &log), CUIRect(20, 0, 40, 20));
        t3 = pRoot->Place(std::make_unique<CHookedUI>("t3", &log, true), CUIRect(40, 0, 60, 20));
        t3->SetShortcut('k');
        target = pRoot->Place(std::make_unique<CHookedUI>("target", &log), CUIRect(20, 30, 40, 50));
        label = pRoot->Place(std::make_unique<CHookedUI>("label", &log, false, "LabelUI"), CUIRect(40, 30, 60, 50));
        label->SetShortcut('n');
        pm.SetRootControl(pRoot.release());
        ::InvalidateRect(host.Handle(), nullptr, FALSE);
        ::UpdateWindow(host.Handle());
        log.clear();
    }
    bool Route(UINT uMsg, WPARAM wParam)
    {
        MSG msg = {};
        msg.hwnd = host.Handle();
        msg.message = uMsg;
        msg.wParam = wParam;
        return CPaintManagerUI::RouteQueuedMessage(&msg);
    }
};

} // namespace

TEST(ManagerKeys, TabMovesTheFocusUnlessARichEditWantsIt)
{
    KeyTree t;
    ASSERT_EQ(t.pm.GetFocusedControl(), t.t1);
    EXPECT_TRUE(t.Route(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(t.pm.GetFocusedControl(), t.edit);
    EXPECT_FALSE(t.Route(WM_KEYDOWN, VK_TAB)); // the rich edit takes it
    EXPECT_EQ(t.pm.GetFocusedControl(), t.edit);
    t.edit->bWantTab = false;
    EXPECT_TRUE(t.Route(WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(t.pm.GetFocusedControl(), t.t3);
    {
        KeyStateScope shift({VK_SHIFT});
        EXPECT_TRUE(t.Route(WM_KEYDOWN, VK_TAB));
    }
    EXPECT_EQ(t.pm.GetFocusedControl(), t.edit);
    EXPECT_FALSE(t.Route(WM_KEYDOWN, 'A')); // other keys are dispatched as usual
}

TEST(ManagerKeys, AltShortcutOfALabelActivatesTheNextControl)
{
    KeyTree t;
    EXPECT_TRUE(t.Route(WM_SYSCHAR, 'N'));
    EXPECT_EQ(t.pm.GetFocusedControl(), t.target);
    EXPECT_EQ(t.target->nActivations, 1);
    EXPECT_EQ(t.label->nActivations, 0);

    EXPECT_TRUE(t.Route(WM_SYSCHAR, 'k')); // a control that is not a label takes its own shortcut, either case
    EXPECT_EQ(t.pm.GetFocusedControl(), t.t3);
    EXPECT_EQ(t.t3->nActivations, 1);
    EXPECT_FALSE(t.Route(WM_SYSCHAR, 'x')); // a label with nothing after it
    EXPECT_FALSE(t.Route(WM_SYSCHAR, 0x4E4B)); // U+4E4B: its low byte 'K' is no shortcut
    EXPECT_FALSE(t.Route(WM_SYSCHAR, 'q'));
    EXPECT_EQ(t.pm.GetFocusedControl(), t.t3);

    t.target->SetVisible(false); // the next visible control after the label takes it instead
    EXPECT_TRUE(t.Route(WM_SYSCHAR, 'n'));
    EXPECT_EQ(t.t3->nActivations, 2);
    t.target->SetVisible(true);
    t.target->SetEnabled(false);
    EXPECT_TRUE(t.Route(WM_SYSCHAR, 'n'));
    EXPECT_EQ(t.t3->nActivations, 3);
}

TEST(ManagerKeys, SystemKeyGoesToTheFocusAndIsStillDispatched)
{
    KeyTree t;
    EXPECT_FALSE(t.Route(WM_SYSKEYDOWN, VK_F4));
    ASSERT_EQ(t.log, (EventLog{"t1:syskey"}));
    EXPECT_EQ(t.t1->events.back().chKey, VK_F4);
    EXPECT_EQ(t.t1->events.back().pSender, nullptr);
}

namespace {

// A native child window that answers reflected messages with a value of its own and records them.
struct ReflectingChild
{
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg >= UIMSG_REFLECT_BASE && uMsg < UIMSG_REFLECT_BASE + 0x400) {
            seen.push_back(uMsg - UIMSG_REFLECT_BASE);
            return 0x5A00 + static_cast<LRESULT>(uMsg - UIMSG_REFLECT_BASE);
        }
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
    static std::vector<UINT> seen;
};
std::vector<UINT> ReflectingChild::seen;

} // namespace

TEST(ManagerReflect, ChildNotificationsGoBackToTheChild)
{
    InputTree t;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ReflectingChild::Proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "SkinUITestReflectingChild";
    ::RegisterClassA(&wc);
    const HWND hChild = ::CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD, 0, 0, 10, 10, t.host.Handle(), nullptr,
                                          wc.hInstance, nullptr);
    ASSERT_NE(hChild, nullptr);
    ReflectingChild::seen.clear();
    const LPARAM lChild = reinterpret_cast<LPARAM>(hChild);
    NMHDR hdr = {hChild, 7, 0};

    struct Case
    {
        UINT uMsg;
        LPARAM lParam;
        bool bHandled;
        LRESULT lExpected;
    };
    const Case cases[] = {
        {WM_COMMAND, lChild, true, 0x5A00 + WM_COMMAND},
        {WM_COMMAND, 0, false, -1}, // a menu or accelerator command: not reflected
        {WM_CTLCOLOREDIT, lChild, true, 0x5A00 + WM_CTLCOLOREDIT},
        {WM_CTLCOLORSTATIC, lChild, true, 0x5A00 + WM_CTLCOLORSTATIC},
        {WM_CTLCOLORSTATIC, 0, false, -1},
        {WM_NOTIFY, reinterpret_cast<LPARAM>(&hdr), true, 0x5A00 + WM_NOTIFY},
        {WM_NOTIFY, 0, true, -1}, // answered without a record, result untouched
    };
    for (const Case& c : cases) {
        LRESULT lRes = -1;
        EXPECT_EQ(t.pm.HandleWindowMessage(c.uMsg, 7, c.lParam, lRes), c.bHandled) << c.uMsg;
        EXPECT_EQ(lRes, c.lExpected) << c.uMsg;
    }
    EXPECT_EQ(ReflectingChild::seen, (std::vector<UINT>{WM_COMMAND, WM_CTLCOLOREDIT, WM_CTLCOLORSTATIC, WM_NOTIFY}));
    ::DestroyWindow(hChild);
}

// ---- Real input through the X server ----

TEST(ManagerRealInput, PressMoveOutsideAndReleaseStayWithThePressedControl)
{
    if (!XInput::Available())
        GTEST_SKIP() << "xdotool is not available";
    InputTree t;
    ASSERT_TRUE(XInput::MoveTo(t.host.Handle(), 20, 20));
    ASSERT_TRUE(XInput::PumpUntil([&t] { return !t.a->events.empty(); }));
    ASSERT_TRUE(XInput::Run("mousedown 1"));
    ASSERT_TRUE(XInput::PumpUntil([&t] { return t.pm.IsMouseCaptured(); }));
    ASSERT_TRUE(XInput::MoveTo(t.host.Handle(), 250, 200)); // beyond the window's right and bottom edges
    // Wine reports a leave as soon as the captured mouse is outside the window, so the pressed control may
    // also get a move to (-1, -1) before the release: look for the move itself.
    const auto movedOutside = [&t] {
        for (const InputEventUI& event : t.a->events)
            if (event.nKind == UIEV_MOUSEMOVE && event.ptMouse.x == 250 && event.ptMouse.y == 200)
                return true;
        return false;
    };
    EXPECT_TRUE(XInput::PumpUntil(movedOutside));
    ASSERT_TRUE(XInput::Run("mouseup 1"));
    ASSERT_TRUE(XInput::PumpUntil([&t] { return t.a->events.back().nKind == UIEV_BUTTONUP; }));
    EXPECT_EQ(t.a->events.back().ptMouse.x, 250);
    EXPECT_EQ(t.a->events.back().ptMouse.y, 200);
    EXPECT_FALSE(t.pm.IsMouseCaptured());
    for (const InputEventUI& event : t.b->events)
        EXPECT_NE(event.nKind, UIEV_MOUSEMOVE) << "b got a move while a was pressed";
}

TEST(ManagerRealInput, RestingPointerHoversAndLeavingTheWindowIsReported)
{
    if (!XInput::Available())
        GTEST_SKIP() << "xdotool is not available";
    InputTree t;
    t.a->SetToolTip("tip");
    ASSERT_TRUE(XInput::MoveTo(t.host.Handle(), 30, 30));
    // The hover report comes after the pointer rests (400 ms without a tooltip window).
    const auto hovered = [&t] {
        for (const InputEventUI& event : t.a->events)
            if (event.nKind == UIEV_MOUSEHOVER)
                return true;
        return false;
    };
    EXPECT_TRUE(XInput::PumpUntil(hovered, 5000));
    ASSERT_TRUE(XInput::MoveTo(t.host.Handle(), 400, 300)); // off the window
    EXPECT_TRUE(XInput::PumpUntil([&t] { return t.a->events.back().nKind == UIEV_MOUSELEAVE; }, 5000));
    EXPECT_EQ(t.pm.GetLastMousePoint().x, -1);
    EXPECT_EQ(t.pm.GetLastMousePoint().y, -1);
}

TEST(ManagerRealInput, CtrlClickCarriesKeyState09)
{
    if (!XInput::Available())
        GTEST_SKIP() << "xdotool is not available";
    InputTree t;
    WORD wStateInHandler = 0;
    t.a->onEvent = [&wStateInHandler](InputEventUI& event) {
        if (event.nKind == UIEV_BUTTONDOWN)
            wStateInHandler = CPaintManagerUI::CurrentKeyState();
    };
    // Without a window manager the keyboard follows a click: click empty space first.
    ASSERT_TRUE(XInput::MoveTo(t.host.Handle(), 150, 100));
    ASSERT_TRUE(XInput::Run("click 1"));
    ASSERT_TRUE(XInput::MoveTo(t.host.Handle(), 20, 20));
    ASSERT_TRUE(XInput::Run("keydown ctrl mousedown 1"));
    const bool bDown = XInput::PumpUntil([&t] { return t.pm.IsMouseCaptured(); });
    XInput::Run("mouseup 1 keyup ctrl");
    ASSERT_TRUE(bDown);
    XInput::PumpUntil([&t] { return !t.pm.IsMouseCaptured(); });
    InputEventUI down = {};
    for (const InputEventUI& event : t.a->events)
        if (event.nKind == UIEV_BUTTONDOWN)
            down = event;
    EXPECT_EQ(down.wKeyState, 0x09);
    EXPECT_EQ(wStateInHandler, 0x09);
}
