#include "app/InstallRecord.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/InstallFiles.h"

#include <windows.h>

const wchar_t kInstallRecordName[] = L"VeltaraSetup.record";
const wchar_t kInstallLogCopyName[] = L"VeltaraSetup.log";
const wchar_t kUninstallerName[] = L"VeltaraUninstall.exe";

namespace {

const char kHeader[] = "VeltaraSetup install record 1";
// A record larger than this is not one of ours.
constexpr std::uint64_t kMaxRecordBytes = 64u << 20;
// Files are hashed in pieces of this size; a stop is seen between two pieces.
constexpr DWORD kHashPiece = 256u << 10;

bool SameName(const std::wstring& a, const wchar_t* b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

bool ParseSize(const std::string& strDigits, std::uint64_t& nSize)
{
    if (strDigits.empty() || strDigits.size() > 19)
        return false;
    nSize = 0;
    for (char c : strDigits) {
        if (c < '0' || c > '9')
            return false;
        nSize = nSize * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

// "<hex> <size> <path>"; the path is the rest of the line and may hold blanks.
bool ParseLine(const std::string& strLine, SInstalledFile& file)
{
    const std::size_t nFirst = strLine.find(' ');
    const std::size_t nSecond = nFirst == std::string::npos ? nFirst : strLine.find(' ', nFirst + 1);
    if (nSecond == std::string::npos || nSecond + 1 >= strLine.size())
        return false;
    if (!Veltara::DigestFromHex(strLine.substr(0, nFirst).c_str(), file.digest) ||
        !ParseSize(strLine.substr(nFirst + 1, nSecond - nFirst - 1), file.nSize))
        return false;
    bool bValid = false;
    file.strPath = SkinUI::Utf8ToWide(strLine.c_str() + nSecond + 1, -1, &bValid);
    if (!bValid || file.strPath.empty())
        return false;
    for (wchar_t& c : file.strPath)
        c = c == L'/' ? L'\\' : c;
    return true;
}

} // namespace

bool IsInstallerOwnFile(const std::wstring& strRelative)
{
    return SameName(strRelative, kInstallRecordName) || SameName(strRelative, kInstallLogCopyName) ||
           SameName(strRelative, kUninstallerName);
}

bool PathLess::operator()(const std::wstring& a, const std::wstring& b) const
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

std::string FormatInstallRecord(const std::vector<SInstalledFile>& aFiles)
{
    std::string strText = kHeader;
    strText += "\r\n";
    for (const SInstalledFile& file : aFiles) {
        strText += Veltara::DigestToHex(file.digest);
        strText += ' ';
        strText += std::to_string(file.nSize);
        strText += ' ';
        std::wstring strPath = file.strPath;
        for (wchar_t& c : strPath)
            c = c == L'\\' ? L'/' : c;
        strText += SkinUI::WideToUtf8(strPath.c_str(), static_cast<int>(strPath.size()));
        strText += "\r\n";
    }
    return strText;
}

bool ParseInstallRecord(const std::string& strText, std::vector<SInstalledFile>& aFiles)
{
    aFiles.clear();
    std::size_t nAt = 0;
    bool bHeader = true;
    while (nAt < strText.size()) {
        std::size_t nEnd = strText.find('\n', nAt);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        std::string strLine = strText.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (bHeader) {
            if (strLine != kHeader)
                return false;
            bHeader = false;
            continue;
        }
        SInstalledFile file;
        if (ParseLine(strLine, file))
            aFiles.push_back(std::move(file));
    }
    return !bHeader;
}

bool ReadInstallRecordFile(const std::wstring& strClientFolder, std::vector<SInstalledFile>& aFiles)
{
    aFiles.clear();
    CScopedHandle file(::CreateFileW(JoinPath(strClientFolder, kInstallRecordName).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    LARGE_INTEGER size = {};
    if (!file.IsOpen() || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxRecordBytes)
        return false;
    std::string strText(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD nRead = 0;
    if (!strText.empty() &&
        (!::ReadFile(file.Get(), &strText[0], static_cast<DWORD>(strText.size()), &nRead, nullptr) ||
         nRead != strText.size()))
        return false;
    return ParseInstallRecord(strText, aFiles);
}

bool FileMatchesRecord(const std::wstring& strPath, const SInstalledFile& recorded, const std::function<bool()>& fnStop)
{
    CScopedHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!file.IsOpen() || !::GetFileSizeEx(file.Get(), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) != recorded.nSize)
        return false;
    Veltara::CSha256 hash;
    std::vector<char> buffer(kHashPiece);
    for (;;) {
        if (fnStop && fnStop())
            return false;
        DWORD nRead = 0;
        if (!::ReadFile(file.Get(), buffer.data(), kHashPiece, &nRead, nullptr))
            return false;
        if (nRead == 0)
            break;
        hash.Update(buffer.data(), nRead);
    }
    return hash.Finish() == recorded.digest;
}

std::map<std::wstring, SInstalledFile, PathLess> IndexInstallRecord(const std::vector<SInstalledFile>& aFiles)
{
    std::map<std::wstring, SInstalledFile, PathLess> index;
    for (const SInstalledFile& file : aFiles)
        index.emplace(file.strPath, file);
    return index;
}

FileFate DecideFileFate(bool bInPackage, bool bExists, bool bListed, bool bUnchanged)
{
    if (!bExists)
        return bInPackage ? FileFate::Install : FileFate::None;
    const bool bChangedByPlayer = bListed && !bUnchanged;
    if (bInPackage)
        return bChangedByPlayer ? FileFate::Keep : FileFate::Install;
    return bListed && bUnchanged ? FileFate::Remove : FileFate::Keep;
}
