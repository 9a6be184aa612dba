// CEditUI is a single-line text field: a label that paints its text (or password characters) and state
// images, and opens a platform edit window (CEditWnd) over its text area only while the user edits. The
// native window lives while it has the keyboard focus; every change of its text is copied back into the
// control at once ("textchanged"), and the return key sends "return".
#pragma once

#include "SkinUI/Control/UILabel.h"
#include "SkinUI/Core/UIBase.h"

namespace SkinUI {

class CEditUI;

// The native edit window of one CEditUI: a superclass of the platform's "Edit" class, created as a child
// of the host window. It owns itself: it closes once it has lost the focus and deletes itself when its
// window is gone, clearing the owner's pointer to it.
class CEditWnd : public CWindowWnd
{
public:
    CEditWnd();

    // Creates the window over pOwner's text area with the owner's font, text, limits and styles, shows it
    // and gives it the focus. The owner holds this object in m_pWindow. False when the window could not be
    // created: the object has then deleted itself and the owner's pointer is null.
    bool CreateFor(CEditUI* pOwner);
    // The owner's text area inset by its text padding, vertically centred at the height of its font.
    RECT ComputeEditRect() const;
    // Copies the native text into the owner and sends "textchanged".
    void OnTextEdited();
    // Forgets the owner (which is going away); the window then only closes and deletes itself.
    void DetachOwner();

protected:
    const char* WindowClassName() const override;
    const char* SuperclassName() const override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone(HWND hWnd) override;

private:
    ~CEditWnd() override;
    LRESULT OnControlColor(HDC hDC);

    CEditUI* m_pOwner;
    HBRUSH m_hBkBrush;
    bool m_bInit;
};

class CEditUI : public CLabelUI
{
    friend class CEditWnd;

public:
    CEditUI();
    ~CEditUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    UINT GetControlFlags() const override;
    void SetText(const char* pstrText) override;
    void SetPos(RECT rc) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void HandleEvent(InputEventUI& event) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;
    CUISize EstimateSize(SIZE szAvailable) override;
    void PaintStateImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    UINT GetMaxLength() const;
    void SetMaxLength(UINT uMaxChar);
    bool IsReadOnly() const;
    void SetReadOnly(bool bReadOnly);
    bool IsNumberOnly() const;
    void SetNumberOnly(bool bNumberOnly);
    // Extra style bits given to the native window when it opens (only ES_NUMBER is used).
    UINT GetWindowStyles() const;
    bool IsPasswordMode() const;
    void SetPasswordMode(bool bPasswordMode);
    char GetPasswordChar() const;
    void SetPasswordChar(char cPasswordChar);

    CUIString GetNormalImage() const;
    void SetNormalImage(const char* pstrImage);
    CUIString GetHotImage() const;
    void SetHotImage(const char* pstrImage);
    CUIString GetFocusedImage() const;
    void SetFocusedImage(const char* pstrImage);
    CUIString GetDisabledImage() const;
    void SetDisabledImage(const char* pstrImage);
    // 0xFFFFFFFF keeps the platform's colours in the native window.
    DWORD GetNativeBackColor() const;
    void SetNativeBackColor(DWORD dwBackColor);

    // Selection and replacement act on the open native window; while it is closed they do nothing.
    void SelectRange(int nStart, int nEnd);
    void SelectAll();
    void ReplaceSelection(const char* pstrText);

    // The open native window, or null.
    HWND GetNativeWindow() const;

protected:
    // Creates the native window; false (and no window) when that fails.
    bool OpenNativeWindow();
    // Selects the whole native text (the first position when it is empty).
    void SelectWholeNativeText();
    // Moves the focus away when the control can no longer be edited while its window is open.
    void CloseNativeWindowIfUnusable();

    CEditWnd* m_pWindow;
    UINT m_uMaxChar;
    bool m_bReadOnly;
    bool m_bPasswordMode;
    char m_cPasswordChar;
    UINT m_uButtonState;
    CUIString m_sNormalImage;
    CUIString m_sHotImage;
    CUIString m_sFocusedImage;
    CUIString m_sDisabledImage;
    DWORD m_dwNativeBkColor;
    UINT m_uWindowStyles;
};

} // namespace SkinUI
