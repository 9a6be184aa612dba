// CUIRender: image strings and the nine-grid blit. An image string names an image of the paint manager's
// cache and says which part of it goes where: "file='a.png' source='0,0,20,20' corner='4,4,4,4'".
#include "SkinUI/Core/UIControl.h"
#include "SkinUI/Core/UIDpi.h"
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Core/UIRenderPlatform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace SkinUI {

namespace {

// The settings of one PaintImageSpec call; they carry over from one image of the call to the next. The
// destination is in pixels; source and corners are logical unless they came from a pixel modifier.
struct ImageSpec
{
    CUIString sName;
    CUIString sType;
    RECT rcDest = {};
    RECT rcSource = {};
    bool bSourceInPixels = false;
    RECT rcCorners = {};
    bool bCornersInPixels = false;
    DWORD dwMask = 0;
    BYTE uFade = 255;
    bool bHole = false;
    bool bTiledX = false;
    bool bTiledY = false;
};

bool IsBlank(char ch)
{
    const auto uch = static_cast<unsigned char>(ch);
    return uch >= 1 && uch <= 32;
}

const char* SkipBlanks(const char* p)
{
    while (IsBlank(*p))
        ++p;
    return p;
}

RECT ReadRect(const char* pstrValue)
{
    int a[4] = {};
    AttributeText::ParseIntList(pstrValue, a, 4);
    return RECT{a[0], a[1], a[2], a[3]};
}

bool PaintImageAtScale(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                       const ImageSpec& spec, BYTE uFade, bool bUseOwnAlpha, const char* pstrType);

// Draws what a parsed image string describes; remembers whether any of its images could be obtained.
class ImageSpecPainter
{
public:
    ImageSpecPainter(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint, bool bUseOwnAlpha,
                     BYTE uFade, const char* pstrImage)
        : m_hDC(hDC),
          m_pManager(pManager),
          m_rcItem(rcItem),
          m_rcPaint(rcPaint),
          m_bUseOwnAlpha(bUseOwnAlpha),
          m_uCallerFade(uFade)
    {
        m_spec.sName = pstrImage;
        m_spec.rcDest = rcItem;
    }

    void Draw()
    {
        const BYTE uFade = m_bUseOwnAlpha ? m_uCallerFade : m_spec.uFade;
        const char* pstrType = m_spec.sType.IsEmpty() ? nullptr : m_spec.sType.Chars();
        if (PaintImageAtScale(m_hDC, m_pManager, m_rcItem, m_rcPaint, m_spec, uFade, m_bUseOwnAlpha, pstrType))
            m_bAnyDrawn = true;
    }

    // Reads the items of one string, drawing at each new image after the first. Parsing stops at the first
    // malformed item and never reads past the terminating 0. bInPixels: its dest, source and corner are
    // pixels, not logical lengths.
    void Parse(const char* pstr, bool bInPixels = false)
    {
        if (pstr == nullptr)
            return;
        m_bInPixels = bInPixels;
        int nImages = 0;
        const char* p = pstr;
        while (*p != '\0') {
            p = SkipBlanks(p);
            const char* pKey = p;
            while (*p != '\0' && *p != '=' && !IsBlank(*p))
                p += DbcsCharSize(p);
            const CUIString sKey(pKey, static_cast<int>(p - pKey));
            p = SkipBlanks(p);
            if (*p != '=')
                return;
            p = SkipBlanks(p + 1);
            if (*p != '\'')
                return;
            const char* pValue = ++p;
            while (*p != '\0' && *p != '\'')
                p += DbcsCharSize(p);
            if (*p == '\0')
                return;
            const CUIString sValue(pValue, static_cast<int>(p - pValue));
            ++p;
            if (!sValue.IsEmpty())
                Apply(sKey, sValue, nImages);
            if (*p != ' ')
                return;
            ++p;
        }
    }

    bool AnyDrawn() const { return m_bAnyDrawn; }

private:
    void Apply(const CUIString& sKey, const CUIString& sValue, int& nImages)
    {
        if (sKey == "file" || sKey == "res") {
            if (nImages > 0)
                Draw();
            m_spec.sName = sValue;
            if (sKey == "file")
                ++nImages;
        } else if (sKey == "restype") {
            if (nImages > 0)
                Draw();
            m_spec.sType = sValue;
            ++nImages;
        } else if (sKey == "dest") {
            const RECT rc = m_bInPixels ? ReadRect(sValue) : m_pManager->ScaleRect(ReadRect(sValue));
            m_spec.rcDest.left = m_rcItem.left + rc.left;
            m_spec.rcDest.top = m_rcItem.top + rc.top;
            m_spec.rcDest.right = std::min<LONG>(m_rcItem.left + rc.right, m_rcItem.right);
            m_spec.rcDest.bottom = std::min<LONG>(m_rcItem.top + rc.bottom, m_rcItem.bottom);
        } else if (sKey == "source") {
            m_spec.rcSource = ReadRect(sValue);
            m_spec.bSourceInPixels = m_bInPixels;
        } else if (sKey == "corner") {
            m_spec.rcCorners = ReadRect(sValue);
            m_spec.bCornersInPixels = m_bInPixels;
        } else if (sKey == "mask") {
            m_spec.dwMask = AttributeText::ParseColor(sValue);
        } else if (sKey == "fade") {
            m_spec.uFade = static_cast<BYTE>(std::strtoul(sValue, nullptr, 10));
        } else if (sKey == "hole") {
            m_spec.bHole = sValue == "true";
        } else if (sKey == "xtiled") {
            m_spec.bTiledX = sValue == "true";
        } else if (sKey == "ytiled") {
            m_spec.bTiledY = sValue == "true";
        }
    }

    HDC m_hDC;
    CPaintManagerUI* m_pManager;
    RECT m_rcItem;
    RECT m_rcPaint;
    bool m_bUseOwnAlpha;
    BYTE m_uCallerFade;
    ImageSpec m_spec;
    bool m_bAnyDrawn = false;
    bool m_bInPixels = false;
};

bool Intersects(const RECT& a, const RECT& b)
{
    RECT rc;
    return ::IntersectRect(&rc, &a, &b) != FALSE;
}

// Copies or blends source pieces of one bitmap onto the destination, skipping pieces that are empty or lie
// outside the paint rectangle.
class PieceBlitter
{
public:
    PieceBlitter(HDC hDC, HDC hSourceDC, const RECT& rcPaint, bool bBlend, BYTE uFade)
        : m_hDC(hDC),
          m_hSourceDC(hSourceDC),
          m_rcPaint(rcPaint),
          m_bBlend(bBlend),
          m_blend(RenderPlatform::PremultipliedBlend(uFade))
    {
    }

    void Piece(int xDest, int yDest, int cxDest, int cyDest, int xSrc, int ySrc, int cxSrc, int cySrc) const
    {
        if (cxDest <= 0 || cyDest <= 0 || cxSrc <= 0 || cySrc <= 0)
            return;
        const RECT rcPiece = {xDest, yDest, xDest + cxDest, yDest + cyDest};
        if (!Intersects(rcPiece, m_rcPaint))
            return;
        if (m_bBlend)
            RenderPlatform::Blend(m_hDC, xDest, yDest, cxDest, cyDest, m_hSourceDC, xSrc, ySrc, cxSrc, cySrc, m_blend);
        else if (cxDest == cxSrc && cyDest == cySrc)
            ::BitBlt(m_hDC, xDest, yDest, cxDest, cyDest, m_hSourceDC, xSrc, ySrc, SRCCOPY);
        else
            ::StretchBlt(m_hDC, xDest, yDest, cxDest, cyDest, m_hSourceDC, xSrc, ySrc, cxSrc, cySrc, SRCCOPY);
    }

private:
    HDC m_hDC;
    HDC m_hSourceDC;
    RECT m_rcPaint;
    bool m_bBlend;
    BLENDFUNCTION m_blend;
};

// The middle cell: stretched, or laid in tiles of the inner source size that are cut (never squeezed) at
// the inner destination's right and bottom edges.
void BlitMiddle(const PieceBlitter& blitter, const RECT& rcInner, int xSrc, int ySrc, int cxSrc, int cySrc,
                bool bTiledX, bool bTiledY)
{
    const int cxInner = rcInner.right - rcInner.left;
    const int cyInner = rcInner.bottom - rcInner.top;
    if (cxInner <= 0 || cyInner <= 0 || cxSrc <= 0 || cySrc <= 0)
        return;
    if (!bTiledX && !bTiledY) {
        blitter.Piece(rcInner.left, rcInner.top, cxInner, cyInner, xSrc, ySrc, cxSrc, cySrc);
        return;
    }
    const int nColumns = bTiledX ? (cxInner + cxSrc - 1) / cxSrc : 1;
    const int nRows = bTiledY ? (cyInner + cySrc - 1) / cySrc : 1;
    for (int j = 0; j < nRows; ++j) {
        const int y = bTiledY ? rcInner.top + j * cySrc : rcInner.top;
        const int cyDest = bTiledY ? std::min(cySrc, static_cast<int>(rcInner.bottom) - y) : cyInner;
        const int cySource = bTiledY ? cyDest : cySrc;
        for (int i = 0; i < nColumns; ++i) {
            const int x = bTiledX ? rcInner.left + i * cxSrc : rcInner.left;
            const int cxDest = bTiledX ? std::min(cxSrc, static_cast<int>(rcInner.right) - x) : cxInner;
            const int cxSource = bTiledX ? cxDest : cxSrc;
            blitter.Piece(x, y, cxDest, cyDest, xSrc, ySrc, cxSource, cySource);
        }
    }
}

// The nine-grid blit with the corners' sizes in the source (CS) and in the destination (CD): they differ
// when a picture's pixels are not the window's.
void BlitNineGrid(HDC hDC, HBITMAP hBitmap, const RECT& rcDest, const RECT& rcPaint, const RECT& rcSource,
                  const RECT& rcSourceCorners, const RECT& rcDestCorners, bool bAlpha, BYTE uFade, bool bHole,
                  bool bTiledX, bool bTiledY)
{
    UIASSERT(::GetObjectType(hDC) == OBJ_DC || ::GetObjectType(hDC) == OBJ_MEMDC);
    if (hDC == nullptr || hBitmap == nullptr)
        return;
    const HDC hCloneDC = ::CreateCompatibleDC(hDC);
    if (hCloneDC == nullptr)
        return;
    const HGDIOBJ hOldBitmap = ::SelectObject(hCloneDC, hBitmap);
    const int nOldMode = ::SetStretchBltMode(hDC, HALFTONE);
    POINT ptOldOrigin = {};
    ::SetBrushOrgEx(hDC, 0, 0, &ptOldOrigin);

    const RECT& D = rcDest;
    const RECT& S = rcSource;
    const RECT& CS = rcSourceCorners;
    const RECT& CD = rcDestCorners;
    const int cxDest = D.right - D.left;
    const int cyDest = D.bottom - D.top;
    const int cxSrc = S.right - S.left;
    const int cySrc = S.bottom - S.top;
    const bool bBlend = bAlpha || uFade != 255;
    const bool bNoCorners = CD.left == 0 && CD.top == 0 && CD.right == 0 && CD.bottom == 0;

    if (!bBlend && bNoCorners && cxDest == cxSrc && cyDest == cySrc) {
        // Same size, nothing to stretch: copy only the part that is being painted.
        RECT rcPart;
        if (::IntersectRect(&rcPart, &rcDest, &rcPaint))
            ::BitBlt(hDC, rcPart.left, rcPart.top, rcPart.right - rcPart.left, rcPart.bottom - rcPart.top, hCloneDC,
                     S.left + rcPart.left - D.left, S.top + rcPart.top - D.top, SRCCOPY);
    } else {
        const PieceBlitter blitter(hDC, hCloneDC, rcPaint, bBlend, uFade);
        const int cxInnerSrc = cxSrc - CS.left - CS.right;
        const int cyInnerSrc = cySrc - CS.top - CS.bottom;
        const int cxInnerDest = cxDest - CD.left - CD.right;
        const int cyInnerDest = cyDest - CD.top - CD.bottom;
        if (!bHole) {
            const RECT rcInner = {D.left + CD.left, D.top + CD.top, D.right - CD.right, D.bottom - CD.bottom};
            if (Intersects(rcInner, rcPaint))
                BlitMiddle(blitter, rcInner, S.left + CS.left, S.top + CS.top, cxInnerSrc, cyInnerSrc, bTiledX,
                           bTiledY);
        }
        if (CD.left > 0 && CD.top > 0)
            blitter.Piece(D.left, D.top, CD.left, CD.top, S.left, S.top, CS.left, CS.top);
        if (CD.top > 0)
            blitter.Piece(D.left + CD.left, D.top, cxInnerDest, CD.top, S.left + CS.left, S.top, cxInnerSrc, CS.top);
        if (CD.right > 0 && CD.top > 0)
            blitter.Piece(D.right - CD.right, D.top, CD.right, CD.top, S.right - CS.right, S.top, CS.right, CS.top);
        if (CD.left > 0)
            blitter.Piece(D.left, D.top + CD.top, CD.left, cyInnerDest, S.left, S.top + CS.top, CS.left, cyInnerSrc);
        if (CD.right > 0)
            blitter.Piece(D.right - CD.right, D.top + CD.top, CD.right, cyInnerDest, S.right - CS.right,
                          S.top + CS.top, CS.right, cyInnerSrc);
        if (CD.left > 0 && CD.bottom > 0)
            blitter.Piece(D.left, D.bottom - CD.bottom, CD.left, CD.bottom, S.left, S.bottom - CS.bottom, CS.left,
                          CS.bottom);
        if (CD.bottom > 0)
            blitter.Piece(D.left + CD.left, D.bottom - CD.bottom, cxInnerDest, CD.bottom, S.left + CS.left,
                          S.bottom - CS.bottom, cxInnerSrc, CS.bottom);
        if (CD.right > 0 && CD.bottom > 0)
            blitter.Piece(D.right - CD.right, D.bottom - CD.bottom, CD.right, CD.bottom, S.right - CS.right,
                          S.bottom - CS.bottom, CS.right, CS.bottom);
    }

    ::SetBrushOrgEx(hDC, ptOldOrigin.x, ptOldOrigin.y, nullptr);
    ::SetStretchBltMode(hDC, nOldMode);
    ::SelectObject(hCloneDC, hOldBitmap);
    ::DeleteDC(hCloneDC);
}

// Draws one image of the manager's cache: the destination in window pixels, source and corners mapped
// into the picture the manager holds for its DPI (whose pixels may be more than one to a logical unit).
bool PaintImageAtScale(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                       const ImageSpec& spec, BYTE uFade, bool bUseOwnAlpha, const char* pstrType)
{
    if (pManager == nullptr || spec.sName.IsEmpty())
        return false;
    const char* pstrSafeType = (pstrType != nullptr && *pstrType != '\0') ? pstrType : nullptr;
    const ImageInfoUI* pImage = pManager->FindOrLoadImage(spec.sName, pstrSafeType, spec.dwMask);
    if (pImage == nullptr)
        return false;
    RECT rcSrc = spec.rcSource;
    if (rcSrc.left == 0 && rcSrc.top == 0 && rcSrc.right == 0 && rcSrc.bottom == 0) {
        rcSrc.right = pImage->width;
        rcSrc.bottom = pImage->height;
    } else if (!spec.bSourceInPixels) {
        rcSrc = DpiScaleRect(rcSrc, pImage->dpi);
    }
    rcSrc.right = std::min<LONG>(rcSrc.right, pImage->width);
    rcSrc.bottom = std::min<LONG>(rcSrc.bottom, pImage->height);
    if (!Intersects(spec.rcDest, rcItem) || !Intersects(spec.rcDest, rcPaint))
        return true;
    const RECT rcSourceCorners = spec.bCornersInPixels ? spec.rcCorners : DpiScaleRect(spec.rcCorners, pImage->dpi);
    const RECT rcDestCorners = spec.bCornersInPixels ? spec.rcCorners : pManager->ScaleRect(spec.rcCorners);
    BlitNineGrid(hDC, pImage->bitmap, spec.rcDest, rcPaint, rcSrc, rcSourceCorners, rcDestCorners,
                 bUseOwnAlpha ? pImage->hasAlpha : true, uFade, spec.bHole, spec.bTiledX, spec.bTiledY);
    return true;
}

} // namespace

bool CUIRender::PaintImageSpec(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                               const char* pstrImage, const char* pstrModify, bool bUseOwnAlpha, BYTE uFade,
                               bool bModifyInPixels)
{
    if (hDC == nullptr || pManager == nullptr || pstrImage == nullptr)
        return false;
    ImageSpecPainter painter(hDC, pManager, rcItem, rcPaint, bUseOwnAlpha, uFade, pstrImage);
    painter.Parse(pstrImage);
    painter.Parse(pstrModify, bModifyInPixels);
    painter.Draw();
    return painter.AnyDrawn();
}

bool CUIRender::PaintNamedImage(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                                const char* pstrName, const char* pstrType, const RECT& rcDest, const RECT& rcSource,
                                const RECT& rcCorners, DWORD dwMask, BYTE uFade, bool bHole, bool bTiledX, bool bTiledY,
                                bool bUseOwnAlpha)
{
    if (pstrName == nullptr)
        return false;
    ImageSpec spec;
    spec.sName = pstrName;
    spec.rcDest = rcDest;
    spec.rcSource = rcSource;
    spec.rcCorners = rcCorners;
    spec.dwMask = dwMask;
    spec.bHole = bHole;
    spec.bTiledX = bTiledX;
    spec.bTiledY = bTiledY;
    return PaintImageAtScale(hDC, pManager, rcItem, rcPaint, spec, uFade, bUseOwnAlpha, pstrType);
}

void CUIRender::BlitImage(HDC hDC, HBITMAP hBitmap, const RECT& rcDest, const RECT& rcPaint, const RECT& rcSource,
                          const RECT& rcCorners, bool bAlpha, BYTE uFade, bool bHole, bool bTiledX, bool bTiledY)
{
    BlitNineGrid(hDC, hBitmap, rcDest, rcPaint, rcSource, rcCorners, rcCorners, bAlpha, uFade, bHole, bTiledX, bTiledY);
}

BOOL CUIRender::SoftAlphaBlend(HDC hDcDest, int nXDest, int nYDest, int nWidthDest, int nHeightDest, HDC hDcSrc,
                               int nXSrc, int nYSrc, int nWidthSrc, int nHeightSrc, BLENDFUNCTION blend)
{
    if (hDcDest == nullptr || hDcSrc == nullptr || nWidthDest <= 0 || nHeightDest <= 0 || nWidthSrc <= 0 ||
        nHeightSrc <= 0)
        return FALSE;
    const HDC hTempDC = ::CreateCompatibleDC(hDcDest);
    if (hTempDC == nullptr)
        return FALSE;
    void* pSrcBits = nullptr;
    void* pDestBits = nullptr;
    const HBITMAP hSrcBitmap = RenderPlatform::CreateDib32(hDcDest, nWidthDest, nHeightDest, &pSrcBits);
    const HBITMAP hDestBitmap = RenderPlatform::CreateDib32(hDcDest, nWidthDest, nHeightDest, &pDestBits);
    BOOL bResult = FALSE;
    if (hSrcBitmap != nullptr && hDestBitmap != nullptr) {
        const HGDIOBJ hOld = ::SelectObject(hTempDC, hSrcBitmap);
        const int nOldMode = ::SetStretchBltMode(hTempDC, COLORONCOLOR);
        ::StretchBlt(hTempDC, 0, 0, nWidthDest, nHeightDest, hDcSrc, nXSrc, nYSrc, nWidthSrc, nHeightSrc, SRCCOPY);
        ::SetStretchBltMode(hTempDC, nOldMode);
        ::SelectObject(hTempDC, hDestBitmap);
        ::BitBlt(hTempDC, 0, 0, nWidthDest, nHeightDest, hDcDest, nXDest, nYDest, SRCCOPY);
        ::GdiFlush();

        // Source-over with a premultiplied source: each channel is the source scaled by the constant
        // opacity plus the destination scaled by what the weighted source alpha leaves.
        const bool bPerPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
        const unsigned nConst = blend.SourceConstantAlpha;
        const BYTE* pSrc = static_cast<const BYTE*>(pSrcBits);
        BYTE* pDest = static_cast<BYTE*>(pDestBits);
        const size_t nPixels = static_cast<size_t>(nWidthDest) * static_cast<size_t>(nHeightDest);
        for (size_t i = 0; i < nPixels; ++i, pSrc += 4, pDest += 4) {
            const unsigned nSrcAlpha = bPerPixel ? pSrc[3] : 255u;
            const unsigned nWeight = nSrcAlpha * nConst / 255; // 0..255
            for (int c = 0; c < 4; ++c) {
                const unsigned nSrc = (c == 3 ? nSrcAlpha : pSrc[c]) * nConst / 255;
                const unsigned nValue = nSrc + pDest[c] * (255 - nWeight) / 255;
                pDest[c] = static_cast<BYTE>(std::min(nValue, 255u));
            }
        }
        ::BitBlt(hDcDest, nXDest, nYDest, nWidthDest, nHeightDest, hTempDC, 0, 0, SRCCOPY);
        ::SelectObject(hTempDC, hOld);
        bResult = TRUE;
    }
    if (hSrcBitmap != nullptr)
        ::DeleteObject(hSrcBitmap);
    if (hDestBitmap != nullptr)
        ::DeleteObject(hDestBitmap);
    ::DeleteDC(hTempDC);
    return bResult;
}

} // namespace SkinUI
