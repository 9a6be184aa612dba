// CPaintManagerUI: lifetime, the control registry, registration lists, notifications, control timers and
// the keyboard focus with tab navigation.
#include "SkinUI/Core/UIManager.h"

#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIDpi.h"

#include <cstring>
#include <memory>

namespace SkinUI {

namespace {

// System timer ids of control timers run from 17 to 254 and then wrap back to 17: the host windows use
// 1 to 16 for timers of their own, and 0 is no usable id.
constexpr UINT kFirstControlTimerId = 17;
constexpr UINT kLastControlTimerId = 254;
constexpr UINT kFirstTimerCounter = 4096; // (4096 + 1) mod 255 is 17, the first id handed out
constexpr int kOptionGroupPrealloc = 6;

// State carried through one tab search.
struct TabSearchState
{
    CControlUI* pStart; // the control to start from (null: the first tab stop is wanted)
    CControlUI* pLast;  // the last tab stop seen so far
    bool bForward;
    bool bTakeNext;
};

CControlUI* TabSearchProc(CControlUI* pThis, void* pData)
{
    auto* pState = static_cast<TabSearchState*>(pData);
    if (pThis == pState->pStart) {
        if (pState->bForward) {
            pState->bTakeNext = true;
            return nullptr;
        }
        return pState->pLast;
    }
    if ((pThis->GetControlFlags() & CONTROL_FLAG_TABSTOP) == 0)
        return nullptr;
    pState->pLast = pThis;
    if (pState->bTakeNext || pState->pStart == nullptr)
        return pThis;
    return nullptr;
}

constexpr UINT kTabSearchFlags = FIND_VISIBLE | FIND_ENABLED | FIND_ME_FIRST;

CControlUI* RegisterNameProc(CControlUI* pThis, void* pData)
{
    const CUIString sName = pThis->GetName();
    if (!sName.IsEmpty())
        static_cast<CUIStringMap*>(pData)->Set(sName, pThis);
    return nullptr;
}

CControlUI* HitTestProc(CControlUI* pThis, void* pData)
{
    const RECT rc = pThis->GetPos();
    return ::PtInRect(&rc, *static_cast<const POINT*>(pData)) ? pThis : nullptr;
}

CControlUI* NameIgnoreCaseProc(CControlUI* pThis, void* pData)
{
    const CUIString sName = pThis->GetName();
    if (sName.IsEmpty())
        return nullptr;
    return sName.CompareIgnoreCase(static_cast<const char*>(pData)) == 0 ? pThis : nullptr;
}

bool ClassMatches(CControlUI* pControl, const char* pstrClass)
{
    if (std::strcmp(pstrClass, "*") == 0)
        return true;
    return pControl->GetClassName() == pstrClass;
}

struct ClassSearchState
{
    CUIPtrArray* pFound;
    const char* pstrClass;
};

// Fills the first free slot of the found list; the visit ends when the last slot is filled.
CControlUI* NthOfClassProc(CControlUI* pThis, void* pData)
{
    auto* pState = static_cast<ClassSearchState*>(pData);
    if (!ClassMatches(pThis, pState->pstrClass))
        return nullptr;
    const int nCount = pState->pFound->Count();
    for (int i = 0; i < nCount; ++i) {
        if (pState->pFound->At(i) == nullptr) {
            pState->pFound->Put(i, pThis);
            return i == nCount - 1 ? pThis : nullptr;
        }
    }
    return nullptr;
}

CControlUI* AllOfClassProc(CControlUI* pThis, void* pData)
{
    auto* pState = static_cast<ClassSearchState*>(pData);
    if (ClassMatches(pThis, pState->pstrClass))
        pState->pFound->Push(pThis);
    return nullptr;
}

void DeliverFocusEvent(CControlUI* pTarget, int nKind, CControlUI* pSender)
{
    InputEventUI event;
    event.nKind = nKind;
    event.pSender = pSender;
    event.dwTimestamp = ::GetTickCount();
    pTarget->DeliverEvent(event);
}

} // namespace

struct CPaintManagerUI::NotifyDelivery
{
    NotifyEventUI* pMsg;
    NotifyDelivery* pOuter;
};

CUIPtrArray& CPaintManagerUI::LiveManagers()
{
    static CUIPtrArray s_aManagers;
    return s_aManagers;
}

CPaintManagerUI::CPaintManagerUI()
    : m_hWndPaint(nullptr),
      m_nDpi(kLogicalDpi),
      m_nOpacity(255),
      m_hDcPaint(nullptr),
      m_hDcOffscreen(nullptr),
      m_hDcBackground(nullptr),
      m_hbmpOffscreen(nullptr),
      m_hbmpBackground(nullptr),
      m_hwndToolTip(nullptr),
      m_toolInfo{},
      m_bShowDirty(false),
      m_pRoot(nullptr),
      m_pFocus(nullptr),
      m_pHover(nullptr),
      m_pPress(nullptr),
      m_pKeyControl(nullptr),
      m_ptLastMouse(-1, -1),
      m_uTimerCounter(kFirstTimerCounter),
      m_bFirstLayoutPending(true),
      m_bLayoutNeeded(false),
      m_bFocusNeeded(false),
      m_bOffscreenPaint(true),
      m_bBackdropSnapshot(false),
      m_bMouseTracking(false),
      m_bMouseCaptured(false),
      m_bVirtualWindowRouting(false),
      m_pNotifyDelivery(nullptr),
      m_mNames(83),
      m_mOptionGroups(83),
      m_pResourceParent(nullptr),
      m_dwDisabledFontColor(0xFFA7A6AA),
      m_dwDefaultFontColor(0xFF000000),
      m_dwLinkFontColor(0xFF0000FF),
      m_dwLinkHoverFontColor(0xFFD3215F),
      m_dwSelectedColor(0xFFBAE4FF),
      m_mImages(83),
      m_mClassDefaults(83)
{
    InitProcessPaintResources();
    InitBaseFont();
}

CPaintManagerUI::~CPaintManagerUI()
{
    DeleteQueuedControls();
    for (int i = 0; i < m_aNotifyQueue.Count(); ++i)
        delete static_cast<NotifyEventUI*>(m_aNotifyQueue[i]);
    m_aNotifyQueue.Clear();
    m_mNames.ResetBuckets(0);
    // The root's destructor calls back ForgetControl, which must still see a consistent manager.
    delete m_pRoot;
    m_pRoot = nullptr;
    if (m_baseFont.handle != nullptr)
        ::DeleteObject(m_baseFont.handle);
    m_baseFont.handle = nullptr;
    DropAllFonts();
    DropAllImages();
    DropAllClassDefaults();
    ClearOptionGroups();
    StopAllTimers();
    if (m_hwndToolTip != nullptr && ::IsWindow(m_hwndToolTip))
        ::DestroyWindow(m_hwndToolTip);
    m_hwndToolTip = nullptr;
    ReleasePaintSurfaces();
    if (m_hDcPaint != nullptr)
        ::ReleaseDC(m_hWndPaint, m_hDcPaint);
    m_hDcPaint = nullptr;
    const int iIndex = LiveManagers().IndexOf(this);
    if (iIndex >= 0)
        LiveManagers().Erase(iIndex);
}

// ---- Window and control tree ----

void CPaintManagerUI::AttachWindow(HWND hWnd)
{
    UIASSERT(::IsWindow(hWnd));
    if (m_hDcPaint != nullptr && m_hWndPaint != nullptr)
        ::ReleaseDC(m_hWndPaint, m_hDcPaint);
    m_hWndPaint = hWnd;
    m_hDcPaint = hWnd != nullptr ? ::GetDC(hWnd) : nullptr;
    // Attaching again (to another window) must not list the manager twice.
    if (LiveManagers().IndexOf(this) < 0)
        LiveManagers().Push(this);
    // The tree is drawn for the window's DPI from here on (the skin is usually built after this).
    if (hWnd != nullptr)
        SetDpi(WindowDpi(hWnd));
}

HWND CPaintManagerUI::GetHostWindow() const
{
    return m_hWndPaint;
}

bool CPaintManagerUI::SetRootControl(CControlUI* pControl)
{
    UIASSERT(::IsWindow(m_hWndPaint));
    FocusControl(nullptr);
    m_pKeyControl = nullptr;
    m_pHover = nullptr;
    m_pPress = nullptr;
    // Installing the same root again must not hand the live tree to the delete queue.
    if (m_pRoot != nullptr && m_pRoot != pControl) {
        m_aPostPaintControls.Clear();
        ScheduleDelete(m_pRoot);
    }
    m_pRoot = pControl;
    m_bLayoutNeeded = true;
    m_bFirstLayoutPending = true;
    m_bFocusNeeded = true;
    return AttachControlTree(m_pRoot, nullptr);
}

CControlUI* CPaintManagerUI::GetRootControl() const
{
    UIASSERT(m_pRoot);
    return m_pRoot;
}

bool CPaintManagerUI::AttachControlTree(CControlUI* pControl, CControlUI* pParent)
{
    UIASSERT(pControl);
    if (pControl == nullptr)
        return false;
    if (pParent == nullptr)
        pParent = pControl->GetParent();
    pControl->SetManager(this, pParent, true);
    // A later control of the same name replaces an earlier one.
    pControl->FindControl(RegisterNameProc, &m_mNames, FIND_ALL);
    return true;
}

void CPaintManagerUI::ForgetControl(CControlUI* pControl)
{
    if (pControl == nullptr)
        return;
    if (pControl == m_pKeyControl)
        m_pKeyControl = nullptr;
    if (pControl == m_pHover)
        m_pHover = nullptr;
    if (pControl == m_pPress)
        m_pPress = nullptr;
    if (pControl == m_pFocus)
        m_pFocus = nullptr;
    StopAllTimersOf(pControl);
    // Looked up directly (not through FindControlByName) so that a name registered without a root is
    // dropped too.
    const CUIString sName = pControl->GetName();
    if (!sName.IsEmpty() && m_mNames.Lookup(sName) == pControl)
        m_mNames.Erase(sName);
    for (int i = 0; i < m_aNotifyQueue.Count(); ++i) {
        auto* pMsg = static_cast<NotifyEventUI*>(m_aNotifyQueue[i]);
        if (pMsg->sender == pControl)
            pMsg->sender = nullptr;
    }
    for (NotifyDelivery* pDelivery = m_pNotifyDelivery; pDelivery != nullptr; pDelivery = pDelivery->pOuter) {
        if (pDelivery->pMsg->sender == pControl)
            pDelivery->pMsg->sender = nullptr;
    }
    // The post-paint list would otherwise paint a deleted control.
    const int iPostPaint = m_aPostPaintControls.IndexOf(pControl);
    if (iPostPaint >= 0)
        m_aPostPaintControls.Erase(iPostPaint);
}

void CPaintManagerUI::ScheduleDelete(CControlUI* pControl)
{
    if (pControl == nullptr)
        return;
    pControl->SetManager(this, nullptr, false);
    // Queued twice, the control would be deleted twice.
    if (m_aDeleteQueue.IndexOf(pControl) < 0)
        m_aDeleteQueue.Push(pControl);
    if (m_hWndPaint != nullptr)
        ::PostMessageW(m_hWndPaint, UIMSG_DELETE_QUEUE, 0, 0);
}

void CPaintManagerUI::MarkLayoutNeeded()
{
    m_bLayoutNeeded = true;
}

void CPaintManagerUI::InvalidateArea(const RECT* pRect)
{
    if (m_hWndPaint != nullptr)
        ::InvalidateRect(m_hWndPaint, pRect, FALSE);
}

// ---- Lookup ----

CControlUI* CPaintManagerUI::FindControlByName(const char* pstrName) const
{
    UIASSERT(m_pRoot);
    if (m_pRoot == nullptr || pstrName == nullptr)
        return nullptr;
    return static_cast<CControlUI*>(m_mNames.Lookup(pstrName));
}

CControlUI* CPaintManagerUI::FindControlAt(POINT pt) const
{
    UIASSERT(m_pRoot);
    if (m_pRoot == nullptr)
        return nullptr;
    return m_pRoot->FindControl(HitTestProc, &pt, FIND_VISIBLE | FIND_HITTEST | FIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindChildAt(CControlUI* pParent, POINT pt) const
{
    if (pParent == nullptr)
        pParent = m_pRoot;
    UIASSERT(pParent);
    if (pParent == nullptr)
        return nullptr;
    return pParent->FindControl(HitTestProc, &pt, FIND_VISIBLE | FIND_HITTEST | FIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindChildByName(CControlUI* pParent, const char* pstrName) const
{
    if (pParent == nullptr)
        pParent = m_pRoot;
    UIASSERT(pParent);
    if (pParent == nullptr || pstrName == nullptr)
        return nullptr;
    return pParent->FindControl(NameIgnoreCaseProc, const_cast<char*>(pstrName), FIND_ALL);
}

CControlUI* CPaintManagerUI::FindChildByClass(CControlUI* pParent, const char* pstrClass, int iIndex)
{
    if (pParent == nullptr)
        pParent = m_pRoot;
    UIASSERT(pParent);
    m_aFoundControls.Clear();
    if (pParent == nullptr || pstrClass == nullptr || iIndex < 0)
        return nullptr;
    m_aFoundControls.ResizeZeroed(iIndex + 1);
    ClassSearchState state{&m_aFoundControls, pstrClass};
    return pParent->FindControl(NthOfClassProc, &state, FIND_ALL);
}

CUIPtrArray* CPaintManagerUI::FindChildrenByClass(CControlUI* pParent, const char* pstrClass)
{
    if (pParent == nullptr)
        pParent = m_pRoot;
    UIASSERT(pParent);
    m_aFoundControls.Clear();
    if (pParent != nullptr && pstrClass != nullptr) {
        ClassSearchState state{&m_aFoundControls, pstrClass};
        pParent->FindControl(AllOfClassProc, &state, FIND_ALL);
    }
    return &m_aFoundControls;
}

CUIPtrArray* CPaintManagerUI::GetFoundControls()
{
    return &m_aFoundControls;
}

// ---- Option groups ----

bool CPaintManagerUI::JoinOptionGroup(const char* pstrGroupName, CControlUI* pControl)
{
    if (pstrGroupName == nullptr)
        return false;
    if (auto* pGroup = static_cast<CUIPtrArray*>(m_mOptionGroups.Lookup(pstrGroupName))) {
        if (pGroup->IndexOf(pControl) >= 0)
            return false;
        return pGroup->Push(pControl);
    }
    auto pGroup = std::make_unique<CUIPtrArray>(kOptionGroupPrealloc);
    if (!pGroup->Push(pControl) || !m_mOptionGroups.Insert(pstrGroupName, pGroup.get()))
        return false;
    pGroup.release(); // owned by the table now
    return true;
}

CUIPtrArray* CPaintManagerUI::GetOptionGroupMembers(const char* pstrGroupName) const
{
    if (pstrGroupName == nullptr)
        return nullptr;
    return static_cast<CUIPtrArray*>(m_mOptionGroups.Lookup(pstrGroupName));
}

void CPaintManagerUI::LeaveOptionGroup(const char* pstrGroupName, CControlUI* pControl)
{
    auto* pGroup = GetOptionGroupMembers(pstrGroupName);
    if (pGroup == nullptr)
        return;
    const int iIndex = pGroup->IndexOf(pControl);
    if (iIndex < 0)
        return;
    pGroup->Erase(iIndex);
    if (pGroup->IsEmpty()) {
        delete pGroup;
        m_mOptionGroups.Erase(pstrGroupName);
    }
}

void CPaintManagerUI::ClearOptionGroups()
{
    for (int i = 0; i < m_mOptionGroups.Count(); ++i) {
        const char* pstrKey = m_mOptionGroups.KeyAt(i);
        delete static_cast<CUIPtrArray*>(m_mOptionGroups.Lookup(pstrKey, false));
    }
    m_mOptionGroups.Clear();
}

// ---- Registration lists ----

bool CPaintManagerUI::RegisterNotifier(INotifyUI* pNotifier)
{
    UIASSERT(m_aNotifiers.IndexOf(pNotifier) < 0);
    return m_aNotifiers.Push(pNotifier);
}

bool CPaintManagerUI::UnregisterNotifier(INotifyUI* pNotifier)
{
    return m_aNotifiers.Erase(m_aNotifiers.IndexOf(pNotifier));
}

bool CPaintManagerUI::RegisterPreMessageFilter(IMessageFilterUI* pFilter)
{
    UIASSERT(m_aPreMessageFilters.IndexOf(pFilter) < 0);
    return m_aPreMessageFilters.Push(pFilter);
}

bool CPaintManagerUI::UnregisterPreMessageFilter(IMessageFilterUI* pFilter)
{
    return m_aPreMessageFilters.Erase(m_aPreMessageFilters.IndexOf(pFilter));
}

bool CPaintManagerUI::RegisterMessageFilter(IMessageFilterUI* pFilter)
{
    UIASSERT(m_aMessageFilters.IndexOf(pFilter) < 0);
    return m_aMessageFilters.Push(pFilter);
}

bool CPaintManagerUI::UnregisterMessageFilter(IMessageFilterUI* pFilter)
{
    return m_aMessageFilters.Erase(m_aMessageFilters.IndexOf(pFilter));
}

bool CPaintManagerUI::RegisterPostPaintControl(CControlUI* pControl)
{
    UIASSERT(m_aPostPaintControls.IndexOf(pControl) < 0);
    return m_aPostPaintControls.Push(pControl);
}

bool CPaintManagerUI::UnregisterPostPaintControl(CControlUI* pControl)
{
    return m_aPostPaintControls.Erase(m_aPostPaintControls.IndexOf(pControl));
}

bool CPaintManagerUI::MovePostPaintControl(CControlUI* pControl, int iIndex)
{
    UnregisterPostPaintControl(pControl);
    return m_aPostPaintControls.Insert(iIndex, pControl);
}

int CPaintManagerUI::CountPostPaintControls() const
{
    return m_aPostPaintControls.Count();
}

bool CPaintManagerUI::RegisterAccelerator(ITranslateAccelerator* pTranslateAccelerator)
{
    UIASSERT(m_aTranslateAccelerator.IndexOf(pTranslateAccelerator) < 0);
    return m_aTranslateAccelerator.Push(pTranslateAccelerator);
}

bool CPaintManagerUI::UnregisterAccelerator(ITranslateAccelerator* pTranslateAccelerator)
{
    return m_aTranslateAccelerator.Erase(m_aTranslateAccelerator.IndexOf(pTranslateAccelerator));
}

// ---- Notifications ----

void CPaintManagerUI::SendNotify(CControlUI* pControl, const char* pstrType, WPARAM wParam, LPARAM lParam, bool bAsync)
{
    NotifyEventUI msg;
    msg.sender = pControl;
    msg.type = pstrType;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync);
}

void CPaintManagerUI::SendNotify(NotifyEventUI& msg, bool bAsync)
{
    msg.mousePoint = m_ptLastMouse;
    msg.timestamp = ::GetTickCount();
    if (m_bVirtualWindowRouting)
        msg.virtualWindow = msg.sender != nullptr ? msg.sender->GetVirtualWindow() : CUIString();
    if (!bAsync) {
        DeliverNotify(msg);
        return;
    }
    // The queued copy keeps the virtual window name too, so routing works for queued notifications.
    auto pCopy = std::make_unique<NotifyEventUI>();
    pCopy->type = msg.type;
    pCopy->virtualWindow = msg.virtualWindow;
    pCopy->sender = msg.sender;
    pCopy->wParam = msg.wParam;
    pCopy->lParam = msg.lParam;
    pCopy->mousePoint = msg.mousePoint;
    pCopy->timestamp = msg.timestamp;
    if (m_aNotifyQueue.Push(pCopy.get()))
        pCopy.release(); // owned by the queue now
}

void CPaintManagerUI::DeliverNotify(NotifyEventUI& msg)
{
    // Listeners and notifiers may delete the sender (ForgetControl then clears msg.sender) or unregister
    // notifiers, themselves included.
    NotifyDelivery delivery{&msg, m_pNotifyDelivery};
    m_pNotifyDelivery = &delivery;
    if (msg.sender != nullptr && msg.sender->m_notifyListeners)
        msg.sender->m_notifyListeners(&msg);
    // Walk a copy so that a notifier unregistering itself does not make the next one be skipped; one
    // unregistered before its turn is not called.
    const CUIPtrArray aNotifiers(m_aNotifiers);
    for (int i = 0; i < aNotifiers.Count(); ++i) {
        auto* pNotifier = static_cast<INotifyUI*>(aNotifiers[i]);
        if (m_aNotifiers.IndexOf(pNotifier) >= 0)
            pNotifier->ReceiveNotify(msg);
    }
    m_pNotifyDelivery = delivery.pOuter;
}

void CPaintManagerUI::DrainNotifyQueue()
{
    while (!m_aNotifyQueue.IsEmpty()) {
        std::unique_ptr<NotifyEventUI> pMsg(static_cast<NotifyEventUI*>(m_aNotifyQueue[0]));
        m_aNotifyQueue.Erase(0);
        DeliverNotify(*pMsg);
    }
}

void CPaintManagerUI::SetVirtualWindowRouting(bool bUsed)
{
    m_bVirtualWindowRouting = bUsed;
}

// ---- Control timers ----

bool CPaintManagerUI::NextTimerId(UINT& uTimerId)
{
    // A system id still held by a record (running or stopped) of this window is skipped: two records
    // sharing one id would steal each other's expiries.
    constexpr UINT kIds = kLastControlTimerId - kFirstControlTimerId + 1;
    for (UINT nTry = 0; nTry < kIds; ++nTry) {
        m_uTimerCounter = (m_uTimerCounter + 1) % (kLastControlTimerId + 1);
        if (m_uTimerCounter < kFirstControlTimerId)
            m_uTimerCounter = kFirstControlTimerId;
        bool bTaken = false;
        for (int i = 0; i < m_aTimers.Count() && !bTaken; ++i) {
            const auto* pTimer = static_cast<const ControlTimerUI*>(m_aTimers[i]);
            bTaken = pTimer->hWnd == m_hWndPaint && pTimer->uWinTimer == m_uTimerCounter;
        }
        if (!bTaken) {
            uTimerId = m_uTimerCounter;
            return true;
        }
    }
    return false;
}

bool CPaintManagerUI::StartControlTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse)
{
    UIASSERT(pControl != 0);
    UIASSERT(uElapse > 0);
    // Without a window the platform would pick an id of its own that could never be stopped here.
    if (pControl == nullptr || m_hWndPaint == nullptr)
        return false;
    for (int i = 0; i < m_aTimers.Count(); ++i) {
        auto* pTimer = static_cast<ControlTimerUI*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint && pTimer->nLocalID == nTimerID) {
            if (!pTimer->bKilled)
                return false;
            if (::SetTimer(pTimer->hWnd, pTimer->uWinTimer, uElapse, nullptr) == 0)
                return false;
            pTimer->bKilled = false;
            return true;
        }
    }
    UINT uWinTimer = 0;
    if (!NextTimerId(uWinTimer))
        return false;
    if (::SetTimer(m_hWndPaint, uWinTimer, uElapse, nullptr) == 0)
        return false;
    auto pTimer = std::make_unique<ControlTimerUI>();
    pTimer->pSender = pControl;
    pTimer->nLocalID = nTimerID;
    pTimer->hWnd = m_hWndPaint;
    pTimer->uWinTimer = uWinTimer;
    pTimer->bKilled = false;
    if (!m_aTimers.Push(pTimer.get())) {
        ::KillTimer(m_hWndPaint, uWinTimer);
        return false;
    }
    pTimer.release(); // owned by the timer list now
    return true;
}

bool CPaintManagerUI::StopControlTimer(CControlUI* pControl, UINT nTimerID)
{
    UIASSERT(pControl != 0);
    for (int i = 0; i < m_aTimers.Count(); ++i) {
        auto* pTimer = static_cast<ControlTimerUI*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint && pTimer->nLocalID == nTimerID &&
            !pTimer->bKilled) {
            if (::IsWindow(pTimer->hWnd))
                ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            pTimer->bKilled = true;
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::StopAllTimersOf(CControlUI* pControl)
{
    UIASSERT(pControl != 0);
    for (int i = m_aTimers.Count() - 1; i >= 0; --i) {
        auto* pTimer = static_cast<ControlTimerUI*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint) {
            if (!pTimer->bKilled && ::IsWindow(pTimer->hWnd))
                ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            m_aTimers.Erase(i);
            delete pTimer;
        }
    }
}

void CPaintManagerUI::StopAllTimers()
{
    for (int i = 0; i < m_aTimers.Count(); ++i) {
        auto* pTimer = static_cast<ControlTimerUI*>(m_aTimers[i]);
        if (pTimer->hWnd == m_hWndPaint && !pTimer->bKilled && ::IsWindow(pTimer->hWnd))
            ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
        delete pTimer;
    }
    m_aTimers.Clear();
}

// ---- Focus ----

CControlUI* CPaintManagerUI::GetFocusedControl() const
{
    return m_pFocus;
}

void CPaintManagerUI::FocusControl(CControlUI* pControl)
{
    if (m_hWndPaint != nullptr && ::GetFocus() != m_hWndPaint && pControl != m_pFocus)
        ::SetFocus(m_hWndPaint);
    if (pControl == m_pFocus)
        return;
    if (m_pFocus != nullptr) {
        CControlUI* pOld = m_pFocus;
        DeliverFocusEvent(pOld, UIEV_KILLFOCUS, pControl);
        // A kill-focus handler that deleted the control has made the manager forget it.
        if (m_pFocus == pOld)
            SendNotify(pOld, "killfocus");
        m_pFocus = nullptr;
    }
    if (pControl == nullptr)
        return;
    if (pControl->GetManager() == this && pControl->IsVisible() && pControl->IsEnabled()) {
        m_pFocus = pControl;
        DeliverFocusEvent(pControl, UIEV_SETFOCUS, pControl);
        if (m_pFocus == pControl)
            SendNotify(pControl, "setfocus");
    }
}

CControlUI* CPaintManagerUI::SearchTabStop(CControlUI* pStart, bool bForward, CControlUI** ppLastSeen) const
{
    TabSearchState state{pStart, nullptr, bForward, false};
    CControlUI* pFound = m_pRoot != nullptr ? m_pRoot->FindControl(TabSearchProc, &state, kTabSearchFlags) : nullptr;
    if (ppLastSeen != nullptr)
        *ppLastSeen = state.pLast;
    return pFound;
}

void CPaintManagerUI::FocusOnNextPaint(CControlUI* pControl)
{
    if (m_hWndPaint != nullptr)
        ::SetFocus(m_hWndPaint);
    if (pControl == nullptr)
        return;
    if (m_pFocus != nullptr) {
        CControlUI* pOld = m_pFocus;
        DeliverFocusEvent(pOld, UIEV_KILLFOCUS, pControl);
        if (m_pFocus == pOld)
            SendNotify(pOld, "killfocus");
        m_pFocus = nullptr;
    }
    // Stand on the tab stop before pControl; the tab move after the next layout lands on pControl.
    m_pFocus = SearchTabStop(pControl, false, nullptr);
    m_bFocusNeeded = true;
    if (m_pRoot != nullptr)
        m_pRoot->RequestLayout();
}

bool CPaintManagerUI::MoveFocusByTab(bool bForward)
{
    if (m_bLayoutNeeded && bForward) {
        // The paint after the layout does the move.
        m_bFocusNeeded = true;
        InvalidateArea(nullptr);
        return true;
    }
    CControlUI* pLastSeen = nullptr;
    CControlUI* pFound = SearchTabStop(m_pFocus, bForward, &pLastSeen);
    if (pFound == nullptr)
        pFound = bForward ? SearchTabStop(nullptr, true, nullptr) : pLastSeen;
    if (pFound != nullptr)
        FocusControl(pFound);
    m_bFocusNeeded = false;
    return true;
}

} // namespace SkinUI
