#include "zip/ZipExtraFields.h"

#include "zip/ZipBytes.h"
#include "zip/ZipCrc.h"

#include <algorithm>

namespace ZipInternal {

namespace {

constexpr std::uint16_t kZip64Id = 0x0001;
constexpr std::uint16_t kNtfsId = 0x000A;
constexpr std::uint16_t kUnixTimeId = 0x5455;
constexpr std::uint16_t kUnicodePathId = 0x7075;

FILETIME UnixToFileTime(std::int32_t nSeconds)
{
    // 100-nanosecond units since 1601-01-01; the Unix epoch lies 11644473600 seconds later.
    const std::uint64_t nTicks =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(nSeconds) + 11644473600LL) * 10000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(nTicks & 0xFFFFFFFF);
    ft.dwHighDateTime = static_cast<DWORD>(nTicks >> 32);
    return ft;
}

} // namespace

bool FindExtraBlock(const unsigned char* pExtra, std::size_t nLength, std::uint16_t nId, const unsigned char** ppData,
                    std::size_t* pnSize)
{
    std::size_t nPos = 0;
    while (nPos + 4 <= nLength) {
        const std::size_t nSize = Get16(pExtra + nPos + 2);
        if (Get16(pExtra + nPos) == nId) {
            if (nSize > nLength - nPos - 4)
                return false;
            *ppData = pExtra + nPos + 4;
            *pnSize = nSize;
            return true;
        }
        nPos += 4 + nSize;
    }
    return false;
}

bool ResolveZip64(const unsigned char* pExtra, std::size_t nLength, bool bUncompressed, bool bCompressed,
                  bool bLocalOffset, bool bDisk, SZip64Fields& fields)
{
    const unsigned char* p = nullptr;
    std::size_t nSize = 0;
    if (!FindExtraBlock(pExtra, nLength, kZip64Id, &p, &nSize))
        return false;
    std::size_t nAt = 0;
    for (auto* pField : {bUncompressed ? &fields.nUncompressed : nullptr, bCompressed ? &fields.nCompressed : nullptr,
                         bLocalOffset ? &fields.nLocalOffset : nullptr}) {
        if (!pField)
            continue;
        if (nAt + 8 > nSize)
            return false;
        *pField = Get64(p + nAt);
        nAt += 8;
    }
    if (bDisk) {
        if (nAt + 4 > nSize)
            return false;
        fields.nDisk = Get32(p + nAt);
    }
    return true;
}

bool ApplyUnixTimes(const unsigned char* pExtra, std::size_t nLength, SItemTimes& times)
{
    std::size_t nPos = 0;
    while (nPos + 5 <= nLength) {
        const std::size_t nSize = Get16(pExtra + nPos + 2);
        if (Get16(pExtra + nPos) == kUnixTimeId) {
            const std::size_t nEnd = std::min(nLength, nPos + 4 + nSize);
            const unsigned nFlags = pExtra[nPos + 4];
            std::size_t nAt = nPos + 5;
            FILETIME* aTargets[3] = {&times.ftModify, &times.ftAccess, &times.ftCreation};
            for (int i = 0; i < 3; ++i) {
                if (!(nFlags & (1u << i)))
                    continue;
                if (nAt + 4 > nEnd)
                    break;
                *aTargets[i] = UnixToFileTime(static_cast<std::int32_t>(Get32(pExtra + nAt)));
                nAt += 4;
            }
            return true;
        }
        nPos += 4 + nSize;
    }
    return false;
}

bool ApplyNtfsTimes(const unsigned char* pExtra, std::size_t nLength, SItemTimes& times)
{
    const unsigned char* p = nullptr;
    std::size_t nSize = 0;
    if (!FindExtraBlock(pExtra, nLength, kNtfsId, &p, &nSize) || nSize < 4)
        return false;
    // 4 reserved bytes, then attributes: a 16-bit tag, a 16-bit size and their data.
    for (std::size_t nAt = 4; nAt + 4 <= nSize;) {
        const std::uint16_t nTag = Get16(p + nAt);
        const std::size_t nAttrSize = Get16(p + nAt + 2);
        if (nAttrSize > nSize - nAt - 4)
            return false;
        if (nTag == 1 && nAttrSize >= 24) {
            FILETIME* aTargets[3] = {&times.ftModify, &times.ftAccess, &times.ftCreation};
            for (int i = 0; i < 3; ++i) {
                const std::uint64_t nTicks = Get64(p + nAt + 4 + 8 * i);
                if (nTicks != 0) {
                    aTargets[i]->dwLowDateTime = static_cast<DWORD>(nTicks & 0xFFFFFFFF);
                    aTargets[i]->dwHighDateTime = static_cast<DWORD>(nTicks >> 32);
                }
            }
            return true;
        }
        nAt += 4 + nAttrSize;
    }
    return false;
}

bool UnicodePathName(const unsigned char* pExtra, std::size_t nLength, const char* pRawName, std::size_t nRawLength,
                     std::string& strUtf8)
{
    const unsigned char* p = nullptr;
    std::size_t nSize = 0;
    if (!FindExtraBlock(pExtra, nLength, kUnicodePathId, &p, &nSize) || nSize < 5 || p[0] != 1)
        return false;
    if (Get32(p + 1) != ZipCrc32(0, reinterpret_cast<const unsigned char*>(pRawName), nRawLength))
        return false;
    strUtf8.assign(reinterpret_cast<const char*>(p + 5), nSize - 5);
    return true;
}

FILETIME DosLocalTimeToFileTime(std::uint32_t nDosDateTime, const TIME_ZONE_INFORMATION* pZone)
{
    FILETIME ftLocal = {};
    SYSTEMTIME stLocal, stUtc;
    if (!::DosDateTimeToFileTime(static_cast<WORD>(nDosDateTime >> 16), static_cast<WORD>(nDosDateTime & 0xFFFF),
                                 &ftLocal) ||
        !::FileTimeToSystemTime(&ftLocal, &stLocal))
        return FILETIME{};
    // The bias in force at that date under the zone's rules, so that a summer time unpacked in winter keeps
    // its clock time; LocalFileTimeToFileTime would apply today's bias to every date.
    FILETIME ft = {};
    if (::TzSpecificLocalTimeToSystemTime(pZone, &stLocal, &stUtc) && ::SystemTimeToFileTime(&stUtc, &ft))
        return ft;
    return ::LocalFileTimeToFileTime(&ftLocal, &ft) ? ft : FILETIME{};
}

} // namespace ZipInternal
