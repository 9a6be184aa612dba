// CTabLayoutUI shows one of its children at a time (a page) over its client area; SelectItem switches
// pages and sends "tabselect" with the new and the old index.
#pragma once

#include "SkinUI/Core/UIContainer.h"

namespace SkinUI {

class CTabLayoutUI : public CContainerUI
{
public:
    CTabLayoutUI();

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    void SetPos(RECT rc) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;

    // The first visible page added is shown; later pages are hidden.
    bool AddItem(CControlUI* pControl) override;
    bool InsertItem(CControlUI* pControl, int iIndex) override;
    bool RemoveItem(CControlUI* pControl) override;
    void RemoveAllItems() override;

    // The index of the shown page, -1 for none.
    int GetCurSel() const;
    // False for an index outside the pages; selecting the shown page again does nothing and is true.
    bool SelectItem(int iIndex);
    bool SelectItem(CControlUI* pControl);

protected:
    int m_iCurSel;
};

} // namespace SkinUI
