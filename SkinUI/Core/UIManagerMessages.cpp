// CPaintManagerUI: window message handling, the queued-message router and the message loop.
#include "SkinUI/Core/UIBase.h"
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"

#include <memory>

namespace SkinUI {

bool CPaintManagerUI::HandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    if (m_hWndPaint == nullptr)
        return false;
    DrainNotifyQueue();
    for (int i = 0; i < m_aMessageFilters.Count(); ++i) {
        bool bHandled = false;
        const LRESULT lResult =
            static_cast<IMessageFilterUI*>(m_aMessageFilters[i])->FilterMessage(uMsg, wParam, lParam, bHandled);
        if (bHandled) {
            lRes = lResult;
            return true;
        }
    }
    switch (uMsg) {
    case UIMSG_DELETE_QUEUE:
        DeleteQueuedControls();
        break;
    case WM_ERASEBKGND:
        lRes = 1;
        return true;
    case WM_PAINT:
        return OnPaint();
    case WM_PRINTCLIENT:
        OnPrintClient(reinterpret_cast<HDC>(wParam), lParam);
        break;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        break;
    case WM_SIZE:
        if (m_pFocus != nullptr) {
            InputEventUI event;
            event.nKind = UIEV_WINDOWSIZE;
            event.pSender = m_pFocus;
            event.dwTimestamp = ::GetTickCount();
            m_pFocus->DeliverEvent(event);
        }
        if (m_pRoot != nullptr)
            m_pRoot->RequestLayout();
        return true;
    case WM_TIMER:
        DeliverControlTimer(wParam);
        break;
    default:
        break;
    }
    DrainNotifyQueue();
    return false;
}

void CPaintManagerUI::DeleteQueuedControls()
{
    // Deleting a control may queue further controls: take the queue as it is and repeat until it stays empty.
    while (!m_aDeleteQueue.IsEmpty()) {
        CUIPtrArray aDelete(m_aDeleteQueue);
        m_aDeleteQueue.Clear();
        for (int i = 0; i < aDelete.Count(); ++i)
            delete static_cast<CControlUI*>(aDelete[i]);
    }
}

void CPaintManagerUI::DeliverControlTimer(WPARAM wParam)
{
    const UINT uWinTimer = LOWORD(wParam);
    for (int i = 0; i < m_aTimers.Count(); ++i) {
        const auto* pTimer = static_cast<const ControlTimerUI*>(m_aTimers[i]);
        if (pTimer->hWnd == m_hWndPaint && pTimer->uWinTimer == uWinTimer && !pTimer->bKilled) {
            InputEventUI event;
            event.nKind = UIEV_TIMER;
            event.pSender = pTimer->pSender;
            event.wParam = pTimer->nLocalID;
            event.dwTimestamp = ::GetTickCount();
            pTimer->pSender->DeliverEvent(event);
            return;
        }
    }
}

bool CPaintManagerUI::PreHandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& /*lRes*/)
{
    for (int i = 0; i < m_aPreMessageFilters.Count(); ++i) {
        bool bHandled = false;
        static_cast<IMessageFilterUI*>(m_aPreMessageFilters[i])->FilterMessage(uMsg, wParam, lParam, bHandled);
        if (bHandled)
            return true;
    }
    return false;
}

bool CPaintManagerUI::ApplyAccelerators(MSG* pMsg)
{
    for (int i = 0; i < m_aTranslateAccelerator.Count(); ++i) {
        if (static_cast<ITranslateAccelerator*>(m_aTranslateAccelerator[i])->TranslateKey(pMsg) == 0)
            return true;
    }
    return false;
}

bool CPaintManagerUI::RouteQueuedMessage(MSG* pMsg)
{
    if (pMsg == nullptr || pMsg->hwnd == nullptr)
        return false;
    CUIPtrArray& aManagers = LiveManagers();
    const auto offer = [pMsg](CPaintManagerUI* pManager) {
        if (pManager->ApplyAccelerators(pMsg))
            return true;
        LRESULT lRes = 0;
        return pManager->PreHandleWindowMessage(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
    };
    const LONG lStyle = ::GetWindowLongA(pMsg->hwnd, GWL_STYLE);
    if ((lStyle & WS_CHILD) != 0) {
        // A native child window (such as an edit box) of a skinned window: its keys pass through the
        // skinned window's accelerators and pre-filters first.
        for (int i = 0; i < aManagers.Count(); ++i) {
            auto* pManager = static_cast<CPaintManagerUI*>(aManagers[i]);
            const HWND hWndPaint = pManager->GetHostWindow();
            for (HWND hWndParent = ::GetParent(pMsg->hwnd); hWndParent != nullptr;
                 hWndParent = ::GetParent(hWndParent)) {
                if (pMsg->hwnd == hWndPaint || hWndParent == hWndPaint)
                    return offer(pManager);
            }
        }
        return false;
    }
    for (int i = 0; i < aManagers.Count(); ++i) {
        auto* pManager = static_cast<CPaintManagerUI*>(aManagers[i]);
        if (pMsg->hwnd == pManager->GetHostWindow())
            return offer(pManager);
    }
    return false;
}

void CPaintManagerUI::MessageLoop()
{
    MSG msg = {};
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (RouteQueuedMessage(&msg))
            continue;
        ::TranslateMessage(&msg);
        try {
            ::DispatchMessageA(&msg);
        } catch (...) {
            TraceDebug("EXCEPTION: %s(%d)\n", __FILE__, __LINE__);
            throw "CPaintManagerUI::MessageLoop";
        }
    }
}

WORD CPaintManagerUI::CurrentKeyState()
{
    WORD wState = 0;
    if (::GetKeyState(VK_LBUTTON) < 0)
        wState |= MK_LBUTTON;
    if (::GetKeyState(VK_RBUTTON) < 0)
        wState |= MK_RBUTTON;
    if (::GetKeyState(VK_SHIFT) < 0)
        wState |= MK_SHIFT;
    if (::GetKeyState(VK_CONTROL) < 0)
        wState |= MK_CONTROL;
    if (::GetKeyState(VK_MENU) < 0)
        wState |= 0x20; // the Alt flag of the mouse-key set
    return wState;
}

void CPaintManagerUI::CaptureMouse()
{
    ::SetCapture(m_hWndPaint);
    m_bMouseCaptured = true;
}

void CPaintManagerUI::ReleaseMouse()
{
    ::ReleaseCapture();
    m_bMouseCaptured = false;
}

bool CPaintManagerUI::IsMouseCaptured() const
{
    return m_bMouseCaptured;
}

HDC CPaintManagerUI::GetHostDC() const
{
    return m_hDcPaint;
}

CUIPoint CPaintManagerUI::GetLastMousePoint() const
{
    return m_ptLastMouse;
}

CUISize CPaintManagerUI::GetHostClientSize() const
{
    RECT rcClient = {};
    if (m_hWndPaint != nullptr)
        ::GetClientRect(m_hWndPaint, &rcClient);
    return CUISize(rcClient.right - rcClient.left, rcClient.bottom - rcClient.top);
}

} // namespace SkinUI
