// CPaintManagerUI: painting the control tree and the window-geometry settings.
#include "SkinUI/Core/UIBase.h"
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Utils/SystemLibrary.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace SkinUI {

namespace {

// The pen that outlines painted areas when show-dirty is on; made once per process.
HPEN g_hUpdateRectPen = nullptr;

// How often one control may be laid out in one paint before it is given up on. A control that still asks
// for a layout after that never settles (an override of SetPos that keeps the flag, a control without a
// manager, a child that asks its parent again from its own layout) and would hold the window for ever.
constexpr int kMaxLayoutsPerControl = 3;

// The printing flags of WM_PRINT and WM_PRINTCLIENT.
constexpr LPARAM kPrintChildren = PRF_CHILDREN;
constexpr LPARAM kPrintNonClient = PRF_NONCLIENT;

struct LayoutSearchState
{
    const std::vector<CControlUI*>* pGivenUp;
};

CControlUI* NeedsLayoutProc(CControlUI* pThis, void* pData)
{
    if (!pThis->IsLayoutNeeded())
        return nullptr;
    const auto* pGivenUp = static_cast<LayoutSearchState*>(pData)->pGivenUp;
    return std::find(pGivenUp->begin(), pGivenUp->end(), pThis) == pGivenUp->end() ? pThis : nullptr;
}

// A memory DC and a bitmap of the client size, both compatible with the window's DC; either may be null.
void CreateSurface(HDC hDcPaint, const RECT& rcClient, HDC& hDc, HBITMAP& hBitmap)
{
    hDc = ::CreateCompatibleDC(hDcPaint);
    hBitmap = ::CreateCompatibleBitmap(hDcPaint, rcClient.right - rcClient.left, rcClient.bottom - rcClient.top);
}

void Blit(HDC hDcDest, HDC hDcSource, const RECT& rc)
{
    ::BitBlt(hDcDest, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hDcSource, rc.left, rc.top, SRCCOPY);
}

} // namespace

void CPaintManagerUI::InitProcessPaintResources()
{
    if (g_hUpdateRectPen != nullptr)
        return;
    g_hUpdateRectPen = ::CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
    // The common controls (tooltips) come from comctl32 version 6, the side-by-side assembly the manifest
    // names. comctl32 is not on the known-DLLs list, so it is loaded here rather than imported.
    static const CUISystemLibrary s_commonControls("comctl32.dll", CUISystemLibrary::LoadFrom::SideBySide);
    using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (const auto pfnInit = s_commonControls.Proc<InitCommonControlsExFn>("InitCommonControlsEx")) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        pfnInit(&icc);
    }
    // The drawing routines take AlphaBlend and GradientFill from msimg32. It is not on the known-DLLs list,
    // so it is loaded by full path from the system folder (never imported, never searched for by name) and
    // kept for the life of the process.
    static const CUISystemLibrary s_imageLibrary("msimg32.dll");
    (void)s_imageLibrary;
}

void CPaintManagerUI::ReleasePaintSurfaces()
{
    if (m_hDcOffscreen != nullptr)
        ::DeleteDC(m_hDcOffscreen);
    if (m_hDcBackground != nullptr)
        ::DeleteDC(m_hDcBackground);
    if (m_hbmpOffscreen != nullptr)
        ::DeleteObject(m_hbmpOffscreen);
    if (m_hbmpBackground != nullptr)
        ::DeleteObject(m_hbmpBackground);
    m_hDcOffscreen = nullptr;
    m_hDcBackground = nullptr;
    m_hbmpOffscreen = nullptr;
    m_hbmpBackground = nullptr;
}

void CPaintManagerUI::LayoutPendingControls()
{
    std::vector<std::pair<CControlUI*, int>> aLaidOut;
    std::vector<CControlUI*> aGivenUp;
    LayoutSearchState state{&aGivenUp};
    while (CControlUI* pControl = m_pRoot->FindControl(NeedsLayoutProc, &state, FIND_VISIBLE | FIND_ME_FIRST)) {
        auto it = std::find_if(aLaidOut.begin(), aLaidOut.end(), [pControl](const std::pair<CControlUI*, int>& entry) {
            return entry.first == pControl;
        });
        if (it == aLaidOut.end())
            it = aLaidOut.insert(aLaidOut.end(), {pControl, 0});
        const bool bControlSettlesAfterLayout = it->second < kMaxLayoutsPerControl;
        if (!bControlSettlesAfterLayout) {
            TraceDebug("Layout: %s \"%s\" still needs a layout after %d; given up for this paint",
                       pControl->GetClassName().Chars(), pControl->GetName().Chars(), kMaxLayoutsPerControl);
            UIASSERT(bControlSettlesAfterLayout);
            aGivenUp.push_back(pControl);
            continue;
        }
        ++it->second;
        pControl->SetPos(pControl->GetPos());
    }
    // Whatever asked for a layout meanwhile has been served, except the controls given up on: asking
    // for another paint for those would repaint for ever.
    if (!aGivenUp.empty())
        m_bLayoutNeeded = false;
}

bool CPaintManagerUI::OnPaint()
{
    RECT rcUpdate = {};
    if (!::GetUpdateRect(m_hWndPaint, &rcUpdate, FALSE))
        return true;
    if (m_pRoot == nullptr) {
        PAINTSTRUCT ps = {};
        ::BeginPaint(m_hWndPaint, &ps);
        ::EndPaint(m_hWndPaint, &ps);
        return true;
    }
    RECT rcClient = {};
    ::GetClientRect(m_hWndPaint, &rcClient);
    if (m_bLayoutNeeded) {
        m_bLayoutNeeded = false;
        if (!::IsRectEmpty(&rcClient)) {
            if (m_pRoot->IsLayoutNeeded()) {
                m_pRoot->SetPos(rcClient);
                ReleasePaintSurfaces();
                // Controls that asked again while the tree was laid out are served in this paint.
                if (m_bLayoutNeeded)
                    LayoutPendingControls();
            } else {
                LayoutPendingControls();
            }
            if (m_bFirstLayoutPending) {
                m_bFirstLayoutPending = false;
                SendNotify(m_pRoot, "windowinit");
            }
        }
    }
    if (m_bFocusNeeded)
        MoveFocusByTab(true);
    // A notification or focus handler may have removed the tree.
    if (m_pRoot == nullptr) {
        PAINTSTRUCT ps = {};
        ::BeginPaint(m_hWndPaint, &ps);
        ::EndPaint(m_hWndPaint, &ps);
        return true;
    }

    if (m_bOffscreenPaint && m_hbmpOffscreen == nullptr && !::IsRectEmpty(&rcClient)) {
        if (m_hDcOffscreen != nullptr)
            ::DeleteDC(m_hDcOffscreen);
        CreateSurface(m_hDcPaint, rcClient, m_hDcOffscreen, m_hbmpOffscreen);
        UIASSERT(m_hDcOffscreen);
        UIASSERT(m_hbmpOffscreen);
    }

    PAINTSTRUCT ps = {};
    const HDC hDcPaint = ::BeginPaint(m_hWndPaint, &ps);
    if (hDcPaint != nullptr) {
        if (m_bOffscreenPaint && m_hDcOffscreen != nullptr && m_hbmpOffscreen != nullptr) {
            PaintOffscreen(hDcPaint, ps.rcPaint, rcUpdate);
        } else {
            const int iSaved = ::SaveDC(hDcPaint);
            m_pRoot->Paint(hDcPaint, ps.rcPaint);
            ::RestoreDC(hDcPaint, iSaved);
        }
    }
    ::EndPaint(m_hWndPaint, &ps);
    if (m_bLayoutNeeded)
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
    return true;
}

void CPaintManagerUI::PaintOffscreen(HDC hDcPaint, const RECT& rcPaint, const RECT& rcUpdate)
{
    const auto hOldBitmap = static_cast<HBITMAP>(::SelectObject(m_hDcOffscreen, m_hbmpOffscreen));
    const int iSaved = ::SaveDC(m_hDcOffscreen);
    if (m_bBackdropSnapshot) {
        if (m_hbmpBackground == nullptr) {
            // The pixels the window shows before any control is drawn become the background of every
            // later paint, until the next layout of the whole tree.
            RECT rcClient = {};
            ::GetClientRect(m_hWndPaint, &rcClient);
            if (m_hDcBackground != nullptr)
                ::DeleteDC(m_hDcBackground);
            CreateSurface(m_hDcPaint, rcClient, m_hDcBackground, m_hbmpBackground);
            UIASSERT(m_hDcBackground);
            UIASSERT(m_hbmpBackground);
            if (m_hDcBackground != nullptr && m_hbmpBackground != nullptr) {
                ::SelectObject(m_hDcBackground, m_hbmpBackground);
                Blit(m_hDcBackground, hDcPaint, rcPaint);
            }
        } else {
            ::SelectObject(m_hDcBackground, m_hbmpBackground);
        }
        if (m_hDcBackground != nullptr && m_hbmpBackground != nullptr)
            Blit(m_hDcOffscreen, m_hDcBackground, rcPaint);
    }
    m_pRoot->Paint(m_hDcOffscreen, rcPaint);
    // Read afresh at every step: an overlay may unregister itself (or another) while it paints.
    for (int i = 0; i < m_aPostPaintControls.Count(); ++i)
        static_cast<CControlUI*>(m_aPostPaintControls[i])->PaintOverlay(m_hDcOffscreen, rcPaint);
    ::RestoreDC(m_hDcOffscreen, iSaved);
    Blit(hDcPaint, m_hDcOffscreen, rcPaint);
    ::SelectObject(m_hDcOffscreen, hOldBitmap);

    if (m_bShowDirty) {
        const HGDIOBJ hOldPen = ::SelectObject(hDcPaint, g_hUpdateRectPen);
        const HGDIOBJ hOldBrush = ::SelectObject(hDcPaint, ::GetStockObject(HOLLOW_BRUSH));
        ::Rectangle(hDcPaint, rcUpdate.left, rcUpdate.top, rcUpdate.right, rcUpdate.bottom);
        ::SelectObject(hDcPaint, hOldBrush);
        ::SelectObject(hDcPaint, hOldPen);
    }
}

void CPaintManagerUI::OnPrintClient(HDC hDC, LPARAM lParam)
{
    if (m_pRoot == nullptr || hDC == nullptr)
        return;
    RECT rcClient = {};
    ::GetClientRect(m_hWndPaint, &rcClient);
    const int iSaved = ::SaveDC(hDC);
    m_pRoot->Paint(hDC, rcClient);
    if ((lParam & kPrintChildren) != 0) {
        for (HWND hWndChild = ::GetWindow(m_hWndPaint, GW_CHILD); hWndChild != nullptr;
             hWndChild = ::GetWindow(hWndChild, GW_HWNDNEXT)) {
            RECT rcChild = {};
            ::GetWindowRect(hWndChild, &rcChild);
            ::MapWindowPoints(HWND_DESKTOP, m_hWndPaint, reinterpret_cast<POINT*>(&rcChild), 2);
            ::SetWindowOrgEx(hDC, -rcChild.left, -rcChild.top, nullptr);
            ::SendMessageW(hWndChild, WM_PRINT, reinterpret_cast<WPARAM>(hDC), lParam | kPrintNonClient);
        }
    }
    ::RestoreDC(hDC, iSaved);
}

void CPaintManagerUI::OnGetMinMaxInfo(MINMAXINFO* pInfo) const
{
    if (pInfo == nullptr)
        return;
    if (m_szMinimum.cx > 0)
        pInfo->ptMinTrackSize.x = ScaleLength(m_szMinimum.cx);
    if (m_szMinimum.cy > 0)
        pInfo->ptMinTrackSize.y = ScaleLength(m_szMinimum.cy);
    if (m_szMaximum.cx > 0)
        pInfo->ptMaxTrackSize.x = ScaleLength(m_szMaximum.cx);
    if (m_szMaximum.cy > 0)
        pInfo->ptMaxTrackSize.y = ScaleLength(m_szMaximum.cy);
}

// ---- Window geometry ----

CUISize CPaintManagerUI::GetInitialSize() const
{
    return m_szInitial;
}

void CPaintManagerUI::SetInitialSize(int cx, int cy)
{
    m_szInitial = CUISize(cx, cy);
    if (m_pRoot == nullptr && m_hWndPaint != nullptr)
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, ScaleLength(cx), ScaleLength(cy),
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

CUISize CPaintManagerUI::GetMinimumSize() const
{
    return m_szMinimum;
}

void CPaintManagerUI::SetMinimumSize(int cx, int cy)
{
    UIASSERT(cx >= 0 && cy >= 0);
    m_szMinimum = CUISize(cx, cy);
}

CUISize CPaintManagerUI::GetMaximumSize() const
{
    return m_szMaximum;
}

void CPaintManagerUI::SetMaximumSize(int cx, int cy)
{
    UIASSERT(cx >= 0 && cy >= 0);
    m_szMaximum = CUISize(cx, cy);
}

CUIRect CPaintManagerUI::GetResizeBorder() const
{
    return m_rcResizeBorder;
}

void CPaintManagerUI::SetResizeBorder(const RECT& rcSizeBox)
{
    m_rcResizeBorder = rcSizeBox;
}

CUIRect CPaintManagerUI::GetCaptionArea() const
{
    return m_rcCaptionArea;
}

void CPaintManagerUI::SetCaptionArea(const RECT& rcCaption)
{
    m_rcCaptionArea = rcCaption;
}

CUISize CPaintManagerUI::GetCornerRounding() const
{
    return m_szCornerRounding;
}

void CPaintManagerUI::SetCornerRounding(int cx, int cy)
{
    m_szCornerRounding = CUISize(cx, cy);
}

int CPaintManagerUI::GetWindowOpacity() const
{
    return m_nOpacity;
}

void CPaintManagerUI::SetWindowOpacity(int nOpacity)
{
    m_nOpacity = nOpacity < 0 ? 0 : (nOpacity > 255 ? 255 : nOpacity);
    if (m_hWndPaint == nullptr)
        return;
    using SetLayeredProc = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    const HMODULE hUser32 = ::GetModuleHandleW(L"User32.dll");
    if (hUser32 == nullptr)
        return;
    const auto pfnSetLayered = reinterpret_cast<SetLayeredProc>(
        reinterpret_cast<void*>(::GetProcAddress(hUser32, "SetLayeredWindowAttributes")));
    if (pfnSetLayered == nullptr)
        return;
    const DWORD dwStyle = static_cast<DWORD>(::GetWindowLongW(m_hWndPaint, GWL_EXSTYLE));
    const DWORD dwNewStyle = (nOpacity < 0 || nOpacity > 255) ? (dwStyle & ~WS_EX_LAYERED) : (dwStyle | WS_EX_LAYERED);
    if (dwNewStyle != dwStyle)
        ::SetWindowLongW(m_hWndPaint, GWL_EXSTYLE, static_cast<LONG>(dwNewStyle));
    pfnSetLayered(m_hWndPaint, 0, static_cast<BYTE>(nOpacity & 0xFF), LWA_ALPHA);
}

void CPaintManagerUI::SetBackdropSnapshot(bool bSnapshot)
{
    m_bBackdropSnapshot = bSnapshot;
}

bool CPaintManagerUI::IsShowDirty() const
{
    return m_bShowDirty;
}

void CPaintManagerUI::SetShowDirty(bool bShow)
{
    m_bShowDirty = bShow;
}

} // namespace SkinUI
