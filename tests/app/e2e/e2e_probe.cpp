// Answers questions of the end-to-end driver through the same Windows services the installer uses:
//   e2e_probe drive <root>    prints "type=<GetDriveTypeA>" and "free_mb=<free bytes for the caller / 1 MiB>"
//   e2e_probe link <file.lnk> prints "target=<path>" and "workdir=<folder>" read through IShellLinkA
//   e2e_probe window <class>  prints "found=", "visible=", "iconic=" and "foreground=" (1 or 0) of the first
//                             top-level window of that class
//   e2e_probe close <class>   posts WM_CLOSE to every top-level window of that class, prints "closed=<count>"
//   e2e_probe endsession <class>  sends the first window of that class what a log-off sends (WM_QUERYENDSESSION,
//                             then WM_ENDSESSION with TRUE), prints "query=<answer>" and "ms=<time both took>"
// Exit code 0 on success, 1 when the question cannot be answered, 2 on a usage error.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

int Drive(const char* pstrRoot)
{
    const UINT uType = ::GetDriveTypeA(pstrRoot);
    ULARGE_INTEGER freeToCaller = {}, total = {}, freeTotal = {};
    if (!::GetDiskFreeSpaceExA(pstrRoot, &freeToCaller, &total, &freeTotal)) {
        std::printf("type=%u\nfree_mb=-1\n", uType);
        return 1;
    }
    std::printf("type=%u\nfree_mb=%llu\n", uType, freeToCaller.QuadPart / (1024ull * 1024ull));
    return 0;
}

int Link(const char* pstrPath)
{
    if (FAILED(::CoInitialize(nullptr)))
        return 1;
    int rc = 1;
    IShellLinkA* pLink = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&pLink)))) {
        IPersistFile* pFile = nullptr;
        if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
            wchar_t szWide[MAX_PATH] = {};
            ::MultiByteToWideChar(CP_ACP, 0, pstrPath, -1, szWide, MAX_PATH);
            if (SUCCEEDED(pFile->Load(szWide, STGM_READ))) {
                char szTarget[MAX_PATH] = {}, szDir[MAX_PATH] = {};
                WIN32_FIND_DATAA fd = {};
                if (SUCCEEDED(pLink->GetPath(szTarget, MAX_PATH, &fd, SLGP_RAWPATH)) &&
                    SUCCEEDED(pLink->GetWorkingDirectory(szDir, MAX_PATH))) {
                    std::printf("target=%s\nworkdir=%s\n", szTarget, szDir);
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
    const char* pstrClass;
    HWND hFirst;
    int nClosed;
    bool bClose;
};

BOOL CALLBACK VisitWindow(HWND hWnd, LPARAM lParam)
{
    auto* p = reinterpret_cast<ClassSearch*>(lParam);
    char szClass[256] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (std::strcmp(szClass, p->pstrClass) != 0)
        return TRUE;
    if (p->hFirst == nullptr)
        p->hFirst = hWnd;
    if (p->bClose && ::PostMessageA(hWnd, WM_CLOSE, 0, 0))
        ++p->nClosed;
    return TRUE;
}

int Window(const char* pstrClass)
{
    ClassSearch search = {pstrClass, nullptr, 0, false};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    const HWND h = search.hFirst;
    std::printf("found=%d\nvisible=%d\niconic=%d\nforeground=%d\n", h != nullptr, h != nullptr && ::IsWindowVisible(h),
                h != nullptr && ::IsIconic(h), h != nullptr && ::GetForegroundWindow() == h);
    return h != nullptr ? 0 : 1;
}

int Close(const char* pstrClass)
{
    ClassSearch search = {pstrClass, nullptr, 0, true};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    std::printf("closed=%d\n", search.nClosed);
    return search.nClosed > 0 ? 0 : 1;
}

int EndSession(const char* pstrClass)
{
    ClassSearch search = {pstrClass, nullptr, 0, false};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    if (search.hFirst == nullptr)
        return 1;
    const DWORD dwStart = ::GetTickCount();
    DWORD_PTR dwQuery = 0;
    ::SendMessageTimeoutA(search.hFirst, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &dwQuery);
    DWORD_PTR dwEnd = 0;
    ::SendMessageTimeoutA(search.hFirst, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &dwEnd);
    std::printf("query=%u\nms=%lu\n", static_cast<unsigned>(dwQuery), ::GetTickCount() - dwStart);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "drive") == 0)
        return Drive(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "link") == 0)
        return Link(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "window") == 0)
        return Window(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return Close(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "endsession") == 0)
        return EndSession(argv[2]);
    std::fprintf(
        stderr,
        "usage: e2e_probe drive <root> | link <file.lnk> | window <class> | close <class> | endsession <class>\n");
    return 2;
}
