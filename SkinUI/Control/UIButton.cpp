// CButtonUI, COptionUI and CCheckBoxUI: state tracking, activation, option groups and state painting.
#include "SkinUI/Control/UIButton.h"

#include "SkinUI/Core/UIRender.h"

#include <cstring>

namespace SkinUI {

namespace {

bool IsAttr(const char* pstrName, const char* pstrWanted)
{
    return std::strcmp(pstrName, pstrWanted) == 0;
}

} // namespace

// ---- CButtonUI ----

CButtonUI::CButtonUI()
    : m_uButtonState(0), m_dwHotBkColor(0), m_dwHotTextColor(0), m_dwPushedTextColor(0), m_dwFocusedTextColor(0)
{
    // A button centres its text both ways.
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

CButtonUI::~CButtonUI() = default;

CUIString CButtonUI::GetClassName() const
{
    return "ButtonUI";
}

void* CButtonUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "Button") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

UINT CButtonUI::GetControlFlags() const
{
    return (IsKeyboardEnabled() ? CONTROL_FLAG_TABSTOP : 0) | (IsEnabled() ? CONTROL_FLAG_SETCURSOR : 0);
}

bool CButtonUI::Activate()
{
    if (!CLabelUI::Activate())
        return false;
    if (m_pManager != nullptr)
        m_pManager->SendNotify(this, "click");
    return true;
}

void CButtonUI::SetEnabled(bool bEnable)
{
    CLabelUI::SetEnabled(bEnable);
    if (!IsEnabled())
        m_uButtonState = 0;
}

void CButtonUI::HandleEvent(InputEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEventKind(event.nKind)) {
        if (m_pParent != nullptr)
            m_pParent->HandleEvent(event);
        else
            CLabelUI::HandleEvent(event);
        return;
    }
    switch (event.nKind) {
    case UIEV_SETFOCUS:
    case UIEV_KILLFOCUS:
        Invalidate();
        break;
    case UIEV_KEYDOWN:
        if (IsKeyboardEnabled() && (event.chKey == ' ' || event.chKey == '\r')) {
            Activate();
            return;
        }
        break;
    case UIEV_BUTTONDOWN:
    case UIEV_DBLCLICK:
        // A press outside the button (possible while another control holds the capture) is swallowed.
        if (::PtInRect(&m_rcPos, event.ptMouse) && IsEnabled()) {
            m_uButtonState |= CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEV_MOUSEMOVE:
        if ((m_uButtonState & CONTROL_STATE_CAPTURED) != 0) {
            if (::PtInRect(&m_rcPos, event.ptMouse))
                m_uButtonState |= CONTROL_STATE_PUSHED;
            else
                m_uButtonState &= ~CONTROL_STATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEV_BUTTONUP:
        if ((m_uButtonState & CONTROL_STATE_CAPTURED) != 0) {
            // Only a release inside the button clicks it. The state is settled first: a receiver of the
            // click may delete the button, so nothing of it is touched after Activate.
            const bool bInside = ::PtInRect(&m_rcPos, event.ptMouse) != FALSE;
            m_uButtonState &= ~(CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED);
            Invalidate();
            if (bInside)
                Activate();
        }
        return;
    case UIEV_CONTEXTMENU:
        if (IsContextMenuUsed() && m_pManager != nullptr)
            m_pManager->SendNotify(this, "menu", event.wParam, event.lParam);
        return;
    case UIEV_MOUSEENTER:
        if (IsEnabled()) {
            m_uButtonState |= CONTROL_STATE_HOT;
            Invalidate();
        }
        break;
    case UIEV_MOUSELEAVE:
        if (IsEnabled()) {
            m_uButtonState &= ~CONTROL_STATE_HOT;
            Invalidate();
        }
        break;
    case UIEV_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))); // IDC_HAND
        return;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

void CButtonUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    if (IsAttr(pstrName, "normalimage"))
        SetNormalImage(pstrValue);
    else if (IsAttr(pstrName, "hotimage"))
        SetHotImage(pstrValue);
    else if (IsAttr(pstrName, "pushedimage"))
        SetPushedImage(pstrValue);
    else if (IsAttr(pstrName, "focusedimage"))
        SetFocusedImage(pstrValue);
    else if (IsAttr(pstrName, "disabledimage"))
        SetDisabledImage(pstrValue);
    else if (IsAttr(pstrName, "foreimage"))
        SetForeImage(pstrValue);
    else if (IsAttr(pstrName, "hotforeimage"))
        SetHotForeImage(pstrValue);
    else if (IsAttr(pstrName, "hotbkcolor"))
        SetHotBkColor(ParseColor(pstrValue));
    else if (IsAttr(pstrName, "hottextcolor"))
        SetHotTextColor(ParseColor(pstrValue));
    else if (IsAttr(pstrName, "pushedtextcolor"))
        SetPushedTextColor(ParseColor(pstrValue));
    else if (IsAttr(pstrName, "focusedtextcolor"))
        SetFocusedTextColor(ParseColor(pstrValue));
    else
        CLabelUI::ApplyAttribute(pstrName, pstrValue);
}

CUISize CButtonUI::EstimateSize(SIZE szAvailable)
{
    if (m_szFixed.cy != 0 || m_pManager == nullptr)
        return CControlUI::EstimateSize(szAvailable);
    return CUISize(DpiScaled(m_szFixed.cx), m_pManager->FontInfoByIndex(m_iFont)->metrics.tmHeight + DpiScaled(8));
}

void CButtonUI::RefreshPaintState()
{
    if (IsFocused())
        m_uButtonState |= CONTROL_STATE_FOCUSED;
    else
        m_uButtonState &= ~CONTROL_STATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= CONTROL_STATE_DISABLED;
    else
        m_uButtonState &= ~CONTROL_STATE_DISABLED;
}

bool CButtonUI::DrawOrForget(HDC hDC, CUIString& sImage, bool bUseOwnAlpha, BYTE uFade)
{
    if (sImage.IsEmpty())
        return false;
    if (DrawImage(hDC, sImage, nullptr, bUseOwnAlpha, uFade))
        return true;
    sImage.Clear();
    return false;
}

void CButtonUI::PaintStateImage(HDC hDC)
{
    RefreshPaintState();
    // The first state that applies chooses; a state without a usable image falls back to the normal one.
    bool bNormal = true;
    if ((m_uButtonState & CONTROL_STATE_DISABLED) != 0) {
        bNormal = !DrawOrForget(hDC, m_sDisabledImage);
    } else if ((m_uButtonState & CONTROL_STATE_PUSHED) != 0) {
        if (!m_sPushedImage.IsEmpty()) {
            DrawOrForget(hDC, m_sPushedImage);
            bNormal = false;
        }
    } else if ((m_uButtonState & CONTROL_STATE_HOT) != 0) {
        if (!m_sHotImage.IsEmpty()) {
            DrawOrForget(hDC, m_sHotImage);
            if (!m_sHotForeImage.IsEmpty()) {
                DrawOrForget(hDC, m_sHotForeImage);
                return;
            }
            bNormal = false;
        } else if (m_dwHotBkColor != 0) {
            CUIRender::FillColor(hDC, m_rcPaint, AdjustedColor(m_dwHotBkColor));
            return;
        }
    } else if ((m_uButtonState & CONTROL_STATE_FOCUSED) != 0) {
        bNormal = !DrawOrForget(hDC, m_sFocusedImage);
    }
    if (bNormal)
        DrawOrForget(hDC, m_sNormalImage);
    DrawOrForget(hDC, m_sForeImage);
}

void CButtonUI::DrawButtonText(HDC hDC, DWORD dwColor)
{
    RECT rc = TextRect();
    if (m_bShowHtml) {
        int nLinks = 0;
        CUIRender::PaintMarkupText(hDC, m_pManager, rc, m_sText, dwColor, nullptr, nullptr, nLinks, m_uTextStyle);
    } else {
        CUIRender::DrawPlainText(hDC, m_pManager, rc, m_sText, dwColor, m_iFont, m_uTextStyle);
    }
}

void CButtonUI::PaintText(HDC hDC)
{
    RefreshPaintState();
    ApplyDefaultColors();
    if (m_sText.IsEmpty())
        return;
    DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if ((m_uButtonState & CONTROL_STATE_PUSHED) != 0 && m_dwPushedTextColor != 0)
        dwColor = m_dwPushedTextColor;
    else if ((m_uButtonState & CONTROL_STATE_HOT) != 0 && m_dwHotTextColor != 0)
        dwColor = m_dwHotTextColor;
    else if ((m_uButtonState & CONTROL_STATE_FOCUSED) != 0 && m_dwFocusedTextColor != 0)
        dwColor = m_dwFocusedTextColor;
    DrawButtonText(hDC, dwColor);
}

CUIString CButtonUI::GetNormalImage() const
{
    return m_sNormalImage;
}

void CButtonUI::SetNormalImage(const char* pstrImage)
{
    m_sNormalImage = pstrImage;
    Invalidate();
}

CUIString CButtonUI::GetHotImage() const
{
    return m_sHotImage;
}

void CButtonUI::SetHotImage(const char* pstrImage)
{
    m_sHotImage = pstrImage;
    Invalidate();
}

CUIString CButtonUI::GetPushedImage() const
{
    return m_sPushedImage;
}

void CButtonUI::SetPushedImage(const char* pstrImage)
{
    m_sPushedImage = pstrImage;
    Invalidate();
}

CUIString CButtonUI::GetFocusedImage() const
{
    return m_sFocusedImage;
}

void CButtonUI::SetFocusedImage(const char* pstrImage)
{
    m_sFocusedImage = pstrImage;
    Invalidate();
}

CUIString CButtonUI::GetDisabledImage() const
{
    return m_sDisabledImage;
}

void CButtonUI::SetDisabledImage(const char* pstrImage)
{
    m_sDisabledImage = pstrImage;
    Invalidate();
}

CUIString CButtonUI::GetForeImage() const
{
    return m_sForeImage;
}

void CButtonUI::SetForeImage(const char* pstrImage)
{
    m_sForeImage = pstrImage;
    Invalidate();
}

CUIString CButtonUI::GetHotForeImage() const
{
    return m_sHotForeImage;
}

void CButtonUI::SetHotForeImage(const char* pstrImage)
{
    m_sHotForeImage = pstrImage;
    Invalidate();
}

DWORD CButtonUI::GetHotBkColor() const
{
    return m_dwHotBkColor;
}

void CButtonUI::SetHotBkColor(DWORD dwColor)
{
    m_dwHotBkColor = dwColor;
}

DWORD CButtonUI::GetHotTextColor() const
{
    return m_dwHotTextColor;
}

void CButtonUI::SetHotTextColor(DWORD dwColor)
{
    m_dwHotTextColor = dwColor;
}

DWORD CButtonUI::GetPushedTextColor() const
{
    return m_dwPushedTextColor;
}

void CButtonUI::SetPushedTextColor(DWORD dwColor)
{
    m_dwPushedTextColor = dwColor;
}

DWORD CButtonUI::GetFocusedTextColor() const
{
    return m_dwFocusedTextColor;
}

void CButtonUI::SetFocusedTextColor(DWORD dwColor)
{
    m_dwFocusedTextColor = dwColor;
}

// ---- COptionUI ----

COptionUI::COptionUI() : m_bSelected(false), m_dwSelectedBkColor(0), m_dwSelectedTextColor(0) {}

COptionUI::~COptionUI()
{
    if (!m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->LeaveOptionGroup(m_sGroupName, this);
}

CUIString COptionUI::GetClassName() const
{
    return "OptionUI";
}

void* COptionUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "Option") == 0)
        return this;
    return CButtonUI::GetInterface(pstrName);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit)
{
    // An option moving to another manager leaves its group there, or that manager would keep a pointer to
    // it after it is gone.
    if (m_pManager != nullptr && m_pManager != pManager && !m_sGroupName.IsEmpty())
        m_pManager->LeaveOptionGroup(m_sGroupName, this);
    CButtonUI::SetManager(pManager, pParent, bInit);
    if (bInit && !m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->JoinOptionGroup(m_sGroupName, this);
}

bool COptionUI::IsSelected() const
{
    return m_bSelected;
}

void COptionUI::Selected(bool bSelected)
{
    if (m_bSelected == bSelected)
        return;
    m_bSelected = bSelected;
    if (m_bSelected)
        m_uButtonState |= CONTROL_STATE_SELECTED;
    else
        m_uButtonState &= ~CONTROL_STATE_SELECTED;

    if (m_pManager != nullptr) {
        if (m_sGroupName.IsEmpty()) {
            m_pManager->SendNotify(this, "selectchanged");
        } else if (m_bSelected) {
            if (CUIPtrArray* pMembers = m_pManager->GetOptionGroupMembers(m_sGroupName)) {
                for (int i = 0; i < pMembers->Count(); ++i) {
                    auto* pControl = static_cast<CControlUI*>((*pMembers)[i]);
                    auto* pOption = static_cast<COptionUI*>(pControl->GetInterface("Option"));
                    if (pOption != nullptr && pOption != this)
                        pOption->Selected(false);
                }
            }
            m_pManager->SendNotify(this, "selectchanged");
        }
    }
    Invalidate();
}

bool COptionUI::Activate()
{
    if (!CButtonUI::Activate())
        return false;
    // "click" has gone out; the selection change follows it.
    if (!m_sGroupName.IsEmpty())
        Selected(true);
    else
        Selected(!m_bSelected);
    return true;
}

void COptionUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled())
        m_uButtonState = m_bSelected ? CONTROL_STATE_SELECTED : 0;
}

void COptionUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    if (IsAttr(pstrName, "group"))
        SetGroup(pstrValue);
    else if (IsAttr(pstrName, "selected"))
        Selected(ParseBool(pstrValue));
    else if (IsAttr(pstrName, "selectedimage"))
        SetSelectedImage(pstrValue);
    else if (IsAttr(pstrName, "selectedhotimage"))
        SetSelectedHotImage(pstrValue);
    else if (IsAttr(pstrName, "foreimage"))
        SetForeImage(pstrValue);
    else if (IsAttr(pstrName, "selectedbkcolor"))
        SetSelectedBkColor(ParseColor(pstrValue));
    else if (IsAttr(pstrName, "selectedtextcolor"))
        SetSelectedTextColor(ParseColor(pstrValue));
    else
        CButtonUI::ApplyAttribute(pstrName, pstrValue);
}

void COptionUI::PaintStateImage(HDC hDC)
{
    // An option never shows a pushed image.
    m_uButtonState &= ~CONTROL_STATE_PUSHED;
    if ((m_uButtonState & CONTROL_STATE_HOT) != 0 && IsSelected() && !m_sSelectedHotImage.IsEmpty()) {
        if (!DrawOrForget(hDC, m_sSelectedHotImage))
            CButtonUI::PaintStateImage(hDC);
    } else if ((m_uButtonState & CONTROL_STATE_SELECTED) != 0) {
        if (!m_sSelectedImage.IsEmpty()) {
            if (!DrawOrForget(hDC, m_sSelectedImage))
                CButtonUI::PaintStateImage(hDC);
        } else if (m_dwSelectedBkColor != 0) {
            CUIRender::FillColor(hDC, m_rcPaint, AdjustedColor(m_dwSelectedBkColor));
            return;
        } else {
            CButtonUI::PaintStateImage(hDC);
        }
    } else {
        CButtonUI::PaintStateImage(hDC);
    }
    DrawOrForget(hDC, m_sOptionForeImage);
}

void COptionUI::PaintText(HDC hDC)
{
    if ((m_uButtonState & CONTROL_STATE_SELECTED) == 0) {
        CButtonUI::PaintText(hDC);
        return;
    }
    // The selected colour stands in for the text colour during this paint only.
    const DWORD dwOldTextColor = m_dwTextColor;
    if (m_dwSelectedTextColor != 0)
        m_dwTextColor = m_dwSelectedTextColor;
    ApplyDefaultColors();
    if (!m_sText.IsEmpty())
        DrawButtonText(hDC, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor);
    m_dwTextColor = dwOldTextColor;
}

CUIString COptionUI::GetGroup() const
{
    return m_sGroupName;
}

void COptionUI::SetGroup(const char* pstrGroupName)
{
    if (m_sGroupName == (pstrGroupName != nullptr ? pstrGroupName : ""))
        return;
    if (!m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->LeaveOptionGroup(m_sGroupName, this);
    m_sGroupName = pstrGroupName;
    if (!m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->JoinOptionGroup(m_sGroupName, this);
}

CUIString COptionUI::GetSelectedImage() const
{
    return m_sSelectedImage;
}

void COptionUI::SetSelectedImage(const char* pstrImage)
{
    m_sSelectedImage = pstrImage;
    Invalidate();
}

CUIString COptionUI::GetSelectedHotImage() const
{
    return m_sSelectedHotImage;
}

void COptionUI::SetSelectedHotImage(const char* pstrImage)
{
    m_sSelectedHotImage = pstrImage;
    Invalidate();
}

CUIString COptionUI::GetForeImage() const
{
    return m_sOptionForeImage;
}

void COptionUI::SetForeImage(const char* pstrImage)
{
    m_sOptionForeImage = pstrImage;
    Invalidate();
}

DWORD COptionUI::GetSelectedBkColor() const
{
    return m_dwSelectedBkColor;
}

void COptionUI::SetSelectedBkColor(DWORD dwColor)
{
    m_dwSelectedBkColor = dwColor;
}

DWORD COptionUI::GetSelectedTextColor()
{
    if (m_dwSelectedTextColor == 0 && m_pManager != nullptr)
        m_dwSelectedTextColor = m_pManager->GetDefaultFontColor();
    return m_dwSelectedTextColor;
}

void COptionUI::SetSelectedTextColor(DWORD dwColor)
{
    m_dwSelectedTextColor = dwColor;
}

// ---- CCheckBoxUI ----

CUIString CCheckBoxUI::GetClassName() const
{
    return "CheckBoxUI";
}

void CCheckBoxUI::SetCheck(bool bCheck)
{
    Selected(bCheck);
}

bool CCheckBoxUI::GetCheck() const
{
    return IsSelected();
}

} // namespace SkinUI
