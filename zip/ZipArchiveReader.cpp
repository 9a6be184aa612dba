#include "zip/ZipArchiveReader.h"

#include "zip/ZipBytes.h"
#include "zip/ZipExtraFields.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace ZipInternal {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kDirSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kDirRecordSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kZip64EndSize = 56; // without extensible data
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::int64_t kEndSearchSpan = 65535;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8Name = 0x0800;
constexpr unsigned kOutputPiece = 16384;

DWORD AttributesFromExternal(std::uint32_t x)
{
    DWORD a = FILE_ATTRIBUTE_NORMAL;
    if ((x & 0x40000000) || (x & 0x10))
        a |= FILE_ATTRIBUTE_DIRECTORY;
    if (x & 0x20)
        a |= FILE_ATTRIBUTE_ARCHIVE;
    if (x & 0x02)
        a |= FILE_ATTRIBUTE_HIDDEN;
    if (!(x & 0x800000) || (x & 0x01))
        a |= FILE_ATTRIBUTE_READONLY;
    if (x & 0x04)
        a |= FILE_ATTRIBUTE_SYSTEM;
    return a;
}

// Sizes of 2 GiB or more do not fit the record's signed 32-bit fields.
std::int32_t ClampedSize(std::uint64_t n)
{
    return n > static_cast<std::uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(n);
}

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// A classic end-record field of a zip64 archive holds the marker or the low bits of the zip64 value.
bool ClassicAgrees(std::uint64_t nClassic, std::uint64_t nMarker, std::uint64_t nValue)
{
    return nClassic == nMarker || nClassic == (nValue & nMarker);
}

} // namespace

std::unique_ptr<CZipReader> CZipReader::Open(const void* pSource, DWORD nLength, int kind, ZipResult& result)
{
    std::unique_ptr<CZipReader> pReader(new (std::nothrow) CZipReader());
    if (!pReader) {
        result = ZipNoMemory;
        return nullptr;
    }
    // The base folder for the folders and files of unpacked items. A current folder too long to take the
    // backslash leaves it empty; unpacking to files then fails instead of writing elsewhere.
    wchar_t szBase[MAX_PATH];
    const DWORD nBase = ::GetCurrentDirectoryW(MAX_PATH, szBase);
    if (nBase > 0 && nBase < MAX_PATH - 1) {
        pReader->m_strBase.assign(szBase, nBase);
        if (!IsSeparator(pReader->m_strBase.back()))
            pReader->m_strBase += L'\\';
    }

    pReader->m_bZoneKnown = ::GetTimeZoneInformation(&pReader->m_zone) != TIME_ZONE_ID_INVALID;

    if (!pSource) {
        result = ZipBadArgs;
        return nullptr;
    }
    switch (kind) {
    case ZipKindHandle:
        result = pReader->m_source.OpenHandle(static_cast<HANDLE>(const_cast<void*>(pSource)));
        break;
    case ZipKindFile:
        result = pReader->m_source.OpenFile(SkinUI::GbkToWide(static_cast<const char*>(pSource)).c_str());
        break;
    case ZipKindFileW:
        result = pReader->m_source.OpenFile(static_cast<const wchar_t*>(pSource));
        break;
    case ZipKindMemory:
        pReader->m_source.OpenMemory(pSource, nLength);
        result = ZipOk;
        break;
    default:
        result = ZipBadArgs;
        break;
    }
    if (result != ZipOk)
        return nullptr;
    if (!pReader->LocateDirectory(result))
        return nullptr;
    pReader->GoToFirst();
    return pReader;
}

CZipReader::~CZipReader()
{
    CloseItem();
    m_source.Close();
}

bool CZipReader::LocateDirectory(ZipResult& result)
{
    result = ZipCorrupt;
    const std::int64_t nLength = m_source.Length();
    if (nLength < static_cast<std::int64_t>(kEndRecordSize))
        return false;

    // Search backwards over the last 64 KB in blocks of 1028 bytes stepping by 1024, so that a signature
    // cut by a block border is still seen; the hit nearest to the end wins.
    const std::int64_t nMaxBack = std::min(kEndSearchSpan, nLength);
    unsigned char aBlock[1028];
    std::int64_t nBack = 4;
    std::int64_t nFound = -1;
    while (nBack < nMaxBack && nFound < 0) {
        nBack = std::min(nBack + 1024, nMaxBack);
        const std::int64_t nReadPos = nLength - nBack;
        const std::size_t nReadSize = static_cast<std::size_t>(std::min<std::int64_t>(1028, nLength - nReadPos));
        if (!m_source.ReadAt(nReadPos, aBlock, nReadSize))
            return false;
        for (std::size_t i = nReadSize - 3; i-- > 0;) {
            if (Get32(aBlock + i) == kEndSignature) {
                nFound = nReadPos + static_cast<std::int64_t>(i);
                break;
            }
        }
    }
    // A record at position 0 would be an archive without items, which is no archive to read.
    if (nFound <= 0)
        return false;

    unsigned char aEnd[kEndRecordSize];
    if (!m_source.ReadAt(nFound, aEnd, sizeof(aEnd)))
        return false;
    if (Get16(aEnd + 8) != Get16(aEnd + 10))
        return false;
    // Zip64 archives put a locator right in front of the end record; the classic fields then hold markers
    // or the low bits of the zip64 values.
    unsigned char aLocator[kZip64LocatorSize];
    if (nFound >= static_cast<std::int64_t>(kZip64LocatorSize) &&
        m_source.ReadAt(nFound - static_cast<std::int64_t>(kZip64LocatorSize), aLocator, sizeof(aLocator)) &&
        Get32(aLocator) == kZip64LocatorSignature) {
        if (!ReadZip64End(nFound, aEnd, aLocator))
            return false;
    } else {
        if (Get16(aEnd + 4) != 0 || Get16(aEnd + 6) != 0)
            return false;
        m_nDirSize = Get32(aEnd + 12);
        m_nDirOffset = Get32(aEnd + 16);
        const std::int64_t nDirEnd = static_cast<std::int64_t>(m_nDirOffset + m_nDirSize);
        // Positions count from the source's start offset, so the bytes in front of the archive are simply
        // what lies between the directory's declared end and the end record.
        if (nFound < nDirEnd)
            return false;
        m_nPrefix = nFound - nDirEnd;
        m_nItems = Get16(aEnd + 10);
    }
    if (!WalkDirectory())
        return false;
    result = ZipOk;
    return true;
}

// The zip64 end record: it lies right in front of its locator (at the locator's offset plus the prefix)
// and the directory ends right in front of it, as in the classic layout. Every value is checked against the
// others and against the record's position before any of it is used, so a forged one is refused instead of
// being followed out of the source.
bool CZipReader::ReadZip64End(std::int64_t nEndPos, const unsigned char* pEnd, const unsigned char* pLocator)
{
    const std::uint64_t nRecordOffset = Get64(pLocator + 8);
    // The disk holding the record, and the number of disks (1; 0 from some writers).
    if (Get32(pLocator + 4) != 0 || Get32(pLocator + 16) > 1)
        return false;
    const std::int64_t nLocatorPos = nEndPos - static_cast<std::int64_t>(kZip64LocatorSize);
    if (nLocatorPos < static_cast<std::int64_t>(kZip64EndSize))
        return false;
    // Usually the record has no extensible data and so starts 56 bytes before the locator, whatever the
    // prefix; a longer record is found at the locator's offset (an archive without a prefix).
    unsigned char a[kZip64EndSize];
    std::int64_t nRecordPos = nLocatorPos - static_cast<std::int64_t>(kZip64EndSize);
    if (!m_source.ReadAt(nRecordPos, a, sizeof(a)) || Get32(a) != kZip64EndSignature ||
        Get64(a + 4) != kZip64EndSize - 12) {
        if (nRecordOffset > static_cast<std::uint64_t>(nRecordPos))
            return false;
        nRecordPos = static_cast<std::int64_t>(nRecordOffset);
        if (!m_source.ReadAt(nRecordPos, a, sizeof(a)) || Get32(a) != kZip64EndSignature ||
            Get64(a + 4) != static_cast<std::uint64_t>(nLocatorPos - nRecordPos) - 12)
            return false;
    }
    const std::uint64_t nItemsHere = Get64(a + 24);
    const std::uint64_t nItems = Get64(a + 32);
    const std::uint64_t nDirSize = Get64(a + 40);
    const std::uint64_t nDirOffset = Get64(a + 48);
    if (Get32(a + 16) != 0 || Get32(a + 20) != 0 || nItemsHere != nItems)
        return false;
    if (!ClassicAgrees(Get16(pEnd + 4), 0xFFFF, 0) || !ClassicAgrees(Get16(pEnd + 6), 0xFFFF, 0) ||
        !ClassicAgrees(Get16(pEnd + 10), 0xFFFF, nItems) || !ClassicAgrees(Get32(pEnd + 12), 0xFFFFFFFF, nDirSize) ||
        !ClassicAgrees(Get32(pEnd + 16), 0xFFFFFFFF, nDirOffset))
        return false;
    // The directory lies in front of the record, and the locator names the record where the directory ends.
    const std::uint64_t nBefore = static_cast<std::uint64_t>(nRecordPos);
    if (nDirSize > nBefore || nDirOffset > nBefore - nDirSize || nRecordOffset != nDirOffset + nDirSize)
        return false;
    // Every record takes at least 46 bytes, and an item's index is a signed 32-bit number.
    if (nItems > static_cast<std::uint64_t>(INT_MAX) || nItems > nDirSize / kDirRecordSize)
        return false;
    m_nDirSize = nDirSize;
    m_nDirOffset = nDirOffset;
    m_nPrefix = nRecordPos - static_cast<std::int64_t>(nDirOffset + nDirSize);
    m_nItems = static_cast<int>(nItems);
    return true;
}

// Walks the whole directory: its records must fill exactly the declared size, and their number must be
// the declared count. Otherwise items would silently go missing (the walk stops at the count) or records
// past the declared end would be taken for items. Every record's sizes and offset must be readable (zip64
// blocks where marked) and place the item in front of the directory; their sums are the archive's totals.
bool CZipReader::WalkDirectory()
{
    const std::uint64_t nDirEnd = m_nDirOffset + m_nDirSize;
    std::uint64_t nPos = m_nDirOffset;
    for (int i = 0; i < m_nItems; ++i) {
        SZipDirRecord r;
        if (nPos + kDirRecordSize > nDirEnd || !ReadRecordAt(static_cast<std::int64_t>(nPos), r))
            return false;
        if (r.nLocalOffset > m_nDirOffset || m_nDirOffset - r.nLocalOffset < kLocalHeaderSize ||
            r.nCompressed > m_nDirOffset - r.nLocalOffset - kLocalHeaderSize)
            return false;
        m_nTotalCompressed = SaturatingAdd(m_nTotalCompressed, r.nCompressed);
        m_nTotalUncompressed = SaturatingAdd(m_nTotalUncompressed, r.nUncompressed);
        nPos += kDirRecordSize + r.nNameLength + r.nExtraLength + r.nCommentLength;
    }
    return nPos == nDirEnd;
}

bool CZipReader::ReadRecordAt(std::int64_t nPos, SZipDirRecord& r)
{
    unsigned char a[kDirRecordSize];
    if (!m_source.ReadAt(nPos + m_nPrefix, a, sizeof(a)) || Get32(a) != kDirSignature)
        return false;
    r.nVersionMadeBy = Get16(a + 4);
    r.nVersionNeeded = Get16(a + 6);
    r.nFlags = Get16(a + 8);
    r.nMethod = Get16(a + 10);
    r.nDosDateTime = Get32(a + 12);
    r.nCrc = Get32(a + 16);
    r.nCompressed = Get32(a + 20);
    r.nUncompressed = Get32(a + 24);
    r.nNameLength = Get16(a + 28);
    r.nExtraLength = Get16(a + 30);
    r.nCommentLength = Get16(a + 32);
    r.nDiskStart = Get16(a + 34);
    r.nInternalAttributes = Get16(a + 36);
    r.nExternalAttributes = Get32(a + 38);
    r.nLocalOffset = Get32(a + 42);
    const bool bUncompressed = r.nUncompressed == kZip64Marker32;
    const bool bCompressed = r.nCompressed == kZip64Marker32;
    const bool bOffset = r.nLocalOffset == kZip64Marker32;
    const bool bDisk = r.nDiskStart == kZip64Marker16;
    if (!bUncompressed && !bCompressed && !bOffset && !bDisk)
        return true;
    std::vector<unsigned char> aExtra(r.nExtraLength);
    SZip64Fields fields;
    if (aExtra.empty() ||
        !m_source.ReadAt(nPos + m_nPrefix + static_cast<std::int64_t>(kDirRecordSize) + r.nNameLength, aExtra.data(),
                         aExtra.size()) ||
        !ResolveZip64(aExtra.data(), aExtra.size(), bUncompressed, bCompressed, bOffset, bDisk, fields))
        return false;
    if (bUncompressed)
        r.nUncompressed = fields.nUncompressed;
    if (bCompressed)
        r.nCompressed = fields.nCompressed;
    if (bOffset)
        r.nLocalOffset = fields.nLocalOffset;
    // The reader reads single-disk archives only.
    if (bDisk && fields.nDisk != 0)
        return false;
    return true;
}

bool CZipReader::GoToFirst()
{
    m_cursor.iItem = 0;
    m_cursor.nPos = static_cast<std::int64_t>(m_nDirOffset);
    m_cursor.bValid = m_nItems > 0 && ReadRecordAt(m_cursor.nPos, m_cursor.record);
    return m_cursor.bValid;
}

bool CZipReader::GoToNext()
{
    if (!m_cursor.bValid || m_cursor.iItem + 1 >= m_nItems)
        return false;
    const SZipDirRecord& r = m_cursor.record;
    m_cursor.nPos += static_cast<std::int64_t>(kDirRecordSize) + r.nNameLength + r.nExtraLength + r.nCommentLength;
    ++m_cursor.iItem;
    m_cursor.bValid = ReadRecordAt(m_cursor.nPos, m_cursor.record);
    return m_cursor.bValid;
}

bool CZipReader::GoTo(int iItem)
{
    if (!m_cursor.bValid || iItem < m_cursor.iItem) {
        if (!GoToFirst())
            return false;
    }
    while (m_cursor.iItem < iItem) {
        if (!GoToNext())
            return false;
    }
    return m_cursor.bValid;
}

bool CZipReader::ReadNameAndExtra(std::string& strRaw, std::string& strExtra)
{
    const SZipDirRecord& r = m_cursor.record;
    std::string strBoth(static_cast<std::size_t>(r.nNameLength) + r.nExtraLength, '\0');
    if (!strBoth.empty() &&
        !m_source.ReadAt(m_cursor.nPos + m_nPrefix + static_cast<std::int64_t>(kDirRecordSize), &strBoth[0],
                         strBoth.size()))
        return false;
    strRaw.assign(strBoth, 0, r.nNameLength);
    strExtra.assign(strBoth, r.nNameLength, std::string::npos);
    // A name is never cut by a NUL inside it: a cut name would write another file.
    return strRaw.find('\0') == std::string::npos;
}

bool CZipReader::ReadName(SItemName& name, std::string* pExtra, std::size_t nMaxGbk)
{
    std::string strRaw, strExtra;
    if (!ReadNameAndExtra(strRaw, strExtra))
        return false;
    const bool bUtf8 = (m_cursor.record.nFlags & kFlagUtf8Name) != 0;
    std::string strUnicodePath;
    const bool bUnicodePath =
        !bUtf8 && UnicodePathName(reinterpret_cast<const unsigned char*>(strExtra.data()), strExtra.size(),
                                  strRaw.data(), strRaw.size(), strUnicodePath);
    // Nor is a name cut at the end: one that does not fit is no name.
    if (!DecodeItemName(strRaw.data(), strRaw.size(), bUtf8, bUnicodePath ? &strUnicodePath : nullptr, name) ||
        name.strGbk.size() >= nMaxGbk)
        return false;
    if (pExtra)
        *pExtra = std::move(strExtra);
    return true;
}

bool CZipReader::CheckLocalHeader(std::int64_t* pnDataPos, std::uint16_t* pnExtraLength)
{
    const SZipDirRecord& r = m_cursor.record;
    unsigned char a[kLocalHeaderSize];
    const std::int64_t nLocal = static_cast<std::int64_t>(r.nLocalOffset);
    if (!m_source.ReadAt(nLocal + m_nPrefix, a, sizeof(a)) || Get32(a) != kLocalSignature)
        return false;
    const std::uint16_t nFlags = Get16(a + 6);
    const std::uint16_t nMethod = Get16(a + 8);
    if (nMethod != r.nMethod || (nMethod != 0 && nMethod != 8))
        return false;
    // Stored data is its own size: differing sizes can only be a forgery.
    if (nMethod == 0 && r.nCompressed != r.nUncompressed)
        return false;
    if (Get16(a + 26) != r.nNameLength)
        return false;
    const std::uint16_t nExtra = Get16(a + 28);
    const std::int64_t nExtraPos = nLocal + m_nPrefix + static_cast<std::int64_t>(kLocalHeaderSize) + r.nNameLength;
    if (!(nFlags & kFlagDataDescriptor)) {
        std::uint64_t nCompressed = Get32(a + 18);
        std::uint64_t nUncompressed = Get32(a + 22);
        if (nCompressed == kZip64Marker32 || nUncompressed == kZip64Marker32) {
            // A local zip64 block holds both sizes, uncompressed first.
            std::vector<unsigned char> aExtra(nExtra);
            SZip64Fields fields;
            if (aExtra.empty() || !m_source.ReadAt(nExtraPos, aExtra.data(), aExtra.size()) ||
                !ResolveZip64(aExtra.data(), aExtra.size(), true, true, false, false, fields))
                return false;
            if (nUncompressed == kZip64Marker32)
                nUncompressed = fields.nUncompressed;
            if (nCompressed == kZip64Marker32)
                nCompressed = fields.nCompressed;
        }
        if (Get32(a + 14) != r.nCrc || nCompressed != r.nCompressed || nUncompressed != r.nUncompressed)
            return false;
    }
    // The same name in both places: tools that read only one of them would otherwise show another file.
    if (r.nNameLength > 0) {
        std::vector<unsigned char> aNames(2 * static_cast<std::size_t>(r.nNameLength));
        unsigned char* pCentral = aNames.data();
        unsigned char* pLocal = pCentral + r.nNameLength;
        if (!m_source.ReadAt(m_cursor.nPos + m_nPrefix + static_cast<std::int64_t>(kDirRecordSize), pCentral,
                             r.nNameLength) ||
            !m_source.ReadAt(nLocal + m_nPrefix + static_cast<std::int64_t>(kLocalHeaderSize), pLocal, r.nNameLength) ||
            std::memcmp(pCentral, pLocal, r.nNameLength) != 0)
            return false;
    }
    *pnExtraLength = nExtra;
    *pnDataPos = nLocal + static_cast<std::int64_t>(kLocalHeaderSize) + r.nNameLength + nExtra;
    return true;
}

ZipResult CZipReader::MakeRecord(ZipItemInfo& info)
{
    const SZipDirRecord& r = m_cursor.record;
    ZipItemInfo made = {};
    SItemName name;
    std::string strCentralExtra;
    if (!ReadName(name, &strCentralExtra, sizeof(made.szName)))
        return ZipCorrupt;
    std::memcpy(made.szName, name.strGbk.data(), name.strGbk.size());
    std::int64_t nDataPos = 0;
    std::uint16_t nExtra = 0;
    if (!CheckLocalHeader(&nDataPos, &nExtra))
        return ZipCorrupt;
    std::vector<unsigned char> aExtra(nExtra);
    if (nExtra > 0 && !m_source.ReadAt(nDataPos - nExtra + m_nPrefix, aExtra.data(), nExtra))
        return ZipReadFailed;

    made.iIndex = m_cursor.iItem;
    made.nCompressedSize = ClampedSize(r.nCompressed);
    made.nUncompressedSize = ClampedSize(r.nUncompressed);
    made.dwAttributes = AttributesFromExternal(r.nExternalAttributes);
    // Some writers give folders no folder attribute; their names still end in a separator.
    if (EndsWithSeparator(name.strWide))
        made.dwAttributes |= FILE_ATTRIBUTE_DIRECTORY;
    // DOS times are the local time of the machine that wrote them; an extended timestamp (local field) or
    // NTFS times (local field, else the central one) are UTC and more exact.
    SItemTimes times;
    times.ftModify = times.ftAccess = times.ftCreation = DosLocalTimeToFileTime(r.nDosDateTime, m_bZoneKnown ? &m_zone : nullptr);
    ApplyUnixTimes(aExtra.data(), aExtra.size(), times);
    if (!ApplyNtfsTimes(aExtra.data(), aExtra.size(), times))
        ApplyNtfsTimes(reinterpret_cast<const unsigned char*>(strCentralExtra.data()), strCentralExtra.size(), times);
    made.ftModifyTime = times.ftModify;
    made.ftAccessTime = times.ftAccess;
    made.ftCreationTime = times.ftCreation;

    info = made;
    m_cached = made;
    m_iCached = made.iIndex;
    m_strCachedName = std::move(name.strWide);
    m_cachedRecord = r;
    return ZipOk;
}

ZipResult CZipReader::GetItem(int iIndex, ZipItemInfo* pInfo)
{
    if (!pInfo || iIndex < -1 || iIndex >= m_nItems)
        return ZipBadArgs;
    CloseItem();
    if (iIndex == -1) {
        *pInfo = ZipItemInfo{};
        pInfo->iIndex = m_nItems;
        return ZipOk;
    }
    if (iIndex == m_iCached) {
        *pInfo = m_cached;
        return ZipOk;
    }
    if (!GoTo(iIndex))
        return ZipCorrupt;
    return MakeRecord(*pInfo);
}

ZipResult CZipReader::GetItemSizes(int iIndex, std::uint64_t* pnCompressed, std::uint64_t* pnUncompressed)
{
    std::uint64_t nCompressed = m_nTotalCompressed, nUncompressed = m_nTotalUncompressed;
    if (iIndex != -1) {
        // The item's record first: sizes are given only for an item that passes its checks.
        ZipItemInfo info;
        const ZipResult nResult = GetItem(iIndex, &info);
        if (nResult != ZipOk)
            return nResult;
        nCompressed = m_cachedRecord.nCompressed;
        nUncompressed = m_cachedRecord.nUncompressed;
    } else {
        CloseItem();
    }
    if (pnCompressed)
        *pnCompressed = nCompressed;
    if (pnUncompressed)
        *pnUncompressed = nUncompressed;
    return ZipOk;
}

ZipResult CZipReader::GetItemName(int iIndex, wchar_t* pBuffer, unsigned nCapacity, unsigned* pnLength)
{
    if (pnLength)
        *pnLength = 0;
    if (pBuffer && nCapacity > 0)
        pBuffer[0] = L'\0';
    if (iIndex < 0)
        return ZipBadArgs;
    ZipItemInfo info;
    const ZipResult nResult = GetItem(iIndex, &info);
    if (nResult != ZipOk)
        return nResult;
    const std::size_t nName = m_strCachedName.size();
    if (pnLength)
        *pnLength = static_cast<unsigned>(nName);
    if (!pBuffer)
        return ZipOk;
    if (nName >= nCapacity)
        return ZipBadArgs;
    std::memcpy(pBuffer, m_strCachedName.c_str(), (nName + 1) * sizeof(wchar_t));
    return ZipOk;
}

ZipResult CZipReader::FindItem(const char* pstrName, bool bIgnoreCase, int* piIndex, ZipItemInfo* pInfo)
{
    if (!pstrName || !piIndex)
        return ZipBadArgs;
    CloseItem();
    *piIndex = -1;
    const std::size_t nWanted = ::strnlen(pstrName, 256);
    if (nWanted < 256) {
        const SCursor saved = m_cursor;
        for (bool bAt = GoToFirst(); bAt; bAt = GoToNext()) {
            SItemName name;
            if (ReadName(name, nullptr, MAX_PATH) &&
                NamesEqual(name.strGbk.data(), name.strGbk.size(), pstrName, nWanted, bIgnoreCase)) {
                *piIndex = m_cursor.iItem;
                return pInfo ? GetItem(m_cursor.iItem, pInfo) : ZipOk;
            }
        }
        m_cursor = saved;
    }
    if (pInfo) {
        *pInfo = ZipItemInfo{};
        pInfo->iIndex = -1;
    }
    return ZipNotFound;
}

ZipResult CZipReader::OpenItem()
{
    CloseItem();
    std::int64_t nDataPos = 0;
    std::uint16_t nExtra = 0;
    if (!m_cursor.bValid || !CheckLocalHeader(&nDataPos, &nExtra))
        return ZipCorrupt;
    const SZipDirRecord& r = m_cursor.record;
    // The data lies inside the archive: nothing is read beyond the end of its directory.
    const std::uint64_t nDirEnd = m_nDirOffset + m_nDirSize;
    if (static_cast<std::uint64_t>(nDataPos) > nDirEnd || r.nCompressed > nDirEnd - static_cast<std::uint64_t>(nDataPos))
        return ZipCorrupt;
    std::unique_ptr<CZipItemStream> pItem(new (std::nothrow) CZipItemStream(m_source, m_nPrefix));
    if (!pItem || !pItem->Open(r.nMethod, nDataPos, r.nCompressed, r.nUncompressed, r.nCrc))
        return ZipNoMemory;
    m_pItem = std::move(pItem);
    return ZipOk;
}

void CZipReader::CloseItem()
{
    m_pItem.reset();
    m_iKeptOpen = -1;
}

ZipResult CZipReader::UnzipItem(int iIndex, void* pDest, DWORD nLength, int kind)
{
    switch (kind) {
    case ZipKindHandle:
    case ZipKindFile:
    case ZipKindFileW:
        return UnzipToFile(iIndex, pDest, kind, nullptr, nullptr, nullptr);
    case ZipKindMemory:
        return UnzipToMemory(iIndex, pDest, nLength);
    default:
        CloseItem();
        return ZipBadArgs;
    }
}

ZipResult CZipReader::UnzipItemEx(int iIndex, void* pDest, int kind, ZipProgressProc pfnProgress, void* pContext,
                                  std::uint64_t* pnWritten)
{
    if (pnWritten)
        *pnWritten = 0;
    if (kind != ZipKindHandle && kind != ZipKindFile && kind != ZipKindFileW) {
        CloseItem();
        return ZipBadArgs;
    }
    return UnzipToFile(iIndex, pDest, kind, pfnProgress, pContext, pnWritten);
}

ZipResult CZipReader::UnzipToFile(int iIndex, void* pDest, int kind, ZipProgressProc pfnProgress, void* pContext,
                                  std::uint64_t* pnWritten)
{
    CloseItem();
    if (iIndex < 0 || iIndex >= m_nItems || !pDest || pDest == INVALID_HANDLE_VALUE)
        return ZipBadArgs;
    // Destinations are checked as the UTF-16 names they become.
    std::wstring strDest;
    if (kind == ZipKindFile)
        strDest = SkinUI::GbkToWide(static_cast<const char*>(pDest));
    else if (kind == ZipKindFileW)
        strDest = static_cast<const wchar_t*>(pDest);
    if (kind != ZipKindHandle && !IsContainedName(strDest))
        return ZipBadArgs;
    if (!GoTo(iIndex))
        return ZipCorrupt;
    ZipItemInfo info;
    const ZipResult nRecord = GetItem(iIndex, &info);
    if (nRecord != ZipOk)
        return nRecord;
    const std::wstring strItemName = m_strCachedName;
    // The item's own GBK name stands for its exact name, which GBK may not hold.
    if (kind == ZipKindFile && std::strcmp(static_cast<const char*>(pDest), info.szName) == 0) {
        strDest = strItemName;
        if (!IsContainedName(strDest))
            return ZipBadArgs;
    }

    if (info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (kind == ZipKindHandle)
            return ZipOk;
        std::wstring strPath;
        if (!IsContainedName(strItemName))
            return ZipBadArgs;
        if (!ComposePath(m_strBase, EndsWithSeparator(strItemName) ? strItemName : strItemName + L'/', strPath))
            return ZipOpenFileFailed;
        MakeFolders(strPath, m_strBase.size());
        return ZipOk;
    }

    // GetItem leaves the cursor on the item (it was moved there above when the record came from the cache).
    // The item is opened before its destination is made, so that a refused item leaves no empty file.
    const ZipResult nOpened = OpenItem();
    if (nOpened != ZipOk)
        return nOpened;
    const std::uint64_t nTotal = m_cursor.record.nUncompressed;
    HANDLE hOut = static_cast<HANDLE>(pDest);
    if (kind != ZipKindHandle) {
        // Folders are made below the base folder; the file name is used as given, so a relative name is
        // resolved against the current folder (callers keep it at the base folder while they unpack).
        const std::size_t nSlash = strDest.find_last_of(L"/\\");
        std::wstring strPath;
        if (nSlash != std::wstring::npos && nSlash > 0) {
            if (!ComposePath(m_strBase, strDest.substr(0, nSlash + 1), strPath)) {
                CloseItem();
                return ZipOpenFileFailed;
            }
            MakeFolders(strPath, m_strBase.size());
        }
        hOut = ::CreateFileW(strDest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hOut == INVALID_HANDLE_VALUE) {
            CloseItem();
            return ZipOpenFileFailed;
        }
    }

    std::unique_ptr<unsigned char[]> pBuffer(new (std::nothrow) unsigned char[kOutputPiece]);
    bool bFailed = !pBuffer;
    bool bCancelled = false;
    std::uint64_t nWritten = 0;
    while (!bFailed) {
        const std::int64_t nRead = m_pItem->Read(pBuffer.get(), kOutputPiece);
        if (nRead < 0) {
            bFailed = true;
            break;
        }
        if (nRead == 0) {
            bFailed = !m_pItem->CompleteAndIntact();
            break;
        }
        DWORD nDone = 0;
        if (!::WriteFile(hOut, pBuffer.get(), static_cast<DWORD>(nRead), &nDone, nullptr) ||
            nDone != static_cast<DWORD>(nRead)) {
            nWritten += nDone;
            bFailed = true;
            break;
        }
        nWritten += nDone;
        if (pfnProgress && !pfnProgress(pContext, nWritten, nTotal)) {
            bCancelled = true;
            break;
        }
    }
    if (!bFailed && !bCancelled && ::GetFileType(hOut) == FILE_TYPE_DISK)
        ::SetFileTime(hOut, &info.ftCreationTime, &info.ftAccessTime, &info.ftModifyTime);
    if (kind != ZipKindHandle)
        ::CloseHandle(hOut);
    CloseItem();
    if (pnWritten)
        *pnWritten = nWritten;
    return bCancelled ? ZipCancelled : bFailed ? ZipWriteFailed : ZipOk;
}

ZipResult CZipReader::UnzipToMemory(int iIndex, void* pDest, DWORD nLength)
{
    if (!pDest && nLength > 0) {
        CloseItem();
        return ZipBadArgs;
    }
    if (iIndex != m_iKeptOpen || !m_pItem) {
        CloseItem();
        if (iIndex < 0 || iIndex >= m_nItems)
            return ZipBadArgs;
        if (!GoTo(iIndex))
            return ZipCorrupt;
        const ZipResult nOpened = OpenItem();
        if (nOpened != ZipOk)
            return nOpened;
        m_iKeptOpen = iIndex;
    }
    if (nLength == 0 && m_pItem->Remaining() > 0) {
        // An empty block would end the protocol with ZipOk while data is left.
        CloseItem();
        return ZipBadArgs;
    }
    const std::int64_t nRead = m_pItem->Read(pDest, nLength);
    if (nRead > 0)
        return ZipMoreData;
    const bool bIntact = nRead == 0 && m_pItem->CompleteAndIntact();
    CloseItem();
    return bIntact ? ZipOk : ZipInflateFailed;
}

} // namespace ZipInternal
