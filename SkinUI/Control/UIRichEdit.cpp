// CRichEditUI: text operations, scrolling, placement and painting over the text services, and the
// filter that hands the window's messages to them.
#include "SkinUI/Control/UIRichEdit.h"

#include "SkinUI/Control/UITextHost.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

namespace SkinUI {

namespace {

bool IsMouseMessage(UINT uMsg)
{
    return uMsg >= WM_MOUSEFIRST && uMsg <= WM_MOUSELAST;
}

bool IsKeyMessage(UINT uMsg)
{
    return (uMsg >= WM_KEYFIRST && uMsg <= WM_KEYLAST) || uMsg == WM_CHAR || uMsg == WM_IME_CHAR;
}

} // namespace

// ---- The control ----

CRichEditUI::CRichEditUI()
    : m_pTwh(nullptr),
      m_bVScrollBarFixing(false),
      m_bWantTab(true),
      m_bWantReturn(true),
      m_bWantCtrlReturn(true),
      m_bRich(true),
      m_bReadOnly(false),
      m_bWordWrap(false),
      m_dwTextColor(0),
      m_iFont(-1),
      m_iLimitText(static_cast<int>(CTxtWinHost::kDefaultMaxLength)),
      m_lTwhStyle(ES_MULTILINE),
      m_bInited(false),
      m_nFontDpi(0),
      m_bReturnHeldBack(false)
{
}

CRichEditUI::~CRichEditUI()
{
    ReleaseHost();
}

void CRichEditUI::ReleaseHost()
{
    if (m_pTwh != nullptr) {
        CTxtWinHost* pHost = m_pTwh;
        m_pTwh = nullptr;
        pHost->Shutdown();
        pHost->Release();
    }
    if (m_pManager != nullptr)
        m_pManager->UnregisterMessageFilter(this);
}

CUIString CRichEditUI::GetClassName() const
{
    return "RichEditUI";
}

void* CRichEditUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr) {
        if (std::strcmp(pstrName, "RichEdit") == 0)
            return this;
        if (std::strcmp(pstrName, "WantTab") == 0)
            return static_cast<IWantTabUI*>(this);
    }
    return CContainerUI::GetInterface(pstrName);
}

UINT CRichEditUI::GetControlFlags() const
{
    if (!IsEnabled())
        return CContainerUI::GetControlFlags();
    return CONTROL_FLAG_SETCURSOR | CONTROL_FLAG_TABSTOP;
}

bool CRichEditUI::HasTextServices() const
{
    return m_pTwh != nullptr && m_pTwh->Services() != nullptr;
}

LRESULT CRichEditUI::Send(UINT uMsg, WPARAM wParam, LPARAM lParam) const
{
    LRESULT lResult = 0;
    TxSendMessage(uMsg, wParam, lParam, &lResult);
    return lResult;
}

// ---- Properties ----

bool CRichEditUI::IsWantTab() const
{
    return m_bWantTab;
}

void CRichEditUI::SetWantTab(bool bWantTab)
{
    m_bWantTab = bWantTab;
}

bool CRichEditUI::IsWantReturn() const
{
    return m_bWantReturn;
}

void CRichEditUI::SetWantReturn(bool bWantReturn)
{
    m_bWantReturn = bWantReturn;
}

bool CRichEditUI::IsWantCtrlReturn() const
{
    return m_bWantCtrlReturn;
}

void CRichEditUI::SetWantCtrlReturn(bool bWantCtrlReturn)
{
    m_bWantCtrlReturn = bWantCtrlReturn;
}

bool CRichEditUI::IsRich() const
{
    return m_bRich;
}

void CRichEditUI::SetRich(bool bRich)
{
    m_bRich = bRich;
    if (m_pTwh != nullptr)
        m_pTwh->SetRich(bRich);
}

bool CRichEditUI::IsReadOnly() const
{
    return m_bReadOnly;
}

void CRichEditUI::SetReadOnly(bool bReadOnly)
{
    m_bReadOnly = bReadOnly;
    if (m_pTwh != nullptr)
        m_pTwh->SetReadOnly(bReadOnly);
}

bool CRichEditUI::GetWordWrap() const
{
    return m_bWordWrap;
}

void CRichEditUI::SetWordWrap(bool bWordWrap)
{
    m_bWordWrap = bWordWrap;
    if (m_pTwh != nullptr)
        m_pTwh->SetWordWrap(bWordWrap);
}

int CRichEditUI::GetFont() const
{
    return m_iFont;
}

void CRichEditUI::SetFont(int iFont)
{
    m_iFont = iFont;
    if (m_pTwh != nullptr && m_pManager != nullptr)
        m_pTwh->SetFont(m_pManager->FontByIndex(iFont));
}

void CRichEditUI::SetFont(const char* pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic)
{
    if (m_pTwh == nullptr)
        return;
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    if (pStrFontName != nullptr) {
        const std::wstring strFace = GbkToWide(pStrFontName);
        ::lstrcpynW(lf.lfFaceName, strFace.c_str(), LF_FACESIZE);
    }
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -DpiScaled(nSize);
    lf.lfWeight = bBold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = bUnderline ? TRUE : FALSE;
    lf.lfItalic = bItalic ? TRUE : FALSE;
    const HFONT hFont = ::CreateFontIndirectW(&lf);
    if (hFont == nullptr)
        return;
    m_pTwh->SetFont(hFont); // the host keeps the format, not the font
    ::DeleteObject(hFont);
}

DWORD CRichEditUI::GetTextColor() const
{
    return m_dwTextColor;
}

void CRichEditUI::SetTextColor(DWORD dwTextColor)
{
    m_dwTextColor = dwTextColor;
    if (m_pTwh != nullptr)
        m_pTwh->SetColor(dwTextColor);
}

int CRichEditUI::GetLimitText() const
{
    return m_iLimitText;
}

void CRichEditUI::SetLimitText(int iChars)
{
    m_iLimitText = iChars;
    if (m_pTwh != nullptr)
        m_pTwh->SetMaxLength(static_cast<DWORD>(iChars < 0 ? 0 : iChars));
}

LONG CRichEditUI::GetWinStyle() const
{
    return m_lTwhStyle;
}

void CRichEditUI::SetWinStyle(LONG lStyle)
{
    m_lTwhStyle = lStyle;
}

// ---- Text ----

long CRichEditUI::GetTextLength(DWORD dwFlags) const
{
    GETTEXTLENGTHEX tl = {dwFlags, 1200}; // counted in UTF-16 units
    return static_cast<long>(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&tl), 0));
}

CUIString CRichEditUI::GetText() const
{
    if (!HasTextServices())
        return m_sText;
    // Line breaks as they were set: the text services keep a paragraph end as a lone CR and give CR LF
    // back only when asked to.
    const long nLength = GetTextLength(GTL_USECRLF);
    if (nLength <= 0)
        return CUIString();
    // Read as UTF-16 (code page 1200) and converted here, never through the system's code page.
    const DWORD cch = static_cast<DWORD>(nLength) + 1;
    std::unique_ptr<wchar_t[]> pBuffer(new wchar_t[cch]());
    GETTEXTEX gt = {static_cast<DWORD>(cch * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
    Send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&gt), reinterpret_cast<LPARAM>(pBuffer.get()));
    pBuffer[cch - 1] = L'\0';
    return WideToGbk(pBuffer.get());
}

void CRichEditUI::SetText(const char* pstrText)
{
    m_sText = pstrText;
    if (!HasTextServices())
        return;
    SetSel(0, -1);
    ReplaceSel(pstrText, false);
}

bool CRichEditUI::GetModify() const
{
    return Send(EM_GETMODIFY) != 0;
}

void CRichEditUI::SetModify(bool bModified) const
{
    Send(EM_SETMODIFY, bModified ? TRUE : FALSE);
}

void CRichEditUI::GetSel(CHARRANGE& cr) const
{
    cr = CHARRANGE{0, 0};
    Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr));
}

void CRichEditUI::GetSel(long& nStartChar, long& nEndChar) const
{
    CHARRANGE cr;
    GetSel(cr);
    nStartChar = cr.cpMin;
    nEndChar = cr.cpMax;
}

int CRichEditUI::SetSel(CHARRANGE& cr)
{
    return static_cast<int>(Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr)));
}

int CRichEditUI::SetSel(long nStartChar, long nEndChar)
{
    CHARRANGE cr = {nStartChar, nEndChar};
    return SetSel(cr);
}

int CRichEditUI::SetSelAll()
{
    return SetSel(0, -1);
}

int CRichEditUI::SetSelNone()
{
    return SetSel(-1, 0);
}

void CRichEditUI::ReplaceSel(const char* pstrText, bool bCanUndo)
{
    const std::wstring sText = GbkToWide(pstrText);
    ReplaceSelW(sText.c_str(), bCanUndo);
}

void CRichEditUI::ReplaceSelW(LPCWSTR lpszText, bool bCanUndo)
{
    Send(EM_REPLACESEL, bCanUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(lpszText != nullptr ? lpszText : L""));
}

CUIString CRichEditUI::GetSelText() const
{
    CHARRANGE cr;
    GetSel(cr);
    const long nLength = cr.cpMax - cr.cpMin;
    if (nLength <= 0)
        return CUIString();
    std::unique_ptr<WCHAR[]> pBuffer(new WCHAR[static_cast<size_t>(nLength) + 1]());
    const LRESULT n = Send(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(pBuffer.get()));
    return WideToGbk(pBuffer.get(), static_cast<int>(n < 0 ? 0 : (n > nLength ? nLength : n)));
}

WORD CRichEditUI::GetSelectionType() const
{
    return static_cast<WORD>(Send(EM_SELECTIONTYPE));
}

bool CRichEditUI::GetZoom(int& nNum, int& nDen) const
{
    nNum = 0;
    nDen = 0;
    return Send(EM_GETZOOM, reinterpret_cast<WPARAM>(&nNum), reinterpret_cast<LPARAM>(&nDen)) != 0;
}

bool CRichEditUI::SetZoom(int nNum, int nDen)
{
    if (nNum < 0 || nNum > 64 || nDen < 0 || nDen > 64)
        return false;
    return Send(EM_SETZOOM, static_cast<WPARAM>(nNum), static_cast<LPARAM>(nDen)) != 0;
}

bool CRichEditUI::SetZoomOff()
{
    return Send(EM_SETZOOM, 0, 0) != 0;
}

bool CRichEditUI::GetAutoURLDetect() const
{
    return Send(EM_GETAUTOURLDETECT) != 0;
}

bool CRichEditUI::SetAutoURLDetect(bool bAutoDetect)
{
    return Send(EM_AUTOURLDETECT, bAutoDetect ? TRUE : FALSE) == 0;
}

DWORD CRichEditUI::GetEventMask() const
{
    return static_cast<DWORD>(Send(EM_GETEVENTMASK));
}

DWORD CRichEditUI::SetEventMask(DWORD dwEventMask)
{
    return static_cast<DWORD>(Send(EM_SETEVENTMASK, 0, static_cast<LPARAM>(dwEventMask)));
}

CUIString CRichEditUI::GetTextRange(long nStartChar, long nEndChar) const
{
    const long nLength = nEndChar - nStartChar;
    if (nStartChar < 0 || nLength <= 0)
        return CUIString();
    std::unique_ptr<WCHAR[]> pBuffer(new WCHAR[static_cast<size_t>(nLength) + 1]());
    TEXTRANGEW tr = {{nStartChar, nEndChar}, pBuffer.get()};
    const LRESULT n = Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr));
    return WideToGbk(pBuffer.get(), static_cast<int>(n < 0 ? 0 : (n > nLength ? nLength : n)));
}

void CRichEditUI::HideSelection(bool bHide, bool bChangeStyle)
{
    Send(EM_HIDESELECTION, bHide ? TRUE : FALSE, bChangeStyle ? TRUE : FALSE);
}

void CRichEditUI::ScrollCaret()
{
    Send(EM_SCROLLCARET);
}

int CRichEditUI::InsertText(long nInsertAfterChar, const char* pstrText, bool bCanUndo)
{
    const int nResult = SetSel(nInsertAfterChar, nInsertAfterChar);
    ReplaceSel(pstrText, bCanUndo);
    return nResult;
}

int CRichEditUI::AppendText(const char* pstrText, bool bCanUndo)
{
    const int nResult = SetSel(-1, -1);
    ReplaceSel(pstrText, bCanUndo);
    return nResult;
}

DWORD CRichEditUI::GetDefaultCharFormat(CHARFORMAT2W& cf) const
{
    cf.cbSize = sizeof(cf);
    return static_cast<DWORD>(Send(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)));
}

bool CRichEditUI::SetDefaultCharFormat(CHARFORMAT2W& cf)
{
    if (!HasTextServices())
        return false;
    cf.cbSize = sizeof(cf);
    if (Send(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)) == 0)
        return false;
    CHARFORMAT2W cfNew = {};
    GetDefaultCharFormat(cfNew);
    m_pTwh->SetCharFormat(cfNew);
    return true;
}

DWORD CRichEditUI::GetSelectionCharFormat(CHARFORMAT2W& cf) const
{
    cf.cbSize = sizeof(cf);
    return static_cast<DWORD>(Send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)));
}

bool CRichEditUI::SetSelectionCharFormat(CHARFORMAT2W& cf)
{
    cf.cbSize = sizeof(cf);
    return Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)) != 0;
}

bool CRichEditUI::SetWordCharFormat(CHARFORMAT2W& cf)
{
    cf.cbSize = sizeof(cf);
    return Send(EM_SETCHARFORMAT, SCF_SELECTION | SCF_WORD, reinterpret_cast<LPARAM>(&cf)) != 0;
}

DWORD CRichEditUI::GetParaFormat(PARAFORMAT2& pf) const
{
    pf.cbSize = sizeof(pf);
    return static_cast<DWORD>(Send(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)));
}

bool CRichEditUI::SetParaFormat(PARAFORMAT2& pf)
{
    if (!HasTextServices())
        return false;
    pf.cbSize = sizeof(pf);
    if (Send(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)) == 0)
        return false;
    m_pTwh->SetParaFormat(pf);
    return true;
}

bool CRichEditUI::Undo()
{
    return Send(EM_UNDO) != 0;
}

bool CRichEditUI::Redo()
{
    return Send(EM_REDO) != 0;
}

void CRichEditUI::EmptyUndoBuffer()
{
    Send(EM_EMPTYUNDOBUFFER);
}

UINT CRichEditUI::SetUndoLimit(UINT nLimit)
{
    return static_cast<UINT>(Send(EM_SETUNDOLIMIT, nLimit));
}

void CRichEditUI::Cut()
{
    Send(WM_CUT);
}

void CRichEditUI::Copy()
{
    Send(WM_COPY);
}

void CRichEditUI::Paste()
{
    Send(WM_PASTE);
}

void CRichEditUI::Clear()
{
    Send(WM_CLEAR);
}

int CRichEditUI::GetLineCount() const
{
    return static_cast<int>(Send(EM_GETLINECOUNT));
}

CUIString CRichEditUI::GetLine(int nIndex, int nMaxLength) const
{
    if (nMaxLength <= 0)
        return CUIString();
    // The first word of the buffer carries its size in characters.
    std::unique_ptr<WCHAR[]> pBuffer(new WCHAR[static_cast<size_t>(nMaxLength < 2 ? 2 : nMaxLength) + 1]());
    pBuffer[0] = static_cast<WCHAR>(nMaxLength > 0xFFFF ? 0xFFFF : nMaxLength);
    const LRESULT n = Send(EM_GETLINE, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(pBuffer.get()));
    return WideToGbk(pBuffer.get(), static_cast<int>(n < 0 ? 0 : (n > nMaxLength ? nMaxLength : n)));
}

int CRichEditUI::LineIndex(int nLine) const
{
    return static_cast<int>(Send(EM_LINEINDEX, static_cast<WPARAM>(nLine)));
}

int CRichEditUI::LineLength(int nLine) const
{
    return static_cast<int>(Send(EM_LINELENGTH, static_cast<WPARAM>(nLine)));
}

bool CRichEditUI::LineScroll(int nLines, int nChars)
{
    return Send(EM_LINESCROLL, static_cast<WPARAM>(nChars), static_cast<LPARAM>(nLines)) != 0;
}

long CRichEditUI::LineFromChar(long nIndex) const
{
    return static_cast<long>(Send(EM_EXLINEFROMCHAR, 0, static_cast<LPARAM>(nIndex)));
}

CUIPoint CRichEditUI::PosFromChar(UINT nChar) const
{
    POINTL pt = {0, 0};
    Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), static_cast<LPARAM>(nChar));
    return CUIPoint(pt.x, pt.y);
}

int CRichEditUI::CharFromPos(CUIPoint pt) const
{
    POINTL ptl = {pt.x, pt.y};
    return static_cast<int>(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&ptl)));
}

long CRichEditUI::StreamIn(int nFormat, EDITSTREAM& es)
{
    return static_cast<long>(Send(EM_STREAMIN, static_cast<WPARAM>(nFormat), reinterpret_cast<LPARAM>(&es)));
}

long CRichEditUI::StreamOut(int nFormat, EDITSTREAM& es)
{
    return static_cast<long>(Send(EM_STREAMOUT, static_cast<WPARAM>(nFormat), reinterpret_cast<LPARAM>(&es)));
}

// ---- Scrolling ----

void CRichEditUI::SendScroll(UINT uMsg, WORD wRequest, int nPos)
{
    Send(uMsg, MAKEWPARAM(wRequest, static_cast<WORD>(nPos < 0 ? 0 : (nPos > 0xFFFF ? 0xFFFF : nPos))), 0);
}

void CRichEditUI::SetScrollPos(SIZE szPos)
{
    if (VisibleVerticalBar() != nullptr)
        SendScroll(WM_VSCROLL, SB_THUMBPOSITION, szPos.cy);
    if (VisibleHorizontalBar() != nullptr)
        SendScroll(WM_HSCROLL, SB_THUMBPOSITION, szPos.cx);
}

void CRichEditUI::ScrollLineUp()
{
    SendScroll(WM_VSCROLL, SB_LINEUP);
}

void CRichEditUI::ScrollLineDown()
{
    SendScroll(WM_VSCROLL, SB_LINEDOWN);
}

void CRichEditUI::ScrollPageUp()
{
    SendScroll(WM_VSCROLL, SB_PAGEUP);
}

void CRichEditUI::ScrollPageDown()
{
    SendScroll(WM_VSCROLL, SB_PAGEDOWN);
}

void CRichEditUI::ScrollToTop()
{
    SendScroll(WM_VSCROLL, SB_TOP);
}

void CRichEditUI::ScrollToBottom()
{
    SendScroll(WM_VSCROLL, SB_BOTTOM);
}

void CRichEditUI::ScrollLineLeft()
{
    SendScroll(WM_HSCROLL, SB_LINELEFT);
}

void CRichEditUI::ScrollLineRight()
{
    SendScroll(WM_HSCROLL, SB_LINERIGHT);
}

void CRichEditUI::ScrollPageLeft()
{
    SendScroll(WM_HSCROLL, SB_PAGELEFT);
}

void CRichEditUI::ScrollPageRight()
{
    SendScroll(WM_HSCROLL, SB_PAGERIGHT);
}

void CRichEditUI::ScrollToLeft()
{
    SendScroll(WM_HSCROLL, SB_LEFT);
}

void CRichEditUI::ScrollToRight()
{
    SendScroll(WM_HSCROLL, SB_RIGHT);
}

// ---- The text services' entry points ----

HRESULT CRichEditUI::TxSendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) const
{
    if (!HasTextServices())
        return S_FALSE;
    if (uMsg == WM_KEYDOWN) {
        m_bReturnHeldBack = false;
        if (wParam == VK_RETURN && (!m_bWantReturn || (::GetKeyState(VK_CONTROL) < 0 && !m_bWantCtrlReturn))) {
            m_bReturnHeldBack = true;
            if (m_pManager != nullptr)
                m_pManager->SendNotify(const_cast<CRichEditUI*>(this), "return");
            return S_OK;
        }
    } else if (uMsg == WM_CHAR && m_bReturnHeldBack && (wParam == '\r' || wParam == '\n')) {
        // The character the keyboard makes of a held-back Enter (CR) or Ctrl+Enter (LF) is held back too:
        // text services that break the line on the character rather than on the key would insert it.
        m_bReturnHeldBack = false;
        return S_OK;
    }
    return m_pTwh->Services()->TxSendMessage(uMsg, wParam, lParam, plResult);
}

HRESULT CRichEditUI::OnTxNotify(DWORD iNotify, void* pv)
{
    // The answers to the notifications that are not passed on to the window.
    switch (iNotify) {
    case EN_REQUESTRESIZE:
    case EN_CORRECTTEXT:
    case EN_IMECHANGE:
        return S_OK;
    default:
        break;
    }
    if (iNotify < EN_MSGFILTER || iNotify > EN_DRAGDROPDONE || pv == nullptr || m_pManager == nullptr)
        return S_OK;
    const HWND hWnd = m_pManager->GetHostWindow();
    if (hWnd == nullptr)
        return S_OK;
    auto* pHeader = static_cast<NMHDR*>(pv);
    const UINT_PTR uId = static_cast<UINT_PTR>(::GetWindowLongPtrW(hWnd, GWLP_ID));
    pHeader->hwndFrom = hWnd;
    pHeader->idFrom = uId;
    pHeader->code = iNotify;
    return static_cast<HRESULT>(
        ::SendMessageW(hWnd, WM_NOTIFY, static_cast<WPARAM>(uId), reinterpret_cast<LPARAM>(pv)));
}

// ---- Life cycle, placement and painting ----

void CRichEditUI::OnInit()
{
    if (m_bInited)
        return;
    auto* pHost = new CTxtWinHost;
    // The text is drawn over the control's own layers and whatever lies beneath it: no background of its own.
    if (!pHost->Init(this, m_lTwhStyle, m_sText, true)) {
        pHost->Shutdown();
        pHost->Release();
    } else {
        m_pTwh = pHost;
        LRESULT lResult = 0;
        m_pTwh->Services()->TxSendMessage(EM_SETLANGOPTIONS, 0, 0, &lResult);
        m_pTwh->SetMaxLength(static_cast<DWORD>(m_iLimitText < 0 ? 0 : m_iLimitText));
        m_pTwh->Activate(TextArea());
        if (m_pManager != nullptr) {
            m_nFontDpi = m_pManager->GetDpi();
            m_pManager->RegisterMessageFilter(this);
        }
    }
    m_bInited = true;
}

CUIRect CRichEditUI::TextArea() const
{
    return GetClientArea();
}

void CRichEditUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    const CUIRect rcText = TextArea();
    CScrollBarUI* pVertical = GetVerticalScrollBar();
    const bool bVerticalWasVisible = VisibleVerticalBar() != nullptr;
    if (HasTextServices() && m_pManager != nullptr && m_pManager->GetDpi() != m_nFontDpi) {
        // Laid out at a new display scale: the text takes its font as made for it (a font given by name
        // and size gives way to the control's font).
        m_nFontDpi = m_pManager->GetDpi();
        m_pTwh->SetFont(m_pManager->FontByIndex(m_iFont));
    }
    if (HasTextServices()) {
        m_pTwh->SetClientRect(rcText);
        if (bVerticalWasVisible && (!pVertical->IsVisible() || m_bVScrollBarFixing)) {
            // Whether the text needs the bar at the width it has with the bar: measured, not guessed.
            LONG lWidth = rcText.Width() + DpiScaled(pVertical->GetFixedWidth());
            LONG lHeight = 0;
            SIZEL szExtent = {-1, -1};
            HDC hDC = m_pManager != nullptr ? m_pManager->GetHostDC() : nullptr;
            const HDC hMemDC = hDC == nullptr ? ::CreateCompatibleDC(nullptr) : nullptr;
            m_pTwh->Services()->TxGetNaturalSize(DVASPECT_CONTENT, hDC != nullptr ? hDC : hMemDC, nullptr, nullptr,
                                                 TXTNS_FITTOCONTENT, &szExtent, &lWidth, &lHeight);
            if (hMemDC != nullptr)
                ::DeleteDC(hMemDC);
            if (lHeight > rcText.Height()) {
                pVertical->SetVisible(true);
                pVertical->SetScrollPos(0);
                m_bVScrollBarFixing = true;
            } else if (m_bVScrollBarFixing) {
                pVertical->SetVisible(false);
                m_bVScrollBarFixing = false;
            }
        }
    }
    if (CScrollBarUI* pBar = VisibleVerticalBar())
        pBar->SetPos(CUIRect(rcText.right, rcText.top, rcText.right + DpiScaled(pBar->GetFixedWidth()), rcText.bottom));
    if (CScrollBarUI* pBar = VisibleHorizontalBar())
        pBar->SetPos(
            CUIRect(rcText.left, rcText.bottom, rcText.right, rcText.bottom + DpiScaled(pBar->GetFixedHeight())));
    for (int i = 0; i < m_items.Count(); ++i) {
        auto* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat())
            PlaceFloatChild(i);
        else
            pControl->SetPos(rcText);
    }
}

void CRichEditUI::Paint(HDC hDC, const RECT& rcDirty)
{
    RECT rcPaint;
    if (!::IntersectRect(&rcPaint, &rcDirty, &m_rcPos))
        return;
    CUIRenderClip clip;
    CUIRenderClip::ClipToRect(hDC, rcPaint, clip);
    CControlUI::Paint(hDC, rcDirty);
    RECT rcTextPaint;
    if (HasTextServices() && ::IntersectRect(&rcTextPaint, &rcPaint, &m_pTwh->ClientRect())) {
        // Clipped to the text area: text services may draw a line that does not fit on to its full length
        // (Wine's do), and it would show through the scroll bars and the inset.
        CUIRenderClip textClip;
        CUIRenderClip::ClipToRect(hDC, rcTextPaint, textClip);
        const CUIRect& rcClient = m_pTwh->ClientRect();
        RECTL rcBounds = {rcClient.left, rcClient.top, rcClient.right, rcClient.bottom};
        m_pTwh->Services()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, hDC, nullptr, &rcBounds, nullptr,
                                   &rcTextPaint, nullptr, 0, TXTVIEW_ACTIVE);
    }
    PaintChildren(hDC, rcDirty);
    for (CScrollBarUI* pBar : {VisibleVerticalBar(), VisibleHorizontalBar()}) {
        RECT rcTemp;
        if (pBar != nullptr && ::IntersectRect(&rcTemp, &rcDirty, &pBar->GetPos()))
            pBar->Paint(hDC, rcDirty);
    }
}

// ---- Input ----

void CRichEditUI::HandleEvent(InputEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEventKind(event.nKind)) {
        if (m_pParent != nullptr)
            m_pParent->HandleEvent(event);
        else
            CContainerUI::HandleEvent(event);
        return;
    }
    switch (event.nKind) {
    case UIEV_SETCURSOR:
        if (IsEnabled() && HasTextServices()) {
            const CUIRect& rc = m_pTwh->ClientRect();
            if (m_pTwh->Services()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &rc,
                                                  event.ptMouse.x, event.ptMouse.y) == S_OK)
                return;
        }
        break;
    case UIEV_SETFOCUS:
    case UIEV_KILLFOCUS:
        if (HasTextServices()) {
            LRESULT lResult = 0;
            m_pTwh->Services()->TxSendMessage(event.nKind == UIEV_SETFOCUS ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0,
                                              &lResult);
        }
        m_bFocused = event.nKind == UIEV_SETFOCUS;
        Invalidate();
        return;
    case UIEV_TIMER:
        if (HasTextServices()) {
            LRESULT lResult = 0;
            m_pTwh->Services()->TxSendMessage(WM_TIMER, event.wParam, event.lParam, &lResult);
        }
        return;
    case UIEV_SCROLLWHEEL:
        if ((event.wKeyState & MK_CONTROL) != 0)
            return; // the window's own wheel message reaches the text services (zoom)
        break;
    case UIEV_BUTTONDOWN:
    case UIEV_DBLCLICK:
    case UIEV_MOUSEMOVE:
    case UIEV_BUTTONUP:
    case UIEV_MOUSEENTER:
    case UIEV_MOUSELEAVE:
    case UIEV_KEYDOWN:
    case UIEV_KEYUP:
    case UIEV_CHAR:
        return; // the message filter gives the window's own messages to the text services
    default:
        break;
    }
    CContainerUI::HandleEvent(event);
}

LRESULT CRichEditUI::FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (!HasTextServices() || m_pManager == nullptr || !IsVisible() || !IsEnabled())
        return 0;
    const bool bMouse = IsMouseMessage(uMsg);
    if (bMouse && !IsMouseEnabled())
        return 0;
    if (uMsg == WM_MOUSEWHEEL && (LOWORD(wParam) & MK_CONTROL) == 0)
        return 0;

    bool bWasHandled = true;
    if (bMouse || uMsg == WM_SETCURSOR) {
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!m_pTwh->IsCaptured()) {
            switch (uMsg) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDOWN:
            case WM_RBUTTONUP:
                // A press meant for a control above this one (or one of its bars) is not the text's.
                if (m_pManager->FindControlAt(pt) != this)
                    return 0;
                break;
            default:
                break;
            }
            if (uMsg == WM_SETCURSOR) {
                ::GetCursorPos(&pt);
                ::ScreenToClient(m_pManager->GetHostWindow(), &pt);
            } else if (uMsg == WM_MOUSEWHEEL) {
                ::ScreenToClient(m_pManager->GetHostWindow(), &pt);
            }
            const CUIRect& rc = m_pTwh->ClientRect();
            if (!::PtInRect(&rc, pt) || m_pManager->IsMouseCaptured())
                return 0;
        }
        if (uMsg == WM_SETCURSOR)
            bWasHandled = false;
        else if (uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK || uMsg == WM_RBUTTONDOWN)
            SetFocus();
    } else if (IsKeyMessage(uMsg)) {
        if (!IsFocused())
            return 0;
    } else if (uMsg == WM_CONTEXTMENU) {
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ScreenToClient(m_pManager->GetHostWindow(), &pt);
        if (m_pManager->FindControlAt(pt) != this)
            return 0;
    } else if (uMsg == WM_HELP) {
        bWasHandled = false;
    } else {
        return 0;
    }

    LRESULT lResult = 0;
    const HRESULT hr = TxSendMessage(uMsg, wParam, lParam, &lResult);
    if (hr == S_OK)
        bHandled = bWasHandled;
    else if (IsKeyMessage(uMsg))
        bHandled = bWasHandled;
    else if (bMouse && m_pTwh != nullptr && m_pTwh->IsCaptured())
        bHandled = bWasHandled;
    return lResult;
}

// ---- Attributes ----

void CRichEditUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    const auto is = [pstrName](const char* pstrKey) { return std::strcmp(pstrName, pstrKey) == 0; };
    const bool bTrue = std::strcmp(pstrValue, "true") == 0;
    if (is("vscrollbar")) {
        if (bTrue)
            m_lTwhStyle |= ES_DISABLENOSCROLL | WS_VSCROLL;
        CContainerUI::ApplyAttribute(pstrName, pstrValue);
    } else if (is("autovscroll")) {
        if (bTrue)
            m_lTwhStyle |= ES_AUTOVSCROLL;
    } else if (is("hscrollbar")) {
        if (bTrue)
            m_lTwhStyle |= ES_DISABLENOSCROLL | WS_HSCROLL;
        CContainerUI::ApplyAttribute(pstrName, pstrValue);
    } else if (is("autohscroll")) {
        if (bTrue)
            m_lTwhStyle |= ES_AUTOHSCROLL;
    } else if (is("wanttab")) {
        SetWantTab(bTrue);
    } else if (is("wantreturn")) {
        SetWantReturn(bTrue);
    } else if (is("wantctrlreturn")) {
        SetWantCtrlReturn(bTrue);
    } else if (is("rich")) {
        SetRich(bTrue);
    } else if (is("multiline")) {
        if (std::strcmp(pstrValue, "false") == 0)
            m_lTwhStyle &= ~ES_MULTILINE;
    } else if (is("readonly")) {
        if (bTrue) {
            m_lTwhStyle |= ES_READONLY;
            m_bReadOnly = true;
        }
    } else if (is("password")) {
        if (bTrue)
            m_lTwhStyle |= ES_PASSWORD;
    } else if (is("align")) {
        if (std::strstr(pstrValue, "left") != nullptr) {
            m_lTwhStyle &= ~(ES_CENTER | ES_RIGHT);
        } else if (std::strstr(pstrValue, "center") != nullptr) {
            m_lTwhStyle &= ~(ES_CENTER | ES_RIGHT);
            m_lTwhStyle |= ES_CENTER;
        } else if (std::strstr(pstrValue, "right") != nullptr) {
            m_lTwhStyle &= ~(ES_CENTER | ES_RIGHT);
            m_lTwhStyle |= ES_RIGHT;
        }
    } else if (is("font")) {
        SetFont(ParseInt(pstrValue));
    } else if (is("textcolor")) {
        const char* p = pstrValue;
        while (*p == ' ' || *p == '\t')
            ++p;
        SetTextColor(ParseColor(p));
    } else {
        CContainerUI::ApplyAttribute(pstrName, pstrValue);
    }
}

} // namespace SkinUI
