// CRC-32 of the zip format (the polynomial zlib uses), continued from a previous value (0 to start).
// Uses carry-less multiplication where the processor has it (several times zlib's table speed, which
// matters because every unpacked byte is summed), zlib's crc32 otherwise and for short tails.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZipInternal {

std::uint32_t ZipCrc32(std::uint32_t nCrc, const unsigned char* p, std::size_t nLength);

// True when the processor's carry-less multiplication is used.
bool ZipCrcUsesCarrylessMultiply();

} // namespace ZipInternal
