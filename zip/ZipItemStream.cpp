#include "zip/ZipItemStream.h"

#include "zip/ZipCrc.h"

#include <algorithm>
#include <cstring>

namespace ZipInternal {

CZipItemStream::CZipItemStream(CZipByteSource& source, std::int64_t nPrefix) : m_source(source), m_nPrefix(nPrefix) {}

CZipItemStream::~CZipItemStream()
{
    if (m_bInflateReady)
        inflateEnd(&m_zs);
}

bool CZipItemStream::Open(unsigned nMethod, std::int64_t nDataPos, std::uint64_t nCompressed,
                          std::uint64_t nUncompressed, std::uint32_t nExpectedCrc)
{
    m_nMethod = nMethod;
    m_nPos = nDataPos;
    m_nRemainingIn = nCompressed;
    m_nRemainingOut = nUncompressed;
    m_nExpectedCrc = nExpectedCrc;
    m_nCrc = 0;
    if (!m_source.IsMemory()) {
        // Never more than the item holds: small items are many.
        m_pBuffer.reset(new (std::nothrow) unsigned char[std::max<std::uint64_t>(
            1, std::min<std::uint64_t>(kInputPiece, nCompressed))]);
        if (!m_pBuffer)
            return false;
    }
    if (nMethod == 8) {
        std::memset(&m_zs, 0, sizeof(m_zs));
        if (inflateInit2(&m_zs, -MAX_WBITS) != Z_OK)
            return false;
        m_bInflateReady = true;
    }
    return true;
}

bool CZipItemStream::Refill()
{
    if (m_nRemainingIn == 0)
        return false;
    const unsigned nPiece = static_cast<unsigned>(
        std::min<std::uint64_t>(m_source.IsMemory() ? kMemoryPiece : kInputPiece, m_nRemainingIn));
    if (m_source.IsMemory()) {
        m_pIn = m_source.MemoryAt(m_nPos + m_nPrefix, nPiece);
        if (!m_pIn)
            return false;
    } else {
        if (!m_source.ReadAt(m_nPos + m_nPrefix, m_pBuffer.get(), nPiece))
            return false;
        m_pIn = m_pBuffer.get();
    }
    m_nPos += nPiece;
    m_nRemainingIn -= nPiece;
    m_nAvailIn = nPiece;
    return true;
}

std::int64_t CZipItemStream::Read(void* pBuffer, std::uint32_t nCount)
{
    if (m_bFailed)
        return -1;
    const std::uint32_t nWanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(nCount, m_nRemainingOut));
    unsigned char* pOut = static_cast<unsigned char*>(pBuffer);
    std::uint32_t nDone = 0;
    while (nDone < nWanted) {
        // Inflate may still hold output after its last input byte (a long match is copied out only as
        // room allows), so a deflated item runs on without input until the stream ends or stops moving.
        const bool bInputLeft = m_nAvailIn > 0 || (m_nRemainingIn > 0 && Refill());
        if (m_bStreamEnded || (!bInputLeft && (m_nMethod == 0 || m_nRemainingIn > 0))) {
            m_bFailed = true;
            return -1;
        }
        std::uint32_t nMade = 0;
        if (m_nMethod == 0) {
            nMade = std::min(nWanted - nDone, m_nAvailIn);
            std::memcpy(pOut + nDone, m_pIn, nMade);
            m_pIn += nMade;
            m_nAvailIn -= nMade;
        } else {
            m_zs.next_in = const_cast<Bytef*>(m_pIn);
            m_zs.avail_in = m_nAvailIn;
            m_zs.next_out = pOut + nDone;
            m_zs.avail_out = nWanted - nDone;
            const int nErr = inflate(&m_zs, Z_SYNC_FLUSH);
            nMade = (nWanted - nDone) - m_zs.avail_out;
            m_pIn = m_zs.next_in;
            m_nAvailIn = m_zs.avail_in;
            if (nErr == Z_STREAM_END) {
                m_bStreamEnded = true;
            } else if (nErr != Z_OK) {
                // Z_BUF_ERROR: no progress was possible with the input and room at hand, so with all input
                // consumed and bytes still declared the stream is short.
                m_bFailed = true;
                return -1;
            }
        }
        m_nCrc = ZipCrc32(m_nCrc, pOut + nDone, nMade);
        m_nRemainingOut -= nMade;
        nDone += nMade;
        if (m_bStreamEnded) {
            // The stream ended: what this call made is handed out; a call that made nothing has failed.
            if (nDone == 0) {
                m_bFailed = true;
                return -1;
            }
            break;
        }
    }
    return nDone;
}

} // namespace ZipInternal
