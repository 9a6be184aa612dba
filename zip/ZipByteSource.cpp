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
    m_pMemory = nullptr;
    m_nMemLength = 0;
}

bool CZipByteSource::Seek(std::int64_t nPos)
{
    if (!m_bSeekable || nPos < 0)
        return false;
    LARGE_INTEGER to;
    to.QuadPart = m_nStart + nPos;
    return ::SetFilePointerEx(m_hFile, to, nullptr, FILE_BEGIN) != FALSE;
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
    if (m_hFile == INVALID_HANDLE_VALUE || !Seek(nPos))
        return false;
    DWORD nRead = 0;
    return nCount <= 0xFFFFFFFFu && ::ReadFile(m_hFile, pBuffer, static_cast<DWORD>(nCount), &nRead, nullptr) &&
           nRead == nCount;
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
