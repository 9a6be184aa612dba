// Program entry: prepares the paint manager, initialises COM, creates the installer window, centres it and
// runs its modal loop until it closes.
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Utils/SystemLibrary.h"
#include "app/MainWnd.h"

#include <objbase.h>
#include <new>

using SkinUI::CPaintManagerUI;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    // Before anything can load a DLL by bare name from the folder the installer was started from.
    SkinUI::HardenDllSearch();

    CPaintManagerUI::SetModuleInstance(hInstance);
    CPaintManagerUI::SetResourceFolder(CPaintManagerUI::GetModuleFolder());

    if (FAILED(::CoInitialize(nullptr)))
        return 0;

    CMainWnd* pFrame = new (std::nothrow) CMainWnd();
    if (pFrame == nullptr) {
        ::CoUninitialize();
        return 0;
    }
    // The window deletes its object after its last message, inside RunModal.
    pFrame->CreateHostWindow(nullptr, "", CMainWnd::kWindowStyle, 0);
    if (::IsWindow(pFrame->Handle())) {
        pFrame->CenterOnOwner();
        pFrame->RunModal();
    }

    ::CoUninitialize();
    return 0;
}
