#include "app/Sha256.h"

#include <algorithm>
#include <cstring>

namespace Veltara {

namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline std::uint32_t Rotr(std::uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

int HexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

} // namespace

CSha256::CSha256()
    : m_aState{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

void CSha256::Compress(const std::uint8_t* pBlock)
{
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        w[i] = (std::uint32_t(pBlock[4 * i]) << 24) | (std::uint32_t(pBlock[4 * i + 1]) << 16) |
               (std::uint32_t(pBlock[4 * i + 2]) << 8) | std::uint32_t(pBlock[4 * i + 3]);
    }
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = m_aState[0], b = m_aState[1], c = m_aState[2], d = m_aState[3];
    std::uint32_t e = m_aState[4], f = m_aState[5], g = m_aState[6], h = m_aState[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    m_aState[0] += a;
    m_aState[1] += b;
    m_aState[2] += c;
    m_aState[3] += d;
    m_aState[4] += e;
    m_aState[5] += f;
    m_aState[6] += g;
    m_aState[7] += h;
}

void CSha256::Update(const void* pData, std::size_t nLength)
{
    const auto* p = static_cast<const std::uint8_t*>(pData);
    m_nTotalBytes += nLength;
    if (m_nBlockUsed > 0) {
        const std::size_t nTake = std::min(nLength, m_aBlock.size() - m_nBlockUsed);
        std::memcpy(m_aBlock.data() + m_nBlockUsed, p, nTake);
        m_nBlockUsed += nTake;
        p += nTake;
        nLength -= nTake;
        if (m_nBlockUsed < m_aBlock.size())
            return;
        Compress(m_aBlock.data());
        m_nBlockUsed = 0;
    }
    for (; nLength >= 64; p += 64, nLength -= 64)
        Compress(p);
    if (nLength > 0) {
        std::memcpy(m_aBlock.data(), p, nLength);
        m_nBlockUsed = nLength;
    }
}

Sha256Digest CSha256::Finish()
{
    const std::uint64_t nBits = m_nTotalBytes * 8;
    std::uint8_t aPad[72] = {0x80};
    // Pad to 56 bytes past a block boundary, then the length in bits, big-endian.
    const std::size_t nPad = (m_nBlockUsed < 56 ? 56 : 120) - m_nBlockUsed;
    for (int i = 0; i < 8; ++i)
        aPad[nPad + i] = static_cast<std::uint8_t>(nBits >> (56 - 8 * i));
    Update(aPad, nPad + 8);
    Sha256Digest digest;
    for (int i = 0; i < 8; ++i) {
        digest[4 * i] = static_cast<std::uint8_t>(m_aState[i] >> 24);
        digest[4 * i + 1] = static_cast<std::uint8_t>(m_aState[i] >> 16);
        digest[4 * i + 2] = static_cast<std::uint8_t>(m_aState[i] >> 8);
        digest[4 * i + 3] = static_cast<std::uint8_t>(m_aState[i]);
    }
    return digest;
}

Sha256Digest Sha256(const void* pData, std::size_t nLength)
{
    CSha256 hash;
    hash.Update(pData, nLength);
    return hash.Finish();
}

std::string DigestToHex(const Sha256Digest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string strHex;
    strHex.reserve(64);
    for (std::uint8_t b : digest) {
        strHex += kDigits[b >> 4];
        strHex += kDigits[b & 15];
    }
    return strHex;
}

bool DigestFromHex(const char* pstrHex, Sha256Digest& digest)
{
    if (pstrHex == nullptr || std::strlen(pstrHex) != 64)
        return false;
    for (int i = 0; i < 32; ++i) {
        const int hi = HexValue(pstrHex[2 * i]);
        const int lo = HexValue(pstrHex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        digest[i] = static_cast<std::uint8_t>((hi << 4) | lo);
    }
    return true;
}

std::string Sha256Hex(const void* pData, std::size_t nLength)
{
    return DigestToHex(Sha256(pData, nLength));
}

bool Sha256Matches(const void* pData, std::size_t nLength, const char* pstrExpected)
{
    Sha256Digest expected{};
    return DigestFromHex(pstrExpected, expected) && Sha256(pData, nLength) == expected;
}

} // namespace Veltara
