// The data of one item open for reading: feeds its stored or deflated bytes through raw inflate and keeps
// the running CRC-32. Archives behind a handle are read in pieces of 256 KB (a read costs about 50 us under
// Wine whatever its size: in 16 KB pieces a 4 GiB item would take 13 s of reading alone); memory archives
// are fed in place, in pieces of 1 MB: inflate copies up to 32 KB of its output into its window at the end
// of every call, which with 16 KB pieces (about 45 KB of output each) would cost a tenth of the unpacking
// time.
#pragma once

#include "zip/ZipByteSource.h"

#include <zlib.h>

#include <cstdint>
#include <memory>

namespace ZipInternal {

class CZipItemStream
{
public:
    static constexpr unsigned kInputPiece = 1u << 18;
    static constexpr unsigned kMemoryPiece = 1u << 20;

    CZipItemStream(CZipByteSource& source, std::int64_t nPrefix);
    ~CZipItemStream();
    CZipItemStream(const CZipItemStream&) = delete;
    CZipItemStream& operator=(const CZipItemStream&) = delete;

    // nDataPos is the archive offset of the first data byte. False when inflate cannot be set up.
    bool Open(unsigned nMethod, std::int64_t nDataPos, std::uint64_t nCompressed, std::uint64_t nUncompressed,
              std::uint32_t nExpectedCrc);

    // Produces up to nCount bytes: the count (0 once everything was produced) or -1 on any failure: a
    // short or failed read of the archive, a decompression error, input that runs out or a deflate stream
    // that ends while declared bytes are still wanted.
    std::int64_t Read(void* pBuffer, std::uint32_t nCount);

    std::uint64_t Remaining() const { return m_nRemainingOut; }
    // True once every declared byte was produced and their CRC-32 equals the directory's.
    bool CompleteAndIntact() const { return m_nRemainingOut == 0 && !m_bFailed && m_nCrc == m_nExpectedCrc; }

private:
    bool Refill();

    CZipByteSource& m_source;
    const std::int64_t m_nPrefix;
    std::unique_ptr<unsigned char[]> m_pBuffer;
    z_stream m_zs = {};
    bool m_bInflateReady = false;
    bool m_bStreamEnded = false;
    bool m_bFailed = false;
    unsigned m_nMethod = 0;
    std::uint32_t m_nCrc = 0;
    std::uint32_t m_nExpectedCrc = 0;
    std::uint64_t m_nRemainingIn = 0;
    std::uint64_t m_nRemainingOut = 0;
    std::int64_t m_nPos = 0; // archive offset of the next compressed byte
    const unsigned char* m_pIn = nullptr;
    unsigned m_nAvailIn = 0;
};

} // namespace ZipInternal
