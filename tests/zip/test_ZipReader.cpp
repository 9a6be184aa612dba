// The reader's contract over archives made in the test: opening, item records, finding, memory unpacking,
// result texts and the checks that refuse forged or damaged archives.
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

using namespace ZipTest;

namespace {

ZipHandle OpenMemory(const std::string& strArchive)
{
    return ZipOpen(strArchive.data(), static_cast<DWORD>(strArchive.size()), ZipKindMemory);
}

std::vector<SItemSpec> ThreeItems()
{
    std::vector<SItemSpec> a(3);
    a[0].strName = "images/logo.png";
    a[0].strData = MakeContent(3000, 1, false);
    a[0].nMethod = 0;
    a[1].strName = "skin.xml";
    a[1].strData = MakeContent(1000, 2, true);
    a[2].strName = "images/";
    a[2].nMethod = 0;
    a[2].nExternal = 0x41ED0010;
    return a;
}

} // namespace

TEST(ZipResultText, CopiesCutsAndMeasures)
{
    char sz[64];
    std::memset(sz, 'x', sizeof(sz));
    EXPECT_EQ(ZipFormatResult(ZipNotFound, sz, 10), 29u);
    EXPECT_STREQ(sz, "File not ");
    EXPECT_EQ(sz[10], 'x');
    EXPECT_EQ(ZipFormatResult(ZipNotFound, nullptr, 100), 29u);
    sz[0] = 'x';
    EXPECT_EQ(ZipFormatResult(ZipNotFound, sz, 0), 29u);
    EXPECT_EQ(sz[0], 'x');
    EXPECT_EQ(ZipFormatResult(ZipNotFound, sz, 30), 29u);
    EXPECT_STREQ(sz, "File not found in the zipfile");
    EXPECT_EQ(ZipFormatResult(ZipNotFound, sz, 1), 29u);
    EXPECT_STREQ(sz, "");

    const struct
    {
        ZipResult nCode;
        const char* pstrText;
    } aTexts[] = {
        {ZipOk, "Success"},
        {ZipDupHandleFailed, "Culdn't duplicate handle"},
        {ZipOpenFileFailed, "Couldn't create/open file"},
        {ZipNoMemory, "Failed to allocate memory"},
        {ZipWriteFailed, "Error writing to file"},
        {ZipMoreData, "Still more data to unzip"},
        {ZipCorrupt, "Zipfile is corrupt or not a zipfile"},
        {ZipReadFailed, "Error reading file"},
        {ZipBadArgs, "Caller: faulty arguments"},
        {ZipNotMemoryArchive, "Caller: can only get memory of a memory zipfile"},
        {ZipMemoryTooSmall, "Caller: not enough space allocated for memory zipfile"},
        {ZipPreviousError, "Caller: there was a previous error"},
        {ZipAdditionsEnded, "Caller: additions to the zip have already been ended"},
        {ZipWrongSize, "Zip-bug: the anticipated size turned out wrong"},
        {ZipPartlyUnzipped, "Caller: the file had already been partially unzipped"},
        {ZipWrongMode, "Caller: mixing creation and opening of zip"},
        {ZipNotInitialised, "Zip-bug: internal initialisation not completed"},
        {ZipUnseekable, "Zip-bug: trying to seek the unseekable"},
        {ZipNoChange, "Zip-bug: tried to change mind, but not allowed"},
        {ZipInflateFailed, "Zip-bug: an internal error during flation"},
        {0x1234, "unknown zip result code"},
    };
    for (const auto& t : aTexts) {
        EXPECT_EQ(ZipFormatResult(t.nCode, sz, sizeof(sz)), std::strlen(t.pstrText));
        EXPECT_STREQ(sz, t.pstrText);
    }
}

TEST(ZipResultText, RecentIsTheLastCallsResult)
{
    EXPECT_EQ(ZipClose(nullptr), ZipBadArgs);
    EXPECT_EQ(RecentText(), "Caller: faulty arguments");
    const std::string archive = BuildArchive(ThreeItems());
    CMemoryZip zip(archive);
    ASSERT_NE(zip.hZip, nullptr);
    EXPECT_EQ(RecentText(), "Success");
    int iIndex = 0;
    EXPECT_EQ(ZipFindItem(zip.hZip, "nothing", false, &iIndex, nullptr), ZipNotFound);
    EXPECT_EQ(RecentText(), "File not found in the zipfile");
}

TEST(ZipHandles, NullAndForeignHandlesAreRefused)
{
    ZipItemInfo info;
    int iIndex;
    char sz[4];
    EXPECT_EQ(ZipGetItem(nullptr, 0, &info), ZipBadArgs);
    EXPECT_EQ(ZipFindItem(nullptr, "a", true, &iIndex, &info), ZipBadArgs);
    EXPECT_EQ(ZipUnzipItem(nullptr, 0, sz, sizeof(sz), ZipKindMemory), ZipBadArgs);
    EXPECT_EQ(ZipClose(nullptr), ZipBadArgs);

    // A record laid out like a handle but not marked as an archive opened for reading.
    struct
    {
        int nMarker;
        void* pReader;
    } foreign = {2, &foreign};
    ZipHandle hForeign = reinterpret_cast<ZipHandle>(&foreign);
    EXPECT_EQ(ZipGetItem(hForeign, 0, &info), ZipWrongMode);
    EXPECT_EQ(ZipFindItem(hForeign, "a", true, &iIndex, &info), ZipWrongMode);
    EXPECT_EQ(ZipUnzipItem(hForeign, 0, sz, sizeof(sz), ZipKindMemory), ZipWrongMode);
    EXPECT_EQ(ZipClose(hForeign), ZipWrongMode);
}

TEST(ZipOpening, MemoryFileAndHandleSourcesReadTheSameItems)
{
    CScratchFolder scratch("open");
    const std::vector<SItemSpec> items = ThreeItems();
    const std::string archive = BuildArchive(items);
    const std::string strPath = scratch / "three.zip";
    ASSERT_TRUE(WriteWholeFile(strPath, archive));

    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    ZipHandle aHandles[] = {OpenMemory(archive), ZipOpen(strPath.c_str(), 0, ZipKindFile),
                            ZipOpen(hFile, 0, ZipKindHandle)};
    for (ZipHandle h : aHandles) {
        ASSERT_NE(h, nullptr);
        CZip zip(h);
        ZipItemInfo info;
        ASSERT_EQ(ZipGetItem(h, -1, &info), ZipOk);
        EXPECT_EQ(info.iIndex, 3);
        for (int i = 0; i < 2; ++i) {
            std::string strData(items[i].strData.size(), '\0');
            EXPECT_EQ(ZipUnzipItem(h, i, &strData[0], static_cast<DWORD>(strData.size()), ZipKindMemory), ZipMoreData);
            EXPECT_EQ(strData, items[i].strData);
            EXPECT_EQ(ZipUnzipItem(h, i, &strData[0], static_cast<DWORD>(strData.size()), ZipKindMemory), ZipOk);
        }
    }
    // The reader worked on its own duplicate: the caller's handle is still open and usable.
    char aSig[4] = {};
    DWORD nRead = 0;
    ::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN);
    EXPECT_TRUE(::ReadFile(hFile, aSig, 4, &nRead, nullptr));
    EXPECT_EQ(std::memcmp(aSig, "PK\x03\x04", 4), 0);
    ::CloseHandle(hFile);
}

TEST(ZipOpening, HandleReadsTheArchiveAtItsCurrentPosition)
{
    // An archive stored inside a larger file, its offsets counting from its own start: the caller positions
    // the handle on it.
    CScratchFolder scratch("embedded");
    const std::vector<SItemSpec> items = ThreeItems();
    const std::string archive = BuildArchive(items);
    const std::string strHeader(5000, 'H');
    const std::string strPath = scratch / "container.bin";
    ASSERT_TRUE(WriteWholeFile(strPath, strHeader + archive));
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    ::SetFilePointer(hFile, static_cast<LONG>(strHeader.size()), nullptr, FILE_BEGIN);
    CZip zip(ZipOpen(hFile, 0, ZipKindHandle));
    ::CloseHandle(hFile);
    ASSERT_NE(zip.hZip, nullptr);
    std::string strData(1000, '\0');
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 1, &strData[0], 1000, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(strData, items[1].strData);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 1, &strData[0], 1000, ZipKindMemory), ZipOk);
}

TEST(ZipOpening, BytesInFrontOfTheArchiveAreSkipped)
{
    const std::vector<SItemSpec> items = ThreeItems();
    const std::string archive = BuildArchive(items, "", std::string(777, '\x90'));
    CMemoryZip zip(archive);
    ASSERT_NE(zip.hZip, nullptr);
    ZipItemInfo info;
    ASSERT_EQ(ZipGetItem(zip.hZip, 0, &info), ZipOk);
    EXPECT_STREQ(info.szName, "images/logo.png");
    std::string strData(3000, '\0');
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, &strData[0], 3000, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(strData, items[0].strData);
}

TEST(ZipOpening, RefusedSources)
{
    EXPECT_EQ(ZipOpen(nullptr, 10, ZipKindMemory), nullptr);
    EXPECT_EQ(RecentText(), "Caller: faulty arguments");
    const std::string archive = BuildArchive(ThreeItems());
    EXPECT_EQ(ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), static_cast<ZipKind>(7)), nullptr);
    EXPECT_EQ(RecentText(), "Caller: faulty arguments");
    EXPECT_EQ(ZipOpen("Z:\\no\\such\\archive.zip", 0, ZipKindFile), nullptr);
    EXPECT_EQ(RecentText(), "Couldn't create/open file");

    HANDLE hRead, hWrite;
    ASSERT_TRUE(::CreatePipe(&hRead, &hWrite, nullptr, 0));
    EXPECT_EQ(ZipOpen(hRead, 0, ZipKindHandle), nullptr);
    EXPECT_EQ(RecentText(), "Zip-bug: trying to seek the unseekable");
    ::CloseHandle(hRead);
    ::CloseHandle(hWrite);

    const std::string noise = MakeContent(5000, 9, false);
    EXPECT_EQ(CMemoryZip(noise).hZip, nullptr);
    EXPECT_NE(RecentText(), "Success");
    EXPECT_EQ(CMemoryZip(archive.substr(0, 21)).hZip, nullptr);
}

TEST(ZipOpening, EndRecordChecks)
{
    // An archive of nothing but its end record (found at position 0) is no archive; after other bytes it is
    // an archive without items.
    const std::string empty = BuildArchive({});
    ASSERT_EQ(empty.size(), 22u);
    EXPECT_EQ(CMemoryZip(empty).hZip, nullptr);
    {
        CMemoryZip zip("junk" + empty);
        ASSERT_NE(zip.hZip, nullptr);
        ZipItemInfo info;
        EXPECT_EQ(ZipGetItem(zip.hZip, -1, &info), ZipOk);
        EXPECT_EQ(info.iIndex, 0);
        EXPECT_EQ(ZipGetItem(zip.hZip, 0, &info), ZipBadArgs);
        int iIndex;
        EXPECT_EQ(ZipFindItem(zip.hZip, "", false, &iIndex, &info), ZipNotFound);
    }
    SLayout layout;
    const std::string archive = BuildArchive(ThreeItems(), "", "", &layout);
    const struct
    {
        std::size_t nOffset;
        std::uint16_t nValue;
    } aForged16[] = {{4, 1}, {6, 1}, {8, 2}, {10, 4}}; // disk numbers, differing item counts
    for (const auto& f : aForged16) {
        std::string forged = archive;
        Put16(forged, layout.nEnd + f.nOffset, f.nValue);
        EXPECT_EQ(CMemoryZip(forged).hZip, nullptr) << f.nOffset;
    }
    std::string beyond = archive; // the directory would end after the end record
    Put32(beyond, layout.nEnd + 16, Get32(archive, layout.nEnd + 16) + 1);
    EXPECT_EQ(CMemoryZip(beyond).hZip, nullptr);
}

TEST(ZipOpening, EndRecordMustAgreeWithTheDirectory)
{
    // An installer must never unpack two files of three and report success: the item count and the
    // directory size of the end record must match the records really found.
    SLayout layout;
    const std::string archive = BuildArchive(ThreeItems(), "", "", &layout);
    const std::uint32_t nDirSize = Get32(archive, layout.nEnd + 12);
    const std::uint32_t nDirOffset = Get32(archive, layout.nEnd + 16);
    const struct
    {
        const char* pstrWhat;
        std::uint16_t nItems;
        std::uint32_t nDirSize;
        std::uint32_t nDirOffset;
    } aForged[] = {
        {"fewer items", 2, nDirSize, nDirOffset},
        {"more items", 4, nDirSize, nDirOffset},
        {"no items", 0, nDirSize, nDirOffset},
        {"directory shorter", 3, nDirSize - 1, nDirOffset},
        {"two records", 2, static_cast<std::uint32_t>(layout.aCentral[2] - layout.aCentral[0]), nDirOffset},
    };
    for (const auto& f : aForged) {
        std::string forged = archive;
        Put16(forged, layout.nEnd + 8, f.nItems);
        Put16(forged, layout.nEnd + 10, f.nItems);
        Put32(forged, layout.nEnd + 12, f.nDirSize);
        Put32(forged, layout.nEnd + 16, f.nDirOffset);
        EXPECT_EQ(CMemoryZip(forged).hZip, nullptr) << f.pstrWhat;
        EXPECT_EQ(RecentText(), "Zipfile is corrupt or not a zipfile") << f.pstrWhat;
    }

    // Zip64 records (a locator right in front of the end record) are refused, not read as an empty archive,
    // also when the classic fields are the 0xFFFF / 0xFFFFFFFF markers.
    for (bool bMarkers : {false, true}) {
        std::string zip64 = archive.substr(0, layout.nEnd);
        std::string locator(20, '\0');
        Put32(locator, 0, 0x07064B50);
        Put32(locator, 8, static_cast<std::uint32_t>(layout.nEnd));
        Put32(locator, 16, 1);
        std::string end = archive.substr(layout.nEnd);
        if (bMarkers) {
            Put16(end, 8, 0xFFFF);
            Put16(end, 10, 0xFFFF);
            Put32(end, 12, 0xFFFFFFFF);
            Put32(end, 16, 0xFFFFFFFF);
        }
        zip64 += locator + end;
        EXPECT_EQ(CMemoryZip(zip64).hZip, nullptr) << bMarkers;
        EXPECT_EQ(RecentText(), "Zipfile is corrupt or not a zipfile");
    }
}

TEST(ZipOpening, CommentsUpToTheSearchLimit)
{
    // The end record must start within the last 65535 bytes.
    const std::vector<SItemSpec> items = ThreeItems();
    const std::string fits = BuildArchive(items, std::string(65535 - 22, 'c'));
    CMemoryZip zip(fits);
    ASSERT_NE(zip.hZip, nullptr);
    ZipItemInfo info;
    EXPECT_EQ(ZipGetItem(zip.hZip, 1, &info), ZipOk);
    EXPECT_EQ(CMemoryZip(BuildArchive(items, std::string(65535 - 21, 'c'))).hZip, nullptr);
    // A signature cut by the border of two search blocks is still found.
    for (std::size_t nComment = 1018; nComment <= 1026; ++nComment) {
        CMemoryZip cut(BuildArchive(items, std::string(nComment, 'c')));
        EXPECT_NE(cut.hZip, nullptr) << nComment;
    }
}

TEST(ZipItems, SummaryAndRange)
{
    const std::string archive = BuildArchive(ThreeItems());
    CMemoryZip zip(archive);
    ASSERT_NE(zip.hZip, nullptr);
    ZipItemInfo info;
    std::memset(&info, 0x55, sizeof(info));
    ASSERT_EQ(ZipGetItem(zip.hZip, -1, &info), ZipOk);
    EXPECT_EQ(info.iIndex, 3);
    EXPECT_STREQ(info.szName, "");
    EXPECT_EQ(info.nCompressedSize, 0);
    EXPECT_EQ(info.nUncompressedSize, 0);
    EXPECT_EQ(info.dwAttributes, 0u);
    EXPECT_EQ(info.ftModifyTime.dwHighDateTime, 0u);
    EXPECT_EQ(ZipGetItem(zip.hZip, 3, &info), ZipBadArgs);
    EXPECT_EQ(ZipGetItem(zip.hZip, -2, &info), ZipBadArgs);
    EXPECT_EQ(ZipGetItem(zip.hZip, 0, nullptr), ZipBadArgs);
    // Records in any order, repeated (the cache) and after walking backwards.
    for (int i : {2, 0, 0, 1, 2, 1, 0}) {
        ASSERT_EQ(ZipGetItem(zip.hZip, i, &info), ZipOk);
        EXPECT_EQ(info.iIndex, i);
        EXPECT_STREQ(info.szName, ThreeItems()[i].strName.c_str());
    }
}

TEST(ZipItems, RecordFields)
{
    std::vector<SItemSpec> items = ThreeItems();
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    ZipItemInfo info;
    ASSERT_EQ(ZipGetItem(zip.hZip, 1, &info), ZipOk);
    EXPECT_EQ(info.nUncompressedSize, 1000);
    EXPECT_EQ(info.nCompressedSize, static_cast<std::int32_t>(Deflate(items[1].strData).size()));
    EXPECT_LT(info.nCompressedSize, 1000);
    EXPECT_EQ(info.dwAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    // The DOS time, a local time: the program runs with TZ=UTC (ZipTimes covers other zones).
    SYSTEMTIME st;
    ASSERT_TRUE(::FileTimeToSystemTime(&info.ftModifyTime, &st));
    EXPECT_EQ(st.wYear, 2021);
    EXPECT_EQ(st.wMonth, 6);
    EXPECT_EQ(st.wDay, 15);
    EXPECT_EQ(st.wHour, 12);
    EXPECT_EQ(st.wMinute, 34);
    EXPECT_EQ(st.wSecond, 44);
    EXPECT_EQ(CompareFileTime(&info.ftAccessTime, &info.ftModifyTime), 0);
    EXPECT_EQ(CompareFileTime(&info.ftCreationTime, &info.ftModifyTime), 0);
}

TEST(ZipItems, AttributesFromExternalBits)
{
    const struct
    {
        std::uint32_t nExternal;
        const char* pstrName;
        DWORD dwExpected;
    } aCases[] = {
        {0x81A40000, "unix-file", FILE_ATTRIBUTE_NORMAL},                               // rw-r--r--
        {0x81240000, "unix-readonly", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_READONLY}, // r--r--r--
        {0x41ED0000, "unix-folder", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY},
        {0x00000020, "dos-archive", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
        {0x00000010, "dos-folder", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY},
        {0x00800006, "hidden-system", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {0x00800001, "readonly-bit", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_READONLY},
        {0x81A40000, "no-attr-folder/", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY},
        {0x00800000, "backslash-folder\\", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY},
    };
    std::vector<SItemSpec> items;
    for (const auto& c : aCases) {
        SItemSpec item;
        item.strName = c.pstrName;
        item.nExternal = c.nExternal;
        items.push_back(item);
    }
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        ZipItemInfo info;
        ASSERT_EQ(ZipGetItem(zip.hZip, i, &info), ZipOk);
        EXPECT_EQ(info.dwAttributes, aCases[i].dwExpected) << aCases[i].pstrName;
    }
}

namespace {

std::string UtBlock(unsigned nFlags, const std::vector<std::int32_t>& aTimes, int nSizeDelta = 0)
{
    std::string s(5, '\0');
    s[0] = 'U';
    s[1] = 'T';
    Put16(s, 2, static_cast<std::uint16_t>(1 + 4 * aTimes.size() + nSizeDelta));
    s[4] = static_cast<char>(nFlags);
    for (std::int32_t t : aTimes) {
        s.resize(s.size() + 4);
        Put32(s, s.size() - 4, static_cast<std::uint32_t>(t));
    }
    return s;
}

std::uint64_t Ticks(const FILETIME& ft)
{
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::uint64_t UnixTicks(std::int64_t t)
{
    return static_cast<std::uint64_t>(t + 11644473600LL) * 10000000ULL;
}

} // namespace

TEST(ZipItems, ExtendedTimesFromTheLocalExtraField)
{
    std::vector<SItemSpec> items(4);
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i].strName = "t" + std::to_string(i);
    // All three times, after an unrelated block.
    items[0].strLocalExtra = std::string("\x0a\x00\x04\x00"
                                         "abcd",
                                         8) +
                             UtBlock(7, {1600000000, 1600000100, 1500000000});
    // Only the modification time; the central field's block is not read.
    items[1].strLocalExtra = UtBlock(1, {-86400});
    items[1].strCentralExtra = UtBlock(1, {5});
    // Flags promise three times, the block and the field hold one.
    items[2].strLocalExtra = UtBlock(7, {1234567890}, 0);
    // Fewer than 5 bytes: no block is read.
    items[3].strLocalExtra = std::string("UT\x01\x00", 4);
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    ZipItemInfo info;
    ASSERT_EQ(ZipGetItem(zip.hZip, 0, &info), ZipOk);
    EXPECT_EQ(Ticks(info.ftModifyTime), UnixTicks(1600000000));
    EXPECT_EQ(Ticks(info.ftAccessTime), UnixTicks(1600000100));
    EXPECT_EQ(Ticks(info.ftCreationTime), UnixTicks(1500000000));
    ASSERT_EQ(ZipGetItem(zip.hZip, 1, &info), ZipOk);
    EXPECT_EQ(Ticks(info.ftModifyTime), UnixTicks(-86400));
    const std::uint64_t nDos = Ticks(info.ftAccessTime);
    EXPECT_NE(nDos, UnixTicks(-86400));
    EXPECT_EQ(Ticks(info.ftCreationTime), nDos);
    ASSERT_EQ(ZipGetItem(zip.hZip, 2, &info), ZipOk);
    EXPECT_EQ(Ticks(info.ftModifyTime), UnixTicks(1234567890));
    EXPECT_EQ(Ticks(info.ftAccessTime), nDos);
    ASSERT_EQ(ZipGetItem(zip.hZip, 3, &info), ZipOk);
    EXPECT_EQ(Ticks(info.ftModifyTime), nDos);
}

TEST(ZipItems, NamesAreTerminatedAndNeverCut)
{
    std::vector<SItemSpec> items(6);
    items[0].strName = std::string(259, 'a');
    items[1].strName = std::string(260, 'b');
    items[2].strName = std::string(1000, 'c');
    items[3].strName = "after";
    items[4].strName = std::string("cut\0.exe", 8); // would be handed out as "cut"
    items[5].strName = std::string("cut\0.exe", 8);
    items[5].nFlags = 0x0800;
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    ZipItemInfo info;
    std::memset(&info, 'z', sizeof(info));
    ASSERT_EQ(ZipGetItem(zip.hZip, 0, &info), ZipOk);
    EXPECT_EQ(std::strlen(info.szName), 259u);
    EXPECT_EQ(ZipGetItem(zip.hZip, 1, &info), ZipCorrupt);
    EXPECT_EQ(ZipGetItem(zip.hZip, 2, &info), ZipCorrupt);
    ASSERT_EQ(ZipGetItem(zip.hZip, 3, &info), ZipOk);
    EXPECT_STREQ(info.szName, "after");
    EXPECT_EQ(ZipGetItem(zip.hZip, 4, &info), ZipCorrupt);
    EXPECT_EQ(ZipGetItem(zip.hZip, 5, &info), ZipCorrupt);
    int iIndex;
    EXPECT_EQ(ZipFindItem(zip.hZip, std::string(255, 'c').c_str(), false, &iIndex, nullptr), ZipNotFound);
    EXPECT_EQ(ZipFindItem(zip.hZip, "after", false, &iIndex, nullptr), ZipOk);
    EXPECT_EQ(iIndex, 3);
    // Unpacking an item whose name does not fit fails like its record.
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 1, const_cast<char*>("b.txt"), 0, ZipKindFile), ZipCorrupt);
}

TEST(ZipFinding, ByNameWithAndWithoutCase)
{
    const std::string archive = BuildArchive(ThreeItems());
    CMemoryZip zip(archive);
    ASSERT_NE(zip.hZip, nullptr);
    int iIndex = 7;
    ZipItemInfo info;
    ASSERT_EQ(ZipFindItem(zip.hZip, "IMAGES\\LOGO.PNG", true, &iIndex, &info), ZipOk);
    EXPECT_EQ(iIndex, 0);
    EXPECT_EQ(info.iIndex, 0);
    EXPECT_STREQ(info.szName, "images/logo.png");
    EXPECT_EQ(info.nUncompressedSize, 3000);

    std::memset(&info, 0x55, sizeof(info));
    EXPECT_EQ(ZipFindItem(zip.hZip, "IMAGES\\LOGO.PNG", false, &iIndex, &info), ZipNotFound);
    EXPECT_EQ(iIndex, -1);
    EXPECT_EQ(info.iIndex, -1);
    EXPECT_STREQ(info.szName, "");
    EXPECT_EQ(info.nUncompressedSize, 0);

    ASSERT_EQ(ZipFindItem(zip.hZip, "skin.xml", false, &iIndex, nullptr), ZipOk);
    EXPECT_EQ(iIndex, 1);
    EXPECT_EQ(ZipFindItem(zip.hZip, "skin.xm", true, &iIndex, nullptr), ZipNotFound);
    EXPECT_EQ(ZipFindItem(zip.hZip, "skin.xml2", true, &iIndex, nullptr), ZipNotFound);
    EXPECT_EQ(ZipFindItem(zip.hZip, std::string(300, 'a').c_str(), true, &iIndex, nullptr), ZipNotFound);
    EXPECT_EQ(ZipFindItem(zip.hZip, nullptr, true, &iIndex, nullptr), ZipBadArgs);
    EXPECT_EQ(ZipFindItem(zip.hZip, "skin.xml", true, nullptr, nullptr), ZipBadArgs);
}

TEST(ZipFinding, DoubleByteCharactersCompareExactly)
{
    // 0x81 0x61 and 0x81 0x41 are two different GBK characters whose trail bytes are 'a' and 'A'; 0x81 0x5C
    // ends in the byte of '\' and is no separator.
    std::vector<SItemSpec> items(3);
    items[0].strName = "x\x81\x61.txt";
    items[1].strName = "y\x81\x5C.txt";
    items[2].strName = "dir\\stored-with-backslash.txt";
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    int iIndex;
    EXPECT_EQ(ZipFindItem(zip.hZip, "X\x81\x41.TXT", true, &iIndex, nullptr), ZipNotFound);
    EXPECT_EQ(ZipFindItem(zip.hZip, "X\x81\x61.TXT", true, &iIndex, nullptr), ZipOk);
    EXPECT_EQ(iIndex, 0);
    EXPECT_EQ(ZipFindItem(zip.hZip, "y\x81/.txt", false, &iIndex, nullptr), ZipNotFound);
    EXPECT_EQ(ZipFindItem(zip.hZip, "y\x81\x5C.txt", false, &iIndex, nullptr), ZipOk);
    EXPECT_EQ(iIndex, 1);
    EXPECT_EQ(ZipFindItem(zip.hZip, "DIR/Stored-With-Backslash.txt", true, &iIndex, nullptr), ZipOk);
    EXPECT_EQ(iIndex, 2);
    ZipItemInfo info;
    ASSERT_EQ(ZipGetItem(zip.hZip, 1, &info), ZipOk);
    EXPECT_FALSE(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(ZipMemoryUnpacking, BlockByBlockCallProtocol)
{
    for (unsigned nMethod : {0u, 8u}) {
        std::vector<SItemSpec> items(1);
        items[0].strName = "item";
        items[0].strData = MakeContent(1000, 5, true);
        items[0].nMethod = nMethod;
        CMemoryZip zip(BuildArchive(items));
        ASSERT_NE(zip.hZip, nullptr);

        char aWhole[1000];
        EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, aWhole, 1000, ZipKindMemory), ZipMoreData);
        EXPECT_EQ(std::string(aWhole, 1000), items[0].strData);
        EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, aWhole, 1000, ZipKindMemory), ZipOk);

        std::string strGot;
        const std::size_t aExpected[] = {400, 400, 200};
        for (std::size_t nExpected : aExpected) {
            char aBlock[400];
            std::memset(aBlock, '#', sizeof(aBlock));
            ASSERT_EQ(ZipUnzipItem(zip.hZip, 0, aBlock, sizeof(aBlock), ZipKindMemory), ZipMoreData);
            EXPECT_EQ(std::string(aBlock + nExpected, sizeof(aBlock) - nExpected),
                      std::string(sizeof(aBlock) - nExpected, '#'));
            strGot.append(aBlock, nExpected);
        }
        char aBlock[400];
        EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, aBlock, sizeof(aBlock), ZipKindMemory), ZipOk);
        EXPECT_EQ(strGot, items[0].strData) << "method " << nMethod;
    }
}

TEST(ZipMemoryUnpacking, OtherCallsCloseTheItemAndItStartsAgain)
{
    std::vector<SItemSpec> items = ThreeItems();
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    char aBlock[400];
    ASSERT_EQ(ZipUnzipItem(zip.hZip, 1, aBlock, 400, ZipKindMemory), ZipMoreData);
    ZipItemInfo info;
    ASSERT_EQ(ZipGetItem(zip.hZip, 0, &info), ZipOk);
    ASSERT_EQ(ZipUnzipItem(zip.hZip, 1, aBlock, 400, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(std::string(aBlock, 400), items[1].strData.substr(0, 400));
    // Another index starts that item; going back starts the first again.
    ASSERT_EQ(ZipUnzipItem(zip.hZip, 0, aBlock, 400, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(std::string(aBlock, 400), items[0].strData.substr(0, 400));
    ASSERT_EQ(ZipUnzipItem(zip.hZip, 1, aBlock, 400, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(std::string(aBlock, 400), items[1].strData.substr(0, 400));
    // A folder item or an empty item has nothing to give.
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 2, aBlock, 400, ZipKindMemory), ZipOk);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 2, nullptr, 0, ZipKindMemory), ZipOk);
    // Arguments.
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 3, aBlock, 400, ZipKindMemory), ZipBadArgs);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, -1, aBlock, 400, ZipKindMemory), ZipBadArgs);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, nullptr, 400, ZipKindMemory), ZipBadArgs);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, aBlock, 0, ZipKindMemory), ZipBadArgs); // would end early as ZipOk
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, aBlock, 400, static_cast<ZipKind>(0)), ZipBadArgs);
}

TEST(ZipMemoryUnpacking, DataDescriptorItems)
{
    std::vector<SItemSpec> items(2);
    items[0].strName = "deflated";
    items[0].strData = MakeContent(70000, 11, true);
    items[0].bDescriptor = true;
    items[1].strName = "stored";
    items[1].strData = MakeContent(40000, 12, false);
    items[1].nMethod = 0;
    items[1].bDescriptor = true;
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    for (int i = 0; i < 2; ++i) {
        std::string strData(items[i].strData.size(), '\0');
        EXPECT_EQ(ZipUnzipItem(zip.hZip, i, &strData[0], static_cast<DWORD>(strData.size()), ZipKindMemory),
                  ZipMoreData);
        EXPECT_EQ(ZipUnzipItem(zip.hZip, i, &strData[0], static_cast<DWORD>(strData.size()), ZipKindMemory), ZipOk);
        EXPECT_EQ(strData, items[i].strData);
    }
}

namespace {

// Unpacks one item to memory in 4096-byte blocks and returns the final result (never ZipMoreData).
ZipResult DrainToMemory(ZipHandle hZip, int iIndex, std::string* pData = nullptr)
{
    char aBlock[4096];
    for (int n = 0; n < 100000; ++n) {
        const ZipResult r = ZipUnzipItem(hZip, iIndex, aBlock, sizeof(aBlock), ZipKindMemory);
        if (r != ZipMoreData)
            return r;
        if (pData)
            pData->append(aBlock, sizeof(aBlock));
    }
    ADD_FAILURE() << "memory unpacking did not end";
    return ZipMoreData;
}

} // namespace

TEST(ZipDamagedItems, ForgedAndCorruptItemsFailInsteadOfPassing)
{
    std::vector<SItemSpec> items(6);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].strName = "item" + std::to_string(i);
        items[i].strData = MakeContent(20000, static_cast<std::uint32_t>(i), true);
    }
    items[1].nMethod = 0;
    items[2].bDescriptor = true;
    items[3].bDescriptor = true;
    items[4].nMethod = 12;
    SLayout layout;
    std::string archive = BuildArchive(items, "", "", &layout);
    // 0: a deflated item whose stream is damaged in the middle.
    archive[layout.aData[0] + 200] = static_cast<char>(archive[layout.aData[0] + 200] ^ 0xFF);
    archive[layout.aData[0] + 201] = static_cast<char>(archive[layout.aData[0] + 201] ^ 0x5A);
    // 1: a stored item with one changed byte: only the CRC-32 tells.
    archive[layout.aData[1] + 5000] = static_cast<char>(archive[layout.aData[1] + 5000] ^ 0x01);
    // 2: the directory promises 100 bytes more than the deflate stream holds.
    Put32(archive, layout.aCentral[2] + 24, 20100);
    // 3: the directory promises fewer bytes: the output is cut and its CRC-32 differs.
    Put32(archive, layout.aCentral[3] + 24, 19999);
    // 5: a local header whose method differs from the directory's.
    Put16(archive, layout.aLocal[5] + 8, 0);

    CScratchFolder scratch("damaged");
    CCurrentFolder cwd(scratch.Path());
    ASSERT_TRUE(cwd.Ok());
    CMemoryZip zip(archive);
    ASSERT_NE(zip.hZip, nullptr);
    const ZipResult aMemory[] = {ZipInflateFailed, ZipInflateFailed, ZipInflateFailed,
                                 ZipInflateFailed, ZipCorrupt,       ZipCorrupt};
    const ZipResult aFile[] = {ZipWriteFailed, ZipWriteFailed, ZipWriteFailed, ZipWriteFailed, ZipCorrupt, ZipCorrupt};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(DrainToMemory(zip.hZip, i), aMemory[i]) << i;
        EXPECT_EQ(ZipUnzipItem(zip.hZip, i, const_cast<char*>("out.bin"), 0, ZipKindFile), aFile[i]) << i;
    }
    ZipItemInfo info;
    EXPECT_EQ(ZipGetItem(zip.hZip, 4, &info), ZipCorrupt);
    EXPECT_EQ(ZipGetItem(zip.hZip, 5, &info), ZipCorrupt);

    // With an exact block the last bytes still come with ZipMoreData; the call after it reports the CRC.
    std::string strData(20000, '\0');
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 1, &strData[0], 20000, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 1, &strData[0], 20000, ZipKindMemory), ZipInflateFailed);
    // A stream that ends early: the call that gets its last bytes says ZipMoreData, the next one fails.
    std::string strLong(20100, '\0');
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 2, &strLong[0], 20100, ZipKindMemory), ZipMoreData);
    EXPECT_EQ(strLong.substr(0, 20000), items[2].strData);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 2, &strLong[0], 20100, ZipKindMemory), ZipInflateFailed);
}

TEST(ZipDamagedItems, StoredItemWithDifferingSizesIsRefusedAtOnce)
{
    // Local header and directory agree on 10 compressed bytes that would unpack to 1,000,000.
    std::vector<SItemSpec> items(1);
    items[0].strName = "forged";
    items[0].strData = "0123456789";
    items[0].nMethod = 0;
    SLayout layout;
    std::string archive = BuildArchive(items, "", "", &layout);
    Put32(archive, layout.aLocal[0] + 22, 1000000);
    Put32(archive, layout.aCentral[0] + 24, 1000000);
    CMemoryZip zip(archive);
    ASSERT_NE(zip.hZip, nullptr);
    ZipItemInfo info;
    EXPECT_EQ(ZipGetItem(zip.hZip, 0, &info), ZipCorrupt);
    std::string strBig(1000000, '\0');
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, &strBig[0], 1000000, ZipKindMemory), ZipCorrupt);
    HANDLE hNul = ::CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(ZipUnzipItem(zip.hZip, 0, hNul, 0, ZipKindHandle), ZipCorrupt);
    ::CloseHandle(hNul);
}

TEST(ZipDamagedItems, LocalHeaderChecks)
{
    std::vector<SItemSpec> items(1);
    items[0].strName = "checked";
    items[0].strData = MakeContent(500, 3, true);
    SLayout layout;
    const std::string archive = BuildArchive(items, "", "", &layout);
    const struct
    {
        std::size_t nOffset;
        std::uint32_t nValue;
        int nWidth;
        ZipResult nExpected;
    } aForged[] = {
        {0, 0x04034B51, 4, ZipCorrupt}, // signature
        {14, 1, 4, ZipCorrupt},         // CRC-32 differs from the directory's
        {18, 1, 4, ZipCorrupt},         // compressed size
        {22, 1, 4, ZipCorrupt},         // uncompressed size
        {26, 6, 2, ZipCorrupt},         // name length
        {30, 0x58, 1, ZipCorrupt},      // a name that differs from the directory's ("Xhecked")
        {28, 0xFFFF, 2, ZipReadFailed}, // extra field runs past the end of the archive
        {28, 4, 2, ZipOk},              // a short extra field just moves the data start (bad data, see below)
        {6, 0x0808, 2, ZipOk},          // flag bit 3: sizes and CRC are not compared
    };
    for (const auto& f : aForged) {
        std::string forged = archive;
        if (f.nWidth == 4)
            Put32(forged, layout.aLocal[0] + f.nOffset, f.nValue);
        else if (f.nWidth == 1)
            forged[layout.aLocal[0] + f.nOffset] = static_cast<char>(f.nValue);
        else
            Put16(forged, layout.aLocal[0] + f.nOffset, static_cast<std::uint16_t>(f.nValue));
        CMemoryZip zip(forged);
        ASSERT_NE(zip.hZip, nullptr);
        ZipItemInfo info;
        EXPECT_EQ(ZipGetItem(zip.hZip, 0, &info), f.nExpected) << f.nOffset;
        std::string strData;
        const ZipResult r = DrainToMemory(zip.hZip, 0, &strData);
        if (f.nOffset == 28 && f.nValue == 4)
            EXPECT_EQ(r, ZipInflateFailed);
        else if (f.nExpected == ZipOk)
            EXPECT_EQ(r, ZipOk);
        else
            EXPECT_NE(r, ZipOk) << f.nOffset;
    }
}

TEST(ZipConcurrency, SeparateHandlesWorkOnSeparateThreads)
{
    // The installer unpacks its package on a worker while the window reads skin images from another handle.
    std::vector<SItemSpec> items(2);
    items[0].strName = "text";
    items[0].strData = MakeContent(200000, 31, true);
    items[1].strName = "noise";
    items[1].strData = MakeContent(100000, 32, false);
    items[1].nMethod = 0;
    const std::string archive = BuildArchive(items);
    int aGood[4] = {};
    auto worker = [&archive, &items](int* pnGood) {
        ZipHandle hZip = ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), ZipKindMemory);
        std::string strBlock(200000, '\0');
        for (int n = 0; hZip && n < 40; ++n) {
            const int i = n % 2;
            const DWORD nSize = static_cast<DWORD>(items[i].strData.size());
            if (ZipUnzipItem(hZip, i, &strBlock[0], nSize, ZipKindMemory) == ZipMoreData &&
                ZipUnzipItem(hZip, i, &strBlock[0], nSize, ZipKindMemory) == ZipOk &&
                strBlock.compare(0, nSize, items[i].strData) == 0)
                ++*pnGood;
        }
        if (hZip)
            ZipClose(hZip);
    };
    std::vector<std::thread> threads;
    for (int& nGood : aGood)
        threads.emplace_back(worker, &nGood);
    for (std::thread& t : threads)
        t.join();
    for (int nGood : aGood)
        EXPECT_EQ(nGood, 40);
}

TEST(ZipConcurrency, TwoReadersOnOneCallersHandle)
{
    // Both readers duplicate the same handle and so share one file pointer with each other and with the
    // caller: each read must name its offset.
    std::vector<SItemSpec> items(3);
    items[0].strName = "a";
    items[0].strData = MakeContent(300000, 41, true);
    items[1].strName = "b";
    items[1].strData = MakeContent(150000, 42, false);
    items[1].nMethod = 0;
    items[2].strName = "c";
    items[2].strData = MakeContent(90000, 43, false);
    const std::string strPrefix(777, 'p');
    const std::string archive = BuildArchive(items, "", strPrefix);
    CScratchFolder scratch("onehandle");
    const std::string strPath = scratch / "shared.zip";
    ASSERT_TRUE(WriteWholeFile(strPath, archive));
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    // The archive starts at the handle's position when each reader is made.
    ASSERT_NE(::SetFilePointer(hFile, static_cast<LONG>(strPrefix.size()), nullptr, FILE_BEGIN),
              INVALID_SET_FILE_POINTER);
    ZipHandle aZip[2] = {ZipOpen(hFile, 0, ZipKindHandle), nullptr};
    ASSERT_NE(::SetFilePointer(hFile, static_cast<LONG>(strPrefix.size()), nullptr, FILE_BEGIN),
              INVALID_SET_FILE_POINTER);
    aZip[1] = ZipOpen(hFile, 0, ZipKindHandle);
    ASSERT_NE(aZip[0], nullptr);
    ASSERT_NE(aZip[1], nullptr);
    int aGood[2] = {};
    auto worker = [&items](ZipHandle hZip, int iFirst, int* pnGood) {
        std::string strBlock(300000, '\0');
        ZipItemInfo info;
        for (int n = 0; n < 40; ++n) {
            const int i = (iFirst + n) % 3;
            const DWORD nSize = static_cast<DWORD>(items[i].strData.size());
            // Small blocks: many reads interleave with the other thread's.
            std::string strOut;
            ZipResult r;
            while ((r = ZipUnzipItem(hZip, i, &strBlock[0], 5000, ZipKindMemory)) == ZipMoreData &&
                   strOut.size() < nSize)
                strOut.append(strBlock.data(), std::min<std::size_t>(5000, nSize - strOut.size()));
            if (r == ZipOk && strOut == items[i].strData && ZipGetItem(hZip, (i + 1) % 3, &info) == ZipOk)
                ++*pnGood;
        }
    };
    // Meanwhile the caller uses its handle too, moving the shared file pointer.
    std::atomic<bool> bReadersDone{false};
    std::thread caller([hFile, &bReadersDone] {
        for (LONG n = 0; !bReadersDone.load(); n = (n + 4093) % 400000)
            ::SetFilePointer(hFile, n, nullptr, FILE_BEGIN);
    });
    std::thread first(worker, aZip[0], 0, &aGood[0]);
    std::thread second(worker, aZip[1], 1, &aGood[1]);
    first.join();
    second.join();
    bReadersDone = true;
    caller.join();
    EXPECT_EQ(aGood[0], 40);
    EXPECT_EQ(aGood[1], 40);
    ZipClose(aZip[0]);
    ZipClose(aZip[1]);
    ::CloseHandle(hFile);
}
