// Answers questions of the end-to-end driver through the same Windows services the installer uses:
//   e2e_probe drive <root>    prints "type=<GetDriveTypeW>" and "free_mb=<free bytes for the caller / 1 MiB>"
//   e2e_probe link <file.lnk> prints "target=<path>" and "workdir=<folder>" read through IShellLinkW
// Arguments are read as UTF-16 and answers printed as UTF-8, whatever the system's code page is.
// Exit code 0 on success, 1 when the question cannot be answered, 2 on a usage error.
#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>

namespace {

int Drive(const wchar_t* pwstrRoot)
{
    const UINT uType = ::GetDriveTypeW(pwstrRoot);
    ULARGE_INTEGER freeToCaller = {}, total = {}, freeTotal = {};
    if (!::GetDiskFreeSpaceExW(pwstrRoot, &freeToCaller, &total, &freeTotal)) {
        std::printf("type=%u\nfree_mb=-1\n", uType);
        return 1;
    }
    std::printf("type=%u\nfree_mb=%llu\n", uType, freeToCaller.QuadPart / (1024ull * 1024ull));
    return 0;
}

int Link(const wchar_t* pwstrPath)
{
    if (FAILED(::CoInitialize(nullptr)))
        return 1;
    int rc = 1;
    IShellLinkW* pLink = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     reinterpret_cast<void**>(&pLink)))) {
        IPersistFile* pFile = nullptr;
        if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
            if (SUCCEEDED(pFile->Load(pwstrPath, STGM_READ))) {
                // The target as the link's item list names it: Wine keeps the link's path text in the system's
                // code page only, the item list in UTF-16.
                wchar_t szTarget[MAX_PATH] = {}, szDir[MAX_PATH] = {};
                LPITEMIDLIST pidl = nullptr;
                const bool bTarget =
                    SUCCEEDED(pLink->GetIDList(&pidl)) && pidl != nullptr && ::SHGetPathFromIDListW(pidl, szTarget);
                ::CoTaskMemFree(pidl);
                if (bTarget && SUCCEEDED(pLink->GetWorkingDirectory(szDir, MAX_PATH))) {
                    std::printf("target=%s\nworkdir=%s\n", SkinUI::WideToUtf8(szTarget).c_str(),
                                SkinUI::WideToUtf8(szDir).c_str());
                    rc = 0;
                }
            }
            pFile->Release();
        }
        pLink->Release();
    }
    ::CoUninitialize();
    return rc;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    int rc = 2;
    if (argv != nullptr && argc == 3 && std::wcscmp(argv[1], L"drive") == 0)
        rc = Drive(argv[2]);
    else if (argv != nullptr && argc == 3 && std::wcscmp(argv[1], L"link") == 0)
        rc = Link(argv[2]);
    else
        std::fprintf(stderr, "usage: e2e_probe drive <root> | link <file.lnk>\n");
    ::LocalFree(argv);
    return rc;
}
