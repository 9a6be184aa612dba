// The linear layouts: two-pass sizing along one axis and the splitter drag.
#include "SkinUI/Layout/UILinearLayout.h"

#include "SkinUI/Core/UIRender.h"

#include <algorithm>
#include <cstring>

namespace SkinUI {

namespace {

constexpr UINT kDragging = 0x40;
constexpr DWORD kSplitterPreviewColor = 0xAA000000;

// Below the minimum: the minimum; then above the maximum: the maximum (so the maximum wins a conflict).
long long ClampSize(long long n, int nMin, int nMax)
{
    if (n < nMin)
        n = nMin;
    if (n > nMax)
        n = nMax;
    return n;
}

// The two axes seen from a layout: "main" runs along the stacking direction, "cross" across it.
struct Axis
{
    bool bVertical;

    LONG Main(const SIZE& sz) const { return bVertical ? sz.cy : sz.cx; }
    LONG Cross(const SIZE& sz) const { return bVertical ? sz.cx : sz.cy; }
    LONG MainStart(const RECT& rc) const { return bVertical ? rc.top : rc.left; }
    LONG CrossStart(const RECT& rc) const { return bVertical ? rc.left : rc.top; }
    LONG Before(const RECT& rcPadding) const { return bVertical ? rcPadding.top : rcPadding.left; }
    LONG After(const RECT& rcPadding) const { return bVertical ? rcPadding.bottom : rcPadding.right; }
    LONG CrossBefore(const RECT& rcPadding) const { return bVertical ? rcPadding.left : rcPadding.top; }
    LONG CrossAfter(const RECT& rcPadding) const { return bVertical ? rcPadding.right : rcPadding.bottom; }
    // The children's limits and fixed sizes are logical: in pixels at the display scale.
    int MinMain(const CControlUI* p) const { return p->DpiScaled(bVertical ? p->GetMinHeight() : p->GetMinWidth()); }
    int MaxMain(const CControlUI* p) const { return p->DpiScaled(bVertical ? p->GetMaxHeight() : p->GetMaxWidth()); }
    int MinCross(const CControlUI* p) const { return p->DpiScaled(bVertical ? p->GetMinWidth() : p->GetMinHeight()); }
    int MaxCross(const CControlUI* p) const { return p->DpiScaled(bVertical ? p->GetMaxWidth() : p->GetMaxHeight()); }
    int FixedCross(const CControlUI* p) const
    {
        return p->DpiScaled(bVertical ? p->GetFixedWidth() : p->GetFixedHeight());
    }
    CUISize MakeSize(LONG nMain, LONG nCross) const
    {
        return bVertical ? CUISize(nCross, nMain) : CUISize(nMain, nCross);
    }
    CUIRect MakeRect(LONG nMainStart, LONG nMainEnd, LONG nCrossStart, LONG nCrossEnd) const
    {
        return bVertical ? CUIRect(nCrossStart, nMainStart, nCrossEnd, nMainEnd)
                         : CUIRect(nMainStart, nCrossStart, nMainEnd, nCrossEnd);
    }
};

} // namespace

CLinearLayoutUI::CLinearLayoutUI(bool bVertical)
    : m_iSepSize(0), m_uDragState(0), m_bImmediateMode(false), m_bVertical(bVertical)
{
}

CLinearLayoutUI::~CLinearLayoutUI()
{
    // A layout deleted in the middle of a previewed drag must not stay on the manager's overlay list.
    if (IsDragging() && !m_bImmediateMode && m_pManager != nullptr)
        m_pManager->UnregisterPostPaintControl(this);
}

void CLinearLayoutUI::SetPos(RECT rc)
{
    // The control base stores the rectangle; the plain container's placement is not used.
    CControlUI::SetPos(rc);
    ArrangeChildren();
}

bool CLinearLayoutUI::IsDragging() const
{
    return (m_uDragState & kDragging) != 0;
}

UINT CLinearLayoutUI::GetControlFlags() const
{
    return IsEnabled() && m_iSepSize != 0 ? CONTROL_FLAG_SETCURSOR : 0;
}

bool CLinearLayoutUI::IsSepImmMode() const
{
    return m_bImmediateMode;
}

void CLinearLayoutUI::SetSepImmMode(bool bImmediately)
{
    if (m_bImmediateMode == bImmediately)
        return;
    if (IsDragging() && !m_bImmediateMode && m_pManager != nullptr)
        m_pManager->UnregisterPostPaintControl(this);
    m_bImmediateMode = bImmediately;
}

CUIRect CLinearLayoutUI::GetThumbRect(bool bUseNewPos) const
{
    const CUIRect B = IsDragging() && bUseNewPos ? m_rcNewPos : m_rcPos;
    const long long nSep = DpiScaled(m_iSepSize);
    if (!m_bVertical) {
        if (nSep < 0)
            return CUIRect(B.left, B.top, ClampCoord(B.left - nSep), B.bottom);
        return CUIRect(ClampCoord(B.right - nSep), B.top, B.right, B.bottom);
    }
    // The vertical splitter never reaches beyond the layout.
    if (nSep >= 0)
        return CUIRect(B.left, static_cast<LONG>(std::max<long long>(B.top, B.bottom - nSep)), B.right, B.bottom);
    return CUIRect(B.left, B.top, B.right, static_cast<LONG>(std::min<long long>(B.top - nSep, B.bottom)));
}

void CLinearLayoutUI::ArrangeChildren()
{
    const Axis ax{m_bVertical};
    const CUIRect C = GetClientArea();
    if (m_items.IsEmpty()) {
        // The horizontal layout hands over its area before the bars are taken off.
        UpdateScrollBars(m_bVertical ? C : GetInsetRect(), 0, 0);
        return;
    }
    const CScrollBarUI* pVerticalBar = VisibleVerticalBar();
    const CScrollBarUI* pHorizontalBar = VisibleHorizontalBar();
    // Content may be as wide as the area plus what the horizontal bar scrolls.
    CUISize A(C.Width(), C.Height());
    if (pHorizontalBar != nullptr)
        A.cx = ClampCoord(static_cast<long long>(A.cx) + pHorizontalBar->GetScrollRange());
    const long long nAvailMain = ax.Main(A);
    const long long nAvailCross = ax.Cross(A);

    // First pass: the fixed sizes (with the paddings of every child) and the number of children that
    // take a share of what remains.
    long long nFixed = 0;
    int nEstimated = 0;
    int nAdjustable = 0;
    for (int i = 0; i < m_items.Count(); ++i) {
        auto* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible() || pControl->IsFloat())
            continue;
        long long nSize = ax.Main(pControl->EstimateSize(A));
        if (nSize == 0)
            ++nAdjustable;
        else
            nSize = ClampSize(nSize, ax.MinMain(pControl), ax.MaxMain(pControl));
        const CUIRect rcPadding = DpiScaled(pControl->GetPadding());
        nFixed += nSize + ax.Before(rcPadding) + ax.After(rcPadding);
        ++nEstimated;
    }
    const long long nChildPadding = DpiScaled(m_iChildPadding);
    nFixed += (nEstimated - 1) * nChildPadding;

    long long nExpand = 0;
    if (nAdjustable > 0)
        nExpand = std::max<long long>((nAvailMain - nFixed) / nAdjustable, 0);

    // Second pass. The last adjustable child takes what remains of the size, less the fixed sizes still
    // to come; those still count the paddings and gaps already passed, so with paddings or a gap the last
    // adjustable child ends short of the far edge by that much.
    // Scrolled content starts above and left of the client area; the horizontal layout never scrolls
    // vertically.
    long long nRemaining = nAvailMain;
    long long nPos = ax.MainStart(C);
    long long nCrossPos = ax.CrossStart(C);
    if (m_bVertical) {
        if (pVerticalBar != nullptr)
            nPos -= pVerticalBar->GetScrollPos();
        if (pHorizontalBar != nullptr)
            nCrossPos -= pHorizontalBar->GetScrollPos();
    } else if (pHorizontalBar != nullptr) {
        nPos -= pHorizontalBar->GetScrollPos();
    }
    long long nNeeded = 0;
    int iAdjustable = 0;
    long long nFixedRemaining = nFixed;
    for (int i = 0; i < m_items.Count(); ++i) {
        auto* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        const CUIRect P = DpiScaled(pControl->GetPadding());
        const long long nBefore = ax.Before(P);
        const long long nAfter = ax.After(P);
        nRemaining -= nBefore;

        const CUISize szAvail = ax.MakeSize(ClampCoord(nRemaining), ax.Cross(A));
        long long nSize = ax.Main(pControl->EstimateSize(szAvail));
        if (nSize == 0) {
            ++iAdjustable;
            nSize = nExpand;
            if (iAdjustable == nAdjustable)
                nSize = std::max<long long>(nRemaining - nAfter - nFixedRemaining, 0);
            nSize = ClampSize(nSize, ax.MinMain(pControl), ax.MaxMain(pControl));
        } else {
            nSize = ClampSize(nSize, ax.MinMain(pControl), ax.MaxMain(pControl));
            nFixedRemaining -= nSize;
        }

        // Across the axis: the fixed size, or all of it less the paddings; placed at the start edge.
        long long nCross = ax.FixedCross(pControl);
        if (nCross == 0)
            nCross = std::max<long long>(nAvailCross - ax.CrossBefore(P) - ax.CrossAfter(P), 0);
        nCross = ClampSize(nCross, ax.MinCross(pControl), ax.MaxCross(pControl));

        // The far padding lies inside the child's rectangle.
        const long long nCrossStart = nCrossPos + ax.CrossBefore(P);
        pControl->SetPos(ax.MakeRect(ClampCoord(nPos + nBefore), ClampCoord(nPos + nBefore + nSize + nAfter),
                                     ClampCoord(nCrossStart), ClampCoord(nCrossStart + nCross)));

        nPos += nSize + nChildPadding + nBefore + nAfter;
        nNeeded += nSize + nBefore + nAfter;
        nRemaining -= nSize + nChildPadding + nAfter;
    }
    nNeeded += (nEstimated - 1) * nChildPadding;
    if (m_bVertical)
        UpdateScrollBars(C, 0, ClampCoord(nNeeded));
    else
        UpdateScrollBars(C, ClampCoord(nNeeded), 0);
}

// ---- Splitter ----

void CLinearLayoutUI::HandleEvent(InputEventUI& event)
{
    if (m_iSepSize == 0) {
        CContainerUI::HandleEvent(event);
        return;
    }
    const CUIRect rcThumb = GetThumbRect(false);
    switch (event.nKind) {
    case UIEV_BUTTONDOWN:
        if (!IsEnabled() || !::PtInRect(&rcThumb, event.ptMouse))
            break;
        // A second press without a release (a lost capture) must not list the layout twice.
        if (!IsDragging() && !m_bImmediateMode && m_pManager != nullptr)
            m_pManager->RegisterPostPaintControl(this);
        m_uDragState |= kDragging;
        m_ptLastMouse = event.ptMouse;
        m_rcNewPos = m_rcPos;
        return;
    case UIEV_BUTTONUP:
        if (!IsDragging())
            break;
        m_uDragState &= ~kDragging;
        m_rcPos = m_rcNewPos;
        if (!m_bImmediateMode && m_pManager != nullptr)
            m_pManager->UnregisterPostPaintControl(this);
        RequestParentLayout();
        return;
    case UIEV_MOUSEMOVE:
        if (!IsDragging())
            break;
        DragTo(event.ptMouse);
        return;
    case UIEV_SETCURSOR:
        if (!IsEnabled() || !::PtInRect(&rcThumb, event.ptMouse))
            break;
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(m_bVertical ? 32645 : 32644))); // IDC_SIZENS, IDC_SIZEWE
        return;
    default:
        break;
    }
    CContainerUI::HandleEvent(event);
}

void CLinearLayoutUI::DragTo(POINT pt)
{
    const long long nPoint = m_bVertical ? pt.y : pt.x;
    const long long d = nPoint - (m_bVertical ? m_ptLastMouse.y : m_ptLastMouse.x);
    m_ptLastMouse = pt;

    CUIRect N = m_rcNewPos;
    LONG& nLow = m_bVertical ? N.top : N.left;
    LONG& nHigh = m_bVertical ? N.bottom : N.right;
    const long long nOldLow = m_bVertical ? m_rcNewPos.top : m_rcNewPos.left;
    const long long nOldHigh = m_bVertical ? m_rcNewPos.bottom : m_rcNewPos.right;
    const long long nOldLength = nOldHigh - nOldLow;
    const long long nMin = DpiScaled(m_bVertical ? GetMinHeight() : GetMinWidth());
    const long long nMax = DpiScaled(m_bVertical ? GetMaxHeight() : GetMaxWidth());
    const long long nSep = DpiScaled(m_iSepSize);
    auto length = [&]() { return static_cast<long long>(nHigh) - nLow; };

    // Movements while the pointer is behind the splitter (on the side it is moving away from) are
    // ignored, so the edge follows the pointer only once the pointer is back over it.
    if (nSep >= 0) {
        if (d > 0 && nPoint < nOldHigh - nSep)
            return;
        if (d < 0 && nPoint > nOldHigh)
            return;
        nHigh = ClampCoord(nHigh + d);
        if (length() <= nMin) {
            if (nOldLength <= nMin)
                return;
            nHigh = ClampCoord(nLow + nMin);
        }
        if (length() >= nMax) {
            if (nOldLength >= nMax)
                return;
            nHigh = ClampCoord(nLow + nMax);
        }
    } else {
        if (d > 0 && nPoint < nOldLow)
            return;
        if (d < 0 && nPoint > nOldLow - nSep)
            return;
        nLow = ClampCoord(nLow + d);
        if (length() <= nMin) {
            if (nOldLength <= nMin)
                return;
            nLow = ClampCoord(nHigh - nMin);
        }
        if (length() >= nMax) {
            if (nOldLength >= nMax)
                return;
            nLow = ClampCoord(nHigh - nMax);
        }
    }

    CUIRect rcInvalidate = GetThumbRect(true);
    m_rcNewPos = N;
    // The dragged size is kept logical, as the skin gives sizes.
    if (m_bVertical)
        m_szFixed.cy = DpiUnscaled(N.Height());
    else
        m_szFixed.cx = DpiUnscaled(N.Width());

    if (m_bImmediateMode) {
        m_rcPos = N;
        RequestParentLayout();
        return;
    }
    rcInvalidate.Join(GetThumbRect(true));
    rcInvalidate.Join(GetThumbRect(false));
    if (m_pManager != nullptr)
        m_pManager->InvalidateArea(&rcInvalidate);
}

void CLinearLayoutUI::PaintOverlay(HDC hDC, const RECT& /*rcDirty*/)
{
    if (IsDragging() && !m_bImmediateMode)
        CUIRender::FillColor(hDC, GetThumbRect(true), kSplitterPreviewColor);
}

// ---- Vertical layout ----

CVerticalLayoutUI::CVerticalLayoutUI() : CLinearLayoutUI(true) {}

CUIString CVerticalLayoutUI::GetClassName() const
{
    return "VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "VerticalLayout") == 0)
        return this;
    return CContainerUI::GetInterface(pstrName);
}

void CVerticalLayoutUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    if (std::strcmp(pstrName, "sepheight") == 0)
        SetSepHeight(AttributeText::ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "sepimm") == 0)
        SetSepImmMode(AttributeText::ParseBool(pstrValue));
    else
        CContainerUI::ApplyAttribute(pstrName, pstrValue);
}

int CVerticalLayoutUI::GetSepHeight() const
{
    return m_iSepSize;
}

void CVerticalLayoutUI::SetSepHeight(int iHeight)
{
    m_iSepSize = iHeight;
}

// ---- Horizontal layout ----

CHorizontalLayoutUI::CHorizontalLayoutUI() : CLinearLayoutUI(false) {}

CUIString CHorizontalLayoutUI::GetClassName() const
{
    return "HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "HorizontalLayout") == 0)
        return this;
    return CContainerUI::GetInterface(pstrName);
}

void CHorizontalLayoutUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    if (std::strcmp(pstrName, "sepwidth") == 0)
        SetSepWidth(AttributeText::ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "sepimm") == 0)
        SetSepImmMode(AttributeText::ParseBool(pstrValue));
    else
        CContainerUI::ApplyAttribute(pstrName, pstrValue);
}

int CHorizontalLayoutUI::GetSepWidth() const
{
    return m_iSepSize;
}

void CHorizontalLayoutUI::SetSepWidth(int iWidth)
{
    m_iSepSize = iWidth;
}

} // namespace SkinUI
