// CMainWnd: the notifications and timers of the installer window, Install, the folder dialog, the download
// progress and outcome, the unpacking's progress and completion, the failure state with its retry, closing
// and log-off while work runs, the launch of the client and the two animations.
#include "app/MainWnd.h"

#include "SkinUI/Control/UIAnimation.h"
#include "SkinUI/Control/UIButton.h"
#include "SkinUI/Control/UIEdit.h"
#include "SkinUI/Control/UILabel.h"
#include "SkinUI/Control/UIProgress.h"
#include "SkinUI/Core/UIContainer.h"
#include "SkinUI/Layout/UITabLayout.h"
#include "SkinUI/Utils/UITextConvert.h"
#include "app/Animations.h"
#include "app/Config.h"
#include "app/DesktopUser.h"
#include "app/DownloadProgress.h"
#include "app/InstallLog.h"
#include "app/InstallTarget.h"

#include <shlobj.h>

#include <cmath>

using namespace SkinUI;

namespace {

const char kConnectFailed[] = "很抱歉，连接服务器失败！请稍后重试。";
const char kTaskLost[] = "查找任务失败，无法获取进度！";
const char kInstallFailed[] = "安装失败，请检查安装路径和磁盘空间后重试！";
const char kPackageRefused[] = "安装包校验失败，请重新下载安装程序。";
const char kFileInUse[] = "文件被占用：%s，请关闭客户端后重试";
const char kClientFolderInUse[] = "客户端文件夹被占用，请关闭客户端后重试";
const char kCannotKeep[] = "无法保留文件 %s，请移走后重试";
const char kNoSpace[] = "磁盘空间不足：需要 %s，可用 %s";
const char kPathTooLong[] = "安装路径过长，请选择较短的安装路径！";
const char kInterrupted[] = "安装已中断，请点击重试。";
const char kStopped[] = "已停止";
const char kCloseTitle[] = "Veltara 安装程序";
const char kCloseQuestion[] = "正在安装 Veltara 客户端，确定要退出吗？\n退出将撤销本次安装，已有的客户端保持不变。";
// The failure line stands out from the light row it is drawn on.
constexpr DWORD kFailureColor = 0xFFD93025;
// The bar's fill while work is stopped: the grey third of the skin's progress image.
const char kStoppedFore[] = "file='Progress.png' source='100,0,150,24' corner='7,7,7,7'";

constexpr UINT kFadePeriodMs = 50;
constexpr UINT kHoldPeriodMs = 2000;
constexpr UINT kPollPeriodMs = 20;
constexpr UINT kPanelPeriodMs = 20;

// The file name a message names: the last part of the path, as program text.
CUIString ShownFileName(const std::wstring& strPath)
{
    const std::size_t n = strPath.rfind(L'\\');
    const std::wstring strName = n == std::wstring::npos ? strPath : strPath.substr(n + 1);
    return WideToGbk(strName.c_str(), static_cast<int>(strName.size()));
}

// A byte count for the space message: megabytes with one decimal, or gigabytes from 10 GB on. bUp rounds
// up (what is needed), else down (what is free), so that the figures never suggest the package fits.
CUIString FormatBytes(std::uint64_t nBytes, bool bUp)
{
    const bool bGiga = nBytes >= (10ull << 30);
    const double fUnit = bGiga ? 1073741824.0 : 1048576.0;
    double fTenths = static_cast<double>(nBytes) * 10.0 / fUnit;
    fTenths = bUp ? std::ceil(fTenths) : std::floor(fTenths);
    CUIString strText;
    strText.FormatText(bGiga ? "%.1fGB" : "%.1fMB", fTenths / 10.0);
    return strText;
}

} // namespace

void CMainWnd::StartTimer(UINT_PTR uTimerId, UINT uElapse)
{
    ::KillTimer(m_hWnd, uTimerId);
    ::SetTimer(m_hWnd, uTimerId, uElapse, nullptr);
}

void CMainWnd::StopTimer(UINT_PTR uTimerId)
{
    ::KillTimer(m_hWnd, uTimerId);
}

void CMainWnd::ReceiveNotify(NotifyEventUI& msg)
{
    const CUIString strName = msg.sender != nullptr ? msg.sender->GetName() : CUIString();
    if (msg.type == "click") {
        if (strName.CompareIgnoreCase("Btn_Back") == 0) {
            if (m_pTabMainSwitch != nullptr)
                m_pTabMainSwitch->SelectItem(0);
        } else if (strName.CompareIgnoreCase("Btn_agreement") == 0) {
            if (m_pTabMainSwitch != nullptr)
                m_pTabMainSwitch->SelectItem(1);
        } else if (strName.CompareIgnoreCase("Btn_Install") == 0) {
            Install();
        } else if (strName.CompareIgnoreCase("Btn_Custom") == 0) {
            StartPanelAnimation();
        } else if (strName.CompareIgnoreCase("Btn_Change") == 0) {
            BrowseForFolder();
        } else if (strName.CompareIgnoreCase("Btn_Start") == 0) {
            Launch();
        } else if (strName.CompareIgnoreCase("Btn_Finish") == 0) {
            CloseWith(1); // posted: the window lives until its queue reaches the close
        } else if (strName.CompareIgnoreCase("Btn_Retry") == 0) {
            Retry();
        }
    } else if (msg.type == "killfocus") {
        if (strName.CompareIgnoreCase("Edt_Path") == 0 && msg.sender != nullptr)
            CheckInstallTarget(msg.sender->GetText());
    } else if (msg.type == "selectchanged") {
        if (strName.CompareIgnoreCase("Opt_Agree") == 0 && m_pOptAgree != nullptr && m_pBtnInstall != nullptr)
            m_pBtnInstall->SetEnabled(m_pOptAgree->IsSelected());
    }
    WindowImplBase::ReceiveNotify(msg);
}

LRESULT CMainWnd::HandleOtherMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    // Every message but the session's end also goes on to the paint manager, which has timers and messages
    // of its own.
    if (uMsg == WM_TIMER) {
        OnTimer(wParam);
    } else if (uMsg == WM_INSTALL_PROGRESS) {
        OnInstallProgress(wParam, lParam);
    } else if (uMsg == WM_QUERYENDSESSION) {
        bHandled = true;
        return OnQueryEndSession();
    } else if (uMsg == WM_ENDSESSION) {
        bHandled = true;
        OnEndSession(wParam != FALSE);
    }
    return 0;
}

void CMainWnd::OnTimer(UINT_PTR uTimerId)
{
    switch (uTimerId) {
    case TIMER_FADE_IN:
        m_nFadeAlpha += kFadeStep;
        ShowSlideshowFrame();
        break;
    case TIMER_FADE_OUT:
        m_nFadeAlpha -= kFadeStep;
        ShowSlideshowFrame();
        break;
    case TIMER_FADE_HOLD:
        StopTimer(TIMER_FADE_HOLD);
        StartTimer(TIMER_FADE_OUT, kFadePeriodMs);
        break;
    case TIMER_POLL:
        PollDownload();
        break;
    case TIMER_RESUME:
        StopTimer(TIMER_RESUME);
        if (m_eStage == Stage::Downloading)
            StartDownloadAttempt();
        break;
    case TIMER_PANEL:
        StepPanelAnimation();
        break;
    default:
        break;
    }
}

void CMainWnd::Install()
{
    if (!m_bSpaceEnough) {
        // Show the path field, the Change button and the red line instead of installing.
        if (m_pHorCustom != nullptr && m_pHorCustom->GetFixedHeight() == kPanelClosedHeight)
            StartTimer(TIMER_PANEL, kPanelPeriodMs);
        return;
    }
    // Once started, the progress page leads on (a failure offers the retry button there).
    if (m_eStage != Stage::Welcome)
        return;
    if (m_pTabSwitch != nullptr) {
        if (CControlUI* pWindow = m_pm.FindControlByName("Hor_Window"))
            pWindow->SetBackImage("bk1.png");
        m_pTabSwitch->SelectItem(1);
    }
    StartWork();
}

void CMainWnd::StartWork()
{
    LogInstallStart();
    ShowWorkStopped(false);
    StartTimer(TIMER_FADE_IN, kFadePeriodMs);
    if (m_download.IsVerified())
        StartUnpacking(); // a package that passed its checks is not downloaded again
    else
        StartDownload();
}

void CMainWnd::StartDownload()
{
    m_eStage = Stage::Downloading;
    ShowStatusLine("");
    // The package streams into a file of its own in the install folder; a download that stopped there goes
    // on from its last byte.
    const std::wstring strFolder = GbkToWide(InstallFolder());
    if (!m_download.CanResume(strFolder) && !m_download.Begin(strFolder, ComposePackageUrl())) {
        Log().Failure(L"download: making the package file", strFolder, ::GetLastError());
        FailInstallation(kInstallFailed, RetryFrom::ChooseFolder);
        return;
    }
    const SPackageDownloadState& state = m_download.State();
    SetProgress(DownloadProgressValue(state.nBytes, state.nTotal));
    m_download.AllowMoreAttempts();
    StartDownloadAttempt();
}

void CMainWnd::StartDownloadAttempt()
{
    const HttpRequestInfo request = m_download.NextRequest();
    LogRequest(request);
    m_nTaskId = AddRequest(request);
}

void CMainWnd::FailDownload(CPackageDownload::Failure eFailure)
{
    LogDownloadFailure(eFailure);
    switch (eFailure) {
    case CPackageDownload::Failure::Refused:
        FailInstallation(kPackageRefused, RetryFrom::Download);
        break;
    case CPackageDownload::Failure::NoSpace: {
        // A body of unknown length filled the drive: how much more it needs cannot be said.
        if (m_download.NeededBytes() == 0) {
            FailInstallation(kInstallFailed, RetryFrom::ChooseFolder);
            break;
        }
        CUIString strText;
        strText.FormatText(kNoSpace, FormatBytes(m_download.NeededBytes(), true).Chars(),
                           FormatBytes(m_download.FreeBytes(), false).Chars());
        FailInstallation(strText, RetryFrom::ChooseFolder);
        break;
    }
    case CPackageDownload::Failure::Unwritable:
        FailInstallation(kInstallFailed, RetryFrom::ChooseFolder);
        break;
    default:
        FailInstallation(kConnectFailed, RetryFrom::Download);
        break;
    }
}

void CMainWnd::StartUnpacking()
{
    m_eStage = Stage::Installing;
    SetProgress(900);
    ShowStatusLine("");
    // The thread gets its own copy of the folder and its own handle of the package file: it never reads the
    // window.
    m_unpacker.SetLog(&Log());
    if (!m_unpacker.Start(m_hWnd, m_download.PackageHandle(), InstallFolder()))
        FailInstallation(kInstallFailed, RetryFrom::Install);
}

void CMainWnd::Retry()
{
    if (m_eStage != Stage::Failed)
        return;
    if (m_eRetryFrom != RetryFrom::ChooseFolder) {
        StartWork();
        return;
    }
    // Back to the welcome page with the folder panel open and the reason in its line; Install then
    // installs the kept package into the folder chosen there.
    m_eStage = Stage::Welcome;
    ShowWorkStopped(false);
    if (m_pTxtShowMsg != nullptr && m_pTxtError != nullptr) {
        m_pTxtShowMsg->SetTextColor(kInstallTargetErrorColor);
        m_pTxtShowMsg->SetText(m_pTxtError->GetText());
    }
    if (CControlUI* pWindow = m_pm.FindControlByName("Hor_Window"))
        pWindow->SetBackImage("bk.png");
    if (m_pTabSwitch != nullptr)
        m_pTabSwitch->SelectItem(0);
    HideAgreementLink();
    if (m_pHorCustom != nullptr && m_pHorCustom->GetFixedHeight() == kPanelClosedHeight)
        StartTimer(TIMER_PANEL, kPanelPeriodMs);
}

void CMainWnd::BrowseForFolder()
{
    wchar_t szPath[MAX_PATH] = {};
    const std::wstring strTitle = GbkToWide("从下面选择安装目录：");
    BROWSEINFOW bi = {};
    // Owned by the installer window, which takes no input while the dialog is open: no Install, no second
    // dialog, no close from the window's own buttons.
    bi.hwndOwner = m_hWnd;
    bi.pidlRoot = nullptr;
    bi.pszDisplayName = szPath;
    bi.lpszTitle = strTitle.c_str();
    bi.ulFlags = BIF_RETURNFSANCESTORS;
    LPITEMIDLIST pidl = ::SHBrowseForFolderW(&bi);
    if (pidl == nullptr)
        return;
    if (m_hWnd == nullptr) {
        // The window was destroyed while the dialog ran (the object stays until its handlers return).
        ::CoTaskMemFree(pidl);
        return;
    }
    // A choice without a file-system path (a virtual folder) leaves the field as it was.
    const bool bPath = ::SHGetPathFromIDListW(pidl, szPath) != FALSE;
    ::CoTaskMemFree(pidl);
    if (!bPath || szPath[0] == L'\0')
        return;
    // A character GBK lacks becomes '?', which the check refuses: never another folder than the one chosen.
    const CUIString strPath = WideToGbk(szPath);
    if (m_pEdtPath != nullptr)
        m_pEdtPath->SetText(strPath);
    CheckInstallTarget(strPath);
}

void CMainWnd::Launch()
{
    const CUIString strFolder = InstallFolder();
    const CUIString strExe = ComposeClientExePath(strFolder);
    const CUIString strWorkingFolder = ComposeClientFolder(strFolder);
    TraceDebug("kvo_aaa 路径: %s", strExe.Chars());
    // With the rights of the desktop's user, not the installer's administrator token.
    const SLaunchResult result = StartAsDesktopUser(GbkToWide(strExe), GbkToWide(strWorkingFolder));
    const wchar_t* pwstrPath = result.ePath == LaunchPath::DesktopShell ? L"through the desktop shell" : L"directly";
    if (result.bStarted)
        Log().Format(L"client started %ls (%ls): %ls", pwstrPath, result.strNote.c_str(), GbkToWide(strExe).c_str());
    else
        Log().Failure(L"starting the client " + std::wstring(pwstrPath) + L" (" + result.strNote + L")",
                      GbkToWide(strExe), result.dwError);
    CloseWith(1);
}

void CMainWnd::StartPanelAnimation()
{
    if (m_pHorCustom == nullptr)
        return;
    const int h = m_pHorCustom->GetFixedHeight();
    // A click while the panel moves does nothing.
    if (h == kPanelClosedHeight || h == kPanelOpenHeight)
        StartTimer(TIMER_PANEL, kPanelPeriodMs);
}

void CMainWnd::StepPanelAnimation()
{
    if (m_pHorCustom == nullptr)
        return;
    const PanelStep step = StepPanel(m_pHorCustom->GetFixedHeight(), m_bPanelOpening);
    if (step.bEnded) {
        StopTimer(TIMER_PANEL);
        m_bPanelOpening = !m_bPanelOpening;
        SetCustomButtonImages(m_bPanelOpening ? "Custom_Up.png" : "Custom_Down.png");
    }
    m_pHorCustom->SetFixedHeight(step.nHeight);
}

void CMainWnd::SetCustomButtonImages(const char* pstrFile)
{
    if (pstrFile == nullptr || m_pBtnCustom == nullptr)
        return;
    CUIString strImage;
    strImage.FormatText("file='%s' source='0,0,130,30'", pstrFile);
    m_pBtnCustom->SetBackImage(strImage);
    m_pBtnCustom->SetNormalImage(strImage);
    strImage.FormatText("file='%s' source='0,30,130,60'", pstrFile);
    m_pBtnCustom->SetHotImage(strImage);
    strImage.FormatText("file='%s' source='0,60,130,90'", pstrFile);
    m_pBtnCustom->SetPushedImage(strImage);
}

void CMainWnd::ShowSlideshowFrame()
{
    if (m_pTheme == nullptr)
        return;
    const SlideshowFrame frame = MakeSlideshowFrame(m_nFadeAlpha, m_nFadeImage);
    m_nFadeAlpha = frame.nAlpha;
    m_nFadeImage = frame.nImage;
    if (frame.eNext == SlideshowFrame::Hold) {
        StopTimer(TIMER_FADE_IN);
        StartTimer(TIMER_FADE_HOLD, kHoldPeriodMs);
    } else if (frame.eNext == SlideshowFrame::FadeInNext) {
        StopTimer(TIMER_FADE_OUT);
        StartTimer(TIMER_FADE_IN, kFadePeriodMs);
    }
    m_pTheme->SetBackImage(frame.strImage);
}

void CMainWnd::StopSlideshow()
{
    StopTimer(TIMER_FADE_IN);
    StopTimer(TIMER_FADE_OUT);
    StopTimer(TIMER_FADE_HOLD);
}

void CMainWnd::SetProgress(int nValue)
{
    m_nProgressValue = nValue;
    if (m_pProInstall != nullptr)
        m_pProInstall->SetValue(nValue);
    if (m_pTxtStatus != nullptr) {
        CUIString strPercent;
        strPercent.FormatText("%d%%", nValue / 10);
        m_pTxtStatus->SetText(strPercent);
    }
}

void CMainWnd::ShowStatusLine(const char* pstrText)
{
    if (m_pTxtError != nullptr)
        m_pTxtError->SetText(pstrText);
}

void CMainWnd::ShowWorkStopped(bool bStopped)
{
    if (m_pTxtError != nullptr)
        m_pTxtError->SetTextColor(bStopped ? kFailureColor : m_dwStatusColor);
    if (m_pProInstall != nullptr && !m_strProgressFore.IsEmpty())
        m_pProInstall->SetForeImage(bStopped ? kStoppedFore : m_strProgressFore.Chars());
    if (bStopped && m_pTxtStatus != nullptr)
        m_pTxtStatus->SetText(kStopped);
    else if (!bStopped)
        SetProgress(m_nProgressValue);
    if (m_pBtnRetry != nullptr)
        m_pBtnRetry->SetVisible(bStopped);
    ShowLogPath(bStopped);
}

void CMainWnd::OnTaskResponse(FCHttpRequest& task)
{
    LogResponse(task);
    // No answer at all: the transfer ends at once, and its end decides.
    if (task.GetResponseInfo().m_nStatusCode == 0)
        return;
    if (!m_download.OnAnswer(task.GetResponseInfo())) {
        // The drive cannot take the rest of the package: nothing more is stored once the task is stopped.
        DeleteTask(task.GetTaskId());
        m_download.Discard();
        FailDownload(CPackageDownload::Failure::NoSpace);
        return;
    }
    StartTimer(TIMER_POLL, kPollPeriodMs);
}

void CMainWnd::OnTaskTimeout(FCHttpRequest& task)
{
    Log().Format(L"download: the task's time-out elapsed after %d ms", task.GetElapsedMs());
    FailInstallation(kConnectFailed, RetryFrom::Download);
}

void CMainWnd::PollDownload()
{
    FCHttpRequest* pTask = FindTask(m_nTaskId);
    if (pTask == nullptr) {
        FailInstallation(kTaskLost, RetryFrom::Download);
        return;
    }
    const long long nReceived = pTask->GetReceivedBytes64();
    const long long nTotal = m_download.State().nTotal;
    if (nTotal != 0)
        SetProgress(DownloadProgressValue(pTask->GetBodyOffset() + nReceived, nTotal));
    m_nPollClock += static_cast<int>(kPollPeriodMs);
    if (m_nPollClock % 1000 != 0)
        return;
    ShowStatusLine(FormatSpeedLine(nReceived, pTask->GetElapsedMs()));
}

void CMainWnd::OnTaskFinished(FCHttpRequest& task)
{
    StopTimer(TIMER_POLL);
    const CPackageDownload::SNext next = m_download.OnAttemptEnded(task.GetResponseInfo(), task.GetReceivedBytes64());
    LogTransferEnd(task);
    switch (next.eKind) {
    case CPackageDownload::SNext::Verified:
        Log().Write(m_download.State().eHash == PackageHashVerdict::Matched
                        ? L"package hash: SHA-256 matches the expected one"
                        : L"package hash: not checked (this build expects no hash)");
        StartUnpacking();
        break;
    case CPackageDownload::SNext::Resume:
        // The bar stays where the package file stands; the next attempt goes on from there.
        Log().Format(L"download: going on from byte %lld in %lu ms", m_download.State().nBytes, next.dwPauseMs);
        StartTimer(TIMER_RESUME, next.dwPauseMs);
        break;
    default:
        FailDownload(next.eFailure);
        break;
    }
}

void CMainWnd::OnInstallProgress(WPARAM wNotice, LPARAM lValue)
{
    if (wNotice == UNPACK_FAILED || wNotice == UNPACK_REFUSED) {
        if (m_eStage != Stage::Finished) // a finished installation stays finished
            FailUnpacking(wNotice == UNPACK_REFUSED);
        return;
    }
    const int nValue = static_cast<int>(lValue);
    SetProgress(nValue);
    if (nValue >= 1000)
        CompleteInstallation();
}

void CMainWnd::FailUnpacking(bool bRefused)
{
    m_unpacker.Join();
    const SInstallProblem& problem = m_unpacker.GetProblem();
    const UnpackOutcome eOutcome = m_unpacker.GetOutcome();
    TraceDebug("installation failed (%d)", static_cast<int>(eOutcome));
    CUIString strText;
    RetryFrom eRetry = RetryFrom::Install;
    switch (eOutcome) {
    case UnpackOutcome::NotEnoughSpace:
        strText.FormatText(kNoSpace, FormatBytes(problem.nNeeded, true).Chars(),
                           FormatBytes(problem.nFree, false).Chars());
        eRetry = RetryFrom::ChooseFolder;
        break;
    case UnpackOutcome::PathTooLong:
        strText = kPathTooLong;
        eRetry = RetryFrom::ChooseFolder;
        break;
    case UnpackOutcome::FileLocked:
        strText.FormatText(kFileInUse, ShownFileName(problem.strFile).Chars());
        break;
    case UnpackOutcome::SwitchFailed:
        strText = kClientFolderInUse;
        break;
    case UnpackOutcome::CannotKeep:
        strText.FormatText(kCannotKeep, ShownFileName(problem.strFile).Chars());
        break;
    default:
        // A damaged package is downloaded again.
        if (bRefused || IsPackageRefused(eOutcome)) {
            strText = kPackageRefused;
            m_download.Discard();
        } else {
            strText = kInstallFailed;
        }
        break;
    }
    if (!m_download.IsVerified())
        eRetry = RetryFrom::Download;
    FailInstallation(strText, eRetry);
}

void CMainWnd::CompleteInstallation()
{
    // The thread may still be removing the old client folder; the window waits for it when it goes. The
    // package file goes once the thread has let go of it too.
    m_eStage = Stage::Finished;
    m_download.Discard();
    StopSlideshow();
    PlaceInstallation();
    if (CControlUI* pWindow = m_pm.FindControlByName("Hor_Window"))
        pWindow->SetBackImage("bk2.png");
    if (m_pTabSwitch != nullptr)
        m_pTabSwitch->SelectItem(2);
}

void CMainWnd::FailInstallation(const char* pstrText, RetryFrom eRetry)
{
    m_eStage = Stage::Failed;
    m_eRetryFrom = eRetry;
    StopTimer(TIMER_POLL);
    StopTimer(TIMER_RESUME);
    StopSlideshow();
    LogFailure(pstrText);
    ShowStatusLine(pstrText);
    ShowWorkStopped(true);
}

void CMainWnd::StopWork(bool bWait)
{
    if (m_eStage == Stage::Downloading) {
        StopTimer(TIMER_POLL);
        StopTimer(TIMER_RESUME);
        DeleteTask(m_nTaskId);
    } else if (m_eStage == Stage::Installing) {
        m_unpacker.RequestStop();
        m_unpacker.SetPaused(false);
        if (!bWait)
            return;
        m_unpacker.Join();
        // The stop came after the new client folder was switched in: the installation is complete.
        if (m_unpacker.GetOutcome() == UnpackOutcome::Installed)
            CompleteInstallation();
    }
    StopSlideshow();
}

bool CMainWnd::ConfirmClose()
{
    // The unpacking waits while the player decides: "no" goes on where it stood.
    m_unpacker.SetPaused(true);
    m_bConfirmingClose = true;
    const int nAnswer = ::MessageBoxW(m_hWnd, GbkToWide(kCloseQuestion).c_str(), GbkToWide(kCloseTitle).c_str(),
                                      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    m_bConfirmingClose = false;
    m_unpacker.SetPaused(false);
    return nAnswer == IDYES;
}

LRESULT CMainWnd::HandleClose(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& bHandled)
{
    // Closing while the package downloads or installs asks first; a close while the question is open waits
    // for its answer.
    if (m_bConfirmingClose || (IsWorking() && !ConfirmClose())) {
        bHandled = true;
        return 0;
    }
    if (m_hWnd == nullptr) {
        bHandled = true; // the window went while the question was open
        return 0;
    }
    if (IsWorking()) {
        Log().Write(L"closed by the player while working: stopped and rolled back");
        // The unpacking removes what it wrote before the window goes; the player need not watch that.
        ::ShowWindow(m_hWnd, SW_HIDE);
        StopWork(true);
    }
    bHandled = false; // the default handling destroys the window
    return 0;
}

LRESULT CMainWnd::OnQueryEndSession()
{
    // Windows ends the process soon after the session ends: stop now, so that the rollback is done by the
    // time WM_ENDSESSION arrives. If the session goes on after all, the failure state offers a retry.
    if (IsWorking()) {
        Log().Write(L"the session ends: stopping and rolling back");
        StopWork(false);
        m_bStoppedForSessionEnd = true;
    }
    return TRUE;
}

void CMainWnd::OnEndSession(bool bEnding)
{
    if (!m_bStoppedForSessionEnd)
        return;
    m_bStoppedForSessionEnd = false;
    m_unpacker.Join();
    // The process may be ended as soon as this returns: the package file goes now, not with the process.
    if (bEnding)
        m_download.Discard();
    if (m_unpacker.GetOutcome() == UnpackOutcome::Installed)
        CompleteInstallation();
    else
        FailInstallation(kInterrupted, m_download.IsVerified() ? RetryFrom::Install : RetryFrom::Download);
    if (bEnding)
        TraceDebug("session ends: the installation was stopped and rolled back");
}
