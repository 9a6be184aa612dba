// CRC-32 of the zip format (the polynomial zlib uses), continued from a previous value (0 to start).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZipInternal {

std::uint32_t ZipCrc32(std::uint32_t nCrc, const unsigned char* p, std::size_t nLength);

}  // namespace ZipInternal
