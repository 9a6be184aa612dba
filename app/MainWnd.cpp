#include "app/MainWnd.h"

LRESULT CMainWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        // Created 0 by 0; until the skin gives the window its size, give it the skin's 600 by 400.
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    case WM_ERASEBKGND: {
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        ::FillRect(reinterpret_cast<HDC>(wParam), &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    case WM_DESTROY:
        return 0;
    default:
        return CWindowWnd::OnMessage(uMsg, wParam, lParam);
    }
}

void CMainWnd::OnWindowGone(HWND /*hWnd*/)
{
    delete this;
}
