// CProgressUI shows a value between a minimum and a maximum as the filled part of a bar: horizontal bars
// fill from the left edge, vertical ones from the bottom edge. The fill image ("foreimage") is stretched
// over the filled part, or with "isstretchfore" "false" only the part of the image under it is shown.
// The empty bar is the ordinary background; the label's text is drawn over both.
#pragma once

#include "SkinUI/Control/UILabel.h"

namespace SkinUI {

class CProgressUI : public CLabelUI
{
public:
    CProgressUI();
    ~CProgressUI() override;

    CUIString GetClassName() const override;
    void* GetInterface(const char* pstrName) override;
    void ApplyAttribute(const char* pstrName, const char* pstrValue) override;
    void PaintStateImage(HDC hDC) override;

    bool IsHorizontal() const;
    void SetHorizontal(bool bHorizontal = true);
    int GetMinValue() const;
    void SetMinValue(int nMin);
    int GetMaxValue() const;
    void SetMaxValue(int nMax);
    int GetValue() const;
    void SetValue(int nValue);
    CUIString GetForeImage() const;
    void SetForeImage(const char* pstrImage);
    bool IsStretchForeImage() const;
    void SetStretchForeImage(bool bStretch = true);

    // The filled part of a cx x cy bar relative to its top-left corner, for a range that is already valid
    // (nMin < nMax, nMin <= nValue <= nMax). The products are taken in 64 bits, so wide ranges cannot
    // overflow.
    static RECT FilledPart(bool bHorizontal, int cx, int cy, int nMin, int nMax, int nValue);

protected:
    // Repairs the range in the fields: an empty or inverted range gets a maximum one above the minimum,
    // and the value is clamped into it.
    void CorrectRange();

    bool m_bHorizontal;
    bool m_bStretchForeImage;
    int m_nMax;
    int m_nMin;
    int m_nValue;
    CUIString m_sFillImage;
    CUIString m_sFillImageModify;
};

} // namespace SkinUI
