#include "zip/ZipArchiveReader.h"

#include "zip/ZipNames.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace ZipInternal {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kDirSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kDirRecordSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::int64_t kEndSearchSpan = 65535;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8Name = 0x0800;
constexpr unsigned kOutputPiece = 16384;

std::uint16_t Get16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Get32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

FILETIME DosToFileTime(std::uint32_t nDosDateTime)
{
    FILETIME ft = {};
    if (!::DosDateTimeToFileTime(static_cast<WORD>(nDosDateTime >> 16), static_cast<WORD>(nDosDateTime & 0xFFFF), &ft))
        ft = FILETIME{};
    return ft;
}

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

// Applies the extended timestamp block ("UT") of a local extra field, if there is one.
void ApplyExtendedTimes(const unsigned char* pExtra, std::size_t nLength, ZipItemInfo& info)
{
    std::size_t nPos = 0;
    while (nPos + 5 <= nLength) {
        const std::uint16_t nId = Get16(pExtra + nPos);
        const std::size_t nSize = Get16(pExtra + nPos + 2);
        if (nId == 0x5455) {
            // Times are taken only where their 4 bytes lie inside both the block and the extra field.
            const std::size_t nEnd = std::min(nLength, nPos + 4 + nSize);
            const unsigned nFlags = pExtra[nPos + 4];
            std::size_t nAt = nPos + 5;
            FILETIME* aTargets[3] = {&info.ftModifyTime, &info.ftAccessTime, &info.ftCreationTime};
            for (int i = 0; i < 3; ++i) {
                if (!(nFlags & (1u << i)))
                    continue;
                if (nAt + 4 > nEnd)
                    break;
                *aTargets[i] = UnixToFileTime(static_cast<std::int32_t>(Get32(pExtra + nAt)));
                nAt += 4;
            }
            return;
        }
        nPos += 4 + nSize;
    }
}

} // namespace

std::unique_ptr<CZipReader> CZipReader::Open(const void* pSource, DWORD nLength, int kind, ZipResult& result)
{
    std::unique_ptr<CZipReader> pReader(new (std::nothrow) CZipReader());
    if (!pReader) {
        result = ZipNoMemory;
        return nullptr;
    }
    // The base folder for the folders of unpacked items. A current folder too long to take the backslash
    // leaves it empty; making folders then fails instead of writing elsewhere.
    char* pBase = pReader->m_szBase;
    const DWORD nBase = ::GetCurrentDirectoryA(MAX_PATH, pBase);
    if (nBase == 0 || nBase >= MAX_PATH - 1) {
        pBase[0] = '\0';
    } else if (!EndsWithSeparator(pBase, nBase)) {
        pBase[nBase] = '\\';
        pBase[nBase + 1] = '\0';
    }

    if (!pSource) {
        result = ZipBadArgs;
        return nullptr;
    }
    switch (kind) {
    case ZipKindHandle:
        result = pReader->m_source.OpenHandle(static_cast<HANDLE>(const_cast<void*>(pSource)));
        break;
    case ZipKindFile:
        result = pReader->m_source.OpenFile(static_cast<const char*>(pSource));
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
    const std::uint16_t nDisk = Get16(aEnd + 4);
    const std::uint16_t nDirDisk = Get16(aEnd + 6);
    const std::uint16_t nItemsHere = Get16(aEnd + 8);
    const std::uint16_t nItemsTotal = Get16(aEnd + 10);
    m_nDirSize = Get32(aEnd + 12);
    m_nDirOffset = Get32(aEnd + 16);
    if (nDisk != 0 || nDirDisk != 0 || nItemsHere != nItemsTotal)
        return false;
    const std::int64_t nDirEnd = static_cast<std::int64_t>(m_nDirOffset) + m_nDirSize;
    // Positions count from the source's start offset, so the bytes in front of the archive are simply
    // what lies between the directory's declared end and the end record.
    if (nFound < nDirEnd)
        return false;
    // Zip64 archives put a locator right in front of the end record; the classic fields then hold markers
    // or wrapped values, so such an archive must not be read as the classic one it resembles.
    unsigned char aLocator[4];
    if (nFound >= static_cast<std::int64_t>(kZip64LocatorSize) &&
        m_source.ReadAt(nFound - static_cast<std::int64_t>(kZip64LocatorSize), aLocator, sizeof(aLocator)) &&
        Get32(aLocator) == kZip64LocatorSignature)
        return false;
    m_nPrefix = nFound - nDirEnd;
    m_nItems = nItemsTotal;
    if (!DirectoryMatchesEndRecord())
        return false;
    result = ZipOk;
    return true;
}

// Walks the whole directory: its records must fill exactly the declared size, and their number must be
// the declared count. Otherwise items would silently go missing (the walk stops at the count) or records
// past the declared end would be taken for items.
bool CZipReader::DirectoryMatchesEndRecord()
{
    std::int64_t nPos = m_nDirOffset;
    const std::int64_t nDirEnd = static_cast<std::int64_t>(m_nDirOffset) + m_nDirSize;
    int nRecords = 0;
    while (nPos < nDirEnd) {
        unsigned char a[kDirRecordSize];
        if (nRecords >= m_nItems || nPos + static_cast<std::int64_t>(kDirRecordSize) > nDirEnd ||
            !m_source.ReadAt(nPos + m_nPrefix, a, sizeof(a)) || Get32(a) != kDirSignature)
            return false;
        nPos += static_cast<std::int64_t>(kDirRecordSize) + Get16(a + 28) + Get16(a + 30) + Get16(a + 32);
        ++nRecords;
    }
    return nPos == nDirEnd && nRecords == m_nItems;
}

bool CZipReader::ReadRecord()
{
    unsigned char a[kDirRecordSize];
    if (!m_source.ReadAt(m_cursor.nPos + m_nPrefix, a, sizeof(a)) || Get32(a) != kDirSignature)
        return false;
    SZipDirRecord& r = m_cursor.record;
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
    return true;
}

bool CZipReader::GoToFirst()
{
    m_cursor.iItem = 0;
    m_cursor.nPos = m_nDirOffset;
    m_cursor.bValid = m_nItems > 0 && ReadRecord();
    return m_cursor.bValid;
}

bool CZipReader::GoToNext()
{
    if (!m_cursor.bValid || m_cursor.iItem + 1 >= m_nItems)
        return false;
    const SZipDirRecord& r = m_cursor.record;
    m_cursor.nPos += static_cast<std::int64_t>(kDirRecordSize) + r.nNameLength + r.nExtraLength + r.nCommentLength;
    ++m_cursor.iItem;
    m_cursor.bValid = ReadRecord();
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

bool CZipReader::ReadName(char* pOut, std::size_t nCapacity, std::size_t* pnLength)
{
    const SZipDirRecord& r = m_cursor.record;
    const std::int64_t nAt = m_cursor.nPos + m_nPrefix + static_cast<std::int64_t>(kDirRecordSize);
    pOut[0] = '\0';
    *pnLength = 0;
    // A name is never cut, neither at the end nor by a NUL inside it: a cut name would write another file.
    if (r.nFlags & kFlagUtf8Name) {
        char aRaw[4 * MAX_PATH];
        if (r.nNameLength > sizeof(aRaw) || !m_source.ReadAt(nAt, aRaw, r.nNameLength) ||
            std::memchr(aRaw, 0, r.nNameLength))
            return false;
        return Utf8ToSystemName(aRaw, r.nNameLength, pOut, nCapacity, pnLength);
    }
    if (r.nNameLength >= nCapacity || !m_source.ReadAt(nAt, pOut, r.nNameLength) ||
        std::memchr(pOut, 0, r.nNameLength)) {
        pOut[0] = '\0';
        return false;
    }
    pOut[r.nNameLength] = '\0';
    *pnLength = r.nNameLength;
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
    if (!(nFlags & kFlagDataDescriptor)) {
        if (Get32(a + 14) != r.nCrc || Get32(a + 18) != r.nCompressed || Get32(a + 22) != r.nUncompressed)
            return false;
    }
    if (Get16(a + 26) != r.nNameLength)
        return false;
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
    *pnExtraLength = Get16(a + 28);
    *pnDataPos = nLocal + static_cast<std::int64_t>(kLocalHeaderSize) + r.nNameLength + *pnExtraLength;
    return true;
}

ZipResult CZipReader::MakeRecord(ZipItemInfo& info)
{
    const SZipDirRecord& r = m_cursor.record;
    ZipItemInfo made = {};
    std::size_t nName = 0;
    if (!ReadName(made.szName, sizeof(made.szName), &nName))
        return ZipCorrupt;
    std::int64_t nDataPos = 0;
    std::uint16_t nExtra = 0;
    if (!CheckLocalHeader(&nDataPos, &nExtra))
        return ZipCorrupt;
    std::vector<unsigned char> aExtra(nExtra);
    if (nExtra > 0 && !m_source.ReadAt(nDataPos - nExtra + m_nPrefix, aExtra.data(), nExtra))
        return ZipReadFailed;

    made.iIndex = m_cursor.iItem;
    made.nCompressedSize = static_cast<std::int32_t>(r.nCompressed);
    made.nUncompressedSize = static_cast<std::int32_t>(r.nUncompressed);
    made.dwAttributes = AttributesFromExternal(r.nExternalAttributes);
    // Some writers give folders no folder attribute; their names still end in a separator.
    if (EndsWithSeparator(made.szName, nName))
        made.dwAttributes |= FILE_ATTRIBUTE_DIRECTORY;
    made.ftModifyTime = made.ftAccessTime = made.ftCreationTime = DosToFileTime(r.nDosDateTime);
    ApplyExtendedTimes(aExtra.data(), aExtra.size(), made);

    info = made;
    m_cached = made;
    m_iCached = made.iIndex;
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
            char szName[256];
            std::size_t nName = 0;
            if (ReadName(szName, sizeof(szName), &nName) && NamesEqual(szName, nName, pstrName, nWanted, bIgnoreCase)) {
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

bool CZipReader::OpenItem()
{
    CloseItem();
    if (!m_cursor.bValid)
        return false;
    std::int64_t nDataPos = 0;
    std::uint16_t nExtra = 0;
    if (!CheckLocalHeader(&nDataPos, &nExtra))
        return false;
    const SZipDirRecord& r = m_cursor.record;
    std::unique_ptr<CZipItemStream> pItem(new (std::nothrow) CZipItemStream(m_source, m_nPrefix));
    if (!pItem || !pItem->Open(r.nMethod, nDataPos, r.nCompressed, r.nUncompressed, r.nCrc))
        return false;
    m_pItem = std::move(pItem);
    return true;
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
        return UnzipToFile(iIndex, pDest, kind);
    case ZipKindMemory:
        return UnzipToMemory(iIndex, pDest, nLength);
    default:
        CloseItem();
        return ZipBadArgs;
    }
}

ZipResult CZipReader::UnzipToFile(int iIndex, void* pDest, int kind)
{
    CloseItem();
    if (iIndex < 0 || iIndex >= m_nItems || !pDest || pDest == INVALID_HANDLE_VALUE)
        return ZipBadArgs;
    const char* pstrDest = static_cast<const char*>(pDest);
    if (kind == ZipKindFile && !IsContainedName(pstrDest))
        return ZipBadArgs;
    if (!GoTo(iIndex))
        return ZipCorrupt;
    ZipItemInfo info;
    const ZipResult nRecord = GetItem(iIndex, &info);
    if (nRecord != ZipOk)
        return nRecord;

    if (info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (kind == ZipKindHandle)
            return ZipOk;
        if (!IsContainedName(info.szName))
            return ZipBadArgs;
        return MakeFolders(m_szBase, info.szName, std::strlen(info.szName)) ? ZipOk : ZipOpenFileFailed;
    }

    HANDLE hOut = static_cast<HANDLE>(pDest);
    if (kind == ZipKindFile) {
        const std::ptrdiff_t iSlash = LastSeparator(pstrDest, std::strlen(pstrDest));
        if (iSlash > 0 && !MakeFolders(m_szBase, pstrDest, static_cast<std::size_t>(iSlash)))
            return ZipOpenFileFailed;
        hOut = ::CreateFileA(pstrDest, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hOut == INVALID_HANDLE_VALUE)
            return ZipOpenFileFailed;
    }

    // GetItem leaves the cursor on the item (it was moved there above when the record came from the cache).
    bool bFailed = !OpenItem();
    std::unique_ptr<unsigned char[]> pBuffer(bFailed ? nullptr : new (std::nothrow) unsigned char[kOutputPiece]);
    if (!pBuffer)
        bFailed = true;
    while (!bFailed) {
        const long nRead = m_pItem->Read(pBuffer.get(), kOutputPiece);
        if (nRead < 0) {
            bFailed = true;
            break;
        }
        if (nRead == 0) {
            bFailed = !m_pItem->CompleteAndIntact();
            break;
        }
        DWORD nWritten = 0;
        if (!::WriteFile(hOut, pBuffer.get(), static_cast<DWORD>(nRead), &nWritten, nullptr) ||
            nWritten != static_cast<DWORD>(nRead))
            bFailed = true;
    }
    if (!bFailed && ::GetFileType(hOut) == FILE_TYPE_DISK)
        ::SetFileTime(hOut, &info.ftCreationTime, &info.ftAccessTime, &info.ftModifyTime);
    if (kind == ZipKindFile)
        ::CloseHandle(hOut);
    CloseItem();
    return bFailed ? ZipWriteFailed : ZipOk;
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
        if (!GoTo(iIndex) || !OpenItem())
            return ZipCorrupt;
        m_iKeptOpen = iIndex;
    }
    if (nLength == 0 && m_pItem->Remaining() > 0) {
        // An empty block would end the protocol with ZipOk while data is left.
        CloseItem();
        return ZipBadArgs;
    }
    const long nRead = m_pItem->Read(pDest, nLength);
    if (nRead > 0)
        return ZipMoreData;
    const bool bIntact = nRead == 0 && m_pItem->CompleteAndIntact();
    CloseItem();
    return bIntact ? ZipOk : ZipInflateFailed;
}

} // namespace ZipInternal
