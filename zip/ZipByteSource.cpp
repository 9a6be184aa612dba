#include "zip/ZipByteSource.h"

#include "zip/ZipReader.h"

#include <cstring>
#include <new>

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
    m_hReadDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    LARGE_INTEGER zero = {}, pos = {};
    m_nStart = ::SetFilePointerEx(m_hFile, zero, &pos, FILE_CURRENT) ? pos.QuadPart : 0;
    return ZipOk;
}

std::uint32_t CZipByteSource::OpenFile(const wchar_t* pwstrName)
{
    m_hFile =
        ::CreateFileW(pwstrName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return ZipOpenFileFailed;
    m_bSeekable = ::GetFileType(m_hFile) == FILE_TYPE_DISK;
    m_nStart = 0;
    m_hReadDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
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
    for (SWindow& w : m_aWindows) {
        w.pBytes.reset();
        w.nLength = 0;
    }
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
    if (nCount <= kSmallRead)
        return ReadThroughWindow(nPos, pBuffer, nCount);
    std::size_t nRead = 0;
    return ReadHandle(nPos, pBuffer, nCount, &nRead) && nRead == nCount;
}

bool CZipByteSource::ReadHandle(std::int64_t nPos, void* pBuffer, std::size_t nCount, std::size_t* pnRead)
{
    // Every read names its offset: the duplicated handle shares its file pointer with the caller and with
    // other readers of the same handle, so a seek followed by a read could be overtaken by another thread.
    const std::uint64_t nAt = static_cast<std::uint64_t>(m_nStart + nPos);
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(nAt & 0xFFFFFFFF);
    ov.OffsetHigh = static_cast<DWORD>(nAt >> 32);
    ov.hEvent = m_hReadDone; // also serves a caller's handle opened for overlapped use
    DWORD nRead = 0;
    if (!::ReadFile(m_hFile, pBuffer, static_cast<DWORD>(nCount), &nRead, &ov)) {
        DWORD nError = ::GetLastError();
        if (nError == ERROR_IO_PENDING)
            nError = ::GetOverlappedResult(m_hFile, &ov, &nRead, TRUE) ? ERROR_SUCCESS : ::GetLastError();
        // A read at or past the end is a short read (the window near the end), not a failure.
        if (nError == ERROR_HANDLE_EOF)
            nRead = 0;
        else if (nError != ERROR_SUCCESS)
            return false;
    }
    *pnRead = nRead;
    return true;
}

bool CZipByteSource::ReadThroughWindow(std::int64_t nPos, void* pBuffer, std::size_t nCount)
{
    auto inside = [nPos, nCount](const SWindow& w) {
        return w.pBytes && nPos >= w.nPos && static_cast<std::uint64_t>(nPos - w.nPos) + nCount <= w.nLength;
    };
    int iWindow = inside(m_aWindows[m_iLastWindow]) ? m_iLastWindow : 1 - m_iLastWindow;
    SWindow& w = m_aWindows[iWindow];
    if (!inside(w)) {
        // The window used less recently is read anew.
        if (!w.pBytes)
            w.pBytes.reset(new (std::nothrow) unsigned char[kWindow]);
        if (!w.pBytes) {
            std::size_t nRead = 0;
            return ReadHandle(nPos, pBuffer, nCount, &nRead) && nRead == nCount;
        }
        // Windows on 64 KB boundaries serve walks in either direction; a read across a boundary starts one.
        std::int64_t nStart = nPos & ~static_cast<std::int64_t>(kWindow - 1);
        if (static_cast<std::uint64_t>(nPos - nStart) + nCount > kWindow)
            nStart = nPos;
        w.nLength = 0;
        if (!ReadHandle(nStart, w.pBytes.get(), kWindow, &w.nLength))
            return false;
        w.nPos = nStart;
        if (!inside(w))
            return false;
    }
    m_iLastWindow = iWindow;
    std::memcpy(pBuffer, w.pBytes.get() + (nPos - w.nPos), nCount);
    return true;
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
