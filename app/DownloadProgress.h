// The installer's reading of a package download: the progress bar value and the speed line while it runs.
#pragma once

#include "SkinUI/Utils/UIString.h"

// Bar value (0 to 900 of the bar's 1000) for received of total bytes; 0 when the total is unknown.
// A body longer than its announced length still stops at 900.
int DownloadProgressValue(long long nReceived, long long nTotal);

// "请耐心等待，马上就好! 当前速度：<kilobytes>/s": the average speed since the download began. An elapsed
// time of 0 counts as 100 ms.
SkinUI::CUIString FormatSpeedLine(long long nReceived, int nElapsedMs);
