#include "app/PackageUnpacker.h"

#include "zip/ZipReader.h"

#include <process.h>

namespace {

// Restores the process's current folder at the end of a scope.
class CCurrentFolderGuard
{
public:
    CCurrentFolderGuard()
    {
        const DWORD n = ::GetCurrentDirectoryA(MAX_PATH, m_szSaved);
        m_bSaved = n > 0 && n < MAX_PATH;
    }
    ~CCurrentFolderGuard()
    {
        if (m_bSaved)
            ::SetCurrentDirectoryA(m_szSaved);
    }
    CCurrentFolderGuard(const CCurrentFolderGuard&) = delete;
    CCurrentFolderGuard& operator=(const CCurrentFolderGuard&) = delete;

private:
    char m_szSaved[MAX_PATH] = {};
    bool m_bSaved = false;
};

bool IsExistingFile(const char* pstrPath)
{
    const DWORD dw = ::GetFileAttributesA(pstrPath);
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

CPackageUnpacker::~CPackageUnpacker()
{
    RequestStop();
    Join();
}

bool CPackageUnpacker::Start(HWND hWnd, std::string&& strPackage, const char* pstrFolder, const char* pstrClientExe)
{
    if (m_hThread != nullptr || pstrFolder == nullptr || pstrClientExe == nullptr)
        return false;
    m_hWnd = hWnd;
    m_strPackage = std::move(strPackage);
    m_strFolder = pstrFolder;
    m_strClientExe = pstrClientExe;
    m_bStop.store(false);
    m_eOutcome.store(UnpackOutcome::Running);
    const uintptr_t h = ::_beginthreadex(nullptr, 0, &CPackageUnpacker::ThreadMain, this, 0, nullptr);
    if (h == 0) {
        m_eOutcome.store(UnpackOutcome::NotStarted);
        return false;
    }
    m_hThread = reinterpret_cast<HANDLE>(h);
    return true;
}

void CPackageUnpacker::Join()
{
    if (m_hThread == nullptr)
        return;
    ::WaitForSingleObject(m_hThread, INFINITE);
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
}

unsigned __stdcall CPackageUnpacker::ThreadMain(void* pvThis)
{
    auto* pThis = static_cast<CPackageUnpacker*>(pvThis);
    const UnpackOutcome eOutcome = pThis->Run();
    // The package is not needed any more; give its memory back while the window lives on.
    std::string().swap(pThis->m_strPackage);
    if (eOutcome == UnpackOutcome::Installed)
        pThis->PostSurely(UNPACK_PROGRESS, 1000);
    else if (eOutcome != UnpackOutcome::Stopped)
        pThis->PostSurely(UNPACK_FAILED, 0);
    pThis->m_eOutcome.store(eOutcome);
    return 0;
}

UnpackOutcome CPackageUnpacker::Run()
{
    UnpackOutcome eOutcome;
    {
        // The reader makes the items' folders below the folder that is current when it opens the archive.
        // If the install folder cannot be made current nothing is written, rather than writing elsewhere.
        CCurrentFolderGuard guard;
        if (m_strFolder.IsEmpty() || !::SetCurrentDirectoryA(m_strFolder))
            return UnpackOutcome::FolderUnusable;
        eOutcome = UnpackItems();
    }
    if (eOutcome == UnpackOutcome::Installed && !IsExistingFile(m_strClientExe))
        eOutcome = UnpackOutcome::ClientMissing;
    return eOutcome;
}

UnpackOutcome CPackageUnpacker::UnpackItems()
{
    if (m_strPackage.empty() || m_strPackage.size() > 0xFFFFFFFFu)
        return UnpackOutcome::NotAnArchive;
    const ZipHandle hZip = ZipOpen(m_strPackage.data(), static_cast<DWORD>(m_strPackage.size()), ZipKindMemory);
    if (hZip == nullptr)
        return UnpackOutcome::NotAnArchive;

    UnpackOutcome eOutcome = UnpackOutcome::Installed;
    ZipItemInfo info = {};
    const int nCount = ZipGetItem(hZip, -1, &info) == ZipOk ? info.iIndex : 0;
    int nLastPosted = 900;
    for (int i = 0; i < nCount; ++i) {
        if (m_bStop.load()) {
            eOutcome = UnpackOutcome::Stopped;
            break;
        }
        if (ZipGetItem(hZip, i, &info) != ZipOk || ZipUnzipItem(hZip, i, info.szName, 0, ZipKindFile) != ZipOk) {
            eOutcome = UnpackOutcome::ItemFailed;
            break;
        }
        const int nValue = 900 + static_cast<int>((i + 1) * 100.0 / nCount);
        // The final 1000 is posted once the client has been found; equal values are not posted twice.
        if (nValue < 1000 && nValue != nLastPosted) {
            ::PostMessageA(m_hWnd, WM_INSTALL_PROGRESS, UNPACK_PROGRESS, nValue);
            nLastPosted = nValue;
        }
    }
    ZipClose(hZip);
    return eOutcome;
}

void CPackageUnpacker::PostSurely(WPARAM wNotice, LPARAM lValue)
{
    // A full message queue refuses a post; wait for the window to drain it.
    while (!::PostMessageA(m_hWnd, WM_INSTALL_PROGRESS, wNotice, lValue)) {
        if (m_bStop.load() || !::IsWindow(m_hWnd))
            return;
        ::Sleep(10);
    }
}
