// CScrollBarUI shows and changes a scroll position between 0 and a range: two buttons, a thumb that can be
// dragged, the rail under the thumb and a background, each painted from its own image strings. A bar owned
// by a container forwards every scrolling action to it; a bar without an owner moves itself and sends
// "scroll". Holding a button or the rail repeats the action on a control timer.
#pragma once

#include "SkinUI/Core/UIControl.h"

namespace SkinUI {

class CContainerUI;

class CScrollBarUI : public CControlUI
{
public:
    // The control timer that drives dragging and repetition, and its period.
    static constexpr UINT kTimerId = 10;
    static constexpr UINT kTimerMs = 50;

    CScrollBarUI();
    ~CScrollBarUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    void SetPos(RECT rc) override;
    // The owner lays its bars out: showing or hiding a bar asks for no layout of its own.
    void SetVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void SetFocus() override;
    void HandleEvent(InputEventUI& event) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;
    void Paint(HDC hDC, const RECT& rcDirty) override;

    CContainerUI* GetOwner() const;
    void SetOwner(CContainerUI* pOwner);
    bool IsHorizontal() const;
    void SetHorizontal(bool bHorizontal = true);
    int GetScrollRange() const;
    // A negative range is taken as 0; the position is lowered to the range.
    void SetScrollRange(int nRange);
    int GetScrollPos() const;
    // Clamped to 0..range.
    void SetScrollPos(int nPos);
    int GetLineSize() const;
    void SetLineSize(int nSize);
    bool IsShowButton1() const;
    void SetShowButton1(bool bShow);
    bool IsShowButton2() const;
    void SetShowButton2(bool bShow);

    // Where the parts lie now (all zero thumb: there is no room for one).
    CUIRect GetButton1Rect() const;
    CUIRect GetButton2Rect() const;
    CUIRect GetThumbRect() const;

    CUIString GetButton1NormalImage() const;
    void SetButton1NormalImage(const char* pStrImage);
    CUIString GetButton1HotImage() const;
    void SetButton1HotImage(const char* pStrImage);
    CUIString GetButton1PushedImage() const;
    void SetButton1PushedImage(const char* pStrImage);
    CUIString GetButton1DisabledImage() const;
    void SetButton1DisabledImage(const char* pStrImage);
    CUIString GetButton2NormalImage() const;
    void SetButton2NormalImage(const char* pStrImage);
    CUIString GetButton2HotImage() const;
    void SetButton2HotImage(const char* pStrImage);
    CUIString GetButton2PushedImage() const;
    void SetButton2PushedImage(const char* pStrImage);
    CUIString GetButton2DisabledImage() const;
    void SetButton2DisabledImage(const char* pStrImage);
    CUIString GetThumbNormalImage() const;
    void SetThumbNormalImage(const char* pStrImage);
    CUIString GetThumbHotImage() const;
    void SetThumbHotImage(const char* pStrImage);
    CUIString GetThumbPushedImage() const;
    void SetThumbPushedImage(const char* pStrImage);
    CUIString GetThumbDisabledImage() const;
    void SetThumbDisabledImage(const char* pStrImage);
    CUIString GetRailNormalImage() const;
    void SetRailNormalImage(const char* pStrImage);
    CUIString GetRailHotImage() const;
    void SetRailHotImage(const char* pStrImage);
    CUIString GetRailPushedImage() const;
    void SetRailPushedImage(const char* pStrImage);
    CUIString GetRailDisabledImage() const;
    void SetRailDisabledImage(const char* pStrImage);
    CUIString GetBkNormalImage() const;
    void SetBkNormalImage(const char* pStrImage);
    CUIString GetBkHotImage() const;
    void SetBkHotImage(const char* pStrImage);
    CUIString GetBkPushedImage() const;
    void SetBkPushedImage(const char* pStrImage);
    CUIString GetBkDisabledImage() const;
    void SetBkDisabledImage(const char* pStrImage);

    void PaintBk(HDC hDC);
    void PaintButton1(HDC hDC);
    void PaintButton2(HDC hDC);
    void PaintThumb(HDC hDC);
    void PaintRail(HDC hDC);

protected:
    // The four images of one part, by state.
    struct PartImages
    {
        CUIString sNormal;
        CUIString sHot;
        CUIString sPushed;
        CUIString sDisabled;
    };

    // The bar's thickness: its fixed width when vertical, its fixed height when horizontal.
    int Thickness() const;
    void LineBack();
    void LineForward();
    void PageBack();
    void PageForward();
    // Pages towards pt when it lies beyond the thumb along the bar; nothing over the thumb.
    void PageTowards(POINT pt);
    void NotifyScroll();
    // One tick of the repeat timer: moves a dragged thumb, or repeats a held button or rail.
    void OnRepeatTimer();
    void SetImage(CUIString& sImage, const char* pStrImage);
    // Draws a part by its state (disabled, pushed or hot image, else the normal one); false when nothing
    // could be drawn. A failing image is emptied so that it is not tried again.
    bool PaintPart(HDC hDC, UINT& uState, PartImages& images, const char* pstrModify);
    void SetDestModify(const RECT& rc);

    bool m_bHorizontal;
    int m_nRange;
    int m_nScrollPos;
    int m_nLineSize;
    CContainerUI* m_pOwner;
    CUIPoint m_ptLastMouse;
    int m_nLastScrollPos;
    int m_nLastScrollOffset;
    int m_nScrollRepeatDelay;

    PartImages m_bkImages;
    bool m_bShowButton1;
    CUIRect m_rcButton1;
    UINT m_uButton1State;
    PartImages m_button1Images;
    bool m_bShowButton2;
    CUIRect m_rcButton2;
    UINT m_uButton2State;
    PartImages m_button2Images;
    CUIRect m_rcThumb;
    UINT m_uThumbState;
    PartImages m_thumbImages;
    PartImages m_railImages;
    CUIString m_sImageModify;
};

} // namespace SkinUI
