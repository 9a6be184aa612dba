// The installer program's run: one instance a session, the run's log, COM, the installer window and its modal
// loop; or, started with the uninstall switch, the uninstaller (app/UninstallProgram.h).
#pragma once

#include <windows.h>

// Exit code of an installer that found another one running (and brought it to the front).
constexpr int kExitAlreadyRunning = 2;

struct SInstallerOptions
{
    // The hash the package must have: null takes the one this build was made with, empty checks none.
    const char* pstrExpectedSha256 = nullptr;
    // Register a successful installation in Apps & Features, with an uninstaller.
    bool bRegisterUninstall = false;
};

// The options this build was made with.
SInstallerOptions BuildInstallerOptions();

// Runs the program for its command line; returns the process's exit code.
int RunInstaller(HINSTANCE hInstance, const SInstallerOptions& options = BuildInstallerOptions());
