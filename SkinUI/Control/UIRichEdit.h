// CRichEditUI shows and edits formatted text inside the skinned window without a child window: it hosts the
// platform's windowless rich-edit text services, feeds them the window's messages through the manager's
// message filters, draws them into the manager's off-screen surface and maps their scroll bars onto the
// container's own bars. Without the text services it draws only its own layers and ignores input.
#pragma once

#include "SkinUI/Core/UIContainer.h"

#include <richedit.h>

namespace SkinUI {

class CTxtWinHost;

class CRichEditUI : public CContainerUI, public IMessageFilterUI, public IWantTabUI
{
public:
    CRichEditUI();
    ~CRichEditUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    UINT GetControlFlags() const override;

    // ---- Properties (the setters also reach an existing host) ----
    bool IsWantTab() const override;
    void SetWantTab(bool bWantTab = true);
    bool IsWantReturn() const;
    void SetWantReturn(bool bWantReturn = true);
    bool IsWantCtrlReturn() const;
    void SetWantCtrlReturn(bool bWantCtrlReturn = true);
    bool IsRich() const;
    void SetRich(bool bRich = true);
    bool IsReadOnly() const;
    void SetReadOnly(bool bReadOnly = true);
    bool GetWordWrap() const;
    void SetWordWrap(bool bWordWrap = true);
    int GetFont() const;
    void SetFont(int iFont);
    void SetFont(const char* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    DWORD GetTextColor() const;
    void SetTextColor(DWORD dwTextColor);
    int GetLimitText() const;
    void SetLimitText(int iChars);
    // The host style bits (ES_*, WS_VSCROLL, WS_HSCROLL); they take effect when the host is created.
    LONG GetWinStyle() const;
    void SetWinStyle(LONG lStyle);
    // True once the text services are there.
    bool HasTextServices() const;

    // ---- Text ----
    long GetTextLength(DWORD dwFlags = GTL_DEFAULT) const;
    CUIString GetText() const override;
    void SetText(const char* pstrText) override;
    bool GetModify() const;
    void SetModify(bool bModified = true) const;
    void GetSel(CHARRANGE& cr) const;
    void GetSel(long& nStartChar, long& nEndChar) const;
    int SetSel(CHARRANGE& cr);
    int SetSel(long nStartChar, long nEndChar);
    int SetSelAll();
    int SetSelNone();
    void ReplaceSel(const char* pstrText, bool bCanUndo);
    void ReplaceSelW(LPCWSTR lpszText, bool bCanUndo = false);
    CUIString GetSelText() const;
    WORD GetSelectionType() const;
    bool GetZoom(int& nNum, int& nDen) const;
    bool SetZoom(int nNum, int nDen);
    bool SetZoomOff();
    bool GetAutoURLDetect() const;
    bool SetAutoURLDetect(bool bAutoDetect = true);
    DWORD GetEventMask() const;
    DWORD SetEventMask(DWORD dwEventMask);
    CUIString GetTextRange(long nStartChar, long nEndChar) const;
    void HideSelection(bool bHide = true, bool bChangeStyle = false);
    void ScrollCaret();
    // Inserts at a character position, or appends at the end; returns the start of the insertion.
    int InsertText(long nInsertAfterChar, const char* pstrText, bool bCanUndo = false);
    int AppendText(const char* pstrText, bool bCanUndo = false);
    DWORD GetDefaultCharFormat(CHARFORMAT2W& cf) const;
    bool SetDefaultCharFormat(CHARFORMAT2W& cf);
    DWORD GetSelectionCharFormat(CHARFORMAT2W& cf) const;
    bool SetSelectionCharFormat(CHARFORMAT2W& cf);
    bool SetWordCharFormat(CHARFORMAT2W& cf);
    DWORD GetParaFormat(PARAFORMAT2& pf) const;
    bool SetParaFormat(PARAFORMAT2& pf);
    bool Undo();
    bool Redo();
    void EmptyUndoBuffer();
    UINT SetUndoLimit(UINT nLimit);
    void Cut();
    void Copy();
    void Paste();
    void Clear();
    int GetLineCount() const;
    CUIString GetLine(int nIndex, int nMaxLength) const;
    int LineIndex(int nLine = -1) const;
    int LineLength(int nLine = -1) const;
    bool LineScroll(int nLines, int nChars = 0);
    long LineFromChar(long nIndex) const;
    CUIPoint PosFromChar(UINT nChar) const;
    int CharFromPos(CUIPoint pt) const;
    long StreamIn(int nFormat, EDITSTREAM& es);
    long StreamOut(int nFormat, EDITSTREAM& es);

    // ---- Scrolling, routed to the text services ----
    void SetScrollPos(SIZE szPos) override;
    void ScrollLineUp() override;
    void ScrollLineDown() override;
    void ScrollPageUp() override;
    void ScrollPageDown() override;
    void ScrollToTop() override;
    void ScrollToBottom() override;
    void ScrollLineLeft() override;
    void ScrollLineRight() override;
    void ScrollPageLeft() override;
    void ScrollPageRight() override;
    void ScrollToLeft() override;
    void ScrollToRight() override;

    // Every message to the text services passes here. A held-back Enter sends "return" and counts as
    // handled (S_OK); without text services the answer is S_FALSE.
    HRESULT TxSendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) const;
    // The text services' notifications (EN_*), passed on to the window as WM_NOTIFY where that applies.
    HRESULT OnTxNotify(DWORD iNotify, void* pv);

    void OnInit() override;
    void SetPos(RECT rc) override;
    void Paint(HDC hDC, const RECT& rcDirty) override;
    void HandleEvent(InputEventUI& event) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;

    // IMessageFilterUI: the window's messages that belong to this control go to the text services.
    LRESULT FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

protected:
    // The text area: the control less the inset and the visible bars.
    CUIRect TextArea() const;
    // Sends a scroll request to the text services (WM_VSCROLL or WM_HSCROLL).
    void SendScroll(UINT uMsg, WORD wRequest, int nPos = 0);
    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void ReleaseHost();

    CTxtWinHost* m_pTwh;
    bool m_bVScrollBarFixing;
    bool m_bWantTab;
    bool m_bWantReturn;
    bool m_bWantCtrlReturn;
    bool m_bRich;
    bool m_bReadOnly;
    bool m_bWordWrap;
    DWORD m_dwTextColor;
    int m_iFont;
    int m_iLimitText;
    LONG m_lTwhStyle;
    bool m_bInited;
    // The display scale the text's font was given for; a new one gives the text the font made for it.
    int m_nFontDpi;
    // An Enter key-down was held back; its character is held back too.
    mutable bool m_bReturnHeldBack;
};

} // namespace SkinUI
