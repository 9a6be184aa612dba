// CContainerUI: ownership and order of children, passing state down, placement of floating children,
// hit-test order and clipped painting.
#include "SkinUI/Core/UIContainer.h"

#include <climits>
#include <cstring>

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
    : m_iChildPadding(0), m_bAutoDestroy(true), m_bDelayedDestroy(true), m_bMouseChildEnabled(true)
{
}

CContainerUI::~CContainerUI()
{
    // The manager's queue may outlive nothing of this container: children go at once.
    m_bDelayedDestroy = false;
    RemoveAllItems();
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

// ---- Placement ----

CUIRect CContainerUI::GetClientArea() const
{
    return GetInsetRect();
}

CUIRect CContainerUI::GetInsetRect() const
{
    return CUIRect(ClampCoord(static_cast<long long>(m_rcPos.left) + m_rcInset.left),
                   ClampCoord(static_cast<long long>(m_rcPos.top) + m_rcInset.top),
                   ClampCoord(static_cast<long long>(m_rcPos.right) - m_rcInset.right),
                   ClampCoord(static_cast<long long>(m_rcPos.bottom) - m_rcInset.bottom));
}

void CContainerUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    if (m_items.IsEmpty())
        return;
    // Children fill the rectangle less the inset; scroll bars are not taken off here.
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
    const CUISize xy = pControl->GetFixedXY();
    const long long W = pControl->GetFixedWidth();
    const long long H = pControl->GetFixedHeight();
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
        if (!m_bMouseChildEnabled)
            return CControlUI::FindControl(Proc, pData, uFlags);
    }

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

// ---- Painting ----

void CContainerUI::Paint(HDC hDC, const RECT& rcDirty)
{
    RECT rcOuter;
    if (!::IntersectRect(&rcOuter, &rcDirty, &m_rcPos))
        return;
    ScopedRectClip outerClip(hDC, rcOuter);
    CControlUI::Paint(hDC, rcDirty);
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
            // A floating child may draw over the inset.
            innerClip.UseOuter();
            pControl->Paint(hDC, rcDirty);
            innerClip.UseInner();
        } else if (Meets(pControl->GetPos(), rcClient)) {
            pControl->Paint(hDC, rcDirty);
        }
    }
}

} // namespace SkinUI
