// CPackageUnpacker: unpacks the downloaded client package (a zip archive held in memory) below the install
// folder on a thread of its own and reports to the installer window by posted messages only. It owns its
// copy of the package and of the folder text, so it never reads the window or its controls.
#pragma once

#include "SkinUI/Utils/UIString.h"

#include <windows.h>

#include <atomic>
#include <string>

// Posted to the window: wParam is an UnpackNotice, lParam the progress value (901 to 1000) of a progress
// notice.
constexpr UINT WM_INSTALL_PROGRESS = WM_USER + 2;

enum UnpackNotice : WPARAM
{
    UNPACK_PROGRESS = 0, // lParam: the new progress value; 1000 means every item was installed
    UNPACK_FAILED = 1,   // the installation failed; nothing follows
};

// Why an unpacking ended (for the owner's tests and traces; the window is told by the posts).
enum class UnpackOutcome
{
    NotStarted,
    Running,
    Installed,      // every item written and the client executable found
    FolderUnusable, // the install folder could not be made the current folder
    NotAnArchive,   // the package could not be opened
    ItemFailed,     // an item could not be read or written (damaged, CRC mismatch, unwritable)
    ClientMissing,  // every item was written but the client executable is not there
    Stopped,        // the owner asked it to stop
};

class CPackageUnpacker
{
public:
    CPackageUnpacker() = default;
    // Stops the thread and waits for it.
    ~CPackageUnpacker();
    CPackageUnpacker(const CPackageUnpacker&) = delete;
    CPackageUnpacker& operator=(const CPackageUnpacker&) = delete;

    // Starts unpacking strPackage below pstrFolder, posting to hWnd; pstrClientExe is the path of the client
    // executable that must exist afterwards. False when already started or the thread cannot be made.
    bool Start(HWND hWnd, std::string&& strPackage, const char* pstrFolder, const char* pstrClientExe);
    // Asks the thread to stop before its next item; it then posts nothing more.
    void RequestStop() { m_bStop.store(true); }
    // Waits for the thread to end (does nothing when none was started).
    void Join();
    bool IsStarted() const { return m_hThread != nullptr; }
    // Valid after Join.
    UnpackOutcome GetOutcome() const { return m_eOutcome.load(); }

private:
    static unsigned __stdcall ThreadMain(void* pvThis);
    UnpackOutcome Run();
    UnpackOutcome UnpackItems();
    // Posts until the message is queued, unless the window is gone or a stop was asked for.
    void PostSurely(WPARAM wNotice, LPARAM lValue);

    HWND m_hWnd = nullptr;
    std::string m_strPackage;
    SkinUI::CUIString m_strFolder;
    SkinUI::CUIString m_strClientExe;
    HANDLE m_hThread = nullptr;
    std::atomic<bool> m_bStop{false};
    std::atomic<UnpackOutcome> m_eOutcome{UnpackOutcome::NotStarted};
};
