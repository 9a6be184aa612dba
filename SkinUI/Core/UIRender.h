// CUIRender: the framework's stateless drawing routines. Image loading turns skin images into 32-bit
// premultiplied bitmaps (UIRenderImage.cpp); the drawing routines paint image strings, colours, gradients,
// lines and text into a device context.
#pragma once

#include "SkinUI/Core/UIResourceTypes.h"
#include "SkinUI/Utils/Utils.h"

#include <windows.h>

namespace SkinUI {

class CPaintManagerUI;
class CControlUI;

class CUIRender
{
public:
    CUIRender() = delete;

    // ---- Image loading (UIRenderImage.cpp) ----
    // Loads an image from the resource module (when pstrType is given), the resource archive or folder, or
    // a plain file path, and converts it to a premultiplied top-down 32-bit DIB section. dwMask (0xAARRGGBB,
    // 0 for none) is made fully transparent. Null on any failure.
    static ImageInfoUI* LoadImage(const CUIResName& name, const char* pstrType = nullptr, DWORD dwMask = 0);
    // Deletes the bitmap, then the record; null is ignored.
    static void FreeImage(ImageInfoUI* pImage);
    // A copy of pImage resized to cx by cy with a filter (bilinear when enlarging, averaging every source
    // pixel it covers when reducing) on the premultiplied pixels, recorded as drawn for nDpi; null on failure.
    static ImageInfoUI* ResampleImage(const ImageInfoUI* pImage, int cx, int cy, int nDpi);

    // ---- Drawing ----

    // Image strings (UIRenderImageString.cpp).
    // Parses an image string ("file='a.png' source='0,0,10,10' corner='2,2,2,2'" or just "a.png") and then
    // the modifier string, and draws the image(s) they name into rcItem, limited to rcPaint. False when the
    // device context or the manager is missing, or when none of the named images could be obtained.
    // The string's dest and corner are logical lengths, scaled to the manager's DPI; source and corner are
    // read in the plain picture's pixels and found in the picture drawn for that DPI. With bModifyInPixels
    // the modifier's dest, source and corner are pixels of the window and of that picture.
    static bool PaintImageSpec(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                               const char* pstrImage, const char* pstrModify = nullptr, bool bUseOwnAlpha = false,
                               BYTE uFade = 255, bool bModifyInPixels = false);
    // Draws one image of the manager's cache (loaded on first use). False when the name is empty or the
    // image cannot be obtained; true otherwise, also when it lies outside rcItem or rcPaint. rcDest is in
    // pixels; rcSource and rcCorners are logical, as in an image string.
    static bool PaintNamedImage(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                                const char* pstrName, const char* pstrType, const RECT& rcDest, const RECT& rcSource,
                                const RECT& rcCorners, DWORD dwMask, BYTE uFade, bool bHole, bool bTiledX, bool bTiledY,
                                bool bUseOwnAlpha = false);
    // Nine-grid blit of rcSource (with fixed borders rcCorners) onto rcDest; only the pieces that meet
    // rcPaint are drawn. The middle stretches, or tiles without being squeezed; bHole leaves it out.
    static void BlitImage(HDC hDC, HBITMAP hBitmap, const RECT& rcDest, const RECT& rcPaint, const RECT& rcSource,
                          const RECT& rcCorners, bool bAlpha, BYTE uFade = 255, bool bHole = false,
                          bool bTiledX = false, bool bTiledY = false);
    // Software source-over blend of a premultiplied source, used when the platform has no AlphaBlend.
    static BOOL SoftAlphaBlend(HDC hDcDest, int nXDest, int nYDest, int nWidthDest, int nHeightDest, HDC hDcSrc,
                               int nXSrc, int nYSrc, int nWidthSrc, int nHeightSrc, BLENDFUNCTION blend);

    // Colours, gradients, lines and utilities (UIRenderDraw.cpp). Colours are 0xAARRGGBB.
    // Alpha 0 draws nothing, alpha 255 fills opaquely, anything between blends.
    static void FillColor(HDC hDC, const RECT& rc, DWORD dwColor);
    // Two-colour gradient; the blend alpha is the mean of the two colours' alphas.
    static void FillGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical, int nSteps);
    // Lines and outlines ignore the colour's alpha.
    static void StrokeLine(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor, int nStyle = PS_SOLID);
    static void StrokeRect(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor);
    static void StrokeRoundRect(HDC hDC, const RECT& rc, int nSize, int cxEllipse, int cyEllipse, DWORD dwPenColor);
    // Shifts hue (around 180) and scales saturation and lightness (percent, around 100); alpha is kept.
    static DWORD AdjustColorHSL(DWORD dwColor, short H, short S, short L);
    // A new 32-bit DIB section of rc's size holding pControl as painted; null on failure.
    static HBITMAP RenderToBitmap(CPaintManagerUI* pManager, CControlUI* pControl, const RECT& rc);

    // Text (UIRenderText.cpp).
    static void DrawPlainText(HDC hDC, CPaintManagerUI* pManager, const RECT& rc, const char* pstrText,
                              DWORD dwTextColor, int iFont, UINT uStyle);
    // Draws (or with DT_CALCRECT measures into rc) text with inline mark-up: <b>, <i>, <u>, <c #colour>,
    // <f font>, <a link>, <i image>, <n>, <p>, <r>, <s>, <x n>, <y n>; "{" and "}" may stand for "<" and ">".
    // prcLinks/psLinks receive up to nLinkRects links; nLinkRects returns how many were found.
    static void PaintMarkupText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, const char* pstrText, DWORD dwTextColor,
                                RECT* prcLinks, CUIString* psLinks, int& nLinkRects, UINT uStyle);
    static SIZE MeasureText(HDC hDC, CPaintManagerUI* pManager, const char* pstrText, int iFont);
};

// The clip of one control while it paints: the item region intersected into the device context, and the
// clip that was in force before, restored when the object goes.
class CUIRenderClip
{
public:
    CUIRenderClip() = default;
    ~CUIRenderClip();
    CUIRenderClip(const CUIRenderClip&) = delete;
    CUIRenderClip& operator=(const CUIRenderClip&) = delete;

    static void ClipToRect(HDC hDC, const RECT& rc, CUIRenderClip& clip);
    static void ClipToRoundRect(HDC hDC, const RECT& rc, const RECT& rcItem, int cxEllipse, int cyEllipse,
                                CUIRenderClip& clip);
    // Paints outside the item (the clip from before) or inside it again.
    static void UseOuterClip(HDC hDC, CUIRenderClip& clip);
    static void UseInnerClip(HDC hDC, CUIRenderClip& clip);

    RECT rcItem = {};
    HDC hDC = nullptr;
    HRGN hRgn = nullptr;
    HRGN hOldRgn = nullptr;
};

} // namespace SkinUI
