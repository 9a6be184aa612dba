// Nine-grid blits and the software blend, drawn into memory bitmaps and read back.
#include "PaintCanvas.h"
#include "SkinImages.h"

#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Utils/SystemLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// An opaque colour that names its source position.
DWORD PositionColor(int x, int y)
{
    return 0xFF000000u | (static_cast<DWORD>(x) << 8) | static_cast<DWORD>(y);
}

constexpr RECT kNoCorners = {0, 0, 0, 0};

// A text whose terminating 0 is the last readable byte: the next page cannot be read, so reading past the
// end of the text faults.
class GuardedText
{
public:
    explicit GuardedText(const char* pstrText)
    {
        SYSTEM_INFO si = {};
        ::GetSystemInfo(&si);
        const size_t nPage = si.dwPageSize;
        m_pBase = static_cast<char*>(::VirtualAlloc(nullptr, 2 * nPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD dwOld = 0;
        ::VirtualProtect(m_pBase + nPage, nPage, PAGE_NOACCESS, &dwOld);
        const size_t nSize = std::strlen(pstrText) + 1;
        m_pText = m_pBase + nPage - nSize;
        std::memcpy(m_pText, pstrText, nSize);
    }
    ~GuardedText() { ::VirtualFree(m_pBase, 0, MEM_RELEASE); }
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;
    const char* Text() const { return m_pText; }

private:
    char* m_pBase = nullptr;
    char* m_pText = nullptr;
};

} // namespace

TEST(PaintImageSpec, MalformedStringsAreNeverReadPastTheirEnd)
{
    CPaintManagerUI pm;
    PaintCanvas canvas(20, 20);
    const RECT rc = {0, 0, 20, 20};
    const char* const cases[] = {
        "",
        "file",
        "file=",
        "file='",
        "file='a.png",
        "file = 'a.png' ",
        "file='a.png' source='1,2",
        "file='a.png' source='1,2,",
        "file='a.png' source=' ",
        "file='a.png' fade='",
        "file='a.png'x",
        "mask='#",
        "dest='1,2,3,4'",
        "file='\xB0",
        "file='a.png' \xB0",
        "\xB0",
    };
    for (const char* pstrCase : cases) {
        SCOPED_TRACE(pstrCase);
        const GuardedText text(pstrCase);
        // No image can be obtained (there is none), so nothing is drawn, as image string or as modifier.
        EXPECT_FALSE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rc, text.Text(), nullptr));
        EXPECT_FALSE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rc, "file='none.png'", text.Text()));
    }
    EXPECT_TRUE(canvas.AllRgb(rc, 0xFFFFFF));
    EXPECT_FALSE(CUIRender::PaintImageSpec(nullptr, &pm, rc, rc, "a.png"));
    EXPECT_FALSE(CUIRender::PaintImageSpec(canvas.DC(), nullptr, rc, rc, "a.png"));
}

TEST(BlitImage, CornersStayUnscaledWhileEdgesAndMiddleStretch)
{
    // A 50 x 24 progress-bar background with 7-pixel borders stretched to 500 x 24: corner pixels carry their
    // position, each edge and the middle have a colour of their own.
    constexpr DWORD kTop = 0xFF110000, kBottom = 0xFF220000, kLeft = 0xFF330000, kRight = 0xFF440000,
                    kMiddle = 0xFF550000;
    SourceBitmap image(50, 24, [&](int x, int y) {
        const bool bLeft = x < 7, bRight = x >= 43, bTop = y < 7, bBottom = y >= 17;
        if ((bLeft || bRight) && (bTop || bBottom))
            return PositionColor(x, y);
        if (bTop)
            return kTop;
        if (bBottom)
            return kBottom;
        if (bLeft)
            return kLeft;
        if (bRight)
            return kRight;
        return kMiddle;
    });
    for (const bool bAlpha : {true, false}) {
        SCOPED_TRACE(bAlpha ? "blended" : "copied");
        PaintCanvas canvas(520, 30, 0xFF000000);
        const RECT rcDest = {10, 3, 510, 27};
        const RECT rcSource = {0, 0, 50, 24};
        const RECT rcCorners = {7, 7, 7, 7};
        CUIRender::BlitImage(canvas.DC(), image.Handle(), rcDest, rcDest, rcSource, rcCorners, bAlpha);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x) {
                ASSERT_EQ(canvas.Rgb(10 + x, 3 + y), PositionColor(x, y) & 0xFFFFFF) << x << "," << y;
                ASSERT_EQ(canvas.Rgb(503 + x, 3 + y), PositionColor(43 + x, y) & 0xFFFFFF) << x << "," << y;
                ASSERT_EQ(canvas.Rgb(10 + x, 20 + y), PositionColor(x, 17 + y) & 0xFFFFFF) << x << "," << y;
                ASSERT_EQ(canvas.Rgb(503 + x, 20 + y), PositionColor(43 + x, 17 + y) & 0xFFFFFF) << x << "," << y;
            }
        EXPECT_TRUE(canvas.AllRgb({17, 3, 503, 10}, kTop));
        EXPECT_TRUE(canvas.AllRgb({17, 20, 503, 27}, kBottom));
        EXPECT_TRUE(canvas.AllRgb({10, 10, 17, 20}, kLeft));
        EXPECT_TRUE(canvas.AllRgb({503, 10, 510, 20}, kRight));
        EXPECT_TRUE(canvas.AllRgb({17, 10, 503, 20}, kMiddle));
        // Nothing outside the destination.
        EXPECT_TRUE(canvas.AllRgb({0, 0, 520, 3}, 0));
        EXPECT_TRUE(canvas.AllRgb({0, 0, 10, 30}, 0));
        EXPECT_TRUE(canvas.AllRgb({510, 0, 520, 30}, 0));
        EXPECT_TRUE(canvas.AllRgb({0, 27, 520, 30}, 0));
    }
}

TEST(BlitImage, TiledMiddlesAreCutAtTheEdgeAndNeverSqueezed)
{
    struct Case
    {
        const char* name;
        bool bTiledX, bTiledY;
        int cxSrc, cySrc, cxDest, cyDest;
    };
    const Case cases[] = {
        // A 100-pixel middle from 30-pixel tiles: 0-29, 30-59, 60-89 and 90-99 (a cut 10-pixel tile).
        {"x", true, false, 30, 4, 100, 9},
        {"y", false, true, 3, 30, 7, 100},
        {"both", true, true, 30, 20, 100, 70},
    };
    SourceBitmap image(30, 30, PositionColor);
    for (const Case& c : cases) {
        for (const bool bAlpha : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (bAlpha ? " blended" : " copied"));
            PaintCanvas canvas(c.cxDest + 5, c.cyDest + 5, 0xFF000000);
            const RECT rcDest = {0, 0, c.cxDest, c.cyDest};
            const RECT rcSource = {0, 0, c.cxSrc, c.cySrc};
            CUIRender::BlitImage(canvas.DC(), image.Handle(), rcDest, rcDest, rcSource, kNoCorners, bAlpha, 255, false,
                                 c.bTiledX, c.bTiledY);
            // Along a tiled direction the pixel repeats its source position; along a stretched one the
            // source is stretched, so only the tiled coordinate is checked exactly.
            for (int y = 0; y < c.cyDest; ++y) {
                for (int x = 0; x < c.cxDest; ++x) {
                    const DWORD dw = canvas.Rgb(x, y);
                    if (c.bTiledX) {
                        ASSERT_EQ(static_cast<int>((dw >> 8) & 0xFF), x % c.cxSrc) << x << "," << y;
                    }
                    if (c.bTiledY) {
                        ASSERT_EQ(static_cast<int>(dw & 0xFF), y % c.cySrc) << x << "," << y;
                    }
                }
            }
            // Stretched over the full height (width): the last row (column) comes from the last source row.
            if (!c.bTiledY) {
                EXPECT_EQ(static_cast<int>(canvas.Rgb(0, c.cyDest - 1) & 0xFF), c.cySrc - 1);
            }
            if (!c.bTiledX) {
                EXPECT_EQ(static_cast<int>((canvas.Rgb(c.cxDest - 1, 0) >> 8) & 0xFF), c.cxSrc - 1);
            }
            EXPECT_TRUE(canvas.AllRgb({c.cxDest, 0, c.cxDest + 5, c.cyDest + 5}, 0));
            EXPECT_TRUE(canvas.AllRgb({0, c.cyDest, c.cxDest + 5, c.cyDest + 5}, 0));
        }
    }
}

TEST(BlitImage, HoleFadeAndPaintRectangle)
{
    SourceBitmap opaque(10, 10, [](int, int) { return 0xFFC08040u; });
    const RECT rcSource = {0, 0, 10, 10};
    const RECT rcDest = {0, 0, 20, 20};

    // A hole leaves the middle as it was and draws the 2-pixel frame.
    {
        PaintCanvas canvas(20, 20, 0xFF000000);
        const RECT rcCorners = {2, 2, 2, 2};
        CUIRender::BlitImage(canvas.DC(), opaque.Handle(), rcDest, rcDest, rcSource, rcCorners, true, 255, true);
        EXPECT_TRUE(canvas.AllRgb({2, 2, 18, 18}, 0));
        EXPECT_TRUE(canvas.AllRgb({0, 0, 20, 2}, 0xC08040));
        EXPECT_TRUE(canvas.AllRgb({0, 18, 20, 20}, 0xC08040));
        EXPECT_TRUE(canvas.AllRgb({0, 2, 2, 18}, 0xC08040));
        EXPECT_TRUE(canvas.AllRgb({18, 2, 20, 18}, 0xC08040));
    }
    // A fade of 128 draws an opaque image at half opacity, with or without its own alpha.
    for (const bool bAlpha : {true, false}) {
        PaintCanvas canvas(20, 20, 0xFF000000);
        CUIRender::BlitImage(canvas.DC(), opaque.Handle(), rcDest, rcDest, rcSource, kNoCorners, bAlpha, 128);
        EXPECT_TRUE(NearRgb(canvas.Pixel(10, 10), 0x604020)) << std::hex << canvas.Pixel(10, 10);
    }
    // An image of the destination's size is copied only where it is painted.
    {
        PaintCanvas canvas(10, 10, 0xFF000000);
        const RECT rcDest10 = {0, 0, 10, 10};
        const RECT rcPaint = {0, 0, 4, 10};
        CUIRender::BlitImage(canvas.DC(), opaque.Handle(), rcDest10, rcPaint, rcSource, kNoCorners, false);
        EXPECT_TRUE(canvas.AllRgb({0, 0, 4, 10}, 0xC08040));
        EXPECT_TRUE(canvas.AllRgb({4, 0, 10, 10}, 0));
    }
    // Corner pieces outside the paint rectangle are left out.
    {
        PaintCanvas canvas(20, 20, 0xFF000000);
        const RECT rcCorners = {3, 3, 3, 3};
        const RECT rcPaint = {15, 0, 20, 5};
        CUIRender::BlitImage(canvas.DC(), opaque.Handle(), rcDest, rcPaint, rcSource, rcCorners, true);
        EXPECT_EQ(canvas.Rgb(19, 0), 0xC08040u);
        EXPECT_EQ(canvas.Rgb(0, 0), 0u);
        EXPECT_EQ(canvas.Rgb(0, 19), 0u);
    }
}

TEST(BlitImage, DegenerateGeometryDrawsWhatItCanAndNeverFails)
{
    SourceBitmap image(14, 14, PositionColor);
    PaintCanvas canvas(40, 40, 0xFFFF0000);
    const RECT rcDest = {0, 0, 40, 40};
    // Corners that take the whole source leave a middle of width 0: tiling it must not divide by zero.
    const RECT rcSource = {0, 0, 14, 14};
    const RECT rcWide = {7, 0, 7, 0};
    CUIRender::BlitImage(canvas.DC(), image.Handle(), rcDest, rcDest, rcSource, rcWide, true, 255, false, true, true);
    EXPECT_EQ(canvas.Rgb(0, 0), PositionColor(0, 0) & 0xFFFFFF);   // left edge from source column 0
    EXPECT_EQ(canvas.Rgb(39, 0), PositionColor(13, 0) & 0xFFFFFF); // right edge from source column 13
    EXPECT_TRUE(canvas.AllRgb({7, 0, 33, 40}, 0xFF0000));          // no middle
    const RECT rcHuge = {30, 30, 30, 30};                          // corners larger than source and destination
    const RECT rcInverted = {30, 30, 10, 10};                      // right and bottom before left and top
    CUIRender::BlitImage(canvas.DC(), image.Handle(), rcDest, rcDest, rcSource, rcHuge, true, 255, false, true, true);
    CUIRender::BlitImage(canvas.DC(), image.Handle(), rcInverted, rcDest, rcSource, kNoCorners, true);
    CUIRender::BlitImage(canvas.DC(), nullptr, rcDest, rcDest, rcSource, kNoCorners, true);
    CUIRender::BlitImage(nullptr, image.Handle(), rcDest, rcDest, rcSource, kNoCorners, true);
}

TEST(SoftAlphaBlend, MatchesThePlatformBlendForPremultipliedSources)
{
    // Semi-transparent premultiplied pixels of several alphas over a coloured background, stretched 2x.
    SourceBitmap image(4, 1, [](int x, int) {
        const DWORD a[] = {0, 64, 128, 255};
        const DWORD dwAlpha = a[x];
        return (dwAlpha << 24) | ((200 * dwAlpha / 255) << 16) | ((100 * dwAlpha / 255) << 8) | (50 * dwAlpha / 255);
    });
    using AlphaBlendProc = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
    const CUISystemLibrary msimg("msimg32.dll");
    const auto pfnAlphaBlend = msimg.Proc<AlphaBlendProc>("AlphaBlend");
    ASSERT_NE(pfnAlphaBlend, nullptr);
    const HDC hSourceDC = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ hOld = ::SelectObject(hSourceDC, image.Handle());
    for (const BYTE uConst : {BYTE(255), BYTE(100)}) {
        PaintCanvas platform(8, 2, 0xFF3060A0);
        PaintCanvas soft(8, 2, 0xFF3060A0);
        const BLENDFUNCTION bf = {AC_SRC_OVER, 0, uConst, AC_SRC_ALPHA};
        ASSERT_TRUE(pfnAlphaBlend(platform.DC(), 0, 0, 8, 2, hSourceDC, 0, 0, 4, 1, bf));
        ASSERT_TRUE(CUIRender::SoftAlphaBlend(soft.DC(), 0, 0, 8, 2, hSourceDC, 0, 0, 4, 1, bf));
        for (int x = 0; x < 8; ++x)
            EXPECT_TRUE(NearRgb(platform.Pixel(x, 1), soft.Pixel(x, 1), 2))
                << int(uConst) << " x=" << x << std::hex << " " << platform.Pixel(x, 1) << " " << soft.Pixel(x, 1);
    }
    const BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    PaintCanvas canvas(2, 2);
    EXPECT_FALSE(CUIRender::SoftAlphaBlend(canvas.DC(), 0, 0, 0, 2, hSourceDC, 0, 0, 4, 1, bf));
    ::SelectObject(hSourceDC, hOld);
    ::DeleteDC(hSourceDC);
}

TEST(PaintImageSpec, ItemsChooseThePartOfTheImageAndWhereItGoes)
{
    SkinImages images;
    CPaintManagerUI pm;
    constexpr DWORD kRed = 0xFF0000;
    struct Probe
    {
        int x, y;
        DWORD dwRgb;
    };
    struct Case
    {
        const char* image;
        const char* modify;
        RECT rcItem;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        // No items: the string names the image, stretched over the whole item.
        {"bk.png", nullptr, {10, 5, 110, 25}, {{10, 5, kBkColor}, {109, 24, kBkColor}, {9, 5, kRed}, {110, 25, kRed}}},
        // A source part at full size.
        {"file='grid.png' source='10,0,20,10'",
         nullptr,
         {0, 0, 10, 10},
         {{0, 0, GridColor(10, 0)}, {9, 9, GridColor(19, 9)}, {4, 7, GridColor(14, 7)}, {10, 0, kRed}}},
        // A 21 x 21 destination in a 110 x 20 item is cut at the item's bottom: 20 rows.
        {"file='grid.png' source='0,0,21,21' dest='0,0,21,21'",
         nullptr,
         {0, 0, 110, 20},
         {{0, 0, GridColor(0, 0)}, {20, 0, GridColor(20, 0)}, {21, 0, kRed}, {0, 20, kRed}}},
        // No space after a closing quote: only the file item is read and the image is drawn whole.
        {"file='grid.png'source='0,0,5,5'", nullptr, {0, 0, 30, 30}, {{29, 29, GridColor(29, 29)}}},
        // A malformed item stops the string; what came before it is drawn.
        {"file='grid.png' source='0,0,10,10' corner='1",
         nullptr,
         {0, 0, 10, 10},
         {{0, 0, GridColor(0, 0)}, {9, 9, GridColor(9, 9)}}},
        {"file='grid.png' source='0,0,10,10' dest=0,0,5,5'", nullptr, {0, 0, 10, 10}, {{9, 9, GridColor(9, 9)}}},
        // A modifier with only a destination places the image within the item.
        {"file='grid.png' source='0,0,10,10'",
         "dest='5,5,15,15'",
         {0, 0, 30, 30},
         {{5, 5, GridColor(0, 0)}, {14, 14, GridColor(9, 9)}, {4, 4, kRed}, {15, 15, kRed}}},
        // Tiling, hole and mask through the string.
        {"file='grid.png' source='0,0,30,1' xtiled='true'",
         nullptr,
         {0, 0, 100, 1},
         {{95, 0, GridColor(5, 0)}, {30, 0, GridColor(0, 0)}}},
        {"file='bk.png' corner='1,1,1,1' hole='true'", nullptr, {0, 0, 10, 10}, {{0, 0, kBkColor}, {5, 5, kRed}}},
        {"file='mask.png' mask='#FFFF00FF'", nullptr, {0, 0, 2, 1}, {{0, 0, kRed}, {1, 0, kBkColor}}},
        // Half fade: an opaque image at half opacity.
        {"file='bk.png' fade='128'", nullptr, {0, 0, 4, 4}, {{2, 2, 0x8F2060}}},
        // A file item and then a restype item: the image is tried twice, so a half fade is laid twice.
        {"file='bk.png' fade='128' restype='PNG'", nullptr, {0, 0, 4, 4}, {{2, 2, 0x572F90}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        PaintCanvas canvas(120, 40, 0xFFFF0000);
        EXPECT_TRUE(CUIRender::PaintImageSpec(canvas.DC(), &pm, c.rcItem, c.rcItem, c.image, c.modify));
        for (const Probe& probe : c.probes)
            EXPECT_TRUE(NearRgb(canvas.Rgb(probe.x, probe.y), probe.dwRgb, 2))
                << probe.x << "," << probe.y << " " << std::hex << canvas.Rgb(probe.x, probe.y) << " expected "
                << probe.dwRgb;
    }
}

TEST(PaintImageSpec, ReportsWhetherAnyImageCouldBeObtained)
{
    SkinImages images;
    CPaintManagerUI pm;
    PaintCanvas canvas(20, 20);
    const RECT rc = {0, 0, 20, 20};
    const RECT rcElsewhere = {40, 40, 60, 60};
    EXPECT_FALSE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rc, "file='missing.png'"));
    EXPECT_FALSE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rc, "missing.png"));
    EXPECT_FALSE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rc, "file=''"));
    EXPECT_TRUE(canvas.AllRgb(rc, 0xFFFFFF));
    // An image that exists is reported even when it lies outside what is painted.
    EXPECT_TRUE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rcElsewhere, "bk.png"));
    EXPECT_TRUE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rc, "file='bk.png' dest='30,30,40,40'"));
    EXPECT_TRUE(canvas.AllRgb(rc, 0xFFFFFF));
    // One of two images is enough.
    EXPECT_TRUE(CUIRender::PaintImageSpec(canvas.DC(), &pm, rc, rc, "file='missing.png' file='bk.png'"));
    EXPECT_EQ(canvas.Rgb(10, 10), kBkColor);
    // The named-image call itself.
    const RECT rcZero = {};
    EXPECT_FALSE(CUIRender::PaintNamedImage(canvas.DC(), &pm, rc, rc, "", nullptr, rc, rcZero, rcZero, 0, 255, false,
                                            false, false));
    EXPECT_TRUE(CUIRender::PaintNamedImage(canvas.DC(), &pm, rc, rc, "grid.png", nullptr, rc, rcZero, rcZero, 0, 255,
                                           false, false, false));
    EXPECT_TRUE(NearRgb(canvas.Rgb(0, 0), GridColor(0, 0), 2));
}
