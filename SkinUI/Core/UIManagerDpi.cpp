// CPaintManagerUI: the display scale. The tree keeps the skin's logical lengths; layout, fonts, images and
// the window's geometry turn them into pixels at the manager's DPI, so a change of DPI needs no rebuild.
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIDpi.h"
#include "SkinUI/Core/UIManager.h"

namespace SkinUI {

namespace {

// Forgets where each floating child's container stood: its growth was measured in the old scale's pixels.
CControlUI* ForgetParentSizeProc(CControlUI* pThis, void* /*pData*/)
{
    if (pThis->IsRelativePos())
        pThis->SetRelativeParentSize(SIZE{0, 0});
    return nullptr;
}

} // namespace

int CPaintManagerUI::GetDpi() const
{
    return m_nDpi;
}

void CPaintManagerUI::SetDpi(int nDpi)
{
    if (nDpi <= 0 || nDpi == m_nDpi)
        return;
    m_nDpi = nDpi;
    RescaleFonts();
    ReloadImages();
    ReleasePaintSurfaces();
    if (m_pRoot != nullptr) {
        m_pRoot->FindControl(ForgetParentSizeProc, nullptr, FIND_ALL);
        m_pRoot->RequestLayout();
    }
    m_bLayoutNeeded = true;
    if (m_hWndPaint != nullptr)
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    // The vertical DPI is in the high word (both are the same on every Windows so far).
    SetDpi(HIWORD(wParam));
    // The system suggests where the window goes at its new scale: keeping it there keeps the window under
    // the mouse while it is dragged between monitors.
    const auto* pSuggested = reinterpret_cast<const RECT*>(lParam);
    if (pSuggested != nullptr && m_hWndPaint != nullptr)
        ::SetWindowPos(m_hWndPaint, nullptr, pSuggested->left, pSuggested->top, pSuggested->right - pSuggested->left,
                       pSuggested->bottom - pSuggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

int CPaintManagerUI::ScaleLength(int n) const
{
    return DpiScale(n, m_nDpi);
}

CUIRect CPaintManagerUI::ScaleRect(const RECT& rc) const
{
    return CUIRect(DpiScaleRect(rc, m_nDpi));
}

CUISize CPaintManagerUI::ScaleSize(const SIZE& sz) const
{
    return CUISize(DpiScaleSize(sz, m_nDpi));
}

int CPaintManagerUI::UnscaleLength(int n) const
{
    return DpiUnscale(n, m_nDpi);
}

} // namespace SkinUI
