// Display scale. Every length a skin gives (sizes, offsets, paddings, font sizes, corners) is in logical
// units of 96 to the inch; a window's DPI turns them into the pixels it is drawn in. One scale function
// serves the whole framework, so that the same length always becomes the same number of pixels.
#pragma once

#include <windows.h>

namespace SkinUI {

// The DPI at which a logical unit is one pixel (100 %).
constexpr int kLogicalDpi = 96;
// Sent to a per-monitor aware window whose DPI changed (not in the Windows 7 headers).
constexpr UINT kMsgDpiChanged = 0x02E0;

// n logical units at nDpi, in pixels: n * nDpi / 96 rounded half away from zero, as MulDiv rounds. Exact
// wherever the product is whole (every n at 100 % and 200 %, even n at 150 %); an odd n at 150 % gains the
// half pixel (1 -> 2, 3 -> 5, -3 -> -5). A DPI below 1 counts as 96; results are kept in the int range.
int DpiScale(int n, int nDpi);
// The logical length nearest to n pixels at nDpi, rounded the same way.
int DpiUnscale(int n, int nDpi);
RECT DpiScaleRect(const RECT& rc, int nDpi);
SIZE DpiScaleSize(const SIZE& sz, int nDpi);

// The system DPI: what the screen's device context reports (the only DPI Windows 7 and 8 know).
int SystemDpi();
// The DPI of a window: its monitor's where the system tracks DPI per monitor (GetDpiForWindow, Windows 10
// 1607 and later, looked up at run time), else the system DPI.
int WindowDpi(HWND hWnd);

} // namespace SkinUI
