// The installer's reading of a package download: the progress bar value and the speed line while it runs,
// and the verdict on the finished transfer before anything is unpacked.
#pragma once

#include "SkinUI/Utils/UIString.h"

#include <string>

// Bar value (0 to 900 of the bar's 1000) for received of total bytes; 0 when the total is unknown.
// A body longer than its announced length still stops at 900.
int DownloadProgressValue(long long nReceived, long long nTotal);

// "请耐心等待，马上就好! 当前速度：<kilobytes>/s": the average speed since the download began. An elapsed
// time of 0 counts as 100 ms.
SkinUI::CUIString FormatSpeedLine(long long nReceived, int nElapsedMs);

enum class PackageVerdict
{
    Accepted,
    NoResponse,   // no HTTP status at all
    BadStatus,    // a status outside 200 to 299 (an error page is not a package)
    Incomplete,   // the transfer was cut, or fewer bytes than the Content-Length arrived
    Empty,        // no bytes
    HashMismatch, // the bytes differ from the package this installer was built for
};

// Judges a finished transfer. pstrExpectedSha256 empty or null: no hash check.
PackageVerdict JudgeDownloadedPackage(int nStatusCode, long long nContentLength, bool bBodyComplete,
                                      const std::string& strBody, const char* pstrExpectedSha256);
