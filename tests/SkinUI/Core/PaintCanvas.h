// Memory surfaces for paint tests: a 32-bit top-down DIB section selected into its own device context, read
// back pixel by pixel as 0xAARRGGBB values, and source bitmaps whose pixels a function gives.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>

namespace SkinUITest {

inline HBITMAP CreateTestDib(int cx, int cy, DWORD** ppPixels)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    const HBITMAP hBitmap = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    *ppPixels = static_cast<DWORD*>(pBits);
    return hBitmap;
}

class PaintCanvas
{
public:
    PaintCanvas(int cx, int cy, DWORD dwFill = 0xFFFFFFFF) : m_cx(cx), m_cy(cy)
    {
        m_hDC = ::CreateCompatibleDC(nullptr);
        m_hBitmap = CreateTestDib(cx, cy, &m_pPixels);
        m_hOld = ::SelectObject(m_hDC, m_hBitmap);
        Fill(dwFill);
    }
    ~PaintCanvas()
    {
        ::SelectObject(m_hDC, m_hOld);
        ::DeleteObject(m_hBitmap);
        ::DeleteDC(m_hDC);
    }
    PaintCanvas(const PaintCanvas&) = delete;
    PaintCanvas& operator=(const PaintCanvas&) = delete;

    HDC DC() const { return m_hDC; }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    void Fill(DWORD dwColor)
    {
        ::GdiFlush();
        for (int i = 0; i < m_cx * m_cy; ++i)
            m_pPixels[i] = dwColor;
    }
    DWORD Pixel(int x, int y) const
    {
        ::GdiFlush();
        return m_pPixels[y * m_cx + x];
    }
    // Colour without the alpha byte (GDI text and lines leave alpha as it was or 0).
    DWORD Rgb(int x, int y) const { return Pixel(x, y) & 0xFFFFFF; }
    // True when every pixel of the rectangle has the colour (alpha ignored).
    bool AllRgb(const RECT& rc, DWORD dwRgb) const
    {
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                if (Rgb(x, y) != (dwRgb & 0xFFFFFF))
                    return false;
        return true;
    }

private:
    int m_cx;
    int m_cy;
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    DWORD* m_pPixels = nullptr;
};

// A source bitmap whose pixel (x, y) is pixel(x, y), 0xAARRGGBB, premultiplied.
class SourceBitmap
{
public:
    SourceBitmap(int cx, int cy, const std::function<DWORD(int, int)>& pixel) : m_cx(cx), m_cy(cy)
    {
        m_hBitmap = CreateTestDib(cx, cy, &m_pPixels);
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x)
                m_pPixels[y * cx + x] = pixel(x, y);
    }
    ~SourceBitmap() { ::DeleteObject(m_hBitmap); }
    SourceBitmap(const SourceBitmap&) = delete;
    SourceBitmap& operator=(const SourceBitmap&) = delete;

    HBITMAP Handle() const { return m_hBitmap; }
    DWORD Pixel(int x, int y) const { return m_pPixels[y * m_cx + x]; }

private:
    int m_cx;
    int m_cy;
    HBITMAP m_hBitmap;
    DWORD* m_pPixels = nullptr;
};

// Channel n (0 blue, 1 green, 2 red, 3 alpha) of a colour.
inline int ChannelOf(DWORD dwColor, int n)
{
    return static_cast<int>((dwColor >> (8 * n)) & 0xFF);
}

// True when red, green and blue each differ by at most nTolerance.
inline bool NearRgb(DWORD a, DWORD b, int nTolerance = 1)
{
    for (int n = 0; n < 3; ++n)
        if (std::abs(ChannelOf(a, n) - ChannelOf(b, n)) > nTolerance)
            return false;
    return true;
}

} // namespace SkinUITest
