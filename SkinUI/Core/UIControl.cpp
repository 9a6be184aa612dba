// CControlUI: placement, state, input, attributes and the five paint steps of the control base.
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIRender.h"

#include <cstdlib>
#include <cstring>

namespace SkinUI {

namespace {

bool IsBlankByte(char ch)
{
    const auto uch = static_cast<unsigned char>(ch);
    return uch >= 1 && uch <= 32;
}

const char* SkipBlanks(const char* pstr)
{
    while (IsBlankByte(*pstr))
        ++pstr;
    return pstr;
}

// Length of the text up to the first stop byte (or the end), counted in whole characters of the
// multi-byte code page.
int RunLength(const char* pstr, char chStop)
{
    int n = 0;
    while (pstr[n] != '\0' && pstr[n] != chStop)
        n += DbcsCharSize(pstr + n);
    return n;
}

CControlUI* LeafTest(CControlUI* pThis, const CUIRect& rcPos, bool bMouseEnabled, FindControlProc Proc, void* pData,
                     UINT uFlags)
{
    if ((uFlags & FIND_VISIBLE) != 0 && !pThis->IsVisible())
        return nullptr;
    if ((uFlags & FIND_ENABLED) != 0 && !pThis->IsEnabled())
        return nullptr;
    if ((uFlags & FIND_HITTEST) != 0 && (!bMouseEnabled || !::PtInRect(&rcPos, *static_cast<const POINT*>(pData))))
        return nullptr;
    return Proc(pThis, pData);
}

} // namespace

namespace AttributeText {

bool ParseBool(const char* pstrValue)
{
    return pstrValue != nullptr && std::strcmp(pstrValue, "true") == 0;
}

int ParseInt(const char* pstrValue, const char** pstrEnd)
{
    if (pstrValue == nullptr) {
        if (pstrEnd != nullptr)
            *pstrEnd = nullptr;
        return 0;
    }
    char* pEnd = nullptr;
    const long nValue = std::strtol(pstrValue, &pEnd, 10);
    if (pstrEnd != nullptr)
        *pstrEnd = pEnd;
    return static_cast<int>(nValue);
}

void ParseIntList(const char* pstrValue, int* pValues, int nCount)
{
    const char* p = pstrValue != nullptr ? pstrValue : "";
    for (int i = 0; i < nCount; ++i) {
        const char* pEnd = p;
        pValues[i] = ParseInt(p, &pEnd);
        p = *pEnd != '\0' ? pEnd + 1 : pEnd;
    }
}

DWORD ParseColor(const char* pstrValue)
{
    if (pstrValue == nullptr)
        return 0;
    if (*pstrValue == '#')
        ++pstrValue;
    return static_cast<DWORD>(std::strtoul(pstrValue, nullptr, 16));
}

} // namespace AttributeText

CControlUI::CControlUI()
    : m_pManager(nullptr),
      m_pParent(nullptr),
      m_bLayoutNeeded(true),
      m_bContextMenu(false),
      m_szMax(9999, 9999),
      m_bVisible(true),
      m_bInternVisible(true),
      m_bEnabled(true),
      m_bMouseEnabled(true),
      m_bKeyboardEnabled(true),
      m_bFocused(false),
      m_bFloat(false),
      m_bInSetPos(false),
      m_chShortcut(0),
      m_pTag(0),
      m_dwBackColor(0),
      m_dwBackColor2(0),
      m_dwBackColor3(0),
      m_dwBorderColor(0),
      m_dwFocusBorderColor(0),
      m_bColorHsl(false),
      m_nBorderSize(0),
      m_nBorderStyle(0),
      m_nToolTipWidth(300)
{
}

CControlUI::~CControlUI()
{
    if (m_destroyListeners)
        m_destroyListeners(this);
    if (m_pManager != nullptr)
        m_pManager->ForgetControl(this);
}

CUIString CControlUI::GetName() const
{
    return m_sName;
}

void CControlUI::SetName(const char* pstrName)
{
    m_sName = pstrName;
}

CUIString CControlUI::GetClassName() const
{
    return "ControlUI";
}

void* CControlUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "Control") == 0)
        return this;
    return nullptr;
}

UINT CControlUI::GetControlFlags() const
{
    return 0;
}

bool CControlUI::Activate()
{
    return IsVisible() && IsEnabled();
}

CPaintManagerUI* CControlUI::GetManager() const
{
    return m_pManager;
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit)
{
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pParent != nullptr)
        InitControl();
}

CControlUI* CControlUI::GetParent() const
{
    return m_pParent;
}

CUIString CControlUI::GetText() const
{
    return m_sText;
}

void CControlUI::SetText(const char* pstrText)
{
    if (m_sText == (pstrText != nullptr ? pstrText : ""))
        return;
    m_sText = pstrText;
    Invalidate();
}

// ---- Placement ----

const CUIRect& CControlUI::GetPos() const
{
    return m_rcPos;
}

void CControlUI::SetPos(RECT rc)
{
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;

    CUIRect rcInvalidate = ::IsRectEmpty(&m_rcPos) ? CUIRect(rc) : m_rcPos;
    m_rcPos = rc;
    if (m_pManager == nullptr)
        return;

    if (!m_bInSetPos) {
        m_bInSetPos = true;
        if (m_sizeListeners)
            m_sizeListeners(this);
        m_bInSetPos = false;
    }

    if (m_bFloat && m_pParent != nullptr) {
        // A negative offset stays an offset from the container's right or bottom edge. The placement is
        // kept in logical units: a value that still gives these pixels is left alone, so that placing a
        // control where its own values put it never moves it by a rounding.
        const CUIRect rcParent = m_pParent->GetPos();
        const auto keep = [this](LONG& nLogical, long long nPixels) {
            if (DpiScaled(nLogical) != nPixels)
                nLogical = DpiUnscaled(static_cast<int>(nPixels));
        };
        keep(m_szFixedXY.cx, m_szFixedXY.cx >= 0 ? static_cast<long long>(m_rcPos.left) - rcParent.left
                                                 : static_cast<long long>(m_rcPos.right) - rcParent.right);
        keep(m_szFixedXY.cy, m_szFixedXY.cy >= 0 ? static_cast<long long>(m_rcPos.top) - rcParent.top
                                                 : static_cast<long long>(m_rcPos.bottom) - rcParent.bottom);
        keep(m_szFixed.cx, m_rcPos.Width());
        keep(m_szFixed.cy, m_rcPos.Height());
    }

    m_bLayoutNeeded = false;
    rcInvalidate.Join(m_rcPos);
    for (CControlUI* pParent = m_pParent; pParent != nullptr; pParent = pParent->GetParent()) {
        const RECT rcTemp = rcInvalidate;
        const RECT rcParent = pParent->GetPos();
        if (!::IntersectRect(&rcInvalidate, &rcTemp, &rcParent))
            return;
    }
    m_pManager->InvalidateArea(&rcInvalidate);
}

int CControlUI::GetWidth() const
{
    return m_rcPos.Width();
}

int CControlUI::GetHeight() const
{
    return m_rcPos.Height();
}

int CControlUI::GetX() const
{
    return m_rcPos.left;
}

int CControlUI::GetY() const
{
    return m_rcPos.top;
}

CUIRect CControlUI::GetPadding() const
{
    return m_rcPadding;
}

void CControlUI::SetPadding(RECT rcPadding)
{
    m_rcPadding = rcPadding;
    RequestParentLayout();
}

CUISize CControlUI::GetFixedXY() const
{
    return m_szFixedXY;
}

void CControlUI::SetFixedXY(SIZE szXY)
{
    m_szFixedXY = szXY;
    if (m_bFloat)
        RequestLayout();
    else
        RequestParentLayout();
}

int CControlUI::GetFixedWidth() const
{
    return m_szFixed.cx;
}

void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0)
        return;
    m_szFixed.cx = cx;
    if (m_bFloat)
        RequestLayout();
    else
        RequestParentLayout();
}

int CControlUI::GetFixedHeight() const
{
    return m_szFixed.cy;
}

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0)
        return;
    m_szFixed.cy = cy;
    if (m_bFloat)
        RequestLayout();
    else
        RequestParentLayout();
}

namespace {
// The min/max setters: a negative or unchanged value is ignored.
bool StoreLimit(LONG& nField, int nValue)
{
    if (nValue < 0 || nField == nValue)
        return false;
    nField = nValue;
    return true;
}
} // namespace

int CControlUI::GetMinWidth() const
{
    return m_szMin.cx;
}

void CControlUI::SetMinWidth(int cx)
{
    if (!StoreLimit(m_szMin.cx, cx))
        return;
    if (m_bFloat)
        RequestLayout();
    else
        RequestParentLayout();
}

int CControlUI::GetMaxWidth() const
{
    return m_szMax.cx;
}

void CControlUI::SetMaxWidth(int cx)
{
    if (!StoreLimit(m_szMax.cx, cx))
        return;
    if (m_bFloat)
        RequestLayout();
    else
        RequestParentLayout();
}

int CControlUI::GetMinHeight() const
{
    return m_szMin.cy;
}

void CControlUI::SetMinHeight(int cy)
{
    if (!StoreLimit(m_szMin.cy, cy))
        return;
    if (m_bFloat)
        RequestLayout();
    else
        RequestParentLayout();
}

int CControlUI::GetMaxHeight() const
{
    return m_szMax.cy;
}

void CControlUI::SetMaxHeight(int cy)
{
    if (!StoreLimit(m_szMax.cy, cy))
        return;
    if (m_bFloat)
        RequestLayout();
    else
        RequestParentLayout();
}

void CControlUI::SetRelativePos(int nMoveX, int nMoveY, int nZoomX, int nZoomY)
{
    m_relPos.bRelative = true;
    m_relPos.nMoveX = nMoveX;
    m_relPos.nMoveY = nMoveY;
    m_relPos.nZoomX = nZoomX;
    m_relPos.nZoomY = nZoomY;
}

void CControlUI::SetRelativeParentSize(SIZE sz)
{
    m_relPos.szParent = sz;
}

RelativePosUI CControlUI::GetRelativePos() const
{
    return m_relPos;
}

bool CControlUI::IsRelativePos() const
{
    return m_relPos.bRelative;
}

// ---- Plain properties ----

CUIString CControlUI::GetToolTip() const
{
    return m_sToolTip;
}

void CControlUI::SetToolTip(const char* pstrText)
{
    CUIString sText(pstrText != nullptr ? pstrText : "");
    sText.ReplaceAll("<n>", "\r\n");
    m_sToolTip = sText;
}

void CControlUI::SetToolTipWidth(int nWidth)
{
    m_nToolTipWidth = nWidth;
}

int CControlUI::GetToolTipWidth() const
{
    return m_nToolTipWidth;
}

char CControlUI::GetShortcut() const
{
    return m_chShortcut;
}

void CControlUI::SetShortcut(char ch)
{
    m_chShortcut = ch;
}

bool CControlUI::IsContextMenuUsed() const
{
    return m_bContextMenu;
}

void CControlUI::SetContextMenuUsed(bool bMenuUsed)
{
    m_bContextMenu = bMenuUsed;
}

CUIString CControlUI::GetUserData() const
{
    return m_sUserData;
}

void CControlUI::SetUserData(const char* pstrText)
{
    m_sUserData = pstrText;
}

UINT_PTR CControlUI::GetTag() const
{
    return m_pTag;
}

void CControlUI::SetTag(UINT_PTR pTag)
{
    m_pTag = pTag;
}

// ---- State ----

bool CControlUI::IsVisible() const
{
    return m_bVisible && m_bInternVisible;
}

void CControlUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible)
        return;
    const bool bWasVisible = IsVisible();
    m_bVisible = bVisible;
    m_bFocused = false;
    if (!bVisible && m_pManager != nullptr && m_pManager->GetFocusedControl() == this)
        m_pManager->FocusControl(nullptr);
    if (IsVisible() != bWasVisible)
        RequestParentLayout();
}

void CControlUI::SetInternVisible(bool bVisible)
{
    m_bInternVisible = bVisible;
    if (!bVisible && m_pManager != nullptr && m_pManager->GetFocusedControl() == this)
        m_pManager->FocusControl(nullptr);
}

bool CControlUI::IsEnabled() const
{
    return m_bEnabled;
}

void CControlUI::SetEnabled(bool bEnable)
{
    if (m_bEnabled == bEnable)
        return;
    m_bEnabled = bEnable;
    Invalidate();
}

bool CControlUI::IsMouseEnabled() const
{
    return m_bMouseEnabled;
}

void CControlUI::SetMouseEnabled(bool bEnable)
{
    m_bMouseEnabled = bEnable;
}

bool CControlUI::IsKeyboardEnabled() const
{
    return m_bKeyboardEnabled;
}

void CControlUI::SetKeyboardEnabled(bool bEnable)
{
    m_bKeyboardEnabled = bEnable;
}

bool CControlUI::IsFocused() const
{
    return m_bFocused;
}

void CControlUI::SetFocus()
{
    if (m_pManager != nullptr)
        m_pManager->FocusControl(this);
}

bool CControlUI::IsFloat() const
{
    return m_bFloat;
}

void CControlUI::SetFloat(bool bFloat)
{
    if (m_bFloat == bFloat)
        return;
    m_bFloat = bFloat;
    RequestParentLayout();
}

CControlUI* CControlUI::FindControl(FindControlProc Proc, void* pData, UINT uFlags)
{
    return LeafTest(this, m_rcPos, m_bMouseEnabled, Proc, pData, uFlags);
}

// ---- Life cycle and input ----

void CControlUI::InitControl()
{
    OnInit();
    if (m_initListeners)
        m_initListeners(this);
}

void CControlUI::OnInit() {}

void CControlUI::DeliverEvent(InputEventUI& event)
{
    // The listeners also answer false when one of them deleted this control: nothing of it is touched then.
    if (m_eventListeners(&event))
        HandleEvent(event);
}

void CControlUI::HandleEvent(InputEventUI& event)
{
    switch (event.nKind) {
    case UIEV_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))); // IDC_ARROW
        return;
    case UIEV_SETFOCUS:
        m_bFocused = true;
        Invalidate();
        return;
    case UIEV_KILLFOCUS:
        m_bFocused = false;
        Invalidate();
        return;
    case UIEV_TIMER:
        if (m_pManager != nullptr)
            m_pManager->SendNotify(this, "timer", event.wParam, event.lParam);
        return;
    case UIEV_CONTEXTMENU:
        if (IsContextMenuUsed()) {
            if (m_pManager != nullptr)
                m_pManager->SendNotify(this, "menu", event.wParam, event.lParam);
            return;
        }
        break;
    default:
        break;
    }
    // Unhandled events bubble up to the root.
    if (m_pParent != nullptr)
        m_pParent->HandleEvent(event);
}

CUISize CControlUI::EstimateSize(SIZE /*szAvailable*/)
{
    return DpiScaled(m_szFixed);
}

// ---- Attributes ----

void CControlUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    auto is = [pstrName](const char* pstrKey) { return std::strcmp(pstrName, pstrKey) == 0; };

    if (is("pos")) {
        int v[4] = {};
        ParseIntList(pstrValue, v, 4);
        const int l = v[0], t = v[1], r = v[2], b = v[3];
        SetFixedXY(CUISize(l >= 0 ? l : r, t >= 0 ? t : b));
        SetFixedWidth(r - l);
        SetFixedHeight(b - t);
    } else if (is("relativepos")) {
        int v[4] = {};
        ParseIntList(pstrValue, v, 4);
        SetRelativePos(v[0], v[1], v[2], v[3]);
    } else if (is("padding")) {
        int v[4] = {};
        ParseIntList(pstrValue, v, 4);
        SetPadding(CUIRect(v[0], v[1], v[2], v[3]));
    } else if (is("bkcolor") || is("bkcolor1")) {
        SetBackColor(ParseColor(SkipBlanks(pstrValue)));
    } else if (is("bkcolor2")) {
        SetBackColor2(ParseColor(SkipBlanks(pstrValue)));
    } else if (is("bkcolor3")) {
        SetBackColor3(ParseColor(SkipBlanks(pstrValue)));
    } else if (is("bordercolor")) {
        SetBorderColor(ParseColor(pstrValue));
    } else if (is("focusbordercolor")) {
        SetFocusBorderColor(ParseColor(pstrValue));
    } else if (is("colorhsl")) {
        SetColorHsl(ParseBool(pstrValue));
    } else if (is("bordersize")) {
        if (std::strchr(pstrValue, ',') == nullptr) {
            SetBorderSize(ParseInt(pstrValue));
            SetBorderSides(0, 0, 0, 0);
        } else {
            int v[4] = {};
            ParseIntList(pstrValue, v, 4);
            SetBorderSides(v[0], v[1], v[2], v[3]);
        }
    } else if (is("leftbordersize")) {
        SetLeftBorderSize(ParseInt(pstrValue));
    } else if (is("topbordersize")) {
        SetTopBorderSize(ParseInt(pstrValue));
    } else if (is("rightbordersize")) {
        SetRightBorderSize(ParseInt(pstrValue));
    } else if (is("bottombordersize")) {
        SetBottomBorderSize(ParseInt(pstrValue));
    } else if (is("borderstyle")) {
        SetBorderStyle(ParseInt(pstrValue));
    } else if (is("borderround")) {
        int v[2] = {};
        ParseIntList(pstrValue, v, 2);
        SetBorderRound(CUISize(v[0], v[1]));
    } else if (is("bkimage")) {
        SetBackImage(pstrValue);
    } else if (is("width")) {
        SetFixedWidth(ParseInt(pstrValue));
    } else if (is("height")) {
        SetFixedHeight(ParseInt(pstrValue));
    } else if (is("minwidth")) {
        SetMinWidth(ParseInt(pstrValue));
    } else if (is("minheight")) {
        SetMinHeight(ParseInt(pstrValue));
    } else if (is("maxwidth")) {
        SetMaxWidth(ParseInt(pstrValue));
    } else if (is("maxheight")) {
        SetMaxHeight(ParseInt(pstrValue));
    } else if (is("name")) {
        SetName(pstrValue);
    } else if (is("text")) {
        SetText(pstrValue);
    } else if (is("tooltip")) {
        SetToolTip(pstrValue);
    } else if (is("userdata")) {
        SetUserData(pstrValue);
    } else if (is("enabled")) {
        SetEnabled(ParseBool(pstrValue));
    } else if (is("mouse")) {
        SetMouseEnabled(ParseBool(pstrValue));
    } else if (is("keyboard")) {
        SetKeyboardEnabled(ParseBool(pstrValue));
    } else if (is("visible")) {
        SetVisible(ParseBool(pstrValue));
    } else if (is("float")) {
        SetFloat(ParseBool(pstrValue));
    } else if (is("shortcut")) {
        SetShortcut(pstrValue[0]);
    } else if (is("menu")) {
        SetContextMenuUsed(ParseBool(pstrValue));
    } else if (is("virtualwnd")) {
        SetVirtualWindow(pstrValue);
    }
}

void CControlUI::ApplyAttributeList(const char* pstrList)
{
    if (pstrList == nullptr)
        return;
    CUIString sName;
    CUIString sValue;
    const char* p = pstrList;
    while (*p != '\0') {
        const int nName = RunLength(p, '=');
        sName.AssignText(p, nName);
        p += nName;
        UIASSERT(*p == '=');
        if (*p != '=')
            return;
        ++p;
        UIASSERT(*p == '"');
        if (*p != '"')
            return;
        ++p;
        const int nValue = RunLength(p, '"');
        sValue.AssignText(p, nValue);
        p += nValue;
        UIASSERT(*p == '"');
        if (*p != '"')
            return;
        ++p;
        ApplyAttribute(sName, sValue);
        // Pairs are separated by exactly one space; anything else (the terminating 0 included) ends the list.
        if (*p != ' ')
            return;
        ++p;
    }
}

// ---- Display scale ----

int CControlUI::DpiScaled(int n) const
{
    return m_pManager != nullptr ? m_pManager->ScaleLength(n) : n;
}

CUIRect CControlUI::DpiScaled(const RECT& rc) const
{
    return m_pManager != nullptr ? m_pManager->ScaleRect(rc) : CUIRect(rc);
}

CUISize CControlUI::DpiScaled(const SIZE& sz) const
{
    return m_pManager != nullptr ? m_pManager->ScaleSize(sz) : CUISize(sz);
}

int CControlUI::DpiUnscaled(int n) const
{
    return m_pManager != nullptr ? m_pManager->UnscaleLength(n) : n;
}

// ---- Repainting and layout requests ----

void CControlUI::Invalidate()
{
    if (!IsVisible())
        return;
    RECT rcInvalidate = m_rcPos;
    for (CControlUI* pParent = m_pParent; pParent != nullptr; pParent = pParent->GetParent()) {
        const RECT rcTemp = rcInvalidate;
        const RECT rcParent = pParent->GetPos();
        if (!::IntersectRect(&rcInvalidate, &rcTemp, &rcParent))
            return;
    }
    if (m_pManager != nullptr)
        m_pManager->InvalidateArea(&rcInvalidate);
}

bool CControlUI::IsLayoutNeeded() const
{
    return m_bLayoutNeeded;
}

void CControlUI::RequestLayout()
{
    if (!IsVisible())
        return;
    m_bLayoutNeeded = true;
    Invalidate();
    if (m_pManager != nullptr)
        m_pManager->MarkLayoutNeeded();
}

void CControlUI::RequestParentLayout()
{
    if (m_pParent != nullptr) {
        m_pParent->RequestLayout();
        m_pParent->Invalidate();
    } else {
        RequestLayout();
    }
    if (m_pManager != nullptr)
        m_pManager->MarkLayoutNeeded();
}

// ---- Colours, images and the virtual window ----

DWORD CControlUI::AdjustedColor(DWORD dwColor) const
{
    if (!m_bColorHsl)
        return dwColor;
    short H = 0, S = 0, L = 0;
    CPaintManagerUI::GetColorAdjust(H, S, L);
    return CUIRender::AdjustColorHSL(dwColor, H, S, L);
}

bool CControlUI::DrawImage(HDC hDC, const char* pstrImage, const char* pstrModify, bool bUseOwnAlpha, BYTE uFade,
                           bool bModifyInPixels)
{
    if (m_pManager == nullptr || pstrImage == nullptr || *pstrImage == '\0')
        return false;
    return CUIRender::PaintImageSpec(hDC, m_pManager, m_rcPos, m_rcPaint, pstrImage, pstrModify, bUseOwnAlpha, uFade,
                                     bModifyInPixels);
}

CUIString CControlUI::GetVirtualWindow() const
{
    if (!m_sVirtualWindow.IsEmpty())
        return m_sVirtualWindow;
    if (m_pParent != nullptr)
        return m_pParent->GetVirtualWindow();
    return CUIString();
}

void CControlUI::SetVirtualWindow(const char* pstrValue)
{
    m_sVirtualWindow = pstrValue;
    if (m_pManager != nullptr)
        m_pManager->SetVirtualWindowRouting(true);
}

DWORD CControlUI::GetBackColor() const
{
    return m_dwBackColor;
}

void CControlUI::SetBackColor(DWORD dwBackColor)
{
    if (m_dwBackColor == dwBackColor)
        return;
    m_dwBackColor = dwBackColor;
    Invalidate();
}

DWORD CControlUI::GetBackColor2() const
{
    return m_dwBackColor2;
}

void CControlUI::SetBackColor2(DWORD dwBackColor)
{
    if (m_dwBackColor2 == dwBackColor)
        return;
    m_dwBackColor2 = dwBackColor;
    Invalidate();
}

DWORD CControlUI::GetBackColor3() const
{
    return m_dwBackColor3;
}

void CControlUI::SetBackColor3(DWORD dwBackColor)
{
    if (m_dwBackColor3 == dwBackColor)
        return;
    m_dwBackColor3 = dwBackColor;
    Invalidate();
}

CUIString CControlUI::GetBackImage() const
{
    return m_sBackImage;
}

void CControlUI::SetBackImage(const char* pstrImage)
{
    if (m_sBackImage == (pstrImage != nullptr ? pstrImage : ""))
        return;
    m_sBackImage = pstrImage;
    Invalidate();
}

DWORD CControlUI::GetBorderColor() const
{
    return m_dwBorderColor;
}

void CControlUI::SetBorderColor(DWORD dwBorderColor)
{
    if (m_dwBorderColor == dwBorderColor)
        return;
    m_dwBorderColor = dwBorderColor;
    Invalidate();
}

DWORD CControlUI::GetFocusBorderColor() const
{
    return m_dwFocusBorderColor;
}

void CControlUI::SetFocusBorderColor(DWORD dwBorderColor)
{
    if (m_dwFocusBorderColor == dwBorderColor)
        return;
    m_dwFocusBorderColor = dwBorderColor;
    Invalidate();
}

bool CControlUI::IsColorHsl() const
{
    return m_bColorHsl;
}

void CControlUI::SetColorHsl(bool bColorHsl)
{
    if (m_bColorHsl == bColorHsl)
        return;
    m_bColorHsl = bColorHsl;
    Invalidate();
}

int CControlUI::GetBorderSize() const
{
    return m_nBorderSize;
}

void CControlUI::SetBorderSize(int nSize)
{
    if (m_nBorderSize == nSize)
        return;
    m_nBorderSize = nSize;
    Invalidate();
}

void CControlUI::SetBorderSides(int nLeft, int nTop, int nRight, int nBottom)
{
    m_rcBorderSides = CUIRect(nLeft, nTop, nRight, nBottom);
    Invalidate();
}

int CControlUI::GetLeftBorderSize() const
{
    return m_rcBorderSides.left;
}

void CControlUI::SetLeftBorderSize(int nSize)
{
    m_rcBorderSides.left = nSize;
    Invalidate();
}

int CControlUI::GetTopBorderSize() const
{
    return m_rcBorderSides.top;
}

void CControlUI::SetTopBorderSize(int nSize)
{
    m_rcBorderSides.top = nSize;
    Invalidate();
}

int CControlUI::GetRightBorderSize() const
{
    return m_rcBorderSides.right;
}

void CControlUI::SetRightBorderSize(int nSize)
{
    m_rcBorderSides.right = nSize;
    Invalidate();
}

int CControlUI::GetBottomBorderSize() const
{
    return m_rcBorderSides.bottom;
}

void CControlUI::SetBottomBorderSize(int nSize)
{
    m_rcBorderSides.bottom = nSize;
    Invalidate();
}

int CControlUI::GetBorderStyle() const
{
    return m_nBorderStyle;
}

void CControlUI::SetBorderStyle(int nStyle)
{
    m_nBorderStyle = nStyle;
    Invalidate();
}

CUISize CControlUI::GetBorderRound() const
{
    return m_szBorderRound;
}

void CControlUI::SetBorderRound(SIZE cxyRound)
{
    m_szBorderRound = cxyRound;
    Invalidate();
}

// ---- Painting ----

void CControlUI::Paint(HDC hDC, const RECT& rcDirty)
{
    RECT rcPaint;
    if (!::IntersectRect(&rcPaint, &rcDirty, &m_rcPos))
        return;
    m_rcPaint = rcPaint;
    // A rounded control clips its five steps to its rounded shape.
    CUIRenderClip clip;
    if (m_szBorderRound.cx > 0 || m_szBorderRound.cy > 0) {
        const CUISize szRound = DpiScaled(m_szBorderRound);
        CUIRenderClip::ClipToRoundRect(hDC, m_rcPaint, m_rcPos, szRound.cx, szRound.cy, clip);
    }
    PaintBackColor(hDC);
    PaintBackImage(hDC);
    PaintStateImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
}

void CControlUI::PaintBackColor(HDC hDC)
{
    if (m_dwBackColor == 0)
        return;
    if (m_dwBackColor2 != 0) {
        if (m_dwBackColor3 != 0) {
            RECT rc = m_rcPos;
            rc.bottom = (m_rcPos.top + m_rcPos.bottom) / 2;
            CUIRender::FillGradient(hDC, rc, AdjustedColor(m_dwBackColor), AdjustedColor(m_dwBackColor2), true, 8);
            rc.top = rc.bottom;
            rc.bottom = m_rcPos.bottom;
            CUIRender::FillGradient(hDC, rc, AdjustedColor(m_dwBackColor2), AdjustedColor(m_dwBackColor3), true, 8);
        } else {
            CUIRender::FillGradient(hDC, m_rcPos, AdjustedColor(m_dwBackColor), AdjustedColor(m_dwBackColor2), true,
                                    16);
        }
    } else if (m_dwBackColor >= 0xFF000000) {
        CUIRender::FillColor(hDC, m_rcPaint, AdjustedColor(m_dwBackColor));
    } else {
        // A translucent colour is blended over the whole control.
        CUIRender::FillColor(hDC, m_rcPos, AdjustedColor(m_dwBackColor));
    }
}

void CControlUI::PaintBackImage(HDC hDC)
{
    if (m_sBackImage.IsEmpty())
        return;
    // A bad image string is dropped at its first failure instead of being tried on every paint.
    if (!DrawImage(hDC, m_sBackImage, nullptr, false, 255))
        m_sBackImage.Clear();
}

void CControlUI::PaintStateImage(HDC /*hDC*/) {}

void CControlUI::PaintText(HDC /*hDC*/) {}

void CControlUI::PaintBorder(HDC hDC)
{
    if (m_dwBorderColor == 0 && m_dwFocusBorderColor == 0)
        return;
    const bool bRound = m_szBorderRound.cx > 0 || m_szBorderRound.cy > 0;
    const int nBorderSize = m_nBorderSize > 0 ? DpiScaled(m_nBorderSize) : m_nBorderSize;
    const CUIRect rcSides = DpiScaled(m_rcBorderSides);
    if (m_nBorderSize > 0 && bRound) {
        const DWORD dwColor = (IsFocused() && m_dwFocusBorderColor != 0) ? m_dwFocusBorderColor : m_dwBorderColor;
        const CUISize szRound = DpiScaled(m_szBorderRound);
        CUIRender::StrokeRoundRect(hDC, m_rcPos, nBorderSize, szRound.cx, szRound.cy, AdjustedColor(dwColor));
    } else if (IsFocused() && m_dwFocusBorderColor != 0 && m_nBorderSize > 0) {
        CUIRender::StrokeRect(hDC, m_rcPos, nBorderSize, AdjustedColor(m_dwFocusBorderColor));
    } else if (m_rcBorderSides.left > 0 || m_rcBorderSides.top > 0 || m_rcBorderSides.right > 0 ||
               m_rcBorderSides.bottom > 0) {
        const DWORD dwColor = AdjustedColor(m_dwBorderColor);
        if (m_rcBorderSides.left > 0) {
            RECT rc = m_rcPos;
            rc.right = rc.left;
            CUIRender::StrokeLine(hDC, rc, rcSides.left, dwColor, m_nBorderStyle);
        }
        if (m_rcBorderSides.top > 0) {
            RECT rc = m_rcPos;
            rc.bottom = rc.top;
            CUIRender::StrokeLine(hDC, rc, rcSides.top, dwColor, m_nBorderStyle);
        }
        if (m_rcBorderSides.right > 0) {
            RECT rc = m_rcPos;
            rc.left = rc.right;
            CUIRender::StrokeLine(hDC, rc, rcSides.right, dwColor, m_nBorderStyle);
        }
        if (m_rcBorderSides.bottom > 0) {
            RECT rc = m_rcPos;
            rc.top = rc.bottom;
            CUIRender::StrokeLine(hDC, rc, rcSides.bottom, dwColor, m_nBorderStyle);
        }
    } else if (m_nBorderSize > 0) {
        CUIRender::StrokeRect(hDC, m_rcPos, nBorderSize, AdjustedColor(m_dwBorderColor));
    }
}

void CControlUI::PaintOverlay(HDC /*hDC*/, const RECT& /*rcDirty*/) {}

} // namespace SkinUI
