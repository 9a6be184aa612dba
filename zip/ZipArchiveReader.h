// The state behind a zip handle: the byte source, the directory facts, the directory cursor, the one item
// open for reading and the one-entry item-record cache.
#pragma once

#include "zip/ZipByteSource.h"
#include "zip/ZipItemStream.h"
#include "zip/ZipNames.h"
#include "zip/ZipReader.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ZipInternal {

// Central directory record: the fixed 46 bytes after the signature is checked, with the sizes, the local
// header offset and the disk number taken from the zip64 block where the classic fields hold its marker.
struct SZipDirRecord
{
    std::uint16_t nVersionMadeBy = 0;
    std::uint16_t nVersionNeeded = 0;
    std::uint16_t nFlags = 0;
    std::uint16_t nMethod = 0;
    std::uint32_t nDosDateTime = 0;
    std::uint32_t nCrc = 0;
    std::uint64_t nCompressed = 0;
    std::uint64_t nUncompressed = 0;
    std::uint16_t nNameLength = 0;
    std::uint16_t nExtraLength = 0;
    std::uint16_t nCommentLength = 0;
    std::uint32_t nDiskStart = 0;
    std::uint16_t nInternalAttributes = 0;
    std::uint32_t nExternalAttributes = 0;
    std::uint64_t nLocalOffset = 0;
};

class CZipReader
{
public:
    // Null on failure, with the reason in result.
    static std::unique_ptr<CZipReader> Open(const void* pSource, DWORD nLength, int kind, ZipResult& result);
    ~CZipReader();

    ZipResult GetItem(int iIndex, ZipItemInfo* pInfo);
    ZipResult GetItemSizes(int iIndex, std::uint64_t* pnCompressed, std::uint64_t* pnUncompressed);
    ZipResult GetItemName(int iIndex, wchar_t* pBuffer, unsigned nCapacity, unsigned* pnLength);
    ZipResult FindItem(const char* pstrName, bool bIgnoreCase, int* piIndex, ZipItemInfo* pInfo);
    ZipResult UnzipItem(int iIndex, void* pDest, DWORD nLength, int kind);
    ZipResult UnzipItemEx(int iIndex, void* pDest, int kind, ZipProgressProc pfnProgress, void* pContext,
                          std::uint64_t* pnWritten);

private:
    struct SCursor
    {
        int iItem = 0;
        std::int64_t nPos = 0; // archive offset of the current directory record
        bool bValid = false;
        SZipDirRecord record;
    };

    CZipReader() = default;
    bool LocateDirectory(ZipResult& result);
    bool ReadZip64End(std::int64_t nEndPos, const unsigned char* pEnd, const unsigned char* pLocator);
    bool WalkDirectory();
    bool ReadRecordAt(std::int64_t nPos, SZipDirRecord& r);
    bool GoToFirst();
    bool GoToNext();
    bool GoTo(int iItem);
    // The current record's name and its central extra field; false when unreadable or holding a NUL.
    bool ReadNameAndExtra(std::string& strRaw, std::string& strExtra);
    // The current record's name in both forms; false when unreadable, not valid UTF-8 (when so flagged) or
    // longer than nMaxGbk GBK bytes.
    bool ReadName(SItemName& name, std::string* pExtra, std::size_t nMaxGbk);
    bool CheckLocalHeader(std::int64_t* pnDataPos, std::uint16_t* pnExtraLength);
    ZipResult MakeRecord(ZipItemInfo& info);
    ZipResult OpenItem();
    void CloseItem();
    ZipResult UnzipToFile(int iIndex, void* pDest, int kind, ZipProgressProc pfnProgress, void* pContext,
                          std::uint64_t* pnWritten);
    ZipResult UnzipToMemory(int iIndex, void* pDest, DWORD nLength);

    CZipByteSource m_source;
    int m_nItems = 0;
    std::uint64_t m_nDirSize = 0;
    std::uint64_t m_nDirOffset = 0;
    std::int64_t m_nPrefix = 0; // bytes in front of the archive in its source
    std::uint64_t m_nTotalCompressed = 0;
    std::uint64_t m_nTotalUncompressed = 0;
    SCursor m_cursor;
    std::unique_ptr<CZipItemStream> m_pItem;
    std::wstring m_strBase; // current folder at open, with a trailing backslash; empty when too long
    // The time zone at open, for DOS times (asking for it per item is slow under Wine).
    TIME_ZONE_INFORMATION m_zone = {};
    bool m_bZoneKnown = false;
    int m_iKeptOpen = -1;
    int m_iCached = -1;
    ZipItemInfo m_cached = {};
    std::wstring m_strCachedName; // the exact name of the cached item
    SZipDirRecord m_cachedRecord;
};

} // namespace ZipInternal
