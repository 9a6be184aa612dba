#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace SkinUI {

std::wstring GbkToWide(const char* pstr, int nLength)
{
    if (pstr == nullptr)
        return std::wstring();
    const int nBytes = nLength < 0 ? static_cast<int>(std::strlen(pstr)) : nLength;
    if (nBytes == 0)
        return std::wstring();
    const int nWide = ::MultiByteToWideChar(kProgramCodePage, 0, pstr, nBytes, nullptr, 0);
    if (nWide <= 0)
        return std::wstring();
    std::wstring strWide(static_cast<std::size_t>(nWide), L'\0');
    ::MultiByteToWideChar(kProgramCodePage, 0, pstr, nBytes, &strWide[0], nWide);
    return strWide;
}

CUIString WideToGbk(const wchar_t* pwstr, int nLength, bool* pbExact)
{
    if (pbExact != nullptr)
        *pbExact = true;
    if (pwstr == nullptr)
        return CUIString();
    const int nWide = nLength < 0 ? static_cast<int>(std::wcslen(pwstr)) : nLength;
    if (nWide == 0)
        return CUIString();
    BOOL bDefaultUsed = FALSE;
    const int nBytes = ::WideCharToMultiByte(kProgramCodePage, WC_NO_BEST_FIT_CHARS, pwstr, nWide, nullptr, 0,
                                             nullptr, nullptr);
    if (nBytes <= 0) {
        if (pbExact != nullptr)
            *pbExact = false;
        return CUIString();
    }
    std::vector<char> bytes(static_cast<std::size_t>(nBytes) + 1, '\0');
    ::WideCharToMultiByte(kProgramCodePage, WC_NO_BEST_FIT_CHARS, pwstr, nWide, bytes.data(), nBytes, nullptr,
                          &bDefaultUsed);
    if (pbExact != nullptr && bDefaultUsed)
        *pbExact = false;
    return CUIString(bytes.data(), nBytes);
}

namespace {

// UTF-8 as UTF-16 with the given converter flags; false when the converter refuses the bytes.
bool DecodeUtf8(const char* pstr, int nLength, DWORD dwFlags, std::wstring& strWide)
{
    strWide.clear();
    if (pstr == nullptr)
        return true;
    const int nBytes = nLength < 0 ? static_cast<int>(std::strlen(pstr)) : nLength;
    if (nBytes == 0)
        return true;
    const int nWide = ::MultiByteToWideChar(CP_UTF8, dwFlags, pstr, nBytes, nullptr, 0);
    if (nWide <= 0)
        return false;
    strWide.assign(static_cast<std::size_t>(nWide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, dwFlags, pstr, nBytes, &strWide[0], nWide);
    return true;
}

} // namespace

std::wstring Utf8ToWide(const char* pstr, int nLength, bool* pbValid)
{
    std::wstring strWide;
    const bool bValid = DecodeUtf8(pstr, nLength, MB_ERR_INVALID_CHARS, strWide);
    if (pbValid != nullptr)
        *pbValid = bValid;
    return strWide;
}

std::wstring Utf8ToWideReplacing(const char* pstr, int nLength)
{
    std::wstring strWide;
    DecodeUtf8(pstr, nLength, 0, strWide);
    return strWide;
}

std::string WideToUtf8(const wchar_t* pwstr, int nLength)
{
    if (pwstr == nullptr)
        return std::string();
    const int nWide = nLength < 0 ? static_cast<int>(std::wcslen(pwstr)) : nLength;
    if (nWide == 0)
        return std::string();
    const int nBytes = ::WideCharToMultiByte(CP_UTF8, 0, pwstr, nWide, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0)
        return std::string();
    std::string strUtf8(static_cast<std::size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, pwstr, nWide, &strUtf8[0], nBytes, nullptr, nullptr);
    return strUtf8;
}

} // namespace SkinUI
