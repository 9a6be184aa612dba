// Frame animations over control timers (ticks given directly, and by the window's real timers) and the
// fade button: fade levels, enter and leave while a fade runs, and what it paints before, during and after
// a fade.
#include "ControlTestSupport.h"
#include "SkinImages.h"
#include "WindowTestSupport.h"

#include "SkinUI/Control/UIAnimation.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// A control that animates itself and logs the hooks as "begun first", "begun", "frame n" and "ended".
class CAnimatedUI : public CControlUI, public CUIAnimation
{
public:
    CAnimatedUI() : CUIAnimation(this) {}
    void HandleEvent(InputEventUI& event) override
    {
        if (event.nKind == UIEV_TIMER)
            AdvanceAnimation(static_cast<int>(event.wParam));
    }
    void OnAnimationBegun(int /*nAnimationID*/, bool bFirstLoop) override
    {
        log.push_back(bFirstLoop ? "begun first" : "begun");
    }
    void OnAnimationFrame(int /*nTotalFrame*/, int nCurFrame, int nAnimationID) override
    {
        log.push_back("frame " + std::to_string(nCurFrame));
        if (onFrame)
            onFrame(nCurFrame, nAnimationID);
    }
    void OnAnimationEnded(int /*nAnimationID*/) override { log.push_back("ended"); }

    EventLog log;
    std::function<void(int, int)> onFrame;
};

InputEventUI Event(int nKind, WPARAM wParam = 0)
{
    InputEventUI event;
    event.nKind = nKind;
    event.wParam = wParam;
    return event;
}

} // namespace

TEST(Animation, FramesRunToTheLastOrLoopFromFrameOne)
{
    struct Case
    {
        const char* name;
        int nFrames;
        bool bLoop;
        int nTicks;
        EventLog expected;
        bool bRunningAfter;
    };
    const Case cases[] = {
        {"once", 2, false, 4, {"begun first", "frame 0", "frame 1", "frame 2", "ended"}, false},
        {"looping",
         2,
         true,
         6,
         {"begun first", "frame 0", "frame 1", "frame 2", "ended", "frame 1", "frame 2", "ended", "frame 1"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManagedPaint mp;
        CAnimatedUI control;
        control.SetManager(&mp.pm, nullptr, false);
        ASSERT_TRUE(control.BeginAnimation(10, c.nFrames, 5, c.bLoop));
        for (int i = 0; i < c.nTicks; ++i)
            control.AdvanceAnimation(5);
        EXPECT_EQ(control.log, c.expected);
        EXPECT_EQ(control.IsAnimating(5), c.bRunningAfter);
    }
}

TEST(Animation, BeginRefusesARunningIdAndBadArguments)
{
    ManagedPaint mp;
    CAnimatedUI control;
    control.SetManager(&mp.pm, nullptr, false);
    ASSERT_TRUE(control.BeginAnimation(10, 30, 8));
    struct Case
    {
        int nElapse;
        int nFrames;
        int nId;
    };
    const Case refused[] = {{10, 30, 8}, {0, 30, 1}, {10, 0, 2}, {-5, 3, 3}};
    for (const Case& c : refused) {
        SCOPED_TRACE(std::to_string(c.nElapse) + "," + std::to_string(c.nFrames) + "," + std::to_string(c.nId));
        EXPECT_FALSE(control.BeginAnimation(c.nElapse, c.nFrames, c.nId));
    }
    EXPECT_FALSE(control.IsAnimating(1));
    EXPECT_TRUE(control.IsAnimating(8));

    // Without a manager the timer cannot start, so nothing is recorded.
    CAnimatedUI loose;
    EXPECT_FALSE(loose.BeginAnimation(10, 3, 4));
    EXPECT_FALSE(loose.IsAnimating(4));

    // Frames can be set within 0..frameCount; the last one makes the next tick the end.
    EXPECT_FALSE(control.SetAnimationFrame(31, 8));
    EXPECT_FALSE(control.SetAnimationFrame(-1, 8));
    EXPECT_FALSE(control.SetAnimationFrame(0, 99));
    EXPECT_EQ(control.GetAnimationFrame(99), -1);
    ASSERT_TRUE(control.SetAnimationFrame(30, 8));
    EXPECT_EQ(control.GetAnimationFrame(8), 30);
    control.AdvanceAnimation(8);
    EXPECT_EQ(control.log, (EventLog{"frame 30", "ended"}));
    EXPECT_FALSE(control.IsAnimating(8));

    // Id 0 ends them all.
    ASSERT_TRUE(control.BeginAnimation(10, 3, 1));
    ASSERT_TRUE(control.BeginAnimation(10, 3, 2));
    control.EndAnimation(0);
    EXPECT_FALSE(control.IsAnimating(1));
    EXPECT_FALSE(control.IsAnimating(2));
}

TEST(Animation, AHookMayEndItsOwnAnimation)
{
    ManagedPaint mp;
    CAnimatedUI control;
    control.SetManager(&mp.pm, nullptr, false);
    control.onFrame = [&control](int nFrame, int nId) {
        if (nFrame == 1)
            control.EndAnimation(nId);
    };
    ASSERT_TRUE(control.BeginAnimation(10, 5, 3, true));
    for (int i = 0; i < 4; ++i)
        control.AdvanceAnimation(3);
    EXPECT_EQ(control.log, (EventLog{"begun first", "frame 0", "frame 1"}));
    EXPECT_FALSE(control.IsAnimating(3));
}

TEST(Animation, WindowTimersDriveTheFrames)
{
    ManagedPaint mp;
    CAnimatedUI control;
    control.SetManager(&mp.pm, nullptr, false);
    ASSERT_TRUE(control.BeginAnimation(10, 2, 6, true));
    ASSERT_TRUE(XInput::PumpUntil([&control] { return control.log.size() >= 7; }));
    const EventLog first(control.log.begin(), control.log.begin() + 7);
    EXPECT_EQ(first, (EventLog{"begun first", "frame 0", "frame 1", "frame 2", "ended", "frame 1", "frame 2"}));
    control.EndAnimation(6);
    const size_t nAfterEnd = control.log.size();
    XInput::PumpUntil([] { return false; }, 60);
    EXPECT_EQ(control.log.size(), nAfterEnd) << "frames after the end";
}

// ---- The fade button ----

TEST(FadeButton, LevelsRiseOverThirtyFramesAndLeaveRestartsAFadeOut)
{
    ManagedPaint mp;
    CFadeButtonUI b;
    b.SetManager(&mp.pm, nullptr, false);
    b.SetPos(CUIRect(0, 0, 40, 40));
    InputEventUI enter = Event(UIEV_MOUSEENTER);
    b.HandleEvent(enter);
    ASSERT_TRUE(b.IsAnimating(CFadeButtonUI::FADE_IN_TIMER));
    const int expected[] = {10,  8,   17,  25,  34,  42,  51,  59,  68,  76,  85,  93,  102, 110, 119, 127,
                            136, 144, 153, 161, 170, 178, 187, 195, 204, 212, 221, 229, 238, 246, 255};
    for (int nFrame = 0; nFrame <= 30; ++nFrame) {
        SCOPED_TRACE(nFrame);
        InputEventUI tick = Event(UIEV_TIMER, CFadeButtonUI::FADE_IN_TIMER);
        b.HandleEvent(tick);
        EXPECT_EQ(b.GetFadeLevel(), expected[nFrame]);
    }
    EXPECT_FALSE(b.IsAnimating(CFadeButtonUI::FADE_IN_TIMER));

    // Enter, three frames, leave: the fade-in ends and the fade-out starts again from the bottom.
    b.HandleEvent(enter);
    for (int i = 0; i < 3; ++i) {
        InputEventUI tick = Event(UIEV_TIMER, CFadeButtonUI::FADE_IN_TIMER);
        b.HandleEvent(tick);
    }
    EXPECT_EQ(b.GetFadeLevel(), 17);
    InputEventUI enterAgain = Event(UIEV_MOUSEENTER);
    b.HandleEvent(enterAgain); // already fading in: no restart
    EXPECT_EQ(b.GetAnimationFrame(CFadeButtonUI::FADE_IN_TIMER), 3);
    InputEventUI leave = Event(UIEV_MOUSELEAVE);
    b.HandleEvent(leave);
    EXPECT_FALSE(b.IsAnimating(CFadeButtonUI::FADE_IN_TIMER));
    EXPECT_TRUE(b.IsAnimating(CFadeButtonUI::FADE_OUT_TIMER));
    InputEventUI tick = Event(UIEV_TIMER, CFadeButtonUI::FADE_OUT_TIMER);
    b.HandleEvent(tick);
    EXPECT_EQ(b.GetFadeLevel(), 10);
}

TEST(FadeButton, EnterAndLeaveWithinATenthOfASecondInAWindow)
{
    EventLog log;
    NotifyRecorder recorder(&log);
    CPaintManagerUI pm;
    HostWindow host(pm, HostWindow::VisiblePopup, 200, 120);
    auto pRoot = std::make_unique<CBoxUI>("root");
    pRoot->SetMouseEnabled(false);
    CFadeButtonUI* b = pRoot->Place(std::make_unique<CFadeButtonUI>(), CUIRect(10, 10, 60, 60));
    b->SetName("fade");
    pm.SetRootControl(pRoot.release());
    pm.RegisterNotifier(&recorder);
    ::InvalidateRect(host.Handle(), nullptr, FALSE);
    ::UpdateWindow(host.Handle());

    ::SendMessageA(host.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    ASSERT_TRUE(b->IsAnimating(CFadeButtonUI::FADE_IN_TIMER));
    XInput::PumpUntil([] { return false; }, 50);
    ::SendMessageA(host.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(150, 100));
    EXPECT_FALSE(b->IsAnimating(CFadeButtonUI::FADE_IN_TIMER));
    ASSERT_TRUE(b->IsAnimating(CFadeButtonUI::FADE_OUT_TIMER));
    ASSERT_TRUE(XInput::PumpUntil([b] { return b->GetFadeLevel() != 0; }));
    EXPECT_EQ(b->GetFadeLevel(), 10);
    ASSERT_TRUE(XInput::PumpUntil([b] { return !b->IsAnimating(CFadeButtonUI::FADE_OUT_TIMER); }));
    EXPECT_EQ(b->GetFadeLevel(), 255);
    // Every frame also went out as a "timer" notification of the button.
    int nTimers = 0;
    for (const std::string& s : log)
        nTimers += s == "notify:timer:fade" ? 1 : 0;
    EXPECT_GE(nTimers, 31 + 1);
}

TEST(FadeButton, PaintsRestingImageAndCrossFades)
{
    SkinImages images;
    ManagedPaint mp;
    // Normal: bk.png (0x2040C0); hot: the black first column of grid.png; background: grid column 5.
    const char* const kNormal = "file='bk.png'";
    const char* const kHot = "file='grid.png' source='0,0,1,1'";
    const char* const kBack = "file='grid.png' source='5,0,6,1'";
    enum Setter
    {
        FromSkin,
        FromCode
    };
    struct Case
    {
        const char* name;
        Setter setter;
        bool bDisabled;
        std::vector<DWORD> seen; // at rest, first paint after enter, after the fade-in, after leave + fade-out
    };
    const Case cases[] = {
        {"skin attribute: the background until the first fade", FromSkin, false, {0x000500, kBkColor, 0, kBkColor}},
        {"set from code: rests on the normal image at once", FromCode, false, {kBkColor, kBkColor, 0, kBkColor}},
        {"disabled: the disabled image throughout", FromCode, true, {0x000700, 0x000700, 0x000700, 0x000700}},
    };
    auto run = [](CFadeButtonUI& b, int nId) {
        for (int i = 0; i <= CFadeButtonUI::FADE_FRAMES; ++i) {
            InputEventUI tick = Event(UIEV_TIMER, static_cast<WPARAM>(nId));
            b.HandleEvent(tick);
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFadeButtonUI b;
        b.SetManager(&mp.pm, nullptr, false);
        b.SetPos(CUIRect(0, 0, 40, 40));
        b.SetBackImage(kBack);
        b.SetHotImage(kHot);
        b.SetDisabledImage("file='grid.png' source='7,0,8,1'");
        if (c.setter == FromSkin)
            b.ApplyAttribute("normalimage", kNormal);
        else
            b.SetNormalImage(kNormal);
        b.SetEnabled(!c.bDisabled);
        std::vector<DWORD> seen;
        auto paint = [&b, &seen] {
            PaintCanvas canvas(40, 40);
            b.Paint(canvas.DC(), CUIRect(0, 0, 40, 40));
            seen.push_back(canvas.Rgb(20, 20));
        };
        paint();
        InputEventUI enter = Event(UIEV_MOUSEENTER), leave = Event(UIEV_MOUSELEAVE);
        b.HandleEvent(enter);
        paint();
        run(b, CFadeButtonUI::FADE_IN_TIMER);
        paint();
        b.HandleEvent(leave);
        PaintCanvas canvas(40, 40);
        b.Paint(canvas.DC(), CUIRect(0, 0, 40, 40)); // the first paint after leaving
        run(b, CFadeButtonUI::FADE_OUT_TIMER);
        paint();
        EXPECT_EQ(seen, c.seen);
    }

    // Halfway through a fade-in both images show.
    CFadeButtonUI b;
    b.SetManager(&mp.pm, nullptr, false);
    b.SetPos(CUIRect(0, 0, 40, 40));
    b.SetNormalImage(kNormal);
    b.SetHotImage(kHot);
    InputEventUI enter = Event(UIEV_MOUSEENTER);
    b.HandleEvent(enter);
    PaintCanvas canvas(40, 40);
    b.Paint(canvas.DC(), CUIRect(0, 0, 40, 40));
    for (int i = 0; i < 15; ++i) {
        InputEventUI tick = Event(UIEV_TIMER, CFadeButtonUI::FADE_IN_TIMER);
        b.HandleEvent(tick);
    }
    b.Paint(canvas.DC(), CUIRect(0, 0, 40, 40));
    const int nBlue = ChannelOf(canvas.Pixel(20, 20), 0);
    EXPECT_GT(nBlue, 0x10) << std::hex << canvas.Pixel(20, 20);
    EXPECT_LT(nBlue, 0xB0) << std::hex << canvas.Pixel(20, 20);
}
