#include "SkinUI/Control/UIEdit.h"

#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace SkinUI {

namespace {

// Text padding of a new edit: left, top, right, bottom.
constexpr RECT kDefaultTextPadding = {4, 3, 4, 3};
// 0xFFFFFFFF as the native back colour: the platform's own colours.
constexpr DWORD kPlatformColors = 0xFFFFFFFF;

COLORREF ColorRefOf(DWORD dwColor)
{
    return RGB((dwColor >> 16) & 0xFF, (dwColor >> 8) & 0xFF, dwColor & 0xFF);
}

bool IsPressKind(int nKind)
{
    return nKind == UIEV_BUTTONDOWN || nKind == UIEV_DBLCLICK || nKind == UIEV_RBUTTONDOWN;
}

// The password character as the Unicode edit window takes it.
WPARAM WidePasswordChar(char cPasswordChar)
{
    const std::wstring strChar = GbkToWide(&cPasswordChar, 1);
    return strChar.empty() ? static_cast<WPARAM>(L'*') : static_cast<WPARAM>(strChar[0]);
}

} // namespace

// ---- The native window ----

CEditWnd::CEditWnd() : m_pOwner(nullptr), m_hBkBrush(nullptr), m_bInit(false) {}

CEditWnd::~CEditWnd() = default;

const char* CEditWnd::WindowClassName() const
{
    return "EditWnd";
}

const char* CEditWnd::SuperclassName() const
{
    return "Edit";
}

RECT CEditWnd::ComputeEditRect() const
{
    RECT rc = {};
    if (m_pOwner == nullptr)
        return rc;
    rc = m_pOwner->m_rcPos;
    const RECT rcPadding = m_pOwner->DpiScaled(m_pOwner->m_rcTextPadding);
    rc.left += rcPadding.left;
    rc.top += rcPadding.top;
    rc.right -= rcPadding.right;
    rc.bottom -= rcPadding.bottom;
    CPaintManagerUI* pManager = m_pOwner->GetManager();
    const FontInfoUI* pFont = pManager != nullptr ? pManager->FontInfoByIndex(m_pOwner->m_iFont) : nullptr;
    const LONG h = pFont != nullptr ? pFont->metrics.tmHeight : 0;
    if (h < rc.bottom - rc.top) {
        rc.top += (rc.bottom - rc.top - h) / 2;
        rc.bottom = rc.top + h;
    }
    return rc;
}

bool CEditWnd::CreateFor(CEditUI* pOwner)
{
    UIASSERT(pOwner != nullptr && pOwner->m_pWindow == this);
    m_pOwner = pOwner;
    CPaintManagerUI* pManager = pOwner->GetManager();
    const RECT rc = ComputeEditRect();
    DWORD dwStyle = WS_CHILD | ES_AUTOHSCROLL;
    if (pOwner->m_bPasswordMode)
        dwStyle |= ES_PASSWORD;
    if (pManager == nullptr ||
        CreateHostWindow(pManager->GetHostWindow(), nullptr, dwStyle, 0, rc, nullptr) == nullptr) {
        // A window that got as far as its last message has deleted this object and cleared the owner's
        // pointer; otherwise nothing else will, so it is done here. Only the owner is read from now on.
        if (pOwner->m_pWindow == this) {
            pOwner->m_pWindow = nullptr;
            delete this;
        }
        return false;
    }

    HFONT hFont = nullptr;
    if (pOwner->m_iFont != -1)
        hFont = pManager->FontByIndex(pOwner->m_iFont);
    if (hFont == nullptr)
        hFont = pManager->GetBaseFont()->handle;
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
    ::SendMessageW(m_hWnd, EM_LIMITTEXT, pOwner->m_uMaxChar, 0);
    if (pOwner->m_bPasswordMode)
        ::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, WidePasswordChar(pOwner->m_cPasswordChar), 0);
    ::SetWindowTextW(m_hWnd, GbkToWide(pOwner->GetText()).c_str());
    ::SendMessageW(m_hWnd, EM_SETMODIFY, FALSE, 0);
    ::SendMessageW(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    ::EnableWindow(m_hWnd, pOwner->IsEnabled() ? TRUE : FALSE);
    ::SendMessageW(m_hWnd, EM_SETREADONLY, pOwner->IsReadOnly() ? TRUE : FALSE, 0);
    // Number-only takes effect through the style the platform edit reads on each character.
    const LONG lStyle = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    ::SetWindowLongW(m_hWnd, GWL_STYLE, lStyle | static_cast<LONG>(pOwner->m_uWindowStyles));
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    // From now on changes of the text are the user's (or SetText's) and are reported.
    m_bInit = true;
    return true;
}

void CEditWnd::DetachOwner()
{
    m_pOwner = nullptr;
}

void CEditWnd::OnTextEdited()
{
    if (!m_bInit || m_pOwner == nullptr)
        return;
    // The window is a Unicode window, so any character can be typed; one that GBK lacks becomes '?' in the
    // control's text (never a look-alike), which a caller checking a path refuses.
    const int nSize = ::GetWindowTextLengthW(m_hWnd) + 1;
    std::vector<wchar_t> buffer(static_cast<size_t>(nSize), L'\0');
    ::GetWindowTextW(m_hWnd, buffer.data(), nSize);
    m_pOwner->m_sText = WideToGbk(buffer.data());
    // Last: a receiver may delete the owner, which destroys this window and object.
    if (m_pOwner->m_pManager != nullptr)
        m_pOwner->m_pManager->SendNotify(m_pOwner, "textchanged");
}

LRESULT CEditWnd::OnControlColor(HDC hDC)
{
    if (m_pOwner == nullptr || m_pOwner->m_dwNativeBkColor == kPlatformColors)
        return 0;
    ::SetBkMode(hDC, TRANSPARENT);
    ::SetTextColor(hDC, ColorRefOf(m_pOwner->m_dwTextColor));
    if (m_hBkBrush == nullptr)
        m_hBkBrush = ::CreateSolidBrush(ColorRefOf(m_pOwner->m_dwNativeBkColor));
    return reinterpret_cast<LRESULT>(m_hBkBrush);
}

LRESULT CEditWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_KILLFOCUS: {
        // Not the edit's own handling: the window is about to go. Posted, so that the window is destroyed
        // after the message that moved the focus has been handled.
        const LRESULT lRes = ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return lRes;
    }
    case UIMSG_REFLECT_BASE + WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE)
            OnTextEdited();
        else if (HIWORD(wParam) == EN_UPDATE)
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    case WM_KEYDOWN:
        if (LOBYTE(wParam) == VK_RETURN) {
            // The key stays here; a receiver may delete the owner and with it this object.
            if (m_pOwner != nullptr && m_pOwner->m_pManager != nullptr)
                m_pOwner->m_pManager->SendNotify(m_pOwner, "return");
            return 0;
        }
        break;
    case UIMSG_REFLECT_BASE + WM_CTLCOLOREDIT:
    case UIMSG_REFLECT_BASE + WM_CTLCOLORSTATIC:
        return OnControlColor(reinterpret_cast<HDC>(wParam));
    default:
        break;
    }
    return CWindowWnd::OnMessage(uMsg, wParam, lParam);
}

void CEditWnd::OnWindowGone(HWND /*hWnd*/)
{
    if (m_pOwner != nullptr)
        m_pOwner->Invalidate();
    if (m_hBkBrush != nullptr)
        ::DeleteObject(m_hBkBrush);
    m_hBkBrush = nullptr;
    if (m_pOwner != nullptr)
        m_pOwner->m_pWindow = nullptr;
    delete this;
}

// ---- The control ----

CEditUI::CEditUI()
    : m_pWindow(nullptr),
      m_uMaxChar(255),
      m_bReadOnly(false),
      m_bPasswordMode(false),
      m_cPasswordChar('*'),
      m_uButtonState(0),
      m_dwNativeBkColor(kPlatformColors),
      m_uWindowStyles(0)
{
    m_rcTextPadding = kDefaultTextPadding;
    SetBackColor(0xFFFFFFFF);
}

CEditUI::~CEditUI()
{
    // An open window would otherwise report to a control that is gone.
    if (m_pWindow != nullptr) {
        CEditWnd* pWindow = m_pWindow;
        m_pWindow = nullptr;
        pWindow->DetachOwner();
        if (::IsWindow(pWindow->Handle()))
            ::DestroyWindow(pWindow->Handle());
    }
    m_sNormalImage.Clear();
    m_sHotImage.Clear();
    m_sFocusedImage.Clear();
    m_sDisabledImage.Clear();
}

CUIString CEditUI::GetClassName() const
{
    return "EditUI";
}

void* CEditUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "Edit") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

UINT CEditUI::GetControlFlags() const
{
    return IsEnabled() ? CONTROL_FLAG_TABSTOP | CONTROL_FLAG_SETCURSOR : 0;
}

HWND CEditUI::GetNativeWindow() const
{
    return m_pWindow != nullptr ? m_pWindow->Handle() : nullptr;
}

void CEditUI::SetText(const char* pstrText)
{
    m_sText = pstrText;
    Invalidate();
    // The native window reports the change back ("textchanged"); a receiver may delete this control, so
    // nothing follows.
    if (m_pWindow != nullptr)
        ::SetWindowTextW(m_pWindow->Handle(), GbkToWide(m_sText).c_str());
}

void CEditUI::SetPos(RECT rc)
{
    CLabelUI::SetPos(rc);
    if (m_pWindow != nullptr) {
        const RECT rcEdit = m_pWindow->ComputeEditRect();
        ::SetWindowPos(m_pWindow->Handle(), nullptr, rcEdit.left, rcEdit.top, rcEdit.right - rcEdit.left,
                       rcEdit.bottom - rcEdit.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CEditUI::CloseNativeWindowIfUnusable()
{
    if (m_pWindow == nullptr || m_pManager == nullptr)
        return;
    m_pManager->FocusControl(nullptr);
    // The manager moves the platform focus only when it had a focused control; the window must lose it
    // in any case to close.
    if (m_pWindow != nullptr && ::GetFocus() == m_pWindow->Handle())
        ::SetFocus(m_pManager->GetHostWindow());
}

void CEditUI::SetVisible(bool bVisible)
{
    CLabelUI::SetVisible(bVisible);
    if (!IsVisible())
        CloseNativeWindowIfUnusable();
}

void CEditUI::SetInternVisible(bool bVisible)
{
    CLabelUI::SetInternVisible(bVisible);
    if (!IsVisible())
        CloseNativeWindowIfUnusable();
}

void CEditUI::SetEnabled(bool bEnable)
{
    CLabelUI::SetEnabled(bEnable);
    if (!IsEnabled()) {
        m_uButtonState = 0;
        // A disabled edit cannot be typed into, so its open window goes too.
        CloseNativeWindowIfUnusable();
    }
}

bool CEditUI::OpenNativeWindow()
{
    m_pWindow = new (std::nothrow) CEditWnd;
    UIASSERT(m_pWindow);
    if (m_pWindow == nullptr)
        return false;
    return m_pWindow->CreateFor(this);
}

void CEditUI::SelectWholeNativeText()
{
    if (m_pWindow == nullptr)
        return;
    const HWND hWnd = m_pWindow->Handle();
    int nLength = ::GetWindowTextLengthW(hWnd);
    if (nLength == 0)
        nLength = 1;
    ::SendMessageW(hWnd, EM_SETSEL, 0, nLength);
}

void CEditUI::HandleEvent(InputEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEventKind(event.nKind)) {
        if (m_pParent != nullptr)
            m_pParent->HandleEvent(event);
        else
            CLabelUI::HandleEvent(event);
        return;
    }
    const int nKind = event.nKind;
    if (nKind == UIEV_SETCURSOR && IsEnabled()) {
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32513))); // IDC_IBEAM
        return;
    }
    if (nKind == UIEV_WINDOWSIZE) {
        // The window closes now and a new one opens at the new place when the focus returns.
        if (m_pWindow != nullptr && m_pManager != nullptr)
            m_pManager->FocusOnNextPaint(this);
    } else if (nKind == UIEV_SCROLLWHEEL) {
        if (m_pWindow != nullptr)
            return;
    } else if (nKind == UIEV_SETFOCUS && IsEnabled()) {
        if (m_pWindow != nullptr)
            return;
        OpenNativeWindow();
        Invalidate();
    } else if (nKind == UIEV_KILLFOCUS && IsEnabled()) {
        Invalidate();
    } else if (IsPressKind(nKind)) {
        if (IsEnabled()) {
            if (m_pManager != nullptr)
                m_pManager->ReleaseMouse();
            if (IsFocused() && m_pWindow == nullptr) {
                if (OpenNativeWindow() && ::PtInRect(&m_rcPos, event.ptMouse))
                    SelectWholeNativeText();
            } else if (m_pWindow != nullptr) {
                SelectWholeNativeText();
            }
        }
        return;
    } else if (nKind == UIEV_MOUSEMOVE || nKind == UIEV_BUTTONUP || nKind == UIEV_CONTEXTMENU) {
        return;
    } else if (nKind == UIEV_MOUSEENTER || nKind == UIEV_MOUSELEAVE) {
        if (IsEnabled()) {
            if (nKind == UIEV_MOUSEENTER)
                m_uButtonState |= CONTROL_STATE_HOT;
            else
                m_uButtonState &= ~CONTROL_STATE_HOT;
            Invalidate();
        }
        return;
    }
    CLabelUI::HandleEvent(event);
}

void CEditUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    auto is = [pstrName](const char* pstrKey) { return std::strcmp(pstrName, pstrKey) == 0; };
    if (is("readonly"))
        SetReadOnly(ParseBool(pstrValue));
    else if (is("numberonly"))
        SetNumberOnly(ParseBool(pstrValue));
    else if (is("password"))
        SetPasswordMode(ParseBool(pstrValue));
    else if (is("maxchar"))
        SetMaxLength(static_cast<UINT>(ParseInt(pstrValue)));
    else if (is("normalimage"))
        SetNormalImage(pstrValue);
    else if (is("hotimage"))
        SetHotImage(pstrValue);
    else if (is("focusedimage"))
        SetFocusedImage(pstrValue);
    else if (is("disabledimage"))
        SetDisabledImage(pstrValue);
    else if (is("nativebkcolor"))
        SetNativeBackColor(ParseColor(pstrValue));
    else
        CLabelUI::ApplyAttribute(pstrName, pstrValue);
}

CUISize CEditUI::EstimateSize(SIZE szAvailable)
{
    if (m_szFixed.cy != 0)
        return CLabelUI::EstimateSize(szAvailable);
    const FontInfoUI* pFont = m_pManager != nullptr ? m_pManager->FontInfoByIndex(m_iFont) : nullptr;
    return CUISize(DpiScaled(m_szFixed.cx), (pFont != nullptr ? pFont->metrics.tmHeight : 0) + DpiScaled(6));
}

void CEditUI::PaintStateImage(HDC hDC)
{
    if (IsFocused())
        m_uButtonState |= CONTROL_STATE_FOCUSED;
    else
        m_uButtonState &= ~CONTROL_STATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= CONTROL_STATE_DISABLED;
    else
        m_uButtonState &= ~CONTROL_STATE_DISABLED;

    CUIString* pImage = nullptr;
    if ((m_uButtonState & CONTROL_STATE_DISABLED) != 0)
        pImage = &m_sDisabledImage;
    else if ((m_uButtonState & CONTROL_STATE_FOCUSED) != 0)
        pImage = &m_sFocusedImage;
    else if ((m_uButtonState & CONTROL_STATE_HOT) != 0)
        pImage = &m_sHotImage;
    if (pImage != nullptr && !pImage->IsEmpty()) {
        if (DrawImage(hDC, *pImage, nullptr, false, 255))
            return;
        pImage->Clear();
    }
    if (!m_sNormalImage.IsEmpty() && !DrawImage(hDC, m_sNormalImage, nullptr, false, 255))
        m_sNormalImage.Clear();
}

void CEditUI::PaintText(HDC hDC)
{
    if (m_pManager == nullptr)
        return;
    if (m_dwTextColor == 0)
        m_dwTextColor = m_pManager->GetDefaultFontColor();
    if (m_dwDisabledTextColor == 0)
        m_dwDisabledTextColor = m_pManager->GetDisabledFontColor();
    if (m_sText.IsEmpty())
        return;

    CUIString sShown = m_sText;
    if (m_bPasswordMode) {
        // One password character per character shown: a double-byte character counts once.
        std::vector<char> masked;
        for (const char* p = m_sText.Chars(); *p != '\0'; p += DbcsCharSize(p))
            masked.push_back(m_cPasswordChar);
        masked.push_back('\0');
        sShown = masked.data();
    }
    RECT rc = m_rcPos;
    const CUIRect rcPadding = DpiScaled(m_rcTextPadding);
    rc.left += rcPadding.left;
    rc.top += rcPadding.top;
    rc.right -= rcPadding.right;
    rc.bottom -= rcPadding.bottom;
    const DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    CUIRender::DrawPlainText(hDC, m_pManager, rc, sShown, dwColor, m_iFont, m_uTextStyle | DT_SINGLELINE);
}

// ---- Accessors ----

UINT CEditUI::GetMaxLength() const
{
    return m_uMaxChar;
}

void CEditUI::SetMaxLength(UINT uMaxChar)
{
    m_uMaxChar = uMaxChar;
    if (m_pWindow != nullptr)
        ::SendMessageW(m_pWindow->Handle(), EM_LIMITTEXT, m_uMaxChar, 0);
}

bool CEditUI::IsReadOnly() const
{
    return m_bReadOnly;
}

void CEditUI::SetReadOnly(bool bReadOnly)
{
    if (m_bReadOnly == bReadOnly)
        return;
    m_bReadOnly = bReadOnly;
    if (m_pWindow != nullptr)
        ::SendMessageW(m_pWindow->Handle(), EM_SETREADONLY, m_bReadOnly ? TRUE : FALSE, 0);
    Invalidate();
}

bool CEditUI::IsNumberOnly() const
{
    return (m_uWindowStyles & ES_NUMBER) != 0;
}

void CEditUI::SetNumberOnly(bool bNumberOnly)
{
    if (bNumberOnly)
        m_uWindowStyles |= ES_NUMBER;
    else
        m_uWindowStyles &= ~static_cast<UINT>(ES_NUMBER);
}

UINT CEditUI::GetWindowStyles() const
{
    return m_uWindowStyles;
}

bool CEditUI::IsPasswordMode() const
{
    return m_bPasswordMode;
}

void CEditUI::SetPasswordMode(bool bPasswordMode)
{
    if (m_bPasswordMode == bPasswordMode)
        return;
    m_bPasswordMode = bPasswordMode;
    Invalidate();
}

char CEditUI::GetPasswordChar() const
{
    return m_cPasswordChar;
}

void CEditUI::SetPasswordChar(char cPasswordChar)
{
    if (m_cPasswordChar == cPasswordChar)
        return;
    m_cPasswordChar = cPasswordChar;
    // The platform edit turns a password character on for any window it is given to, so an open window
    // that is not in password mode does not get one.
    if (m_pWindow != nullptr && m_bPasswordMode)
        ::SendMessageW(m_pWindow->Handle(), EM_SETPASSWORDCHAR, WidePasswordChar(m_cPasswordChar), 0);
    Invalidate();
}

CUIString CEditUI::GetNormalImage() const
{
    return m_sNormalImage;
}

void CEditUI::SetNormalImage(const char* pstrImage)
{
    m_sNormalImage = pstrImage;
    Invalidate();
}

CUIString CEditUI::GetHotImage() const
{
    return m_sHotImage;
}

void CEditUI::SetHotImage(const char* pstrImage)
{
    m_sHotImage = pstrImage;
    Invalidate();
}

CUIString CEditUI::GetFocusedImage() const
{
    return m_sFocusedImage;
}

void CEditUI::SetFocusedImage(const char* pstrImage)
{
    m_sFocusedImage = pstrImage;
    Invalidate();
}

CUIString CEditUI::GetDisabledImage() const
{
    return m_sDisabledImage;
}

void CEditUI::SetDisabledImage(const char* pstrImage)
{
    m_sDisabledImage = pstrImage;
    Invalidate();
}

DWORD CEditUI::GetNativeBackColor() const
{
    return m_dwNativeBkColor;
}

void CEditUI::SetNativeBackColor(DWORD dwBackColor)
{
    m_dwNativeBkColor = dwBackColor;
}

void CEditUI::SelectRange(int nStart, int nEnd)
{
    if (m_pWindow != nullptr)
        ::SendMessageW(m_pWindow->Handle(), EM_SETSEL, static_cast<WPARAM>(nStart), static_cast<LPARAM>(nEnd));
}

void CEditUI::SelectAll()
{
    SelectRange(0, -1);
}

void CEditUI::ReplaceSelection(const char* pstrText)
{
    if (m_pWindow != nullptr) {
        const std::wstring strText = GbkToWide(pstrText);
        ::SendMessageW(m_pWindow->Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(strText.c_str()));
    }
}

} // namespace SkinUI
