#include "app/PackageUnpacker.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/InstallLog.h"

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

const wchar_t* DescribeOutcome(UnpackOutcome eOutcome)
{
    switch (eOutcome) {
    case UnpackOutcome::NotStarted:
        return L"not started";
    case UnpackOutcome::Running:
        return L"running";
    case UnpackOutcome::Installed:
        return L"installed";
    case UnpackOutcome::FolderUnusable:
        return L"the install folder cannot be used";
    case UnpackOutcome::NotAnArchive:
        return L"the package is not an archive, or holds no items";
    case UnpackOutcome::ItemFailed:
        return L"an item is damaged or cannot be placed";
    case UnpackOutcome::ClientMissing:
        return L"the package holds no client program";
    case UnpackOutcome::PathTooLong:
        return L"an installed file's path would be too long";
    case UnpackOutcome::NotEnoughSpace:
        return L"not enough free space";
    case UnpackOutcome::FileLocked:
        return L"a file to replace is in use";
    case UnpackOutcome::CannotKeep:
        return L"a file of the player's cannot be kept";
    case UnpackOutcome::WriteFailed:
        return L"writing failed";
    case UnpackOutcome::SwitchFailed:
        return L"the client folder cannot be replaced";
    case UnpackOutcome::Stopped:
        return L"stopped";
    }
    return L"unknown";
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
    CInstallLog noLog;
    CInstallLog& log = m_pLog != nullptr ? *m_pLog : noLog;
    LARGE_INTEGER size{};
    ::GetFileSizeEx(m_hPackage, &size);
    log.Format(L"install: %ls into %ls", DescribeBytes(static_cast<std::uint64_t>(size.QuadPart)).c_str(),
               m_strFolder.c_str());
    CStagedInstall install(m_hPackage, m_strFolder, m_control, [this](int nValue) {
        if (nValue >= 1000)
            PostSurely(UNPACK_PROGRESS, nValue); // the one report that must arrive
        else
            ::PostMessageA(m_hWnd, WM_INSTALL_PROGRESS, UNPACK_PROGRESS, nValue);
    });
    install.SetStepReport([&log](const wchar_t* pwstrStep) { log.Format(L"install: %ls", pwstrStep); });
    const UnpackOutcome eOutcome = install.Run();
    m_problem = install.Problem();
    if (eOutcome == UnpackOutcome::Installed || eOutcome == UnpackOutcome::Stopped)
        log.Format(L"install: %ls", DescribeOutcome(eOutcome));
    else
        log.Failure(std::wstring(L"install: ") + DescribeOutcome(eOutcome), m_problem.strFile, m_problem.dwError);
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
