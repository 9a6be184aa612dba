// The button family. CButtonUI is a label that tracks hot, pushed, focused and disabled states, paints a
// state image and colour for each and sends "click" when activated. COptionUI adds a selected state, alone
// (a toggle) or in a named group of the window where at most one is selected, and sends "selectchanged".
// CCheckBoxUI is an option with check/uncheck wrappers.
#pragma once

#include "SkinUI/Control/UILabel.h"

namespace SkinUI {

class CButtonUI : public CLabelUI
{
public:
    CButtonUI();
    ~CButtonUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    UINT GetControlFlags() const override;
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;
    void HandleEvent(InputEventUI& event) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;
    CUISize EstimateSize(SIZE szAvailable) override;
    void PaintStateImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    // Image setters repaint; colour setters only assign.
    CUIString GetNormalImage() const;
    void SetNormalImage(const char* pstrImage);
    CUIString GetHotImage() const;
    void SetHotImage(const char* pstrImage);
    CUIString GetPushedImage() const;
    void SetPushedImage(const char* pstrImage);
    CUIString GetFocusedImage() const;
    void SetFocusedImage(const char* pstrImage);
    CUIString GetDisabledImage() const;
    void SetDisabledImage(const char* pstrImage);
    CUIString GetForeImage() const;
    void SetForeImage(const char* pstrImage);
    CUIString GetHotForeImage() const;
    void SetHotForeImage(const char* pstrImage);
    DWORD GetHotBkColor() const;
    void SetHotBkColor(DWORD dwColor);
    DWORD GetHotTextColor() const;
    void SetHotTextColor(DWORD dwColor);
    DWORD GetPushedTextColor() const;
    void SetPushedTextColor(DWORD dwColor);
    DWORD GetFocusedTextColor() const;
    void SetFocusedTextColor(DWORD dwColor);

    UINT GetButtonState() const { return m_uButtonState; }

protected:
    // The focused and disabled bits follow the control at every paint.
    void RefreshPaintState();
    // Draws an image string into the control; one that fails is emptied so that it is not tried again.
    bool DrawOrForget(HDC hDC, CUIString& sImage, bool bUseOwnAlpha = false, BYTE uFade = 255);
    // Draws the text in dwColor with the button's style.
    void DrawButtonText(HDC hDC, DWORD dwColor);

    UINT m_uButtonState;
    DWORD m_dwHotBkColor;
    DWORD m_dwHotTextColor;
    DWORD m_dwPushedTextColor;
    DWORD m_dwFocusedTextColor;
    CUIString m_sNormalImage;
    CUIString m_sHotImage;
    CUIString m_sHotForeImage;
    CUIString m_sPushedImage;
    CUIString m_sFocusedImage;
    CUIString m_sDisabledImage;
};

class COptionUI : public CButtonUI
{
public:
    COptionUI();
    ~COptionUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;
    void PaintStateImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    bool IsSelected() const;
    // Selecting a grouped option deselects the rest of its group silently; "selectchanged" goes out for
    // every change of an ungrouped option and for the selection of a grouped one.
    virtual void Selected(bool bSelected);

    CUIString GetGroup() const;
    void SetGroup(const char* pstrGroupName);
    CUIString GetSelectedImage() const;
    void SetSelectedImage(const char* pstrImage);
    CUIString GetSelectedHotImage() const;
    void SetSelectedHotImage(const char* pstrImage);
    // The option's foreground image, drawn over every state.
    CUIString GetForeImage() const;
    void SetForeImage(const char* pstrImage);
    DWORD GetSelectedBkColor() const;
    void SetSelectedBkColor(DWORD dwColor);
    // A colour of 0 is replaced by the manager's default text colour when read.
    DWORD GetSelectedTextColor();
    void SetSelectedTextColor(DWORD dwColor);

protected:
    bool m_bSelected;
    CUIString m_sGroupName;
    DWORD m_dwSelectedBkColor;
    DWORD m_dwSelectedTextColor;
    CUIString m_sSelectedImage;
    CUIString m_sSelectedHotImage;
    CUIString m_sOptionForeImage;
};

class CCheckBoxUI : public COptionUI
{
public:
    CUIString GetClassName() const override;

    void SetCheck(bool bCheck);
    bool GetCheck() const;
};

} // namespace SkinUI
