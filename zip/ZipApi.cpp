// The free functions over a zip handle, the result texts and the most recent result.
#include "zip/ZipReader.h"

#include "zip/ZipArchiveReader.h"

#include <atomic>
#include <cstring>
#include <new>

using ZipInternal::CZipReader;

namespace {

constexpr int kReadingMarker = 1;

// The most recent result, process-wide: with several threads it may belong to another thread's call.
std::atomic<ZipResult> g_nRecent{ZipOk};

ZipResult Record(ZipResult nResult)
{
    g_nRecent.store(nResult, std::memory_order_relaxed);
    return nResult;
}

// Checks a handle; on success pReader is the reader behind it.
ZipResult Resolve(ZipHandle hZip, CZipReader*& pReader);

const char* ResultText(ZipResult nCode)
{
    switch (nCode) {
    case ZipOk:
        return "Success";
    case ZipDupHandleFailed:
        return "Culdn't duplicate handle";
    case ZipOpenFileFailed:
        return "Couldn't create/open file";
    case ZipNoMemory:
        return "Failed to allocate memory";
    case ZipWriteFailed:
        return "Error writing to file";
    case ZipNotFound:
        return "File not found in the zipfile";
    case ZipMoreData:
        return "Still more data to unzip";
    case ZipCorrupt:
        return "Zipfile is corrupt or not a zipfile";
    case ZipReadFailed:
        return "Error reading file";
    case ZipBadArgs:
        return "Caller: faulty arguments";
    case ZipNotMemoryArchive:
        return "Caller: can only get memory of a memory zipfile";
    case ZipMemoryTooSmall:
        return "Caller: not enough space allocated for memory zipfile";
    case ZipPreviousError:
        return "Caller: there was a previous error";
    case ZipAdditionsEnded:
        return "Caller: additions to the zip have already been ended";
    case ZipWrongSize:
        return "Zip-bug: the anticipated size turned out wrong";
    case ZipPartlyUnzipped:
        return "Caller: the file had already been partially unzipped";
    case ZipWrongMode:
        return "Caller: mixing creation and opening of zip";
    case ZipCancelled:
        return "Caller: unpacking was cancelled";
    case ZipNotInitialised:
        return "Zip-bug: internal initialisation not completed";
    case ZipUnseekable:
        return "Zip-bug: trying to seek the unseekable";
    case ZipNoChange:
        return "Zip-bug: tried to change mind, but not allowed";
    case ZipInflateFailed:
        return "Zip-bug: an internal error during flation";
    default:
        return "unknown zip result code";
    }
}

} // namespace

struct ZipHandleRecord
{
    int nMarker;
    CZipReader* pReader;
};

namespace {

ZipResult Resolve(ZipHandle hZip, CZipReader*& pReader)
{
    pReader = nullptr;
    if (!hZip)
        return ZipBadArgs;
    if (hZip->nMarker != kReadingMarker || !hZip->pReader)
        return ZipWrongMode;
    pReader = hZip->pReader;
    return ZipOk;
}

} // namespace

ZipHandle ZipOpen(const void* pSource, DWORD nLength, ZipKind kind)
{
    ZipResult nResult = ZipOk;
    std::unique_ptr<CZipReader> pReader = CZipReader::Open(pSource, nLength, kind, nResult);
    if (!pReader) {
        Record(nResult == ZipOk ? ZipCorrupt : nResult);
        return nullptr;
    }
    ZipHandle hZip = new (std::nothrow) ZipHandleRecord{kReadingMarker, pReader.get()};
    if (!hZip) {
        Record(ZipNoMemory);
        return nullptr;
    }
    pReader.release();
    Record(ZipOk);
    return hZip;
}

ZipResult ZipGetItem(ZipHandle hZip, int iIndex, ZipItemInfo* pInfo)
{
    CZipReader* pReader;
    const ZipResult nResult = Resolve(hZip, pReader);
    return Record(nResult != ZipOk ? nResult : pReader->GetItem(iIndex, pInfo));
}

ZipResult ZipGetItemSizes(ZipHandle hZip, int iIndex, std::uint64_t* pnCompressed, std::uint64_t* pnUncompressed)
{
    CZipReader* pReader;
    const ZipResult nResult = Resolve(hZip, pReader);
    return Record(nResult != ZipOk ? nResult : pReader->GetItemSizes(iIndex, pnCompressed, pnUncompressed));
}

ZipResult ZipGetItemNameW(ZipHandle hZip, int iIndex, wchar_t* pBuffer, unsigned nCapacity, unsigned* pnLength)
{
    CZipReader* pReader;
    const ZipResult nResult = Resolve(hZip, pReader);
    return Record(nResult != ZipOk ? nResult : pReader->GetItemName(iIndex, pBuffer, nCapacity, pnLength));
}

ZipResult ZipFindItem(ZipHandle hZip, const char* pstrName, bool bIgnoreCase, int* piIndex, ZipItemInfo* pInfo)
{
    CZipReader* pReader;
    const ZipResult nResult = Resolve(hZip, pReader);
    return Record(nResult != ZipOk ? nResult : pReader->FindItem(pstrName, bIgnoreCase, piIndex, pInfo));
}

ZipResult ZipUnzipItem(ZipHandle hZip, int iIndex, void* pDest, DWORD nLength, ZipKind kind)
{
    CZipReader* pReader;
    const ZipResult nResult = Resolve(hZip, pReader);
    return Record(nResult != ZipOk ? nResult : pReader->UnzipItem(iIndex, pDest, nLength, kind));
}

ZipResult ZipUnzipItemEx(ZipHandle hZip, int iIndex, void* pDest, ZipKind kind, ZipProgressProc pfnProgress,
                         void* pContext, std::uint64_t* pnWritten)
{
    if (pnWritten)
        *pnWritten = 0;
    CZipReader* pReader;
    const ZipResult nResult = Resolve(hZip, pReader);
    return Record(nResult != ZipOk ? nResult
                                   : pReader->UnzipItemEx(iIndex, pDest, kind, pfnProgress, pContext, pnWritten));
}

ZipResult ZipClose(ZipHandle hZip)
{
    CZipReader* pReader;
    const ZipResult nResult = Resolve(hZip, pReader);
    if (nResult != ZipOk)
        return Record(nResult);
    delete pReader;
    hZip->nMarker = 0;
    hZip->pReader = nullptr;
    delete hZip;
    return Record(ZipOk);
}

unsigned ZipFormatResult(ZipResult nCode, char* pBuffer, unsigned nBufferSize)
{
    if (nCode == ZipRecent)
        nCode = g_nRecent.load(std::memory_order_relaxed);
    const char* pstrText = ResultText(nCode);
    const unsigned nLength = static_cast<unsigned>(std::strlen(pstrText));
    if (!pBuffer || nBufferSize == 0)
        return nLength;
    const unsigned nCopy = nLength < nBufferSize ? nLength : nBufferSize - 1;
    std::memcpy(pBuffer, pstrText, nCopy);
    pBuffer[nCopy] = '\0';
    return nLength;
}
