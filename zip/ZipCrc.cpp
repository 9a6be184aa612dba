#include "zip/ZipCrc.h"

#include <cpuid.h>
#include <emmintrin.h>
#include <smmintrin.h>
#include <wmmintrin.h>
#include <zlib.h>

namespace ZipInternal {

namespace {

// Carry-less multiplication folding (PCLMULQDQ) for the bit-reflected CRC-32 polynomial 0x104C11DB7:
// four 128-bit lanes are folded forward 64 bytes at a time, then into one lane, then reduced to 32 bits
// with Barrett reduction. The constants are x^k mod P for the fold distances, bit-reflected and shifted
// by one; the last pair is P itself and the Barrett constant floor(x^64 / P).
alignas(16) const unsigned long long kFold4[2] = {0x0154442BD4ULL, 0x01C6E41596ULL};  // 4 x 128 bits
alignas(16) const unsigned long long kFold1[2] = {0x01751997D0ULL, 0x00CCAA009EULL};  // 1 x 128 bits
alignas(16) const unsigned long long kFold64[2] = {0x0163CD6124ULL, 0x0000000000ULL}; // 64 to 32 bits
alignas(16) const unsigned long long kBarrett[2] = {0x01DB710641ULL, 0x01F7011641ULL};

// nLength is at least 64 and a multiple of 16; nCrc is the running value already inverted.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t FoldCrc(const unsigned char* p, std::size_t nLength,
                                                               std::uint32_t nCrc)
{
    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x00));
    __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x10));
    __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x20));
    __m128i x4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x30));
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(nCrc)));
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold4));
    p += 64;
    nLength -= 64;

    while (nLength >= 64) {
        const __m128i x5 = _mm_clmulepi64_si128(x1, k, 0x00);
        const __m128i x6 = _mm_clmulepi64_si128(x2, k, 0x00);
        const __m128i x7 = _mm_clmulepi64_si128(x3, k, 0x00);
        const __m128i x8 = _mm_clmulepi64_si128(x4, k, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k, 0x11);
        x2 = _mm_clmulepi64_si128(x2, k, 0x11);
        x3 = _mm_clmulepi64_si128(x3, k, 0x11);
        x4 = _mm_clmulepi64_si128(x4, k, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x00)));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x10)));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x20)));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 0x30)));
        p += 64;
        nLength -= 64;
    }

    // Four lanes into one.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold1));
    __m128i x5 = _mm_clmulepi64_si128(x1, k, 0x00);
    x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, k, 0x11), x2), x5);
    x5 = _mm_clmulepi64_si128(x1, k, 0x00);
    x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, k, 0x11), x3), x5);
    x5 = _mm_clmulepi64_si128(x1, k, 0x00);
    x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, k, 0x11), x4), x5);

    while (nLength >= 16) {
        x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        x5 = _mm_clmulepi64_si128(x1, k, 0x00);
        x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, k, 0x11), x2), x5);
        p += 16;
        nLength -= 16;
    }

    // 128 bits to 64, then to 32 by Barrett reduction.
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    const __m128i mask = _mm_setr_epi32(~0, 0, ~0, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFold64));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask), k, 0x00), x2);
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    x2 = _mm_and_si128(x1, mask);
    x2 = _mm_clmulepi64_si128(x2, k, 0x10);
    x2 = _mm_and_si128(x2, mask);
    x2 = _mm_clmulepi64_si128(x2, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HasCarrylessMultiply()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    return (c & bit_PCLMUL) && (c & bit_SSE4_1) && (d & bit_SSE2);
}

const bool g_bFold = HasCarrylessMultiply();

} // namespace

std::uint32_t ZipCrc32(std::uint32_t nCrc, const unsigned char* p, std::size_t nLength)
{
    if (g_bFold && nLength >= 64) {
        const std::size_t nFolded = nLength & ~static_cast<std::size_t>(15);
        nCrc = ~FoldCrc(p, nFolded, ~nCrc);
        p += nFolded;
        nLength -= nFolded;
        if (nLength == 0)
            return nCrc;
    }
    return static_cast<std::uint32_t>(crc32_z(nCrc, p, nLength));
}

bool ZipCrcUsesCarrylessMultiply()
{
    return g_bFold;
}

} // namespace ZipInternal
