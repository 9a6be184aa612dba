// CMainWnd: the installer window. A skinned window whose pages lead the user from the welcome page through
// the download and unpacking of the client package to the finish page, and at the same time the request
// manager that runs the download. One heap object per run; it deletes itself after its last message.
#pragma once

#include "SkinUI/Window/WinImplBase.h"
#include "SkinUI/Window/WindowShadow.h"
#include "app/PackageDownload.h"
#include "app/PackageUnpacker.h"
#include "sdk/utility/http_request_manager.h"

#include <string>

namespace SkinUI {
class CContainerUI;
class CTabLayoutUI;
class CProgressUI;
class CRichEditUI;
class CTextUI;
class CEditUI;
class CFadeButtonUI;
class COptionUI;
class CButtonUI;
} // namespace SkinUI

class CInstallLog;

class CMainWnd : public SkinUI::WindowImplBase, public FCHttpRequestManager
{
public:
    // WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
    static constexpr DWORD kWindowStyle = 0x96CA0000;

    // Window timers of the installer window.
    enum : UINT_PTR
    {
        TIMER_FADE_IN = 1,
        TIMER_FADE_OUT = 2,
        TIMER_FADE_HOLD = 3,
        TIMER_POLL = 4,
        TIMER_RESUME = 5, // the pause before the download's next attempt
        TIMER_PANEL = 6,
    };

    // pstrExpectedSha256: the hash the package must have (64 hexadecimal digits), empty for no check; null
    // takes the one this build was made with.
    explicit CMainWnd(const char* pstrExpectedSha256 = nullptr);

    // Checks a folder for installing, shows the result under the path field and remembers whether it may be
    // installed into.
    void CheckInstallTarget(const char* pstrFolder);

    // The run's log (null: none; it must outlive the window) and whether a successful installation is
    // registered in Apps & Features with an uninstaller. Without this call: no log, no registration.
    void SetRunOptions(CInstallLog* pLog, bool bRegisterUninstall);

protected:
    // Skinned window base.
    const char* WindowClassName() const override { return "MainWnd"; }
    SkinUI::CUIString SkinFolderName() const override;
    SkinUI::CUIString SkinFileName() const override;
    int SkinSourceKind() const override;
    SkinUI::CUIResName SkinResourceId() const override;
    void OnSkinReady() override;
    void OnWindowGone(HWND hWnd) override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT HandleOtherMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    void ReceiveNotify(SkinUI::NotifyEventUI& msg) override;

    // Download hooks.
    void OnTaskResponse(FCHttpRequest& task) override;
    void OnTaskFinished(FCHttpRequest& task) override;
    void OnTaskTimeout(FCHttpRequest& task) override;

private:
    // Where the installation stands.
    enum class Stage
    {
        Welcome,     // nothing started, or back on the welcome page to choose another folder
        Downloading, // the package download runs
        Installing,  // the unpacking thread runs
        Failed,      // stopped with a failure; the retry button offers the way forward
        Finished,    // the client is installed
    };
    // Where a retry starts.
    enum class RetryFrom
    {
        Download,     // the package is downloaded again
        Install,      // the kept package is installed again
        ChooseFolder, // the welcome page, to choose another folder (or free space) for the kept package
    };

    ~CMainWnd() override;

    void OnTimer(UINT_PTR uTimerId);
    void StartTimer(UINT_PTR uTimerId, UINT uElapse);
    void StopTimer(UINT_PTR uTimerId);

    void Install();
    void HideAgreementLink();
    void BrowseForFolder();
    void Launch();
    void StartPanelAnimation();
    void StepPanelAnimation();
    void ShowSlideshowFrame();
    void StopSlideshow();
    void SetCustomButtonImages(const char* pstrFile);

    void PollDownload();
    void SetProgress(int nValue);
    void ShowStatusLine(const char* pstrText);
    void OnInstallProgress(WPARAM wNotice, LPARAM lValue);
    void CompleteInstallation();
    void FailInstallation(const char* pstrText, RetryFrom eRetry);
    // The unpacking thread ended without installing; bRefused: it blamed the package.
    void FailUnpacking(bool bRefused);
    SkinUI::CUIString InstallFolder() const;

    void StartWork();
    void StartDownload();
    void StartDownloadAttempt();
    void FailDownload(CPackageDownload::Failure eFailure);
    void StartUnpacking();
    void Retry();
    // Shows the progress row stopped (failure text, greyed bar, retry button) or running again.
    void ShowWorkStopped(bool bStopped);
    bool IsWorking() const { return m_eStage == Stage::Downloading || m_eStage == Stage::Installing; }
    // Stops the download and the unpacking; the unpacking removes what it wrote. bWait: until it is done.
    void StopWork(bool bWait);
    bool ConfirmClose();

    // What the run leaves for the player and for support (MainWndOutcome.cpp): the log of each step, the
    // shortcuts, the Apps & Features entry and the copy of the log in the client folder.
    CInstallLog& Log();
    void LogInstallStart();
    void LogRequest(const HttpRequestInfo& request);
    void LogResponse(const FCHttpRequest& task);
    void LogTransferEnd(const FCHttpRequest& task);
    void LogDownloadFailure(CPackageDownload::Failure eFailure);
    void LogFailure(const char* pstrText);
    void ShowLogPath(bool bShow);
    void PlaceInstallation();
    LRESULT OnQueryEndSession();
    void OnEndSession(bool bEnding);

    SkinUI::CWindowShadow m_shadow;
    SkinUI::CContainerUI* m_pHorCustom = nullptr;
    SkinUI::CTabLayoutUI* m_pTabMainSwitch = nullptr;
    SkinUI::CTabLayoutUI* m_pTabSwitch = nullptr;
    SkinUI::CContainerUI* m_pTheme = nullptr;
    SkinUI::CProgressUI* m_pProInstall = nullptr;
    SkinUI::CRichEditUI* m_pTxtInfo = nullptr;
    SkinUI::CTextUI* m_pTxtStatus = nullptr;
    SkinUI::CTextUI* m_pTxtError = nullptr;
    SkinUI::CTextUI* m_pTxtShowMsg = nullptr;
    SkinUI::CEditUI* m_pEdtPath = nullptr;
    SkinUI::CFadeButtonUI* m_pBtnCustom = nullptr;
    SkinUI::COptionUI* m_pOptAgree = nullptr;
    SkinUI::CButtonUI* m_pBtnInstall = nullptr;
    int m_nTaskId = 0;
    // The package's download and its file: after a failure that did not blame the package, the bytes so
    // far (a retry resumes) or the package that passed its checks (a retry installs it again).
    CPackageDownload m_download;
    int m_nFadeAlpha = 20;
    int m_nFadeImage = 0;
    bool m_bPanelOpening = true;
    bool m_bSpaceEnough = false;
    DWORD m_dwShowMsgColor = 0;
    Stage m_eStage = Stage::Welcome;
    RetryFrom m_eRetryFrom = RetryFrom::Download;
    SkinUI::CButtonUI* m_pBtnRetry = nullptr;
    SkinUI::CTextUI* m_pTxtLogPath = nullptr;
    CInstallLog* m_pLog = nullptr;
    bool m_bRegisterUninstall = false;
    // The skin's fill image of the bar and colour of the status line, restored when work runs again.
    SkinUI::CUIString m_strProgressFore;
    DWORD m_dwStatusColor = 0;
    int m_nProgressValue = 0;
    bool m_bConfirmingClose = false;
    bool m_bStoppedForSessionEnd = false;
    // Paces the speed line: raised by 20 at every poll that finds the download.
    int m_nPollClock = 0;
    CPackageUnpacker m_unpacker;
    // Messages of this window being handled now. The folder dialog runs a message loop inside a handler;
    // a window destroyed in there leaves the object to be deleted once the outermost handler returns.
    int m_nMessageDepth = 0;
    bool m_bDeleteWhenUnwound = false;
};
