// The installation's entry in Apps & Features: a key of the machine's Uninstall key, written after a
// successful installation (when the build registers installations) together with the uninstaller in the
// client folder, and removed by the uninstaller. The key lives in the registry's 32-bit view, where a 32-bit
// program's entries belong (Apps & Features lists both views); the 64-bit test build writes there too.
#pragma once

#include <windows.h>

#include <string>

class CInstallLog;

// Name of the installation's key below ...\CurrentVersion\Uninstall.
extern const wchar_t kUninstallKeyName[];
// The switch the uninstall string starts the uninstaller with.
extern const wchar_t kUninstallSwitch[];

struct SUninstallEntry
{
    std::wstring strDisplayName;
    std::wstring strDisplayIcon; // "<client folder>\VeltaraClient.exe,0"
    std::wstring strPublisher;
    std::wstring strDisplayVersion;
    std::wstring strInstallLocation; // the client folder
    std::wstring strUninstallString; // "\"<client folder>\VeltaraUninstall.exe\" /uninstall"
    DWORD dwEstimatedSizeKB = 0;
    // The shortcuts the installation made (empty when none), removed with it.
    std::wstring strDesktopShortcut;
    std::wstring strStartMenuShortcut;
};

// Writes the entry (NoModify and NoRepair set to 1), replacing the values of an earlier one. 0 or the
// Windows error code; a failed write leaves no half entry.
LONG WriteUninstallEntry(const SUninstallEntry& entry, const wchar_t* pwstrKeyName = kUninstallKeyName);
// False when there is no entry.
bool ReadUninstallEntry(SUninstallEntry& entry, const wchar_t* pwstrKeyName = kUninstallKeyName);
// 0 when the entry is gone (or there was none), else the Windows error code.
LONG RemoveUninstallEntry(const wchar_t* pwstrKeyName = kUninstallKeyName);

// After a successful installation: copies this program into the client folder as the uninstaller and writes
// the entry, with the size of the client folder's files and the shortcuts given. Every step goes to the log.
// False when the uninstaller could not be put in place (then no entry is written) or the entry could not be.
bool RegisterInstallation(const std::wstring& strClientFolder, const std::wstring& strDesktopShortcut,
                          const std::wstring& strStartMenuShortcut, CInstallLog& log);

// Total size of the files below a folder, in kilobytes rounded up.
DWORD FolderSizeKB(const std::wstring& strFolder);
