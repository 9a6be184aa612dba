// Test support for the zip reader: an archive writer that can also forge any field, a scratch folder that
// lists its whole tree, and a guard for the process's current folder.
#pragma once

#include "zip/ZipReader.h"

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace ZipTest {

struct SItemSpec
{
    std::string strName; // stored bytes
    std::string strData; // uncompressed bytes
    unsigned nMethod = 8;
    std::uint16_t nFlags = 0;
    bool bDescriptor = false;                // flag bit 3: zeros in the local header and a trailing descriptor
    std::uint32_t nExternal = 0x81A40000;    // Unix regular file, mode 0644
    std::uint32_t nDosDateTime = 0x52CF6456; // 2021-06-15 12:34:44
    std::string strLocalExtra;
    std::string strCentralExtra;
    std::string strComment;
    // Sizes (and in the directory the local header offset) as zip64 markers, the values in a zip64 block
    // put first in each extra field.
    bool bZip64 = false;
};

// Where the parts of a written archive lie, for forging fields afterwards.
struct SLayout
{
    std::vector<std::size_t> aLocal;   // local header of each item
    std::vector<std::size_t> aData;    // first data byte of each item
    std::vector<std::size_t> aCentral; // central directory record of each item
    std::size_t nEnd = 0;              // end record
    std::size_t nZip64End = 0;         // zip64 end record and its locator, when written
    std::size_t nZip64Locator = 0;
};

// Writes an archive; strPrefix is put in front without counting it in the offsets. bZip64End adds the zip64
// end record and locator, the classic end record then holding markers.
std::string BuildArchive(const std::vector<SItemSpec>& aItems, const std::string& strComment = "",
                         const std::string& strPrefix = "", SLayout* pLayout = nullptr, bool bZip64End = false);

std::string Deflate(const std::string& strData, int nLevel = 6);
std::uint32_t Crc(const std::string& strData);
void Put16(std::string& s, std::size_t nAt, std::uint16_t v);
void Put32(std::string& s, std::size_t nAt, std::uint32_t v);
void Put64(std::string& s, std::size_t nAt, std::uint64_t v);
std::uint32_t Get32(const std::string& s, std::size_t nAt);
std::uint64_t Get64(const std::string& s, std::size_t nAt);
void Append16(std::string& s, std::uint16_t v);
void Append32(std::string& s, std::uint32_t v);
void Append64(std::string& s, std::uint64_t v);

// The message text of the most recent result.
std::string RecentText();

// Deterministic content: text-like and compressible when bText, noise otherwise.
std::string MakeContent(std::size_t nSize, std::uint32_t nSeed, bool bText);

// Closes a zip handle at the end of its scope.
struct CZip
{
    explicit CZip(ZipHandle h) : hZip(h) {}
    ~CZip()
    {
        if (hZip)
            ZipClose(hZip);
    }
    CZip(const CZip&) = delete;
    CZip& operator=(const CZip&) = delete;
    ZipHandle hZip;
};

// An archive opened from memory that it keeps alive itself (the reader reads the block in place).
struct CMemoryZip
{
    explicit CMemoryZip(std::string strArchive)
        : strBytes(std::move(strArchive)),
          hZip(ZipOpen(strBytes.data(), static_cast<DWORD>(strBytes.size()), ZipKindMemory))
    {
    }
    ~CMemoryZip()
    {
        if (hZip)
            ZipClose(hZip);
    }
    CMemoryZip(const CMemoryZip&) = delete;
    CMemoryZip& operator=(const CMemoryZip&) = delete;
    const std::string strBytes;
    ZipHandle hZip;
};

// A fresh, empty folder under the temp folder, removed with everything in it at the end.
class CScratchFolder
{
public:
    explicit CScratchFolder(const char* pstrTag);
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::string& Path() const { return m_strPath; } // ends without a backslash
    const std::wstring& WidePath() const { return m_wstrPath; }
    std::string operator/(const std::string& strRelative) const { return m_strPath + "\\" + strRelative; }
    // Every file and folder below, as relative paths with '\' ("a\", "a\b.txt": folders end with '\').
    std::set<std::string> Tree() const;

private:
    std::string m_strPath;
    std::wstring m_wstrPath;
};

// Sets the current folder and restores the previous one.
class CCurrentFolder
{
public:
    explicit CCurrentFolder(const std::string& strFolder);
    ~CCurrentFolder();
    bool Ok() const { return m_bOk; }

private:
    char m_szSaved[MAX_PATH] = {};
    bool m_bOk = false;
};

// Paths are GBK, like every text of the program, whatever the system's code page is.
std::string ReadWholeFile(const std::string& strPath, bool* pbOk = nullptr);
bool WriteWholeFile(const std::string& strPath, const std::string& strData);
// Removes a folder with everything in it.
bool RemoveTreeW(const std::wstring& strPath);

} // namespace ZipTest
