#include "zip/ZipByteSource.h"

#include "zip/ZipReader.h"

#include <cstring>

namespace ZipInternal {

CZipByteSource::~CZipByteSource()
{
    Close();
}

std::uint32_t CZipByteSource::OpenHandle(HANDLE hFile)
{
    if (::GetFileType(hFile) != FILE_TYPE_DISK)
        return ZipUnseekable;
    HANDLE hDup = INVALID_HANDLE_VALUE;
    const HANDLE hProcess = ::GetCurrentProcess();
    if (!::DuplicateHandle(hProcess, hFile, hProcess, &hDup, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return ZipDupHandleFailed;
    m_hFile = hDup;
    m_bSeekable = true;
    m_hReadDone = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    LARGE_INTEGER zero = {}, pos = {};
    m_nStart = ::SetFilePointerEx(m_hFile, zero, &pos, FILE_CURRENT) ? pos.QuadPart : 0;
    return ZipOk;
}

std::uint32_t CZipByteSource::OpenFile(const char* pstrName)
{
    m_hFile =
        ::CreateFileA(pstrName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return ZipOpenFileFailed;
    m_bSeekable = ::GetFileType(m_hFile) == FILE_TYPE_DISK;
    m_nStart = 0;
    m_hReadDone = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return ZipOk;
}

void CZipByteSource::OpenMemory(const void* pData, std::size_t nLength)
{
    m_pMemory = static_cast<const unsigned char*>(pData);
    m_nMemLength = nLength;
    m_bSeekable = true;
}

void CZipByteSource::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (m_hReadDone)
        ::CloseHandle(m_hReadDone);
    m_hReadDone = nullptr;
    m_pMemory = nullptr;
    m_nMemLength = 0;
}

const unsigned char* CZipByteSource::MemoryAt(std::int64_t nPos, std::size_t nCount) const
{
    if (!m_pMemory || nPos < 0 || static_cast<std::uint64_t>(nPos) > m_nMemLength ||
        nCount > m_nMemLength - static_cast<std::size_t>(nPos))
        return nullptr;
    return m_pMemory + nPos;
}

bool CZipByteSource::ReadAt(std::int64_t nPos, void* pBuffer, std::size_t nCount)
{
    if (m_pMemory) {
        const unsigned char* p = MemoryAt(nPos, nCount);
        if (!p)
            return false;
        std::memcpy(pBuffer, p, nCount);
        return true;
    }
    if (m_hFile == INVALID_HANDLE_VALUE || !m_bSeekable || nPos < 0 || nCount > 0xFFFFFFFFu)
        return false;
    // Every read names its offset: the duplicated handle shares its file pointer with the caller and with
    // other readers of the same handle, so a seek followed by a read could be overtaken by another thread.
    const std::uint64_t nAt = static_cast<std::uint64_t>(m_nStart + nPos);
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(nAt & 0xFFFFFFFF);
    ov.OffsetHigh = static_cast<DWORD>(nAt >> 32);
    ov.hEvent = m_hReadDone; // also serves a caller's handle opened for overlapped use
    DWORD nRead = 0;
    if (!::ReadFile(m_hFile, pBuffer, static_cast<DWORD>(nCount), &nRead, &ov)) {
        if (::GetLastError() != ERROR_IO_PENDING || !::GetOverlappedResult(m_hFile, &ov, &nRead, TRUE))
            return false;
    }
    return nRead == nCount;
}

std::int64_t CZipByteSource::Length()
{
    if (m_pMemory)
        return static_cast<std::int64_t>(m_nMemLength);
    if (m_hFile == INVALID_HANDLE_VALUE || !m_bSeekable)
        return -1;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(m_hFile, &size))
        return -1;
    return size.QuadPart >= m_nStart ? size.QuadPart - m_nStart : -1;
}

} // namespace ZipInternal
