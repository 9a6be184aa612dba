#include "zip/ZipNames.h"

#include <windows.h>

#include <cstring>

namespace ZipInternal {

std::size_t CharLength(const char* p, const char* pEnd)
{
    if (p + 1 < pEnd && ::IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0')
        return 2;
    return 1;
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool EndsWithSeparator(const char* pstrName, std::size_t nLength)
{
    const std::ptrdiff_t iLast = LastSeparator(pstrName, nLength);
    return iLast >= 0 && static_cast<std::size_t>(iLast) + 1 == nLength;
}

std::ptrdiff_t LastSeparator(const char* pstrName, std::size_t nLength)
{
    std::ptrdiff_t iLast = -1;
    const char* pEnd = pstrName + nLength;
    for (const char* p = pstrName; p < pEnd; p += CharLength(p, pEnd)) {
        if (IsSeparator(*p))
            iLast = p - pstrName;
    }
    return iLast;
}

bool Utf8ToSystemName(const char* pUtf8, std::size_t nLength, char* pOut, std::size_t nCapacity,
                      std::size_t* pnOutLength)
{
    if (nCapacity == 0)
        return false;
    pOut[0] = '\0';
    *pnOutLength = 0;
    if (nLength == 0)
        return true;
    // A name that fits the record has at most nCapacity - 1 characters, each at most 4 UTF-8 bytes.
    if (nLength > 4 * nCapacity)
        return false;
    WCHAR szWide[4 * MAX_PATH + 4];
    const int nWide = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pUtf8, static_cast<int>(nLength), szWide,
                                            static_cast<int>(sizeof(szWide) / sizeof(szWide[0])));
    if (nWide <= 0)
        return false;
    const int nOut =
        ::WideCharToMultiByte(CP_ACP, 0, szWide, nWide, pOut, static_cast<int>(nCapacity - 1), nullptr, nullptr);
    if (nOut <= 0) {
        pOut[0] = '\0';
        return false;
    }
    pOut[nOut] = '\0';
    *pnOutLength = static_cast<std::size_t>(nOut);
    return true;
}

namespace {

// "..", "...", ".. ", ". ." and the like: the platform strips trailing dots and spaces from a path's last
// segment, so any segment of dots and spaces holding two or more dots may resolve to the parent folder.
bool IsParentLikeSegment(const char* p, std::size_t n)
{
    std::size_t nDots = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == '.')
            ++nDots;
        else if (p[i] != ' ')
            return false;
    }
    return nDots >= 2;
}

} // namespace

bool IsContainedName(const char* pstrName)
{
    const std::size_t nLength = std::strlen(pstrName);
    if (nLength > 0 && IsSeparator(pstrName[0]))
        return false;
    const char* pEnd = pstrName + nLength;
    const char* pSegment = pstrName;
    for (const char* p = pstrName;;) {
        if (p == pEnd || IsSeparator(*p)) {
            if (IsParentLikeSegment(pSegment, static_cast<std::size_t>(p - pSegment)))
                return false;
            if (p == pEnd)
                break;
            pSegment = ++p;
            continue;
        }
        if (*p == ':')
            return false;
        p += CharLength(p, pEnd);
    }
    return true;
}

bool MakeFolders(const char* pstrBase, const char* pstrFolders, std::size_t nLength)
{
    char szPath[MAX_PATH];
    const std::size_t nBase = std::strlen(pstrBase);
    // The whole composed path must fit before anything is made: a cut path would make other folders.
    if (nBase == 0 || nBase + nLength >= sizeof(szPath))
        return false;
    std::memcpy(szPath, pstrBase, nBase);
    std::size_t n = nBase;
    const char* pEnd = pstrFolders + nLength;
    for (const char* p = pstrFolders; p < pEnd;) {
        const std::size_t nChar = CharLength(p, pEnd);
        if (IsSeparator(*p)) {
            if (n > 0 && szPath[n - 1] != '\\') {
                szPath[n] = '\0';
                ::CreateDirectoryA(szPath, nullptr);
            }
            szPath[n++] = '\\';
        } else {
            std::memcpy(szPath + n, p, nChar);
            n += nChar;
        }
        p += nChar;
    }
    if (n > nBase && szPath[n - 1] != '\\') {
        szPath[n] = '\0';
        ::CreateDirectoryA(szPath, nullptr);
    }
    return true;
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
            if (IsSeparator(a) && IsSeparator(b)) {
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
