// CTxtWinHost: the answers to the text services and the mapping of their requests.
#include "SkinUI/Control/UITextHost.h"

#include "SkinUI/Control/UIRichEdit.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <climits>
#include <cwchar>

namespace SkinUI {

namespace {

// The interfaces are looked up by these identifiers; the platform's import libraries do not carry them.
constexpr IID kIidITextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
constexpr IID kIidITextHost = {0xc5bdd8d0, 0xd26e, 0x11ce, {0xa8, 0x9e, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};

constexpr LONG kDefaultTab = 720; // twips: half an inch
constexpr LONG kHimetricPerInch = 2540;
constexpr LONG kTwipsPerInch = 1440;

int ScreenLogPixels(int nIndex)
{
    const HDC hDC = ::GetDC(nullptr);
    const int n = hDC != nullptr ? ::GetDeviceCaps(hDC, nIndex) : 96;
    if (hDC != nullptr)
        ::ReleaseDC(nullptr, hDC);
    return n > 0 ? n : 96;
}

COLORREF ToColorRef(DWORD dwArgb)
{
    return RGB((dwArgb >> 16) & 0xFF, (dwArgb >> 8) & 0xFF, dwArgb & 0xFF);
}

} // namespace

CPaintManagerUI* CTxtWinHost::Manager() const
{
    return m_pOwner != nullptr ? m_pOwner->GetManager() : nullptr;
}

HWND CTxtWinHost::Window() const
{
    CPaintManagerUI* pManager = Manager();
    return pManager != nullptr ? pManager->GetHostWindow() : nullptr;
}

CTxtWinHost::~CTxtWinHost()
{
    Shutdown();
}

void CTxtWinHost::Shutdown()
{
    m_pOwner = nullptr;
    if (m_pServices != nullptr) {
        ITextServices* pServices = m_pServices;
        m_pServices = nullptr;
        if (m_bInPlaceActive)
            pServices->OnTxInPlaceDeactivate();
        m_bInPlaceActive = false;
        ReleaseServices(pServices);
    }
}

void CTxtWinHost::ReleaseServices(IUnknown* pServices)
{
    // Whether text services release their host when they go is not documented (Wine's do not). They are
    // handed a reference of their own, so that this host outlives the call either way, and it is given
    // back here when they did not drop it themselves.
    const ULONG cBefore = m_cRefs;
    pServices->Release();
    if (m_bServicesHoldRef && m_cRefs == cBefore)
        Release();
    m_bServicesHoldRef = false;
}

bool CTxtWinHost::Init(CRichEditUI* pOwner, LONG lStyle, const char* pstrText, bool bTransparent)
{
    m_pOwner = pOwner;
    // Known before the text services exist: they ask for the background style when they are created, and
    // some (Wine's) never ask again, ignoring a later background-style change, so that they would keep
    // filling the text area with the window colour over everything painted beneath the control.
    m_bTransparent = bTransparent;
    CPaintManagerUI* pManager = Manager();
    HFONT hFont = nullptr;
    if (pManager != nullptr) {
        hFont = pManager->FontByIndex(pOwner->GetFont());
        if (hFont == nullptr && pManager->GetBaseFont() != nullptr)
            hFont = pManager->GetBaseFont()->handle;
    }
    InitCharFormat(hFont);
    m_cf.crTextColor = ToColorRef(pOwner->GetTextColor());

    m_pf.cbSize = sizeof(m_pf);
    m_pf.dwMask = PFM_ALL;
    m_pf.wAlignment = PFA_LEFT;
    m_pf.cTabCount = 1;
    m_pf.rgxTabs[0] = kDefaultTab;

    m_dwStyle = static_cast<DWORD>(lStyle);
    m_bWordWrap = (m_dwStyle & (ES_AUTOHSCROLL | WS_HSCROLL)) == 0;
    if ((m_dwStyle & ES_CENTER) != 0)
        m_pf.wAlignment = PFA_CENTER;
    else if ((m_dwStyle & ES_RIGHT) != 0)
        m_pf.wAlignment = PFA_RIGHT;
    m_bReadOnly = (m_dwStyle & ES_READONLY) != 0;
    m_bRich = pOwner->IsRich();

    // Loaded by full path from the system folder, never by a bare name (see SystemLibrary.h).
    m_pLibrary = std::make_unique<CUISystemLibrary>("msftedit.dll");
    const auto pfnCreate = m_pLibrary->Proc<PCreateTextServices>("CreateTextServices");
    if (pfnCreate == nullptr)
        return false;
    IUnknown* pUnknown = nullptr;
    AddRef(); // the text services' reference (see ReleaseServices)
    m_bServicesHoldRef = true;
    if (FAILED(pfnCreate(nullptr, this, &pUnknown)) || pUnknown == nullptr) {
        m_bServicesHoldRef = false;
        Release();
        return false;
    }
    void* pServices = nullptr;
    const HRESULT hr = pUnknown->QueryInterface(kIidITextServices, &pServices);
    if (FAILED(hr) || pServices == nullptr) {
        ReleaseServices(pUnknown);
        return false;
    }
    pUnknown->Release();
    m_pServices = static_cast<ITextServices*>(pServices);
    if (pstrText != nullptr && *pstrText != '\0') {
        const std::wstring sText = GbkToWide(pstrText);
        m_pServices->TxSetText(sText.c_str());
    }
    return true;
}

void CTxtWinHost::InitCharFormat(HFONT hFont)
{
    LOGFONTW lf = {};
    if (hFont == nullptr || ::GetObjectW(hFont, sizeof(lf), &lf) == 0)
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    const COLORREF crColor = m_cf.crTextColor;
    m_cf = CHARFORMAT2W{};
    m_cf.cbSize = sizeof(m_cf);
    const LONG lHeight = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    m_cf.yHeight = ::MulDiv(lHeight, kTwipsPerInch, ScreenLogPixels(LOGPIXELSY));
    m_cf.yOffset = 0;
    m_cf.crTextColor = crColor;
    m_cf.dwEffects = 0;
    if (lf.lfWeight >= FW_BOLD)
        m_cf.dwEffects |= CFE_BOLD;
    if (lf.lfItalic != 0)
        m_cf.dwEffects |= CFE_ITALIC;
    if (lf.lfUnderline != 0)
        m_cf.dwEffects |= CFE_UNDERLINE;
    m_cf.bCharSet = lf.lfCharSet;
    m_cf.bPitchAndFamily = lf.lfPitchAndFamily;
    std::wcsncpy(m_cf.szFaceName, lf.lfFaceName, LF_FACESIZE - 1);
    m_cf.dwMask = CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
}

bool CTxtWinHost::Activate(const RECT& rc)
{
    if (m_pServices == nullptr)
        return false;
    SetClientRect(rc);
    // Given the rectangle explicitly: some text services lay the text out against an empty area until
    // their first drawing otherwise, and would report wrong line counts and scroll ranges until then.
    m_bInPlaceActive = SUCCEEDED(m_pServices->OnTxInPlaceActivate(&m_rcClient));
    return m_bInPlaceActive;
}

void CTxtWinHost::SetClientRect(const RECT& rc)
{
    m_rcClient = rc;
    m_sizelExtent.cx = ::MulDiv(m_rcClient.Width(), kHimetricPerInch, ScreenLogPixels(LOGPIXELSX));
    m_sizelExtent.cy = ::MulDiv(m_rcClient.Height(), kHimetricPerInch, ScreenLogPixels(LOGPIXELSY));
    if (m_pServices != nullptr)
        m_pServices->OnTxPropertyBitsChange(TXTBIT_CLIENTRECTCHANGE | TXTBIT_EXTENTCHANGE,
                                            TXTBIT_CLIENTRECTCHANGE | TXTBIT_EXTENTCHANGE);
}

void CTxtWinHost::PropertyChanged(DWORD dwMask, bool bSet)
{
    if (m_pServices != nullptr)
        m_pServices->OnTxPropertyBitsChange(dwMask, bSet ? dwMask : 0);
}

void CTxtWinHost::SetTransparent(bool bTransparent)
{
    m_bTransparent = bTransparent;
    PropertyChanged(TXTBIT_BACKSTYLECHANGE, false);
}

void CTxtWinHost::SetRich(bool bRich)
{
    m_bRich = bRich;
    PropertyChanged(TXTBIT_RICHTEXT, bRich);
}

void CTxtWinHost::SetReadOnly(bool bReadOnly)
{
    m_bReadOnly = bReadOnly;
    if (bReadOnly)
        m_dwStyle |= ES_READONLY;
    else
        m_dwStyle &= ~static_cast<DWORD>(ES_READONLY);
    PropertyChanged(TXTBIT_READONLY, bReadOnly);
}

void CTxtWinHost::SetWordWrap(bool bWordWrap)
{
    m_bWordWrap = bWordWrap;
    PropertyChanged(TXTBIT_WORDWRAP, bWordWrap);
}

void CTxtWinHost::SetFont(HFONT hFont)
{
    if (hFont == nullptr)
        return;
    InitCharFormat(hFont);
    PropertyChanged(TXTBIT_CHARFORMATCHANGE, true);
}

void CTxtWinHost::SetColor(DWORD dwArgb)
{
    m_cf.crTextColor = ToColorRef(dwArgb);
    PropertyChanged(TXTBIT_CHARFORMATCHANGE, true);
}

void CTxtWinHost::SetMaxLength(DWORD dwLength)
{
    m_dwMaxLength = dwLength;
    PropertyChanged(TXTBIT_MAXLENGTHCHANGE, true);
}

void CTxtWinHost::SetCharFormat(const CHARFORMAT2W& cf)
{
    m_cf = cf;
    m_cf.cbSize = sizeof(m_cf);
}

void CTxtWinHost::SetParaFormat(const PARAFORMAT2& pf)
{
    m_pf = pf;
    m_pf.cbSize = sizeof(m_pf);
}

HRESULT STDMETHODCALLTYPE CTxtWinHost::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == nullptr)
        return E_POINTER;
    if (::IsEqualIID(riid, IID_IUnknown) || ::IsEqualIID(riid, kIidITextHost)) {
        AddRef();
        *ppvObject = static_cast<ITextHost*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::AddRef()
{
    return ++m_cRefs;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::Release()
{
    const ULONG c = --m_cRefs;
    if (c == 0)
        delete this;
    return c;
}

HDC CTxtWinHost::TxGetDC()
{
    CPaintManagerUI* pManager = Manager();
    return pManager != nullptr ? pManager->GetHostDC() : nullptr;
}

INT CTxtWinHost::TxReleaseDC(HDC /*hdc*/)
{
    return 1; // the manager's device context is not ours to release
}

void CTxtWinHost::ShowBar(CScrollBarUI* pBar, bool bShow)
{
    if (pBar == nullptr || pBar->IsVisible() == bShow)
        return;
    pBar->SetVisible(bShow);
    if (m_pOwner != nullptr)
        m_pOwner->RequestLayout();
}

WINBOOL CTxtWinHost::TxShowScrollBar(INT fnBar, WINBOOL fShow)
{
    if (m_pOwner == nullptr)
        return FALSE;
    if (fnBar == SB_VERT || fnBar == SB_BOTH)
        ShowBar(m_pOwner->GetVerticalScrollBar(), fShow != FALSE);
    if (fnBar == SB_HORZ || fnBar == SB_BOTH)
        ShowBar(m_pOwner->GetHorizontalScrollBar(), fShow != FALSE);
    return TRUE;
}

WINBOOL CTxtWinHost::TxEnableScrollBar(INT fuSBFlags, INT fuArrowflags)
{
    if (m_pOwner == nullptr)
        return FALSE;
    // A bar whose both arrows are disabled has nothing to scroll: it is hidden.
    const bool bShow = fuArrowflags != ESB_DISABLE_BOTH;
    if (fuSBFlags == SB_VERT || fuSBFlags == SB_BOTH)
        ShowBar(m_pOwner->GetVerticalScrollBar(), bShow);
    if (fuSBFlags == SB_HORZ || fuSBFlags == SB_BOTH)
        ShowBar(m_pOwner->GetHorizontalScrollBar(), bShow);
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollRange(INT fnBar, LONG nMinPos, INT nMaxPos, WINBOOL /*fRedraw*/)
{
    if (m_pOwner == nullptr)
        return FALSE;
    CScrollBarUI* pBar = fnBar == SB_VERT ? m_pOwner->GetVerticalScrollBar()
                                          : (fnBar == SB_HORZ ? m_pOwner->GetHorizontalScrollBar() : nullptr);
    if (pBar == nullptr)
        return TRUE;
    // The bar ranges over what does not fit into the visible extent.
    const long long nVisible = fnBar == SB_VERT ? m_rcClient.Height() : m_rcClient.Width();
    const long long nRange = static_cast<long long>(nMaxPos) - nMinPos - nVisible;
    if (nRange <= 0) {
        ShowBar(pBar, false);
    } else {
        ShowBar(pBar, true);
        pBar->SetScrollRange(nRange > INT_MAX ? INT_MAX : static_cast<int>(nRange));
    }
    return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollPos(INT fnBar, INT nPos, WINBOOL /*fRedraw*/)
{
    if (m_pOwner == nullptr)
        return FALSE;
    CScrollBarUI* pBar = fnBar == SB_VERT ? m_pOwner->GetVerticalScrollBar()
                                          : (fnBar == SB_HORZ ? m_pOwner->GetHorizontalScrollBar() : nullptr);
    if (pBar != nullptr)
        pBar->SetScrollPos(nPos);
    return TRUE;
}

void CTxtWinHost::TxInvalidateRect(LPCRECT prc, WINBOOL /*fMode*/)
{
    CPaintManagerUI* pManager = Manager();
    if (pManager == nullptr)
        return;
    RECT rc = prc != nullptr ? *prc : static_cast<RECT>(m_rcClient);
    pManager->InvalidateArea(&rc);
}

void CTxtWinHost::TxViewChange(WINBOOL /*fUpdate*/)
{
    if (m_pOwner != nullptr && m_pOwner->IsVisible())
        m_pOwner->Invalidate();
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP hbmp, INT xWidth, INT yHeight)
{
    return ::CreateCaret(Window(), hbmp, xWidth, yHeight);
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL fShow)
{
    return fShow ? ::ShowCaret(Window()) : ::HideCaret(Window());
}

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y)
{
    return ::SetCaretPos(x, y);
}

WINBOOL CTxtWinHost::TxSetTimer(UINT idTimer, UINT uTimeout)
{
    CPaintManagerUI* pManager = Manager();
    return pManager != nullptr && pManager->StartControlTimer(m_pOwner, idTimer, uTimeout) ? TRUE : FALSE;
}

void CTxtWinHost::TxKillTimer(UINT idTimer)
{
    if (CPaintManagerUI* pManager = Manager())
        pManager->StopControlTimer(m_pOwner, idTimer);
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT)
{
    // The text services invalidate what scrolled; the window is repainted from the off-screen surface.
}

void CTxtWinHost::TxSetCapture(WINBOOL fCapture)
{
    CPaintManagerUI* pManager = Manager();
    if (pManager == nullptr)
        return;
    if (fCapture)
        pManager->CaptureMouse();
    else
        pManager->ReleaseMouse();
    m_bCaptured = fCapture != FALSE;
}

void CTxtWinHost::TxSetFocus()
{
    if (m_pOwner != nullptr)
        m_pOwner->SetFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR hcur, WINBOOL /*fText*/)
{
    ::SetCursor(hcur);
}

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT lppt)
{
    return ::ScreenToClient(Window(), lppt);
}

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT lppt)
{
    return ::ClientToScreen(Window(), lppt);
}

HRESULT CTxtWinHost::TxActivate(LONG* /*plOldState*/)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG /*lNewState*/)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetClientRect(LPRECT prc)
{
    if (prc == nullptr)
        return E_INVALIDARG;
    *prc = m_rcClient;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT prc)
{
    if (prc == nullptr)
        return E_INVALIDARG;
    *prc = RECT{0, 0, 0, 0};
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** ppCF)
{
    *ppCF = reinterpret_cast<const CHARFORMATW*>(&m_cf);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** ppPF)
{
    *ppPF = reinterpret_cast<const PARAFORMAT*>(&m_pf);
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int nIndex)
{
    return ::GetSysColor(nIndex);
}

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* pstyle)
{
    *pstyle = m_bTransparent ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* plength)
{
    *plength = m_dwMaxLength;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* pdwScrollBar)
{
    *pdwScrollBar = m_dwStyle & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* pch)
{
    // The text services are wide inside: the character they read here is a WCHAR, whatever TCHAR is in
    // this build, so a whole WCHAR is written.
    *reinterpret_cast<WCHAR*>(pch) = m_chPasswordChar;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* pcp)
{
    *pcp = m_lAccelPos;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL lpExtent)
{
    *lpExtent = m_sizelExtent;
    return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW* /*pcf*/)
{
    return S_OK;
}

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT* /*ppf*/)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD dwMask, DWORD* pdwBits)
{
    DWORD dwBits = 0;
    if (m_bRich)
        dwBits |= TXTBIT_RICHTEXT;
    if ((m_dwStyle & ES_MULTILINE) != 0)
        dwBits |= TXTBIT_MULTILINE;
    if ((m_dwStyle & ES_READONLY) != 0 || m_bReadOnly)
        dwBits |= TXTBIT_READONLY;
    if ((m_dwStyle & ES_PASSWORD) != 0)
        dwBits |= TXTBIT_USEPASSWORD;
    if ((m_dwStyle & ES_NOHIDESEL) == 0)
        dwBits |= TXTBIT_HIDESELECTION;
    if (m_bAutoWordSel)
        dwBits |= TXTBIT_AUTOWORDSEL;
    if (m_bWordWrap)
        dwBits |= TXTBIT_WORDWRAP;
    if (m_bAllowBeep)
        dwBits |= TXTBIT_ALLOWBEEP;
    if (m_bSaveSelection)
        dwBits |= TXTBIT_SAVESELECTION;
    *pdwBits = dwBits & dwMask;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD iNotify, void* pv)
{
    if (iNotify == EN_REQUESTRESIZE && pv != nullptr) {
        const RECT& rcRequested = static_cast<const REQRESIZE*>(pv)->rc;
        SetClientRect(CUIRect(m_rcClient.left, m_rcClient.top, m_rcClient.left + (rcRequested.right - rcRequested.left),
                              m_rcClient.top + (rcRequested.bottom - rcRequested.top)));
    }
    return m_pOwner != nullptr ? m_pOwner->OnTxNotify(iNotify, pv) : S_OK;
}

HIMC CTxtWinHost::TxImmGetContext()
{
    return nullptr;
}

void CTxtWinHost::TxImmReleaseContext(HIMC /*himc*/) {}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* lSelBarWidth)
{
    *lSelBarWidth = m_lSelBarWidth;
    return S_OK;
}

} // namespace SkinUI
