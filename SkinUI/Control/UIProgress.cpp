#include "SkinUI/Control/UIProgress.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace SkinUI {

CProgressUI::CProgressUI() : m_bHorizontal(true), m_bStretchForeImage(true), m_nMax(100), m_nMin(0), m_nValue(0)
{
    // No vertical centring: a text is drawn at the top of the bar.
    m_uTextStyle = DT_SINGLELINE | DT_CENTER;
    SetFixedHeight(12);
}

CProgressUI::~CProgressUI() = default;

CUIString CProgressUI::GetClassName() const
{
    return "ProgressUI";
}

void* CProgressUI::GetInterface(const char* pstrName)
{
    if (pstrName != nullptr && std::strcmp(pstrName, "Progress") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

bool CProgressUI::IsHorizontal() const
{
    return m_bHorizontal;
}

void CProgressUI::SetHorizontal(bool bHorizontal)
{
    if (m_bHorizontal == bHorizontal)
        return;
    m_bHorizontal = bHorizontal;
    Invalidate();
}

int CProgressUI::GetMinValue() const
{
    return m_nMin;
}

void CProgressUI::SetMinValue(int nMin)
{
    m_nMin = nMin;
    Invalidate();
}

int CProgressUI::GetMaxValue() const
{
    return m_nMax;
}

void CProgressUI::SetMaxValue(int nMax)
{
    m_nMax = nMax;
    Invalidate();
}

int CProgressUI::GetValue() const
{
    return m_nValue;
}

void CProgressUI::SetValue(int nValue)
{
    m_nValue = nValue;
    Invalidate();
}

CUIString CProgressUI::GetForeImage() const
{
    return m_sFillImage;
}

void CProgressUI::SetForeImage(const char* pstrImage)
{
    if (m_sFillImage == (pstrImage != nullptr ? pstrImage : ""))
        return;
    m_sFillImage = pstrImage;
    Invalidate();
}

bool CProgressUI::IsStretchForeImage() const
{
    return m_bStretchForeImage;
}

void CProgressUI::SetStretchForeImage(bool bStretch)
{
    if (m_bStretchForeImage == bStretch)
        return;
    m_bStretchForeImage = bStretch;
    Invalidate();
}

void CProgressUI::ApplyAttribute(const char* pstrName, const char* pstrValue)
{
    using namespace AttributeText;
    if (pstrName == nullptr || pstrValue == nullptr)
        return;
    if (std::strcmp(pstrName, "foreimage") == 0)
        SetForeImage(pstrValue);
    else if (std::strcmp(pstrName, "hor") == 0)
        SetHorizontal(ParseBool(pstrValue));
    else if (std::strcmp(pstrName, "min") == 0)
        SetMinValue(ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "max") == 0)
        SetMaxValue(ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "value") == 0)
        SetValue(ParseInt(pstrValue));
    else if (std::strcmp(pstrName, "isstretchfore") == 0)
        SetStretchForeImage(ParseBool(pstrValue));
    else
        CLabelUI::ApplyAttribute(pstrName, pstrValue);
}

void CProgressUI::CorrectRange()
{
    if (m_nMax <= m_nMin) {
        // The largest minimum has no value above it: the range becomes the top two values instead.
        if (m_nMin == INT_MAX)
            m_nMin = INT_MAX - 1;
        m_nMax = m_nMin + 1;
    }
    if (m_nValue > m_nMax)
        m_nValue = m_nMax;
    if (m_nValue < m_nMin)
        m_nValue = m_nMin;
}

RECT CProgressUI::FilledPart(bool bHorizontal, int cx, int cy, int nMin, int nMax, int nValue)
{
    // 64-bit arithmetic: a range of a few million over a few hundred pixels overflows 32 bits, and the
    // difference of two extreme bounds does too. Division truncates toward zero as in 32 bits.
    const std::int64_t nRange = static_cast<std::int64_t>(nMax) - nMin;
    RECT rc = {0, 0, cx, cy};
    if (nRange <= 0)
        return RECT{0, 0, 0, 0};
    if (bHorizontal)
        rc.right = static_cast<LONG>((static_cast<std::int64_t>(nValue) - nMin) * cx / nRange);
    else
        rc.top = static_cast<LONG>(static_cast<std::int64_t>(cy) * (static_cast<std::int64_t>(nMax) - nValue) / nRange);
    return rc;
}

void CProgressUI::PaintStateImage(HDC hDC)
{
    CorrectRange();
    const RECT rc =
        FilledPart(m_bHorizontal, m_rcPos.right - m_rcPos.left, m_rcPos.bottom - m_rcPos.top, m_nMin, m_nMax, m_nValue);
    if (m_sFillImage.IsEmpty())
        return;
    const int l = rc.left, t = rc.top, r = rc.right, b = rc.bottom;
    if (m_bStretchForeImage)
        m_sFillImageModify.FormatText("dest='%d,%d,%d,%d'", l, t, r, b);
    else
        m_sFillImageModify.FormatText("dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", l, t, r, b, l, t, r, b);
    if (!DrawImage(hDC, m_sFillImage, m_sFillImageModify, false, 255, true))
        m_sFillImage.Clear();
}

} // namespace SkinUI
