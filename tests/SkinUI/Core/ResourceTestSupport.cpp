#include "ResourceTestSupport.h"

#include "SkinUI/Core/UIManager.h"

#include <zlib.h>

namespace SkinUITest {

namespace {

void AppendBig32(std::string& s, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void AppendChunk(std::string& png, const char* pstrType, const std::string& strData)
{
    AppendBig32(png, static_cast<std::uint32_t>(strData.size()));
    const std::string strBody = std::string(pstrType, 4) + strData;
    png += strBody;
    AppendBig32(png, static_cast<std::uint32_t>(
                         crc32(0, reinterpret_cast<const Bytef*>(strBody.data()), static_cast<uInt>(strBody.size()))));
}

std::string Png(std::uint32_t nWidth, std::uint32_t nHeight, bool bAlpha, const std::string& strRaw)
{
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    AppendBig32(ihdr, nWidth);
    AppendBig32(ihdr, nHeight);
    ihdr += std::string("\x08", 1);                   // bit depth
    ihdr += std::string(bAlpha ? "\x06" : "\x02", 1); // colour type
    ihdr += std::string("\x00\x00\x00", 3);           // compression, filter, interlace
    AppendChunk(png, "IHDR", ihdr);
    uLongf nPacked = compressBound(static_cast<uLong>(strRaw.size()));
    std::string strPacked(nPacked, '\0');
    compress(reinterpret_cast<Bytef*>(&strPacked[0]), &nPacked, reinterpret_cast<const Bytef*>(strRaw.data()),
             static_cast<uLong>(strRaw.size()));
    strPacked.resize(nPacked);
    AppendChunk(png, "IDAT", strPacked);
    AppendChunk(png, "IEND", std::string());
    return png;
}

} // namespace

std::string MakePng(int nWidth, int nHeight, const std::vector<Rgba>& aPixels, bool bAlpha)
{
    std::string strRaw;
    for (int y = 0; y < nHeight; ++y) {
        strRaw.push_back('\0'); // filter: none
        for (int x = 0; x < nWidth; ++x) {
            const Rgba& px = aPixels[static_cast<std::size_t>(y * nWidth + x)];
            strRaw.push_back(static_cast<char>(px.r));
            strRaw.push_back(static_cast<char>(px.g));
            strRaw.push_back(static_cast<char>(px.b));
            if (bAlpha)
                strRaw.push_back(static_cast<char>(px.a));
        }
    }
    return Png(static_cast<std::uint32_t>(nWidth), static_cast<std::uint32_t>(nHeight), bAlpha, strRaw);
}

std::string MakePngClaimingSize(std::uint32_t nWidth, std::uint32_t nHeight)
{
    return Png(nWidth, nHeight, true, std::string(64, '\0'));
}

CResourceLocationGuard::CResourceLocationGuard()
{
    SkinUI::CPaintManagerUI::SetResourceArchiveFile("", false);
    SkinUI::CPaintManagerUI::SetResourceFolder("");
}

CResourceLocationGuard::~CResourceLocationGuard()
{
    SkinUI::CPaintManagerUI::SetResourceArchiveFile("", false);
    SkinUI::CPaintManagerUI::SetResourceFolder("");
}

} // namespace SkinUITest
