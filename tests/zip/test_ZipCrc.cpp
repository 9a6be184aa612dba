// The reader's CRC-32 gives zlib's value for every length, alignment and split of the input.
#include "zip/ZipCrc.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

using ZipInternal::ZipCrc32;

namespace {

std::uint32_t ZlibCrc(std::uint32_t nCrc, const unsigned char* p, std::size_t n)
{
    return static_cast<std::uint32_t>(crc32_z(nCrc, p, n));
}

} // namespace

TEST(ZipCrc, MatchesZlibForEveryLengthAndAlignment)
{
    const std::string data = ZipTest::MakeContent(70000, 77, false);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t nAlign = 0; nAlign < 16; ++nAlign) {
        for (std::size_t n = 0; n <= 700; ++n)
            ASSERT_EQ(ZipCrc32(0, p + nAlign, n), ZlibCrc(0, p + nAlign, n)) << n << " at " << nAlign;
    }
    for (std::size_t n : {4095u, 4096u, 16384u, 65536u, 69983u})
        EXPECT_EQ(ZipCrc32(0, p + 3, n), ZlibCrc(0, p + 3, n)) << n;
    EXPECT_EQ(ZipCrc32(0, reinterpret_cast<const unsigned char*>("123456789"), 9), 0xCBF43926u);
}

TEST(ZipCrc, ContinuesFromAPreviousValue)
{
    const std::string data = ZipTest::MakeContent(20000, 78, true);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const std::uint32_t nWhole = ZlibCrc(0, p, data.size());
    for (std::size_t nSplit : {0u, 1u, 63u, 64u, 65u, 1000u, 9999u, 19990u}) {
        const std::uint32_t nFirst = ZipCrc32(0, p, nSplit);
        EXPECT_EQ(ZipCrc32(nFirst, p + nSplit, data.size() - nSplit), nWhole) << nSplit;
    }
    // A mismatch is seen: one changed bit anywhere changes the sum.
    std::string changed = data;
    changed[12345] = static_cast<char>(changed[12345] ^ 0x10);
    EXPECT_NE(ZipCrc32(0, reinterpret_cast<const unsigned char*>(changed.data()), changed.size()), nWhole);
}
