// The paint manager with a visible host window: what needs a real paint (the first layout, tab navigation
// after it, the off-screen painting, the bounded layout), the areas controls invalidate, printing and the
// window geometry.
#include "WindowTestSupport.h"

#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Utils/SystemLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
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

// ---- Painting ----

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kOutline = RGB(220, 0, 0);

// A root that paints nothing itself with a blue swatch on its left half.
struct SwatchTree
{
    CPaintManagerUI pm;
    HostWindow host{pm, HostWindow::VisiblePopup, 200, 120};
    CBoxUI* root = nullptr;
    CSwatchUI* swatch = nullptr;

    SwatchTree()
    {
        auto pRoot = std::make_unique<CBoxUI>("root");
        swatch = pRoot->Place(std::make_unique<CSwatchUI>("swatch", kBlue), CUIRect(0, 0, 100, 120));
        root = pRoot.get();
        pm.SetRootControl(pRoot.release());
    }
    void Paint(const RECT* pRect = nullptr)
    {
        ::InvalidateRect(host.Handle(), pRect, FALSE);
        ::UpdateWindow(host.Handle());
    }
    COLORREF Pixel(int x, int y) const { return WindowPixel(host.Handle(), x, y); }
};

} // namespace

TEST(ManagerPaint, BackdropSnapshotShowsUnderTransparentPartsUntilTheNextLayout)
{
    SwatchTree t;
    t.pm.SetBackdropSnapshot(true);
    FillWindow(t.host.Handle(), kMagenta); // what the window showed before the tree was painted
    t.Paint();
    EXPECT_EQ(t.Pixel(50, 60), kBlue);
    EXPECT_EQ(t.Pixel(150, 60), kMagenta);

    FillWindow(t.host.Handle(), kGreen); // the screen changes; the snapshot does not
    t.Paint();
    EXPECT_EQ(t.Pixel(50, 60), kBlue);
    EXPECT_EQ(t.Pixel(150, 60), kMagenta);

    t.root->RequestLayout(); // a new layout of the whole tree takes a new snapshot
    FillWindow(t.host.Handle(), kGreen);
    t.Paint();
    EXPECT_EQ(t.Pixel(150, 60), kGreen);
    EXPECT_EQ(t.Pixel(50, 60), kBlue);
}

TEST(ManagerPaint, OnlyTheUpdateRectangleIsPaintedAndShowDirtyOutlinesIt)
{
    SwatchTree t;
    t.Paint();
    ASSERT_EQ(t.Pixel(50, 60), kBlue);
    t.swatch->SetColor(kYellow); // not invalidated: the window keeps showing blue outside the update
    t.swatch->dirty.clear();
    const RECT rcUpdate = {20, 30, 60, 70};
    t.Paint(&rcUpdate);
    ASSERT_EQ(t.swatch->dirty.size(), 1u);
    EXPECT_TRUE(SameRect(t.swatch->dirty[0], rcUpdate));
    EXPECT_EQ(t.Pixel(40, 50), kYellow);
    EXPECT_EQ(t.Pixel(10, 10), kBlue);
    EXPECT_EQ(t.Pixel(70, 50), kBlue);

    t.pm.SetShowDirty(true);
    t.swatch->SetColor(kBlue);
    t.Paint(&rcUpdate);
    for (POINT pt : {POINT{20, 30}, POINT{59, 30}, POINT{20, 69}, POINT{59, 69}, POINT{40, 30}, POINT{20, 50}})
        EXPECT_EQ(t.Pixel(pt.x, pt.y), kOutline) << pt.x << "," << pt.y;
    EXPECT_EQ(t.Pixel(40, 50), kBlue); // the outline is hollow
    EXPECT_EQ(t.Pixel(61, 50), kBlue);
}

TEST(ManagerPaint, OverlaysPaintAfterTheTreeInListOrder)
{
    SwatchTree t;
    struct Overlay : CSwatchUI
    {
        Overlay(const char* pstrName, COLORREF clr, EventLog* pLog) : CSwatchUI(pstrName, clr, pLog), m_pLog(pLog) {}
        void PaintOverlay(HDC hDC, const RECT& rcDirty) override
        {
            m_pLog->push_back(GetName().Chars());
            CSwatchUI::Paint(hDC, rcDirty);
        }
        EventLog* m_pLog;
    };
    EventLog log;
    Overlay first("first", kGreen, &log);
    Overlay second("second", kYellow, &log);
    first.SetPos(CUIRect(0, 0, 60, 60));
    second.SetPos(CUIRect(40, 40, 100, 100));
    t.pm.RegisterPostPaintControl(&second);
    t.pm.RegisterPostPaintControl(&first);
    t.Paint();
    EXPECT_EQ(log, (EventLog{"second", "first"}));
    EXPECT_EQ(t.Pixel(50, 50), kGreen);  // the later overlay on top
    EXPECT_EQ(t.Pixel(80, 80), kYellow); // over the tree
    t.pm.UnregisterPostPaintControl(&second);
    t.pm.UnregisterPostPaintControl(&first);
}

namespace {

// A native child window that paints itself green when printed.
LRESULT CALLBACK GreenChildProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_PRINTCLIENT) {
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        const HBRUSH hBrush = ::CreateSolidBrush(kGreen);
        ::FillRect(reinterpret_cast<HDC>(wParam), &rc, hBrush);
        ::DeleteObject(hBrush);
        return 0;
    }
    return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

} // namespace

TEST(ManagerPaint, PrintClientDrawsTheTreeAndOptionallyTheChildWindows)
{
    SwatchTree t;
    t.Paint();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = GreenChildProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "SkinUITestGreenChild";
    ::RegisterClassA(&wc);
    const HWND hChild = ::CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD | WS_VISIBLE, 120, 30, 40, 50,
                                          t.host.Handle(), nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hChild, nullptr);

    for (const bool bChildren : {false, true}) {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = 200;
        bmi.bmiHeader.biHeight = -120;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void* pBits = nullptr;
        const HBITMAP hBitmap = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
        ASSERT_NE(hBitmap, nullptr);
        std::memset(pBits, 0xFF, 200 * 120 * 4);
        const HDC hDC = ::CreateCompatibleDC(nullptr);
        const HGDIOBJ hOld = ::SelectObject(hDC, hBitmap);
        const LPARAM lFlags = PRF_CLIENT | (bChildren ? PRF_CHILDREN : 0);
        ::SendMessageA(t.host.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hDC), lFlags);
        EXPECT_EQ(::GetPixel(hDC, 50, 60), kBlue);
        EXPECT_EQ(::GetPixel(hDC, 140, 55), bChildren ? kGreen : RGB(255, 255, 255));
        EXPECT_EQ(::GetPixel(hDC, 115, 55), RGB(255, 255, 255)); // beside the child
        POINT ptOrg = {1, 1};
        ::GetWindowOrgEx(hDC, &ptOrg);
        EXPECT_EQ(ptOrg.x, 0); // the caller's DC comes back as it was given
        ::SelectObject(hDC, hOld);
        ::DeleteDC(hDC);
        ::DeleteObject(hBitmap);
    }
    ::DestroyWindow(hChild);
}

// ---- Layout that never settles ----

namespace {

// Lays out its children like CBoxUI, then asks its parent for a new layout every time: a layout loop.
class CNaggingChildUI : public CRecordingControlUI
{
public:
    explicit CNaggingChildUI(const char* pstrName) : CRecordingControlUI(pstrName) {}
    void SetPos(RECT rc) override
    {
        ++nLayouts;
        CControlUI::SetPos(rc);
        RequestParentLayout();
    }
    int nLayouts = 0;
};

// Keeps its layout flag whatever it is given.
class CStubbornUI : public CRecordingControlUI
{
public:
    explicit CStubbornUI(const char* pstrName) : CRecordingControlUI(pstrName) {}
    void SetPos(RECT rc) override
    {
        ++nLayouts;
        m_rcPos = rc;
    }
    int nLayouts = 0;
};

// Counts the paints of the tree.
class CCountingBoxUI : public CBoxUI
{
public:
    using CBoxUI::CBoxUI;
    void Paint(HDC hDC, const RECT& rcDirty) override
    {
        ++nPaints;
        CBoxUI::Paint(hDC, rcDirty);
    }
    int nPaints = 0;
};

enum class Unsettled
{
    OverriddenSetPos,
    NoManager,
    ChildAsksItsContainer,
    ChildAsksTheRoot
};

struct UnsettledOutcome
{
    bool bFinished = false;
    int nAsserts = 0;
    std::string sAssert;
    int nIdlePaints = 0;
    bool bOthersLaidOut = false;
};

// Builds a tree with one control that never settles, paints it, asks for a layout and paints again, then
// lets the window idle for a while. Runs on its own thread, so that a hang is seen as a time-out.
DWORD WINAPI RunUnsettled(void* pParam)
{
    auto* pCase = static_cast<std::pair<Unsettled, UnsettledOutcome*>*>(pParam);
    UnsettledOutcome& out = *pCase->second;
    AssertCounter asserts;
    CPaintManagerUI pm;
    HostWindow host(pm, HostWindow::VisiblePopup, 200, 120);
    auto pRoot = std::make_unique<CCountingBoxUI>("root");
    auto* pInner = pRoot->Place(std::make_unique<CBoxUI>("inner"), CUIRect(0, 0, 100, 100));
    auto* pPlain = pRoot->Place(std::make_unique<CRecordingControlUI>("plain"), CUIRect(100, 0, 150, 50));
    switch (pCase->first) {
    case Unsettled::OverriddenSetPos:
        pInner->Place(std::make_unique<CStubbornUI>("stubborn"), CUIRect(0, 0, 10, 10));
        break;
    case Unsettled::NoManager:
        pInner->Place(std::make_unique<CRecordingControlUI>("orphan"), CUIRect(0, 0, 10, 10));
        break;
    case Unsettled::ChildAsksItsContainer:
        pInner->Place(std::make_unique<CNaggingChildUI>("nag"), CUIRect(0, 0, 10, 10));
        break;
    case Unsettled::ChildAsksTheRoot:
        pRoot->Place(std::make_unique<CNaggingChildUI>("nag"), CUIRect(150, 0, 160, 10));
        break;
    }
    CCountingBoxUI* pTree = pRoot.get();
    pm.SetRootControl(pRoot.release());
    if (pCase->first == Unsettled::NoManager)
        pInner->ChildAt(0)->SetManager(nullptr, pInner, false);
    ::InvalidateRect(host.Handle(), nullptr, FALSE);
    ::UpdateWindow(host.Handle());
    // A later request for a layout of some controls, not of the whole tree.
    pPlain->SetPos(CUIRect());
    pPlain->RequestLayout();
    ::UpdateWindow(host.Handle());
    out.bOthersLaidOut = !pPlain->IsLayoutNeeded();

    pTree->nPaints = 0;
    XInput::PumpUntil([] { return false; }, 300);
    out.nIdlePaints = pTree->nPaints;
    out.nAsserts = asserts.Count();
    out.sAssert = asserts.Last();
    out.bFinished = true;
    return 0;
}

} // namespace

TEST(ManagerLayout, ControlThatNeverSettlesIsReportedAndDoesNotHoldTheWindow)
{
    const struct
    {
        Unsettled kind;
        const char* pstrName;
    } cases[] = {
        {Unsettled::OverriddenSetPos, "override of SetPos"},
        {Unsettled::NoManager, "control without a manager"},
        {Unsettled::ChildAsksItsContainer, "child asking its container again"},
        {Unsettled::ChildAsksTheRoot, "child asking the root again"},
    };
    for (const auto& c : cases) {
        UnsettledOutcome out;
        std::pair<Unsettled, UnsettledOutcome*> param(c.kind, &out);
        const HANDLE hThread = ::CreateThread(nullptr, 0, RunUnsettled, &param, 0, nullptr);
        ASSERT_NE(hThread, nullptr);
        if (::WaitForSingleObject(hThread, 10000) != WAIT_OBJECT_0) {
            // The thread is stuck in the layout loop; it cannot be ended cleanly.
            ::TerminateThread(hThread, 1);
            ::CloseHandle(hThread);
            ADD_FAILURE() << c.pstrName << ": the paint did not return within 10 s";
            continue;
        }
        ::CloseHandle(hThread);
        EXPECT_TRUE(out.bFinished) << c.pstrName;
        EXPECT_TRUE(out.bOthersLaidOut) << c.pstrName;
        EXPECT_GE(out.nAsserts, 1) << c.pstrName;
        EXPECT_EQ(out.sAssert, "bControlSettlesAfterLayout") << c.pstrName;
        EXPECT_LE(out.nIdlePaints, 2) << c.pstrName << ": the window keeps repainting";
    }
}

// ---- Window geometry ----

TEST(ManagerGeometry, OpacityIsClampedAndSwitchesTheLayeredStyle)
{
    CPaintManagerUI pm;
    HostWindow host(pm, HostWindow::VisiblePopup, 200, 120);
    const struct
    {
        int nGiven;
        int nStored;
        bool bLayered;
    } cases[] = {{128, 128, true}, {-1, 0, false}, {0, 0, true}, {300, 255, false}, {255, 255, true}};
    for (const auto& c : cases) {
        pm.SetWindowOpacity(c.nGiven);
        EXPECT_EQ(pm.GetWindowOpacity(), c.nStored) << c.nGiven;
        const LONG lExStyle = ::GetWindowLongA(host.Handle(), GWL_EXSTYLE);
        EXPECT_EQ((lExStyle & WS_EX_LAYERED) != 0, c.bLayered) << c.nGiven;
        if (c.bLayered) {
            BYTE uAlpha = 0;
            DWORD dwFlags = 0;
            ASSERT_TRUE(::GetLayeredWindowAttributes(host.Handle(), nullptr, &uAlpha, &dwFlags));
            EXPECT_EQ(uAlpha, c.nStored);
            EXPECT_EQ(dwFlags, static_cast<DWORD>(LWA_ALPHA));
        }
    }
    CPaintManagerUI unattached; // stored without a window
    unattached.SetWindowOpacity(400);
    EXPECT_EQ(unattached.GetWindowOpacity(), 255);
}

TEST(ManagerGeometry, SizeLimitsInitialSizeAndStoredAreas)
{
    CPaintManagerUI pm;
    HostWindow host(pm, HostWindow::VisiblePopup, 200, 120);
    pm.SetInitialSize(300, 150); // no tree yet: the window takes the size at once
    RECT rc;
    ::GetWindowRect(host.Handle(), &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 150);
    pm.SetRootControl(new CBoxUI("root"));
    pm.SetInitialSize(400, 200); // with a tree: only stored
    ::GetWindowRect(host.Handle(), &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(pm.GetInitialSize().cx, 400);
    EXPECT_EQ(pm.GetInitialSize().cy, 200);

    struct
    {
        CUISize szMin, szMax;
        POINT ptMinTrack, ptMaxTrack;
    } const cases[] = {
        {CUISize(0, 300), CUISize(0, 0), {11, 300}, {1000, 900}},
        {CUISize(50, 60), CUISize(500, 0), {50, 60}, {500, 900}},
        {CUISize(0, 0), CUISize(0, 700), {11, 22}, {1000, 700}},
    };
    for (const auto& c : cases) {
        pm.SetMinimumSize(c.szMin.cx, c.szMin.cy);
        pm.SetMaximumSize(c.szMax.cx, c.szMax.cy);
        MINMAXINFO info = {};
        info.ptMinTrackSize = {11, 22};
        info.ptMaxTrackSize = {1000, 900};
        LRESULT lRes = 0;
        EXPECT_FALSE(pm.HandleWindowMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info), lRes));
        EXPECT_EQ(info.ptMinTrackSize.x, c.ptMinTrack.x);
        EXPECT_EQ(info.ptMinTrackSize.y, c.ptMinTrack.y);
        EXPECT_EQ(info.ptMaxTrackSize.x, c.ptMaxTrack.x);
        EXPECT_EQ(info.ptMaxTrackSize.y, c.ptMaxTrack.y);
    }

    // The window base reads these for hit-testing and the window's shape.
    pm.SetCaptionArea(CUIRect(0, 0, 0, 60));
    pm.SetResizeBorder(CUIRect(4, 4, 4, 4));
    pm.SetCornerRounding(3, 3);
    EXPECT_TRUE(SameRect(pm.GetCaptionArea(), CUIRect(0, 0, 0, 60)));
    EXPECT_TRUE(SameRect(pm.GetResizeBorder(), CUIRect(4, 4, 4, 4)));
    EXPECT_EQ(pm.GetCornerRounding().cx, 3);
    EXPECT_EQ(pm.GetCornerRounding().cy, 3);
}

TEST(ManagerPaintResources, DrawingLibraryComesFromTheSystemFolder)
{
    CPaintManagerUI pm;
    const HMODULE hModule = ::GetModuleHandleW(L"msimg32.dll");
    ASSERT_NE(hModule, nullptr);
    wchar_t szLoaded[MAX_PATH] = {};
    ::GetModuleFileNameW(hModule, szLoaded, MAX_PATH);
    wchar_t szSystem[MAX_PATH] = {};
    ASSERT_TRUE(CUISystemLibrary::SystemPath("msimg32.dll", szSystem, MAX_PATH));
    EXPECT_EQ(lstrcmpiW(szLoaded, szSystem), 0);
}

TEST(ManagerDisplayScale, DpiChangeRemakesFontsLaysOutAgainAndTakesTheSuggestedRectangle)
{
    CPaintManagerUI pm;
    HostWindow host(pm, HostWindow::VisiblePopup, 200, 120);
    ASSERT_EQ(pm.GetDpi(), 96) << "the tree's prefix runs at 96 DPI";
    const HFONT hFont = pm.RegisterFont("Arial", 12, false, false, false);
    ASSERT_NE(hFont, nullptr);
    auto pRoot = std::make_unique<CContainerUI>();
    auto pChild = std::make_unique<CControlUI>();
    CControlUI* pFloat = pChild.get();
    pFloat->SetFloat(true);
    pFloat->SetFixedXY(SIZE{11, 20});
    pFloat->SetFixedWidth(31);
    pFloat->SetFixedHeight(16);
    pRoot->AddItem(pChild.release());
    pm.SetRootControl(pRoot.release());
    const auto paint = [&host] {
        ::InvalidateRect(host.Handle(), nullptr, FALSE);
        ::UpdateWindow(host.Handle());
    };
    const auto fontHeight = [&pm] {
        LOGFONTW lf = {};
        ::GetObjectW(pm.FontByIndex(0), sizeof(lf), &lf);
        return lf.lfHeight;
    };
    paint();
    EXPECT_EQ(RectText(pFloat->GetPos()), RectText(CUIRect(11, 20, 42, 36)));
    EXPECT_EQ(fontHeight(), -12);

    // What a per-monitor aware window gets when it moves to a monitor at 150 %: the new DPI and where the
    // system suggests the window goes. Odd lengths gain the half pixel; the placement stays logical, so
    // going back to 96 gives the first rectangle again.
    RECT rcSuggested = {40, 30, 340, 210};
    ::SendMessageW(host.Handle(), 0x02E0, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&rcSuggested));
    paint();
    EXPECT_EQ(pm.GetDpi(), 144);
    RECT rcWindow = {};
    ::GetWindowRect(host.Handle(), &rcWindow);
    EXPECT_EQ(RectText(rcWindow), RectText(rcSuggested));
    EXPECT_EQ(RectText(pFloat->GetPos()), RectText(CUIRect(17, 30, 64, 54)));
    EXPECT_EQ(fontHeight(), -18);

    RECT rcBack = {40, 30, 240, 150};
    ::SendMessageW(host.Handle(), 0x02E0, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&rcBack));
    paint();
    EXPECT_EQ(RectText(pFloat->GetPos()), RectText(CUIRect(11, 20, 42, 36)));
    EXPECT_EQ(fontHeight(), -12);
}
