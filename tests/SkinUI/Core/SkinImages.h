// A resource folder with a few small PNG images for drawing tests; the paint manager reads from it while
// the object lives.
//   grid.png  30 x 30, opaque, pixel (x, y) has green x and blue y (see GridColor)
//   bk.png    4 x 4, opaque 0x2040C0
//   mask.png  2 x 1, magenta then 0x2040C0 (magenta becomes transparent with mask='#FFFF00FF')
#pragma once

#include "ResourceTestSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include "SkinUI/Core/UIManager.h"

#include <windows.h>

#include <vector>

namespace SkinUITest {

constexpr DWORD kBkColor = 0x2040C0;

// The colour of grid.png at (x, y), as the drawing reads it back (0xRRGGBB).
inline DWORD GridColor(int x, int y)
{
    return (static_cast<DWORD>(x) << 8) | static_cast<DWORD>(y);
}

class SkinImages
{
public:
    SkinImages() : m_folder("skinimg")
    {
        std::vector<Rgba> aGrid;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                aGrid.push_back(Rgba{0, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 255});
        ZipTest::WriteWholeFile(m_folder / "grid.png", MakePng(30, 30, aGrid));
        ZipTest::WriteWholeFile(m_folder / "bk.png", MakePng(4, 4, std::vector<Rgba>(16, Rgba{0x20, 0x40, 0xC0, 255})));
        ZipTest::WriteWholeFile(m_folder / "mask.png",
                                MakePng(2, 1, {Rgba{255, 0, 255, 255}, Rgba{0x20, 0x40, 0xC0, 255}}));
        SkinUI::CPaintManagerUI::SetResourceFolder(m_folder.Path().c_str());
    }

private:
    CResourceLocationGuard m_guard;
    ZipTest::CScratchFolder m_folder;
};

} // namespace SkinUITest
