#include "SkinUI/Utils/UIString.h"

#include "SkinUI/Utils/UIAssert.h"
#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>
#include <shlwapi.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace SkinUI {

namespace {

inline char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when [p, p + n) overlaps the storage of s, which must then be copied before s changes.
bool Overlaps(const char* p, const CUIString& s)
{
    const char* b = s.Chars();
    const char* e = b + s.GetLength() + 1;
    return p >= b && p < e;
}

} // namespace

bool IsDbcsLeadByte(unsigned char ch)
{
    // The program's texts are GBK whatever the system's code page is, so are its lead bytes.
    return IsGbkLeadByte(ch);
}

int DbcsCharSize(const char* pstr)
{
    // A lead byte before the terminator counts as one byte.
    return (IsDbcsLeadByte(static_cast<unsigned char>(pstr[0])) && pstr[1] != '\0') ? 2 : 1;
}

int DbcsSafeLength(const char* pstr, int nMax)
{
    int i = 0;
    while (i < nMax && pstr[i] != '\0') {
        if (IsDbcsLeadByte(static_cast<unsigned char>(pstr[i]))) {
            // A lead byte that would be the last byte copied (or that has no trail) is cut off.
            if (i + 1 >= nMax || pstr[i + 1] == '\0')
                break;
            i += 2;
        } else {
            ++i;
        }
    }
    return i;
}

CUIString::CUIString() : m_pstr(m_szBuffer)
{
    m_szBuffer[0] = '\0';
}

CUIString::CUIString(char ch) : m_pstr(m_szBuffer)
{
    m_szBuffer[0] = ch;
    m_szBuffer[1] = '\0';
}

CUIString::CUIString(const char* lpsz, int nLen) : m_pstr(m_szBuffer)
{
    UIASSERT(!::IsBadStringPtrA(lpsz, -1) || lpsz == 0);
    m_szBuffer[0] = '\0';
    AssignText(lpsz, nLen);
}

CUIString::CUIString(const CUIString& src) : m_pstr(m_szBuffer)
{
    m_szBuffer[0] = '\0';
    AssignText(src.m_pstr);
}

CUIString::CUIString(CUIString&& src) noexcept : m_pstr(m_szBuffer)
{
    if (src.IsInline()) {
        std::memcpy(m_szBuffer, src.m_szBuffer, sizeof(m_szBuffer));
    } else {
        m_pstr = src.m_pstr;
        src.m_pstr = src.m_szBuffer;
    }
    src.m_szBuffer[0] = '\0';
}

CUIString::~CUIString()
{
    FreeHeap();
}

void CUIString::FreeHeap()
{
    if (m_pstr != m_szBuffer)
        std::free(m_pstr);
    m_pstr = m_szBuffer;
}

int CUIString::GetLength() const
{
    return static_cast<int>(std::strlen(m_pstr));
}

void CUIString::AssignText(const char* pstr, int nLength)
{
    if (pstr == nullptr)
        pstr = "";
    int n = nLength < 0 ? static_cast<int>(std::strlen(pstr)) : static_cast<int>(strnlen(pstr, nLength));
    // Only a limit that cuts the text may leave half a character, so only then is a lead byte dropped;
    // a whole copy keeps every byte, a lone trailing lead byte included.
    if (pstr[n] != '\0')
        n = DbcsSafeLength(pstr, n);

    if (n <= kMaxInline) {
        std::memmove(m_szBuffer, pstr, n); // the source may be this string's own text
        m_szBuffer[n] = '\0';
        FreeHeap();
        return;
    }
    if (!IsInline() && GetLength() >= n) {
        std::memmove(m_pstr, pstr, n);
        m_pstr[n] = '\0';
        return;
    }
    char* pBlock = static_cast<char*>(std::malloc(n + 1));
    if (pBlock == nullptr)
        return; // out of memory: the string keeps its text
    std::memcpy(pBlock, pstr, n);
    pBlock[n] = '\0';
    FreeHeap();
    m_pstr = pBlock;
}

void CUIString::AppendText(const char* pstr)
{
    if (pstr == nullptr || *pstr == '\0')
        return;
    if (Overlaps(pstr, *this)) {
        const CUIString copy(pstr);
        AppendText(copy.m_pstr);
        return;
    }
    const int nOld = GetLength();
    const int nNew = nOld + static_cast<int>(std::strlen(pstr));
    if (nNew > kMaxInline) {
        if (IsInline()) {
            char* pBlock = static_cast<char*>(std::malloc(nNew + 1));
            if (pBlock == nullptr)
                return;
            std::memcpy(pBlock, m_szBuffer, nOld + 1);
            m_pstr = pBlock;
        } else {
            char* pBlock = static_cast<char*>(std::realloc(m_pstr, nNew + 1));
            if (pBlock == nullptr)
                return;
            m_pstr = pBlock;
        }
    }
    std::strcpy(m_pstr + nOld, pstr);
}

void CUIString::Clear()
{
    FreeHeap();
    m_szBuffer[0] = '\0';
}

const CUIString& CUIString::operator=(const CUIString& src)
{
    if (this != &src)
        AssignText(src.m_pstr);
    return *this;
}

const CUIString& CUIString::operator=(CUIString&& src) noexcept
{
    if (this == &src)
        return *this;
    if (src.IsInline()) {
        AssignText(src.m_pstr);
    } else {
        FreeHeap();
        m_pstr = src.m_pstr;
        src.m_pstr = src.m_szBuffer;
        src.m_szBuffer[0] = '\0';
    }
    return *this;
}

const CUIString& CUIString::operator=(const char* lpStr)
{
    if (lpStr != nullptr) {
        UIASSERT(!::IsBadStringPtrA(lpStr, -1));
        AssignText(lpStr);
    } else {
        Clear();
    }
    return *this;
}

const CUIString& CUIString::operator=(const wchar_t* lpwStr)
{
    if (lpwStr == nullptr) {
        Clear();
        return *this;
    }
    UIASSERT(!::IsBadStringPtrW(lpwStr, -1));
    AssignText(WideToGbk(lpwStr));
    return *this;
}

const CUIString& CUIString::operator=(char ch)
{
    Clear();
    m_szBuffer[0] = ch;
    m_szBuffer[1] = '\0';
    return *this;
}

const CUIString& CUIString::operator+=(const CUIString& src)
{
    AppendText(src.m_pstr);
    return *this;
}

const CUIString& CUIString::operator+=(const char* pstr)
{
    if (pstr != nullptr) {
        UIASSERT(!::IsBadStringPtrA(pstr, -1));
        AppendText(pstr);
    }
    return *this;
}

const CUIString& CUIString::operator+=(const wchar_t* lpwStr)
{
    if (lpwStr != nullptr) {
        UIASSERT(!::IsBadStringPtrW(lpwStr, -1));
        AppendText(WideToGbk(lpwStr));
    }
    return *this;
}

const CUIString& CUIString::operator+=(char ch)
{
    const char sz[2] = {ch, '\0'};
    AppendText(sz);
    return *this;
}

CUIString CUIString::operator+(const CUIString& src) const
{
    CUIString result(*this);
    result.AppendText(src.m_pstr);
    return result;
}

CUIString CUIString::operator+(const char* pstr) const
{
    CUIString result(*this);
    if (pstr != nullptr) {
        UIASSERT(!::IsBadStringPtrA(pstr, -1));
        result.AppendText(pstr);
    }
    return result;
}

void CUIString::SetCharAt(int nIndex, char ch)
{
    UIASSERT(nIndex >= 0 && nIndex < GetLength());
    m_pstr[nIndex] = ch;
}

int CUIString::CompareTo(const char* lpsz) const
{
    if (lpsz == nullptr)
        lpsz = "";
    // Byte-wise order over unsigned bytes keeps double-byte characters in code-page order.
    return std::strcmp(m_pstr, lpsz);
}

int CUIString::CompareIgnoreCase(const char* lpsz) const
{
    if (lpsz == nullptr)
        lpsz = "";
    const char* a = m_pstr;
    const char* b = lpsz;
    for (;;) {
        const int na = DbcsCharSize(a);
        const int nb = DbcsCharSize(b);
        // Only single-byte ASCII letters fold; a trail byte that looks like a letter is compared as it is.
        const unsigned char ca = static_cast<unsigned char>(na == 1 ? AsciiLower(*a) : *a);
        const unsigned char cb = static_cast<unsigned char>(nb == 1 ? AsciiLower(*b) : *b);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == '\0')
            return 0;
        if (na == 2 || nb == 2) {
            const unsigned char ta = static_cast<unsigned char>(na == 2 ? a[1] : 0);
            const unsigned char tb = static_cast<unsigned char>(nb == 2 ? b[1] : 0);
            if (na != nb || ta != tb) {
                if (na != nb)
                    return na < nb ? -1 : 1;
                return ta < tb ? -1 : 1;
            }
        }
        a += na;
        b += nb;
    }
}

void CUIString::ToUpper()
{
    for (char* p = m_pstr; *p != '\0';) {
        const int n = DbcsCharSize(p);
        if (n == 1)
            *p = AsciiUpper(*p);
        p += n;
    }
}

void CUIString::ToLower()
{
    for (char* p = m_pstr; *p != '\0';) {
        const int n = DbcsCharSize(p);
        if (n == 1)
            *p = AsciiLower(*p);
        p += n;
    }
}

CUIString CUIString::Leftmost(int nLength) const
{
    if (nLength < 0)
        nLength = 0;
    const int nLen = GetLength();
    if (nLength > nLen)
        nLength = nLen;
    return CUIString(m_pstr, nLength);
}

CUIString CUIString::Substring(int iPos, int nLength) const
{
    const int nLen = GetLength();
    UIASSERT(iPos >= 0 && iPos <= nLen);
    if (iPos < 0 || iPos > nLen)
        return CUIString();
    if (nLength < 0)
        nLength = nLen - iPos;
    if (iPos + nLength > nLen)
        nLength = nLen - iPos;
    if (nLength <= 0)
        return CUIString();
    return CUIString(m_pstr + iPos, nLength);
}

CUIString CUIString::Rightmost(int nLength) const
{
    UIASSERT(nLength >= 0);
    const int nLen = GetLength();
    if (nLength > nLen)
        nLength = nLen;
    if (nLength < 0)
        nLength = 0;
    return CUIString(m_pstr + nLen - nLength, nLength);
}

int CUIString::FindChar(char ch, int iPos) const
{
    const int nLen = GetLength();
    UIASSERT(iPos >= 0 && iPos <= nLen);
    if (iPos != 0 && (iPos < 0 || iPos >= nLen))
        return -1;
    // Walk whole characters from the start so that a trail byte is never taken for the character.
    for (int i = 0; i < nLen;) {
        const int n = DbcsCharSize(m_pstr + i);
        if (i >= iPos && n == 1 && m_pstr[i] == ch)
            return i;
        i += n;
    }
    return -1;
}

int CUIString::FindText(const char* pstrSub, int iPos) const
{
    UIASSERT(!::IsBadStringPtrA(pstrSub, -1));
    const int nLen = GetLength();
    UIASSERT(iPos >= 0 && iPos <= nLen);
    if (iPos != 0 && (iPos < 0 || iPos > nLen))
        return -1;
    if (pstrSub == nullptr)
        return -1;
    const size_t nSub = std::strlen(pstrSub);
    for (int i = 0; i <= nLen;) {
        if (i >= iPos && std::strncmp(m_pstr + i, pstrSub, nSub) == 0)
            return i;
        if (i == nLen)
            break;
        i += DbcsCharSize(m_pstr + i);
    }
    return -1;
}

int CUIString::FindLastChar(char ch) const
{
    int iFound = -1;
    for (int i = 0; m_pstr[i] != '\0';) {
        const int n = DbcsCharSize(m_pstr + i);
        if (n == 1 && m_pstr[i] == ch)
            iFound = i;
        i += n;
    }
    return iFound;
}

int CUIString::ReplaceAll(const char* pstrFrom, const char* pstrTo)
{
    UIASSERT(pstrFrom != nullptr && *pstrFrom != '\0');
    if (pstrFrom == nullptr || *pstrFrom == '\0')
        return 0; // an empty pattern would match everywhere, for ever
    if (pstrTo == nullptr)
        pstrTo = "";
    // Copies: either text may point into this string, which changes below.
    const CUIString from(pstrFrom);
    const CUIString to(pstrTo);
    const int nFrom = from.GetLength();
    const int nTo = to.GetLength();
    int nCount = 0;
    int iPos = FindText(from);
    while (iPos >= 0) {
        CUIString result = Leftmost(iPos);
        result.AppendText(to);
        result.AppendText(m_pstr + iPos + nFrom);
        *this = static_cast<CUIString&&>(result);
        ++nCount;
        iPos = FindText(from, iPos + nTo);
    }
    return nCount;
}

int CUIString::FormatText(const char* pstrFormat, ...)
{
    va_list args;
    va_start(args, pstrFormat);
    const int n = FormatTextV(pstrFormat, args);
    va_end(args);
    return n;
}

int CUIString::FormatTextV(const char* pstrFormat, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int nLength = std::vsnprintf(nullptr, 0, pstrFormat, measure);
    va_end(measure);
    if (nLength < 0)
        return nLength;
    std::vector<char> buffer(nLength + 1, '\0');
    const int n = std::vsnprintf(buffer.data(), buffer.size(), pstrFormat, args);
    AssignText(buffer.data());
    return n;
}

int CUIString::FormatShort(const char* pstrFormat, ...)
{
    char szBuffer[kInlineSize] = {};
    va_list args;
    va_start(args, pstrFormat);
    // Bounded: a result of 64 bytes or more is cut instead of overrunning the buffer.
    int n = ::wvnsprintfA(szBuffer, sizeof(szBuffer), pstrFormat, args);
    va_end(args);
    szBuffer[sizeof(szBuffer) - 1] = '\0';
    const int nKept = DbcsSafeLength(szBuffer, static_cast<int>(std::strlen(szBuffer)));
    szBuffer[nKept] = '\0';
    if (n < 0 || n > nKept)
        n = nKept;
    AssignText(szBuffer);
    return n;
}

} // namespace SkinUI
