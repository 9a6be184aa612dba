// The drop shadow: its limits, its pixels (read from the rendered bitmap, since the test display has no
// compositor) and how its window follows the shadowed window through show, hide, move, resize and destruction.
#include "SkinUI/Window/WindowShadow.h"

#include "SkinUI/Utils/UIAssert.h"

#include <gtest/gtest.h>

#include <vector>

using SkinUI::CWindowShadow;

namespace {

const char kParentClass[] = "ShadowTestParent";

int g_nAsserts = 0;   // failed assertions (a refused layered update, a message for an unknown window)
int g_nForwarded = 0; // messages that reached the parent's own procedure
const UINT kProbeMessage = WM_APP + 7;

LRESULT CALLBACK ParentProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == kProbeMessage) {
        ++g_nForwarded;
        return 42;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

// A procedure that another part of the program installs on top of the shadow's.
WNDPROC g_pfnBelowOuterHook = nullptr;
LRESULT CALLBACK OuterHookProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(g_pfnBelowOuterHook, hWnd, uMsg, wParam, lParam);
}

void RegisterOnce()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kParentClass;
    RegisterClassExA(&wc);
    ASSERT_TRUE(CWindowShadow::RegisterShadowClass(GetModuleHandleA(nullptr)));
    // Only the first call does the work.
    EXPECT_FALSE(CWindowShadow::RegisterShadowClass(GetModuleHandleA(nullptr)));
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A hidden pop-up with a rectangular region covering all of it (a skinned window always has one).
HWND CreateParent(int x, int y, int cx, int cy, bool bRegion = true)
{
    HWND hWnd = CreateWindowExA(0, kParentClass, "parent", WS_POPUP, x, y, cx, cy, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (hWnd != nullptr && bRegion)
        SetWindowRgn(hWnd, CreateRectRgn(0, 0, cx, cy), FALSE);
    return hWnd;
}

RECT WindowRect(HWND hWnd)
{
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    return rc;
}

// The rendered shadow as a top-down picture.
struct Picture
{
    int cx = 0;
    int cy = 0;
    std::vector<uint32_t> aPixels;
    uint32_t At(int x, int y) const { return aPixels[static_cast<size_t>(cy - 1 - y) * cx + x]; }
    unsigned Alpha(int x, int y) const { return At(x, y) >> 24; }
};

Picture Render(const CWindowShadow& shadow, HWND hParent)
{
    Picture pic;
    const RECT rc = WindowRect(hParent);
    const SIZE size = shadow.GetShadowBitmapSize(rc);
    pic.cx = size.cx;
    pic.cy = size.cy;
    pic.aPixels.assign(static_cast<size_t>(size.cx) * size.cy, 0u);
    shadow.ComputeShadowPixels(pic.aPixels.data(), hParent, rc);
    return pic;
}

class WindowShadowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterOnce();
        g_nAsserts = 0;
        SkinUI::SetAssertHandler([](const char*, const char*, int) { ++g_nAsserts; });
    }
    void TearDown() override
    {
        SkinUI::SetAssertHandler(nullptr);
        EXPECT_EQ(g_nAsserts, 0);
    }
};

TEST_F(WindowShadowTest, SettersRefuseOutOfRangeValuesAndKeepTheOldOnes)
{
    struct Case
    {
        const char* pstrWhat;
        bool (*pfnSet)(CWindowShadow&);
        bool bAccepted;
    };
    const Case cases[] = {
        {"size 21", [](CWindowShadow& s) { return s.SetShadowSize(21); }, false},
        {"size -21", [](CWindowShadow& s) { return s.SetShadowSize(-21); }, false},
        {"size 20", [](CWindowShadow& s) { return s.SetShadowSize(20); }, true},
        {"size -20", [](CWindowShadow& s) { return s.SetShadowSize(-20); }, true},
        {"offset (0,-21)", [](CWindowShadow& s) { return s.SetShadowOffset(0, -21); }, false},
        {"offset (21,0)", [](CWindowShadow& s) { return s.SetShadowOffset(21, 0); }, false},
        {"offset (-20,20)", [](CWindowShadow& s) { return s.SetShadowOffset(-20, 20); }, true},
        {"darkness 255", [](CWindowShadow& s) { return s.SetShadowDarkness(255); }, true},
        {"darkness 256", [](CWindowShadow& s) { return s.SetShadowDarkness(256); }, false},
        {"sharpness 20", [](CWindowShadow& s) { return s.SetShadowSharpness(20); }, true},
        {"sharpness 21", [](CWindowShadow& s) { return s.SetShadowSharpness(21); }, false},
    };
    HWND hParent = CreateParent(10, 10, 100, 80);
    ASSERT_NE(hParent, nullptr);
    const RECT rc = WindowRect(hParent);
    for (const Case& c : cases) {
        CWindowShadow shadow;
        ASSERT_TRUE(shadow.SetShadowSize(6));
        const Picture before = Render(shadow, hParent);
        EXPECT_EQ(c.pfnSet(shadow), c.bAccepted) << c.pstrWhat;
        if (!c.bAccepted) {
            const Picture after = Render(shadow, hParent);
            EXPECT_EQ(shadow.GetShadowBitmapSize(rc).cx, 112) << c.pstrWhat;
            EXPECT_EQ(after.aPixels, before.aPixels) << c.pstrWhat;
        }
    }
    DestroyWindow(hParent);
}

TEST_F(WindowShadowTest, RendersASoftRingAroundTheOutlineAndLeavesTheWindowClear)
{
    HWND hParent = CreateParent(10, 10, 100, 80);
    HWND hBare = CreateParent(10, 10, 100, 80, false);
    ASSERT_NE(hParent, nullptr);
    ASSERT_NE(hBare, nullptr);

    // The installer's settings: size 6, offset (0, 0), sharpness 5, darkness 150. The 112 x 92 picture
    // holds the window at (6, 6); the opacity is 150 next to the outline and falls by 25 per pixel.
    CWindowShadow installer;
    ASSERT_TRUE(installer.SetShadowSize(6));
    ASSERT_TRUE(installer.SetShadowOffset(0, 0));
    // The defaults: size 0, offset (5, 5): a 100 x 80 picture placed 5 pixels right and down, whose outline
    // is eroded by 5 pixels so that the soft edge ends at the picture's border.
    CWindowShadow defaults;
    // A red shadow has its colour premultiplied by the opacity.
    CWindowShadow red;
    ASSERT_TRUE(red.SetShadowSize(6));
    ASSERT_TRUE(red.SetShadowOffset(0, 0));
    ASSERT_TRUE(red.SetShadowColor(RGB(255, 0, 0)));
    ASSERT_TRUE(red.SetShadowDarkness(200));

    struct Case
    {
        const char* pstrWhat;
        const CWindowShadow* pShadow;
        HWND hParent;
        int x, y;
        uint32_t nPixel;
    };
    const Case cases[] = {
        {"touching the top edge", &installer, hParent, 50, 5, 150u << 24},
        {"two pixels above", &installer, hParent, 50, 4, 125u << 24},
        {"six pixels above", &installer, hParent, 50, 0, 25u << 24},
        {"three pixels left", &installer, hParent, 3, 40, 100u << 24},
        {"right edge", &installer, hParent, 106, 40, 150u << 24},
        {"bottom, four pixels out", &installer, hParent, 50, 89, 75u << 24},
        {"far corner, beyond the reach", &installer, hParent, 0, 0, 0u},
        {"under the window", &installer, hParent, 50, 40, 0u},
        {"under the window's corner", &installer, hParent, 6, 6, 0u},
        {"defaults: under the window", &defaults, hParent, 50, 40, 0u},
        {"defaults: right strip", &defaults, hParent, 97, 40, 75u << 24},
        {"defaults: two pixels right of the eroded edge", &defaults, hParent, 96, 40, 100u << 24},
        {"defaults: below the eroded bottom", &defaults, hParent, 50, 78, 50u << 24},
        {"defaults: corner", &defaults, hParent, 0, 0, 0u},
        {"red at the edge", &red, hParent, 50, 5, 200u << 24 | 200u << 16},
        {"red two pixels out", &red, hParent, 50, 4, 166u << 24 | 166u << 16},
    };
    for (const Case& c : cases) {
        const Picture pic = Render(*c.pShadow, c.hParent);
        EXPECT_EQ(pic.At(c.x, c.y), c.nPixel) << c.pstrWhat << " at (" << c.x << ", " << c.y << ")";
    }

    // A window without a region has no outline: nothing of the shadow is opaque.
    for (const CWindowShadow* pShadow : {&installer, &defaults}) {
        const Picture pic = Render(*pShadow, hBare);
        for (uint32_t nPixel : pic.aPixels)
            ASSERT_EQ(nPixel, 0u);
    }

    // A negative size larger than half the window leaves no picture and nothing is written.
    HWND hSmall = CreateParent(10, 10, 30, 30);
    CWindowShadow inward;
    ASSERT_TRUE(inward.SetShadowSize(-20));
    const SIZE size = inward.GetShadowBitmapSize(WindowRect(hSmall));
    EXPECT_LE(size.cx, 0);
    uint32_t nGuard = 0xDEADBEEF;
    inward.ComputeShadowPixels(&nGuard, hSmall, WindowRect(hSmall));
    EXPECT_EQ(nGuard, 0xDEADBEEFu);

    DestroyWindow(hSmall);
    DestroyWindow(hBare);
    DestroyWindow(hParent);
}

TEST_F(WindowShadowTest, FollowsShowHideMoveResizeMaximiseAndRestore)
{
    HWND hParent = CreateParent(100, 100, 200, 150);
    ASSERT_NE(hParent, nullptr);
    CWindowShadow shadow;
    ASSERT_TRUE(shadow.SetShadowSize(6));
    ASSERT_TRUE(shadow.SetShadowOffset(2, 3));
    shadow.AttachToWindow(hParent);
    HWND hShadow = shadow.GetShadowWindow();
    ASSERT_NE(hShadow, nullptr);
    EXPECT_EQ(GetWindow(hShadow, GW_OWNER), hParent);
    EXPECT_TRUE(GetWindowLongPtrA(hShadow, GWL_EXSTYLE) & WS_EX_TRANSPARENT);

    // Attached while hidden: nothing shows until the window does.
    EXPECT_EQ(shadow.GetStatus(), CWindowShadow::SHADOW_ENABLED);
    EXPECT_FALSE(IsWindowVisible(hShadow));

    auto expectShadowAt = [&](int x, int y, int cx, int cy, const char* pstrWhen) {
        const RECT rc = WindowRect(hShadow);
        EXPECT_EQ(rc.left, x) << pstrWhen;
        EXPECT_EQ(rc.top, y) << pstrWhen;
        EXPECT_EQ(rc.right - rc.left, cx) << pstrWhen;
        EXPECT_EQ(rc.bottom - rc.top, cy) << pstrWhen;
    };

    // Shown: the shadow shows at once and is drawn at the window's first paint.
    ShowWindow(hParent, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(IsWindowVisible(hShadow));
    EXPECT_EQ(shadow.GetStatus(),
              CWindowShadow::SHADOW_ENABLED | CWindowShadow::SHADOW_SHOWN | CWindowShadow::SHADOW_PARENT_SHOWN);
    UpdateWindow(hParent);
    Pump();
    expectShadowAt(100 + 2 - 6, 100 + 3 - 6, 212, 162, "after the first paint");

    // A move only repositions the shadow.
    SetWindowPos(hParent, nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    expectShadowAt(300 - 4, 250 - 3, 212, 162, "after a move");

    // Growing waits for the window's paint (its region is updated there); a move in between repositions the
    // old picture without rebuilding it.
    SetWindowPos(hParent, nullptr, 0, 0, 240, 170, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    expectShadowAt(300 - 4, 250 - 3, 212, 162, "after growing, before the paint");
    SetWindowPos(hParent, nullptr, 310, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    expectShadowAt(310 - 4, 260 - 3, 212, 162, "after growing and moving, before the paint");
    UpdateWindow(hParent);
    expectShadowAt(310 - 4, 260 - 3, 252, 182, "after growing and painting");

    // Shrinking is drawn at once.
    SetWindowPos(hParent, nullptr, 0, 0, 180, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    expectShadowAt(310 - 4, 260 - 3, 192, 132, "after shrinking");

    // A setter redraws a visible shadow.
    ASSERT_TRUE(shadow.SetShadowSize(10));
    expectShadowAt(310 + 2 - 10, 260 + 3 - 10, 200, 140, "after a new size");

    // Hidden and shown again.
    ShowWindow(hParent, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(hShadow));
    EXPECT_EQ(shadow.GetStatus(), CWindowShadow::SHADOW_ENABLED);
    ShowWindow(hParent, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(IsWindowVisible(hShadow));

    // Maximised: no shadow; restored: back again.
    ShowWindow(hParent, SW_MAXIMIZE);
    Pump();
    EXPECT_FALSE(IsWindowVisible(hShadow));
    EXPECT_FALSE(shadow.GetStatus() & CWindowShadow::SHADOW_SHOWN);
    ShowWindow(hParent, SW_RESTORE);
    Pump();
    EXPECT_TRUE(IsWindowVisible(hShadow));
    EXPECT_TRUE(shadow.GetStatus() & CWindowShadow::SHADOW_SHOWN);

    // The hooked window's own procedure still gets every message.
    g_nForwarded = 0;
    EXPECT_EQ(SendMessageA(hParent, kProbeMessage, 0, 0), 42);
    EXPECT_EQ(g_nForwarded, 1);

    // Destroying the window takes the shadow window with it and detaches the object.
    DestroyWindow(hParent);
    EXPECT_FALSE(IsWindow(hShadow));
    EXPECT_EQ(shadow.GetShadowWindow(), nullptr);
    EXPECT_EQ(shadow.GetStatus(), 0);

    // The same object can shadow another window afterwards (the first one left no table entry behind).
    HWND hSecond = CreateParent(50, 50, 100, 100);
    shadow.AttachToWindow(hSecond);
    EXPECT_NE(shadow.GetShadowWindow(), nullptr);
    DestroyWindow(hSecond);
}

TEST_F(WindowShadowTest, AttachingToAVisibleOrMaximisedWindowTakesItsState)
{
    struct Case
    {
        const char* pstrWhat;
        int nShow;
        BYTE nStatus;
        bool bShadowVisible;
    };
    const Case cases[] = {
        {"visible", SW_SHOWNOACTIVATE,
         CWindowShadow::SHADOW_ENABLED | CWindowShadow::SHADOW_SHOWN | CWindowShadow::SHADOW_PARENT_SHOWN, true},
        {"maximised", SW_MAXIMIZE, CWindowShadow::SHADOW_ENABLED | CWindowShadow::SHADOW_PARENT_SHOWN, false},
    };
    for (const Case& c : cases) {
        HWND hParent = CreateParent(40, 40, 120, 90);
        ShowWindow(hParent, c.nShow);
        Pump();
        CWindowShadow shadow;
        shadow.AttachToWindow(hParent);
        EXPECT_EQ(shadow.GetStatus(), c.nStatus) << c.pstrWhat;
        EXPECT_EQ(IsWindowVisible(shadow.GetShadowWindow()) != FALSE, c.bShadowVisible) << c.pstrWhat;
        if (c.bShadowVisible) {
            const RECT rc = WindowRect(shadow.GetShadowWindow());
            EXPECT_EQ(rc.left, 45) << c.pstrWhat;
            EXPECT_EQ(rc.right - rc.left, 120) << c.pstrWhat;
        }
        DestroyWindow(hParent);
    }
}

TEST_F(WindowShadowTest, DestroyingTheObjectFirstUnhooksTheWindow)
{
    HWND hParent = CreateParent(20, 20, 100, 80);
    ASSERT_NE(hParent, nullptr);
    ShowWindow(hParent, SW_SHOWNOACTIVATE);
    const LONG_PTR nOwnProc = GetWindowLongPtrA(hParent, GWLP_WNDPROC);
    HWND hShadow = nullptr;
    {
        CWindowShadow shadow;
        shadow.AttachToWindow(hParent);
        hShadow = shadow.GetShadowWindow();
        ASSERT_TRUE(IsWindow(hShadow));
        EXPECT_NE(GetWindowLongPtrA(hParent, GWLP_WNDPROC), nOwnProc);
    }
    EXPECT_EQ(GetWindowLongPtrA(hParent, GWLP_WNDPROC), nOwnProc);
    EXPECT_FALSE(IsWindow(hShadow));
    // The window lives on and keeps working: moves and hides reach no dead object.
    SetWindowPos(hParent, nullptr, 60, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hParent, SW_HIDE);
    g_nForwarded = 0;
    EXPECT_EQ(SendMessageA(hParent, kProbeMessage, 0, 0), 42);
    EXPECT_EQ(g_nForwarded, 1);

    // Hooked again by someone else on top of the shadow: the object's end cannot unhook, but the window's
    // messages keep flowing through to its own procedure until it is destroyed.
    {
        CWindowShadow shadow;
        shadow.AttachToWindow(hParent);
        g_pfnBelowOuterHook = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterHookProc)));
        hShadow = shadow.GetShadowWindow();
    }
    EXPECT_FALSE(IsWindow(hShadow));
    g_nForwarded = 0;
    ShowWindow(hParent, SW_SHOWNOACTIVATE);
    SetWindowPos(hParent, nullptr, 70, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(SendMessageA(hParent, kProbeMessage, 0, 0), 42);
    EXPECT_EQ(g_nForwarded, 1);
    EXPECT_TRUE(DestroyWindow(hParent));
}

} // namespace
