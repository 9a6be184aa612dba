// Zip64 archives: made in the test (every zip64 record and block, and forgeries of each field), made by
// independent tools (more than 65,535 items; an item of more than 4 GiB; made at build time by
// make_zip64_archives.py), and an archive of more than 4 GiB written sparsely at test time. Also the 64-bit
// sizes and totals, and unpacking to a handle with progress and a stop.
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

using namespace ZipTest;

namespace {

std::vector<SItemSpec> Zip64Items()
{
    std::vector<SItemSpec> items(4);
    items[0].strName = "bin/data.bin";
    items[0].strData = MakeContent(70000, 1, true);
    items[1].strName = "stored.txt";
    items[1].strData = MakeContent(5000, 2, false);
    items[1].nMethod = 0;
    items[2].strName = "bin/";
    items[2].nMethod = 0;
    items[2].nExternal = 0x41ED0010;
    items[3].strName = "classic-among-zip64.txt";
    items[3].strData = "a record without zip64 fields";
    for (std::size_t i = 0; i < 3; ++i)
        items[i].bZip64 = true;
    return items;
}

// Unpacks every item of an archive to memory and compares it with the items it was made from.
void ExpectItems(ZipHandle hZip, const std::vector<SItemSpec>& items)
{
    ZipItemInfo info;
    ASSERT_EQ(ZipGetItem(hZip, -1, &info), ZipOk);
    ASSERT_EQ(info.iIndex, static_cast<int>(items.size()));
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        ASSERT_EQ(ZipGetItem(hZip, i, &info), ZipOk) << i;
        EXPECT_EQ(info.szName, items[i].strName);
        EXPECT_EQ(info.nUncompressedSize, static_cast<std::int32_t>(items[i].strData.size()));
        std::string strData(items[i].strData.size() + 1, '\0');
        ZipResult r = ZipUnzipItem(hZip, i, &strData[0], static_cast<DWORD>(strData.size()), ZipKindMemory);
        if (r == ZipMoreData)
            r = ZipUnzipItem(hZip, i, &strData[0], static_cast<DWORD>(strData.size()), ZipKindMemory);
        EXPECT_EQ(r, ZipOk) << i;
        EXPECT_EQ(strData.substr(0, items[i].strData.size()), items[i].strData) << i;
    }
}

} // namespace

TEST(ZipZip64, RecordsAndBlocksReadLikeTheClassicOnes)
{
    const std::vector<SItemSpec> items = Zip64Items();
    CScratchFolder scratch("zip64");
    const struct
    {
        const char* pstrWhat;
        std::string strPrefix;
        bool bZip64End;
    } aCases[] = {
        {"zip64 blocks, classic end record", "", false},
        {"zip64 blocks and end records", "", true},
        {"zip64 end records after unrelated bytes", std::string(3000, '\x90'), true},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pstrWhat);
        const std::string archive = BuildArchive(items, "comment", c.strPrefix, nullptr, c.bZip64End);
        const std::string strPath = scratch / "zip64.zip";
        ASSERT_TRUE(WriteWholeFile(strPath, archive));
        const std::wstring strWidePath = scratch.WidePath() + L"\\zip64.zip";
        HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
        ZipHandle aHandles[] = {ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), ZipKindMemory),
                                ZipOpen(strWidePath.c_str(), 0, ZipKindFileW), ZipOpen(hFile, 0, ZipKindHandle)};
        ::CloseHandle(hFile);
        for (ZipHandle h : aHandles) {
            ASSERT_NE(h, nullptr);
            CZip zip(h);
            ExpectItems(h, items);
        }
    }
}

TEST(ZipZip64, SizesAndTotals)
{
    const std::vector<SItemSpec> items = Zip64Items();
    CMemoryZip zip(BuildArchive(items, "", "", nullptr, true));
    ASSERT_NE(zip.hZip, nullptr);
    std::uint64_t nTotalCompressed = 0, nTotalUncompressed = 0;
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        std::uint64_t nCompressed = 0, nUncompressed = 0;
        ASSERT_EQ(ZipGetItemSizes(zip.hZip, i, &nCompressed, &nUncompressed), ZipOk);
        EXPECT_EQ(nUncompressed, items[i].strData.size());
        EXPECT_EQ(nCompressed, items[i].nMethod == 8 ? Deflate(items[i].strData).size() : items[i].strData.size());
        nTotalCompressed += nCompressed;
        nTotalUncompressed += nUncompressed;
    }
    std::uint64_t nCompressed = 0, nUncompressed = 0;
    ASSERT_EQ(ZipGetItemSizes(zip.hZip, -1, &nCompressed, &nUncompressed), ZipOk);
    EXPECT_EQ(nCompressed, nTotalCompressed);
    EXPECT_EQ(nUncompressed, nTotalUncompressed);
    EXPECT_EQ(ZipGetItemSizes(zip.hZip, -1, nullptr, nullptr), ZipOk);
    EXPECT_EQ(ZipGetItemSizes(zip.hZip, 4, &nCompressed, &nUncompressed), ZipBadArgs);
    EXPECT_EQ(ZipGetItemSizes(zip.hZip, -2, &nCompressed, &nUncompressed), ZipBadArgs);
    EXPECT_EQ(ZipGetItemSizes(nullptr, 0, &nCompressed, &nUncompressed), ZipBadArgs);
}

// Every forged zip64 field is refused as corrupt, when the archive is opened (records that the directory
// walk reads) or when the item is used (its local header).
TEST(ZipZip64, ForgedFieldsAreRefusedAsCorrupt)
{
    SLayout layout;
    const std::vector<SItemSpec> items = Zip64Items();
    const std::string archive = BuildArchive(items, "", "", &layout, true);
    const std::size_t nEnd64 = layout.nZip64End, nLocator = layout.nZip64Locator, nEnd = layout.nEnd;
    // The zip64 blocks come first in each extra field: values at +4 (uncompressed), +12, +20 (offset).
    const std::size_t nCentral0 = layout.aCentral[0] + 46 + items[0].strName.size();
    const std::size_t nLocal0 = layout.aLocal[0] + 30 + items[0].strName.size();
    const std::uint64_t nSize = archive.size();
    const std::uint64_t kHuge = 0x7FFFFFFFFFFFFFF0ULL;
    enum EWhere { Open, Item };
    const struct
    {
        const char* pstrWhat;
        std::size_t nAt;
        int nWidth;
        std::uint64_t nValue;
        EWhere eWhere;
    } aForged[] = {
        {"locator: offset one later", nLocator + 8, 8, nEnd64 + 1, Open},
        {"locator: offset one earlier", nLocator + 8, 8, nEnd64 - 1, Open},
        {"locator: offset beyond the file", nLocator + 8, 8, nSize + 100, Open},
        {"locator: huge offset", nLocator + 8, 8, kHuge, Open},
        {"locator: offset 0", nLocator + 8, 8, 0, Open},
        {"locator: record on disk 1", nLocator + 4, 4, 1, Open},
        {"locator: 2 disks", nLocator + 16, 4, 2, Open},
        {"zip64 end: signature", nEnd64, 4, 0x06064B51, Open},
        {"zip64 end: record size", nEnd64 + 4, 8, 45, Open},
        {"zip64 end: huge record size", nEnd64 + 4, 8, kHuge, Open},
        {"zip64 end: disk 1", nEnd64 + 16, 4, 1, Open},
        {"zip64 end: directory on disk 1", nEnd64 + 20, 4, 1, Open},
        {"zip64 end: items here differ", nEnd64 + 24, 8, 3, Open},
        {"zip64 end: item count that cannot fit the directory", nEnd64 + 24, 16, 1000000, Open},
        {"zip64 end: item count beyond 32 bits", nEnd64 + 24, 16, 0x100000004ULL, Open},
        {"zip64 end: item count one short", nEnd64 + 24, 16, 3, Open},
        {"zip64 end: item count one over", nEnd64 + 24, 16, 5, Open},
        {"zip64 end: directory size one more", nEnd64 + 40, 8, nEnd64 - layout.aCentral[0] + 1, Open},
        {"zip64 end: directory size one less", nEnd64 + 40, 8, nEnd64 - layout.aCentral[0] - 1, Open},
        {"zip64 end: huge directory size", nEnd64 + 40, 8, kHuge, Open},
        {"zip64 end: directory offset beyond the file", nEnd64 + 48, 8, nSize + 100, Open},
        {"zip64 end: huge directory offset", nEnd64 + 48, 8, kHuge, Open},
        {"zip64 end: directory offset one later", nEnd64 + 48, 8, layout.aCentral[0] + 1, Open},
        {"end record: item count disagrees", nEnd + 10, 2, 5, Open},
        {"end record: directory size disagrees", nEnd + 12, 4, 12345, Open},
        {"end record: directory offset disagrees", nEnd + 16, 4, 1, Open},
        {"end record: disk 1", nEnd + 4, 2, 1, Open},
        {"directory: zip64 block missing", nCentral0, 2, 0x9999, Open},
        {"directory: zip64 block too short", nCentral0 + 2, 2, 16, Open},
        {"directory: compressed size beyond the file", nCentral0 + 12, 8, nSize + 1, Open},
        {"directory: huge compressed size", nCentral0 + 12, 8, kHuge, Open},
        {"directory: local header beyond the file", nCentral0 + 20, 8, nSize + 1, Open},
        {"directory: huge local header offset", nCentral0 + 20, 8, 0xFFFFFFFFFFFFFFFFULL, Open},
        {"directory: local header offset inside the directory", nCentral0 + 20, 8, layout.aCentral[1], Open},
        {"directory: uncompressed size differs from the local one", nCentral0 + 4, 8, 70001, Item},
        {"directory: local header offset one later", nCentral0 + 20, 8, 1, Item},
        {"local header: zip64 block missing", nLocal0, 2, 0x9999, Item},
        {"local header: zip64 block too short", nLocal0 + 2, 2, 8, Item},
        {"local header: uncompressed size differs", nLocal0 + 4, 8, 69999, Item},
        {"local header: compressed size differs", nLocal0 + 12, 8, kHuge, Item},
    };
    for (const auto& f : aForged) {
        SCOPED_TRACE(f.pstrWhat);
        std::string forged = archive;
        if (f.nWidth == 2)
            Put16(forged, f.nAt, static_cast<std::uint16_t>(f.nValue));
        else if (f.nWidth == 4)
            Put32(forged, f.nAt, static_cast<std::uint32_t>(f.nValue));
        else if (f.nWidth == 8)
            Put64(forged, f.nAt, f.nValue);
        else { // both item counts
            Put64(forged, f.nAt, f.nValue);
            Put64(forged, f.nAt + 8, f.nValue);
        }
        CMemoryZip zip(forged);
        if (f.eWhere == Open) {
            EXPECT_EQ(zip.hZip, nullptr);
            EXPECT_EQ(RecentText(), "Zipfile is corrupt or not a zipfile");
            continue;
        }
        ASSERT_NE(zip.hZip, nullptr);
        ZipItemInfo info;
        char aBlock[100];
        EXPECT_EQ(ZipGetItem(zip.hZip, 0, &info), ZipCorrupt);
        EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, aBlock, sizeof(aBlock), ZipKindMemory), ZipCorrupt);
        HANDLE hNul = ::CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, hNul, 0, ZipKindHandle), ZipCorrupt);
        ::CloseHandle(hNul);
        // The other items are untouched.
        EXPECT_EQ(ZipGetItem(zip.hZip, 1, &info), ZipOk);
    }
}

namespace {

struct SZip64Manifest
{
    bool bRead = false;
    std::string strManyFile;
    int nMany = 0;
    std::string strLargeFile, strLargeName;
    std::uint64_t nLargeSize = 0;
    std::uint32_t nLargeCrc = 0;
    std::uint64_t nZerosSize = 0;
    std::uint32_t nZerosCrc = 0;
    std::vector<std::string> aMissing;
};

const SZip64Manifest& Zip64Manifest()
{
    static SZip64Manifest manifest;
    if (manifest.bRead)
        return manifest;
    bool bOk = false;
    std::istringstream in(ReadWholeFile(std::string(ZIP64_DIR) + "/manifest.txt", &bOk));
    manifest.bRead = bOk;
    for (std::string strLine; std::getline(in, strLine);) {
        std::istringstream line(strLine);
        std::string strKind, strTool, strCrc;
        line >> strKind;
        if (strKind == "many") {
            line >> manifest.strManyFile >> strTool >> manifest.nMany;
        } else if (strKind == "large") {
            line >> manifest.strLargeFile >> strTool >> manifest.strLargeName >> manifest.nLargeSize >> strCrc;
            manifest.nLargeCrc = static_cast<std::uint32_t>(std::stoul(strCrc, nullptr, 16));
        } else if (strKind == "zeros") {
            line >> manifest.nZerosSize >> strCrc;
            manifest.nZerosCrc = static_cast<std::uint32_t>(std::stoul(strCrc, nullptr, 16));
        } else if (strKind == "missing") {
            std::string strPackage;
            line >> strTool >> strPackage;
            manifest.aMissing.push_back(strTool + " (Debian package " + strPackage + ")");
        }
    }
    return manifest;
}

std::string ManyItemData(int i)
{
    char sz[32];
    std::snprintf(sz, sizeof(sz), "item %d\r\n", i);
    std::string s;
    for (int n = 0; n < i % 7 + 1; ++n)
        s += sz;
    return s;
}

std::string ManyItemName(int i)
{
    char sz[32];
    std::snprintf(sz, sizeof(sz), "many/%05d.txt", i);
    return sz;
}

// Progress of one unpacking: every call, and a stop after a given number of bytes.
struct SProgress
{
    std::uint64_t nStopAfter = UINT64_MAX;
    std::uint64_t nLast = 0;
    std::uint64_t nTotal = 0;
    int nCalls = 0;
    bool bMonotonic = true;

    static bool Report(void* pContext, std::uint64_t nWritten, std::uint64_t nTotal)
    {
        SProgress& p = *static_cast<SProgress*>(pContext);
        p.bMonotonic = p.bMonotonic && nWritten > p.nLast && nWritten <= nTotal;
        p.nLast = nWritten;
        p.nTotal = nTotal;
        ++p.nCalls;
        return nWritten < p.nStopAfter;
    }
};

HANDLE OpenNul()
{
    return ::CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

TEST(ZipZip64, MoreThan65535ItemsFromPython)
{
    const SZip64Manifest& manifest = Zip64Manifest();
    ASSERT_TRUE(manifest.bRead) << "no manifest in " << ZIP64_DIR;
    ASSERT_GT(manifest.nMany, 65535);
    const std::string strPath = std::string(ZIP64_DIR) + "/" + manifest.strManyFile;
    bool bRead = false;
    const std::string archive = ReadWholeFile(strPath, &bRead);
    ASSERT_TRUE(bRead);
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    CZip fromHandle(ZipOpen(hFile, 0, ZipKindHandle));
    ::CloseHandle(hFile);
    CMemoryZip fromMemory(archive);
    for (ZipHandle h : {fromMemory.hZip, fromHandle.hZip}) {
        ASSERT_NE(h, nullptr);
        ZipItemInfo info;
        ASSERT_EQ(ZipGetItem(h, -1, &info), ZipOk);
        ASSERT_EQ(info.iIndex, manifest.nMany);
        std::uint64_t nTotal = 0, nExpectedTotal = 0;
        ASSERT_EQ(ZipGetItemSizes(h, -1, nullptr, &nTotal), ZipOk);
        int nBad = 0;
        char aBlock[128];
        for (int i = 0; i < manifest.nMany && nBad < 10; ++i) {
            const std::string strData = ManyItemData(i);
            nExpectedTotal += strData.size();
            if (ZipGetItem(h, i, &info) != ZipOk || info.szName != ManyItemName(i) ||
                info.nUncompressedSize != static_cast<std::int32_t>(strData.size()) ||
                ZipUnzipItem(h, i, aBlock, sizeof(aBlock), ZipKindMemory) != ZipMoreData ||
                std::string(aBlock, strData.size()) != strData ||
                ZipUnzipItem(h, i, aBlock, sizeof(aBlock), ZipKindMemory) != ZipOk) {
                ADD_FAILURE() << "item " << i;
                ++nBad;
            }
        }
        EXPECT_EQ(nTotal, nExpectedTotal);
        // Items far beyond 65,535 are found by name and unpack to files.
        CScratchFolder scratch("many");
        CCurrentFolder cwd(scratch.Path());
        CZip zip(h == fromMemory.hZip ? ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), ZipKindMemory)
                                      : ZipOpen(strPath.c_str(), 0, ZipKindFile));
        ASSERT_NE(zip.hZip, nullptr);
        for (int i : {0, 65534, 65535, 65536, manifest.nMany - 1}) {
            int iFound = -1;
            ASSERT_EQ(ZipFindItem(zip.hZip, ManyItemName(i).c_str(), false, &iFound, &info), ZipOk) << i;
            EXPECT_EQ(iFound, i);
            EXPECT_EQ(ZipUnzipItem(zip.hZip, i, info.szName, 0, ZipKindFile), ZipOk);
            EXPECT_EQ(ReadWholeFile(scratch / ("many\\" + ManyItemName(i).substr(5))), ManyItemData(i));
        }
    }
}

TEST(ZipZip64, ItemOfMoreThan4GiBFromBsdtar)
{
    const SZip64Manifest& manifest = Zip64Manifest();
    ASSERT_TRUE(manifest.bRead) << "no manifest in " << ZIP64_DIR;
    for (const std::string& strMissing : manifest.aMissing)
        ADD_FAILURE() << "tool not installed: " << strMissing;
    ASSERT_GT(manifest.nLargeSize, 0xFFFFFFFFULL);
    const std::string strPath = std::string(ZIP64_DIR) + "/" + manifest.strLargeFile;
    CZip zip(ZipOpen(strPath.c_str(), 0, ZipKindFile));
    ASSERT_NE(zip.hZip, nullptr);
    int iLarge = -1;
    ZipItemInfo info;
    ASSERT_EQ(ZipFindItem(zip.hZip, manifest.strLargeName.c_str(), false, &iLarge, &info), ZipOk);
    EXPECT_EQ(info.nUncompressedSize, INT32_MAX); // too large for the record's field
    std::uint64_t nCompressed = 0, nUncompressed = 0;
    ASSERT_EQ(ZipGetItemSizes(zip.hZip, iLarge, &nCompressed, &nUncompressed), ZipOk);
    EXPECT_EQ(nUncompressed, manifest.nLargeSize);
    EXPECT_EQ(static_cast<std::uint64_t>(info.nCompressedSize), nCompressed);

    // Every byte, to a handle, with progress; the reader's own CRC-32 check against the directory holds.
    SProgress progress;
    std::uint64_t nWritten = 0;
    HANDLE hNul = OpenNul();
    ASSERT_NE(hNul, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ZipUnzipItemEx(zip.hZip, iLarge, hNul, ZipKindHandle, &SProgress::Report, &progress, &nWritten), ZipOk);
    EXPECT_EQ(nWritten, manifest.nLargeSize);
    EXPECT_EQ(progress.nLast, manifest.nLargeSize);
    EXPECT_EQ(progress.nTotal, manifest.nLargeSize);
    EXPECT_TRUE(progress.bMonotonic);
    EXPECT_GE(progress.nCalls, static_cast<int>(manifest.nLargeSize / 16384));

    // A stop in the middle of the item ends the call at once.
    SProgress stop;
    stop.nStopAfter = 64ULL << 20;
    EXPECT_EQ(ZipUnzipItemEx(zip.hZip, iLarge, hNul, ZipKindHandle, &SProgress::Report, &stop, &nWritten),
              ZipCancelled);
    EXPECT_EQ(nWritten, stop.nStopAfter);
    EXPECT_EQ(RecentText(), "Caller: unpacking was cancelled");
    ::CloseHandle(hNul);

    // The item after it.
    int iSmall = -1;
    ASSERT_EQ(ZipFindItem(zip.hZip, "small.txt", false, &iSmall, &info), ZipOk);
    std::string strSmall(1000, '\0');
    EXPECT_EQ(ZipUnzipItem(zip.hZip, iSmall, &strSmall[0], 1000, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(strSmall.substr(0, 22), "after the large item\r\n");
}

namespace {

// Writes an archive of more than 4 GiB: a stored item of nZeros zero bytes (a hole in a sparse file), then
// a small deflated item whose local header lies beyond 4 GiB, the directory (beyond 4 GiB too) and the
// zip64 end records. Item 0's directory block holds its sizes, item 1's only its offset.
bool WriteLargeArchive(const std::string& strPath, std::uint64_t nZeros, std::uint32_t nZerosCrc,
                       const std::string& strSmall)
{
    const std::string strBig = "big.bin", strAfter = "after.txt";
    std::string head;
    Append32(head, 0x04034B50);
    Append16(head, 45);
    Append16(head, 0);
    Append16(head, 0);
    Append32(head, 0x52CF6456);
    Append32(head, nZerosCrc);
    Append32(head, 0xFFFFFFFF);
    Append32(head, 0xFFFFFFFF);
    Append16(head, static_cast<std::uint16_t>(strBig.size()));
    Append16(head, 20);
    head += strBig;
    Append16(head, 1);
    Append16(head, 16);
    Append64(head, nZeros);
    Append64(head, nZeros);

    const std::uint64_t nSecond = head.size() + nZeros;
    const std::string packed = Deflate(strSmall);
    std::string tail;
    Append32(tail, 0x04034B50);
    Append16(tail, 20);
    Append16(tail, 0);
    Append16(tail, 8);
    Append32(tail, 0x52CF6456);
    Append32(tail, Crc(strSmall));
    Append32(tail, static_cast<std::uint32_t>(packed.size()));
    Append32(tail, static_cast<std::uint32_t>(strSmall.size()));
    Append16(tail, static_cast<std::uint16_t>(strAfter.size()));
    Append16(tail, 0);
    tail += strAfter + packed;

    const std::uint64_t nDirOffset = nSecond + tail.size();
    std::string dir;
    for (int i = 0; i < 2; ++i) {
        const std::string& strName = i == 0 ? strBig : strAfter;
        Append32(dir, 0x02014B50);
        Append16(dir, 0x032D);
        Append16(dir, 45);
        Append16(dir, 0);
        Append16(dir, i == 0 ? 0 : 8);
        Append32(dir, 0x52CF6456);
        Append32(dir, i == 0 ? nZerosCrc : Crc(strSmall));
        Append32(dir, i == 0 ? 0xFFFFFFFF : static_cast<std::uint32_t>(packed.size()));
        Append32(dir, i == 0 ? 0xFFFFFFFF : static_cast<std::uint32_t>(strSmall.size()));
        Append16(dir, static_cast<std::uint16_t>(strName.size()));
        Append16(dir, i == 0 ? 20 : 12);
        Append16(dir, 0);
        Append16(dir, 0);
        Append16(dir, 0);
        Append32(dir, 0x81A40000);
        Append32(dir, i == 0 ? 0 : 0xFFFFFFFF);
        dir += strName;
        Append16(dir, 1);
        Append16(dir, i == 0 ? 16 : 8);
        if (i == 0) {
            Append64(dir, nZeros);
            Append64(dir, nZeros);
        } else {
            Append64(dir, nSecond);
        }
    }
    const std::uint64_t nEnd64 = nDirOffset + dir.size();
    Append32(dir, 0x06064B50);
    Append64(dir, 44);
    Append16(dir, 0x032D);
    Append16(dir, 45);
    Append32(dir, 0);
    Append32(dir, 0);
    Append64(dir, 2);
    Append64(dir, 2);
    Append64(dir, nEnd64 - nDirOffset);
    Append64(dir, nDirOffset);
    Append32(dir, 0x07064B50);
    Append32(dir, 0);
    Append64(dir, nEnd64);
    Append32(dir, 1);
    Append32(dir, 0x06054B50);
    Append16(dir, 0);
    Append16(dir, 0);
    Append16(dir, 2);
    Append16(dir, 2);
    Append32(dir, 0xFFFFFFFF);
    Append32(dir, 0xFFFFFFFF);
    Append16(dir, 0);

    HANDLE h = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD nDone = 0;
    ::DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &nDone, nullptr); // where the file system can
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(nSecond);
    const std::string rest = tail + dir;
    const bool bOk = ::WriteFile(h, head.data(), static_cast<DWORD>(head.size()), &nDone, nullptr) &&
                     ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
                     ::WriteFile(h, rest.data(), static_cast<DWORD>(rest.size()), &nDone, nullptr) &&
                     nDone == rest.size();
    ::CloseHandle(h);
    return bOk;
}

} // namespace

TEST(ZipZip64, ArchiveOfMoreThan4GiB)
{
    const SZip64Manifest& manifest = Zip64Manifest();
    ASSERT_TRUE(manifest.bRead) << "no manifest in " << ZIP64_DIR;
    ASSERT_GT(manifest.nZerosSize, 0xFFFFFFFFULL);
    CScratchFolder scratch("large");
    const std::string strArchive = scratch / "large.zip";
    const std::string strSmall = MakeContent(30000, 7, true);
    ASSERT_TRUE(WriteLargeArchive(strArchive, manifest.nZerosSize, manifest.nZerosCrc, strSmall));

    HANDLE hFile = ::CreateFileA(strArchive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    const std::wstring strWide = scratch.WidePath() + L"\\large.zip";
    ZipHandle aHandles[] = {ZipOpen(hFile, 0, ZipKindHandle), ZipOpen(strWide.c_str(), 0, ZipKindFileW)};
    ::CloseHandle(hFile);
    for (ZipHandle h : aHandles) {
        ASSERT_NE(h, nullptr);
        CZip zip(h);
        ZipItemInfo info;
        ASSERT_EQ(ZipGetItem(h, -1, &info), ZipOk);
        EXPECT_EQ(info.iIndex, 2);
        std::uint64_t nCompressed = 0, nUncompressed = 0;
        ASSERT_EQ(ZipGetItemSizes(h, -1, &nCompressed, &nUncompressed), ZipOk);
        EXPECT_EQ(nUncompressed, manifest.nZerosSize + strSmall.size());
        // The item beyond 4 GiB, to memory and to a file.
        ASSERT_EQ(ZipGetItem(h, 1, &info), ZipOk);
        EXPECT_STREQ(info.szName, "after.txt");
        std::string strData(strSmall.size(), '\0');
        EXPECT_EQ(ZipUnzipItem(h, 1, &strData[0], static_cast<DWORD>(strData.size()), ZipKindMemory), ZipMoreData);
        EXPECT_EQ(strData, strSmall);
        {
            CCurrentFolder cwd(scratch.Path());
            EXPECT_EQ(ZipUnzipItem(h, 1, info.szName, 0, ZipKindFile), ZipOk);
        }
        EXPECT_EQ(ReadWholeFile(scratch / "after.txt"), strSmall);
    }
    // The item of more than 4 GiB, once (it takes a few seconds).
    CZip zip(ZipOpen(strWide.c_str(), 0, ZipKindFileW));
    ASSERT_NE(zip.hZip, nullptr);
    HANDLE hNul = OpenNul();
    SProgress progress;
    std::uint64_t nWritten = 0;
    EXPECT_EQ(ZipUnzipItemEx(zip.hZip, 0, hNul, ZipKindHandle, &SProgress::Report, &progress, &nWritten), ZipOk);
    ::CloseHandle(hNul);
    EXPECT_EQ(nWritten, manifest.nZerosSize);
    EXPECT_TRUE(progress.bMonotonic);
}
