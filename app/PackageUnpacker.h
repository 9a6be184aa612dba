// CPackageUnpacker: installs the downloaded client package (the package file, checked as it was downloaded)
// into the install folder on a thread of its own, as one staged transaction (CStagedInstall), and reports
// to the installer window by posted messages only. It works on its own duplicate of the file's handle and
// its own copy of the folder text, so it never reads the window or its controls.
#pragma once

#include "app/StagedInstall.h"

class CInstallLog;

#include <windows.h>

#include <atomic>
#include <string>

// Posted to the window: wParam is an UnpackNotice, lParam the progress value (901 to 1000) of a progress
// notice.
constexpr UINT WM_INSTALL_PROGRESS = WM_USER + 2;

enum UnpackNotice : WPARAM
{
    UNPACK_PROGRESS = 0, // lParam: the new progress value; 1000 means the client folder is in place
    UNPACK_FAILED = 1,   // the installation failed and nothing changed; the package can be tried again
    UNPACK_REFUSED = 2,  // the package is not one that can be installed (damaged, misnamed); nothing changed
};

class CPackageUnpacker
{
public:
    CPackageUnpacker() = default;
    // Stops the thread and waits for it.
    ~CPackageUnpacker();
    CPackageUnpacker(const CPackageUnpacker&) = delete;
    CPackageUnpacker& operator=(const CPackageUnpacker&) = delete;

    // Starts installing the package file hPackage (open for reading) into pstrFolder (program text), posting
    // to hWnd. The caller may close its handle at once. False when a thread is still running or cannot be made.
    bool Start(HWND hWnd, HANDLE hPackage, const char* pstrFolder);
    // The log the thread writes its steps and the outcome to (null: none). Set before Start; it must outlive
    // the thread.
    void SetLog(CInstallLog* pLog) { m_pLog = pLog; }
    // Asks the thread to stop (between items, or part-way through one); it removes what it wrote and then
    // posts nothing more.
    void RequestStop() { m_control.bStop.store(true); }
    // Holds the thread at its next check (between items or pieces of one) until resumed or stopped.
    void SetPaused(bool bPaused) { m_control.bPause.store(bPaused); }
    // Waits for the thread to end (does nothing when none was started).
    void Join();
    bool IsStarted() const { return m_hThread != nullptr; }
    // Valid after Join.
    UnpackOutcome GetOutcome() const { return m_eOutcome.load(); }
    const SInstallProblem& GetProblem() const { return m_problem; }

private:
    static unsigned __stdcall ThreadMain(void* pvThis);
    UnpackOutcome Run();
    // Posts until the message is queued, unless the window is gone or a stop was asked for.
    void PostSurely(WPARAM wNotice, LPARAM lValue);

    HWND m_hWnd = nullptr;
    HANDLE m_hPackage = nullptr; // the thread's duplicate, closed when it ends
    std::wstring m_strFolder;
    HANDLE m_hThread = nullptr;
    SInstallControl m_control;
    std::atomic<UnpackOutcome> m_eOutcome{UnpackOutcome::NotStarted};
    SInstallProblem m_problem;
    CInstallLog* m_pLog = nullptr;
};

// True for the outcomes that blame the package itself: downloading it again is the way forward.
bool IsPackageRefused(UnpackOutcome eOutcome);

// The outcome in a few words, for the log.
const wchar_t* DescribeOutcome(UnpackOutcome eOutcome);
