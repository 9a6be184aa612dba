// Zip archive reader: opens a single-disk zip archive (classic or zip64; stored or deflated items) from a file
// handle, a named file or a memory block, lists and finds its items and unpacks them to files, handles or
// memory. Free functions over an opaque handle; every failure is a result code, never an exception.
#pragma once

#include <windows.h>

#include <cstdint>

struct ZipHandleRecord;
typedef ZipHandleRecord* ZipHandle;

// Kind of a source (ZipOpen) or a destination (ZipUnzipItem).
enum ZipKind : int
{
    ZipKindHandle = 1, // a caller's open file handle (HANDLE passed as the pointer)
    ZipKindFile = 2,   // a NUL-terminated file name in GBK (code page 936), whatever the system's code page
    ZipKindMemory = 3, // a memory block and its length
    ZipKindFileW = 4,  // a NUL-terminated UTF-16 file name
};

typedef std::uint32_t ZipResult;

constexpr ZipResult ZipOk = 0x00000000;
constexpr ZipResult ZipRecent = 0x00000001; // for ZipFormatResult only: the most recent result
constexpr ZipResult ZipDupHandleFailed = 0x00000100;
constexpr ZipResult ZipOpenFileFailed = 0x00000200;
constexpr ZipResult ZipNoMemory = 0x00000300;
constexpr ZipResult ZipWriteFailed = 0x00000400;
constexpr ZipResult ZipNotFound = 0x00000500;
constexpr ZipResult ZipMoreData = 0x00000600;
constexpr ZipResult ZipCorrupt = 0x00000700;
constexpr ZipResult ZipReadFailed = 0x00000800;
constexpr ZipResult ZipBadArgs = 0x00010000;
constexpr ZipResult ZipNotMemoryArchive = 0x00020000;
constexpr ZipResult ZipMemoryTooSmall = 0x00030000;
constexpr ZipResult ZipPreviousError = 0x00040000;
constexpr ZipResult ZipAdditionsEnded = 0x00050000;
constexpr ZipResult ZipWrongSize = 0x00060000;
constexpr ZipResult ZipPartlyUnzipped = 0x00070000;
constexpr ZipResult ZipWrongMode = 0x00080000;
constexpr ZipResult ZipCancelled = 0x00090000; // the caller's progress function asked to stop
constexpr ZipResult ZipNotInitialised = 0x01000000;
constexpr ZipResult ZipUnseekable = 0x02000000;
constexpr ZipResult ZipNoChange = 0x04000000;
constexpr ZipResult ZipInflateFailed = 0x05000000;

// One item as given to callers. In the summary record (index -1 asked for) iIndex holds the item count.
struct ZipItemInfo
{
    std::int32_t iIndex;
    // The name as stored (forward slashes), always terminated, as GBK bytes: a name flagged UTF-8 has '?' for
    // each UTF-16 unit GBK lacks (two for a character beyond U+FFFF; ZipGetItemNameW gives the name exactly);
    // an unflagged name is its stored bytes.
    char szName[MAX_PATH];
    DWORD dwAttributes; // FILE_ATTRIBUTE_* bits
    FILETIME ftAccessTime;
    FILETIME ftCreationTime;
    FILETIME ftModifyTime;
    // Byte counts; 0x7FFFFFFF for 2 GiB or more (ZipGetItemSizes gives every size exactly).
    std::int32_t nCompressedSize;
    std::int32_t nUncompressedSize;
};

// Opens an archive; null on failure (ZipFormatResult(ZipRecent, ...) then tells why).
// For ZipKindMemory the block is read in place and must stay valid and unchanged until ZipClose.
ZipHandle ZipOpen(const void* pSource, DWORD nLength, ZipKind kind);

// Fills the record of item iIndex; -1 gives the summary record.
ZipResult ZipGetItem(ZipHandle hZip, int iIndex, ZipItemInfo* pInfo);

// Finds an item by name ('\' matches '/'); pInfo may be null.
ZipResult ZipFindItem(ZipHandle hZip, const char* pstrName, bool bIgnoreCase, int* piIndex, ZipItemInfo* pInfo);

// The compressed and uncompressed sizes of item iIndex; -1 gives the archive's totals over every item.
// Either pointer may be null.
ZipResult ZipGetItemSizes(ZipHandle hZip, int iIndex, std::uint64_t* pnCompressed, std::uint64_t* pnUncompressed);

// The exact name of item iIndex as UTF-16 (forward slashes as stored), terminated: names flagged UTF-8 (or
// carrying a matching Unicode path block) decoded exactly, other names decoded as GBK. *pnLength (when
// given) receives its length in UTF-16 units without the terminator. A null buffer only measures; a buffer
// too small for the name and its terminator gives ZipBadArgs and an empty text.
ZipResult ZipGetItemNameW(ZipHandle hZip, int iIndex, wchar_t* pBuffer, unsigned nCapacity, unsigned* pnLength);

// Unpacks item iIndex to a caller's handle, a new file or a memory block. A file (ZipKindFile, ZipKindFileW)
// is a relative name: its folders are made below the folder that was current when the archive was opened,
// the file is created relative to the current folder (callers keep the two the same). Given the item's own
// szName, ZipKindFile creates the item's exact name even where GBK lacks a character. Memory unpacking is a
// call protocol: ZipMoreData while bytes were produced (call again with the same index to continue), then
// ZipOk at the end.
ZipResult ZipUnzipItem(ZipHandle hZip, int iIndex, void* pDest, DWORD nLength, ZipKind kind);

// Called after every piece (at most 16384 bytes) written while unpacking to a handle or a file, with the
// bytes written so far and the item's size; returning false stops the unpacking at once.
typedef bool (*ZipProgressProc)(void* pContext, std::uint64_t nWritten, std::uint64_t nTotal);

// ZipUnzipItem to a handle or a file (ZipKindHandle, ZipKindFile, ZipKindFileW) that reports its progress
// and can be stopped: a stop gives ZipCancelled and leaves what was written (a file it created is closed).
// pfnProgress and pnWritten may be null; *pnWritten receives the bytes written, also after a failure.
ZipResult ZipUnzipItemEx(ZipHandle hZip, int iIndex, void* pDest, ZipKind kind, ZipProgressProc pfnProgress,
                         void* pContext, std::uint64_t* pnWritten);

ZipResult ZipClose(ZipHandle hZip);

// Copies the message text of a result (cut and terminated to fit) and returns the length of the full text.
unsigned ZipFormatResult(ZipResult code, char* pBuffer, unsigned nBufferSize);
