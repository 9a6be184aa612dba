// The installer as shipped, except for one setting the end-to-end tests need to vary, chosen when it is built:
// - VELTARA_E2E_UNCHECKED: it takes any package without checking its hash, so that a damaged package that a
//   checking build refuses before unpacking reaches the unpacking, and the tests can see what a late damaged
//   item does;
// - VELTARA_E2E_UNREGISTERED: it never registers an installation in Apps & Features (the build setting off).
// Built for the tests only, never shipped.
#include "SkinUI/Utils/SystemLibrary.h"
#include "app/InstallerEntry.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    SkinUI::HardenDllSearch();
    SInstallerOptions options = BuildInstallerOptions();
#ifdef VELTARA_E2E_UNCHECKED
    options.pstrExpectedSha256 = "";
#endif
#ifdef VELTARA_E2E_UNREGISTERED
    options.bRegisterUninstall = false;
#endif
    return RunInstaller(hInstance, options);
}
