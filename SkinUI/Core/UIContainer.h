// CContainerUI, a control that owns an ordered list of children: it passes its manager and visibility down,
// stacks its children over its client area, paints them clipped to it and routes hit tests into them. It
// may carry a vertical and a horizontal scroll bar and scrolls its children by moving them.
// IContainerUI is the child-list interface the builder and the paint manager use (GetInterface("IContainer")).
#pragma once

#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIScrollBar.h"

#include <memory>

namespace SkinUI {

class IContainerUI
{
public:
    virtual CControlUI* ItemAt(int iIndex) const = 0;
    virtual int IndexOfItem(CControlUI* pControl) const = 0;
    virtual bool MoveItemTo(CControlUI* pControl, int iIndex) = 0;
    virtual int ItemCount() const = 0;
    virtual bool AddItem(CControlUI* pControl) = 0;
    virtual bool InsertItem(CControlUI* pControl, int iIndex) = 0;
    virtual bool RemoveItem(CControlUI* pControl) = 0;
    virtual bool RemoveItemAt(int iIndex) = 0;
    virtual void RemoveAllItems() = 0;

protected:
    ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI
{
public:
    CContainerUI();
    ~CContainerUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;

    // ---- IContainerUI ----
    CControlUI* ItemAt(int iIndex) const override;
    int IndexOfItem(CControlUI* pControl) const override;
    bool MoveItemTo(CControlUI* pControl, int iIndex) override;
    int ItemCount() const override;
    // Takes ownership on success (when auto-destroying); a null control, the container itself or a
    // control that already is a child is refused.
    bool AddItem(CControlUI* pControl) override;
    bool InsertItem(CControlUI* pControl, int iIndex) override;
    bool RemoveItem(CControlUI* pControl) override;
    bool RemoveItemAt(int iIndex) override;
    void RemoveAllItems() override;

    // ---- State passed down to the children ----
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetMouseEnabled(bool bEnable = true) override;

    void SetPos(RECT rc) override;
    CControlUI* FindControl(FindControlProc Proc, void* pData, UINT uFlags) override;
    void HandleEvent(InputEventUI& event) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;
    void Paint(HDC hDC, const RECT& rcDirty) override;

    virtual CUIRect GetInset() const;
    virtual void SetInset(RECT rcInset);
    virtual int GetChildPadding() const;
    virtual void SetChildPadding(int iPadding);
    virtual bool IsAutoDestroy() const;
    virtual void SetAutoDestroy(bool bAuto);
    virtual bool IsDelayedDestroy() const;
    virtual void SetDelayedDestroy(bool bDelayed);
    virtual bool IsMouseChildEnabled() const;
    virtual void SetMouseChildEnabled(bool bEnable = true);
    // The index of the first visible, enabled child answering "ListItem" from iIndex on (forward) or
    // down to 0 (backward, falling back to the first one going forward); -1 when there is none.
    virtual int FindSelectableItem(int iIndex, bool bForward = true) const;
    // Places the floating child at iIndex by its fixed offset from the container's edges (a negative
    // offset counts from the right or bottom edge) and, when it is relative, by the container's growth.
    virtual void PlaceFloatChild(int iIndex);

    // ---- Scrolling ----
    // The positions and ranges of the visible bars (0 for a missing or hidden bar).
    virtual CUISize GetScrollPos() const;
    virtual CUISize GetScrollRange() const;
    // Gives the visible bars the new position (they clamp it) and moves the non-floating children by
    // what the bars actually moved.
    virtual void SetScrollPos(SIZE szPos);
    virtual void ScrollLineUp();
    virtual void ScrollLineDown();
    virtual void ScrollPageUp();
    virtual void ScrollPageDown();
    virtual void ScrollToTop();
    virtual void ScrollToBottom();
    virtual void ScrollLineLeft();
    virtual void ScrollLineRight();
    virtual void ScrollPageLeft();
    virtual void ScrollPageRight();
    virtual void ScrollToLeft();
    virtual void ScrollToRight();
    // Creates or deletes the bars (owned by the container).
    virtual void EnableScrollBars(bool bEnableVertical = true, bool bEnableHorizontal = false);
    virtual CScrollBarUI* GetVerticalScrollBar() const;
    virtual CScrollBarUI* GetHorizontalScrollBar() const;
    // Called by a layout at the end of its placement with its client area and the height its content
    // needed: shows, ranges and places the vertical bar (laying the container out again when the bar
    // appears or goes) and places the horizontal one.
    virtual void UpdateScrollBars(const RECT& rcClient, int cxRequired, int cyRequired);

    // Named descendants (names compared ignoring case). The setters return false when there is none.
    CControlUI* FindChildControl(const char* pstrName) const;
    bool SetChildText(const char* pstrName, const char* pstrText);
    CUIString GetChildText(const char* pstrName) const;
    bool SetChildFixedWidth(const char* pstrName, int cx);
    int GetChildFixedWidth(const char* pstrName) const;
    bool SetChildFixedHeight(const char* pstrName, int cy);
    int GetChildFixedHeight(const char* pstrName) const;
    bool SetChildUserData(const char* pstrName, const char* pstrText);
    CUIString GetChildUserData(const char* pstrName) const;

protected:
    // Skin numbers can be absurd: coordinates are computed wide and clamped instead of overflowing.
    static LONG ClampCoord(long long n);
    // The container's rectangle less the inset.
    CUIRect GetInsetRect() const;
    // Where the children are shown and hit: the inset rectangle less the visible scroll bars.
    CUIRect GetClientArea() const;
    // The scroll bar if it exists and is visible, else null.
    CScrollBarUI* VisibleVerticalBar() const;
    CScrollBarUI* VisibleHorizontalBar() const;
    // The first answer of the vertical bar's FindControl, then the horizontal bar's.
    CControlUI* FindInScrollBars(FindControlProc Proc, void* pData, UINT uFlags);
    // Lines scrolled by the keys and the wheel: the default font's height and a little more.
    int LineHeight() const;
    // What a page scrolls: the client height or width between the inset, less the other bar.
    int PageHeight() const;
    int PageWidth() const;
    // Paints the children clipped to the client area (floating ones may leave it).
    void PaintChildren(HDC hDC, const RECT& rcDirty);

    // Columns scrolled by one horizontal line.
    static constexpr int kHorizontalLine = 8;
    // Deletes a removed child: through the manager's queue when delayed, at once otherwise.
    void DestroyChild(CControlUI* pControl);
    bool CanAdopt(CControlUI* pControl) const;
    // The common part of AddItem and InsertItem once the control has been accepted.
    bool AttachChild(CControlUI* pControl, int iIndex);

    CUIPtrArray m_items;
    CUIRect m_rcInset;
    int m_iChildPadding;
    bool m_bAutoDestroy;
    bool m_bDelayedDestroy;
    bool m_bMouseChildEnabled;
    bool m_bInScrollUpdate;
    std::unique_ptr<CScrollBarUI> m_pVerticalScrollBar;
    std::unique_ptr<CScrollBarUI> m_pHorizontalScrollBar;
};

} // namespace SkinUI
