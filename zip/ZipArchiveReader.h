// The state behind a zip handle: the byte source, the directory facts, the directory cursor, the one item
// open for reading and the one-entry item-record cache.
#pragma once

#include "zip/ZipByteSource.h"
#include "zip/ZipItemStream.h"
#include "zip/ZipReader.h"

#include <cstdint>
#include <memory>

namespace ZipInternal {

// Central directory record: the fixed 46 bytes after the signature is checked.
struct SZipDirRecord
{
    std::uint16_t nVersionMadeBy = 0;
    std::uint16_t nVersionNeeded = 0;
    std::uint16_t nFlags = 0;
    std::uint16_t nMethod = 0;
    std::uint32_t nDosDateTime = 0;
    std::uint32_t nCrc = 0;
    std::uint32_t nCompressed = 0;
    std::uint32_t nUncompressed = 0;
    std::uint16_t nNameLength = 0;
    std::uint16_t nExtraLength = 0;
    std::uint16_t nCommentLength = 0;
    std::uint16_t nDiskStart = 0;
    std::uint16_t nInternalAttributes = 0;
    std::uint32_t nExternalAttributes = 0;
    std::uint32_t nLocalOffset = 0;
};

class CZipReader
{
public:
    // Null on failure, with the reason in result.
    static std::unique_ptr<CZipReader> Open(const void* pSource, DWORD nLength, int kind, ZipResult& result);
    ~CZipReader();

    ZipResult GetItem(int iIndex, ZipItemInfo* pInfo);
    ZipResult FindItem(const char* pstrName, bool bIgnoreCase, int* piIndex, ZipItemInfo* pInfo);
    ZipResult UnzipItem(int iIndex, void* pDest, DWORD nLength, int kind);

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
    bool DirectoryMatchesEndRecord();
    bool GoToFirst();
    bool GoToNext();
    bool GoTo(int iItem);
    bool ReadRecord();
    // The current record's name in the system code page, terminated; false when unreadable, not valid
    // UTF-8 (when so flagged) or too long for nCapacity with its terminator.
    bool ReadName(char* pOut, std::size_t nCapacity, std::size_t* pnLength);
    bool CheckLocalHeader(std::int64_t* pnDataPos, std::uint16_t* pnExtraLength);
    ZipResult MakeRecord(ZipItemInfo& info);
    bool OpenItem();
    void CloseItem();
    ZipResult UnzipToFile(int iIndex, void* pDest, int kind);
    ZipResult UnzipToMemory(int iIndex, void* pDest, DWORD nLength);

    CZipByteSource m_source;
    int m_nItems = 0;
    std::uint32_t m_nDirSize = 0;
    std::uint32_t m_nDirOffset = 0;
    std::int64_t m_nPrefix = 0; // bytes in front of the archive in its source
    SCursor m_cursor;
    std::unique_ptr<CZipItemStream> m_pItem;
    char m_szBase[MAX_PATH] = {}; // current folder at open, with a trailing backslash; empty when too long
    int m_iKeptOpen = -1;
    int m_iCached = -1;
    ZipItemInfo m_cached = {};
};

} // namespace ZipInternal
