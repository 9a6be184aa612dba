#include "app/PackageUnpacker.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/InstallLog.h"
#include "app/Sha256.h"

#include <process.h>

bool IsPackageRefused(UnpackOutcome eOutcome)
{
    switch (eOutcome) {
    case UnpackOutcome::HashMismatch:
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
    case UnpackOutcome::HashMismatch:
        return L"the package's hash differs from the expected one";
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

bool CPackageUnpacker::Start(HWND hWnd, std::string&& strPackage, const char* pstrFolder, const char* pstrSha256)
{
    if (m_hThread != nullptr || pstrFolder == nullptr)
        return false;
    m_hWnd = hWnd;
    m_strPackage = std::move(strPackage);
    m_strFolder = SkinUI::GbkToWide(pstrFolder);
    m_strSha256 = pstrSha256 != nullptr ? pstrSha256 : "";
    m_problem = SInstallProblem();
    m_control.bStop.store(false);
    m_control.bPause.store(false);
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

std::string CPackageUnpacker::TakePackage()
{
    std::string strPackage;
    strPackage.swap(m_strPackage);
    return strPackage;
}

unsigned __stdcall CPackageUnpacker::ThreadMain(void* pvThis)
{
    auto* pThis = static_cast<CPackageUnpacker*>(pvThis);
    const UnpackOutcome eOutcome = pThis->Run();
    // An installed or refused package is not needed any more: give its memory back while the window lives on.
    if (eOutcome == UnpackOutcome::Installed || IsPackageRefused(eOutcome))
        std::string().swap(pThis->m_strPackage);
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
    log.Format(L"install: %ls into %ls", DescribeBytes(m_strPackage.size()).c_str(), m_strFolder.c_str());
    // The installer runs elevated: a package that is not the expected one is never unpacked. Hashing a large
    // package takes a while, so it happens here rather than on the window's thread.
    if (!m_strSha256.empty()) {
        const Veltara::Sha256Digest actual = Veltara::Sha256(m_strPackage.data(), m_strPackage.size());
        Veltara::Sha256Digest expected{};
        const std::wstring strExpected = SkinUI::Utf8ToWide(m_strSha256.c_str());
        if (!Veltara::DigestFromHex(m_strSha256.c_str(), expected) || actual != expected) {
            const std::string strActual = Veltara::DigestToHex(actual);
            log.Failure(L"package hash check: expected " + strExpected + L", got " +
                            SkinUI::Utf8ToWide(strActual.c_str()),
                        L"", 0);
            return UnpackOutcome::HashMismatch;
        }
        log.Format(L"package hash: SHA-256 %ls matches", strExpected.c_str());
    } else {
        log.Write(L"package hash: not checked (this build expects no hash)");
    }
    CStagedInstall install(m_strPackage, m_strFolder, m_control, [this](int nValue) {
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
