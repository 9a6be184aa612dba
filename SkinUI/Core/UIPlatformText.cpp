#include "SkinUI/Core/UIPlatformText.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <string>

namespace SkinUI {

namespace {

// A resource name as the wide call takes it: an integer id as it is, a text converted (kept in strName).
LPCWSTR ResourceName(const char* pstrName, std::wstring& strName)
{
    if (IS_INTRESOURCE(pstrName))
        return MAKEINTRESOURCEW(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(pstrName)));
    strName = GbkToWide(pstrName);
    return strName.c_str();
}

} // namespace

int DrawGbkText(HDC hDC, const char* pstrText, int nBytes, RECT* prc, UINT uFormat)
{
    const std::wstring strText = GbkToWide(pstrText, nBytes);
    return ::DrawTextW(hDC, strText.c_str(), static_cast<int>(strText.size()), prc, uFormat & ~DT_MODIFYSTRING);
}

BOOL GbkTextOut(HDC hDC, int x, int y, const char* pstrText, int nBytes)
{
    const std::wstring strText = GbkToWide(pstrText, nBytes);
    return ::TextOutW(hDC, x, y, strText.c_str(), static_cast<int>(strText.size()));
}

SIZE GbkTextExtent(HDC hDC, const char* pstrText, int nBytes)
{
    SIZE sz = {};
    const std::wstring strText = GbkToWide(pstrText, nBytes);
    if (!::GetTextExtentPoint32W(hDC, strText.c_str(), static_cast<int>(strText.size()), &sz))
        sz = SIZE{};
    return sz;
}

HRSRC FindGbkResource(HMODULE hModule, const char* pstrName, const char* pstrType)
{
    if (pstrName == nullptr || pstrType == nullptr)
        return nullptr;
    std::wstring strName;
    std::wstring strType;
    const LPCWSTR pwstrName = ResourceName(pstrName, strName);
    const LPCWSTR pwstrType = ResourceName(pstrType, strType);
    return ::FindResourceW(hModule, pwstrName, pwstrType);
}

} // namespace SkinUI
