// Item times: DOS times are the writer's local time, taken with the bias in force at their date; extended
// timestamps and NTFS times are UTC whatever the zone. CTest runs this under several zones (entries
// test_zip_times_*, TZ set for Wine), each with its own expectations; under another zone it is skipped.
#include "zip/ZipReader.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

using namespace ZipTest;

namespace {

struct SZone
{
    const char* pstrName;
    int nJuneOffsetMinutes; // local time minus UTC on 2021-06-15
    int nJanuaryOffsetMinutes;
};

const SZone* CurrentZone()
{
    static const SZone aZones[] = {{"UTC", 0, 0}, {"Asia/Shanghai", 480, 480}, {"Europe/Berlin", 120, 60}};
    char sz[64] = {};
    if (!::GetEnvironmentVariableA("TZ", sz, sizeof(sz)))
        return nullptr;
    for (const SZone& z : aZones) {
        if (std::string(sz) == z.pstrName)
            return &z;
    }
    return nullptr;
}

std::uint64_t Ticks(const FILETIME& ft)
{
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// 2021-MM-15 12:34:44 minus the offset, as UTC ticks.
std::uint64_t ExpectedUtc(WORD nMonth, int nOffsetMinutes)
{
    SYSTEMTIME st = {2021, nMonth, 0, 15, 12, 34, 44, 0};
    FILETIME ft;
    ::SystemTimeToFileTime(&st, &ft);
    return Ticks(ft) - static_cast<std::uint64_t>(nOffsetMinutes) * 60 * 10000000ULL;
}

std::uint64_t UnixTicks(std::int64_t t)
{
    return static_cast<std::uint64_t>(t + 11644473600LL) * 10000000ULL;
}

std::string NtfsBlock(std::uint64_t nModify, std::uint64_t nAccess, std::uint64_t nCreation)
{
    std::string s(4 + 4 + 4 + 24, '\0');
    Put16(s, 0, 0x000A);
    Put16(s, 2, 32);
    Put16(s, 8, 1);
    Put16(s, 10, 24);
    Put64(s, 12, nModify);
    Put64(s, 20, nAccess);
    Put64(s, 28, nCreation);
    return s;
}

} // namespace

TEST(ZipTimes, DosTimesAreLocalAndBlockTimesAreUtc)
{
    const SZone* pZone = CurrentZone();
    if (!pZone)
        GTEST_SKIP() << "runs under TZ=UTC, Asia/Shanghai or Europe/Berlin";
    SCOPED_TRACE(pZone->pstrName);
    const std::uint64_t nJune = ExpectedUtc(6, pZone->nJuneOffsetMinutes);
    const std::uint64_t nJanuary = ExpectedUtc(1, pZone->nJanuaryOffsetMinutes);
    const std::uint64_t nNtfsModify = UnixTicks(1600000000) + 1234567; // below a second: NTFS times are exact
    const std::uint64_t nNtfsAccess = UnixTicks(1600000100);
    const std::uint64_t nNtfsCreation = UnixTicks(1500000000);

    std::vector<SItemSpec> items(6);
    const char* const aNames[] = {"june", "january", "ut", "ntfs-local", "ntfs-central", "no-date"};
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].strName = aNames[i];
        items[i].strData = aNames[i];
        items[i].nDosDateTime = 0x52CF6456; // 2021-06-15 12:34:44
    }
    items[1].nDosDateTime = 0x522F6456; // 2021-01-15 12:34:44
    items[2].strLocalExtra = std::string("UT\x05\x00\x01", 5) + std::string("\x00\xE1\xF5\x05", 4); // 100000000
    items[3].strLocalExtra = NtfsBlock(nNtfsModify, nNtfsAccess, nNtfsCreation);
    items[4].strCentralExtra = NtfsBlock(nNtfsModify, nNtfsAccess, 0); // a zero time is not given
    items[5].nDosDateTime = 0x00006456;                                 // month 0
    const struct
    {
        std::uint64_t nModify, nAccess, nCreation;
    } aExpected[] = {
        {nJune, nJune, nJune},
        {nJanuary, nJanuary, nJanuary},
        {UnixTicks(100000000), nJune, nJune},
        {nNtfsModify, nNtfsAccess, nNtfsCreation},
        {nNtfsModify, nNtfsAccess, nJune},
        {0, 0, 0},
    };
    CScratchFolder scratch("times");
    CCurrentFolder cwd(scratch.Path());
    ASSERT_TRUE(cwd.Ok());
    CMemoryZip zip(BuildArchive(items));
    ASSERT_NE(zip.hZip, nullptr);
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        SCOPED_TRACE(aNames[i]);
        ZipItemInfo info;
        ASSERT_EQ(ZipGetItem(zip.hZip, i, &info), ZipOk);
        EXPECT_EQ(Ticks(info.ftModifyTime), aExpected[i].nModify);
        EXPECT_EQ(Ticks(info.ftAccessTime), aExpected[i].nAccess);
        EXPECT_EQ(Ticks(info.ftCreationTime), aExpected[i].nCreation);
        // The file written carries the same modification time.
        ASSERT_EQ(ZipUnzipItem(zip.hZip, i, info.szName, 0, ZipKindFile), ZipOk);
        if (aExpected[i].nModify == 0)
            continue;
        HANDLE h = ::CreateFileA((scratch / aNames[i]).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FILETIME ftWrite;
        EXPECT_TRUE(::GetFileTime(h, nullptr, nullptr, &ftWrite));
        ::CloseHandle(h);
        EXPECT_EQ(Ticks(ftWrite), aExpected[i].nModify);
    }
}
