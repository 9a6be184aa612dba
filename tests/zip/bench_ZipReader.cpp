// Benchmark of the zip reader (run by tools/bench-zip.sh, not by CTest):
//   bench_zip.exe <archive.zip> <output-folder> [rounds, default 5]
//   bench_zip.exe --files <archive.zip> <output-folder>
// The second form only unpacks every item to files below the output folder, reading the archive from its
// file (archives beyond 4 GiB), and prints the time and the unpacked bytes. The first form
// loads the archive into memory once and, in the same run, measures
//   - raw zlib inflate of every item's compressed bytes (in place) into a reused 1 MB block: the baseline,
//   - the same plus zlib's CRC-32 of the output,
//   - unpacking every item to memory through the reader with the same reused block,
//   - unpacking every item to files below the output folder,
//   - CRC-32 alone, zlib's and the reader's,
// and prints throughput (MB/s of unpacked bytes, 1 MB = 10^6 bytes), the memory/raw ratio and the peak
// working set next to the archive size.
#include "zip/ZipCrc.h"
#include "zip/ZipReader.h"

#include <windows.h>
#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kBlock = 1 << 20;

struct SItem
{
    std::uint32_t nDataOffset;
    std::uint32_t nCompressed;
    std::uint32_t nUncompressed;
    unsigned nMethod;
};

double Now()
{
    static LARGE_INTEGER s_freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(s_freq.QuadPart);
}

std::uint32_t Le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t Le16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// A plain directory walk of a well-formed archive (the benchmark's own, for the baseline).
bool ListItems(const unsigned char* p, std::size_t n, std::vector<SItem>& items)
{
    std::size_t nEnd = n - 22;
    while (nEnd > 0 && Le32(p + nEnd) != 0x06054B50)
        --nEnd;
    if (nEnd == 0)
        return false;
    const unsigned nCount = Le16(p + nEnd + 10);
    std::size_t nPos = Le32(p + nEnd + 16);
    for (unsigned i = 0; i < nCount; ++i) {
        if (Le32(p + nPos) != 0x02014B50)
            return false;
        const std::uint32_t nLocal = Le32(p + nPos + 42);
        SItem item;
        item.nMethod = Le16(p + nPos + 10);
        item.nCompressed = Le32(p + nPos + 20);
        item.nUncompressed = Le32(p + nPos + 24);
        item.nDataOffset = nLocal + 30 + Le16(p + nLocal + 26) + Le16(p + nLocal + 28);
        items.push_back(item);
        nPos += 46 + Le16(p + nPos + 28) + Le16(p + nPos + 30) + Le16(p + nPos + 32);
    }
    return true;
}

// Inflates every item into the reused block; returns the unpacked byte count (0 on an error).
std::uint64_t RawInflate(const unsigned char* pArchive, const std::vector<SItem>& items, unsigned char* pBlock,
                         bool bCrc)
{
    std::uint64_t nTotal = 0;
    z_stream zs = {};
    inflateInit2(&zs, -MAX_WBITS);
    for (const SItem& item : items) {
        uLong nCrc = 0;
        if (item.nMethod == 0) {
            for (std::uint32_t n = 0; n < item.nUncompressed; n += kBlock) {
                const std::uint32_t nPiece = std::min<std::uint32_t>(kBlock, item.nUncompressed - n);
                std::memcpy(pBlock, pArchive + item.nDataOffset + n, nPiece);
                if (bCrc)
                    nCrc = crc32_z(nCrc, pBlock, nPiece);
            }
            nTotal += item.nUncompressed;
            continue;
        }
        inflateReset(&zs);
        zs.next_in = const_cast<Bytef*>(pArchive + item.nDataOffset);
        zs.avail_in = item.nCompressed;
        int nErr = Z_OK;
        do {
            zs.next_out = pBlock;
            zs.avail_out = kBlock;
            nErr = inflate(&zs, Z_NO_FLUSH);
            const uInt nMade = kBlock - zs.avail_out;
            if (bCrc)
                nCrc = crc32_z(nCrc, pBlock, nMade);
            nTotal += nMade;
        } while (nErr == Z_OK);
        if (nErr != Z_STREAM_END) {
            inflateEnd(&zs);
            return 0;
        }
    }
    inflateEnd(&zs);
    return nTotal;
}

bool ReaderToMemory(ZipHandle hZip, int nItems, unsigned char* pBlock)
{
    for (int i = 0; i < nItems; ++i) {
        ZipResult r;
        while ((r = ZipUnzipItem(hZip, i, pBlock, kBlock, ZipKindMemory)) == ZipMoreData) {
        }
        if (r != ZipOk) {
            std::printf("item %d: result 0x%x\n", i, static_cast<unsigned>(r));
            return false;
        }
    }
    return true;
}

SIZE_T PeakWorkingSet(SIZE_T* pnCurrent = nullptr)
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof(pmc));
    if (pnCurrent)
        *pnCurrent = pmc.WorkingSetSize;
    return pmc.PeakWorkingSetSize;
}

double Mb(std::uint64_t n)
{
    return static_cast<double>(n) / 1e6;
}

// Unpacks every item of an archive file to files below strFolder; returns the process exit code.
int UnpackFiles(const char* pstrArchive, const char* pstrFolder)
{
    if (!::SetCurrentDirectoryA(pstrFolder)) {
        std::fprintf(stderr, "cannot enter %s\n", pstrFolder);
        return 1;
    }
    const double t0 = Now();
    ZipHandle hZip = ZipOpen(pstrArchive, 0, ZipKindFile);
    if (!hZip) {
        std::fprintf(stderr, "the reader refused %s\n", pstrArchive);
        return 1;
    }
    ZipItemInfo info;
    ZipGetItem(hZip, -1, &info);
    const int nItems = info.iIndex;
    std::uint64_t nUnpacked = 0;
    ZipGetItemSizes(hZip, -1, nullptr, &nUnpacked);
    int nFailed = 0;
    for (int i = 0; i < nItems; ++i) {
        if (ZipGetItem(hZip, i, &info) != ZipOk || ZipUnzipItem(hZip, i, info.szName, 0, ZipKindFile) != ZipOk)
            ++nFailed;
    }
    ZipClose(hZip);
    const double t = Now() - t0;
    std::printf("reader, unpack to files: %d items, %.1f MB in %.2f s (%.1f MB/s), %d failed\n", nItems, Mb(nUnpacked),
                t, Mb(nUnpacked) / t, nFailed);
    std::printf("seconds %.3f\n", t);
    return nFailed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--files") == 0)
        return UnpackFiles(argv[2], argv[3]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <archive.zip> <output-folder> [rounds]\n", argv[0]);
        return 2;
    }
    const int nRounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    SIZE_T nStartSet = 0;
    PeakWorkingSet(&nStartSet);
    HANDLE hFile = ::CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    LARGE_INTEGER size;
    ::GetFileSizeEx(hFile, &size);
    const DWORD nArchive = static_cast<DWORD>(size.QuadPart);
    // The one copy of the archive in memory: the reader works on it in place.
    auto* pArchive = static_cast<unsigned char*>(::VirtualAlloc(nullptr, nArchive, MEM_COMMIT, PAGE_READWRITE));
    auto* pBlock = static_cast<unsigned char*>(::VirtualAlloc(nullptr, kBlock, MEM_COMMIT, PAGE_READWRITE));
    if (!pArchive || !pBlock)
        return 1;
    for (DWORD nDone = 0; nDone < nArchive;) {
        DWORD nRead = 0;
        if (!::ReadFile(hFile, pArchive + nDone, std::min<DWORD>(nArchive - nDone, 1 << 24), &nRead, nullptr) || !nRead)
            return 1;
        nDone += nRead;
    }
    ::CloseHandle(hFile);
    std::memset(pBlock, 0, kBlock);

    std::vector<SItem> items;
    if (!ListItems(pArchive, nArchive, items)) {
        std::fprintf(stderr, "not a zip archive\n");
        return 1;
    }
    std::uint64_t nUnpacked = 0, nCompressed = 0;
    for (const SItem& item : items) {
        nUnpacked += item.nUncompressed;
        nCompressed += item.nCompressed;
    }
    SIZE_T nLoadedSet = 0;
    const SIZE_T nPeakBefore = PeakWorkingSet(&nLoadedSet);
    std::printf("archive: %.1f MB, %zu items, %.1f MB unpacked (%.1f MB compressed data)\n", Mb(nArchive), items.size(),
                Mb(nUnpacked), Mb(nCompressed));
    std::printf("working set at start %.1f MB; with the archive loaded %.1f MB (peak so far %.1f MB)\n", Mb(nStartSet),
                Mb(nLoadedSet), Mb(nPeakBefore));

    ZipHandle hZip = ZipOpen(pArchive, nArchive, ZipKindMemory);
    if (!hZip) {
        std::fprintf(stderr, "the reader refused the archive\n");
        return 1;
    }
    ZipItemInfo info;
    ZipGetItem(hZip, -1, &info);
    const int nItems = info.iIndex;

    double tRaw = 1e9, tRawCrc = 1e9, tMemory = 1e9;
    for (int round = 0; round < nRounds; ++round) {
        double t0 = Now();
        if (RawInflate(pArchive, items, pBlock, false) != nUnpacked) {
            std::fprintf(stderr, "raw inflate failed\n");
            return 1;
        }
        tRaw = std::min(tRaw, Now() - t0);
        t0 = Now();
        if (RawInflate(pArchive, items, pBlock, true) != nUnpacked)
            return 1;
        tRawCrc = std::min(tRawCrc, Now() - t0);
        t0 = Now();
        if (!ReaderToMemory(hZip, nItems, pBlock))
            return 1;
        tMemory = std::min(tMemory, Now() - t0);
    }
    // CRC-32 alone over the archive's bytes: zlib's tables and the reader's own sum.
    double tZlibCrc = 1e9, tOwnCrc = 1e9;
    volatile std::uint32_t nSink = 0;
    for (int round = 0; round < nRounds; ++round) {
        double t0 = Now();
        nSink = nSink + static_cast<std::uint32_t>(crc32_z(0, pArchive, nArchive));
        tZlibCrc = std::min(tZlibCrc, Now() - t0);
        t0 = Now();
        nSink = nSink + ZipInternal::ZipCrc32(0, pArchive, nArchive);
        tOwnCrc = std::min(tOwnCrc, Now() - t0);
    }
    SIZE_T nSetAfter = 0;
    const SIZE_T nPeakMemory = PeakWorkingSet(&nSetAfter);

    // Unpacking to files, below the output folder (the reader's base folder is the current folder at open).
    ZipClose(hZip);
    if (!::SetCurrentDirectoryA(argv[2])) {
        std::fprintf(stderr, "cannot enter %s\n", argv[2]);
        return 1;
    }
    hZip = ZipOpen(pArchive, nArchive, ZipKindMemory);
    double t0 = Now();
    int nFailed = 0;
    for (int i = 0; i < nItems; ++i) {
        if (ZipGetItem(hZip, i, &info) != ZipOk || ZipUnzipItem(hZip, i, info.szName, 0, ZipKindFile) != ZipOk)
            ++nFailed;
    }
    const double tFiles = Now() - t0;
    ZipClose(hZip);

    std::printf("raw zlib inflate (baseline):   %8.1f MB/s  (%.3f s)\n", Mb(nUnpacked) / tRaw, tRaw);
    std::printf("raw inflate + zlib CRC-32:     %8.1f MB/s  (%.3f s)\n", Mb(nUnpacked) / tRawCrc, tRawCrc);
    std::printf("reader, unpack to memory:      %8.1f MB/s  (%.3f s)\n", Mb(nUnpacked) / tMemory, tMemory);
    std::printf("reader, unpack to files:       %8.1f MB/s  (%.3f s, %d items failed)\n", Mb(nUnpacked) / tFiles,
                tFiles, nFailed);
    std::printf("CRC-32 alone: zlib %.0f MB/s, reader's %.0f MB/s (%s)\n", Mb(nArchive) / tZlibCrc,
                Mb(nArchive) / tOwnCrc,
                ZipInternal::ZipCrcUsesCarrylessMultiply() ? "carry-less multiply" : "zlib tables");
    std::printf("ratio memory/raw:              %8.3f  (goal >= 0.95; best of %d rounds each)\n", tRaw / tMemory,
                nRounds);
    std::printf("ratio memory/(raw + CRC-32):   %8.3f\n", tRawCrc / tMemory);
    std::printf("archive size %.1f MB; peak working set while unpacking to memory %.1f MB = archive + %.1f MB "
                "(the process without the archive: %.1f MB; working set after unpacking %.1f MB)\n",
                Mb(nArchive), Mb(nPeakMemory), Mb(nPeakMemory) - Mb(nArchive), Mb(nStartSet), Mb(nSetAfter));
    return nFailed ? 1 : 0;
}
