// CUIRender image loading: finds an image's bytes (a resource of the resource module, the resource archive
// or folder, or a plain file), decodes them to 8-bit RGBA and converts them to a premultiplied top-down
// 32-bit DIB section ready for alpha blending.
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIPlatformText.h"
#include "SkinUI/Core/UIRender.h"
#include "SkinUI/Core/UIRenderPlatform.h"

#include <cstring>
#include <memory>
#include <new>

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

} // namespace

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

    auto pImage = std::unique_ptr<ImageInfoUI>(new (std::nothrow) ImageInfoUI);
    if (pImage == nullptr) {
        ::DeleteObject(hBitmap);
        return nullptr;
    }
    pImage->bitmap = hBitmap;
    pImage->width = nWidth;
    pImage->height = nHeight;
    pImage->hasAlpha = bHasAlpha;
    return pImage.release(); // owned by the caller (the paint manager's image table)
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
