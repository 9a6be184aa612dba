// Answers questions of the end-to-end driver through the same Windows services the installer uses:
//   e2e_probe drive <root>    prints "type=<GetDriveTypeW>" and "free_mb=<free bytes for the caller / 1 MiB>"
//   e2e_probe link <file.lnk> prints "target=<path>" and "workdir=<folder>" read through IShellLinkW
//   e2e_probe window <class>  prints "found=", "visible=", "iconic=" and "foreground=" (1 or 0) of the first
//                             top-level window of that class
//   e2e_probe close <class>   posts WM_CLOSE to every top-level window of that class, prints "closed=<count>"
//   e2e_probe endsession <class>  sends the first window of that class what a log-off sends (WM_QUERYENDSESSION,
//                             then WM_ENDSESSION with TRUE), prints "query=<answer>" and "ms=<time both took>"
//   e2e_probe run <command line>  starts a command line as Apps & Features starts an uninstall string
//                             (CreateProcess of the whole line), waits for it and prints "exit=<code>"
// Arguments are read as UTF-16 and answers printed as UTF-8, whatever the system's code page is.
// Exit code 0 on success, 1 when the question cannot be answered, 2 on a usage error.
#include "SkinUI/Utils/UITextConvert.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

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

struct ClassSearch
{
    const wchar_t* pwstrClass;
    HWND hFirst;
    int nClosed;
    bool bClose;
};

BOOL CALLBACK VisitWindow(HWND hWnd, LPARAM lParam)
{
    auto* p = reinterpret_cast<ClassSearch*>(lParam);
    wchar_t szClass[256] = {};
    ::GetClassNameW(hWnd, szClass, 256);
    if (std::wcscmp(szClass, p->pwstrClass) != 0)
        return TRUE;
    if (p->hFirst == nullptr)
        p->hFirst = hWnd;
    if (p->bClose && ::PostMessageW(hWnd, WM_CLOSE, 0, 0))
        ++p->nClosed;
    return TRUE;
}

int Window(const wchar_t* pwstrClass)
{
    ClassSearch search = {pwstrClass, nullptr, 0, false};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    const HWND h = search.hFirst;
    std::printf("found=%d\nvisible=%d\niconic=%d\nforeground=%d\n", h != nullptr, h != nullptr && ::IsWindowVisible(h),
                h != nullptr && ::IsIconic(h), h != nullptr && ::GetForegroundWindow() == h);
    return h != nullptr ? 0 : 1;
}

int Close(const wchar_t* pwstrClass)
{
    ClassSearch search = {pwstrClass, nullptr, 0, true};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    std::printf("closed=%d\n", search.nClosed);
    return search.nClosed > 0 ? 0 : 1;
}

int EndSession(const wchar_t* pwstrClass)
{
    ClassSearch search = {pwstrClass, nullptr, 0, false};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    if (search.hFirst == nullptr)
        return 1;
    const DWORD dwStart = ::GetTickCount();
    DWORD_PTR dwQuery = 0;
    ::SendMessageTimeoutW(search.hFirst, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &dwQuery);
    DWORD_PTR dwEnd = 0;
    ::SendMessageTimeoutW(search.hFirst, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &dwEnd);
    std::printf("query=%u\nms=%lu\n", static_cast<unsigned>(dwQuery), ::GetTickCount() - dwStart);
    return 0;
}

int Run(const wchar_t* pwstrCommandLine)
{
    std::wstring strCommand = pwstrCommandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("error=%lu\n", ::GetLastError());
        return 1;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD dwExit = 0;
    ::GetExitCodeProcess(pi.hProcess, &dwExit);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    std::printf("exit=%lu\n", dwExit);
    return 0;
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
    else if (argv != nullptr && argc == 3 && std::wcscmp(argv[1], L"window") == 0)
        rc = Window(argv[2]);
    else if (argv != nullptr && argc == 3 && std::wcscmp(argv[1], L"close") == 0)
        rc = Close(argv[2]);
    else if (argv != nullptr && argc == 3 && std::wcscmp(argv[1], L"endsession") == 0)
        rc = EndSession(argv[2]);
    else if (argv != nullptr && argc == 3 && std::wcscmp(argv[1], L"run") == 0)
        rc = Run(argv[2]);
    else
        std::fprintf(
            stderr,
            "usage: e2e_probe drive <root> | link <file.lnk> | window <class> | close <class> | endsession <class> | "
            "run <command line>\n");
    ::LocalFree(argv);
    return rc;
}
