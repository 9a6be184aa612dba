// CUIRender: colour fills, gradients, lines and outlines, clip regions, colour adjustment and rendering a
// control into a bitmap; also the msimg32 entry points shared by the drawing routines.
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Core/UIRenderPlatform.h"
#include "SkinUI/Utils/SystemLibrary.h"

#include <algorithm>
#include <cmath>

namespace SkinUI {

namespace {

using AlphaBlendProc = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

struct Msimg32
{
    CUISystemLibrary library{"msimg32.dll"};
    AlphaBlendProc pfnAlphaBlend = library.Proc<AlphaBlendProc>("AlphaBlend");
    RenderPlatform::GradientFillProc pfnGradientFill = library.Proc<RenderPlatform::GradientFillProc>("GradientFill");
};

// Looked up once per process; the library stays loaded until the process ends.
const Msimg32& Msimg()
{
    static const Msimg32 s_msimg;
    return s_msimg;
}

BYTE Channel(DWORD dwColor, int nShift)
{
    return static_cast<BYTE>((dwColor >> nShift) & 0xFF);
}

// Solid bands approximating the gradient, for a platform without GradientFill. Band 0 sits at the right
// (or bottom) edge in the second colour and the bands move towards the first colour.
void FillGradientBands(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical, int nSteps)
{
    const int nShift = nSteps >= 64 ? 6 : nSteps >= 32 ? 5 : nSteps >= 16 ? 4 : nSteps >= 8 ? 3 : nSteps >= 4 ? 2 : 1;
    const int nLines = 1 << nShift;
    for (int i = 0; i < nLines; ++i) {
        const auto mix = [&](int nBits) {
            return static_cast<BYTE>((Channel(dwSecond, nBits) * (nLines - i) + Channel(dwFirst, nBits) * i) >> nShift);
        };
        const HBRUSH hBrush = ::CreateSolidBrush(RGB(mix(16), mix(8), mix(0)));
        if (hBrush == nullptr)
            continue;
        RECT rcBand = rc;
        if (bVertical) {
            const int cy = rc.bottom - rc.top;
            rcBand.bottom = rc.bottom - ((i * cy) >> nShift);
            rcBand.top = rc.bottom - (((i + 1) * cy) >> nShift);
        } else {
            const int cx = rc.right - rc.left;
            rcBand.right = rc.right - ((i * cx) >> nShift);
            rcBand.left = rc.right - (((i + 1) * cx) >> nShift);
        }
        if (rcBand.right > rcBand.left && rcBand.bottom > rcBand.top)
            ::FillRect(hDC, &rcBand, hBrush);
        ::DeleteObject(hBrush);
    }
}

void DrawGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical, int nSteps)
{
    const RenderPlatform::GradientFillProc pfnGradientFill = RenderPlatform::GradientFillEntry();
    if (pfnGradientFill == nullptr) {
        FillGradientBands(hDC, rc, dwFirst, dwSecond, bVertical, nSteps);
        return;
    }
    TRIVERTEX triv[2] = {
        {rc.left, rc.top, static_cast<COLOR16>(Channel(dwFirst, 16) << 8),
         static_cast<COLOR16>(Channel(dwFirst, 8) << 8), static_cast<COLOR16>(Channel(dwFirst, 0) << 8), 0xFF00},
        {rc.right, rc.bottom, static_cast<COLOR16>(Channel(dwSecond, 16) << 8),
         static_cast<COLOR16>(Channel(dwSecond, 8) << 8), static_cast<COLOR16>(Channel(dwSecond, 0) << 8), 0xFF00},
    };
    GRADIENT_RECT gradientRect = {0, 1};
    pfnGradientFill(hDC, triv, 2, &gradientRect, 1, bVertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

// One HSL channel from the two helper values and a hue offset t in 0..1.
double HueToChannel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (6 * t < 1)
        return p + (q - p) * 6 * t;
    if (2 * t < 1)
        return q;
    if (3 * t < 2)
        return p + (q - p) * (2.0 / 3.0 - t) * 6;
    return p;
}

DWORD ToByte(double v)
{
    return static_cast<DWORD>(std::clamp(v * 255.0, 0.0, 255.0));
}

// Selects a pen and the hollow brush for an outline and restores both when it goes.
class OutlinePen
{
public:
    OutlinePen(HDC hDC, int nStyle, int nSize, DWORD dwColor)
        : m_hDC(hDC), m_hPen(::CreatePen(nStyle, nSize, RenderPlatform::ToColorRef(dwColor)))
    {
        if (m_hPen != nullptr) {
            m_hOldPen = ::SelectObject(m_hDC, m_hPen);
            m_hOldBrush = ::SelectObject(m_hDC, ::GetStockObject(HOLLOW_BRUSH));
        }
    }
    ~OutlinePen()
    {
        if (m_hPen == nullptr)
            return;
        ::SelectObject(m_hDC, m_hOldBrush);
        ::SelectObject(m_hDC, m_hOldPen);
        ::DeleteObject(m_hPen);
    }
    OutlinePen(const OutlinePen&) = delete;
    OutlinePen& operator=(const OutlinePen&) = delete;
    bool IsValid() const { return m_hPen != nullptr; }

private:
    HDC m_hDC;
    HPEN m_hPen;
    HGDIOBJ m_hOldPen = nullptr;
    HGDIOBJ m_hOldBrush = nullptr;
};

} // namespace

namespace RenderPlatform {

HBITMAP CreateDib32(HDC hDC, int cx, int cy, void** ppBits)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    const HBITMAP hBitmap = ::CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (ppBits != nullptr)
        *ppBits = pBits;
    return hBitmap;
}

BOOL Blend(HDC hDcDest, int nXDest, int nYDest, int nWidthDest, int nHeightDest, HDC hDcSrc, int nXSrc, int nYSrc,
           int nWidthSrc, int nHeightSrc, BLENDFUNCTION blend)
{
    if (const AlphaBlendProc pfnAlphaBlend = Msimg().pfnAlphaBlend)
        return pfnAlphaBlend(hDcDest, nXDest, nYDest, nWidthDest, nHeightDest, hDcSrc, nXSrc, nYSrc, nWidthSrc,
                             nHeightSrc, blend);
    return CUIRender::SoftAlphaBlend(hDcDest, nXDest, nYDest, nWidthDest, nHeightDest, hDcSrc, nXSrc, nYSrc, nWidthSrc,
                                     nHeightSrc, blend);
}

GradientFillProc GradientFillEntry()
{
    return Msimg().pfnGradientFill;
}

} // namespace RenderPlatform

void CUIRender::FillColor(HDC hDC, const RECT& rc, DWORD dwColor)
{
    const BYTE uAlpha = Channel(dwColor, 24);
    if (hDC == nullptr || uAlpha == 0)
        return;
    if (uAlpha == 255) {
        const COLORREF crOld = ::SetBkColor(hDC, RenderPlatform::ToColorRef(dwColor));
        ::ExtTextOutW(hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
        ::SetBkColor(hDC, crOld);
        return;
    }
    // One premultiplied pixel stretched over the rectangle: the blend then gives colour × alpha over the
    // background × (1 − alpha). Unpremultiplied bytes would add the full colour to the background.
    void* pBits = nullptr;
    const HBITMAP hBitmap = RenderPlatform::CreateDib32(hDC, 1, 1, &pBits);
    if (hBitmap == nullptr)
        return;
    const auto premultiply = [uAlpha](BYTE c) { return static_cast<DWORD>(c * uAlpha / 255); };
    *static_cast<DWORD*>(pBits) = (static_cast<DWORD>(uAlpha) << 24) | (premultiply(Channel(dwColor, 16)) << 16) |
                                  (premultiply(Channel(dwColor, 8)) << 8) | premultiply(Channel(dwColor, 0));
    const RECT rcSource = {0, 0, 1, 1};
    const RECT rcNoCorners = {};
    BlitImage(hDC, hBitmap, rc, rc, rcSource, rcNoCorners, true, 255, false, false, false);
    ::DeleteObject(hBitmap);
}

void CUIRender::FillGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical, int nSteps)
{
    const BYTE uAlpha = static_cast<BYTE>((Channel(dwFirst, 24) + Channel(dwSecond, 24)) / 2);
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (hDC == nullptr || uAlpha == 0 || cx <= 0 || cy <= 0)
        return;
    if (uAlpha == 255) {
        DrawGradient(hDC, rc, dwFirst, dwSecond, bVertical, nSteps);
        return;
    }
    // Translucent: draw the gradient opaquely into a bitmap of its own, then blend that at the mean alpha.
    const HDC hPaintDC = ::CreateCompatibleDC(hDC);
    UIASSERT(hPaintDC);
    void* pBits = nullptr;
    const HBITMAP hPaintBitmap = RenderPlatform::CreateDib32(hDC, cx, cy, &pBits);
    UIASSERT(hPaintBitmap);
    if (hPaintDC != nullptr && hPaintBitmap != nullptr) {
        const HGDIOBJ hOldBitmap = ::SelectObject(hPaintDC, hPaintBitmap);
        const RECT rcLocal = {0, 0, cx, cy};
        DrawGradient(hPaintDC, rcLocal, dwFirst, dwSecond, bVertical, nSteps);
        // Band fills leave the alpha byte 0; the gradient itself is opaque.
        ::GdiFlush();
        auto* pPixels = static_cast<DWORD*>(pBits);
        for (size_t i = 0, n = static_cast<size_t>(cx) * static_cast<size_t>(cy); i < n; ++i)
            pPixels[i] |= 0xFF000000;
        RenderPlatform::Blend(hDC, rc.left, rc.top, cx, cy, hPaintDC, 0, 0, cx, cy,
                              RenderPlatform::PremultipliedBlend(uAlpha));
        ::SelectObject(hPaintDC, hOldBitmap);
    }
    if (hPaintBitmap != nullptr)
        ::DeleteObject(hPaintBitmap);
    if (hPaintDC != nullptr)
        ::DeleteDC(hPaintDC);
}

void CUIRender::StrokeLine(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor, int nStyle)
{
    if (hDC == nullptr)
        return;
    const OutlinePen pen(hDC, nStyle, nSize, dwPenColor);
    if (!pen.IsValid())
        return;
    POINT ptOld = {};
    ::MoveToEx(hDC, rc.left, rc.top, &ptOld);
    ::LineTo(hDC, rc.right, rc.bottom);
    ::MoveToEx(hDC, ptOld.x, ptOld.y, nullptr);
}

void CUIRender::StrokeRect(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor)
{
    if (hDC == nullptr)
        return;
    const OutlinePen pen(hDC, PS_INSIDEFRAME, nSize, dwPenColor);
    if (pen.IsValid())
        ::Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
}

void CUIRender::StrokeRoundRect(HDC hDC, const RECT& rc, int nSize, int cxEllipse, int cyEllipse, DWORD dwPenColor)
{
    if (hDC == nullptr)
        return;
    const OutlinePen pen(hDC, PS_INSIDEFRAME, nSize, dwPenColor);
    if (pen.IsValid())
        ::RoundRect(hDC, rc.left, rc.top, rc.right, rc.bottom, cxEllipse, cyEllipse);
}

DWORD CUIRender::AdjustColorHSL(DWORD dwColor, short H, short S, short L)
{
    if (H == 180 && S == 100 && L == 100)
        return dwColor;
    const double r = Channel(dwColor, 0) / 255.0;
    const double g = Channel(dwColor, 8) / 255.0;
    const double b = Channel(dwColor, 16) / 255.0;
    const double dMax = std::max({r, g, b});
    const double dMin = std::min({r, g, b});
    double h = 0;
    double s = 0;
    double l = (dMax + dMin) / 2;
    if (dMax != dMin) {
        const double d = dMax - dMin;
        double dSixths;
        if (r == dMin)
            dSixths = 3 - (g - b) / d;
        else if (g == dMin)
            dSixths = 5 - (b - r) / d;
        else
            dSixths = 1 - (r - g) / d;
        if (dSixths >= 6)
            dSixths -= 6;
        h = dSixths * 60;
        s = (l * 2 <= 1) ? d / (dMax + dMin) : d / (2 - dMax - dMin);
    }
    // Any shift brings the hue back into (0, 360], however far it goes.
    h = std::fmod(h + (H - 180), 360.0);
    if (h <= 0)
        h += 360;
    s = s * S / 100;
    l = l * L / 100;

    const double hN = h / 360;
    const double q = (l * 2 < 1) ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    const DWORD dwR = ToByte(HueToChannel(p, q, hN + 1.0 / 3.0));
    const DWORD dwG = ToByte(HueToChannel(p, q, hN));
    const DWORD dwB = ToByte(HueToChannel(p, q, hN - 1.0 / 3.0));
    return (dwColor & 0xFF000000) | dwR | (dwG << 8) | (dwB << 16);
}

HBITMAP CUIRender::RenderToBitmap(CPaintManagerUI* pManager, CControlUI* pControl, const RECT& rc)
{
    if (pManager == nullptr || pControl == nullptr || rc.right <= rc.left || rc.bottom <= rc.top)
        return nullptr;
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    // Without a window the screen stands in for the manager's paint surface.
    const HDC hHostDC = pManager->GetHostDC();
    const HDC hScreenDC = hHostDC == nullptr ? ::GetDC(nullptr) : nullptr;
    const HDC hRefDC = hHostDC != nullptr ? hHostDC : hScreenDC;

    HBITMAP hResult = nullptr;
    const HDC hPaintDC = ::CreateCompatibleDC(hRefDC);
    UIASSERT(hPaintDC);
    const HBITMAP hPaintBitmap = ::CreateCompatibleBitmap(hRefDC, rc.right, rc.bottom);
    UIASSERT(hPaintBitmap);
    const HDC hCloneDC = ::CreateCompatibleDC(hRefDC);
    UIASSERT(hCloneDC);
    void* pBits = nullptr;
    const HBITMAP hBitmap = RenderPlatform::CreateDib32(hRefDC, cx, cy, &pBits);
    UIASSERT(hBitmap);
    if (hPaintDC != nullptr && hPaintBitmap != nullptr && hCloneDC != nullptr && hBitmap != nullptr) {
        const HGDIOBJ hOldPaint = ::SelectObject(hPaintDC, hPaintBitmap);
        pControl->Paint(hPaintDC, rc);
        const HGDIOBJ hOldClone = ::SelectObject(hCloneDC, hBitmap);
        ::BitBlt(hCloneDC, 0, 0, cx, cy, hPaintDC, rc.left, rc.top, SRCCOPY);
        ::SelectObject(hCloneDC, hOldClone);
        ::SelectObject(hPaintDC, hOldPaint);
        ::GdiFlush();
        hResult = hBitmap;
    } else if (hBitmap != nullptr) {
        ::DeleteObject(hBitmap);
    }
    if (hCloneDC != nullptr)
        ::DeleteDC(hCloneDC);
    if (hPaintBitmap != nullptr)
        ::DeleteObject(hPaintBitmap);
    if (hPaintDC != nullptr)
        ::DeleteDC(hPaintDC);
    if (hScreenDC != nullptr)
        ::ReleaseDC(nullptr, hScreenDC);
    return hResult;
}

// ---- Clip regions ----

namespace {

void ReleaseClip(CUIRenderClip& clip)
{
    if (clip.hDC != nullptr && clip.hOldRgn != nullptr)
        ::SelectClipRgn(clip.hDC, clip.hOldRgn);
    if (clip.hRgn != nullptr)
        ::DeleteObject(clip.hRgn);
    if (clip.hOldRgn != nullptr)
        ::DeleteObject(clip.hOldRgn);
    clip.hDC = nullptr;
    clip.hRgn = nullptr;
    clip.hOldRgn = nullptr;
}

void ApplyClip(HDC hDC, const RECT& rc, HRGN hItemRgn, CUIRenderClip& clip)
{
    ReleaseClip(clip);
    RECT rcClip = {};
    ::GetClipBox(hDC, &rcClip);
    clip.hOldRgn = ::CreateRectRgnIndirect(&rcClip);
    clip.hRgn = hItemRgn;
    clip.hDC = hDC;
    clip.rcItem = rc;
    if (clip.hRgn != nullptr)
        ::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
}

} // namespace

CUIRenderClip::~CUIRenderClip()
{
    if (hDC == nullptr)
        return;
    UIASSERT(::GetObjectType(hDC) == 3 || ::GetObjectType(hDC) == 10);
    UIASSERT(::GetObjectType(hRgn) == 8);
    UIASSERT(::GetObjectType(hOldRgn) == 8);
    ReleaseClip(*this);
}

void CUIRenderClip::ClipToRect(HDC hDC, const RECT& rc, CUIRenderClip& clip)
{
    if (hDC == nullptr)
        return;
    ApplyClip(hDC, rc, ::CreateRectRgnIndirect(&rc), clip);
}

void CUIRenderClip::ClipToRoundRect(HDC hDC, const RECT& rc, const RECT& rcItem, int cxEllipse, int cyEllipse,
                                    CUIRenderClip& clip)
{
    if (hDC == nullptr)
        return;
    const HRGN hRgn = ::CreateRectRgnIndirect(&rc);
    const HRGN hRoundRgn =
        ::CreateRoundRectRgn(rcItem.left, rcItem.top, rcItem.right + 1, rcItem.bottom + 1, cxEllipse, cyEllipse);
    if (hRgn != nullptr && hRoundRgn != nullptr)
        ::CombineRgn(hRgn, hRgn, hRoundRgn, RGN_AND);
    if (hRoundRgn != nullptr)
        ::DeleteObject(hRoundRgn);
    ApplyClip(hDC, rc, hRgn, clip);
}

void CUIRenderClip::UseOuterClip(HDC hDC, CUIRenderClip& clip)
{
    if (hDC != nullptr && clip.hOldRgn != nullptr)
        ::SelectClipRgn(hDC, clip.hOldRgn);
}

void CUIRenderClip::UseInnerClip(HDC hDC, CUIRenderClip& clip)
{
    // The item region within the clip from before, as ClipToRect made it.
    if (hDC == nullptr || clip.hRgn == nullptr)
        return;
    if (clip.hOldRgn != nullptr)
        ::SelectClipRgn(hDC, clip.hOldRgn);
    ::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
}

} // namespace SkinUI
