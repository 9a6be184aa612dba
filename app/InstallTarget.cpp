#include "app/InstallTarget.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/Config.h"

#include <cstring>

using SkinUI::CUIString;
using SkinUI::GbkToWide;

int GetFreeMegabytes(const char* pstrRoot)
{
    if (pstrRoot == nullptr)
        return 0;
    const std::wstring strRoot = GbkToWide(pstrRoot);
    if (::GetDriveTypeW(strRoot.c_str()) != DRIVE_FIXED)
        return 0;
    ULARGE_INTEGER freeToCaller = {};
    if (!::GetDiskFreeSpaceExW(strRoot.c_str(), &freeToCaller, nullptr, nullptr))
        return 0;
    const ULONGLONG nMegabytes = freeToCaller.QuadPart / (1024 * 1024);
    // More than 2 TB free still fits the signed result.
    return nMegabytes > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(nMegabytes);
}

bool IsNative64BitSystem()
{
    using GetNativeSystemInfoProc = void(WINAPI*)(LPSYSTEM_INFO);
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    if (hKernel == nullptr)
        return false;
    const auto pfn = reinterpret_cast<GetNativeSystemInfoProc>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "GetNativeSystemInfo")));
    if (pfn == nullptr)
        return false;
    SYSTEM_INFO info = {};
    pfn(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

CUIString GetDefaultInstallFolder()
{
    wchar_t szSystem[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(szSystem, MAX_PATH);
    const CUIString strRoot = SkinUI::WideToGbk(szSystem, n >= 3 && n < MAX_PATH ? 3 : 0);
    CUIString strFolder;
    strFolder.FormatText(IsNative64BitSystem() ? "%sProgram Files (x86)" : "%sProgram Files", strRoot.Chars());
    return strFolder;
}

CUIString FormatSpaceLine(int nFreeMegabytes)
{
    CUIString strText;
    strText.FormatText("所需空间：%dMB，可用空间：%.1fGB", kRequiredMegabytes, nFreeMegabytes / 1024.0);
    return strText;
}

InstallTargetCheck CheckInstallTargetFolder(const char* pstrFolder)
{
    InstallTargetCheck check;
    if (pstrFolder == nullptr)
        return check;
    const std::size_t nLength = std::strlen(pstrFolder);
    const DWORD dwAttributes = ::GetFileAttributesW(GbkToWide(pstrFolder).c_str());
    const bool bExists = dwAttributes != INVALID_FILE_ATTRIBUTES;
    const bool bFolder = bExists && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A drive root of three characters passes even when the drive is absent (its space then shows 0);
    // anything else must be an existing folder, never a file.
    bool bUsable = nLength == 3 ? (!bExists || bFolder) : (nLength > 3 && bFolder);
    // A wildcard never names a folder. A '?' also stands for a character that the program's GBK lacks (the
    // path field holds it so), and a drive root of three characters would otherwise pass unchecked.
    if (std::strpbrk(pstrFolder, "?*") != nullptr)
        bUsable = false;
    // Every installed file lies below the client folder: its executable's path must fit the platform's limit.
    if (bUsable && static_cast<int>(ComposeClientExePath(pstrFolder).GetLength()) >= MAX_PATH)
        bUsable = false;
    if (!bUsable) {
        check.bError = true;
        check.strText = "请输入正确的安装路径！";
        return check;
    }
    const CUIString strRoot(pstrFolder, 3);
    const int nFree = GetFreeMegabytes(strRoot);
    check.strText = FormatSpaceLine(nFree);
    check.bSpaceEnough = nFree > kRequiredMegabytes;
    check.bError = !check.bSpaceEnough;
    return check;
}
