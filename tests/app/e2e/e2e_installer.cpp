// The installer as shipped, except that it takes any package without checking its hash: a damaged package
// that a checking build refuses before unpacking reaches the unpacking here, so the end-to-end tests can see
// what a late damaged item does. Built for the tests only, never shipped.
#include "SkinUI/Utils/SystemLibrary.h"
#include "app/InstallerEntry.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    SkinUI::HardenDllSearch();
    return RunInstaller(hInstance, "");
}
