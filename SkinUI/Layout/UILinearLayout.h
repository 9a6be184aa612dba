// The linear layouts: CVerticalLayoutUI stacks its children from top to bottom, CHorizontalLayoutUI from
// left to right. Both share the space left by fixed-size children among the others, honour minimum and
// maximum sizes, paddings and the gap between children, and can be resized by dragging a splitter on one
// edge. CLinearLayoutUI holds what the two have in common.
#pragma once

#include "SkinUI/Core/UIContainer.h"

namespace SkinUI {

class CLinearLayoutUI : public CContainerUI
{
public:
    ~CLinearLayoutUI() override;

    UINT GetControlFlags() const override;
    void SetPos(RECT rc) override;
    void HandleEvent(InputEventUI& event) override;
    void PaintOverlay(HDC hDC, const RECT& rcDirty) override;

    bool IsSepImmMode() const;
    // Immediate mode resizes the layout at every drag step; otherwise the drag is previewed over the
    // window and applied when the button is released.
    void SetSepImmMode(bool bImmediately);
    // The splitter's rectangle, from the dragged-to rectangle while a drag runs and bUseNewPos is true.
    CUIRect GetThumbRect(bool bUseNewPos) const;

protected:
    explicit CLinearLayoutUI(bool bVertical);

    // Places the children along the layout's axis in two passes: the first sums the fixed sizes, the
    // second shares what is left among the children without a size.
    void ArrangeChildren();
    bool IsDragging() const;

    int m_iSepSize; // > 0 splitter on the bottom (right) edge, < 0 on the top (left) edge, 0 none
    UINT m_uDragState;
    CUIPoint m_ptLastMouse;
    CUIRect m_rcNewPos;
    bool m_bImmediateMode;

private:
    void DragTo(POINT pt);
    const bool m_bVertical;
};

class CVerticalLayoutUI : public CLinearLayoutUI
{
public:
    CVerticalLayoutUI();

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;

    int GetSepHeight() const;
    void SetSepHeight(int iHeight);
};

class CHorizontalLayoutUI : public CLinearLayoutUI
{
public:
    CHorizontalLayoutUI();

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;

    int GetSepWidth() const;
    void SetSepWidth(int iWidth);
};

} // namespace SkinUI
