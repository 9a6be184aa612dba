// CScrollBarUI: placement of buttons and thumb, press, drag and repeat, and painting of the five parts.
#include "SkinUI/Core/UIScrollBar.h"

#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Core/UIRender.h"

#include <climits>
#include <cstring>

namespace SkinUI {

namespace {

// The thickness a bar gets when it has none across its direction.
constexpr int kDefaultThickness = 16;
// Ticks of the repeat timer before a held button or rail starts repeating.
constexpr int kRepeatDelayTicks = 5;
// The outline of a part that has no image to show.
constexpr int kFallbackOutlineWidth = 2;
constexpr DWORD kFallbackOutlineColor = 0xFF85E4FF;

LONG Clamp32(long long n)
{
    return n > INT_MAX ? INT_MAX : (n < INT_MIN ? INT_MIN : static_cast<LONG>(n));
}

} // namespace

CScrollBarUI::CScrollBarUI()
    : m_bHorizontal(false),
      m_nRange(100),
      m_nScrollPos(0),
      m_nLineSize(8),
      m_pOwner(nullptr),
      m_nLastScrollPos(0),
      m_nLastScrollOffset(0),
      m_nScrollRepeatDelay(0),
      m_bShowButton1(true),
      m_uButton1State(0),
      m_bShowButton2(true),
      m_uButton2State(0),
      m_uThumbState(0)
{
    m_szFixed.cx = kDefaultThickness;
}

CScrollBarUI::~CScrollBarUI() = default;

CUIString CScrollBarUI::GetClassName() const
{
    return "ScrollBarUI";
}

void* CScrollBarUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "ScrollBar") == 0)
        return this;
    return CControlUI::GetInterface(pstrName);
}

CContainerUI* CScrollBarUI::GetOwner() const
{
    return m_pOwner;
}

void CScrollBarUI::SetOwner(CContainerUI* pOwner)
{
    m_pOwner = pOwner;
}

void CScrollBarUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible)
        return;
    m_bVisible = bVisible;
    m_bFocused = false;
}

void CScrollBarUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) {
        m_uButton1State = 0;
        m_uButton2State = 0;
        m_uThumbState = 0;
    }
}

void CScrollBarUI::SetFocus()
{
    if (m_pOwner != nullptr)
        m_pOwner->SetFocus();
    else
        CControlUI::SetFocus();
}

bool CScrollBarUI::IsHorizontal() const
{
    return m_bHorizontal;
}

void CScrollBarUI::SetHorizontal(bool bHorizontal)
{
    if (m_bHorizontal == bHorizontal)
        return;
    m_bHorizontal = bHorizontal;
    if (m_bHorizontal) {
        if (m_szFixed.cy == 0) {
            m_szFixed.cx = 0;
            m_szFixed.cy = kDefaultThickness;
        }
    } else if (m_szFixed.cx == 0) {
        m_szFixed.cx = kDefaultThickness;
        m_szFixed.cy = 0;
    }
    if (m_pOwner != nullptr)
        m_pOwner->RequestLayout();
    else
        RequestParentLayout();
}

int CScrollBarUI::GetScrollRange() const
{
    return m_nRange;
}

void CScrollBarUI::SetScrollRange(int nRange)
{
    if (m_nRange == nRange)
        return;
    m_nRange = nRange < 0 ? 0 : nRange;
    if (m_nScrollPos > m_nRange)
        m_nScrollPos = m_nRange;
    SetPos(m_rcPos);
}

int CScrollBarUI::GetScrollPos() const
{
    return m_nScrollPos;
}

void CScrollBarUI::SetScrollPos(int nPos)
{
    if (m_nScrollPos == nPos)
        return;
    m_nScrollPos = nPos < 0 ? 0 : (nPos > m_nRange ? m_nRange : nPos);
    SetPos(m_rcPos);
}

int CScrollBarUI::GetLineSize() const
{
    return m_nLineSize;
}

void CScrollBarUI::SetLineSize(int nSize)
{
    m_nLineSize = nSize;
}

bool CScrollBarUI::IsShowButton1() const
{
    return m_bShowButton1;
}

void CScrollBarUI::SetShowButton1(bool bShow)
{
    m_bShowButton1 = bShow;
    SetPos(m_rcPos);
}

bool CScrollBarUI::IsShowButton2() const
{
    return m_bShowButton2;
}

void CScrollBarUI::SetShowButton2(bool bShow)
{
    m_bShowButton2 = bShow;
    SetPos(m_rcPos);
}

CUIRect CScrollBarUI::GetButton1Rect() const
{
    return m_rcButton1;
}

CUIRect CScrollBarUI::GetButton2Rect() const
{
    return m_rcButton2;
}

CUIRect CScrollBarUI::GetThumbRect() const
{
    return m_rcThumb;
}

int CScrollBarUI::Thickness() const
{
    return DpiScaled(m_bHorizontal ? m_szFixed.cy : m_szFixed.cx);
}

// ---- Placement ----

void CScrollBarUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    const CUIRect& R = m_rcPos;
    // Worked out along the bar: "low" is left or top, "high" right or bottom; across it the parts start
    // at the bar's edge and are as thick as the bar.
    const long long nLow = m_bHorizontal ? R.left : R.top;
    const long long nHigh = m_bHorizontal ? R.right : R.bottom;
    const long long nAcross = m_bHorizontal ? R.top : R.left;
    const long long L = nHigh - nLow;
    const long long B = Thickness();
    const auto place = [this, nAcross](long long nStart, long long nEnd, long long nThick) {
        const LONG a = Clamp32(nAcross);
        const LONG b = Clamp32(nAcross + nThick);
        return m_bHorizontal ? CUIRect(Clamp32(nStart), a, Clamp32(nEnd), b)
                             : CUIRect(a, Clamp32(nStart), b, Clamp32(nEnd));
    };
    // A hidden button is an empty rectangle at the bar's end.
    const auto hidden = [this, &R](bool bAtHigh) {
        const LONG x = m_bHorizontal && bAtHigh ? R.right : R.left;
        const LONG y = !m_bHorizontal && bAtHigh ? R.bottom : R.top;
        return CUIRect(x, y, x, y);
    };

    const long long T = L - (m_bShowButton1 ? B : 0) - (m_bShowButton2 ? B : 0);
    if (B < T) {
        m_rcButton1 = m_bShowButton1 ? place(nLow, nLow + B, B) : hidden(false);
        m_rcButton2 = m_bShowButton2 ? place(nHigh - B, nHigh, B) : hidden(true);
        const long long nTrackStart = m_bHorizontal ? m_rcButton1.right : m_rcButton1.bottom;
        const long long nTrackEnd = m_bHorizontal ? m_rcButton2.left : m_rcButton2.top;
        if (m_nRange <= 0) {
            m_rcThumb = place(nTrackStart, nTrackEnd, B);
            return;
        }
        long long nLength = L * T / (L + m_nRange);
        if (nLength < B)
            nLength = B;
        long long nStart = (T - nLength) * m_nScrollPos / m_nRange + nTrackStart;
        if (nStart + nLength > nTrackEnd)
            nStart = nTrackEnd - nLength;
        m_rcThumb = place(nStart, nStart + nLength, B);
        return;
    }
    // No room for a thumb: the buttons share the length.
    long long m = L / 2;
    if (m > B)
        m = B;
    m_rcButton1 = m_bShowButton1 ? place(nLow, nLow + m, B) : hidden(false);
    m_rcButton2 = m_bShowButton2 ? place(nHigh - m, nHigh, B) : hidden(true);
    m_rcThumb.Zero();
}

// ---- Scrolling actions ----

void CScrollBarUI::LineBack()
{
    if (m_pOwner == nullptr)
        SetScrollPos(Clamp32(static_cast<long long>(m_nScrollPos) - DpiScaled(m_nLineSize)));
    else if (m_bHorizontal)
        m_pOwner->ScrollLineLeft();
    else
        m_pOwner->ScrollLineUp();
}

void CScrollBarUI::LineForward()
{
    if (m_pOwner == nullptr)
        SetScrollPos(Clamp32(static_cast<long long>(m_nScrollPos) + DpiScaled(m_nLineSize)));
    else if (m_bHorizontal)
        m_pOwner->ScrollLineRight();
    else
        m_pOwner->ScrollLineDown();
}

void CScrollBarUI::PageBack()
{
    const long long nPage = m_bHorizontal ? m_rcPos.Width() : m_rcPos.Height();
    if (m_pOwner == nullptr)
        SetScrollPos(Clamp32(m_nScrollPos - nPage));
    else if (m_bHorizontal)
        m_pOwner->ScrollPageLeft();
    else
        m_pOwner->ScrollPageUp();
}

void CScrollBarUI::PageForward()
{
    const long long nPage = m_bHorizontal ? m_rcPos.Width() : m_rcPos.Height();
    if (m_pOwner == nullptr)
        SetScrollPos(Clamp32(m_nScrollPos + nPage));
    else if (m_bHorizontal)
        m_pOwner->ScrollPageRight();
    else
        m_pOwner->ScrollPageDown();
}

void CScrollBarUI::PageTowards(POINT pt)
{
    const LONG n = m_bHorizontal ? pt.x : pt.y;
    if (n < (m_bHorizontal ? m_rcThumb.left : m_rcThumb.top))
        PageBack();
    else if (n > (m_bHorizontal ? m_rcThumb.right : m_rcThumb.bottom))
        PageForward();
}

void CScrollBarUI::NotifyScroll()
{
    if (m_pManager != nullptr && m_pOwner == nullptr)
        m_pManager->SendNotify(this, "scroll");
}

// ---- Input ----

void CScrollBarUI::HandleEvent(InputEventUI& event)
{
    const auto passOn = [this, &event]() {
        if (m_pOwner != nullptr)
            m_pOwner->HandleEvent(event);
        else
            CControlUI::HandleEvent(event);
    };
    if (!IsMouseEnabled() && IsMouseEventKind(event.nKind)) {
        passOn();
        return;
    }

    switch (event.nKind) {
    case UIEV_SETFOCUS:
    case UIEV_KILLFOCUS:
    case UIEV_CONTEXTMENU:
        return;
    case UIEV_BUTTONDOWN:
    case UIEV_DBLCLICK:
        if (!IsEnabled())
            return;
        m_nLastScrollOffset = 0;
        m_nScrollRepeatDelay = 0;
        if (m_pManager != nullptr)
            m_pManager->StartControlTimer(this, kTimerId, kTimerMs);
        if (::PtInRect(&m_rcButton1, event.ptMouse)) {
            m_uButton1State |= CONTROL_STATE_PUSHED;
            LineBack();
        } else if (::PtInRect(&m_rcButton2, event.ptMouse)) {
            m_uButton2State |= CONTROL_STATE_PUSHED;
            LineForward();
        } else if (::PtInRect(&m_rcThumb, event.ptMouse)) {
            m_uThumbState |= CONTROL_STATE_PUSHED | CONTROL_STATE_CAPTURED;
            m_ptLastMouse = event.ptMouse;
            m_nLastScrollPos = m_nScrollPos;
        } else {
            PageTowards(event.ptMouse);
        }
        NotifyScroll();
        return;
    case UIEV_BUTTONUP:
        m_nScrollRepeatDelay = 0;
        m_nLastScrollOffset = 0;
        if (m_pManager != nullptr)
            m_pManager->StopControlTimer(this, kTimerId);
        if ((m_uThumbState & CONTROL_STATE_CAPTURED) != 0) {
            m_uThumbState &= ~(CONTROL_STATE_CAPTURED | CONTROL_STATE_PUSHED);
            Invalidate();
        } else if ((m_uButton1State & CONTROL_STATE_PUSHED) != 0) {
            m_uButton1State &= ~CONTROL_STATE_PUSHED;
            Invalidate();
        } else if ((m_uButton2State & CONTROL_STATE_PUSHED) != 0) {
            m_uButton2State &= ~CONTROL_STATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEV_MOUSEMOVE:
        if ((m_uThumbState & CONTROL_STATE_CAPTURED) != 0) {
            // Both button sizes come off even when a button is hidden.
            const long long B = Thickness();
            const long long D = m_bHorizontal ? static_cast<long long>(m_rcPos.Width()) - m_rcThumb.Width() - 2 * B
                                              : static_cast<long long>(m_rcPos.Height()) - m_rcThumb.Height() - 2 * B;
            const long long d = m_bHorizontal ? static_cast<long long>(event.ptMouse.x) - m_ptLastMouse.x
                                              : static_cast<long long>(event.ptMouse.y) - m_ptLastMouse.y;
            if (D != 0)
                m_nLastScrollOffset = Clamp32(d * m_nRange / D);
        } else if ((m_uThumbState & CONTROL_STATE_HOT) != 0) {
            if (!::PtInRect(&m_rcThumb, event.ptMouse)) {
                m_uThumbState &= ~CONTROL_STATE_HOT;
                Invalidate();
            }
        } else if (IsEnabled() && ::PtInRect(&m_rcThumb, event.ptMouse)) {
            m_uThumbState |= CONTROL_STATE_HOT;
            Invalidate();
        }
        return;
    case UIEV_TIMER:
        if (event.wParam != kTimerId)
            break;
        OnRepeatTimer();
        return;
    case UIEV_MOUSEENTER:
        if (IsEnabled()) {
            m_uButton1State |= CONTROL_STATE_HOT;
            m_uButton2State |= CONTROL_STATE_HOT;
            if (::PtInRect(&m_rcThumb, event.ptMouse))
                m_uThumbState |= CONTROL_STATE_HOT;
            Invalidate();
        }
        return;
    case UIEV_MOUSELEAVE:
        if (IsEnabled()) {
            m_uButton1State &= ~CONTROL_STATE_HOT;
            m_uButton2State &= ~CONTROL_STATE_HOT;
            m_uThumbState &= ~CONTROL_STATE_HOT;
            Invalidate();
        }
        return;
    default:
        break;
    }
    passOn();
}

void CScrollBarUI::OnRepeatTimer()
{
    ++m_nScrollRepeatDelay;
    if ((m_uThumbState & CONTROL_STATE_CAPTURED) != 0) {
        const int nPos = Clamp32(static_cast<long long>(m_nLastScrollPos) + m_nLastScrollOffset);
        if (m_pOwner == nullptr) {
            SetScrollPos(nPos);
        } else {
            CUISize sz = m_pOwner->GetScrollPos();
            (m_bHorizontal ? sz.cx : sz.cy) = nPos;
            m_pOwner->SetScrollPos(sz);
        }
        Invalidate();
    } else if ((m_uButton1State & CONTROL_STATE_PUSHED) != 0) {
        if (m_nScrollRepeatDelay <= kRepeatDelayTicks)
            return;
        LineBack();
    } else if ((m_uButton2State & CONTROL_STATE_PUSHED) != 0) {
        if (m_nScrollRepeatDelay <= kRepeatDelayTicks)
            return;
        LineForward();
    } else {
        if (m_nScrollRepeatDelay <= kRepeatDelayTicks)
            return;
        POINT pt = {};
        ::GetCursorPos(&pt);
        if (m_pManager != nullptr)
            ::ScreenToClient(m_pManager->GetHostWindow(), &pt);
        PageTowards(pt);
    }
    NotifyScroll();
}

// ---- Attributes ----

void CScrollBarUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    struct ImageAttribute
    {
        const char* pstrName;
        void (CScrollBarUI::*pfnSet)(const char*);
    };
    static const ImageAttribute kImages[] = {
        {"button1normalimage", &CScrollBarUI::SetButton1NormalImage},
        {"button1hotimage", &CScrollBarUI::SetButton1HotImage},
        {"button1pushedimage", &CScrollBarUI::SetButton1PushedImage},
        {"button1disabledimage", &CScrollBarUI::SetButton1DisabledImage},
        {"button2normalimage", &CScrollBarUI::SetButton2NormalImage},
        {"button2hotimage", &CScrollBarUI::SetButton2HotImage},
        {"button2pushedimage", &CScrollBarUI::SetButton2PushedImage},
        {"button2disabledimage", &CScrollBarUI::SetButton2DisabledImage},
        {"thumbnormalimage", &CScrollBarUI::SetThumbNormalImage},
        {"thumbhotimage", &CScrollBarUI::SetThumbHotImage},
        {"thumbpushedimage", &CScrollBarUI::SetThumbPushedImage},
        {"thumbdisabledimage", &CScrollBarUI::SetThumbDisabledImage},
        {"railnormalimage", &CScrollBarUI::SetRailNormalImage},
        {"railhotimage", &CScrollBarUI::SetRailHotImage},
        {"railpushedimage", &CScrollBarUI::SetRailPushedImage},
        {"raildisabledimage", &CScrollBarUI::SetRailDisabledImage},
        {"bknormalimage", &CScrollBarUI::SetBkNormalImage},
        {"bkhotimage", &CScrollBarUI::SetBkHotImage},
        {"bkpushedimage", &CScrollBarUI::SetBkPushedImage},
        {"bkdisabledimage", &CScrollBarUI::SetBkDisabledImage},
    };
    for (const ImageAttribute& image : kImages) {
        if (std::strcmp(pstrName, image.pstrName) == 0) {
            (this->*image.pfnSet)(pstrValue);
            return;
        }
    }
    if (std::strcmp(pstrName, "hor") == 0)
        SetHorizontal(ParseBool(pstrValue));
    else if (std::strcmp(pstrName, "linesize") == 0)
        SetLineSize(ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "range") == 0)
        SetScrollRange(ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "value") == 0)
        SetScrollPos(ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "showbutton1") == 0)
        SetShowButton1(ParseBool(pstrValue));
    else if (std::strcmp(pstrName, "showbutton2") == 0)
        SetShowButton2(ParseBool(pstrValue));
    else
        CControlUI::ApplyAttribute(pstrName, pstrValue);
}

// ---- Images ----

void CScrollBarUI::SetImage(CUIString& sImage, const char* pStrImage)
{
    sImage = pStrImage;
    Invalidate();
}

// clang-format off
CUIString CScrollBarUI::GetButton1NormalImage() const { return m_button1Images.sNormal; }
void CScrollBarUI::SetButton1NormalImage(const char* pStrImage) { SetImage(m_button1Images.sNormal, pStrImage); }
CUIString CScrollBarUI::GetButton1HotImage() const { return m_button1Images.sHot; }
void CScrollBarUI::SetButton1HotImage(const char* pStrImage) { SetImage(m_button1Images.sHot, pStrImage); }
CUIString CScrollBarUI::GetButton1PushedImage() const { return m_button1Images.sPushed; }
void CScrollBarUI::SetButton1PushedImage(const char* pStrImage) { SetImage(m_button1Images.sPushed, pStrImage); }
CUIString CScrollBarUI::GetButton1DisabledImage() const { return m_button1Images.sDisabled; }
void CScrollBarUI::SetButton1DisabledImage(const char* pStrImage) { SetImage(m_button1Images.sDisabled, pStrImage); }
CUIString CScrollBarUI::GetButton2NormalImage() const { return m_button2Images.sNormal; }
void CScrollBarUI::SetButton2NormalImage(const char* pStrImage) { SetImage(m_button2Images.sNormal, pStrImage); }
CUIString CScrollBarUI::GetButton2HotImage() const { return m_button2Images.sHot; }
void CScrollBarUI::SetButton2HotImage(const char* pStrImage) { SetImage(m_button2Images.sHot, pStrImage); }
CUIString CScrollBarUI::GetButton2PushedImage() const { return m_button2Images.sPushed; }
void CScrollBarUI::SetButton2PushedImage(const char* pStrImage) { SetImage(m_button2Images.sPushed, pStrImage); }
CUIString CScrollBarUI::GetButton2DisabledImage() const { return m_button2Images.sDisabled; }
void CScrollBarUI::SetButton2DisabledImage(const char* pStrImage) { SetImage(m_button2Images.sDisabled, pStrImage); }
CUIString CScrollBarUI::GetThumbNormalImage() const { return m_thumbImages.sNormal; }
void CScrollBarUI::SetThumbNormalImage(const char* pStrImage) { SetImage(m_thumbImages.sNormal, pStrImage); }
CUIString CScrollBarUI::GetThumbHotImage() const { return m_thumbImages.sHot; }
void CScrollBarUI::SetThumbHotImage(const char* pStrImage) { SetImage(m_thumbImages.sHot, pStrImage); }
CUIString CScrollBarUI::GetThumbPushedImage() const { return m_thumbImages.sPushed; }
void CScrollBarUI::SetThumbPushedImage(const char* pStrImage) { SetImage(m_thumbImages.sPushed, pStrImage); }
CUIString CScrollBarUI::GetThumbDisabledImage() const { return m_thumbImages.sDisabled; }
void CScrollBarUI::SetThumbDisabledImage(const char* pStrImage) { SetImage(m_thumbImages.sDisabled, pStrImage); }
CUIString CScrollBarUI::GetRailNormalImage() const { return m_railImages.sNormal; }
void CScrollBarUI::SetRailNormalImage(const char* pStrImage) { SetImage(m_railImages.sNormal, pStrImage); }
CUIString CScrollBarUI::GetRailHotImage() const { return m_railImages.sHot; }
void CScrollBarUI::SetRailHotImage(const char* pStrImage) { SetImage(m_railImages.sHot, pStrImage); }
CUIString CScrollBarUI::GetRailPushedImage() const { return m_railImages.sPushed; }
void CScrollBarUI::SetRailPushedImage(const char* pStrImage) { SetImage(m_railImages.sPushed, pStrImage); }
CUIString CScrollBarUI::GetRailDisabledImage() const { return m_railImages.sDisabled; }
void CScrollBarUI::SetRailDisabledImage(const char* pStrImage) { SetImage(m_railImages.sDisabled, pStrImage); }
CUIString CScrollBarUI::GetBkNormalImage() const { return m_bkImages.sNormal; }
void CScrollBarUI::SetBkNormalImage(const char* pStrImage) { SetImage(m_bkImages.sNormal, pStrImage); }
CUIString CScrollBarUI::GetBkHotImage() const { return m_bkImages.sHot; }
void CScrollBarUI::SetBkHotImage(const char* pStrImage) { SetImage(m_bkImages.sHot, pStrImage); }
CUIString CScrollBarUI::GetBkPushedImage() const { return m_bkImages.sPushed; }
void CScrollBarUI::SetBkPushedImage(const char* pStrImage) { SetImage(m_bkImages.sPushed, pStrImage); }
CUIString CScrollBarUI::GetBkDisabledImage() const { return m_bkImages.sDisabled; }
void CScrollBarUI::SetBkDisabledImage(const char* pStrImage) { SetImage(m_bkImages.sDisabled, pStrImage); }
// clang-format on

// ---- Painting ----

void CScrollBarUI::Paint(HDC hDC, const RECT& rcDirty)
{
    // The base's background, border and clip are not used: every part paints itself.
    if (!::IntersectRect(&m_rcPaint, &rcDirty, &m_rcPos))
        return;
    PaintBk(hDC);
    PaintButton1(hDC);
    PaintButton2(hDC);
    PaintThumb(hDC);
    PaintRail(hDC);
}

bool CScrollBarUI::PaintPart(HDC hDC, UINT& uState, PartImages& images, const char* pstrModify)
{
    if (IsEnabled())
        uState &= ~CONTROL_STATE_DISABLED;
    else
        uState |= CONTROL_STATE_DISABLED;
    const auto draw = [this, hDC, pstrModify](CUIString& sImage) {
        if (sImage.IsEmpty())
            return false;
        if (DrawImage(hDC, sImage, pstrModify, false, 255, pstrModify != nullptr))
            return true;
        sImage.Clear(); // a failing image is not tried again
        return false;
    };
    CUIString* pState = nullptr;
    if ((uState & CONTROL_STATE_DISABLED) != 0)
        pState = &images.sDisabled;
    else if ((uState & CONTROL_STATE_PUSHED) != 0)
        pState = &images.sPushed;
    else if ((uState & CONTROL_STATE_HOT) != 0)
        pState = &images.sHot;
    if (pState != nullptr && draw(*pState))
        return true;
    return draw(images.sNormal);
}

void CScrollBarUI::SetDestModify(const RECT& rc)
{
    m_sImageModify.FormatText("dest='%d,%d,%d,%d'", static_cast<int>(rc.left - m_rcPos.left),
                              static_cast<int>(rc.top - m_rcPos.top), static_cast<int>(rc.right - m_rcPos.left),
                              static_cast<int>(rc.bottom - m_rcPos.top));
}

void CScrollBarUI::PaintBk(HDC hDC)
{
    PaintPart(hDC, m_uThumbState, m_bkImages, nullptr);
}

void CScrollBarUI::PaintButton1(HDC hDC)
{
    if (!m_bShowButton1)
        return;
    SetDestModify(m_rcButton1);
    if (!PaintPart(hDC, m_uButton1State, m_button1Images, m_sImageModify))
        CUIRender::StrokeRect(hDC, m_rcButton1, kFallbackOutlineWidth, kFallbackOutlineColor);
}

void CScrollBarUI::PaintButton2(HDC hDC)
{
    if (!m_bShowButton2)
        return;
    SetDestModify(m_rcButton2);
    if (!PaintPart(hDC, m_uButton2State, m_button2Images, m_sImageModify))
        CUIRender::StrokeRect(hDC, m_rcButton2, kFallbackOutlineWidth, kFallbackOutlineColor);
}

void CScrollBarUI::PaintThumb(HDC hDC)
{
    if (m_rcThumb.IsAllZero())
        return;
    SetDestModify(m_rcThumb);
    if (!PaintPart(hDC, m_uThumbState, m_thumbImages, m_sImageModify))
        CUIRender::StrokeRect(hDC, m_rcThumb, kFallbackOutlineWidth, kFallbackOutlineColor);
}

void CScrollBarUI::PaintRail(HDC hDC)
{
    if (m_rcThumb.IsAllZero())
        return;
    // A square of the bar's thickness centred on the thumb.
    const int B = Thickness();
    CUIRect rc;
    if (m_bHorizontal) {
        const int nMid = (m_rcThumb.left + m_rcThumb.right) / 2;
        rc = CUIRect(nMid - B / 2, m_rcThumb.top, nMid + B - B / 2, m_rcThumb.bottom);
    } else {
        const int nMid = (m_rcThumb.top + m_rcThumb.bottom) / 2;
        rc = CUIRect(m_rcThumb.left, nMid - B / 2, m_rcThumb.right, nMid + B - B / 2);
    }
    SetDestModify(rc);
    PaintPart(hDC, m_uThumbState, m_railImages, m_sImageModify);
}

} // namespace SkinUI
