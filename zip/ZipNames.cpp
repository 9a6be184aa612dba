#include "zip/ZipNames.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>

namespace ZipInternal {

std::size_t CharLength(const char* p, const char* pEnd)
{
    if (p + 1 < pEnd && ::IsDBCSLeadByteEx(SkinUI::kProgramCodePage, static_cast<BYTE>(*p)) && p[1] != '\0')
        return 2;
    return 1;
}

bool DecodeItemName(const char* pRaw, std::size_t nLength, bool bUtf8, const std::string* pUnicodePath,
                    SItemName& name)
{
    name.strGbk.clear();
    name.strWide.clear();
    if (bUtf8 || pUnicodePath) {
        const std::string& strUtf8 = pUnicodePath ? *pUnicodePath : std::string(pRaw, nLength);
        if (strUtf8.empty())
            return true;
        bool bValid = false;
        name.strWide = SkinUI::Utf8ToWide(strUtf8.data(), static_cast<int>(strUtf8.size()), &bValid);
        if (!bValid || name.strWide.find(L'\0') != std::wstring::npos)
            return false;
        const SkinUI::CUIString strGbk = SkinUI::WideToGbk(name.strWide.data(), static_cast<int>(name.strWide.size()));
        name.strGbk.assign(strGbk.Chars(), static_cast<std::size_t>(strGbk.GetLength()));
        return true;
    }
    name.strGbk.assign(pRaw, nLength);
    name.strWide = SkinUI::GbkToWide(pRaw, static_cast<int>(nLength));
    return true;
}

bool IsSeparator(wchar_t c)
{
    return c == L'/' || c == L'\\';
}

bool EndsWithSeparator(const std::wstring& strName)
{
    return !strName.empty() && IsSeparator(strName.back());
}

namespace {

// "..", "...", ".. ", ". ." and the like: the platform strips trailing dots and spaces from a path's last
// segment, so any segment of dots and spaces holding two or more dots may resolve to the parent folder.
bool IsParentLikeSegment(const wchar_t* p, std::size_t n)
{
    std::size_t nDots = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == L'.')
            ++nDots;
        else if (p[i] != L' ')
            return false;
    }
    return nDots >= 2;
}

} // namespace

bool IsContainedName(const std::wstring& strName)
{
    if (!strName.empty() && IsSeparator(strName[0]))
        return false;
    std::size_t nSegment = 0;
    for (std::size_t i = 0; i <= strName.size(); ++i) {
        if (i == strName.size() || IsSeparator(strName[i])) {
            if (IsParentLikeSegment(strName.data() + nSegment, i - nSegment))
                return false;
            nSegment = i + 1;
        } else if (strName[i] == L':') {
            return false;
        }
    }
    return true;
}

bool ComposePath(const std::wstring& strBase, const std::wstring& strRelative, std::wstring& strPath)
{
    // The whole path must fit before anything is made: a cut path would make other folders.
    if (strBase.empty() || strBase.size() + strRelative.size() >= MAX_PATH)
        return false;
    strPath = strBase + strRelative;
    for (std::size_t i = strBase.size(); i < strPath.size(); ++i) {
        if (strPath[i] == L'/')
            strPath[i] = L'\\';
    }
    return true;
}

void MakeFolders(const std::wstring& strPath, std::size_t nBase)
{
    std::wstring strFolder;
    for (std::size_t i = nBase; i < strPath.size(); ++i) {
        // Each folder once: doubled separators make no empty-named folder.
        if (i > 0 && strPath[i] == L'\\' && strPath[i - 1] != L'\\') {
            strFolder.assign(strPath, 0, i);
            ::CreateDirectoryW(strFolder.c_str(), nullptr);
        }
    }
}

bool NamesEqual(const char* pStored, std::size_t nStored, const char* pWanted, std::size_t nWanted, bool bIgnoreCase)
{
    if (nStored != nWanted)
        return false;
    const char* pEnd = pStored + nStored;
    for (std::size_t i = 0; i < nStored;) {
        const std::size_t nChar = CharLength(pStored + i, pEnd);
        if (nChar == 2) {
            if (pStored[i] != pWanted[i] || pStored[i + 1] != pWanted[i + 1])
                return false;
        } else {
            char a = pStored[i], b = pWanted[i];
            if ((a == '/' || a == '\\') && (b == '/' || b == '\\')) {
                a = b = '/';
            } else if (bIgnoreCase) {
                if (a >= 'a' && a <= 'z')
                    a = static_cast<char>(a - 'a' + 'A');
                if (b >= 'a' && b <= 'z')
                    b = static_cast<char>(b - 'a' + 'A');
            }
            if (a != b)
                return false;
        }
        i += nChar;
    }
    return true;
}

} // namespace ZipInternal
