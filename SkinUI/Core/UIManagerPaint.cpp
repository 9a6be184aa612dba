// CPaintManagerUI: painting the control tree and the window-geometry settings.
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"

#include <commctrl.h>

namespace SkinUI {

namespace {

// The pen that outlines painted areas when show-dirty is on; made once per process.
HPEN g_hUpdateRectPen = nullptr;

CControlUI* NeedsLayoutProc(CControlUI* pThis, void* /*pData*/)
{
    return pThis->IsLayoutNeeded() ? pThis : nullptr;
}

} // namespace

void CPaintManagerUI::InitProcessPaintResources()
{
    if (g_hUpdateRectPen != nullptr)
        return;
    g_hUpdateRectPen = ::CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
    ::InitCommonControls();
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
    if (m_bLayoutNeeded) {
        m_bLayoutNeeded = false;
        RECT rcClient = {};
        ::GetClientRect(m_hWndPaint, &rcClient);
        if (!::IsRectEmpty(&rcClient)) {
            if (m_pRoot->IsLayoutNeeded()) {
                m_pRoot->SetPos(rcClient);
                ReleasePaintSurfaces();
            } else {
                while (CControlUI* pControl =
                           m_pRoot->FindControl(NeedsLayoutProc, nullptr, FIND_VISIBLE | FIND_ME_FIRST))
                    pControl->SetPos(pControl->GetPos());
            }
            if (m_bFirstLayoutPending) {
                m_bFirstLayoutPending = false;
                SendNotify(m_pRoot, "windowinit");
            }
        }
    }
    if (m_bFocusNeeded)
        MoveFocusByTab(true);

    // Painted straight into the window's DC; double buffering through the off-screen bitmap and the
    // backdrop snapshot is not done yet.
    PAINTSTRUCT ps = {};
    const HDC hDC = ::BeginPaint(m_hWndPaint, &ps);
    if (hDC != nullptr) {
        const int iSaved = ::SaveDC(hDC);
        m_pRoot->Paint(hDC, ps.rcPaint);
        for (int i = 0; i < m_aPostPaintControls.Count(); ++i)
            static_cast<CControlUI*>(m_aPostPaintControls[i])->PaintOverlay(hDC, ps.rcPaint);
        ::RestoreDC(hDC, iSaved);
    }
    ::EndPaint(m_hWndPaint, &ps);
    if (m_bLayoutNeeded)
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
    return true;
}

void CPaintManagerUI::OnPrintClient(HDC hDC, LPARAM /*lParam*/)
{
    if (m_pRoot == nullptr || hDC == nullptr)
        return;
    RECT rcClient = {};
    ::GetClientRect(m_hWndPaint, &rcClient);
    const int iSaved = ::SaveDC(hDC);
    m_pRoot->Paint(hDC, rcClient);
    ::RestoreDC(hDC, iSaved);
}

void CPaintManagerUI::OnGetMinMaxInfo(MINMAXINFO* pInfo) const
{
    if (pInfo == nullptr)
        return;
    if (m_szMinimum.cx > 0)
        pInfo->ptMinTrackSize.x = m_szMinimum.cx;
    if (m_szMinimum.cy > 0)
        pInfo->ptMinTrackSize.y = m_szMinimum.cy;
    if (m_szMaximum.cx > 0)
        pInfo->ptMaxTrackSize.x = m_szMaximum.cx;
    if (m_szMaximum.cy > 0)
        pInfo->ptMaxTrackSize.y = m_szMaximum.cy;
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
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
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
    const HMODULE hUser32 = ::GetModuleHandleA("User32.dll");
    if (hUser32 == nullptr)
        return;
    const auto pfnSetLayered = reinterpret_cast<SetLayeredProc>(
        reinterpret_cast<void*>(::GetProcAddress(hUser32, "SetLayeredWindowAttributes")));
    if (pfnSetLayered == nullptr)
        return;
    const DWORD dwStyle = static_cast<DWORD>(::GetWindowLongA(m_hWndPaint, GWL_EXSTYLE));
    const DWORD dwNewStyle = (nOpacity < 0 || nOpacity > 255) ? (dwStyle & ~WS_EX_LAYERED) : (dwStyle | WS_EX_LAYERED);
    if (dwNewStyle != dwStyle)
        ::SetWindowLongA(m_hWndPaint, GWL_EXSTYLE, static_cast<LONG>(dwNewStyle));
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
