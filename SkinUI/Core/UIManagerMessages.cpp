// CPaintManagerUI: window message handling, the queued-message router and the message loop.
#include "SkinUI/Core/UIBase.h"
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIDpi.h"
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <memory>
#include <string>

namespace SkinUI {

namespace {

// Hover time when there is no tooltip window to ask for its initial delay.
constexpr DWORD kDefaultHoverTime = 400;
// The Alt flag of the key state word (the mouse-key flags have none of their own).
constexpr WORD kKeyStateAlt = 0x20;

// A point from the low and high words of a message's lParam, both signed.
POINT PointFromLParam(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

InputEventUI MakeEvent(int nKind, CControlUI* pSender, POINT ptMouse)
{
    InputEventUI event;
    event.nKind = nKind;
    event.pSender = pSender;
    event.ptMouse = ptMouse;
    event.dwTimestamp = ::GetTickCount();
    return event;
}

void Deliver(CControlUI* pControl, InputEventUI event)
{
    pControl->DeliverEvent(event);
}

// State of an Alt shortcut search: the character, upper-cased, and whether the control that carries it
// has been passed.
struct ShortcutSearchState
{
    char chShortcut;
    bool bTakeNext;
};

char UpperAscii(char ch)
{
    return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
}

// A typed character as the events carry it. The window is a Unicode window, so a character comes as a UTF-16
// unit; only ASCII is passed on, so that a Chinese character whose low byte is a space or a letter never
// reads as that key.
char TypedChar(WPARAM wParam)
{
    return wParam < 0x80 ? static_cast<char>(wParam) : '\0';
}

// A label hands its shortcut on to the next control in visiting order that is not a label.
CControlUI* ShortcutSearchProc(CControlUI* pThis, void* pData)
{
    auto* pState = static_cast<ShortcutSearchState*>(pData);
    if (!pThis->IsVisible())
        return nullptr;
    if (pThis->GetShortcut() != 0 && UpperAscii(pThis->GetShortcut()) == pState->chShortcut)
        pState->bTakeNext = true;
    if (pThis->GetClassName().FindText("LabelUI") >= 0)
        return nullptr;
    return pState->bTakeNext ? pThis : nullptr;
}

} // namespace

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
    case WM_CLOSE:
        OnWindowClose();
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
    case kMsgDpiChanged:
        OnDpiChanged(wParam, lParam);
        lRes = 0;
        return true;
    case WM_TIMER:
        DeliverControlTimer(wParam);
        break;
    case WM_MOUSEHOVER:
        if (OnMouseHover(lParam))
            return true;
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
        OnButtonDown(uMsg, wParam, lParam);
        break;
    case WM_LBUTTONUP:
        OnButtonUp(wParam, lParam);
        break;
    case WM_CONTEXTMENU:
        OnContextMenu(wParam, lParam);
        break;
    case WM_MOUSEWHEEL:
        OnMouseWheel(wParam, lParam);
        break;
    case WM_SETCURSOR:
        if (OnSetCursor(wParam, lParam))
            return true;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        OnKey(uMsg, wParam, lParam);
        break;
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (ReflectToChild(uMsg, wParam, lParam, lRes))
            return true;
        break;
    default:
        break;
    }
    DrainNotifyQueue();
    return false;
}

CControlUI* CPaintManagerUI::FindOwnedControlAt(POINT pt) const
{
    // Input can reach the window before a tree is installed; it then finds nothing.
    if (m_pRoot == nullptr)
        return nullptr;
    CControlUI* pControl = FindControlAt(pt);
    if (pControl == nullptr || pControl->GetManager() != this)
        return nullptr;
    return pControl;
}

void CPaintManagerUI::OnWindowClose()
{
    // The hover and press controls are told that the mouse is gone; a handler may delete either, which
    // makes the manager forget it, so each is read afresh.
    if (m_pHover != nullptr)
        Deliver(m_pHover, MakeEvent(UIEV_MOUSELEAVE, m_pHover, m_ptLastMouse));
    if (m_pPress != nullptr)
        Deliver(m_pPress, MakeEvent(UIEV_BUTTONUP, m_pPress, m_ptLastMouse));
    FocusControl(nullptr);
    const HWND hWndOwner = ::GetWindow(m_hWndPaint, GW_OWNER);
    if (hWndOwner != nullptr)
        ::SetFocus(hWndOwner);
}

void CPaintManagerUI::OnMouseMove(LPARAM lParam)
{
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT tme = {};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWndPaint;
        tme.dwHoverTime = m_hwndToolTip != nullptr
                              ? static_cast<DWORD>(::SendMessageW(m_hwndToolTip, TTM_GETDELAYTIME, TTDT_INITIAL, 0))
                              : kDefaultHoverTime;
        ::TrackMouseEvent(&tme);
        m_bMouseTracking = true;
    }
    const POINT pt = PointFromLParam(lParam);
    m_ptLastMouse = pt;
    CControlUI* pNewHover = m_pRoot != nullptr ? FindControlAt(pt) : nullptr;
    if (pNewHover != nullptr && pNewHover->GetManager() != this)
        return;
    if (pNewHover != m_pHover && m_pHover != nullptr) {
        CControlUI* pOld = m_pHover;
        m_pHover = nullptr;
        Deliver(pOld, MakeEvent(UIEV_MOUSELEAVE, pOld, pt));
        if (m_hwndToolTip != nullptr)
            ::SendMessageW(m_hwndToolTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_toolInfo));
        // The leave handler may have changed or deleted part of the tree: look again.
        pNewHover = FindOwnedControlAt(pt);
    }
    if (pNewHover != m_pHover && pNewHover != nullptr) {
        // Made the hover control first, so that a control deleted by its own enter handler is forgotten.
        m_pHover = pNewHover;
        Deliver(pNewHover, MakeEvent(UIEV_MOUSEENTER, pNewHover, pt));
    }
    // While a button is held the moves go to the pressed control, wherever the mouse is.
    if (m_pPress != nullptr)
        Deliver(m_pPress, MakeEvent(UIEV_MOUSEMOVE, m_pPress, pt));
    else if (pNewHover != nullptr && pNewHover == m_pHover)
        Deliver(pNewHover, MakeEvent(UIEV_MOUSEMOVE, pNewHover, pt));
}

bool CPaintManagerUI::OnMouseHover(LPARAM lParam)
{
    m_bMouseTracking = false;
    const POINT pt = PointFromLParam(lParam);
    if (FindOwnedControlAt(pt) == nullptr)
        return false;
    if (m_pHover != nullptr)
        Deliver(m_pHover, MakeEvent(UIEV_MOUSEHOVER, m_pHover, pt));
    // Looked up again: the hover handler may have changed the tree.
    CControlUI* pControl = FindOwnedControlAt(pt);
    if (pControl == nullptr)
        return true;
    ShowToolTip(pControl);
    return true;
}

void CPaintManagerUI::ShowToolTip(CControlUI* pControl)
{
    const CUIString sToolTip = pControl->GetToolTip();
    if (sToolTip.IsEmpty())
        return;
    // The tooltip window is a Unicode window: its text is given in UTF-16.
    std::wstring strToolTip = GbkToWide(sToolTip);
    m_toolInfo = TOOLINFOW{};
    m_toolInfo.cbSize = TTTOOLINFOW_V2_SIZE;
    m_toolInfo.uFlags = TTF_IDISHWND;
    m_toolInfo.hwnd = m_hWndPaint;
    m_toolInfo.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
    m_toolInfo.hinst = GetModuleInstance();
    m_toolInfo.lpszText = &strToolTip[0];
    m_toolInfo.rect = pControl->GetPos();
    if (m_hwndToolTip == nullptr) {
        m_hwndToolTip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint,
                                          nullptr, GetModuleInstance(), nullptr);
        if (m_hwndToolTip != nullptr)
            ::SendMessageW(m_hwndToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
    }
    if (m_hwndToolTip != nullptr) {
        ::SendMessageW(m_hwndToolTip, TTM_SETMAXTIPWIDTH, 0, ScaleLength(pControl->GetToolTipWidth()));
        ::SendMessageW(m_hwndToolTip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&m_toolInfo));
        ::SendMessageW(m_hwndToolTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_toolInfo));
    }
    // The tooltip window keeps its own copy of the text; the record must not point at the local one.
    m_toolInfo.lpszText = nullptr;
}

void CPaintManagerUI::OnMouseLeave()
{
    if (m_hwndToolTip != nullptr)
        ::SendMessageW(m_hwndToolTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_toolInfo));
    // A move to (-1, -1) tells the hover control that the mouse is gone. A hover report has already
    // cleared the tracking flag, yet the platform still reports the leave: the control must hear of it
    // then too. The flag is set during the move so that the move does not arm tracking again.
    if (m_bMouseTracking || m_pHover != nullptr) {
        m_bMouseTracking = true;
        ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, static_cast<LPARAM>(static_cast<DWORD>(-1)));
    }
    m_bMouseTracking = false;
}

void CPaintManagerUI::OnButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    ::SetFocus(m_hWndPaint);
    const POINT pt = PointFromLParam(lParam);
    m_ptLastMouse = pt;
    CControlUI* pControl = FindOwnedControlAt(pt);
    if (pControl == nullptr)
        return;
    // The press control is set before the control is called, so that one deleted by its own handler is
    // forgotten rather than left behind.
    m_pPress = pControl;
    if (uMsg != WM_LBUTTONDBLCLK) {
        pControl->SetFocus();
        if (m_pPress != pControl)
            return; // deleted by a focus handler
    }
    CaptureMouse();
    InputEventUI event = MakeEvent(UIEV_BUTTONDOWN, pControl, pt);
    event.wKeyState = LOWORD(wParam);
    event.wParam = wParam;
    event.lParam = lParam;
    if (uMsg == WM_LBUTTONDBLCLK) {
        event.nKind = UIEV_DBLCLICK;
        event.wParam = 0;
        event.lParam = 0;
    } else if (uMsg == WM_RBUTTONDOWN) {
        event.nKind = UIEV_RBUTTONDOWN;
    }
    pControl->DeliverEvent(event);
}

void CPaintManagerUI::OnButtonUp(WPARAM wParam, LPARAM lParam)
{
    const POINT pt = PointFromLParam(lParam);
    m_ptLastMouse = pt;
    CControlUI* pControl = m_pPress;
    if (pControl == nullptr)
        return;
    // Cleared first: a handler that starts a nested message loop (a dialog) must not see the button held.
    m_pPress = nullptr;
    ReleaseMouse();
    InputEventUI event = MakeEvent(UIEV_BUTTONUP, pControl, pt);
    event.wKeyState = LOWORD(wParam);
    event.wParam = wParam;
    event.lParam = lParam;
    pControl->DeliverEvent(event);
}

void CPaintManagerUI::OnContextMenu(WPARAM wParam, LPARAM lParam)
{
    POINT pt = PointFromLParam(lParam);
    ::ScreenToClient(m_hWndPaint, &pt);
    m_ptLastMouse = pt;
    CControlUI* pControl = m_pPress;
    if (pControl == nullptr)
        return;
    m_pPress = nullptr;
    ReleaseMouse();
    InputEventUI event = MakeEvent(UIEV_CONTEXTMENU, pControl, pt);
    event.wKeyState = LOWORD(wParam);
    event.lParam = reinterpret_cast<LPARAM>(pControl);
    pControl->DeliverEvent(event);
}

void CPaintManagerUI::OnMouseWheel(WPARAM wParam, LPARAM lParam)
{
    POINT pt = PointFromLParam(lParam);
    ::ScreenToClient(m_hWndPaint, &pt);
    m_ptLastMouse = pt;
    CControlUI* pControl = FindOwnedControlAt(pt);
    if (pControl == nullptr)
        return;
    const int nDelta = static_cast<short>(HIWORD(wParam));
    InputEventUI event;
    event.nKind = UIEV_SCROLLWHEEL;
    event.pSender = pControl;
    event.wParam = nDelta < 0 ? 1 : 0;
    event.lParam = lParam;
    event.wKeyState = CurrentKeyState();
    event.dwTimestamp = ::GetTickCount();
    pControl->DeliverEvent(event);
    // The content may have moved under the mouse: a synthetic move updates hover, enter and leave.
    ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM(m_ptLastMouse.x, m_ptLastMouse.y));
}

bool CPaintManagerUI::OnSetCursor(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(lParam) != HTCLIENT)
        return false;
    if (m_bMouseCaptured)
        return true;
    POINT pt = {};
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWndPaint, &pt);
    CControlUI* pControl = m_pRoot != nullptr ? FindControlAt(pt) : nullptr;
    if (pControl == nullptr || (pControl->GetControlFlags() & CONTROL_FLAG_SETCURSOR) == 0)
        return false;
    InputEventUI event = MakeEvent(UIEV_SETCURSOR, nullptr, pt);
    event.wParam = wParam;
    event.lParam = lParam;
    event.wKeyState = CurrentKeyState();
    pControl->DeliverEvent(event);
    return true;
}

void CPaintManagerUI::OnKey(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CControlUI* pControl = uMsg == WM_KEYUP ? m_pKeyControl : m_pFocus;
    if (pControl == nullptr)
        return;
    InputEventUI event = MakeEvent(UIEV_CHAR, nullptr, m_ptLastMouse);
    event.chKey = uMsg == WM_CHAR ? TypedChar(wParam) : static_cast<char>(LOBYTE(wParam));
    event.wKeyState = CurrentKeyState();
    if (uMsg == WM_KEYDOWN) {
        event.nKind = UIEV_KEYDOWN;
        // The key control is the one that got the key-down; set first so that a control deleted by its
        // own handler is forgotten.
        m_pKeyControl = pControl;
    } else if (uMsg == WM_KEYUP) {
        event.nKind = UIEV_KEYUP;
        m_pKeyControl = nullptr;
    }
    if (uMsg != WM_CHAR) {
        event.wParam = wParam;
        event.lParam = lParam;
    }
    pControl->DeliverEvent(event);
}

bool CPaintManagerUI::ReflectToChild(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    if (uMsg == WM_NOTIFY) {
        // Answered even without a record, so that the platform does not act on it either.
        if (lParam != 0) {
            const auto* pHeader = reinterpret_cast<const NMHDR*>(lParam);
            lRes = ::SendMessageW(pHeader->hwndFrom, UIMSG_REFLECT_BASE + uMsg, wParam, lParam);
        }
        return true;
    }
    if (lParam == 0)
        return false;
    lRes = ::SendMessageW(reinterpret_cast<HWND>(lParam), UIMSG_REFLECT_BASE + uMsg, wParam, lParam);
    return true;
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
    switch (uMsg) {
    case WM_KEYDOWN:
        if (wParam != VK_TAB)
            return false;
        if (m_pFocus != nullptr && m_pFocus->IsVisible() && m_pFocus->IsEnabled() &&
            m_pFocus->GetClassName().FindText("RichEditUI") >= 0) {
            const auto* pWantTab = static_cast<const IWantTabUI*>(m_pFocus->GetInterface("WantTab"));
            if (pWantTab != nullptr && pWantTab->IsWantTab())
                return false;
        }
        MoveFocusByTab(::GetKeyState(VK_SHIFT) >= 0);
        return true;
    case WM_SYSCHAR:
        return ShortcutKey(TypedChar(wParam));
    case WM_SYSKEYDOWN:
        if (m_pFocus != nullptr) {
            InputEventUI event = MakeEvent(UIEV_SYSKEY, nullptr, m_ptLastMouse);
            event.chKey = static_cast<char>(LOBYTE(wParam));
            event.wKeyState = CurrentKeyState();
            m_pFocus->DeliverEvent(event);
        }
        return false;
    default:
        return false;
    }
}

bool CPaintManagerUI::ShortcutKey(char chKey)
{
    if (m_pRoot == nullptr)
        return false;
    ShortcutSearchState state{UpperAscii(chKey), false};
    CControlUI* pControl =
        m_pRoot->FindControl(ShortcutSearchProc, &state, FIND_ENABLED | FIND_ME_FIRST | FIND_TOP_FIRST);
    if (pControl == nullptr)
        return false;
    pControl->SetFocus();
    pControl->Activate();
    return true;
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
    const LONG lStyle = ::GetWindowLongW(pMsg->hwnd, GWL_STYLE);
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
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (RouteQueuedMessage(&msg))
            continue;
        ::TranslateMessage(&msg);
        try {
            ::DispatchMessageW(&msg);
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
        wState |= kKeyStateAlt;
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
