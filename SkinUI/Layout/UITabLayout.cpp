// CTabLayoutUI: page bookkeeping, selection and placement of the shown page.
#include "SkinUI/Layout/UITabLayout.h"

#include <cstring>

namespace SkinUI {

namespace {

long long ClampSize(long long n, int nMin, int nMax)
{
    if (n < nMin)
        n = nMin;
    if (n > nMax)
        n = nMax;
    return n;
}

} // namespace

CTabLayoutUI::CTabLayoutUI() : m_iCurSel(-1) {}

CUIString CTabLayoutUI::GetClassName() const
{
    return "TabLayoutUI";
}

void* CTabLayoutUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "TabLayout") == 0)
        return this;
    return CContainerUI::GetInterface(pstrName);
}

bool CTabLayoutUI::AddItem(CControlUI* pControl)
{
    if (!CContainerUI::AddItem(pControl))
        return false;
    if (m_iCurSel == -1 && pControl->IsVisible())
        m_iCurSel = IndexOfItem(pControl);
    else
        pControl->SetVisible(false);
    return true;
}

bool CTabLayoutUI::InsertItem(CControlUI* pControl, int iIndex)
{
    if (!CContainerUI::InsertItem(pControl, iIndex))
        return false;
    if (m_iCurSel == -1 && pControl->IsVisible())
        m_iCurSel = IndexOfItem(pControl);
    else if (m_iCurSel != -1 && iIndex <= m_iCurSel)
        m_iCurSel += 1; // the same page stays shown; the new one keeps its visibility
    else
        pControl->SetVisible(false);
    return true;
}

bool CTabLayoutUI::RemoveItem(CControlUI* pControl)
{
    if (pControl == nullptr)
        return false;
    const int iIndex = IndexOfItem(pControl);
    if (!CContainerUI::RemoveItem(pControl))
        return false;
    if (iIndex == m_iCurSel) {
        if (ItemCount() > 0) {
            m_iCurSel = 0;
            ItemAt(0)->SetVisible(true);
        } else {
            m_iCurSel = -1;
        }
        RequestParentLayout();
    } else if (iIndex < m_iCurSel) {
        m_iCurSel -= 1;
    }
    return true;
}

void CTabLayoutUI::RemoveAllItems()
{
    m_iCurSel = -1;
    CContainerUI::RemoveAllItems();
    RequestParentLayout();
}

int CTabLayoutUI::GetCurSel() const
{
    return m_iCurSel;
}

bool CTabLayoutUI::SelectItem(int iIndex)
{
    if (iIndex < 0 || iIndex >= ItemCount())
        return false;
    if (iIndex == m_iCurSel)
        return true;

    const int iOldSel = m_iCurSel;
    m_iCurSel = iIndex;
    for (int i = 0; i < ItemCount(); ++i) {
        CControlUI* pPage = ItemAt(i);
        if (i == iIndex) {
            pPage->SetVisible(true);
            pPage->SetFocus();
            SetPos(m_rcPos);
        } else {
            pPage->SetVisible(false);
        }
    }
    RequestParentLayout();
    if (m_pManager != nullptr) {
        m_pManager->MoveFocusByTab(true);
        m_pManager->SendNotify(this, "tabselect", static_cast<WPARAM>(m_iCurSel), static_cast<LPARAM>(iOldSel));
    }
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* pControl)
{
    const int iIndex = IndexOfItem(pControl);
    return iIndex >= 0 && SelectItem(iIndex);
}

void CTabLayoutUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    const CUIRect rcInset = GetInsetRect();
    for (int i = 0; i < ItemCount(); ++i) {
        CControlUI* pControl = ItemAt(i);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        if (i != m_iCurSel)
            continue;

        // The shown page fills the area less its padding unless it asks for a size of its own.
        const CUIRect P = DpiScaled(pControl->GetPadding());
        const CUIRect C(ClampCoord(static_cast<long long>(rcInset.left) + P.left),
                        ClampCoord(static_cast<long long>(rcInset.top) + P.top),
                        ClampCoord(static_cast<long long>(rcInset.right) - P.right),
                        ClampCoord(static_cast<long long>(rcInset.bottom) - P.bottom));
        const CUISize A(C.Width(), C.Height());
        const CUISize S = pControl->EstimateSize(A);
        long long cx = S.cx != 0 ? S.cx : (A.cx < 0 ? 0 : A.cx);
        long long cy = S.cy != 0 ? S.cy : (A.cy < 0 ? 0 : A.cy);
        cx = ClampSize(cx, DpiScaled(pControl->GetMinWidth()), DpiScaled(pControl->GetMaxWidth()));
        cy = ClampSize(cy, DpiScaled(pControl->GetMinHeight()), DpiScaled(pControl->GetMaxHeight()));
        pControl->SetPos(CUIRect(C.left, C.top, ClampCoord(C.left + cx), ClampCoord(C.top + cy)));
    }
}

void CTabLayoutUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    if (pstrName != nullptr && pstrValue != nullptr && std::strcmp(pstrName, "selectedid") == 0)
        SelectItem(AttributeText::ParseInt(pstrValue));
    CContainerUI::ApplyAttribute(pstrName, pstrValue);
}

} // namespace SkinUI
