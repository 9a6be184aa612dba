// The msimg32 entry points the renderer uses, looked up once per process. msimg32 is not on the system's
// known-DLLs list, so it is loaded by full path from the system folder instead of being imported.
#pragma once

#include <windows.h>

namespace SkinUI {
namespace RenderPlatform {

// The platform's AlphaBlend, or the renderer's software blend when the platform has none.
BOOL Blend(HDC hDcDest, int nXDest, int nYDest, int nWidthDest, int nHeightDest, HDC hDcSrc, int nXSrc, int nYSrc,
           int nWidthSrc, int nHeightSrc, BLENDFUNCTION blend);

// A top-down 32-bit DIB section of cx by cy pixels, or null; ppBits (optional) receives its pixels.
HBITMAP CreateDib32(HDC hDC, int cx, int cy, void** ppBits);

using GradientFillProc = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
// The platform's GradientFill, or null.
GradientFillProc GradientFillEntry();

// Blend parameters for a premultiplied source with a constant opacity.
inline BLENDFUNCTION PremultipliedBlend(BYTE uFade)
{
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, uFade, AC_SRC_ALPHA};
    return bf;
}

// Platform colour reference (red in the low byte) of a 0xAARRGGBB colour; the alpha is dropped.
inline COLORREF ToColorRef(DWORD dwColor)
{
    return RGB(GetBValue(dwColor), GetGValue(dwColor), GetRValue(dwColor));
}

} // namespace RenderPlatform
} // namespace SkinUI
