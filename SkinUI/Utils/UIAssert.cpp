#include "SkinUI/Utils/UIAssert.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>
#include <atomic>
#include <cstdio>

namespace SkinUI {

namespace {
std::atomic<AssertHandler> g_pfnAssertHandler{nullptr};
}

AssertHandler SetAssertHandler(AssertHandler pfnHandler)
{
    return g_pfnAssertHandler.exchange(pfnHandler);
}

void ReportAssertFailure(const char* pstrCondition, const char* pstrFile, int iLine)
{
    if (AssertHandler pfn = g_pfnAssertHandler.load()) {
        pfn(pstrCondition, pstrFile, iLine);
        return;
    }
    char szLine[512];
    std::snprintf(szLine, sizeof(szLine), "%s(%d): assertion failed: %s\n", pstrFile, iLine, pstrCondition);
    ::OutputDebugStringW(GbkToWide(szLine).c_str());
}

} // namespace SkinUI
