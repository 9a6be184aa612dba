// The reader's CRC-32 gives zlib's value for every length, alignment and split of the input, also when
// called on a stack that is aligned to 4 bytes only.
#include "zip/ZipCrc.h"
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

using ZipInternal::ZipCrc32;

namespace {

std::uint32_t ZlibCrc(std::uint32_t nCrc, const unsigned char* p, std::size_t n)
{
    return static_cast<std::uint32_t>(crc32_z(nCrc, p, n));
}

// Calls pfnWork(pv) with the stack 4-byte but not 16-byte aligned at its entry, as 32-bit Windows starts
// threads and calls window procedures (Wine aligns to 16, which hides the fault). The 64-bit ABI always
// aligns to 16, so there the call is a plain one.
void CallOnMisalignedStack(void (*pfnWork)(void*), void* pv)
{
#if defined(__i386__)
    // Entry normally sees esp = 12 (mod 16); here it sees 4.
    asm volatile("mov %%esp, %%esi\n\t"
                 "and $-16, %%esp\n\t"
                 "sub $4, %%esp\n\t"
                 "push %[arg]\n\t"
                 "call *%[fn]\n\t"
                 "mov %%esi, %%esp\n\t"
                 :
                 : [fn] "r"(pfnWork), [arg] "r"(pv)
                 : "esi", "eax", "ecx", "edx", "memory", "cc");
#else
    pfnWork(pv);
#endif
}

struct SAlignmentWork
{
    std::string strData;
    std::string strArchive;
    std::uint32_t nCrc = 0;
    bool bUnpacked = false;
};

void CrcAndUnpack(void* pv)
{
    auto& work = *static_cast<SAlignmentWork*>(pv);
    work.nCrc = ZipCrc32(0, reinterpret_cast<const unsigned char*>(work.strData.data()), work.strData.size());
    ZipHandle hZip = ZipOpen(work.strArchive.data(), static_cast<DWORD>(work.strArchive.size()), ZipKindMemory);
    if (!hZip)
        return;
    std::string strOut(work.strData.size(), '\0');
    const DWORD nSize = static_cast<DWORD>(strOut.size());
    work.bUnpacked = ZipUnzipItem(hZip, 0, &strOut[0], nSize, ZipKindMemory) == ZipMoreData &&
                     ZipUnzipItem(hZip, 0, &strOut[0], nSize, ZipKindMemory) == ZipOk && strOut == work.strData;
    ZipClose(hZip);
}

} // namespace

TEST(ZipCrc, WorksOnAFourByteAlignedStack)
{
    SAlignmentWork work;
    work.strData = ZipTest::MakeContent(100000, 79, true);
    std::vector<ZipTest::SItemSpec> items(1);
    items[0].strName = "item";
    items[0].strData = work.strData;
    work.strArchive = ZipTest::BuildArchive(items);
    CallOnMisalignedStack(&CrcAndUnpack, &work);
    EXPECT_EQ(work.nCrc, ZlibCrc(0, reinterpret_cast<const unsigned char*>(work.strData.data()), work.strData.size()));
    EXPECT_TRUE(work.bUnpacked);
}

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
