// CMainWnd: the notifications and timers of the installer window, Install, the folder dialog, the download
// progress and outcome, the unpacking's progress and completion, the launch of the client and the two
// animations.
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
#include "app/DesktopShortcut.h"
#include "app/DownloadProgress.h"

#include "BuildConfig.h"

#include <shellapi.h>
#include <shlobj.h>

using namespace SkinUI;

namespace {

const char kConnectFailed[] = "很抱歉，连接服务器失败！请稍后重试。";
const char kTaskLost[] = "查找任务失败，无法获取进度！";
const char kInstallFailed[] = "安装失败，请检查安装路径和磁盘空间后重试！";

constexpr UINT kFadePeriodMs = 50;
constexpr UINT kHoldPeriodMs = 2000;
constexpr UINT kPollPeriodMs = 20;
constexpr UINT kPanelPeriodMs = 20;

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

LRESULT CMainWnd::HandleOtherMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& /*bHandled*/)
{
    // Every message also goes on to the paint manager, which has timers and messages of its own.
    if (uMsg == WM_TIMER)
        OnTimer(wParam);
    else if (uMsg == WM_INSTALL_PROGRESS)
        OnInstallProgress(wParam, lParam);
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
    if (m_bInstallStarted)
        return;
    m_bInstallStarted = true;
    if (m_pTabSwitch != nullptr) {
        if (CControlUI* pWindow = m_pm.FindControlByName("Hor_Window"))
            pWindow->SetBackImage("bk1.png");
        m_pTabSwitch->SelectItem(1);
    }
    m_nTaskId = AddDownload(ComposePackageUrl());
    StartTimer(TIMER_FADE_IN, kFadePeriodMs);
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
    ::ShellExecuteW(nullptr, L"open", GbkToWide(strExe).c_str(), nullptr, GbkToWide(strWorkingFolder).c_str(),
                    SW_SHOW);
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

void CMainWnd::OnTaskResponse(FCHttpRequest& task)
{
    if (task.GetResponseInfo().m_nStatusCode != 0) {
        StartTimer(TIMER_POLL, kPollPeriodMs);
        return;
    }
    // No response at all: nothing more happens for this download.
    StopSlideshow();
    ShowStatusLine(kConnectFailed);
    DeleteTask(task.GetTaskId());
}

void CMainWnd::PollDownload()
{
    FCHttpRequest* pTask = FindTask(m_nTaskId);
    if (pTask == nullptr) {
        ShowStatusLine(kTaskLost);
        StopTimer(TIMER_POLL);
        return;
    }
    const int nReceived = pTask->GetReceivedBytes();
    const int nTotal = pTask->GetResponseInfo().m_nContentLength;
    if (nTotal != 0) {
        SetProgress(DownloadProgressValue(nReceived, nTotal));
    }
    m_nPollClock += static_cast<int>(kPollPeriodMs);
    if (m_nPollClock % 1000 != 0)
        return;
    ShowStatusLine(FormatSpeedLine(nReceived, pTask->GetElapsedMs()));
}

void CMainWnd::OnTaskFinished(FCHttpRequest& task)
{
    task.TakeReceivedData(m_strPackage);
    StopTimer(TIMER_POLL);
    const HttpResponseInfo& response = task.GetResponseInfo();
    const PackageVerdict eVerdict = JudgeDownloadedPackage(response.m_nStatusCode, response.m_nContentLength,
                                                           response.m_bBodyComplete != FALSE, m_strPackage);
    if (eVerdict != PackageVerdict::Accepted) {
        TraceDebug("package refused (%d), status %d, %d of %d bytes", static_cast<int>(eVerdict),
                   response.m_nStatusCode, static_cast<int>(m_strPackage.size()), response.m_nContentLength);
        std::string().swap(m_strPackage);
        FailInstallation(kConnectFailed);
        return;
    }
    ShowStatusLine("");
    const CUIString strFolder = InstallFolder();
    // The thread gets its own copy of the folder and the package: it never reads the window.
    if (!m_unpacker.Start(m_hWnd, std::move(m_strPackage), strFolder, ComposeClientExePath(strFolder),
                          Veltara::kPackageSha256))
        FailInstallation(kInstallFailed);
}

void CMainWnd::OnInstallProgress(WPARAM wNotice, LPARAM lValue)
{
    if (wNotice == UNPACK_FAILED || wNotice == UNPACK_REFUSED) {
        m_unpacker.Join();
        // A package that is not the expected one counts as a failed download.
        FailInstallation(wNotice == UNPACK_REFUSED ? kConnectFailed : kInstallFailed);
        return;
    }
    const int nValue = static_cast<int>(lValue);
    SetProgress(nValue);
    if (nValue >= 1000)
        CompleteInstallation();
}

void CMainWnd::CompleteInstallation()
{
    // The thread posts its 1000 last: it ends at once.
    m_unpacker.Join();
    StopSlideshow();
    const CUIString strExe = ComposeClientExePath(InstallFolder());
    PlaceDesktopShortcut(GetDesktopFolder(), strExe);
    if (CControlUI* pWindow = m_pm.FindControlByName("Hor_Window"))
        pWindow->SetBackImage("bk2.png");
    if (m_pTabSwitch != nullptr)
        m_pTabSwitch->SelectItem(2);
}

void CMainWnd::FailInstallation(const char* pstrText)
{
    StopTimer(TIMER_POLL);
    StopSlideshow();
    ShowStatusLine(pstrText);
}
