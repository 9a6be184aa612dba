// CControlUI, the root class of every element of the user interface: a rectangle in the host window's
// client area with placement rules, visibility and enabled state, five paint steps, input handling and
// skin attributes. Also the shared vocabulary of the control layer: input events, control and find flags,
// and the relative-placement record.
#pragma once

#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Utils/Utils.h"

#include <windows.h>

namespace SkinUI {

class CControlUI;

// Kinds of input events. The numbers are fixed: controls test ranges (a mouse kind lies strictly between
// 8 and 19).
enum InputEventKind : int
{
    UIEV_KEYDOWN = 3,
    UIEV_KEYUP = 4,
    UIEV_CHAR = 5,
    UIEV_SYSKEY = 6,
    UIEV_MOUSEMOVE = 9,
    UIEV_MOUSE_FIRST = UIEV_MOUSEMOVE,
    UIEV_MOUSELEAVE = 10,
    UIEV_MOUSEENTER = 11,
    UIEV_MOUSEHOVER = 12,
    UIEV_BUTTONDOWN = 13,
    UIEV_BUTTONUP = 14,
    UIEV_RBUTTONDOWN = 15,
    UIEV_DBLCLICK = 16,
    UIEV_CONTEXTMENU = 17,
    UIEV_SCROLLWHEEL = 18,
    UIEV_MOUSE_LAST = UIEV_SCROLLWHEEL,
    UIEV_KILLFOCUS = 20,
    UIEV_SETFOCUS = 21,
    UIEV_WINDOWSIZE = 22,
    UIEV_SETCURSOR = 23,
    UIEV_TIMER = 24,
};

inline bool IsMouseEventKind(int nKind)
{
    return nKind > 8 && nKind < 19;
}

// An input event delivered to one control. Built zero-filled; the sender may be null for some kinds.
struct InputEventUI
{
    int nKind = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    char chKey = 0;
    WORD wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

static_assert(sizeof(void*) != 4 || sizeof(InputEventUI) == 32, "the input event record is 32 bytes");

// Control flags (GetControlFlags).
constexpr UINT CONTROL_FLAG_TABSTOP = 0x1;   // takes part in tab navigation
constexpr UINT CONTROL_FLAG_SETCURSOR = 0x2; // gets UIEV_SETCURSOR instead of the arrow cursor

// State bits of controls that track the mouse and keyboard (buttons, edits, scroll bars).
constexpr UINT CONTROL_STATE_FOCUSED = 0x01;
constexpr UINT CONTROL_STATE_SELECTED = 0x02;
constexpr UINT CONTROL_STATE_DISABLED = 0x04;
constexpr UINT CONTROL_STATE_HOT = 0x08;
constexpr UINT CONTROL_STATE_PUSHED = 0x10;   // pressed on the control and the mouse is inside it
constexpr UINT CONTROL_STATE_CAPTURED = 0x40; // pressed on the control and still held

// FindControl flags.
constexpr UINT FIND_ALL = 0;
constexpr UINT FIND_VISIBLE = 0x1;
constexpr UINT FIND_ENABLED = 0x2;
constexpr UINT FIND_HITTEST = 0x4;         // data points to a client point
constexpr UINT FIND_TOP_FIRST = 0x8;       // children from last to first
constexpr UINT FIND_ME_FIRST = 0x80000000; // a container before its children

// The test of a FindControl visit: a non-null answer is a match and ends the visit.
using FindControlProc = CControlUI* (*)(CControlUI* pControl, void* pData);

// Relative placement of a floating control: how far it moves and grows, in percent of the growth of its
// container since the size recorded in szParent.
struct RelativePosUI
{
    bool bRelative = false;
    SIZE szParent = {0, 0};
    int nMoveX = 0;
    int nMoveY = 0;
    int nZoomX = 0;
    int nZoomY = 0;
};

// Value syntax of skin attributes, shared by every control.
namespace AttributeText {
// True only for exactly "true".
bool ParseBool(const char* pstrValue);
// A decimal integer: leading blanks, an optional sign, digits up to the first other character; 0 without
// digits. pstrEnd (optional) receives the first byte after the number.
int ParseInt(const char* pstrValue, const char** pstrEnd = nullptr);
// nCount numbers, each followed by exactly one separator byte; reading never passes the terminating 0, so
// numbers missing at the end are 0.
void ParseIntList(const char* pstrValue, int* pValues, int nCount);
// One leading '#' is skipped, then an unsigned hexadecimal number (blanks and "0x" accepted).
DWORD ParseColor(const char* pstrValue);
} // namespace AttributeText

class CControlUI
{
public:
    CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;
    virtual ~CControlUI();

    virtual CUIString GetName() const;
    virtual void SetName(const char* pstrName);
    virtual CUIString GetClassName() const;
    virtual void* GetInterface(const char* pstrName);
    virtual UINT GetControlFlags() const;
    virtual bool Activate();
    virtual CPaintManagerUI* GetManager() const;
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    virtual CControlUI* GetParent() const;
    virtual CUIString GetText() const;
    virtual void SetText(const char* pstrText);

    virtual const CUIRect& GetPos() const;
    virtual void SetPos(RECT rc);
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetX() const;
    virtual int GetY() const;
    virtual CUIRect GetPadding() const;
    virtual void SetPadding(RECT rcPadding);
    virtual CUISize GetFixedXY() const;
    virtual void SetFixedXY(SIZE szXY);
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int cx);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int cy);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int cx);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int cx);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int cy);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int cy);
    virtual void SetRelativePos(int nMoveX, int nMoveY, int nZoomX, int nZoomY);
    virtual void SetRelativeParentSize(SIZE sz);
    virtual RelativePosUI GetRelativePos() const;
    virtual bool IsRelativePos() const;

    virtual CUIString GetToolTip() const;
    virtual void SetToolTip(const char* pstrText);
    virtual void SetToolTipWidth(int nWidth);
    virtual int GetToolTipWidth() const;
    virtual char GetShortcut() const;
    virtual void SetShortcut(char ch);
    virtual bool IsContextMenuUsed() const;
    virtual void SetContextMenuUsed(bool bMenuUsed);
    virtual CUIString GetUserData() const;
    virtual void SetUserData(const char* pstrText);
    virtual UINT_PTR GetTag() const;
    virtual void SetTag(UINT_PTR pTag);

    virtual bool IsVisible() const;
    virtual void SetVisible(bool bVisible = true);
    virtual void SetInternVisible(bool bVisible = true);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool bEnable = true);
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool bEnable = true);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool bEnable = true);
    virtual bool IsFocused() const;
    virtual void SetFocus();
    virtual bool IsFloat() const;
    virtual void SetFloat(bool bFloat = true);

    virtual CControlUI* FindControl(FindControlProc Proc, void* pData, UINT uFlags);

    virtual void InitControl();
    virtual void OnInit();
    virtual void DeliverEvent(InputEventUI& event);
    virtual void HandleEvent(InputEventUI& event);
    virtual void ApplyAttribute(const char* pstrName, const char* pstrValue);
    virtual CUISize EstimateSize(SIZE szAvailable);

    virtual void Paint(HDC hDC, const RECT& rcDirty);
    virtual void PaintBackColor(HDC hDC);
    virtual void PaintBackImage(HDC hDC);
    virtual void PaintStateImage(HDC hDC);
    virtual void PaintText(HDC hDC);
    virtual void PaintBorder(HDC hDC);
    virtual void PaintOverlay(HDC hDC, const RECT& rcDirty);

    // Skin lengths (sizes, offsets, paddings, borders, corners) are stored as the skin gives them, in logical
    // units; layout and painting take them in pixels at the manager's display scale (unchanged without a
    // manager). The rectangles a control is given and reports (GetPos) are pixels.
    int DpiScaled(int n) const;
    CUIRect DpiScaled(const RECT& rc) const;
    CUISize DpiScaled(const SIZE& sz) const;
    int DpiUnscaled(int n) const;

    // Repainting and layout requests.
    void Invalidate();
    bool IsLayoutNeeded() const;
    void RequestLayout();
    void RequestParentLayout();

    // The colour itself, or passed through the manager's hue/saturation/lightness adjustment when the
    // control asks for it.
    DWORD AdjustedColor(DWORD dwColor) const;
    // Applies name="value" pairs separated by single spaces; stops at the first malformed point.
    void ApplyAttributeList(const char* pstrList);
    // Draws an image string into the control's rectangle; false when nothing could be drawn. The modifier's
    // dest, source and corner are in pixels when bModifyInPixels is set (a control computing them from its
    // own rectangle), else logical like the image string's.
    bool DrawImage(HDC hDC, const char* pstrImage, const char* pstrModify = nullptr, bool bUseOwnAlpha = false,
                   BYTE uFade = 255, bool bModifyInPixels = false);

    CUIString GetVirtualWindow() const;
    void SetVirtualWindow(const char* pstrValue);

    DWORD GetBackColor() const;
    void SetBackColor(DWORD dwBackColor);
    DWORD GetBackColor2() const;
    void SetBackColor2(DWORD dwBackColor);
    DWORD GetBackColor3() const;
    void SetBackColor3(DWORD dwBackColor);
    CUIString GetBackImage() const;
    void SetBackImage(const char* pstrImage);
    DWORD GetBorderColor() const;
    void SetBorderColor(DWORD dwBorderColor);
    DWORD GetFocusBorderColor() const;
    void SetFocusBorderColor(DWORD dwBorderColor);
    bool IsColorHsl() const;
    void SetColorHsl(bool bColorHsl);
    int GetBorderSize() const;
    void SetBorderSize(int nSize);
    void SetBorderSides(int nLeft, int nTop, int nRight, int nBottom);
    int GetLeftBorderSize() const;
    void SetLeftBorderSize(int nSize);
    int GetTopBorderSize() const;
    void SetTopBorderSize(int nSize);
    int GetRightBorderSize() const;
    void SetRightBorderSize(int nSize);
    int GetBottomBorderSize() const;
    void SetBottomBorderSize(int nSize);
    int GetBorderStyle() const;
    void SetBorderStyle(int nStyle);
    CUISize GetBorderRound() const;
    void SetBorderRound(SIZE cxyRound);

public:
    // Listeners: init (after OnInit), destroy (from the destructor) and size (from SetPos) get the control;
    // event listeners get the InputEventUI and may veto it by returning false; notify listeners get each
    // NotifyEventUI this control sends.
    CUIEventSource m_initListeners;
    CUIEventSource m_destroyListeners;
    CUIEventSource m_sizeListeners;
    CUIEventSource m_eventListeners;
    CUIEventSource m_notifyListeners;

protected:
    CPaintManagerUI* m_pManager;
    CControlUI* m_pParent;
    CUIString m_sVirtualWindow;
    CUIString m_sName;
    bool m_bLayoutNeeded;
    bool m_bContextMenu;
    CUIRect m_rcPos;
    CUIRect m_rcPadding;
    CUISize m_szFixedXY;
    CUISize m_szFixed;
    CUISize m_szMin;
    CUISize m_szMax;
    bool m_bVisible;
    bool m_bInternVisible;
    bool m_bEnabled;
    bool m_bMouseEnabled;
    bool m_bKeyboardEnabled;
    bool m_bFocused;
    bool m_bFloat;
    bool m_bInSetPos;
    RelativePosUI m_relPos;

    CUIString m_sText;
    CUIString m_sToolTip;
    char m_chShortcut;
    CUIString m_sUserData;
    UINT_PTR m_pTag;

    DWORD m_dwBackColor;
    DWORD m_dwBackColor2;
    DWORD m_dwBackColor3;
    CUIString m_sBackImage;
    CUIString m_sForeImage;
    DWORD m_dwBorderColor;
    DWORD m_dwFocusBorderColor;
    bool m_bColorHsl;
    int m_nBorderSize;
    int m_nBorderStyle;
    int m_nToolTipWidth;
    CUISize m_szBorderRound;
    CUIRect m_rcPaint;
    CUIRect m_rcBorderSides;
};

} // namespace SkinUI
