#include "SkinUI/Core/UIDpi.h"

#include <climits>

namespace SkinUI {

namespace {

int ClampToInt(long long n)
{
    return n > INT_MAX ? INT_MAX : (n < INT_MIN ? INT_MIN : static_cast<int>(n));
}

// n * nMul / nDiv (nDiv > 0) rounded half away from zero.
int MulDivRounded(int n, int nMul, int nDiv)
{
    const long long p = static_cast<long long>(n) * nMul;
    const long long q = p >= 0 ? (p + nDiv / 2) / nDiv : -((-p + nDiv / 2) / nDiv);
    return ClampToInt(q);
}

int ValidDpi(int nDpi)
{
    return nDpi > 0 ? nDpi : kLogicalDpi;
}

} // namespace

int DpiScale(int n, int nDpi)
{
    nDpi = ValidDpi(nDpi);
    return nDpi == kLogicalDpi ? n : MulDivRounded(n, nDpi, kLogicalDpi);
}

int DpiUnscale(int n, int nDpi)
{
    nDpi = ValidDpi(nDpi);
    return nDpi == kLogicalDpi ? n : MulDivRounded(n, kLogicalDpi, nDpi);
}

RECT DpiScaleRect(const RECT& rc, int nDpi)
{
    return RECT{DpiScale(rc.left, nDpi), DpiScale(rc.top, nDpi), DpiScale(rc.right, nDpi), DpiScale(rc.bottom, nDpi)};
}

SIZE DpiScaleSize(const SIZE& sz, int nDpi)
{
    return SIZE{DpiScale(sz.cx, nDpi), DpiScale(sz.cy, nDpi)};
}

int SystemDpi()
{
    const HDC hScreen = ::GetDC(nullptr);
    const int nDpi = hScreen != nullptr ? ::GetDeviceCaps(hScreen, LOGPIXELSY) : kLogicalDpi;
    if (hScreen != nullptr)
        ::ReleaseDC(nullptr, hScreen);
    return ValidDpi(nDpi);
}

int WindowDpi(HWND hWnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    // user32 is loaded in every GUI process; the function exists from Windows 10 1607 on.
    static const auto s_pfnGetDpiForWindow = [] {
        const HMODULE hUser32 = ::GetModuleHandleW(L"user32.dll");
        return hUser32 != nullptr ? reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
                                        ::GetProcAddress(hUser32, "GetDpiForWindow")))
                                  : nullptr;
    }();
    if (s_pfnGetDpiForWindow != nullptr && hWnd != nullptr) {
        const UINT uDpi = s_pfnGetDpiForWindow(hWnd);
        if (uDpi > 0)
            return static_cast<int>(uDpi);
    }
    return SystemDpi();
}

} // namespace SkinUI
