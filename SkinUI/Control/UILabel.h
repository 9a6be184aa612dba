// CLabelUI paints one line of text inside its rectangle: aligned by DrawText format flags, in one of the
// manager's fonts and colours, inset by a text padding, optionally as inline mark-up; or, with the effect
// switched on, as gradient-filled text with an outline and a shadow. CTextUI is a word-wrapping label that
// measures its own height and turns the links of its mark-up into clickable areas.
#pragma once

#include "SkinUI/Core/UIControl.h"

namespace SkinUI {

// A rectangle in floating-point device units (the effect path's layout and shadow offset).
struct RectFUI
{
    float X = 0.0f;
    float Y = 0.0f;
    float Width = 0.0f;
    float Height = 0.0f;
};

// What the effect path hands to the graphics library when it starts it for a label.
struct EffectStartupInputUI
{
    UINT32 version = 1;
    void* debugEventCallback = nullptr;
    BOOL suppressBackgroundThread = FALSE;
    BOOL suppressExternalCodecs = FALSE;
};

class CLabelUI : public CControlUI
{
public:
    CLabelUI();
    ~CLabelUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    CUIString GetText() const override;
    void SetText(const char* pstrText) override;
    void HandleEvent(InputEventUI& event) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;
    CUISize EstimateSize(SIZE szAvailable) override;
    void PaintText(HDC hDC) override;

    UINT GetTextStyle() const;
    void SetTextStyle(UINT uStyle);
    DWORD GetTextColor() const;
    void SetTextColor(DWORD dwTextColor);
    DWORD GetDisabledTextColor() const;
    void SetDisabledTextColor(DWORD dwTextColor);
    int GetFont() const;
    void SetFont(int iFont);
    CUIRect GetTextPadding() const;
    void SetTextPadding(RECT rc);
    bool IsShowHtml() const;
    void SetShowHtml(bool bShowHtml = true);

    // Effect settings; none of them repaints, the next paint uses them.
    bool GetEnabledEffect() const;
    void SetEnabledEffect(bool bEnable);
    bool GetEnabledStroke() const;
    void SetEnabledStroke(bool bEnable);
    bool GetEnabledShadow() const;
    void SetEnabledShadow(bool bEnable);
    int GetTransShadow() const;
    void SetTransShadow(int nTrans);
    int GetTransShadow1() const;
    void SetTransShadow1(int nTrans);
    int GetTransText() const;
    void SetTransText(int nTrans);
    int GetTransText1() const;
    void SetTransText1(int nTrans);
    int GetTransStroke() const;
    void SetTransStroke(int nTrans);
    int GetGradientLength() const;
    void SetGradientLength(int nLength);
    int GetGradientAngle() const;
    void SetGradientAngle(int nAngle);
    DWORD GetTextColor1() const;
    void SetTextColor1(DWORD dwColor);
    DWORD GetTextShadowColorA() const;
    void SetTextShadowColorA(DWORD dwColor);
    DWORD GetTextShadowColorB() const;
    void SetTextShadowColorB(DWORD dwColor);
    DWORD GetStrokeColor() const;
    void SetStrokeColor(DWORD dwColor);
    int GetTextRenderingHintAntiAlias() const;
    void SetTextRenderingHintAntiAlias(int nHint);
    RectFUI GetShadowOffset() const;
    // Moves the shadow by nOffset pixels in the direction of nAngle degrees (-180..180; others are ignored).
    void SetShadowOffset(int nOffset, int nAngle);

protected:
    // Fills a text colour of 0 with the manager's defaults (kept from then on).
    void ApplyDefaultColors();
    // m_rcPos inset by the text padding.
    RECT TextRect() const;
    // The effect path: gradient text with optional outline and shadow.
    void PaintEffectText(HDC hDC, const RECT& rcText);

    DWORD m_dwTextColor;
    DWORD m_dwDisabledTextColor;
    int m_iFont;
    UINT m_uTextStyle;
    CUIRect m_rcTextPadding;
    bool m_bShowHtml;

    int m_nStringAlign;
    int m_nLineAlign;
    int m_nTransShadow;
    int m_nTransShadow1;
    int m_nTransText;
    int m_nTransText1;
    int m_nTransStroke;
    int m_nGradientLength;
    int m_nGradientAngle;
    bool m_bEnableEffect;
    bool m_bEnableStroke;
    bool m_bEnableShadow;
    DWORD m_dwTextColor1;
    DWORD m_dwTextShadowColorA;
    DWORD m_dwTextShadowColorB;
    DWORD m_dwStrokeColor;
    RectFUI m_shadowOffset;
    CUIString m_sEffectText;
    // The graphics library is started for a label when it first paints through the effect path and shut
    // down with the label.
    ULONG_PTR m_gdiplusToken;
    EffectStartupInputUI m_gdiplusInput;
    int m_nTextRenderingHint;
};

// A label that wraps its text, measures its height from it and reports clicks on the links of its mark-up
// ("link" with the link's index).
class CTextUI : public CLabelUI
{
public:
    static constexpr int kMaxLinks = 8;

    CTextUI();
    ~CTextUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    UINT GetControlFlags() const override;
    void HandleEvent(InputEventUI& event) override;
    CUISize EstimateSize(SIZE szAvailable) override;
    void PaintText(HDC hDC) override;

    // The text of link iIndex of the last paint, or null.
    const CUIString* GetLinkContent(int iIndex) const;

protected:
    // Index of the first link rectangle containing pt, or -1.
    int LinkAt(POINT pt) const;

    int m_nLinks;
    RECT m_rcLinks[kMaxLinks];
    CUIString m_sLinks[kMaxLinks];
    int m_nHoverLink;
};

} // namespace SkinUI
