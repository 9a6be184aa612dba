// SHA-256 of a byte buffer, used to check the downloaded package against the hash fixed at build time.
// A self-contained implementation: the installer may not load a hashing DLL from an untrusted folder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Veltara {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Incremental hashing: Update any number of times, then Finish once.
class CSha256
{
public:
    CSha256();
    void Update(const void* pData, std::size_t nLength);
    Sha256Digest Finish();

private:
    void Compress(const std::uint8_t* pBlock);

    std::array<std::uint32_t, 8> m_aState;
    std::array<std::uint8_t, 64> m_aBlock{};
    std::size_t m_nBlockUsed = 0;
    std::uint64_t m_nTotalBytes = 0;
};

Sha256Digest Sha256(const void* pData, std::size_t nLength);
// 64 lower-case hexadecimal digits.
std::string Sha256Hex(const void* pData, std::size_t nLength);
std::string DigestToHex(const Sha256Digest& digest);
// Reads 64 hexadecimal digits (either case); false for anything else.
bool DigestFromHex(const char* pstrHex, Sha256Digest& digest);

// True when pstrExpected is 64 hexadecimal digits (either case) equal to the hash of the buffer.
bool Sha256Matches(const void* pData, std::size_t nLength, const char* pstrExpected);

} // namespace Veltara
