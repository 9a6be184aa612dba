#include "zip/ZipCrc.h"

#include <zlib.h>

namespace ZipInternal {

std::uint32_t ZipCrc32(std::uint32_t nCrc, const unsigned char* p, std::size_t nLength)
{
    return static_cast<std::uint32_t>(crc32_z(nCrc, p, nLength));
}

}  // namespace ZipInternal
