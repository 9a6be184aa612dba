// Program entry: hardens the DLL search and runs the installer (app/InstallerEntry.h).
#include "SkinUI/Utils/SystemLibrary.h"
#include "app/InstallerEntry.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    // Before anything can load a DLL by bare name from the folder the installer was started from.
    SkinUI::HardenDllSearch();
    return RunInstaller(hInstance);
}
