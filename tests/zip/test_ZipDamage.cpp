// Deterministic damage: every truncation of a small archive, thousands of byte flips and forged sizes and
// offsets in the end record, the directory and the local headers. Every call must answer with a known
// result code, memory unpacking must end, nothing may be written outside the target folder, and what still
// unpacks after a single changed byte must be the bytes of an original item.
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ZipTest;

namespace {

const ZipResult kKnownResults[] = {ZipOk,       ZipMoreData,      ZipCorrupt,     ZipReadFailed,    ZipBadArgs,
                                   ZipNotFound, ZipInflateFailed, ZipWriteFailed, ZipOpenFileFailed};

bool IsKnown(ZipResult r)
{
    for (ZipResult k : kKnownResults)
        if (r == k)
            return true;
    return false;
}

std::vector<SItemSpec> SmallItems()
{
    std::vector<SItemSpec> items(5);
    items[0].strName = "a/b.txt";
    items[0].strData = MakeContent(600, 1, true);
    items[0].strLocalExtra = std::string("UT\x05\x00\x01\x10\x20\x30\x40", 9);
    items[1].strName = "s.bin";
    items[1].strData = MakeContent(90, 2, false);
    items[1].nMethod = 0;
    items[2].strName = "d/";
    items[2].nMethod = 0;
    items[2].nExternal = 0x41ED0010;
    items[3].strName = "e.txt";
    items[3].strData = MakeContent(400, 3, true);
    items[3].bDescriptor = true;
    items[4].strName = "z";
    return items;
}

struct SRun
{
    int nFailures = 0;
    int nOpened = 0;
    int nUnpacked = 0;
};

// An odd block size, so that memory unpacking calls end in every part of the data.
constexpr std::size_t kBlock = 97;

class CDamageRunner
{
public:
    explicit CDamageRunner(const std::vector<SItemSpec>& items) : m_items(items) {}

    // Exercises every operation on one damaged archive. bSingleByte: the archive differs from the original
    // in one byte, so an item that unpacks must still be the original item.
    void Exercise(const std::string& archive, bool bSingleByte, bool bWriteFiles, const char* pstrWhat,
                  std::size_t nWhere)
    {
        ZipHandle hZip = ZipOpen(archive.data(), static_cast<DWORD>(archive.size()), ZipKindMemory);
        if (!hZip) {
            char sz[8];
            EXPECT_NE(ZipFormatResult(ZipRecent, sz, sizeof(sz)), 7u) << "a failed open recorded Success";
            return;
        }
        ++m_run.nOpened;
        ZipItemInfo info;
        Check(ZipGetItem(hZip, -1, &info), pstrWhat, nWhere);
        const int nItems = info.iIndex;
        EXPECT_GE(nItems, 0);
        for (int i = -1; i <= nItems && i < 70000; ++i) {
            const ZipResult rItem = ZipGetItem(hZip, i, &info);
            Check(rItem, pstrWhat, nWhere);
            if (rItem == ZipOk) {
                EXPECT_LT(std::strlen(info.szName), sizeof(info.szName));
                int iFound = -2;
                Check(ZipFindItem(hZip, info.szName, true, &iFound, nullptr), pstrWhat, nWhere);
            }
            std::string strData;
            const ZipResult rMemory = Drain(hZip, i, strData, pstrWhat, nWhere);
            if (rMemory == ZipOk) {
                ++m_run.nUnpacked;
                // One changed byte can move the directory walk onto another record, but what unpacks must
                // be the bytes of one of the original items.
                if (bSingleByte) {
                    EXPECT_TRUE(IsAnOriginalItem(strData)) << pstrWhat << " at " << nWhere << ", item " << i;
                }
            }
            if (bWriteFiles && rItem == ZipOk) {
                Check(ZipUnzipItem(hZip, i, info.szName, 0, ZipKindFile), pstrWhat, nWhere);
            }
        }
        Check(ZipClose(hZip), pstrWhat, nWhere);
    }

    const SRun& Run() const { return m_run; }

private:
    // Whole blocks were kept: an item's bytes, then the unused tail of the last block.
    bool IsAnOriginalItem(const std::string& strData) const
    {
        for (const SItemSpec& item : m_items) {
            const std::string& strWant = item.strData;
            if (strData.size() == (strWant.size() + kBlock - 1) / kBlock * kBlock &&
                strData.compare(0, strWant.size(), strWant) == 0)
                return true;
        }
        return false;
    }

    void Check(ZipResult r, const char* pstrWhat, std::size_t nWhere)
    {
        if (!IsKnown(r)) {
            ++m_run.nFailures;
            ADD_FAILURE() << "result 0x" << std::hex << r << " after " << pstrWhat << " at " << std::dec << nWhere;
        }
    }

    ZipResult Drain(ZipHandle hZip, int iIndex, std::string& strData, const char* pstrWhat, std::size_t nWhere)
    {
        char aBlock[kBlock];
        // Output is bounded by what the tiny damaged input can make; a call that makes nothing ends it.
        for (int nCall = 0; nCall < 200000; ++nCall) {
            const ZipResult r = ZipUnzipItem(hZip, iIndex, aBlock, sizeof(aBlock), ZipKindMemory);
            Check(r, pstrWhat, nWhere);
            if (r != ZipMoreData)
                return r;
            strData.append(aBlock, sizeof(aBlock));
            if (strData.size() > 50u * 1000 * 1000)
                break;
        }
        ADD_FAILURE() << "memory unpacking did not end after " << pstrWhat << " at " << nWhere;
        return ZipMoreData;
    }

    std::vector<SItemSpec> m_items;
    SRun m_run;
};

std::set<std::string> RootListing()
{
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA("C:\\*", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(fd.cFileName);
    while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return names;
}

// Forged fields: (offset, width) of every number in the end records, directory records and local headers.
std::vector<std::pair<std::size_t, int>> ForgeableFields(const std::vector<SItemSpec>& items, const SLayout& layout,
                                                         bool bZip64)
{
    std::vector<std::pair<std::size_t, int>> fields;
    for (std::size_t nOff : {4, 6, 8, 10, 12, 16, 20})
        fields.push_back({layout.nEnd + nOff, nOff < 12 || nOff == 20 ? 2 : 4});
    for (std::size_t nRec : layout.aCentral) {
        for (std::size_t nOff : {8, 10, 28, 30, 32, 34})
            fields.push_back({nRec + nOff, 2});
        for (std::size_t nOff : {16, 20, 24, 38, 42})
            fields.push_back({nRec + nOff, 4});
    }
    for (std::size_t nRec : layout.aLocal) {
        for (std::size_t nOff : {6, 8, 26, 28})
            fields.push_back({nRec + nOff, 2});
        for (std::size_t nOff : {14, 18, 22})
            fields.push_back({nRec + nOff, 4});
    }
    if (!bZip64)
        return fields;
    for (std::size_t nOff : {16, 20})
        fields.push_back({layout.nZip64End + nOff, 4});
    for (std::size_t nOff : {4, 24, 32, 40, 48})
        fields.push_back({layout.nZip64End + nOff, 8});
    fields.push_back({layout.nZip64Locator + 4, 4});
    fields.push_back({layout.nZip64Locator + 8, 8});
    fields.push_back({layout.nZip64Locator + 16, 4});
    // The zip64 blocks lead each extra field: its size, then the values.
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i].bZip64)
            continue;
        const std::size_t nCentral = layout.aCentral[i] + 46 + items[i].strName.size();
        const std::size_t nLocal = layout.aLocal[i] + 30 + items[i].strName.size();
        fields.push_back({nCentral + 2, 2});
        fields.push_back({nLocal + 2, 2});
        for (std::size_t nOff : {4, 12, 20})
            fields.push_back({nCentral + nOff, 8});
        for (std::size_t nOff : {4, 12})
            fields.push_back({nLocal + nOff, 8});
    }
    return fields;
}

void RunDamage(const std::vector<SItemSpec>& items, bool bZip64, int nMinOpened)
{
    SLayout layout;
    const std::string original = BuildArchive(items, "comment", "", &layout, bZip64);
    CScratchFolder scratch("damage");
    const std::string strOuter = scratch / "outer";
    const std::string strTarget = strOuter + "\\target";
    ASSERT_TRUE(::CreateDirectoryA(strOuter.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(strTarget.c_str(), nullptr));
    const std::set<std::string> rootBefore = RootListing();
    CDamageRunner runner(items);
    {
        CCurrentFolder cwd(strTarget);
        ASSERT_TRUE(cwd.Ok());

        // The original itself unpacks completely.
        runner.Exercise(original, false, true, "nothing", 0);
        ASSERT_EQ(runner.Run().nUnpacked, 5) << "the undamaged archive must unpack";

        for (std::size_t n = 0; n < original.size(); ++n)
            runner.Exercise(original.substr(0, n), false, n % 8 == 0, "truncation", n);

        std::uint32_t nSeed = 2024;
        for (int k = 0; k < 4000; ++k) {
            nSeed = nSeed * 1664525u + 1013904223u;
            const std::size_t nAt = (nSeed >> 8) % original.size();
            nSeed = nSeed * 1664525u + 1013904223u;
            const char cNew = static_cast<char>(1 + ((nSeed >> 16) % 255));
            std::string damaged = original;
            damaged[nAt] = static_cast<char>(damaged[nAt] ^ cNew);
            runner.Exercise(damaged, true, k % 4 == 0, "byte change", nAt);
        }

        for (const auto& field : ForgeableFields(items, layout, bZip64)) {
            const std::uint64_t nOld = field.second == 8   ? Get64(original, field.first)
                                       : field.second == 4 ? Get32(original, field.first)
                                                           : static_cast<unsigned char>(original[field.first]) |
                                                                 (static_cast<unsigned char>(original[field.first + 1]) << 8);
            const std::uint64_t aValues[] = {0,
                                             1,
                                             0xFFFFFFFF,
                                             0x7FFFFFFF,
                                             0x80000000,
                                             0xFFFF,
                                             0x8000,
                                             original.size(),
                                             original.size() - 1,
                                             nOld + 1,
                                             nOld - 1,
                                             nOld + 16384,
                                             nOld * 2,
                                             1000000,
                                             0x100000000ULL + nOld,
                                             0x7FFFFFFFFFFFFFFFULL,
                                             0xFFFFFFFFFFFFFFFFULL};
            for (std::uint64_t v : aValues) {
                std::string forged = original;
                if (field.second == 8)
                    Put64(forged, field.first, v);
                else if (field.second == 4)
                    Put32(forged, field.first, static_cast<std::uint32_t>(v));
                else
                    Put16(forged, field.first, static_cast<std::uint16_t>(v));
                runner.Exercise(forged, false, true, "forged field", field.first);
            }
        }
    }
    EXPECT_EQ(runner.Run().nFailures, 0);
    EXPECT_GT(runner.Run().nOpened, nMinOpened);

    // Nothing outside the target: the scratch folder holds only outer\target and what lies below it, and
    // the drive's root is unchanged.
    for (const std::string& strEntry : scratch.Tree()) {
        if (strEntry == "outer\\")
            continue;
        EXPECT_EQ(strEntry.compare(0, 13, "outer\\target\\"), 0) << strEntry;
    }
    EXPECT_EQ(RootListing(), rootBefore);
}

} // namespace

TEST(ZipDamage, EveryCallAnswersAndNothingLeavesTheTarget)
{
    RunDamage(SmallItems(), false, 3000);
}

TEST(ZipDamage, Zip64RecordsAndBlocksToo)
{
    std::vector<SItemSpec> items = SmallItems();
    for (std::size_t i : {0, 1, 3})
        items[i].bZip64 = true;
    RunDamage(items, true, 3000);
}
