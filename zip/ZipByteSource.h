// One reader over the three kinds of archive source: a duplicated caller's handle, a file opened for
// reading, or a caller's memory block (read in place, never copied). Positions are relative to the start
// offset: the handle's file position when the source was made (0 for files and memory). Small reads from a
// handle (records, names, headers, small items) are served from 64 KB windows read at once: walking a
// directory of many items would otherwise cost a system call per field. Two windows, because item records
// (the directory, at the end) and their local headers and data (in front of it) are read in turn.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ZipInternal {

class CZipByteSource
{
public:
    CZipByteSource() = default;
    ~CZipByteSource();
    CZipByteSource(const CZipByteSource&) = delete;
    CZipByteSource& operator=(const CZipByteSource&) = delete;

    // Each returns ZipOk or the open failure (ZipUnseekable, ZipDupHandleFailed, ZipOpenFileFailed).
    std::uint32_t OpenHandle(HANDLE hFile);
    std::uint32_t OpenFile(const wchar_t* pwstrName);
    void OpenMemory(const void* pData, std::size_t nLength);

    // Exactly nCount bytes at position nPos (relative to the start offset); false on any shortfall.
    bool ReadAt(std::int64_t nPos, void* pBuffer, std::size_t nCount);
    // Length of the source from the start offset; -1 when it cannot be told.
    std::int64_t Length();
    // For a memory source: the bytes at nPos..nPos+nCount in place, or null when out of range.
    const unsigned char* MemoryAt(std::int64_t nPos, std::size_t nCount) const;
    bool IsMemory() const { return m_pMemory != nullptr; }
    void Close();

private:
    static constexpr std::size_t kWindow = 65536;
    static constexpr std::size_t kSmallRead = 4096;

    bool ReadHandle(std::int64_t nPos, void* pBuffer, std::size_t nCount, std::size_t* pnRead);
    bool ReadThroughWindow(std::int64_t nPos, void* pBuffer, std::size_t nCount);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    HANDLE m_hReadDone = nullptr; // event of the reads' OVERLAPPED records
    bool m_bSeekable = false;
    std::int64_t m_nStart = 0;
    const unsigned char* m_pMemory = nullptr;
    std::size_t m_nMemLength = 0;
    struct SWindow
    {
        std::unique_ptr<unsigned char[]> pBytes;
        std::int64_t nPos = 0;
        std::size_t nLength = 0;
    };
    SWindow m_aWindows[2];
    int m_iLastWindow = 0; // the one used most recently
};

} // namespace ZipInternal
