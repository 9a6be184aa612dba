// The display scale: the one scale function, the choice of a picture drawn for the scale, and the
// resampling of a picture that was not.
#include "ResourceTestSupport.h"
#include "SkinUI/Core/UIDpi.h"
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// The premultiplied BGRA pixel at x, y of a loaded image.
DWORD PixelAt(const ImageInfoUI* pImage, int x, int y)
{
    DIBSECTION dib = {};
    if (pImage == nullptr || ::GetObjectW(pImage->bitmap, sizeof(dib), &dib) != sizeof(dib))
        return 0xDEADBEEF;
    ::GdiFlush();
    return static_cast<const DWORD*>(dib.dsBm.bmBits)[y * pImage->width + x];
}

std::string Flat(int cx, int cy, Rgba c)
{
    return MakePng(cx, cy, std::vector<Rgba>(static_cast<size_t>(cx) * cy, c));
}

} // namespace

TEST(DisplayScale, LengthsScaleExactlyWhereTheProductIsWholeAndHalvesRoundAwayFromZero)
{
    const struct
    {
        int n, nDpi, nWant;
    } cases[] = {
        {600, 96, 600},   {1, 96, 1},        {-7, 96, -7},          {600, 144, 900},       {400, 192, 800},
        {1, 144, 2},      {3, 144, 5},       {-3, 144, -5},         {43, 144, 65},         {2, 144, 3},
        {1, 192, 2},      {5, 120, 6},       {7, 120, 9},           {12, 0, 12},           {12, -96, 12},
        {INT_MAX, 192, INT_MAX}, {INT_MIN, 192, INT_MIN}, {0, 192, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DpiScale(c.n, c.nDpi), c.nWant) << c.n << " at " << c.nDpi;
    // Back to logical units: the nearest length, so that a scaled length always comes back as itself.
    for (const int nDpi : {96, 120, 144, 168, 192, 240}) {
        for (int n = -50; n <= 700; ++n)
            ASSERT_EQ(DpiUnscale(DpiScale(n, nDpi), nDpi), n) << n << " at " << nDpi;
    }
    const RECT rc = DpiScaleRect(RECT{313, 183, 562, 267}, 192);
    EXPECT_EQ(rc.left, 626);
    EXPECT_EQ(rc.bottom, 534);
}

TEST(DisplayScale, ThePictureDrawnNearestAtOrAboveTheScaleIsTakenElseTheNearestIsResampled)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("dpiart");
    // Each scale in its own colour, sized as it would be drawn: 10 logical units wide, 6 high.
    ZipTest::WriteWholeFile(folder / "a.png", Flat(10, 6, Rgba{255, 0, 0, 255}));
    ZipTest::WriteWholeFile(folder / "a@1.5x.png", Flat(15, 9, Rgba{0, 255, 0, 255}));
    ZipTest::WriteWholeFile(folder / "a@2x.png", Flat(20, 12, Rgba{0, 0, 255, 255}));
    // Only the plain and the double scale.
    ZipTest::WriteWholeFile(folder / "b.png", Flat(10, 6, Rgba{255, 0, 0, 255}));
    ZipTest::WriteWholeFile(folder / "b@2x.png", Flat(20, 12, Rgba{0, 0, 255, 255}));
    // Only the plain one.
    ZipTest::WriteWholeFile(folder / "c.png", Flat(10, 6, Rgba{255, 0, 0, 255}));
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());

    const DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;
    const struct
    {
        const char* pstrName;
        int nDpi;
        int cx, cy;
        DWORD dwPixel;
    } cases[] = {
        {"a.png", 96, 10, 6, kRed},     {"a.png", 120, 13, 8, kGreen}, {"a.png", 144, 15, 9, kGreen},
        {"a.png", 168, 18, 11, kBlue},  {"a.png", 192, 20, 12, kBlue}, {"a.png", 288, 30, 18, kBlue},
        {"b.png", 144, 15, 9, kBlue},   {"b.png", 96, 10, 6, kRed},    {"c.png", 192, 20, 12, kRed},
        {"c.png", 144, 15, 9, kRed},
    };
    for (const auto& c : cases) {
        CPaintManagerUI pm;
        pm.SetDpi(c.nDpi);
        const ImageInfoUI* pImage = pm.FindOrLoadImage(c.pstrName);
        ASSERT_NE(pImage, nullptr) << c.pstrName << " at " << c.nDpi;
        EXPECT_EQ(pImage->dpi, c.nDpi) << c.pstrName << " at " << c.nDpi;
        EXPECT_EQ(pImage->width, c.cx) << c.pstrName << " at " << c.nDpi;
        EXPECT_EQ(pImage->height, c.cy) << c.pstrName << " at " << c.nDpi;
        // Flat pictures stay exactly flat through the filter, edges included.
        for (const auto& pt : {std::make_pair(0, 0), std::make_pair(c.cx - 1, c.cy - 1), std::make_pair(c.cx / 2, 1)})
            EXPECT_EQ(PixelAt(pImage, pt.first, pt.second), c.dwPixel) << c.pstrName << " at " << c.nDpi;
    }

    // A change of scale loads the pictures again for the new one.
    CPaintManagerUI pm;
    const ImageInfoUI* pImage = pm.FindOrLoadImage("a.png");
    ASSERT_NE(pImage, nullptr);
    EXPECT_EQ(pImage->width, 10);
    pm.SetDpi(192);
    pImage = pm.FindOrLoadImage("a.png");
    ASSERT_NE(pImage, nullptr);
    EXPECT_EQ(pImage->width, 20);
    EXPECT_EQ(PixelAt(pImage, 3, 3), kBlue);
}

TEST(DisplayScale, ResamplingFiltersEdgesAndKeepsAlphaPremultiplied)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("dpiresample");
    // Left half opaque white, right half fully transparent: an edge of colour and of alpha.
    std::vector<Rgba> aPixels;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x)
            aPixels.push_back(x < 4 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 0});
    }
    ZipTest::WriteWholeFile(folder / "edge.png", MakePng(8, 4, aPixels));
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());
    for (const int nDpi : {144, 192, 72}) {
        CPaintManagerUI pm;
        pm.SetDpi(nDpi);
        const ImageInfoUI* pImage = pm.FindOrLoadImage("edge.png");
        ASSERT_NE(pImage, nullptr);
        ASSERT_EQ(pImage->width, DpiScale(8, nDpi));
        EXPECT_TRUE(pImage->hasAlpha);
        int nBetween = 0;
        for (int x = 0; x < pImage->width; ++x) {
            const DWORD p = PixelAt(pImage, x, 1);
            const DWORD a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            // Premultiplied: no colour above its alpha, and white stays grey-free (r = g = b = a).
            EXPECT_TRUE(r == a && g == a && b == a) << std::hex << p << " at " << std::dec << x << ", " << nDpi;
            nBetween += (a > 0 && a < 255) ? 1 : 0;
        }
        EXPECT_EQ(PixelAt(pImage, 0, 0), 0xFFFFFFFFu) << nDpi;
        EXPECT_EQ(PixelAt(pImage, pImage->width - 1, 0), 0u) << nDpi;
        // A filter blends across the edge; a pixel repeat would not.
        if (nDpi > 96) {
            EXPECT_GE(nBetween, 1) << nDpi;
        }
    }
}
