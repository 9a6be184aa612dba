// CUIString: an 8-bit text in the program's code page (GBK, whatever the system's is), with inline storage
// for short texts. Searching, comparing, case mapping and byte-limited copying never split a double-byte
// character.
#pragma once

#include <windows.h>

#include <cstdarg>

// The platform headers map FindText to the find-and-replace dialog; the framework's name wins.
#ifdef FindText
#undef FindText
#endif

namespace SkinUI {

class CUIString
{
public:
    // Texts of up to kMaxInline bytes live in the inline buffer; longer ones on the heap.
    static constexpr int kInlineSize = 64;
    static constexpr int kMaxInline = 62;

    CUIString();
    CUIString(char ch);
    CUIString(const char* lpsz, int nLen = -1);
    CUIString(const CUIString& src);
    CUIString(CUIString&& src) noexcept;
    ~CUIString();

    int GetLength() const;
    bool IsEmpty() const { return m_pstr[0] == '\0'; }
    const char* Chars() const { return m_pstr; }
    operator const char*() const { return m_pstr; }
    // True while the text lives in the inline buffer.
    bool IsInline() const { return m_pstr == m_szBuffer; }

    // A limit that cuts a double-byte character in two drops its lead byte; a whole copy keeps every byte.
    void AssignText(const char* pstr, int nLength = -1);
    void AppendText(const char* pstr);
    void Clear();

    const CUIString& operator=(const CUIString& src);
    const CUIString& operator=(CUIString&& src) noexcept;
    const CUIString& operator=(const char* lpStr);
    const CUIString& operator=(const wchar_t* lpwStr);
    const CUIString& operator=(char ch);

    const CUIString& operator+=(const CUIString& src);
    const CUIString& operator+=(const char* pstr);
    const CUIString& operator+=(const wchar_t* lpwStr);
    const CUIString& operator+=(char ch);
    CUIString operator+(const CUIString& src) const;
    CUIString operator+(const char* pstr) const;

    char GetCharAt(int nIndex) const { return m_pstr[nIndex]; }
    char operator[](int nIndex) const { return m_pstr[nIndex]; }
    void SetCharAt(int nIndex, char ch);

    int CompareTo(const char* lpsz) const;
    int CompareIgnoreCase(const char* lpsz) const;
    bool operator==(const char* str) const { return CompareTo(str) == 0; }
    bool operator!=(const char* str) const { return CompareTo(str) != 0; }
    bool operator<(const char* str) const { return CompareTo(str) < 0; }
    bool operator<=(const char* str) const { return CompareTo(str) <= 0; }
    bool operator>(const char* str) const { return CompareTo(str) > 0; }
    bool operator>=(const char* str) const { return CompareTo(str) >= 0; }

    void ToUpper();
    void ToLower();

    CUIString Leftmost(int nLength) const;
    CUIString Substring(int iPos, int nLength = -1) const;
    CUIString Rightmost(int nLength) const;

    int FindChar(char ch, int iPos = 0) const;
    int FindText(const char* pstrSub, int iPos = 0) const;
    int FindLastChar(char ch) const;
    int ReplaceAll(const char* pstrFrom, const char* pstrTo);

    int FormatText(const char* pstrFormat, ...);
    int FormatTextV(const char* pstrFormat, va_list args);
    // Formats with the platform's small formatter (integers, characters, texts) into 64 bytes;
    // a longer result is cut at a character boundary.
    int FormatShort(const char* pstrFormat, ...);

private:
    void FreeHeap();

    char* m_pstr;
    char m_szBuffer[kInlineSize];
};

// Double-byte helpers of the program's code page (GBK), shared by the framework's text code.
bool IsDbcsLeadByte(unsigned char ch);
// Bytes of the character at pstr: 2 for a lead byte with its trail, else 1.
int DbcsCharSize(const char* pstr);
// The number of bytes of pstr (at most nMax) that can be copied without splitting a double-byte character.
int DbcsSafeLength(const char* pstr, int nMax);

} // namespace SkinUI
