#include "app/DownloadProgress.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <shlwapi.h>

using SkinUI::CUIString;

int DownloadProgressValue(long long nReceived, long long nTotal)
{
    if (nTotal <= 0 || nReceived <= 0)
        return 0;
    if (nReceived >= nTotal)
        return 900;
    return static_cast<int>(static_cast<double>(nReceived) * 900.0 / static_cast<double>(nTotal));
}

CUIString FormatSpeedLine(long long nReceived, int nElapsedMs)
{
    if (nElapsedMs <= 0)
        nElapsedMs = 100;
    const auto nBytesPerSecond = static_cast<LONGLONG>(static_cast<double>(nReceived) * 1000.0 / nElapsedMs);
    // The digit grouping is the user's (it may be a character such as a no-break space): formatted in UTF-16
    // and converted, never read in the system's code page.
    wchar_t szSize[128] = {};
    if (::StrFormatKBSizeW(nBytesPerSecond, szSize, sizeof(szSize) / sizeof(szSize[0])) == nullptr)
        szSize[0] = L'\0';
    CUIString strLine;
    strLine.FormatText("请耐心等待，马上就好! 当前速度：%s/s", SkinUI::WideToGbk(szSize).Chars());
    return strLine;
}
