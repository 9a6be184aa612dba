#include "app/DownloadProgress.h"

#include "app/Sha256.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlwapi.h>

#include <string>

TEST(DownloadProgress, BarFillsNineTenthsFromTheReceivedShare)
{
    const struct
    {
        long long nReceived, nTotal;
        int nValue;
    } cases[] = {
        {0, 1000000, 0},
        {500000, 1000000, 450},
        {1000000, 1000000, 900},
        {1, 3, 300},
        {2, 3, 600},
        {999999, 1000000, 899},
        {5000, 0, 0},
        {1500, 1000, 900},
        {3000000000LL, 4000000000LL, 675},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DownloadProgressValue(c.nReceived, c.nTotal), c.nValue) << c.nReceived << " of " << c.nTotal;
}

TEST(DownloadProgress, SpeedLineShowsTheAverageRateInKilobytes)
{
    const struct
    {
        long long nReceived;
        int nElapsedMs;
        long long nBytesPerSecond;
    } cases[] = {
        {5000, 0, 50000}, // no time yet counts as 100 ms
        {1234567, 1000, 1234567},
        {1000000, 2000, 500000},
        {0, 1500, 0},
    };
    for (const auto& c : cases) {
        char szKb[128] = {};
        ::StrFormatKBSizeA(c.nBytesPerSecond, szKb, sizeof(szKb));
        EXPECT_EQ(std::string(FormatSpeedLine(c.nReceived, c.nElapsedMs)),
                  std::string("请耐心等待，马上就好! 当前速度：") + szKb + "/s")
            << c.nReceived << " in " << c.nElapsedMs << " ms";
    }
}

TEST(DownloadProgress, OnlyAWholeGoodPackageIsAccepted)
{
    const std::string body = "PK\x03\x04 the package";
    const std::string hash = Veltara::Sha256Hex(body.data(), body.size());
    std::string otherHash = hash;
    otherHash[10] = otherHash[10] == '0' ? '1' : '0';
    const long long n = static_cast<long long>(body.size());
    const struct
    {
        const char* pstrWhat;
        int nStatus;
        long long nLength;
        bool bComplete;
        std::string strBody;
        std::string strHash;
        PackageVerdict eVerdict;
    } cases[] = {
        {"good, no check", 200, n, true, body, "", PackageVerdict::Accepted},
        {"good, hash matches", 200, n, true, body, hash, PackageVerdict::Accepted},
        {"no Content-Length", 200, 0, true, body, hash, PackageVerdict::Accepted},
        {"no response", 0, 0, false, "", hash, PackageVerdict::NoResponse},
        {"not found", 404, n, true, body, "", PackageVerdict::BadStatus},
        {"server error", 500, n, true, body, "", PackageVerdict::BadStatus},
        {"redirect", 302, n, true, body, "", PackageVerdict::BadStatus},
        {"cut", 200, n, false, body, "", PackageVerdict::Incomplete},
        {"short of its length", 200, n + 1, true, body, "", PackageVerdict::Incomplete},
        {"empty", 200, 0, true, "", "", PackageVerdict::Empty},
        {"tampered", 200, n, true, body, otherHash, PackageVerdict::HashMismatch},
        {"partial content", 206, n, true, body, "", PackageVerdict::Accepted},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeDownloadedPackage(c.nStatus, c.nLength, c.bComplete, c.strBody, c.strHash.c_str()), c.eVerdict)
            << c.pstrWhat;
    }
    EXPECT_EQ(JudgeDownloadedPackage(200, n, true, body, nullptr), PackageVerdict::Accepted);
}
