// Buttons, options and check boxes: clicks through the paint manager's mouse routing (sent messages, and
// real input through the X server for the capture), keys, option groups and their notifications, state
// bits, and the state images and text colours drawn into memory bitmaps.
#include "ControlTestSupport.h"
#include "SkinImages.h"
#include "WindowTestSupport.h"

#include "SkinUI/Control/UIButton.h"
#include "SkinUI/Window/UIDlgBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// Controls placed in a 200 x 120 window whose root does not take the mouse; notifications are logged as
// "<type>:<sender name>".
struct ButtonWindow
{
    EventLog log;
    NotifyRecorder recorder{&log};
    CPaintManagerUI pm;
    HostWindow host{pm, HostWindow::VisiblePopup, 200, 120};
    CBoxUI* root = nullptr;

    ButtonWindow()
    {
        auto pRoot = std::make_unique<CBoxUI>("root");
        pRoot->SetMouseEnabled(false);
        root = pRoot.get();
        pm.SetRootControl(pRoot.release());
        pm.RegisterNotifier(&recorder);
    }
    template <class T>
    T* Place(const char* pstrName, const RECT& rc, const char* pstrAttributes = "")
    {
        auto p = std::make_unique<T>();
        p->SetName(pstrName);
        p->ApplyAttributeList(pstrAttributes);
        T* pControl = root->Place(std::move(p), rc);
        pm.AttachControlTree(pControl, root);
        return pControl;
    }
    // Lays out and paints once, then forgets what that logged.
    void Show()
    {
        ::InvalidateRect(host.Handle(), nullptr, FALSE);
        ::UpdateWindow(host.Handle());
        log.clear();
    }
    void Mouse(UINT uMsg, int x, int y)
    {
        ::SendMessageA(host.Handle(), uMsg, uMsg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
    }
    void Click(int x, int y)
    {
        Mouse(WM_MOUSEMOVE, x, y);
        Mouse(WM_LBUTTONDOWN, x, y);
        Mouse(WM_LBUTTONUP, x, y);
    }
    EventLog Take()
    {
        EventLog taken;
        for (const std::string& s : log) {
            const std::string sType = s.rfind("notify:", 0) == 0 ? s.substr(7) : std::string();
            if (sType.rfind("click:", 0) == 0 || sType.rfind("selectchanged:", 0) == 0)
                taken.push_back(sType);
        }
        log.clear();
        return taken;
    }
};

InputEventUI Event(int nKind, int x = 0, int y = 0, char chKey = 0)
{
    InputEventUI event;
    event.nKind = nKind;
    event.ptMouse = {x, y};
    event.chKey = chKey;
    return event;
}

} // namespace

TEST(ButtonInput, ClickOnlyWhenReleasedInside)
{
    struct Step
    {
        UINT uMsg;
        int x;
        int y;
    };
    struct Case
    {
        const char* name;
        bool bEnabled;
        std::vector<Step> steps;
        EventLog expected;
    };
    const Case cases[] = {
        {"press and release inside", true, {{WM_LBUTTONDOWN, 20, 20}, {WM_LBUTTONUP, 20, 20}}, {"click:b"}},
        {"release outside", true, {{WM_LBUTTONDOWN, 20, 20}, {WM_MOUSEMOVE, 150, 100}, {WM_LBUTTONUP, 150, 100}}, {}},
        {"out and back in before the release",
         true,
         {{WM_LBUTTONDOWN, 20, 20}, {WM_MOUSEMOVE, 150, 100}, {WM_MOUSEMOVE, 30, 30}, {WM_LBUTTONUP, 30, 30}},
         {"click:b"}},
        {"pressed elsewhere, released on it",
         true,
         {{WM_LBUTTONDOWN, 150, 100}, {WM_MOUSEMOVE, 20, 20}, {WM_LBUTTONUP, 20, 20}},
         {}},
        {"disabled", false, {{WM_LBUTTONDOWN, 20, 20}, {WM_LBUTTONUP, 20, 20}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ButtonWindow w;
        CButtonUI* b = w.Place<CButtonUI>("b", {10, 10, 60, 60});
        b->SetEnabled(c.bEnabled);
        w.Show();
        for (const Step& step : c.steps) {
            w.Mouse(WM_MOUSEMOVE, step.x, step.y);
            w.Mouse(step.uMsg, step.x, step.y);
        }
        EXPECT_EQ(w.Take(), c.expected);
        EXPECT_EQ(b->GetButtonState() & (CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED), 0u);
    }
}

TEST(ButtonInput, PressedStateFollowsThePointerWhileCaptured)
{
    ManagedPaint mp;
    CButtonUI b;
    b.SetManager(&mp.pm, nullptr, false);
    b.SetPos(CUIRect(10, 10, 60, 60));
    struct Step
    {
        int nKind;
        int x;
        int y;
        UINT uState; // pushed and captured bits afterwards
    };
    const Step steps[] = {
        {UIEV_MOUSEMOVE, 20, 20, 0},  // not captured: ignored
        {UIEV_BUTTONDOWN, 70, 20, 0}, // outside: swallowed, nothing pushed
        {UIEV_BUTTONDOWN, 59, 59, CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED},
        {UIEV_MOUSEMOVE, 60, 20, CONTROL_STATE_CAPTURED}, // the right edge is outside
        {UIEV_MOUSEMOVE, 10, 10, CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED},
        {UIEV_BUTTONUP, 10, 10, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(KindName(step.nKind) + " " + std::to_string(step.x));
        InputEventUI event = Event(step.nKind, step.x, step.y);
        b.HandleEvent(event);
        EXPECT_EQ(b.GetButtonState() & (CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED), step.uState);
    }

    // Disabling clears hot and pushed.
    InputEventUI enter = Event(UIEV_MOUSEENTER);
    b.HandleEvent(enter);
    InputEventUI down = Event(UIEV_BUTTONDOWN, 20, 20);
    b.HandleEvent(down);
    EXPECT_EQ(b.GetButtonState(), CONTROL_STATE_HOT | CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED);
    b.SetEnabled(false);
    EXPECT_EQ(b.GetButtonState(), 0u);
}

TEST(ButtonInput, SpaceAndReturnActivateWhileTheKeyboardIsEnabled)
{
    struct Case
    {
        char chKey;
        bool bKeyboard;
        EventLog expected;
    };
    const Case cases[] = {
        {' ', true, {"click:b"}},
        {'\r', true, {"click:b"}},
        {'a', true, {}},
        {' ', false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.chKey) + (c.bKeyboard ? " keyboard" : " no keyboard"));
        ButtonWindow w;
        CButtonUI* b = w.Place<CButtonUI>("b", {10, 10, 60, 60});
        b->SetKeyboardEnabled(c.bKeyboard);
        w.Show();
        w.root->events.clear();
        InputEventUI event = Event(UIEV_KEYDOWN, 0, 0, c.chKey);
        b->HandleEvent(event);
        EXPECT_EQ(w.Take(), c.expected);
        // Keys the button does not take go up to its parent.
        EXPECT_EQ(w.root->events.size(), c.expected.empty() ? 1u : 0u);
        EXPECT_EQ(b->GetControlFlags() & CONTROL_FLAG_TABSTOP, c.bKeyboard ? CONTROL_FLAG_TABSTOP : 0u);
    }
}

TEST(OptionInput, ClicksToggleOrSelectWithinTheGroup)
{
    // Ungrouped: every click toggles, "click" before "selectchanged".
    {
        ButtonWindow w;
        COptionUI* o = w.Place<COptionUI>("o", {10, 10, 60, 60});
        w.Show();
        w.Click(20, 20);
        EXPECT_EQ(w.Take(), (EventLog{"click:o", "selectchanged:o"}));
        EXPECT_TRUE(o->IsSelected());
        w.Click(20, 20);
        EXPECT_EQ(w.Take(), (EventLog{"click:o", "selectchanged:o"}));
        EXPECT_FALSE(o->IsSelected());
    }
    // A group of three: one "selectchanged" from the newly selected; the others are deselected silently.
    {
        ButtonWindow w;
        COptionUI* o1 = w.Place<COptionUI>("o1", {0, 0, 40, 40}, "group=\"g\" selected=\"true\"");
        COptionUI* o2 = w.Place<COptionUI>("o2", {50, 0, 90, 40}, "group=\"g\"");
        COptionUI* o3 = w.Place<COptionUI>("o3", {100, 0, 140, 40}, "group=\"g\"");
        w.Show();
        ASSERT_TRUE(o1->IsSelected());
        w.Click(60, 20);
        EXPECT_EQ(w.Take(), (EventLog{"click:o2", "selectchanged:o2"}));
        EXPECT_FALSE(o1->IsSelected());
        EXPECT_TRUE(o2->IsSelected());
        EXPECT_FALSE(o3->IsSelected());
        w.Click(60, 20);
        EXPECT_EQ(w.Take(), (EventLog{"click:o2"}));
        EXPECT_TRUE(o2->IsSelected());
        // Leaving the group: selecting o3 no longer touches o2.
        o2->SetGroup("");
        o3->Selected(true);
        EXPECT_EQ(w.Take(), (EventLog{"selectchanged:o3"}));
        EXPECT_TRUE(o2->IsSelected());
    }
}

TEST(OptionInput, SelectedNotifiesOnlyOnChange)
{
    struct Case
    {
        const char* attributes;
        std::vector<bool> calls;
        EventLog expected;
    };
    const Case cases[] = {
        {"", {true}, {"selectchanged:o"}}, // an ungrouped option reports at once, also from code
        {"", {true, true}, {"selectchanged:o"}},
        {"", {true, false}, {"selectchanged:o", "selectchanged:o"}},
        {"group=\"g\"", {true, false}, {"selectchanged:o"}}, // a grouped one only when selected
        {"", {false}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        ButtonWindow w;
        COptionUI* o = w.Place<COptionUI>("o", {10, 10, 60, 60}, c.attributes);
        w.Show();
        for (bool b : c.calls)
            o->Selected(b);
        EXPECT_EQ(w.Take(), c.expected);
        EXPECT_EQ((o->GetButtonState() & CONTROL_STATE_SELECTED) != 0, c.calls.back());
    }

    // Disabling keeps the selection bit; the check box is an option under its own class text.
    ButtonWindow w;
    CCheckBoxUI* box = w.Place<CCheckBoxUI>("c", {10, 10, 60, 60});
    box->SetCheck(true);
    EXPECT_TRUE(box->GetCheck());
    box->SetEnabled(false);
    EXPECT_EQ(box->GetButtonState(), CONTROL_STATE_SELECTED);
    EXPECT_EQ(box->GetInterface("CheckBox"), nullptr);
    EXPECT_EQ(box->GetInterface("Option"), static_cast<void*>(box));
    EXPECT_EQ(box->GetClassName(), "CheckBoxUI");
}

TEST(OptionInput, DestroyedOptionLeavesItsGroup)
{
    ButtonWindow w;
    COptionUI* o1 = w.Place<COptionUI>("o1", {0, 0, 40, 40}, "group=\"g\"");
    {
        COptionUI o2;
        o2.SetManager(&w.pm, w.root, true);
        o2.SetGroup("g");
        ASSERT_EQ(w.pm.GetOptionGroupMembers("g")->Count(), 2);
        o2.Selected(true);
    }
    ASSERT_EQ(w.pm.GetOptionGroupMembers("g")->Count(), 1);
    o1->Selected(true); // would reach the destroyed option if it were still a member
    EXPECT_TRUE(o1->IsSelected());

    // The builder gives a control its manager while it applies the attributes and takes it away again; a
    // tree that is then dropped without being attached leaves no member behind.
    {
        CSkinBuilder builder;
        std::unique_ptr<CControlUI> pBuilt(
            builder.Build("<Window><Option group=\"h\" selected=\"true\"/></Window>", nullptr, nullptr, &w.pm));
        ASSERT_NE(pBuilt, nullptr);
    }
    EXPECT_EQ(w.pm.GetOptionGroupMembers("h"), nullptr);
}

TEST(ButtonRealInput, ReleaseOutsideTheButtonSendsNoClick)
{
    if (!XInput::Available())
        GTEST_SKIP() << "xdotool is not available";
    struct Case
    {
        const char* name;
        std::vector<std::pair<int, int>> path; // pointer positions while the button is held
        EventLog expected;
    };
    const Case cases[] = {
        {"out", {{150, 100}}, {}},
        {"out and back", {{150, 100}, {30, 30}}, {"click:b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ButtonWindow w;
        CButtonUI* b = w.Place<CButtonUI>("b", {10, 10, 60, 60});
        w.Show();
        ASSERT_TRUE(XInput::MoveTo(w.host.Handle(), 20, 20));
        ASSERT_TRUE(XInput::PumpUntil([b] { return (b->GetButtonState() & CONTROL_STATE_HOT) != 0; }));
        ASSERT_TRUE(XInput::Run("mousedown 1"));
        ASSERT_TRUE(XInput::PumpUntil([b] { return (b->GetButtonState() & CONTROL_STATE_PUSHED) != 0; }));
        for (const auto& pt : c.path)
            ASSERT_TRUE(XInput::MoveTo(w.host.Handle(), pt.first, pt.second));
        ASSERT_TRUE(XInput::Run("mouseup 1"));
        ASSERT_TRUE(XInput::PumpUntil([b] { return (b->GetButtonState() & CONTROL_STATE_CAPTURED) == 0; }));
        EXPECT_EQ(w.Take(), c.expected);
    }
}

// ---- Painting ----

namespace {

// One grid.png column as a solid image: its colour reads back as x << 8.
std::string Solid(int x, const char* pstrDest = nullptr)
{
    std::string s = "file='grid.png' source='" + std::to_string(x) + ",0," + std::to_string(x + 1) + ",1'";
    if (pstrDest != nullptr)
        s += std::string(" dest='") + pstrDest + "'";
    return s;
}

constexpr DWORD kNone = 0xFFFFFF;

} // namespace

TEST(ButtonPaint, StateChoosesTheImageAndForegroundImage)
{
    SkinImages images;
    ManagedPaint mp;
    const std::string normal = Solid(1), hot = Solid(2), pushed = Solid(3), focused = Solid(4), disabled = Solid(5);
    const std::string fore = Solid(9, "0,0,5,5"), hotFore = Solid(10, "0,0,5,5");
    enum State
    {
        Idle,
        Hot,
        Pushed,
        Focused,
        Disabled
    };
    struct Case
    {
        const char* name;
        State state;
        std::string attributes;
        DWORD dwBody;   // at (20, 20)
        DWORD dwCorner; // at (2, 2)
    };
    auto attr = [](const char* pstrName, const std::string& sValue) {
        return std::string(pstrName) + "=\"" + sValue + "\" ";
    };
    const std::string all = attr("normalimage", normal) + attr("foreimage", fore);
    const Case cases[] = {
        {"idle", Idle, all + attr("hotimage", hot), 0x100, 0x900},
        {"hot", Hot, all + attr("hotimage", hot), 0x200, 0x900},
        {"hot with its own foreground", Hot, all + attr("hotimage", hot) + attr("hotforeimage", hotFore), 0x200, 0xA00},
        {"hot colour without hot image", Hot, all + "hotbkcolor=\"#FFFF0000\"", 0xFF0000, 0xFF0000},
        {"hot without anything", Hot, all, 0x100, 0x900},
        {"pushed", Pushed, all + attr("pushedimage", pushed) + attr("hotimage", hot), 0x300, 0x900},
        {"pushed without pushed image", Pushed, all + attr("hotimage", hot), 0x100, 0x900},
        {"focused", Focused, all + attr("focusedimage", focused), 0x400, 0x900},
        {"disabled", Disabled, all + attr("disabledimage", disabled) + attr("hotimage", hot), 0x500, 0x900},
        {"disabled image missing", Disabled, all + "disabledimage=\"missing.png\"", 0x100, 0x900},
        {"nothing at all", Idle, "", kNone, kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(40, 40);
        CButtonUI b;
        b.SetManager(&mp.pm, nullptr, false);
        b.SetPos(CUIRect(0, 0, 40, 40));
        b.ApplyAttributeList(c.attributes.c_str());
        InputEventUI enter = Event(UIEV_MOUSEENTER), down = Event(UIEV_BUTTONDOWN, 5, 5), focus = Event(UIEV_SETFOCUS);
        if (c.state == Hot || c.state == Pushed)
            b.HandleEvent(enter);
        if (c.state == Pushed)
            b.HandleEvent(down);
        if (c.state == Focused)
            b.HandleEvent(focus);
        if (c.state == Disabled)
            b.SetEnabled(false);
        b.Paint(canvas.DC(), CUIRect(0, 0, 40, 40));
        EXPECT_EQ(canvas.Rgb(20, 20), c.dwBody) << std::hex << canvas.Rgb(20, 20);
        EXPECT_EQ(canvas.Rgb(2, 2), c.dwCorner) << std::hex << canvas.Rgb(2, 2);
        if (std::string(c.name) == "disabled image missing") {
            EXPECT_TRUE(b.GetDisabledImage().IsEmpty()) << "a failed image is not tried again";
        }
    }
}

TEST(ButtonPaint, OptionShowsSelectedImagesAndItsOwnForeground)
{
    SkinImages images;
    ManagedPaint mp;
    const std::string normal = Solid(1), hot = Solid(2), pushed = Solid(3), selected = Solid(6), selHot = Solid(7);
    const std::string optionFore = Solid(11, "0,0,5,5");
    struct Case
    {
        const char* name;
        bool bSelected;
        bool bHot;
        bool bPressed;
        std::string attributes;
        DWORD dwBody;
        DWORD dwCorner;
    };
    const std::string base = "normalimage=\"" + normal + "\" hotimage=\"" + hot + "\" pushedimage=\"" + pushed +
                             "\" foreimage=\"" + optionFore + "\" ";
    const Case cases[] = {
        {"idle", false, false, false, base, 0x100, 0xB00},
        {"pressed never shows the pushed image", false, true, true, base, 0x200, 0xB00},
        {"selected", true, false, false, base + "selectedimage=\"" + selected + "\"", 0x600, 0xB00},
        {"selected and hot", true, true, false,
         base + "selectedimage=\"" + selected + "\" selectedhotimage=\"" + selHot + "\"", 0x700, 0xB00},
        {"selected colour", true, false, false, base + "selectedbkcolor=\"#FF00FF00\"", 0x00FF00, 0x00FF00},
        {"selected without image or colour", true, false, false, base, 0x100, 0xB00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(40, 40);
        COptionUI o;
        o.SetManager(&mp.pm, nullptr, false);
        o.SetPos(CUIRect(0, 0, 40, 40));
        o.ApplyAttributeList(c.attributes.c_str());
        o.Selected(c.bSelected);
        InputEventUI enter = Event(UIEV_MOUSEENTER), down = Event(UIEV_BUTTONDOWN, 5, 5);
        if (c.bHot)
            o.HandleEvent(enter);
        if (c.bPressed)
            o.HandleEvent(down);
        o.Paint(canvas.DC(), CUIRect(0, 0, 40, 40));
        EXPECT_EQ(canvas.Rgb(20, 20), c.dwBody) << std::hex << canvas.Rgb(20, 20);
        EXPECT_EQ(canvas.Rgb(2, 2), c.dwCorner) << std::hex << canvas.Rgb(2, 2);
    }
}

TEST(ButtonPaint, TextColourByState)
{
    ManagedPaint mp;
    struct Case
    {
        const char* name;
        const char* attributes;
        bool bHot;
        bool bPushed;
        bool bSelected;
        DWORD dwSeen;
    };
    const Case cases[] = {
        {"normal", "textcolor=\"#FF000080\" hottextcolor=\"#FFFF0000\"", false, false, false, 0x000080},
        {"hot", "textcolor=\"#FF000080\" hottextcolor=\"#FFFF0000\"", true, false, false, 0xFF0000},
        {"pushed beats hot", "hottextcolor=\"#FFFF0000\" pushedtextcolor=\"#FF00A000\"", true, true, false, 0x00A000},
        {"pushed without its colour: hot", "hottextcolor=\"#FFFF0000\"", true, true, false, 0xFF0000},
        {"selected ignores hot", "textcolor=\"#FF000080\" hottextcolor=\"#FFFF0000\" selectedtextcolor=\"#FF0000FF\"",
         true, false, true, 0x0000FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintCanvas canvas(80, 30);
        COptionUI o; // an unselected option paints its text as a button does
        o.SetManager(&mp.pm, nullptr, false);
        o.SetPos(CUIRect(0, 0, 80, 30));
        o.ApplyAttributeList(c.attributes);
        o.SetText("Abc");
        o.Selected(c.bSelected);
        InputEventUI enter = Event(UIEV_MOUSEENTER), down = Event(UIEV_BUTTONDOWN, 5, 5);
        if (c.bHot)
            o.HandleEvent(enter);
        if (c.bPushed)
            o.HandleEvent(down);
        o.PaintText(canvas.DC());
        const RECT rc = ChangedBox(canvas);
        ASSERT_GT(rc.right, rc.left);
        EXPECT_NEAR((rc.left + rc.right) / 2, 40, 3) << "a button centres its text";
        bool bSeen = false;
        for (int y = rc.top; y < rc.bottom && !bSeen; ++y)
            for (int x = rc.left; x < rc.right && !bSeen; ++x)
                bSeen = canvas.Rgb(x, y) == c.dwSeen;
        EXPECT_TRUE(bSeen);
    }

    // A selected option without text keeps its own text colour for later paints.
    PaintCanvas canvas(80, 30);
    COptionUI o;
    o.SetManager(&mp.pm, nullptr, false);
    o.SetPos(CUIRect(0, 0, 80, 30));
    o.ApplyAttributeList("selectedtextcolor=\"#FF0000FF\"");
    o.Selected(true);
    o.PaintText(canvas.DC());
    EXPECT_EQ(o.GetTextColor(), 0u);
}
