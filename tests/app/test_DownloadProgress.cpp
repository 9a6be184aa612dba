#include "app/DownloadProgress.h"

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
