#include "app/PackageUnpacker.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <process.h>

bool IsPackageRefused(UnpackOutcome eOutcome)
{
    switch (eOutcome) {
    case UnpackOutcome::NotAnArchive:
    case UnpackOutcome::ItemFailed:
    case UnpackOutcome::ClientMissing:
        return true;
    default:
        return false;
    }
}

CPackageUnpacker::~CPackageUnpacker()
{
    RequestStop();
    Join();
}

bool CPackageUnpacker::Start(HWND hWnd, HANDLE hPackage, const char* pstrFolder)
{
    if (m_hThread != nullptr || pstrFolder == nullptr)
        return false;
    HANDLE hOwn = nullptr;
    if (hPackage == nullptr || hPackage == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), hPackage, ::GetCurrentProcess(), &hOwn, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return false;
    m_hWnd = hWnd;
    m_hPackage = hOwn;
    m_strFolder = SkinUI::GbkToWide(pstrFolder);
    m_problem = SInstallProblem();
    m_control.bStop.store(false);
    m_control.bPause.store(false);
    m_eOutcome.store(UnpackOutcome::Running);
    const uintptr_t h = ::_beginthreadex(nullptr, 0, &CPackageUnpacker::ThreadMain, this, 0, nullptr);
    if (h == 0) {
        ::CloseHandle(m_hPackage);
        m_hPackage = nullptr;
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
    ::CloseHandle(pThis->m_hPackage);
    pThis->m_hPackage = nullptr;
    pThis->m_eOutcome.store(eOutcome);
    // Completion was reported as soon as the client folder was in place.
    if (IsPackageRefused(eOutcome))
        pThis->PostSurely(UNPACK_REFUSED, 0);
    else if (eOutcome != UnpackOutcome::Stopped && eOutcome != UnpackOutcome::Installed)
        pThis->PostSurely(UNPACK_FAILED, 0);
    return 0;
}

UnpackOutcome CPackageUnpacker::Run()
{
    CStagedInstall install(m_hPackage, m_strFolder, m_control, [this](int nValue) {
        if (nValue >= 1000)
            PostSurely(UNPACK_PROGRESS, nValue); // the one report that must arrive
        else
            ::PostMessageA(m_hWnd, WM_INSTALL_PROGRESS, UNPACK_PROGRESS, nValue);
    });
    const UnpackOutcome eOutcome = install.Run();
    m_problem = install.Problem();
    return eOutcome;
}

void CPackageUnpacker::PostSurely(WPARAM wNotice, LPARAM lValue)
{
    // A full message queue refuses a post; wait for the window to drain it.
    while (!::PostMessageA(m_hWnd, WM_INSTALL_PROGRESS, wNotice, lValue)) {
        if (m_control.bStop.load() || !::IsWindow(m_hWnd))
            return;
        ::Sleep(10);
    }
}
