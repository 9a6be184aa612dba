// The user of the logged-on desktop, as its shell knows it: that user's desktop and Start menu folders, and
// starting a program with that user's normal rights. The installer runs elevated, and with over-the-shoulder
// elevation (a standard user types an administrator's password) as another account: a program it starts
// itself would run with the administrator's token, and its own desktop is not the one the player sees. The
// desktop shell runs as the player, so the installer asks it. Where no desktop shell runs, the installer's
// own account stands in, and the results say so. COM must be initialised on the calling thread.
#pragma once

#include <windows.h>

#include <string>

struct SDesktopUserFolders
{
    std::wstring strDesktop;  // the desktop folder; empty when unknown
    std::wstring strPrograms; // the Start menu's Programs folder; empty when unknown
    bool bShellUser = false;  // true: the desktop shell's account; false: the installer's own
    std::wstring strNote;     // how they were found, or why the shell's account could not be used
};

// The folders of the desktop shell's account (read through its process token), else the installer's own.
SDesktopUserFolders GetDesktopUserFolders();

enum class LaunchPath
{
    DesktopShell, // the desktop shell started it, with its user's rights
    Direct,       // no desktop shell runs: started by the installer itself, with its own rights
};

struct SLaunchResult
{
    LaunchPath ePath = LaunchPath::Direct;
    bool bStarted = false;
    DWORD dwError = 0;    // Windows error (or HRESULT) when it failed
    std::wstring strNote; // why the direct start was used, or what failed
};

// Opens strExe with strFolder as working folder: through the desktop shell when one runs (a failure there
// is reported, never retried with the installer's own rights), directly only when none runs.
SLaunchResult StartAsDesktopUser(const std::wstring& strExe, const std::wstring& strFolder);
