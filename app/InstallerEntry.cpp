#include "app/InstallerEntry.h"

#include "SkinUI/Core/UIManager.h"
#include "app/MainWnd.h"
#include "app/SingleInstance.h"

#include <objbase.h>
#include <new>

using SkinUI::CPaintManagerUI;

int RunInstaller(HINSTANCE hInstance, const char* pstrExpectedSha256)
{
    // Two installers would fight over the same files: a second one hands over to the first.
    CSingleInstance instance;
    if (!instance.IsFirst()) {
        CSingleInstance::BringFirstForward(5000);
        return kExitAlreadyRunning;
    }

    CPaintManagerUI::SetModuleInstance(hInstance);
    CPaintManagerUI::SetResourceFolder(CPaintManagerUI::GetModuleFolder());

    if (FAILED(::CoInitialize(nullptr)))
        return 0;

    CMainWnd* pFrame = new (std::nothrow) CMainWnd(pstrExpectedSha256);
    if (pFrame == nullptr) {
        ::CoUninitialize();
        return 0;
    }
    // The window deletes its object after its last message, inside RunModal.
    pFrame->CreateHostWindow(nullptr, "", CMainWnd::kWindowStyle, 0);
    if (::IsWindow(pFrame->Handle())) {
        instance.PublishWindow(pFrame->Handle());
        pFrame->CenterOnOwner();
        pFrame->RunModal();
    }

    ::CoUninitialize();
    return 0;
}
