#include "app/InstallerEntry.h"

#include "SkinUI/Core/UIManager.h"
#include "app/InstallLog.h"
#include "app/MainWnd.h"
#include "app/SingleInstance.h"
#include "app/UninstallProgram.h"

#include "BuildConfig.h"

#include <objbase.h>
#include <new>

using SkinUI::CPaintManagerUI;

SInstallerOptions BuildInstallerOptions()
{
    SInstallerOptions options;
    options.bRegisterUninstall = Veltara::kRegisterUninstall;
    return options;
}

int RunInstaller(HINSTANCE hInstance, const SInstallerOptions& options)
{
    if (IsUninstallCommandLine(::GetCommandLineW()))
        return RunUninstaller(::GetCommandLineW());

    // Two installers would fight over the same files: a second one hands over to the first.
    CSingleInstance instance;
    if (!instance.IsFirst()) {
        CSingleInstance::BringFirstForward(5000);
        return kExitAlreadyRunning;
    }

    // For support: every run leaves its log in the user's temporary folder, whatever happens after.
    CInstallLog log;
    log.Open(L"VeltaraSetup");
    log.WriteSystemFacts(L"VeltaraSetup", Veltara::kVersion);
    log.Format(L"Apps & Features registration: %ls", options.bRegisterUninstall ? L"on" : L"off");

    CPaintManagerUI::SetModuleInstance(hInstance);
    CPaintManagerUI::SetResourceFolder(CPaintManagerUI::GetModuleFolder());

    if (FAILED(::CoInitialize(nullptr))) {
        log.Write(L"COM cannot be initialised: the installer ends");
        return 0;
    }

    CMainWnd* pFrame = new (std::nothrow) CMainWnd(options.pstrExpectedSha256);
    if (pFrame == nullptr) {
        ::CoUninitialize();
        return 0;
    }
    pFrame->SetRunOptions(&log, options.bRegisterUninstall);
    // The window deletes its object after its last message, inside RunModal.
    pFrame->CreateHostWindow(nullptr, "", CMainWnd::kWindowStyle, 0);
    if (::IsWindow(pFrame->Handle())) {
        instance.PublishWindow(pFrame->Handle());
        pFrame->CenterOnOwner();
        pFrame->RunModal();
    }

    ::CoUninitialize();
    log.Write(L"the installer ends");
    return 0;
}
