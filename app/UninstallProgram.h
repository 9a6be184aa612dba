// The uninstaller: the setup program itself, copied into the client folder as VeltaraUninstall.exe and started
// by Apps & Features with "/uninstall" (elevated, as its manifest asks). A program cannot delete its own file,
// so that first start copies the program to a folder of its own in the temporary folder, starts the copy
// and ends; the copy waits for it to be gone, asks for confirmation and removes the installation (CUninstall),
// its shortcuts and its Apps & Features entry, and says which folder still holds the player's files.
#pragma once

// Exit codes of the uninstaller (besides 0 for done, and kExitAlreadyRunning when an installer runs).
constexpr int kExitUninstallFailed = 1;
constexpr int kExitUninstallCancelled = 3;

// True when the command line starts the uninstaller (either start).
bool IsUninstallCommandLine(const wchar_t* pwstrCommandLine);

// Runs the uninstaller for the command line; returns the process's exit code.
int RunUninstaller(const wchar_t* pwstrCommandLine);
