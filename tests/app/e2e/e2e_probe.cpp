// Answers questions of the end-to-end driver through the same Windows services the installer uses:
//   e2e_probe drive <root>    prints "type=<GetDriveTypeA>" and "free_mb=<free bytes for the caller / 1 MiB>"
//   e2e_probe link <file.lnk> prints "target=<path>" and "workdir=<folder>" read through IShellLinkA
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

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "drive") == 0)
        return Drive(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "link") == 0)
        return Link(argv[2]);
    std::fprintf(stderr, "usage: e2e_probe drive <root> | link <file.lnk>\n");
    return 2;
}
