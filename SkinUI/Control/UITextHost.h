// CTxtWinHost, the text host of CRichEditUI: it answers the platform's windowless text services on behalf
// of the control and maps their requests (invalidation, caret, timers, capture, scroll bars, notifications)
// onto the paint manager, its window and the container's scroll bars. Also the conversions between the
// system code page and the text services' UTF-16.
#pragma once

#include "SkinUI/Utils/SystemLibrary.h"
#include "SkinUI/Utils/Utils.h"

#include <windows.h>

#include <richedit.h>
#include <textserv.h>

#include <memory>
#include <string>

namespace SkinUI {

class CPaintManagerUI;
class CRichEditUI;
class CScrollBarUI;


// Reference counted as the text services expect; the control holds the first reference and shuts the host
// down before releasing it, so that nothing the text services call later reaches a deleted control.
class CTxtWinHost final : public ITextHost
{
public:
    CTxtWinHost() = default;
    CTxtWinHost(const CTxtWinHost&) = delete;
    CTxtWinHost& operator=(const CTxtWinHost&) = delete;

    // Creates the text services, with a transparent text background when bTransparent is set; false (and
    // no services) on any failure.
    bool Init(CRichEditUI* pOwner, LONG lStyle, const char* pstrText, bool bTransparent);
    // Deactivates and releases the text services and forgets the control.
    void Shutdown();

    ITextServices* Services() const { return m_pServices; }
    const CUIRect& ClientRect() const { return m_rcClient; }
    void SetClientRect(const RECT& rc);
    bool IsCaptured() const { return m_bCaptured; }
    void SetTransparent(bool bTransparent);
    void SetRich(bool bRich);
    void SetReadOnly(bool bReadOnly);
    void SetWordWrap(bool bWordWrap);
    void SetFont(HFONT hFont);
    void SetColor(DWORD dwArgb);
    void SetMaxLength(DWORD dwLength);
    void SetCharFormat(const CHARFORMAT2W& cf);
    void SetParaFormat(const PARAFORMAT2& pf);

    static constexpr DWORD kDefaultMaxLength = 32767;
    bool Activate(const RECT& rc);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITextHost. The interface declares its operations with the compiler's default member calling
    // convention, which is the one the text services use on both 32-bit (this in ECX) and 64-bit Windows.
    HDC TxGetDC() override;
    INT TxReleaseDC(HDC hdc) override;
    WINBOOL TxShowScrollBar(INT fnBar, WINBOOL fShow) override;
    WINBOOL TxEnableScrollBar(INT fuSBFlags, INT fuArrowflags) override;
    WINBOOL TxSetScrollRange(INT fnBar, LONG nMinPos, INT nMaxPos, WINBOOL fRedraw) override;
    WINBOOL TxSetScrollPos(INT fnBar, INT nPos, WINBOOL fRedraw) override;
    void TxInvalidateRect(LPCRECT prc, WINBOOL fMode) override;
    void TxViewChange(WINBOOL fUpdate) override;
    WINBOOL TxCreateCaret(HBITMAP hbmp, INT xWidth, INT yHeight) override;
    WINBOOL TxShowCaret(WINBOOL fShow) override;
    WINBOOL TxSetCaretPos(INT x, INT y) override;
    WINBOOL TxSetTimer(UINT idTimer, UINT uTimeout) override;
    void TxKillTimer(UINT idTimer) override;
    void TxScrollWindowEx(INT dx, INT dy, LPCRECT lprcScroll, LPCRECT lprcClip, HRGN hrgnUpdate, LPRECT lprcUpdate,
                          UINT fuScroll) override;
    void TxSetCapture(WINBOOL fCapture) override;
    void TxSetFocus() override;
    void TxSetCursor(HCURSOR hcur, WINBOOL fText) override;
    WINBOOL TxScreenToClient(LPPOINT lppt) override;
    WINBOOL TxClientToScreen(LPPOINT lppt) override;
    HRESULT TxActivate(LONG* plOldState) override;
    HRESULT TxDeactivate(LONG lNewState) override;
    HRESULT TxGetClientRect(LPRECT prc) override;
    HRESULT TxGetViewInset(LPRECT prc) override;
    HRESULT TxGetCharFormat(const CHARFORMATW** ppCF) override;
    HRESULT TxGetParaFormat(const PARAFORMAT** ppPF) override;
    COLORREF TxGetSysColor(int nIndex) override;
    HRESULT TxGetBackStyle(TXTBACKSTYLE* pstyle) override;
    HRESULT TxGetMaxLength(DWORD* plength) override;
    HRESULT TxGetScrollBars(DWORD* pdwScrollBar) override;
    HRESULT TxGetPasswordChar(TCHAR* pch) override;
    HRESULT TxGetAcceleratorPos(LONG* pcp) override;
    HRESULT TxGetExtent(LPSIZEL lpExtent) override;
    HRESULT OnTxCharFormatChange(const CHARFORMATW* pcf) override;
    HRESULT OnTxParaFormatChange(const PARAFORMAT* ppf) override;
    HRESULT TxGetPropertyBits(DWORD dwMask, DWORD* pdwBits) override;
    HRESULT TxNotify(DWORD iNotify, void* pv) override;
    HIMC TxImmGetContext() override;
    void TxImmReleaseContext(HIMC himc) override;
    HRESULT TxGetSelectionBarWidth(LONG* lSelBarWidth) override;

private:
    ~CTxtWinHost();
    CPaintManagerUI* Manager() const;
    HWND Window() const;
    void InitCharFormat(HFONT hFont);
    void PropertyChanged(DWORD dwMask, bool bSet);
    // Shows or hides a bar; a change of the text area lays the control out again.
    void ShowBar(CScrollBarUI* pBar, bool bShow);
    // Drops the last reference to the text services, and the reference to this host they were given if
    // they did not drop it themselves.
    void ReleaseServices(IUnknown* pServices);

    ULONG m_cRefs = 1;
    bool m_bServicesHoldRef = false;
    CRichEditUI* m_pOwner = nullptr;
    ITextServices* m_pServices = nullptr;
    std::unique_ptr<CUISystemLibrary> m_pLibrary;

    bool m_bWordWrap = false;
    bool m_bTransparent = false;
    bool m_bInPlaceActive = false;
    bool m_bCaptured = false;
    bool m_bRich = true;
    bool m_bReadOnly = false;
    bool m_bAllowBeep = true;
    bool m_bSaveSelection = true;
    bool m_bAutoWordSel = false;
    DWORD m_dwStyle = ES_MULTILINE;
    LONG m_lSelBarWidth = 0;
    DWORD m_dwMaxLength = kDefaultMaxLength;
    CUIRect m_rcClient;
    SIZEL m_sizelExtent = {0, 0};
    CHARFORMAT2W m_cf = {};
    PARAFORMAT2 m_pf = {};
    LONG m_lAccelPos = -1;
    WCHAR m_chPasswordChar = L'*';
};

} // namespace SkinUI
