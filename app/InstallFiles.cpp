#include "app/InstallFiles.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <cwctype>
#include <vector>

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Names the system takes for devices whatever folder they are in, also with an extension ("nul.txt").
bool IsDeviceName(const std::wstring& strSegment)
{
    std::wstring strBase = strSegment.substr(0, strSegment.find(L'.'));
    while (!strBase.empty() && strBase.back() == L' ')
        strBase.pop_back();
    for (wchar_t& c : strBase)
        c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* pstrDevice : kDevices) {
        if (strBase == pstrDevice)
            return true;
    }
    return strBase.size() == 4 && (strBase.compare(0, 3, L"COM") == 0 || strBase.compare(0, 3, L"LPT") == 0) &&
           strBase[3] >= L'1' && strBase[3] <= L'9';
}

// One part of a path that names a plain file or folder inside its parent.
bool IsPlainSegment(const std::wstring& strSegment)
{
    if (strSegment.empty() || strSegment == L"." || strSegment == L"..")
        return false;
    // The system strips trailing dots and blanks from a name: "..." or "a." would not be what was asked for.
    if (strSegment.back() == L'.' || strSegment.back() == L' ')
        return false;
    for (wchar_t c : strSegment) {
        if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr)
            return false;
    }
    return !IsDeviceName(strSegment);
}

} // namespace

std::wstring JoinPath(const std::wstring& a, const std::wstring& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return IsSeparator(a.back()) ? a + b : a + L'\\' + b;
}

bool FullFolderPath(const std::wstring& strFolder, std::wstring& strFull)
{
    strFull.clear();
    if (strFolder.empty())
        return false;
    const DWORD n = ::GetFullPathNameW(strFolder.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return false;
    std::vector<wchar_t> buffer(n + 1);
    const DWORD got = ::GetFullPathNameW(strFolder.c_str(), n + 1, buffer.data(), nullptr);
    if (got == 0 || got > n)
        return false;
    strFull.assign(buffer.data(), got);
    // "C:\" keeps its separator; "C:\Games\" loses it.
    while (strFull.size() > 3 && IsSeparator(strFull.back()))
        strFull.pop_back();
    return true;
}

std::wstring ExtendedPath(const std::wstring& strFull)
{
    if (strFull.compare(0, 4, L"\\\\?\\") == 0)
        return strFull;
    if (strFull.size() > 2 && IsSeparator(strFull[0]) && IsSeparator(strFull[1]))
        return L"\\\\?\\UNC\\" + strFull.substr(2);
    return L"\\\\?\\" + strFull;
}

DWORD PathAttributes(const std::wstring& strPath)
{
    return ::GetFileAttributesW(strPath.c_str());
}

bool IsFolder(const std::wstring& strPath)
{
    const DWORD dw = PathAttributes(strPath);
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& strPath)
{
    const DWORD dw = PathAttributes(strPath);
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DWORD CheckFileFree(const std::wstring& strPath, bool bMayClearReadOnly)
{
    const DWORD dwAttributes = PathAttributes(strPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return ::GetLastError();
    const bool bReadOnly = (dwAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (bReadOnly && !bMayClearReadOnly)
        return ERROR_ACCESS_DENIED;
    if (bReadOnly && !::SetFileAttributesW(strPath.c_str(), dwAttributes & ~FILE_ATTRIBUTE_READONLY))
        return ::GetLastError();
    const HANDLE h =
        ::CreateFileW(strPath.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD dwError = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    if (bReadOnly)
        ::SetFileAttributesW(strPath.c_str(), dwAttributes);
    return dwError;
}

bool MakeFolderChain(const std::wstring& strRoot, const std::wstring& strRelative)
{
    std::size_t nAt = 0;
    while (nAt < strRelative.size()) {
        std::size_t nEnd = strRelative.find(L'\\', nAt);
        if (nEnd == std::wstring::npos)
            nEnd = strRelative.size();
        const std::wstring strFolder = JoinPath(strRoot, strRelative.substr(0, nEnd));
        if (!::CreateDirectoryW(strFolder.c_str(), nullptr) && !IsFolder(strFolder))
            return false;
        nAt = nEnd + 1;
    }
    return true;
}

bool WalkTree(const std::wstring& strRoot,
              const std::function<bool(const std::wstring& strRelative, const WIN32_FIND_DATAW& data)>& fnVisit)
{
    std::vector<std::wstring> aPending = {std::wstring()};
    while (!aPending.empty()) {
        const std::wstring strRelative = aPending.back();
        aPending.pop_back();
        WIN32_FIND_DATAW data = {};
        const HANDLE hFind = ::FindFirstFileW(JoinPath(JoinPath(strRoot, strRelative), L"*").c_str(), &data);
        if (hFind == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND)
                continue; // an empty folder (a drive root has no "." entries)
            return false;
        }
        bool bOk = true;
        do {
            const std::wstring strName = data.cFileName;
            if (strName == L"." || strName == L"..")
                continue;
            const std::wstring strChild = JoinPath(strRelative, strName);
            if (!fnVisit(strChild, data)) {
                bOk = false;
                break;
            }
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
                aPending.push_back(strChild);
        } while (::FindNextFileW(hFind, &data));
        const DWORD dwError = ::GetLastError();
        ::FindClose(hFind);
        if (!bOk || dwError != ERROR_NO_MORE_FILES)
            return false;
    }
    return true;
}

bool RemoveTree(const std::wstring& strPath)
{
    const DWORD dwAttributes = PathAttributes(strPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if ((dwAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        ::SetFileAttributesW(strPath.c_str(), dwAttributes & ~FILE_ATTRIBUTE_READONLY);
    if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return ::DeleteFileW(strPath.c_str()) != FALSE;
    // A link to a folder is removed as a link: what it points to is not ours.
    if ((dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return ::RemoveDirectoryW(strPath.c_str()) != FALSE;
    std::vector<std::wstring> aFolders = {std::wstring()};
    bool bAll = true;
    bAll &= WalkTree(strPath, [&](const std::wstring& strRelative, const WIN32_FIND_DATAW& data) {
        const std::wstring strFull = JoinPath(strPath, strRelative);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
            ::SetFileAttributesW(strFull.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            bAll &= ::DeleteFileW(strFull.c_str()) != FALSE;
        else if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            bAll &= ::RemoveDirectoryW(strFull.c_str()) != FALSE;
        else
            aFolders.push_back(strRelative);
        return true;
    });
    // Parents were visited before their contents: remove the folders in reverse.
    for (auto it = aFolders.rbegin(); it != aFolders.rend(); ++it)
        bAll &= ::RemoveDirectoryW(JoinPath(strPath, *it).c_str()) != FALSE;
    return bAll;
}

std::wstring ItemWideName(ZipHandle hZip, int iIndex)
{
    unsigned nLength = 0;
    if (ZipGetItemNameW(hZip, iIndex, nullptr, 0, &nLength) != ZipOk)
        return std::wstring();
    std::wstring strName(nLength + 1, L'\0');
    if (ZipGetItemNameW(hZip, iIndex, &strName[0], nLength + 1, &nLength) != ZipOk)
        return std::wstring();
    strName.resize(nLength);
    for (wchar_t& c : strName)
        c = c == L'/' ? L'\\' : c;
    return strName;
}

bool ItemSize(ZipHandle hZip, int iIndex, std::uint64_t& nSize)
{
    return ZipGetItemSizes(hZip, iIndex, nullptr, &nSize) == ZipOk;
}

bool ClientRelativePath(const std::wstring& strItemName, const std::wstring& strClientFolder, std::wstring& strRelative)
{
    strRelative.clear();
    const std::size_t nPrefix = strClientFolder.size();
    if (strItemName.size() < nPrefix + 1 || strItemName[nPrefix] != L'\\' ||
        ::CompareStringOrdinal(strItemName.c_str(), static_cast<int>(nPrefix), strClientFolder.c_str(),
                               static_cast<int>(nPrefix), TRUE) != CSTR_EQUAL)
        return false;
    std::wstring strRest = strItemName.substr(nPrefix + 1);
    // A folder item ends with a separator.
    if (!strRest.empty() && strRest.back() == L'\\')
        strRest.pop_back();
    std::size_t nAt = 0;
    while (nAt < strRest.size()) {
        std::size_t nEnd = strRest.find(L'\\', nAt);
        if (nEnd == std::wstring::npos)
            nEnd = strRest.size();
        if (!IsPlainSegment(strRest.substr(nAt, nEnd - nAt)))
            return false;
        nAt = nEnd + 1;
    }
    // "a\" left "a", but "a\\" would leave an empty last part.
    if (!strRest.empty() && strRest.back() == L'\\')
        return false;
    strRelative = strRest;
    return true;
}
