#include "ZipTestSupport.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <zlib.h>

#include <cstring>
#include <initializer_list>

namespace ZipTest {

void Put16(std::string& s, std::size_t nAt, std::uint16_t v)
{
    s[nAt] = static_cast<char>(v & 0xFF);
    s[nAt + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& s, std::size_t nAt, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[nAt + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put64(std::string& s, std::size_t nAt, std::uint64_t v)
{
    Put32(s, nAt, static_cast<std::uint32_t>(v));
    Put32(s, nAt + 4, static_cast<std::uint32_t>(v >> 32));
}

std::uint32_t Get32(const std::string& s, std::size_t nAt)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[nAt + i]);
    return v;
}

std::uint64_t Get64(const std::string& s, std::size_t nAt)
{
    return Get32(s, nAt) | (static_cast<std::uint64_t>(Get32(s, nAt + 4)) << 32);
}

void Append16(std::string& s, std::uint16_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

void Append32(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Append64(std::string& s, std::uint64_t v)
{
    Append32(s, static_cast<std::uint32_t>(v));
    Append32(s, static_cast<std::uint32_t>(v >> 32));
}

namespace {

// A zip64 block (id 1) holding the given values.
std::string Zip64Block(std::initializer_list<std::uint64_t> values)
{
    std::string s;
    Append16(s, 1);
    Append16(s, static_cast<std::uint16_t>(8 * values.size()));
    for (std::uint64_t v : values)
        Append64(s, v);
    return s;
}

} // namespace

std::string Deflate(const std::string& strData, int nLevel)
{
    z_stream zs = {};
    deflateInit2(&zs, nLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, static_cast<uLong>(strData.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(strData.data()));
    zs.avail_in = static_cast<uInt>(strData.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::uint32_t Crc(const std::string& strData)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(strData.data()), static_cast<uInt>(strData.size())));
}

std::string BuildArchive(const std::vector<SItemSpec>& aItems, const std::string& strComment,
                         const std::string& strPrefix, SLayout* pLayout, bool bZip64End)
{
    SLayout layout;
    std::string body;
    std::vector<std::string> aCompressed;
    for (const SItemSpec& item : aItems) {
        const std::string packed = item.nMethod == 8 ? Deflate(item.strData) : item.strData;
        const std::uint32_t nCrc = Crc(item.strData);
        const std::uint16_t nFlags = static_cast<std::uint16_t>(item.nFlags | (item.bDescriptor ? 0x0008 : 0));
        layout.aLocal.push_back(body.size());
        Append32(body, 0x04034B50);
        Append16(body, 20);
        Append16(body, nFlags);
        Append16(body, static_cast<std::uint16_t>(item.nMethod));
        Append32(body, item.nDosDateTime);
        const std::string strLocalExtra =
            (item.bZip64 ? Zip64Block({item.strData.size(), packed.size()}) : "") + item.strLocalExtra;
        Append32(body, item.bDescriptor ? 0 : nCrc);
        Append32(body, item.bZip64 ? 0xFFFFFFFF : item.bDescriptor ? 0 : static_cast<std::uint32_t>(packed.size()));
        Append32(body,
                 item.bZip64 ? 0xFFFFFFFF : item.bDescriptor ? 0 : static_cast<std::uint32_t>(item.strData.size()));
        Append16(body, static_cast<std::uint16_t>(item.strName.size()));
        Append16(body, static_cast<std::uint16_t>(strLocalExtra.size()));
        body += item.strName;
        body += strLocalExtra;
        layout.aData.push_back(body.size());
        body += packed;
        if (item.bDescriptor) {
            Append32(body, 0x08074B50);
            Append32(body, nCrc);
            Append32(body, static_cast<std::uint32_t>(packed.size()));
            Append32(body, static_cast<std::uint32_t>(item.strData.size()));
        }
        aCompressed.push_back(packed);
    }
    const std::size_t nDirOffset = body.size();
    for (std::size_t i = 0; i < aItems.size(); ++i) {
        const SItemSpec& item = aItems[i];
        layout.aCentral.push_back(body.size());
        Append32(body, 0x02014B50);
        Append16(body, 0x031E); // made by Unix, version 3.0
        Append16(body, 20);
        Append16(body, static_cast<std::uint16_t>(item.nFlags | (item.bDescriptor ? 0x0008 : 0)));
        Append16(body, static_cast<std::uint16_t>(item.nMethod));
        Append32(body, item.nDosDateTime);
        const std::string strCentralExtra =
            (item.bZip64 ? Zip64Block({item.strData.size(), aCompressed[i].size(), layout.aLocal[i]}) : "") +
            item.strCentralExtra;
        Append32(body, Crc(item.strData));
        Append32(body, item.bZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(aCompressed[i].size()));
        Append32(body, item.bZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(item.strData.size()));
        Append16(body, static_cast<std::uint16_t>(item.strName.size()));
        Append16(body, static_cast<std::uint16_t>(strCentralExtra.size()));
        Append16(body, static_cast<std::uint16_t>(item.strComment.size()));
        Append16(body, 0);
        Append16(body, 0);
        Append32(body, item.nExternal);
        Append32(body, item.bZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(layout.aLocal[i]));
        body += item.strName;
        body += strCentralExtra;
        body += item.strComment;
    }
    const std::size_t nDirSize = body.size() - nDirOffset;
    if (bZip64End) {
        layout.nZip64End = body.size();
        Append32(body, 0x06064B50);
        Append64(body, 44);
        Append16(body, 0x031E);
        Append16(body, 45);
        Append32(body, 0);
        Append32(body, 0);
        Append64(body, aItems.size());
        Append64(body, aItems.size());
        Append64(body, nDirSize);
        Append64(body, nDirOffset);
        layout.nZip64Locator = body.size();
        Append32(body, 0x07064B50);
        Append32(body, 0);
        Append64(body, layout.nZip64End);
        Append32(body, 1);
    }
    layout.nEnd = body.size();
    Append32(body, 0x06054B50);
    Append16(body, 0);
    Append16(body, 0);
    Append16(body, bZip64End ? 0xFFFF : static_cast<std::uint16_t>(aItems.size()));
    Append16(body, bZip64End ? 0xFFFF : static_cast<std::uint16_t>(aItems.size()));
    Append32(body, bZip64End ? 0xFFFFFFFF : static_cast<std::uint32_t>(nDirSize));
    Append32(body, bZip64End ? 0xFFFFFFFF : static_cast<std::uint32_t>(nDirOffset));
    Append16(body, static_cast<std::uint16_t>(strComment.size()));
    body += strComment;
    if (pLayout) {
        for (auto* a : {&layout.aLocal, &layout.aData, &layout.aCentral})
            for (std::size_t& n : *a)
                n += strPrefix.size();
        layout.nEnd += strPrefix.size();
        if (bZip64End) {
            layout.nZip64End += strPrefix.size();
            layout.nZip64Locator += strPrefix.size();
        }
        *pLayout = layout;
    }
    return strPrefix + body;
}

std::string RecentText()
{
    char sz[128];
    ZipFormatResult(ZipRecent, sz, sizeof(sz));
    return sz;
}

std::string MakeContent(std::size_t nSize, std::uint32_t nSeed, bool bText)
{
    static const char* const aWords[] = {"skin",    "window ", "button",   "\r\n",    "veltara ",
                                         "client ", "0123 ",   "install ", "folder/", "png "};
    std::string s;
    s.reserve(nSize);
    std::uint32_t x = nSeed * 2654435761u + 1;
    while (s.size() < nSize) {
        x = x * 1103515245u + 12345u;
        if (bText)
            s += aWords[(x >> 16) % 10];
        else
            s.push_back(static_cast<char>(x >> 23));
    }
    s.resize(nSize);
    return s;
}

CScratchFolder::CScratchFolder(const char* pstrTag)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    static unsigned s_nSerial = 0;
    for (;;) {
        char szPath[MAX_PATH];
        wsprintfA(szPath, "%szip-%s-%lu-%u", szTemp, pstrTag, ::GetCurrentProcessId(), ++s_nSerial);
        if (::CreateDirectoryA(szPath, nullptr)) {
            m_strPath = szPath;
            break;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return;
    }
    // The folder's exact wide name, as the file system gives it, for wide calls: what is made below it may
    // have names that the system's code page lacks.
    HANDLE h = ::CreateFileA(m_strPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    wchar_t szWide[MAX_PATH * 2];
    const DWORD nWide = ::GetFinalPathNameByHandleW(h, szWide, MAX_PATH * 2, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    ::CloseHandle(h);
    if (nWide > 0 && nWide < MAX_PATH * 2) {
        m_wstrPath.assign(szWide, nWide);
        if (m_wstrPath.compare(0, 4, L"\\\\?\\") == 0)
            m_wstrPath.erase(0, 4);
    }
}

CScratchFolder::~CScratchFolder()
{
    if (!m_wstrPath.empty())
        RemoveTreeW(m_wstrPath);
}

namespace {

void Collect(const std::string& strRoot, const std::string& strRelative, std::set<std::string>& tree)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((strRoot + "\\" + strRelative + "*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string strName = fd.cFileName;
        if (strName == "." || strName == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree.insert(strRelative + strName + "\\");
            Collect(strRoot, strRelative + strName + "\\", tree);
        } else {
            tree.insert(strRelative + strName);
        }
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
}

} // namespace

std::set<std::string> CScratchFolder::Tree() const
{
    std::set<std::string> tree;
    Collect(m_strPath, "", tree);
    return tree;
}

bool RemoveTreeW(const std::wstring& strPath)
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = ::FindFirstFileW((strPath + L"\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring strName = fd.cFileName;
            if (strName == L"." || strName == L"..")
                continue;
            const std::wstring strChild = strPath + L"\\" + strName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTreeW(strChild);
            } else {
                ::SetFileAttributesW(strChild.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(strChild.c_str());
            }
        } while (::FindNextFileW(hFind, &fd));
        ::FindClose(hFind);
    }
    return ::RemoveDirectoryW(strPath.c_str()) != FALSE;
}

CCurrentFolder::CCurrentFolder(const std::string& strFolder)
{
    ::GetCurrentDirectoryA(MAX_PATH, m_szSaved);
    m_bOk = ::SetCurrentDirectoryA(strFolder.c_str()) != FALSE;
}

CCurrentFolder::~CCurrentFolder()
{
    ::SetCurrentDirectoryA(m_szSaved);
}

std::string ReadWholeFile(const std::string& strPath, bool* pbOk)
{
    if (pbOk)
        *pbOk = false;
    HANDLE h = ::CreateFileW(SkinUI::GbkToWide(strPath.c_str()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    std::string data(::GetFileSize(h, nullptr), '\0');
    DWORD nRead = 0;
    const BOOL bOk = data.empty() || ::ReadFile(h, &data[0], static_cast<DWORD>(data.size()), &nRead, nullptr);
    ::CloseHandle(h);
    if (pbOk)
        *pbOk = bOk && (data.empty() || nRead == data.size());
    return data;
}

bool WriteWholeFile(const std::string& strPath, const std::string& strData)
{
    HANDLE h = ::CreateFileW(SkinUI::GbkToWide(strPath.c_str()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD nWritten = 0;
    const BOOL bOk = ::WriteFile(h, strData.data(), static_cast<DWORD>(strData.size()), &nWritten, nullptr);
    ::CloseHandle(h);
    return bOk && nWritten == strData.size();
}

} // namespace ZipTest
