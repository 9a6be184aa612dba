// CLabelUI and CTextUI: attributes, measuring, plain and mark-up text, link hit-testing; the effect path
// draws through the graphics library's flat interface, loaded by full path from the system folder.
#include "SkinUI/Control/UILabel.h"

#include "SkinUI/Core/UIDpi.h"
#include "SkinUI/Core/UIPlatformText.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Utils/SystemLibrary.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <cstring>
#include <string>

namespace SkinUI {

namespace {

// The flat graphics interface, resolved once per process. Every entry is null when the library or one of
// its functions is missing; the effect path then falls back to plain GDI text.
namespace Gdip {

using Status = int;
struct GpGraphics;
struct GpFont;
struct GpBrush;
struct GpStringFormat;
struct PointI
{
    INT X;
    INT Y;
};
struct RectF
{
    float X;
    float Y;
    float Width;
    float Height;
};

struct Api
{
    Status(WINAPI* Startup)(ULONG_PTR*, const EffectStartupInputUI*, void*) = nullptr;
    void(WINAPI* Shutdown)(ULONG_PTR) = nullptr;
    Status(WINAPI* CreateFromHDC)(HDC, GpGraphics**) = nullptr;
    Status(WINAPI* DeleteGraphics)(GpGraphics*) = nullptr;
    Status(WINAPI* SetTextRenderingHint)(GpGraphics*, int) = nullptr;
    Status(WINAPI* CreateFontFromLogfontW)(HDC, const LOGFONTW*, GpFont**) = nullptr;
    Status(WINAPI* CreateFontFromDC)(HDC, GpFont**) = nullptr;
    Status(WINAPI* DeleteFont)(GpFont*) = nullptr;
    Status(WINAPI* CreateStringFormat)(INT, LANGID, GpStringFormat**) = nullptr;
    Status(WINAPI* SetStringFormatAlign)(GpStringFormat*, int) = nullptr;
    Status(WINAPI* SetStringFormatLineAlign)(GpStringFormat*, int) = nullptr;
    Status(WINAPI* DeleteStringFormat)(GpStringFormat*) = nullptr;
    Status(WINAPI* CreateLineBrushI)(const PointI*, const PointI*, DWORD, DWORD, int, GpBrush**) = nullptr;
    Status(WINAPI* DeleteBrush)(GpBrush*) = nullptr;
    Status(WINAPI* DrawString)(GpGraphics*, const WCHAR*, INT, const GpFont*, const RectF*, const GpStringFormat*,
                               const GpBrush*) = nullptr;

    bool IsComplete() const
    {
        return Startup != nullptr && Shutdown != nullptr && CreateFromHDC != nullptr && DeleteGraphics != nullptr &&
               SetTextRenderingHint != nullptr && CreateFontFromLogfontW != nullptr && CreateFontFromDC != nullptr &&
               DeleteFont != nullptr && CreateStringFormat != nullptr && SetStringFormatAlign != nullptr &&
               SetStringFormatLineAlign != nullptr && DeleteStringFormat != nullptr && CreateLineBrushI != nullptr &&
               DeleteBrush != nullptr && DrawString != nullptr;
    }
};

constexpr int kWrapModeTile = 0;

const Api* GetApi()
{
    // The library stays loaded for the life of the process: labels may start and stop it at any time.
    static CUISystemLibrary s_library("gdiplus.dll");
    static const Api s_api = [] {
        Api api;
        if (!s_library.IsLoaded())
            return api;
        api.Startup = s_library.Proc<decltype(api.Startup)>("GdiplusStartup");
        api.Shutdown = s_library.Proc<decltype(api.Shutdown)>("GdiplusShutdown");
        api.CreateFromHDC = s_library.Proc<decltype(api.CreateFromHDC)>("GdipCreateFromHDC");
        api.DeleteGraphics = s_library.Proc<decltype(api.DeleteGraphics)>("GdipDeleteGraphics");
        api.SetTextRenderingHint = s_library.Proc<decltype(api.SetTextRenderingHint)>("GdipSetTextRenderingHint");
        api.CreateFontFromLogfontW = s_library.Proc<decltype(api.CreateFontFromLogfontW)>("GdipCreateFontFromLogfontW");
        api.CreateFontFromDC = s_library.Proc<decltype(api.CreateFontFromDC)>("GdipCreateFontFromDC");
        api.DeleteFont = s_library.Proc<decltype(api.DeleteFont)>("GdipDeleteFont");
        api.CreateStringFormat = s_library.Proc<decltype(api.CreateStringFormat)>("GdipCreateStringFormat");
        api.SetStringFormatAlign = s_library.Proc<decltype(api.SetStringFormatAlign)>("GdipSetStringFormatAlign");
        api.SetStringFormatLineAlign =
            s_library.Proc<decltype(api.SetStringFormatLineAlign)>("GdipSetStringFormatLineAlign");
        api.DeleteStringFormat = s_library.Proc<decltype(api.DeleteStringFormat)>("GdipDeleteStringFormat");
        api.CreateLineBrushI = s_library.Proc<decltype(api.CreateLineBrushI)>("GdipCreateLineBrushI");
        api.DeleteBrush = s_library.Proc<decltype(api.DeleteBrush)>("GdipDeleteBrush");
        api.DrawString = s_library.Proc<decltype(api.DrawString)>("GdipDrawString");
        return api;
    }();
    return s_api.IsComplete() ? &s_api : nullptr;
}

// Owners of the flat interface's objects.
class Graphics
{
public:
    Graphics(const Api& api, HDC hDC) : m_api(api) { m_api.CreateFromHDC(hDC, &m_p); }
    ~Graphics()
    {
        if (m_p != nullptr)
            m_api.DeleteGraphics(m_p);
    }
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    GpGraphics* Get() const { return m_p; }

private:
    const Api& m_api;
    GpGraphics* m_p = nullptr;
};

class Font
{
public:
    Font(const Api& api, HDC hDC, HFONT hFont) : m_api(api)
    {
        LOGFONTW lf = {};
        if (hFont != nullptr && ::GetObjectW(hFont, sizeof(lf), &lf) == sizeof(lf))
            m_api.CreateFontFromLogfontW(hDC, &lf, &m_p);
        else
            m_api.CreateFontFromDC(hDC, &m_p);
    }
    ~Font()
    {
        if (m_p != nullptr)
            m_api.DeleteFont(m_p);
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    GpFont* Get() const { return m_p; }

private:
    const Api& m_api;
    GpFont* m_p = nullptr;
};

class StringFormat
{
public:
    StringFormat(const Api& api, int nAlign, int nLineAlign) : m_api(api)
    {
        if (m_api.CreateStringFormat(0, LANG_NEUTRAL, &m_p) == 0 && m_p != nullptr) {
            m_api.SetStringFormatAlign(m_p, nAlign);
            m_api.SetStringFormatLineAlign(m_p, nLineAlign);
        }
    }
    ~StringFormat()
    {
        if (m_p != nullptr)
            m_api.DeleteStringFormat(m_p);
    }
    StringFormat(const StringFormat&) = delete;
    StringFormat& operator=(const StringFormat&) = delete;
    GpStringFormat* Get() const { return m_p; }

private:
    const Api& m_api;
    GpStringFormat* m_p = nullptr;
};

class LineBrush
{
public:
    LineBrush(const Api& api, PointI ptFrom, PointI ptTo, DWORD dwFrom, DWORD dwTo) : m_api(api)
    {
        m_api.CreateLineBrushI(&ptFrom, &ptTo, dwFrom, dwTo, kWrapModeTile, &m_p);
    }
    ~LineBrush()
    {
        if (m_p != nullptr)
            m_api.DeleteBrush(m_p);
    }
    LineBrush(const LineBrush&) = delete;
    LineBrush& operator=(const LineBrush&) = delete;
    GpBrush* Get() const { return m_p; }

private:
    const Api& m_api;
    GpBrush* m_p = nullptr;
};

} // namespace Gdip

// The red, green and blue of dwColor under the alpha nAlpha (cut to a byte).
DWORD WithAlpha(DWORD dwColor, int nAlpha)
{
    return (static_cast<DWORD>(nAlpha & 0xFF) << 24) | (dwColor & 0x00FFFFFF);
}

bool IsAttr(const char* pstrName, const char* pstrWanted)
{
    return std::strcmp(pstrName, pstrWanted) == 0;
}

} // namespace

// ---- CLabelUI ----

CLabelUI::CLabelUI()
    : m_dwTextColor(0),
      m_dwDisabledTextColor(0),
      m_iFont(-1),
      m_uTextStyle(DT_VCENTER),
      m_bShowHtml(false),
      m_nStringAlign(0),
      m_nLineAlign(1),
      m_nTransShadow(60),
      m_nTransShadow1(60),
      m_nTransText(168),
      m_nTransText1(168),
      m_nTransStroke(255),
      m_nGradientLength(0),
      m_nGradientAngle(0),
      m_bEnableEffect(false),
      m_bEnableStroke(false),
      m_bEnableShadow(false),
      m_dwTextColor1(0xFFFFFFFF),
      m_dwTextShadowColorA(0xFF000000),
      m_dwTextShadowColorB(0xFFFFFFFF),
      m_dwStrokeColor(0),
      m_gdiplusToken(0),
      m_nTextRenderingHint(0)
{
}

CLabelUI::~CLabelUI()
{
    if (m_gdiplusToken != 0) {
        if (const Gdip::Api* pApi = Gdip::GetApi())
            pApi->Shutdown(m_gdiplusToken);
    }
}

CUIString CLabelUI::GetClassName() const
{
    return "LabelUI";
}

void* CLabelUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "Label") == 0)
        return this;
    return CControlUI::GetInterface(pstrName);
}

CUIString CLabelUI::GetText() const
{
    return m_bEnableEffect ? m_sEffectText : m_sText;
}

void CLabelUI::SetText(const char* pstrText)
{
    if (!m_bEnableEffect) {
        CControlUI::SetText(pstrText);
        return;
    }
    m_sEffectText = pstrText;
}

void CLabelUI::HandleEvent(InputEventUI& event)
{
    if (event.nKind == UIEV_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.nKind == UIEV_KILLFOCUS) {
        m_bFocused = false;
        return;
    }
    CControlUI::HandleEvent(event);
}

void CLabelUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    if (IsAttr(pstrName, "align")) {
        // Each word is looked for on its own, in this order; "vcenter" contains "center" and so also
        // centres horizontally.
        if (std::strstr(pstrValue, "left") != nullptr)
            m_uTextStyle &= ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
        if (std::strstr(pstrValue, "center") != nullptr) {
            m_uTextStyle &= ~DT_RIGHT;
            m_uTextStyle |= DT_CENTER;
        }
        if (std::strstr(pstrValue, "right") != nullptr) {
            m_uTextStyle &= ~(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            m_uTextStyle |= DT_RIGHT;
        }
        if (std::strstr(pstrValue, "top") != nullptr) {
            m_uTextStyle &= ~(DT_BOTTOM | DT_VCENTER);
            m_uTextStyle |= DT_SINGLELINE;
        }
        if (std::strstr(pstrValue, "vcenter") != nullptr) {
            m_uTextStyle &= ~DT_BOTTOM;
            m_uTextStyle |= DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        }
        if (std::strstr(pstrValue, "bottom") != nullptr) {
            m_uTextStyle &= ~DT_VCENTER;
            m_uTextStyle |= DT_BOTTOM | DT_SINGLELINE;
        }
    } else if (IsAttr(pstrName, "endellipsis")) {
        if (ParseBool(pstrValue))
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (IsAttr(pstrName, "font")) {
        SetFont(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "textcolor")) {
        SetTextColor(ParseColor(pstrValue));
    } else if (IsAttr(pstrName, "disabledtextcolor")) {
        SetDisabledTextColor(ParseColor(pstrValue));
    } else if (IsAttr(pstrName, "textpadding")) {
        int v[4] = {};
        ParseIntList(pstrValue, v, 4);
        SetTextPadding(CUIRect(v[0], v[1], v[2], v[3]));
    } else if (IsAttr(pstrName, "showhtml")) {
        SetShowHtml(ParseBool(pstrValue));
    } else if (IsAttr(pstrName, "enabledeffect")) {
        SetEnabledEffect(ParseBool(pstrValue));
    } else if (IsAttr(pstrName, "rhaa")) {
        SetTextRenderingHintAntiAlias(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "transshadow")) {
        SetTransShadow(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "transtext")) {
        SetTransText(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "transshadow1")) {
        SetTransShadow1(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "transtext1")) {
        SetTransText1(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "gradientangle")) {
        SetGradientAngle(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "enabledstroke")) {
        SetEnabledStroke(ParseBool(pstrValue));
    } else if (IsAttr(pstrName, "enabledshadow")) {
        SetEnabledShadow(ParseBool(pstrValue));
    } else if (IsAttr(pstrName, "transstroke")) {
        SetTransStroke(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "gradientlength")) {
        SetGradientLength(ParseInt(pstrValue));
    } else if (IsAttr(pstrName, "shadowoffset")) {
        int v[2] = {};
        ParseIntList(pstrValue, v, 2);
        SetShadowOffset(v[0], v[1]);
    } else if (IsAttr(pstrName, "textcolor1")) {
        SetTextColor1(ParseColor(pstrValue));
    } else if (IsAttr(pstrName, "textshadowcolora")) {
        SetTextShadowColorA(ParseColor(pstrValue));
    } else if (IsAttr(pstrName, "textshadowcolorb")) {
        SetTextShadowColorB(ParseColor(pstrValue));
    } else if (IsAttr(pstrName, "strokecolor")) {
        SetStrokeColor(ParseColor(pstrValue));
    } else {
        CControlUI::ApplyAttribute(pstrName, pstrValue);
    }
}

CUISize CLabelUI::EstimateSize(SIZE szAvailable)
{
    if (m_szFixed.cy != 0 || m_pManager == nullptr)
        return CControlUI::EstimateSize(szAvailable);
    // Only the font's height counts; the text itself is not measured.
    return CUISize(DpiScaled(m_szFixed.cx), m_pManager->FontInfoByIndex(m_iFont)->metrics.tmHeight + DpiScaled(4));
}

void CLabelUI::ApplyDefaultColors()
{
    if (m_pManager == nullptr)
        return;
    if (m_dwTextColor == 0)
        m_dwTextColor = m_pManager->GetDefaultFontColor();
    if (m_dwDisabledTextColor == 0)
        m_dwDisabledTextColor = m_pManager->GetDisabledFontColor();
}

RECT CLabelUI::TextRect() const
{
    RECT rc = m_rcPos;
    const CUIRect rcPadding = DpiScaled(m_rcTextPadding);
    rc.left += rcPadding.left;
    rc.top += rcPadding.top;
    rc.right -= rcPadding.right;
    rc.bottom -= rcPadding.bottom;
    return rc;
}

void CLabelUI::PaintText(HDC hDC)
{
    ApplyDefaultColors();
    RECT rc = TextRect();
    if (m_bEnableEffect) {
        PaintEffectText(hDC, rc);
        return;
    }
    if (m_sText.IsEmpty())
        return;
    const DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    // A label always draws one line.
    const UINT uStyle = m_uTextStyle | DT_SINGLELINE;
    if (m_bShowHtml) {
        int nLinks = 0;
        CUIRender::PaintMarkupText(hDC, m_pManager, rc, m_sText, dwColor, nullptr, nullptr, nLinks, uStyle);
    } else {
        CUIRender::DrawPlainText(hDC, m_pManager, rc, m_sText, dwColor, m_iFont, uStyle);
    }
}

void CLabelUI::PaintEffectText(HDC hDC, const RECT& rcText)
{
    if (hDC == nullptr || m_pManager == nullptr)
        return;
    const Gdip::Api* pApi = Gdip::GetApi();
    if (pApi != nullptr && m_gdiplusToken == 0 && pApi->Startup(&m_gdiplusToken, &m_gdiplusInput, nullptr) != 0)
        m_gdiplusToken = 0;
    if (pApi == nullptr || m_gdiplusToken == 0) {
        // Without the graphics library the effect text is drawn plainly in the first text colour.
        if (!m_sEffectText.IsEmpty()) {
            UINT uStyle = DT_SINGLELINE | (m_nLineAlign == 1 ? DT_VCENTER : m_nLineAlign == 2 ? DT_BOTTOM : 0);
            uStyle |= m_nStringAlign == 1 ? DT_CENTER : m_nStringAlign == 2 ? DT_RIGHT : 0;
            CUIRender::DrawPlainText(hDC, m_pManager, rcText, m_sEffectText, m_dwTextColor, m_iFont, uStyle);
        }
        return;
    }

    const Gdip::Font font(*pApi, hDC, m_pManager->FontByIndex(m_iFont));
    const Gdip::Graphics graphics(*pApi, hDC);
    const Gdip::StringFormat format(*pApi, m_nStringAlign, m_nLineAlign);
    if (font.Get() == nullptr || graphics.Get() == nullptr || format.Get() == nullptr)
        return;
    pApi->SetTextRenderingHint(graphics.Get(), m_nTextRenderingHint);

    const int nHeight = rcText.bottom - rcText.top;
    Gdip::RectF rcLayout = {static_cast<float>(rcText.left), static_cast<float>(rcText.top),
                            static_cast<float>(rcText.right - rcText.left), static_cast<float>(nHeight)};
    // Offsets and lengths of the effects are logical, like every length of the skin.
    Gdip::RectF rcShadow = rcLayout;
    const float fScale = static_cast<float>(m_pManager->GetDpi()) / kLogicalDpi;
    rcShadow.X += m_shadowOffset.X * fScale;
    rcShadow.Y += m_shadowOffset.Y * fScale;

    const int nLength = m_nGradientLength != 0 ? DpiScaled(m_nGradientLength) : nHeight;
    const Gdip::PointI ptFrom = {m_nGradientAngle, 0};
    const Gdip::PointI ptTo = {0, nLength};
    const DWORD dwShadowB = m_dwTextShadowColorB == 0xFFFFFFFF ? m_dwTextShadowColorA : m_dwTextShadowColorB;
    const Gdip::LineBrush shadowBrush(*pApi, ptFrom, ptTo, WithAlpha(m_dwTextShadowColorA, m_nTransShadow),
                                      WithAlpha(dwShadowB, m_nTransShadow1));
    const DWORD dwText1 = m_dwTextColor1 == 0xFFFFFFFF ? m_dwTextColor : m_dwTextColor1;
    const Gdip::LineBrush textBrush(*pApi, ptFrom, ptTo, WithAlpha(m_dwTextColor, m_nTransText),
                                    WithAlpha(dwText1, m_nTransText1));

    const std::wstring strText = GbkToWide(m_sEffectText);
    const WCHAR* pwText = strText.c_str();

    if (m_bEnableStroke && m_dwStrokeColor != 0) {
        const Gdip::PointI ptStrokeTo = {0, nHeight + DpiScaled(2)};
        const DWORD dwStroke = WithAlpha(m_dwStrokeColor, m_nTransStroke);
        const Gdip::LineBrush strokeBrush(*pApi, ptFrom, ptStrokeTo, dwStroke, dwStroke);
        static const int kOffsets[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& offset : kOffsets) {
            Gdip::RectF rc = rcLayout;
            rc.X += static_cast<float>(DpiScaled(offset[0]));
            rc.Y += static_cast<float>(DpiScaled(offset[1]));
            pApi->DrawString(graphics.Get(), pwText, -1, font.Get(), &rc, format.Get(), strokeBrush.Get());
        }
    }
    if (m_bEnableShadow && (m_dwTextShadowColorA != 0 || m_dwTextShadowColorB != 0))
        pApi->DrawString(graphics.Get(), pwText, -1, font.Get(), &rcShadow, format.Get(), shadowBrush.Get());
    pApi->DrawString(graphics.Get(), pwText, -1, font.Get(), &rcLayout, format.Get(), textBrush.Get());
}

UINT CLabelUI::GetTextStyle() const
{
    return m_uTextStyle;
}

void CLabelUI::SetTextStyle(UINT uStyle)
{
    m_uTextStyle = uStyle;
    Invalidate();
}

DWORD CLabelUI::GetTextColor() const
{
    return m_dwTextColor;
}

void CLabelUI::SetTextColor(DWORD dwTextColor)
{
    m_dwTextColor = dwTextColor;
    Invalidate();
}

DWORD CLabelUI::GetDisabledTextColor() const
{
    return m_dwDisabledTextColor;
}

void CLabelUI::SetDisabledTextColor(DWORD dwTextColor)
{
    m_dwDisabledTextColor = dwTextColor;
    Invalidate();
}

int CLabelUI::GetFont() const
{
    return m_iFont;
}

void CLabelUI::SetFont(int iFont)
{
    m_iFont = iFont;
    Invalidate();
}

CUIRect CLabelUI::GetTextPadding() const
{
    return m_rcTextPadding;
}

void CLabelUI::SetTextPadding(RECT rc)
{
    m_rcTextPadding = rc;
    Invalidate();
}

bool CLabelUI::IsShowHtml() const
{
    return m_bShowHtml;
}

void CLabelUI::SetShowHtml(bool bShowHtml)
{
    if (m_bShowHtml == bShowHtml)
        return;
    m_bShowHtml = bShowHtml;
    Invalidate();
}

bool CLabelUI::GetEnabledEffect() const
{
    return m_bEnableEffect;
}

void CLabelUI::SetEnabledEffect(bool bEnable)
{
    m_bEnableEffect = bEnable;
}

bool CLabelUI::GetEnabledStroke() const
{
    return m_bEnableStroke;
}

void CLabelUI::SetEnabledStroke(bool bEnable)
{
    m_bEnableStroke = bEnable;
}

bool CLabelUI::GetEnabledShadow() const
{
    return m_bEnableShadow;
}

void CLabelUI::SetEnabledShadow(bool bEnable)
{
    m_bEnableShadow = bEnable;
}

int CLabelUI::GetTransShadow() const
{
    return m_nTransShadow;
}

void CLabelUI::SetTransShadow(int nTrans)
{
    m_nTransShadow = nTrans;
}

int CLabelUI::GetTransShadow1() const
{
    return m_nTransShadow1;
}

void CLabelUI::SetTransShadow1(int nTrans)
{
    m_nTransShadow1 = nTrans;
}

int CLabelUI::GetTransText() const
{
    return m_nTransText;
}

void CLabelUI::SetTransText(int nTrans)
{
    m_nTransText = nTrans;
}

int CLabelUI::GetTransText1() const
{
    return m_nTransText1;
}

void CLabelUI::SetTransText1(int nTrans)
{
    m_nTransText1 = nTrans;
}

int CLabelUI::GetTransStroke() const
{
    return m_nTransStroke;
}

void CLabelUI::SetTransStroke(int nTrans)
{
    m_nTransStroke = nTrans;
}

int CLabelUI::GetGradientLength() const
{
    return m_nGradientLength;
}

void CLabelUI::SetGradientLength(int nLength)
{
    m_nGradientLength = nLength;
}

int CLabelUI::GetGradientAngle() const
{
    return m_nGradientAngle;
}

void CLabelUI::SetGradientAngle(int nAngle)
{
    m_nGradientAngle = nAngle;
}

DWORD CLabelUI::GetTextColor1() const
{
    return m_dwTextColor1;
}

void CLabelUI::SetTextColor1(DWORD dwColor)
{
    m_dwTextColor1 = dwColor;
}

DWORD CLabelUI::GetTextShadowColorA() const
{
    return m_dwTextShadowColorA;
}

void CLabelUI::SetTextShadowColorA(DWORD dwColor)
{
    m_dwTextShadowColorA = dwColor;
}

DWORD CLabelUI::GetTextShadowColorB() const
{
    return m_dwTextShadowColorB;
}

void CLabelUI::SetTextShadowColorB(DWORD dwColor)
{
    m_dwTextShadowColorB = dwColor;
}

DWORD CLabelUI::GetStrokeColor() const
{
    return m_dwStrokeColor;
}

void CLabelUI::SetStrokeColor(DWORD dwColor)
{
    m_dwStrokeColor = dwColor;
}

int CLabelUI::GetTextRenderingHintAntiAlias() const
{
    return m_nTextRenderingHint;
}

void CLabelUI::SetTextRenderingHintAntiAlias(int nHint)
{
    m_nTextRenderingHint = nHint;
}

RectFUI CLabelUI::GetShadowOffset() const
{
    return m_shadowOffset;
}

void CLabelUI::SetShadowOffset(int nOffset, int nAngle)
{
    if (nAngle > 180 || nAngle < -180)
        return;
    // The offset is taken from the control's position at the time of the call; while the skin is built
    // that position is all zero and the result is a plain signed offset.
    RECT rc = m_rcPos;
    if (nAngle >= 0)
        rc.top -= nOffset;
    else
        rc.top += nOffset;
    if (nAngle > -90 && nAngle <= 90)
        rc.left -= nOffset;
    else
        rc.left += nOffset;
    m_shadowOffset.X = static_cast<float>(rc.top);
    m_shadowOffset.Y = static_cast<float>(rc.left);
}

// ---- CTextUI ----

CTextUI::CTextUI() : m_nLinks(0), m_rcLinks(), m_nHoverLink(-1)
{
    m_uTextStyle = DT_WORDBREAK;
    m_rcTextPadding.left = 2;
    m_rcTextPadding.right = 2;
}

CTextUI::~CTextUI() = default;

CUIString CTextUI::GetClassName() const
{
    return "TextUI";
}

void* CTextUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "Text") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

UINT CTextUI::GetControlFlags() const
{
    return IsEnabled() && m_nLinks > 0 ? CONTROL_FLAG_SETCURSOR : 0;
}

const CUIString* CTextUI::GetLinkContent(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_nLinks)
        return nullptr;
    return &m_sLinks[iIndex];
}

int CTextUI::LinkAt(POINT pt) const
{
    for (int i = 0; i < m_nLinks && i < kMaxLinks; ++i) {
        if (::PtInRect(&m_rcLinks[i], pt))
            return i;
    }
    return -1;
}

void CTextUI::HandleEvent(InputEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEventKind(event.nKind)) {
        if (m_pParent != nullptr)
            m_pParent->HandleEvent(event);
        else
            CLabelUI::HandleEvent(event);
        return;
    }
    switch (event.nKind) {
    case UIEV_SETCURSOR:
        if (LinkAt(event.ptMouse) >= 0) {
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))); // IDC_HAND
            return;
        }
        break;
    case UIEV_BUTTONDOWN:
    case UIEV_DBLCLICK:
        if ((event.nKind == UIEV_BUTTONDOWN || IsEnabled()) && LinkAt(event.ptMouse) >= 0) {
            Invalidate();
            return;
        }
        break;
    case UIEV_BUTTONUP:
        if (IsEnabled()) {
            const int iLink = LinkAt(event.ptMouse);
            if (iLink >= 0) {
                if (m_pManager != nullptr)
                    m_pManager->SendNotify(this, "link", static_cast<WPARAM>(iLink), 0);
                return;
            }
        }
        break;
    case UIEV_CONTEXTMENU:
        return;
    case UIEV_MOUSEMOVE:
        if (m_nLinks > 0 && IsEnabled()) {
            const int iHover = LinkAt(event.ptMouse);
            if (iHover != m_nHoverLink) {
                m_nHoverLink = iHover;
                Invalidate();
                return;
            }
        }
        break;
    case UIEV_MOUSELEAVE:
        if (m_nLinks > 0 && IsEnabled() && m_nHoverLink != -1) {
            m_nHoverLink = -1;
            Invalidate();
            return;
        }
        break;
    default:
        break;
    }
    CLabelUI::HandleEvent(event);
}

CUISize CTextUI::EstimateSize(SIZE szAvailable)
{
    if (m_pManager == nullptr)
        return CLabelUI::EstimateSize(szAvailable);
    const int cxFixed = DpiScaled(m_szFixed.cx);
    const CUIRect rcPadding = DpiScaled(m_rcTextPadding);
    RECT rc = {0, 0, cxFixed > szAvailable.cx ? cxFixed : szAvailable.cx, 9999};
    rc.left += rcPadding.left;
    rc.right -= rcPadding.right;
    // Before the manager has a window there is no host device context; a screen-compatible one measures
    // the same, where measuring nothing would report the whole 9999-pixel column.
    HDC hDC = m_pManager->GetHostDC();
    HDC hMemoryDC = nullptr;
    if (hDC == nullptr)
        hDC = hMemoryDC = ::CreateCompatibleDC(nullptr);
    const UINT uStyle = m_uTextStyle | DT_CALCRECT;
    if (m_sText.IsEmpty()) {
        rc.right = rc.left;
        rc.bottom = rc.top;
    } else if (m_bShowHtml) {
        int nLinks = 0;
        CUIRender::PaintMarkupText(hDC, m_pManager, rc, m_sText, m_dwTextColor, nullptr, nullptr, nLinks, uStyle);
    } else if (hDC != nullptr) {
        // Measured here because the renderer's plain-text routine does not hand the extent back.
        const HGDIOBJ hOldFont = ::SelectObject(hDC, m_pManager->FontByIndex(m_iFont));
        DrawGbkText(hDC, m_sText, -1, &rc, uStyle | DT_NOPREFIX);
        ::SelectObject(hDC, hOldFont);
    }
    if (hMemoryDC != nullptr)
        ::DeleteDC(hMemoryDC);
    CUISize sz(rc.right - rc.left + rcPadding.left + rcPadding.right,
               rc.bottom - rc.top + rcPadding.top + rcPadding.bottom);
    if (m_szFixed.cy != 0)
        sz.cy = DpiScaled(m_szFixed.cy);
    return sz;
}

void CTextUI::PaintText(HDC hDC)
{
    if (m_sText.IsEmpty()) {
        m_nLinks = 0;
        return;
    }
    ApplyDefaultColors();
    m_nLinks = kMaxLinks;
    RECT rc = TextRect();
    const DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (m_bShowHtml) {
        CUIRender::PaintMarkupText(hDC, m_pManager, rc, m_sText, dwColor, m_rcLinks, m_sLinks, m_nLinks, m_uTextStyle);
    } else {
        // Plain text has no links; keeping the count would leave stale link areas clickable.
        m_nLinks = 0;
        CUIRender::DrawPlainText(hDC, m_pManager, rc, m_sText, dwColor, m_iFont, m_uTextStyle);
    }
}

} // namespace SkinUI
