#include "app/InstallRecord.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>

const wchar_t kInstallRecordName[] = L"VeltaraSetup.record";

namespace {

const char kHeader[] = "VeltaraSetup install record 1";

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
