// CContainerUI: ownership and order of children, passing state down, placement of floating children,
// hit-test order, clipped painting and scrolling with its bars.
#include "SkinUI/Core/UIContainer.h"

#include <climits>
#include <cstring>
#include <initializer_list>

namespace SkinUI {

namespace {

// Clips a device context to one rectangle while it lives. The clip in force before is kept, so that a
// child allowed to overflow can be painted under it (UseOuter) before the rectangle is applied again
// (UseInner); the destructor restores it.
class ScopedRectClip
{
public:
    ScopedRectClip(HDC hDC, const RECT& rc) : m_hDC(hDC), m_hRgn(nullptr), m_hOldRgn(nullptr)
    {
        RECT rcOld = {};
        ::GetClipBox(m_hDC, &rcOld);
        m_hOldRgn = ::CreateRectRgnIndirect(&rcOld);
        m_hRgn = ::CreateRectRgnIndirect(&rc);
        ::ExtSelectClipRgn(m_hDC, m_hRgn, RGN_AND);
    }
    ~ScopedRectClip()
    {
        ::SelectClipRgn(m_hDC, m_hOldRgn);
        if (m_hRgn != nullptr)
            ::DeleteObject(m_hRgn);
        if (m_hOldRgn != nullptr)
            ::DeleteObject(m_hOldRgn);
    }
    ScopedRectClip(const ScopedRectClip&) = delete;
    ScopedRectClip& operator=(const ScopedRectClip&) = delete;

    void UseOuter() { ::SelectClipRgn(m_hDC, m_hOldRgn); }
    void UseInner()
    {
        ::SelectClipRgn(m_hDC, m_hOldRgn);
        ::ExtSelectClipRgn(m_hDC, m_hRgn, RGN_AND);
    }

private:
    HDC m_hDC;
    HRGN m_hRgn;
    HRGN m_hOldRgn;
};

bool Meets(const RECT& a, const RECT& b)
{
    RECT rcTemp;
    return ::IntersectRect(&rcTemp, &a, &b) != FALSE;
}

} // namespace

LONG CContainerUI::ClampCoord(long long n)
{
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<LONG>(n);
}

CContainerUI::CContainerUI()
    : m_iChildPadding(0),
      m_bAutoDestroy(true),
      m_bDelayedDestroy(true),
      m_bMouseChildEnabled(true),
      m_bInScrollUpdate(false)
{
}

CContainerUI::~CContainerUI()
{
    // The manager's queue may outlive nothing of this container: children go at once.
    m_bDelayedDestroy = false;
    RemoveAllItems();
    m_pVerticalScrollBar.reset();
    m_pHorizontalScrollBar.reset();
}

CUIString CContainerUI::GetClassName() const
{
    return "ContainerUI";
}

void* CContainerUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr) {
        if (std::strcmp(pstrName, "IContainer") == 0)
            return static_cast<IContainerUI*>(this);
        if (std::strcmp(pstrName, "Container") == 0)
            return this;
    }
    return CControlUI::GetInterface(pstrName);
}

// ---- Children ----

CControlUI* CContainerUI::ItemAt(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_items.Count())
        return nullptr;
    return static_cast<CControlUI*>(m_items[iIndex]);
}

int CContainerUI::IndexOfItem(CControlUI* pControl) const
{
    return m_items.IndexOf(pControl);
}

bool CContainerUI::MoveItemTo(CControlUI* pControl, int iIndex)
{
    const int iOld = m_items.IndexOf(pControl);
    if (iOld < 0)
        return false;
    RequestLayout();
    m_items.Erase(iOld);
    if (m_items.Insert(iIndex, pControl))
        return true;
    // A refused place must not lose the child: it goes back where it was.
    m_items.Insert(iOld, pControl);
    return false;
}

int CContainerUI::ItemCount() const
{
    return m_items.Count();
}

bool CContainerUI::CanAdopt(CControlUI* pControl) const
{
    // A control held twice would be deleted twice; a container inside itself would recurse forever.
    return pControl != nullptr && pControl != this && m_items.IndexOf(pControl) < 0;
}

bool CContainerUI::AddItem(CControlUI* pControl)
{
    if (!CanAdopt(pControl))
        return false;
    return AttachChild(pControl, m_items.Count());
}

bool CContainerUI::InsertItem(CControlUI* pControl, int iIndex)
{
    // Refused before the child is touched, so that a refused control is left as it was.
    if (!CanAdopt(pControl) || iIndex < 0 || iIndex > m_items.Count())
        return false;
    return AttachChild(pControl, iIndex);
}

bool CContainerUI::AttachChild(CControlUI* pControl, int iIndex)
{
    if (m_pManager != nullptr)
        m_pManager->AttachControlTree(pControl, this);
    if (IsVisible())
        RequestLayout();
    else
        pControl->SetInternVisible(false);
    return m_items.Insert(iIndex, pControl);
}

bool CContainerUI::RemoveItem(CControlUI* pControl)
{
    const int iIndex = pControl != nullptr ? m_items.IndexOf(pControl) : -1;
    if (iIndex < 0)
        return false;
    RequestLayout();
    m_items.Erase(iIndex);
    if (m_bAutoDestroy)
        DestroyChild(pControl);
    return true;
}

bool CContainerUI::RemoveItemAt(int iIndex)
{
    CControlUI* pControl = ItemAt(iIndex);
    return pControl != nullptr && RemoveItem(pControl);
}

void CContainerUI::RemoveAllItems()
{
    // The list is emptied first, so that nothing reached from a child's destructor sees a deleted child.
    const CUIPtrArray aItems(m_items);
    m_items.Clear();
    if (m_bAutoDestroy) {
        for (int i = 0; i < aItems.Count(); ++i)
            DestroyChild(static_cast<CControlUI*>(aItems[i]));
    }
    RequestLayout();
}

void CContainerUI::DestroyChild(CControlUI* pControl)
{
    if (m_bDelayedDestroy && m_pManager != nullptr)
        m_pManager->ScheduleDelete(pControl);
    else
        delete pControl;
}

// ---- State passed down ----

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit)
{
    // Children first: they are initialised before their container.
    for (int i = 0; i < m_items.Count(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetManager(pManager, this, bInit);
    if (m_pVerticalScrollBar)
        m_pVerticalScrollBar->SetManager(pManager, this, bInit);
    if (m_pHorizontalScrollBar)
        m_pHorizontalScrollBar->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

void CContainerUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible)
        return;
    CControlUI::SetVisible(bVisible);
    for (int i = 0; i < m_items.Count(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible)
{
    CControlUI::SetInternVisible(bVisible);
    for (int i = 0; i < m_items.Count(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetInternVisible(IsVisible());
}

void CContainerUI::SetMouseEnabled(bool bEnable)
{
    if (m_pVerticalScrollBar)
        m_pVerticalScrollBar->SetMouseEnabled(bEnable);
    if (m_pHorizontalScrollBar)
        m_pHorizontalScrollBar->SetMouseEnabled(bEnable);
    CControlUI::SetMouseEnabled(bEnable);
}

// ---- Placement ----

CUIRect CContainerUI::GetClientArea() const
{
    CUIRect rc = GetInsetRect();
    if (const CScrollBarUI* pBar = VisibleVerticalBar())
        rc.right = ClampCoord(static_cast<long long>(rc.right) - DpiScaled(pBar->GetFixedWidth()));
    if (const CScrollBarUI* pBar = VisibleHorizontalBar())
        rc.bottom = ClampCoord(static_cast<long long>(rc.bottom) - DpiScaled(pBar->GetFixedHeight()));
    return rc;
}

CScrollBarUI* CContainerUI::VisibleVerticalBar() const
{
    return m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible() ? m_pVerticalScrollBar.get() : nullptr;
}

CScrollBarUI* CContainerUI::VisibleHorizontalBar() const
{
    return m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible() ? m_pHorizontalScrollBar.get() : nullptr;
}

CUIRect CContainerUI::GetInsetRect() const
{
    const CUIRect rcInset = DpiScaled(m_rcInset);
    return CUIRect(ClampCoord(static_cast<long long>(m_rcPos.left) + rcInset.left),
                   ClampCoord(static_cast<long long>(m_rcPos.top) + rcInset.top),
                   ClampCoord(static_cast<long long>(m_rcPos.right) - rcInset.right),
                   ClampCoord(static_cast<long long>(m_rcPos.bottom) - rcInset.bottom));
}

void CContainerUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    // The plain container has no content size to range its bars by; it only gives the visible ones their
    // places along the client area, so that they can be seen and used.
    const CUIRect rcClient = GetClientArea();
    if (CScrollBarUI* pBar = VisibleVerticalBar())
        pBar->SetPos(CUIRect(rcClient.right, rcClient.top,
                             ClampCoord(static_cast<long long>(rcClient.right) + DpiScaled(pBar->GetFixedWidth())),
                             rcClient.bottom));
    if (CScrollBarUI* pBar = VisibleHorizontalBar())
        pBar->SetPos(CUIRect(rcClient.left, rcClient.bottom, rcClient.right,
                             ClampCoord(static_cast<long long>(rcClient.bottom) + DpiScaled(pBar->GetFixedHeight()))));
    if (m_items.IsEmpty())
        return;
    // Children fill the rectangle less the inset; scroll bars are not taken off here (the children are
    // clipped to the client area when painted and hit).
    const CUIRect rcChildren = GetInsetRect();
    for (int i = 0; i < m_items.Count(); ++i) {
        auto* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible())
            continue; // hidden children keep their old rectangles
        if (pControl->IsFloat())
            PlaceFloatChild(i);
        else
            pControl->SetPos(rcChildren);
    }
}

void CContainerUI::PlaceFloatChild(int iIndex)
{
    CControlUI* pControl = ItemAt(iIndex);
    if (pControl == nullptr || !pControl->IsVisible() || !pControl->IsFloat())
        return;

    const CUIRect& R = m_rcPos;
    const CUISize xy = DpiScaled(pControl->GetFixedXY());
    const long long W = DpiScaled(pControl->GetFixedWidth());
    const long long H = DpiScaled(pControl->GetFixedHeight());
    long long left, top, right, bottom;
    if (xy.cx >= 0) {
        left = static_cast<long long>(R.left) + xy.cx;
        right = left + W;
    } else {
        right = static_cast<long long>(R.right) + xy.cx;
        left = right - W;
    }
    if (xy.cy >= 0) {
        top = static_cast<long long>(R.top) + xy.cy;
        bottom = top + H;
    } else {
        bottom = static_cast<long long>(R.bottom) + xy.cy;
        top = bottom - H;
    }

    if (pControl->IsRelativePos()) {
        const RelativePosUI rel = pControl->GetRelativePos();
        const CUISize S(R.Width(), R.Height());
        if (rel.szParent.cx != 0) {
            // The growth since the last placement moves and widens the child by its percentages.
            const long long dx = static_cast<long long>(S.cx) - rel.szParent.cx;
            const long long dy = static_cast<long long>(S.cy) - rel.szParent.cy;
            left += dx * rel.nMoveX / 100;
            top += dy * rel.nMoveY / 100;
            right = left + W + dx * rel.nZoomX / 100;
            bottom = top + H + dy * rel.nZoomY / 100;
        }
        pControl->SetRelativeParentSize(S);
    }

    pControl->SetPos(CUIRect(ClampCoord(left), ClampCoord(top), ClampCoord(right), ClampCoord(bottom)));
}

// ---- Finding and input ----

CControlUI* CContainerUI::FindControl(FindControlProc Proc, void* pData, UINT uFlags)
{
    if ((uFlags & FIND_VISIBLE) != 0 && !IsVisible())
        return nullptr;
    if ((uFlags & FIND_ENABLED) != 0 && !IsEnabled())
        return nullptr;
    const bool bHitTest = (uFlags & FIND_HITTEST) != 0;
    if (bHitTest) {
        if (!::PtInRect(&m_rcPos, *static_cast<const POINT*>(pData)))
            return nullptr;
        if (!m_bMouseChildEnabled) {
            if (CControlUI* pResult = FindInScrollBars(Proc, pData, uFlags))
                return pResult;
            return CControlUI::FindControl(Proc, pData, uFlags);
        }
    }
    if (CControlUI* pResult = FindInScrollBars(Proc, pData, uFlags))
        return pResult;

    if ((uFlags & FIND_ME_FIRST) != 0) {
        if (CControlUI* pResult = CControlUI::FindControl(Proc, pData, uFlags))
            return pResult;
    }

    const CUIRect rcClient = GetClientArea();
    const int nCount = m_items.Count();
    const bool bTopFirst = (uFlags & FIND_TOP_FIRST) != 0;
    for (int n = 0; n < nCount; ++n) {
        const int i = bTopFirst ? nCount - 1 - n : n;
        CControlUI* pResult = static_cast<CControlUI*>(m_items[i])->FindControl(Proc, pData, uFlags);
        if (pResult == nullptr)
            continue;
        // A non-floating child poking out of the client area is not hit there.
        if (!bHitTest || pResult->IsFloat() || ::PtInRect(&rcClient, *static_cast<const POINT*>(pData)))
            return pResult;
    }

    if ((uFlags & FIND_ME_FIRST) == 0)
        return CControlUI::FindControl(Proc, pData, uFlags);
    return nullptr;
}

CControlUI* CContainerUI::FindInScrollBars(FindControlProc Proc, void* pData, UINT uFlags)
{
    if (m_pVerticalScrollBar) {
        if (CControlUI* pResult = m_pVerticalScrollBar->FindControl(Proc, pData, uFlags))
            return pResult;
    }
    if (m_pHorizontalScrollBar)
        return m_pHorizontalScrollBar->FindControl(Proc, pData, uFlags);
    return nullptr;
}

void CContainerUI::HandleEvent(InputEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEventKind(event.nKind)) {
        if (m_pParent != nullptr)
            m_pParent->HandleEvent(event);
        else
            CControlUI::HandleEvent(event);
        return;
    }
    // A container shows no focus of its own, so focus changes need no repaint.
    if (event.nKind == UIEV_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.nKind == UIEV_KILLFOCUS) {
        m_bFocused = false;
        return;
    }
    // Keys and the wheel scroll by the vertical bar when it is usable, else by the horizontal one; only
    // one of the two is ever tried.
    const auto usable = [](const std::unique_ptr<CScrollBarUI>& pBar) {
        return pBar && pBar->IsVisible() && pBar->IsEnabled();
    };
    const bool bVertical = usable(m_pVerticalScrollBar);
    if (bVertical || usable(m_pHorizontalScrollBar)) {
        if (event.nKind == UIEV_KEYDOWN) {
            switch (static_cast<BYTE>(event.chKey)) {
            case VK_UP:
                bVertical ? ScrollLineUp() : ScrollLineLeft();
                return;
            case VK_DOWN:
                bVertical ? ScrollLineDown() : ScrollLineRight();
                return;
            case VK_PRIOR:
                bVertical ? ScrollPageUp() : ScrollPageLeft();
                return;
            case VK_NEXT:
                bVertical ? ScrollPageDown() : ScrollPageRight();
                return;
            case VK_HOME:
                bVertical ? ScrollToTop() : ScrollToLeft();
                return;
            case VK_END:
                bVertical ? ScrollToBottom() : ScrollToRight();
                return;
            default:
                break;
            }
        } else if (event.nKind == UIEV_SCROLLWHEEL) {
            switch (LOWORD(event.wParam)) {
            case 0:
                bVertical ? ScrollLineUp() : ScrollLineLeft();
                return;
            case 1:
                bVertical ? ScrollLineDown() : ScrollLineRight();
                return;
            default:
                break;
            }
        }
    }
    CControlUI::HandleEvent(event);
}

// ---- Attributes ----

void CContainerUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    if (std::strcmp(pstrName, "inset") == 0) {
        int v[4] = {};
        ParseIntList(pstrValue, v, 4);
        SetInset(CUIRect(v[0], v[1], v[2], v[3]));
    } else if (std::strcmp(pstrName, "mousechild") == 0) {
        SetMouseChildEnabled(ParseBool(pstrValue));
    } else if (std::strcmp(pstrName, "childpadding") == 0) {
        SetChildPadding(ParseInt(pstrValue));
    } else if (std::strcmp(pstrName, "vscrollbar") == 0) {
        EnableScrollBars(ParseBool(pstrValue), m_pHorizontalScrollBar != nullptr);
    } else if (std::strcmp(pstrName, "vscrollbarstyle") == 0) {
        EnableScrollBars(true, m_pHorizontalScrollBar != nullptr);
        if (m_pVerticalScrollBar)
            m_pVerticalScrollBar->ApplyAttributeList(pstrValue);
    } else if (std::strcmp(pstrName, "hscrollbar") == 0) {
        EnableScrollBars(m_pVerticalScrollBar != nullptr, ParseBool(pstrValue));
    } else if (std::strcmp(pstrName, "hscrollbarstyle") == 0) {
        EnableScrollBars(m_pVerticalScrollBar != nullptr, true);
        if (m_pHorizontalScrollBar)
            m_pHorizontalScrollBar->ApplyAttributeList(pstrValue);
    } else {
        CControlUI::ApplyAttribute(pstrName, pstrValue);
    }
}

CUIRect CContainerUI::GetInset() const
{
    return m_rcInset;
}

void CContainerUI::SetInset(RECT rcInset)
{
    m_rcInset = rcInset;
    RequestLayout();
}

int CContainerUI::GetChildPadding() const
{
    return m_iChildPadding;
}

void CContainerUI::SetChildPadding(int iPadding)
{
    m_iChildPadding = iPadding;
    RequestLayout();
}

bool CContainerUI::IsAutoDestroy() const
{
    return m_bAutoDestroy;
}

void CContainerUI::SetAutoDestroy(bool bAuto)
{
    m_bAutoDestroy = bAuto;
}

bool CContainerUI::IsDelayedDestroy() const
{
    return m_bDelayedDestroy;
}

void CContainerUI::SetDelayedDestroy(bool bDelayed)
{
    m_bDelayedDestroy = bDelayed;
}

bool CContainerUI::IsMouseChildEnabled() const
{
    return m_bMouseChildEnabled;
}

void CContainerUI::SetMouseChildEnabled(bool bEnable)
{
    m_bMouseChildEnabled = bEnable;
}

int CContainerUI::FindSelectableItem(int iIndex, bool bForward) const
{
    const int nCount = m_items.Count();
    if (nCount == 0)
        return -1;
    if (iIndex < 0)
        iIndex = 0;
    if (iIndex > nCount - 1)
        iIndex = nCount - 1;
    auto selectable = [this](int i) {
        auto* pControl = static_cast<CControlUI*>(m_items[i]);
        return pControl->GetInterface("ListItem") != nullptr && pControl->IsVisible() && pControl->IsEnabled();
    };
    if (bForward) {
        for (int i = iIndex; i < nCount; ++i) {
            if (selectable(i))
                return i;
        }
        return -1;
    }
    for (int i = iIndex; i >= 0; --i) {
        if (selectable(i))
            return i;
    }
    return FindSelectableItem(0, true);
}

// ---- Named descendants ----

CControlUI* CContainerUI::FindChildControl(const char* pstrName) const
{
    if (m_pManager == nullptr)
        return nullptr;
    return m_pManager->FindChildByName(const_cast<CContainerUI*>(this), pstrName);
}

bool CContainerUI::SetChildText(const char* pstrName, const char* pstrText)
{
    CControlUI* pControl = FindChildControl(pstrName);
    if (pControl == nullptr)
        return false;
    pControl->SetText(pstrText);
    return true;
}

CUIString CContainerUI::GetChildText(const char* pstrName) const
{
    const CControlUI* pControl = FindChildControl(pstrName);
    return pControl != nullptr ? pControl->GetText() : CUIString();
}

bool CContainerUI::SetChildFixedWidth(const char* pstrName, int cx)
{
    CControlUI* pControl = FindChildControl(pstrName);
    if (pControl == nullptr)
        return false;
    pControl->SetFixedWidth(cx);
    return true;
}

int CContainerUI::GetChildFixedWidth(const char* pstrName) const
{
    const CControlUI* pControl = FindChildControl(pstrName);
    return pControl != nullptr ? pControl->GetFixedWidth() : -1;
}

bool CContainerUI::SetChildFixedHeight(const char* pstrName, int cy)
{
    CControlUI* pControl = FindChildControl(pstrName);
    if (pControl == nullptr)
        return false;
    pControl->SetFixedHeight(cy);
    return true;
}

int CContainerUI::GetChildFixedHeight(const char* pstrName) const
{
    const CControlUI* pControl = FindChildControl(pstrName);
    return pControl != nullptr ? pControl->GetFixedHeight() : -1;
}

bool CContainerUI::SetChildUserData(const char* pstrName, const char* pstrText)
{
    CControlUI* pControl = FindChildControl(pstrName);
    if (pControl == nullptr)
        return false;
    pControl->SetUserData(pstrText);
    return true;
}

CUIString CContainerUI::GetChildUserData(const char* pstrName) const
{
    const CControlUI* pControl = FindChildControl(pstrName);
    return pControl != nullptr ? pControl->GetUserData() : CUIString();
}

// ---- Scrolling ----

CUISize CContainerUI::GetScrollPos() const
{
    const CScrollBarUI* pHorizontal = VisibleHorizontalBar();
    const CScrollBarUI* pVertical = VisibleVerticalBar();
    return CUISize(pHorizontal != nullptr ? pHorizontal->GetScrollPos() : 0,
                   pVertical != nullptr ? pVertical->GetScrollPos() : 0);
}

CUISize CContainerUI::GetScrollRange() const
{
    const CScrollBarUI* pHorizontal = VisibleHorizontalBar();
    const CScrollBarUI* pVertical = VisibleVerticalBar();
    return CUISize(pHorizontal != nullptr ? pHorizontal->GetScrollRange() : 0,
                   pVertical != nullptr ? pVertical->GetScrollRange() : 0);
}

void CContainerUI::SetScrollPos(SIZE szPos)
{
    long long dx = 0;
    long long dy = 0;
    if (CScrollBarUI* pBar = VisibleVerticalBar()) {
        const int nOld = pBar->GetScrollPos();
        pBar->SetScrollPos(szPos.cy);
        dy = static_cast<long long>(pBar->GetScrollPos()) - nOld;
    }
    if (CScrollBarUI* pBar = VisibleHorizontalBar()) {
        const int nOld = pBar->GetScrollPos();
        pBar->SetScrollPos(szPos.cx);
        dx = static_cast<long long>(pBar->GetScrollPos()) - nOld;
    }
    if (dx == 0 && dy == 0)
        return;
    for (int i = 0; i < m_items.Count(); ++i) {
        auto* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible() || pControl->IsFloat())
            continue;
        const CUIRect& rc = pControl->GetPos();
        pControl->SetPos(CUIRect(ClampCoord(rc.left - dx), ClampCoord(rc.top - dy), ClampCoord(rc.right - dx),
                                 ClampCoord(rc.bottom - dy)));
    }
    Invalidate();
}

int CContainerUI::LineHeight() const
{
    constexpr int kLineExtra = 8;
    if (m_pManager == nullptr)
        return kLineExtra;
    return m_pManager->GetBaseFont()->metrics.tmHeight + DpiScaled(kLineExtra);
}

namespace {

// A scroll position moved by a step, kept inside the 32-bit range (the bars clamp it further).
LONG Stepped(LONG nPos, long long nStep)
{
    const long long n = static_cast<long long>(nPos) + nStep;
    return n > INT_MAX ? INT_MAX : (n < INT_MIN ? INT_MIN : static_cast<LONG>(n));
}

} // namespace

void CContainerUI::ScrollLineUp()
{
    CUISize sz = GetScrollPos();
    sz.cy = Stepped(sz.cy, -LineHeight());
    SetScrollPos(sz);
}

void CContainerUI::ScrollLineDown()
{
    CUISize sz = GetScrollPos();
    sz.cy = Stepped(sz.cy, LineHeight());
    SetScrollPos(sz);
}

int CContainerUI::PageHeight() const
{
    const CUIRect rcInset = DpiScaled(m_rcInset);
    long long n = static_cast<long long>(m_rcPos.Height()) - rcInset.top - rcInset.bottom;
    if (const CScrollBarUI* pBar = VisibleHorizontalBar())
        n -= DpiScaled(pBar->GetFixedHeight());
    return ClampCoord(n);
}

int CContainerUI::PageWidth() const
{
    const CUIRect rcInset = DpiScaled(m_rcInset);
    long long n = static_cast<long long>(m_rcPos.Width()) - rcInset.left - rcInset.right;
    if (const CScrollBarUI* pBar = VisibleVerticalBar())
        n -= DpiScaled(pBar->GetFixedWidth());
    return ClampCoord(n);
}

void CContainerUI::ScrollPageUp()
{
    CUISize sz = GetScrollPos();
    sz.cy = Stepped(sz.cy, -static_cast<long long>(PageHeight()));
    SetScrollPos(sz);
}

void CContainerUI::ScrollPageDown()
{
    CUISize sz = GetScrollPos();
    sz.cy = Stepped(sz.cy, PageHeight());
    SetScrollPos(sz);
}

void CContainerUI::ScrollToTop()
{
    CUISize sz = GetScrollPos();
    sz.cy = 0;
    SetScrollPos(sz);
}

void CContainerUI::ScrollToBottom()
{
    CUISize sz = GetScrollPos();
    sz.cy = GetScrollRange().cy;
    SetScrollPos(sz);
}

void CContainerUI::ScrollLineLeft()
{
    CUISize sz = GetScrollPos();
    sz.cx = Stepped(sz.cx, -DpiScaled(kHorizontalLine));
    SetScrollPos(sz);
}

void CContainerUI::ScrollLineRight()
{
    CUISize sz = GetScrollPos();
    sz.cx = Stepped(sz.cx, DpiScaled(kHorizontalLine));
    SetScrollPos(sz);
}

void CContainerUI::ScrollPageLeft()
{
    CUISize sz = GetScrollPos();
    sz.cx = Stepped(sz.cx, -static_cast<long long>(PageWidth()));
    SetScrollPos(sz);
}

void CContainerUI::ScrollPageRight()
{
    CUISize sz = GetScrollPos();
    sz.cx = Stepped(sz.cx, PageWidth());
    SetScrollPos(sz);
}

void CContainerUI::ScrollToLeft()
{
    CUISize sz = GetScrollPos();
    sz.cx = 0;
    SetScrollPos(sz);
}

void CContainerUI::ScrollToRight()
{
    CUISize sz = GetScrollPos();
    sz.cx = GetScrollRange().cx;
    SetScrollPos(sz);
}

void CContainerUI::EnableScrollBars(bool bEnableVertical, bool bEnableHorizontal)
{
    const auto make = [this](bool bHorizontal) {
        auto pBar = std::make_unique<CScrollBarUI>();
        if (bHorizontal)
            pBar->SetHorizontal(true);
        pBar->SetOwner(this);
        // The container is the bar's parent, so that the bar's repaints are clipped to it.
        pBar->SetManager(m_pManager, this, false);
        if (m_pManager != nullptr) {
            if (const char* pstrDefaults = m_pManager->GetClassDefaults(bHorizontal ? "HScrollBar" : "VScrollBar"))
                pBar->ApplyAttributeList(pstrDefaults);
        }
        return pBar;
    };
    if (bEnableVertical && !m_pVerticalScrollBar)
        m_pVerticalScrollBar = make(false);
    else if (!bEnableVertical && m_pVerticalScrollBar)
        m_pVerticalScrollBar.reset();
    if (bEnableHorizontal && !m_pHorizontalScrollBar)
        m_pHorizontalScrollBar = make(true);
    else if (!bEnableHorizontal && m_pHorizontalScrollBar)
        m_pHorizontalScrollBar.reset();
    RequestLayout();
}

CScrollBarUI* CContainerUI::GetVerticalScrollBar() const
{
    return m_pVerticalScrollBar.get();
}

CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const
{
    return m_pHorizontalScrollBar.get();
}

void CContainerUI::UpdateScrollBars(const RECT& rcClient, int /*cxRequired*/, int cyRequired)
{
    // The horizontal range is left to whoever set it: only the bar's place follows the client area.
    if (CScrollBarUI* pBar = VisibleHorizontalBar())
        pBar->SetPos(CUIRect(rcClient.left, rcClient.bottom, rcClient.right,
                             ClampCoord(static_cast<long long>(rcClient.bottom) + DpiScaled(pBar->GetFixedHeight()))));
    CScrollBarUI* pBar = m_pVerticalScrollBar.get();
    if (pBar == nullptr)
        return;
    const long long cyClient = static_cast<long long>(rcClient.bottom) - rcClient.top;
    const long long cyScroll = static_cast<long long>(cyRequired) - cyClient;
    if (cyScroll > 0 && !pBar->IsVisible()) {
        pBar->SetVisible(true);
        pBar->SetScrollRange(ClampCoord(cyScroll));
        pBar->SetScrollPos(0);
        m_bInScrollUpdate = true;
        SetPos(m_rcPos);
        m_bInScrollUpdate = false;
        return;
    }
    if (!pBar->IsVisible())
        return;
    if (cyScroll <= 0 && !m_bInScrollUpdate) {
        pBar->SetVisible(false);
        pBar->SetScrollPos(0);
        pBar->SetScrollRange(0);
        SetPos(m_rcPos);
        return;
    }
    pBar->SetPos(CUIRect(rcClient.right, rcClient.top,
                         ClampCoord(static_cast<long long>(rcClient.right) + DpiScaled(pBar->GetFixedWidth())),
                         rcClient.bottom));
    if (pBar->GetScrollRange() != cyScroll) {
        const int nOldPos = pBar->GetScrollPos();
        pBar->SetScrollRange(ClampCoord(cyScroll < 0 ? -cyScroll : cyScroll));
        if (pBar->GetScrollRange() == 0) {
            pBar->SetVisible(false);
            pBar->SetScrollPos(0);
        }
        // The range shrank under the position: the children were placed for the old one.
        if (nOldPos > pBar->GetScrollPos())
            SetPos(m_rcPos);
    }
}

// ---- Painting ----

void CContainerUI::Paint(HDC hDC, const RECT& rcDirty)
{
    RECT rcOuter;
    if (!::IntersectRect(&rcOuter, &rcDirty, &m_rcPos))
        return;
    ScopedRectClip outerClip(hDC, rcOuter);
    CControlUI::Paint(hDC, rcDirty);
    PaintChildren(hDC, rcDirty);
    for (CScrollBarUI* pBar : {VisibleVerticalBar(), VisibleHorizontalBar()}) {
        if (pBar != nullptr && Meets(pBar->GetPos(), rcDirty))
            pBar->Paint(hDC, rcDirty);
    }
}

void CContainerUI::PaintChildren(HDC hDC, const RECT& rcDirty)
{
    if (m_items.IsEmpty())
        return;
    const CUIRect rcClient = GetClientArea();
    RECT rcInner;
    if (!::IntersectRect(&rcInner, &rcDirty, &rcClient)) {
        // Only floating children may show outside the client area.
        for (int i = 0; i < m_items.Count(); ++i) {
            auto* pControl = static_cast<CControlUI*>(m_items[i]);
            if (!pControl->IsVisible() || !pControl->IsFloat())
                continue;
            if (Meets(pControl->GetPos(), rcDirty) && Meets(pControl->GetPos(), m_rcPos))
                pControl->Paint(hDC, rcDirty);
        }
        return;
    }

    ScopedRectClip innerClip(hDC, rcInner);
    for (int i = 0; i < m_items.Count(); ++i) {
        auto* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible() || !Meets(pControl->GetPos(), rcDirty))
            continue;
        if (pControl->IsFloat()) {
            if (!Meets(pControl->GetPos(), m_rcPos))
                continue;
            // A floating child may draw over the inset and the scroll bars.
            innerClip.UseOuter();
            pControl->Paint(hDC, rcDirty);
            innerClip.UseInner();
        } else if (Meets(pControl->GetPos(), rcClient)) {
            pControl->Paint(hDC, rcDirty);
        }
    }
}

} // namespace SkinUI
