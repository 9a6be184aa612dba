// Test support for resource loading: a small PNG writer and a guard that restores the paint manager's
// process-wide resource location.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUITest {

// One pixel as the image file holds it.
struct Rgba
{
    std::uint8_t r, g, b, a;
};

// An 8-bit PNG (colour type 6, RGBA; or 2, RGB, when bAlpha is false) of nWidth x nHeight pixels in row
// order; the width and height written to the header may be forced to other values.
std::string MakePng(int nWidth, int nHeight, const std::vector<Rgba>& aPixels, bool bAlpha = true);
std::string MakePngClaimingSize(std::uint32_t nWidth, std::uint32_t nHeight);

// Clears the resource folder and archive when it is made and again when it goes out of scope.
class CResourceLocationGuard
{
public:
    CResourceLocationGuard();
    ~CResourceLocationGuard();
    CResourceLocationGuard(const CResourceLocationGuard&) = delete;
    CResourceLocationGuard& operator=(const CResourceLocationGuard&) = delete;
};

} // namespace SkinUITest
