// Image loading: pixel conversion (premultiplied blue-green-red-alpha, top-down rows, the has-alpha flag and
// the mask), where the bytes come from, and bad input.
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIRender.h"

#include "ResourceTestSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

struct ImageDeleter
{
    void operator()(ImageInfoUI* p) const { CUIRender::FreeImage(p); }
};
using ImagePtr = std::unique_ptr<ImageInfoUI, ImageDeleter>;

// The pixels of a loaded image in memory order, each read as a little-endian 0xAARRGGBB value (the cases
// below differ from their upside-down copies, so the comparison also checks that rows run top-down).
std::vector<DWORD> PixelsOf(const ImageInfoUI& image)
{
    DIBSECTION ds = {};
    if (::GetObjectA(image.bitmap, sizeof(ds), &ds) != sizeof(ds) || ds.dsBm.bmBits == nullptr)
        return {};
    EXPECT_EQ(ds.dsBmih.biBitCount, 32);
    const auto* p = static_cast<const DWORD*>(ds.dsBm.bmBits);
    return std::vector<DWORD>(p, p + image.width * image.height);
}

ImagePtr LoadFromFile(const ZipTest::CScratchFolder& folder, const std::string& strPng, DWORD dwMask = 0)
{
    ZipTest::WriteWholeFile(folder / "img.png", strPng);
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());
    return ImagePtr(CUIRender::LoadImage("img.png", nullptr, dwMask));
}

} // namespace

TEST(ImageLoading, PixelsArePremultipliedTopDownWithAlphaFlagAndMask)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("imgpx");
    const Rgba kOpaque{10, 20, 30, 255}, kHalf{200, 100, 50, 128}, kMagenta{255, 0, 255, 255}, kClear{9, 9, 9, 0};
    struct Case
    {
        const char* pstrWhat;
        std::vector<Rgba> aPixels; // 2 x 2, rows top to bottom
        bool bAlphaChannel;
        DWORD dwMask;
        std::vector<DWORD> aExpected;
        bool bHasAlpha;
    } cases[] = {
        {"opaque",
         {kOpaque, kMagenta, kMagenta, kOpaque},
         true,
         0,
         {0xFF0A141E, 0xFFFF00FF, 0xFFFF00FF, 0xFF0A141E},
         false},
        {"no alpha channel",
         {kOpaque, kMagenta, kOpaque, kOpaque},
         false,
         0,
         {0xFF0A141E, 0xFFFF00FF, 0xFF0A141E, 0xFF0A141E},
         false},
        {"translucent", {kOpaque, kHalf, kClear, kOpaque}, true, 0, {0xFF0A141E, 0x80643219, 0, 0xFF0A141E}, true},
        {"opaque magenta mask",
         {kOpaque, kMagenta, kMagenta, kOpaque},
         true,
         0xFFFF00FF,
         {0xFF0A141E, 0, 0, 0xFF0A141E},
         true},
        {"mask without alpha matches nothing opaque",
         {kOpaque, kMagenta, kMagenta, kOpaque},
         true,
         0x00FF00FF,
         {0xFF0A141E, 0xFFFF00FF, 0xFFFF00FF, 0xFF0A141E},
         false},
        {"mask of a premultiplied value",
         {kHalf, kOpaque, kOpaque, kOpaque},
         true,
         0x80643219,
         {0, 0xFF0A141E, 0xFF0A141E, 0xFF0A141E},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        ImagePtr pImage = LoadFromFile(folder, MakePng(2, 2, c.aPixels, c.bAlphaChannel), c.dwMask);
        ASSERT_NE(pImage, nullptr);
        EXPECT_EQ(pImage->width, 2);
        EXPECT_EQ(pImage->height, 2);
        EXPECT_EQ(pImage->hasAlpha, c.bHasAlpha);
        EXPECT_EQ(PixelsOf(*pImage), c.aExpected);
        EXPECT_TRUE(pImage->resourceType.IsEmpty());
        EXPECT_EQ(pImage->mask, 0u);
    }

    // Blue comes first in memory: (10, 20, 30) is stored as 30, 20, 10, 255.
    ImagePtr pImage = LoadFromFile(folder, MakePng(1, 1, {kOpaque}));
    ASSERT_NE(pImage, nullptr);
    DIBSECTION ds = {};
    ASSERT_EQ(::GetObjectA(pImage->bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    const auto* pBytes = static_cast<const BYTE*>(ds.dsBm.bmBits);
    EXPECT_EQ(std::vector<BYTE>(pBytes, pBytes + 4), (std::vector<BYTE>{30, 20, 10, 255}));
}

TEST(ImageLoading, BadBytesYieldNull)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("imgbad");
    const std::string strGood = MakePng(3, 2, std::vector<Rgba>(6, Rgba{1, 2, 3, 200}));
    ASSERT_NE(LoadFromFile(folder, strGood), nullptr);
    // Every cut short of the end marker's checksum.
    int nLoaded = 0;
    for (std::size_t n = 0; n + 12 < strGood.size(); ++n) {
        ImagePtr pImage = LoadFromFile(folder, strGood.substr(0, n));
        if (pImage != nullptr) {
            ++nLoaded;
            EXPECT_EQ(pImage->width, 3);
        }
    }
    EXPECT_EQ(nLoaded, 0) << "a cut inside the pixel data decoded";
    const struct
    {
        const char* pstrWhat;
        std::string strBytes;
    } bad[] = {
        {"garbage", std::string(300, '\x5A')},
        {"zero width", MakePngClaimingSize(0, 4)},
        {"zero height", MakePngClaimingSize(4, 0)},
        {"absurd size", MakePngClaimingSize(100000, 100000)},
        {"huge width", MakePngClaimingSize(0x7FFFFFFF, 1)},
        {"signature only", std::string("\x89PNG\r\n\x1a\n", 8)},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.pstrWhat);
        EXPECT_EQ(LoadFromFile(folder, b.strBytes), nullptr);
    }
    ZipTest::WriteWholeFile(folder / "empty.png", "");
    EXPECT_EQ(CUIRender::LoadImage("empty.png"), nullptr);
    EXPECT_EQ(CUIRender::LoadImage("missing.png"), nullptr);
    EXPECT_EQ(CUIRender::LoadImage(CUIResName(nullptr)), nullptr);
    CUIRender::FreeImage(nullptr);
}

TEST(ImageLoading, BytesComeFromTheArchiveTheFolderOrAPlainPath)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("imgsrc");
    const std::string strRed = MakePng(1, 1, {Rgba{255, 0, 0, 255}});
    const std::string strBlue = MakePng(1, 1, {Rgba{0, 0, 255, 255}});
    std::vector<ZipTest::SItemSpec> items(1);
    items[0].strName = "Images/Red.PNG";
    items[0].strData = strRed;
    const std::string strArchive = ZipTest::BuildArchive(items);
    ZipTest::WriteWholeFile(folder / "skin.zip", strArchive);
    ::CreateDirectoryA((folder / "images").c_str(), nullptr);
    ZipTest::WriteWholeFile(folder / "images\\blue.png", strBlue);
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());

    auto Colour = [](const char* pstrName, const char* pstrType = nullptr) -> DWORD {
        ImagePtr pImage(CUIRender::LoadImage(pstrName, pstrType));
        return pImage != nullptr ? PixelsOf(*pImage).at(0) : 0;
    };
    // Plain files under the resource folder.
    EXPECT_EQ(Colour("images\\blue.png"), 0xFF0000FFu);
    EXPECT_EQ(Colour("images/red.png"), 0u);
    // The archive file, opened per load and held open; item names ignore case.
    for (bool bKeepOpen : {false, true}) {
        SCOPED_TRACE(bKeepOpen ? "held open" : "opened per load");
        CPaintManagerUI::SetResourceArchiveFile("skin.zip", bKeepOpen);
        EXPECT_EQ(CPaintManagerUI::GetResourceArchive() != nullptr, bKeepOpen);
        EXPECT_EQ(Colour("images/red.png"), 0xFFFF0000u);
        EXPECT_EQ(Colour("images/red.png"), 0xFFFF0000u) << "the same item read twice";
        EXPECT_EQ(Colour("images\\blue.png"), 0u) << "plain files are not consulted while an archive is set";
        CPaintManagerUI::SetResourceArchiveFile("", false);
    }
    // A name found nowhere under the resource location is tried as a plain path, also for a typed image
    // whose resource does not exist.
    const std::string strPlain = folder / "images\\blue.png";
    CPaintManagerUI::SetResourceArchiveFile("skin.zip", true);
    EXPECT_EQ(Colour(strPlain.c_str()), 0xFF0000FFu);
    EXPECT_EQ(Colour(strPlain.c_str(), "PNG"), 0xFF0000FFu);
    ZipTest::CCurrentFolder current(folder.Path());
    ASSERT_TRUE(current.Ok());
    EXPECT_EQ(Colour("images\\blue.png", "PNG"), 0xFF0000FFu);
    EXPECT_EQ(Colour("nowhere.png"), 0u);
}
