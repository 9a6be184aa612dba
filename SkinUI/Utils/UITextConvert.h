// The program's one place of text conversions. Text inside the program is GBK (code page 936) whatever the
// system's ANSI code page is; it crosses into the system only as UTF-16, converted here.
#pragma once

#include "SkinUI/Utils/UIString.h"

#include <string>

namespace SkinUI {

// The code page of every 8-bit text of the program.
constexpr unsigned kProgramCodePage = 936;

// GBK bytes (nLength bytes, or up to the terminator when negative) as UTF-16. A byte sequence that is not
// GBK becomes U+FFFD; null gives an empty text.
std::wstring GbkToWide(const char* pstr, int nLength = -1);

// UTF-16 (nLength units, or up to the terminator when negative) as GBK bytes. A character GBK lacks becomes
// '?' and *pbExact (when given) is set false; it is never replaced by a look-alike ("best fit"), so a name
// never silently turns into another one.
CUIString WideToGbk(const wchar_t* pwstr, int nLength = -1, bool* pbExact = nullptr);

// UTF-8 (zip item names, skins, logs) to and from UTF-16. Utf8ToWide gives an empty text and *pbValid false
// (when given) for bytes that are not valid UTF-8.
std::wstring Utf8ToWide(const char* pstr, int nLength = -1, bool* pbValid = nullptr);
std::string WideToUtf8(const wchar_t* pwstr, int nLength = -1);
// UTF-8 for a reader of whole documents (skins), where a damaged byte must not cost the rest of the text:
// each broken sequence becomes U+FFFD.
std::wstring Utf8ToWideReplacing(const char* pstr, int nLength = -1);

// True for a byte that starts a two-byte GBK character (0x81 to 0xFE), whatever the system's code page.
inline bool IsGbkLeadByte(unsigned char ch)
{
    return ch >= 0x81 && ch <= 0xFE;
}

} // namespace SkinUI
