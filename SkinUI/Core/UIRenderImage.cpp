// CUIRender image loading: finds an image's bytes (a resource of the resource module, the resource archive
// or folder, or a plain file), decodes them to 8-bit RGBA and converts them to a premultiplied top-down
// 32-bit DIB section ready for alpha blending.
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIPlatformText.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Core/UIRenderPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// The decoder reads from memory only. Skin images are small; a larger claimed size is refused before any
// pixel memory is reserved.
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace SkinUI {

namespace {

// An encoded image file larger than this is not a skin image.
constexpr DWORD kMaxImageFileSize = 64u * 1024u * 1024u;

struct CDecodedPixels
{
    stbi_uc* pPixels = nullptr;
    ~CDecodedPixels()
    {
        if (pPixels != nullptr)
            stbi_image_free(pPixels);
    }
};

// Copies the bytes of resource (name, type) of the resource module.
bool ReadResourceBytes(const CUIResName& name, const char* pstrType, CPaintManagerUI::ResourceData& data)
{
    const HINSTANCE hModule = CPaintManagerUI::GetResourceModule();
    const HRSRC hResource = FindGbkResource(hModule, name.Name(), pstrType);
    if (hResource == nullptr)
        return false;
    const HGLOBAL hGlobal = ::LoadResource(hModule, hResource);
    if (hGlobal == nullptr)
        return false;
    const DWORD dwSize = ::SizeofResource(hModule, hResource);
    const void* pSource = ::LockResource(hGlobal);
    if (dwSize > 0 && dwSize <= kMaxImageFileSize && pSource != nullptr) {
        data.pBytes.reset(new (std::nothrow) BYTE[dwSize]);
        if (data.pBytes != nullptr) {
            std::memcpy(data.pBytes.get(), pSource, dwSize);
            data.dwSize = dwSize;
        }
    }
    ::FreeResource(hGlobal);
    return data.pBytes != nullptr;
}

// A record owning hBitmap; null (and the bitmap deleted) when it cannot be made. The caller owns the record
// (the paint manager's image table).
ImageInfoUI* NewImageRecord(HBITMAP hBitmap, int cx, int cy, bool bAlpha)
{
    auto pImage = std::unique_ptr<ImageInfoUI>(new (std::nothrow) ImageInfoUI);
    if (pImage == nullptr) {
        ::DeleteObject(hBitmap);
        return nullptr;
    }
    pImage->bitmap = hBitmap;
    pImage->width = cx;
    pImage->height = cy;
    pImage->hasAlpha = bAlpha;
    return pImage.release();
}

// How the pixels of one output row (or column) are made from the input: for each output pixel the first
// input pixel it reads and the weights of the following ones, in units of 1/kWeightOne.
constexpr int kWeightShift = 14;
constexpr int kWeightOne = 1 << kWeightShift;

struct FilterTaps
{
    std::vector<int> aFirst;
    std::vector<int> aCount;
    std::vector<int> aWeights; // aCount[i] weights for output i, one after another
    std::vector<int> aOffset;  // where output i's weights start in aWeights
};

// A tent filter: one input pixel wide when enlarging (bilinear), as wide as one output pixel covers when
// reducing (every covered input pixel counts). Pixels beyond the edges repeat the edge pixel.
FilterTaps MakeTaps(int nIn, int nOut)
{
    FilterTaps taps;
    const double dScale = static_cast<double>(nOut) / nIn;
    const double dRadius = dScale >= 1.0 ? 1.0 : 1.0 / dScale;
    taps.aFirst.resize(static_cast<size_t>(nOut));
    taps.aCount.resize(static_cast<size_t>(nOut));
    taps.aOffset.resize(static_cast<size_t>(nOut));
    std::vector<double> aRaw;
    for (int i = 0; i < nOut; ++i) {
        const double dCentre = (i + 0.5) / dScale - 0.5;
        const int nLow = static_cast<int>(std::floor(dCentre - dRadius)) + 1;
        const int nHigh = static_cast<int>(std::ceil(dCentre + dRadius)) - 1;
        const int nFirst = std::max(0, std::min(nLow, nIn - 1));
        const int nLast = std::max(0, std::min(nHigh, nIn - 1));
        aRaw.assign(static_cast<size_t>(nLast - nFirst + 1), 0.0);
        double dSum = 0.0;
        for (int j = nLow; j <= nHigh; ++j) {
            const double w = std::max(0.0, 1.0 - std::fabs(j - dCentre) / dRadius);
            aRaw[static_cast<size_t>(std::max(nFirst, std::min(j, nLast)) - nFirst)] += w;
            dSum += w;
        }
        taps.aFirst[static_cast<size_t>(i)] = nFirst;
        taps.aCount[static_cast<size_t>(i)] = nLast - nFirst + 1;
        taps.aOffset[static_cast<size_t>(i)] = static_cast<int>(taps.aWeights.size());
        // Whole weights that add up to exactly one, so that a flat area stays exactly flat.
        int nGiven = 0;
        for (size_t k = 0; k < aRaw.size(); ++k) {
            const int w = dSum > 0.0 ? static_cast<int>(aRaw[k] / dSum * kWeightOne + 0.5) : (k == 0 ? kWeightOne : 0);
            taps.aWeights.push_back(w);
            nGiven += w;
        }
        // The rounding's remainder goes to the heaviest tap.
        const auto itBegin = taps.aWeights.begin() + taps.aOffset[static_cast<size_t>(i)];
        *std::max_element(itBegin, taps.aWeights.end()) += kWeightOne - nGiven;
    }
    return taps;
}

// One pass of the separable filter over 4-byte pixels: nLines lines of nIn pixels each become nOut pixels.
// Input pixel k of line l is at pIn[(l * nInLine + k * nInStep) * 4], output likewise.
void FilterPass(const BYTE* pIn, BYTE* pOut, int nLines, const FilterTaps& taps, int nOut, int nInLine, int nInStep,
                int nOutLine, int nOutStep)
{
    for (int l = 0; l < nLines; ++l) {
        for (int i = 0; i < nOut; ++i) {
            const int* pW = &taps.aWeights[static_cast<size_t>(taps.aOffset[static_cast<size_t>(i)])];
            const int nFirst = taps.aFirst[static_cast<size_t>(i)];
            int aSum[4] = {0, 0, 0, 0};
            for (int k = 0; k < taps.aCount[static_cast<size_t>(i)]; ++k) {
                const BYTE* p = pIn + (static_cast<size_t>(l) * nInLine + static_cast<size_t>(nFirst + k) * nInStep) * 4;
                for (int c = 0; c < 4; ++c)
                    aSum[c] += p[c] * pW[k];
            }
            BYTE* q = pOut + (static_cast<size_t>(l) * nOutLine + static_cast<size_t>(i) * nOutStep) * 4;
            for (int c = 0; c < 4; ++c)
                q[c] = static_cast<BYTE>(std::min(255, std::max(0, (aSum[c] + kWeightOne / 2) >> kWeightShift)));
        }
    }
}

} // namespace

ImageInfoUI* CUIRender::ResampleImage(const ImageInfoUI* pImage, int cx, int cy, int nDpi)
{
    if (pImage == nullptr || pImage->bitmap == nullptr || pImage->width <= 0 || pImage->height <= 0 || cx <= 0 ||
        cy <= 0 || static_cast<unsigned long long>(cx) * static_cast<unsigned long long>(cy) * 4 > 0x7FFFFFFFull)
        return nullptr;
    DIBSECTION dib = {};
    if (::GetObjectW(pImage->bitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBits == nullptr ||
        dib.dsBm.bmBitsPixel != 32 || dib.dsBm.bmWidth != pImage->width || dib.dsBm.bmHeight != pImage->height)
        return nullptr;
    ::GdiFlush();
    const auto* pSource = static_cast<const BYTE*>(dib.dsBm.bmBits);
    const int W = pImage->width;
    const int H = pImage->height;
    // Across first, then down. Premultiplied pixels filter correctly: a colour never exceeds its alpha.
    std::vector<BYTE> aAcross;
    void* pvBits = nullptr;
    const HBITMAP hBitmap = RenderPlatform::CreateDib32(nullptr, cx, cy, &pvBits);
    if (hBitmap == nullptr || pvBits == nullptr) {
        if (hBitmap != nullptr)
            ::DeleteObject(hBitmap);
        return nullptr;
    }
    aAcross.resize(static_cast<size_t>(cx) * static_cast<size_t>(H) * 4);
    FilterPass(pSource, aAcross.data(), H, MakeTaps(W, cx), cx, W, 1, cx, 1);
    FilterPass(aAcross.data(), static_cast<BYTE*>(pvBits), cx, MakeTaps(H, cy), cy, 1, cx, 1, cx);

    ImageInfoUI* pResampled = NewImageRecord(hBitmap, cx, cy, pImage->hasAlpha);
    if (pResampled == nullptr)
        return nullptr;
    pResampled->dpi = nDpi;
    pResampled->resourceType = pImage->resourceType;
    pResampled->mask = pImage->mask;
    return pResampled;
}

ImageInfoUI* CUIRender::LoadImage(const CUIResName& name, const char* pstrType, DWORD dwMask)
{
    if (name.Name() == nullptr)
        return nullptr;
    CPaintManagerUI::ResourceData data;
    if (pstrType != nullptr)
        ReadResourceBytes(name, pstrType, data);
    else if (!name.IsId())
        CPaintManagerUI::ReadResourceData(name.Name(), kMaxImageFileSize, data);
    // Not found where resources live: the name may be a plain path (absolute or relative to the current
    // folder).
    if (data.pBytes == nullptr && !name.IsId())
        CPaintManagerUI::ReadFileData(name.Name(), kMaxImageFileSize, data);
    if (data.pBytes == nullptr)
        return nullptr;

    int nWidth = 0;
    int nHeight = 0;
    int nChannels = 0;
    CDecodedPixels decoded;
    decoded.pPixels =
        stbi_load_from_memory(data.pBytes.get(), static_cast<int>(data.dwSize), &nWidth, &nHeight, &nChannels, 4);
    data = CPaintManagerUI::ResourceData();
    if (decoded.pPixels == nullptr || nWidth <= 0 || nHeight <= 0)
        return nullptr;
    const unsigned long long nPixels =
        static_cast<unsigned long long>(nWidth) * static_cast<unsigned long long>(nHeight);
    if (nPixels * 4 > 0x7FFFFFFFull)
        return nullptr;

    void* pvBits = nullptr;
    const HBITMAP hBitmap = RenderPlatform::CreateDib32(nullptr, nWidth, nHeight, &pvBits);
    if (hBitmap == nullptr || pvBits == nullptr) {
        if (hBitmap != nullptr)
            ::DeleteObject(hBitmap);
        return nullptr;
    }

    bool bHasAlpha = false;
    const stbi_uc* pSource = decoded.pPixels;
    auto* pDest = static_cast<DWORD*>(pvBits);
    for (unsigned long long i = 0; i < nPixels; ++i, pSource += 4) {
        const DWORD dwAlpha = pSource[3];
        DWORD dwRed = pSource[0];
        DWORD dwGreen = pSource[1];
        DWORD dwBlue = pSource[2];
        if (dwAlpha != 255) {
            dwRed = dwRed * dwAlpha / 255;
            dwGreen = dwGreen * dwAlpha / 255;
            dwBlue = dwBlue * dwAlpha / 255;
            bHasAlpha = true;
        }
        DWORD dwPixel = (dwAlpha << 24) | (dwRed << 16) | (dwGreen << 8) | dwBlue;
        if (dwPixel == dwMask) {
            dwPixel = 0;
            bHasAlpha = true;
        }
        pDest[i] = dwPixel;
    }

    return NewImageRecord(hBitmap, nWidth, nHeight, bHasAlpha);
}

void CUIRender::FreeImage(ImageInfoUI* pImage)
{
    if (pImage == nullptr)
        return;
    if (pImage->bitmap != nullptr)
        ::DeleteObject(pImage->bitmap);
    delete pImage;
}

} // namespace SkinUI
