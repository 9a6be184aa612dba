#include "app/DownloadProgress.h"

#include "app/Sha256.h"

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
    char szSize[128] = {};
    if (::StrFormatKBSizeA(nBytesPerSecond, szSize, sizeof(szSize)) == nullptr)
        szSize[0] = '\0';
    CUIString strLine;
    strLine.FormatText("请耐心等待，马上就好! 当前速度：%s/s", szSize);
    return strLine;
}

PackageVerdict JudgeDownloadedPackage(int nStatusCode, long long nContentLength, bool bBodyComplete,
                                      const std::string& strBody, const char* pstrExpectedSha256)
{
    if (nStatusCode == 0)
        return PackageVerdict::NoResponse;
    if (nStatusCode < 200 || nStatusCode > 299)
        return PackageVerdict::BadStatus;
    if (strBody.empty())
        return PackageVerdict::Empty;
    if (!bBodyComplete || (nContentLength > 0 && static_cast<long long>(strBody.size()) < nContentLength))
        return PackageVerdict::Incomplete;
    if (pstrExpectedSha256 != nullptr && *pstrExpectedSha256 != '\0' &&
        !Veltara::Sha256Matches(strBody.data(), strBody.size(), pstrExpectedSha256))
        return PackageVerdict::HashMismatch;
    return PackageVerdict::Accepted;
}
