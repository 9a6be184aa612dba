// CMainWnd: what a run leaves behind for the player and for support: the log of each step of the flow, the
// failure state's line that says where the log is, and, once the client folder is in place, the shortcuts
// of the desktop's user, the Apps & Features entry with the uninstaller and a copy of the log in the client
// folder.
#include "app/MainWnd.h"

#include "SkinUI/Control/UILabel.h"
#include "SkinUI/Utils/UITextConvert.h"
#include "app/Config.h"
#include "app/DesktopShortcut.h"
#include "app/DesktopUser.h"
#include "app/DownloadProgress.h"
#include "app/InstallFiles.h"
#include "app/InstallLog.h"
#include "app/InstallRecord.h"
#include "app/UninstallEntry.h"

using namespace SkinUI;

namespace {

const char kLogPathLine[] = "安装日志：";

const wchar_t* DescribeVerdict(PackageVerdict eVerdict)
{
    switch (eVerdict) {
    case PackageVerdict::Accepted:
        return L"accepted";
    case PackageVerdict::NoResponse:
        return L"no response";
    case PackageVerdict::BadStatus:
        return L"refused: the status is not a success";
    case PackageVerdict::Incomplete:
        return L"refused: the transfer was cut";
    case PackageVerdict::Empty:
        return L"refused: no bytes";
    }
    return L"unknown";
}

std::wstring FullClientFolder(const CUIString& strInstallFolder)
{
    const std::wstring strClient = GbkToWide(ComposeClientFolder(strInstallFolder));
    std::wstring strFull;
    return FullFolderPath(strClient, strFull) ? strFull : strClient;
}

} // namespace

void CMainWnd::SetRunOptions(CInstallLog* pLog, bool bRegisterUninstall)
{
    m_pLog = pLog;
    m_bRegisterUninstall = bRegisterUninstall;
}

CInstallLog& CMainWnd::Log()
{
    static CInstallLog noLog; // never opened: takes every line and writes none
    return m_pLog != nullptr ? *m_pLog : noLog;
}

void CMainWnd::LogInstallStart()
{
    const std::wstring strFolder = GbkToWide(InstallFolder());
    std::wstring strFull;
    ULARGE_INTEGER freeToCaller = {};
    const bool bFull = FullFolderPath(strFolder, strFull);
    if (bFull && ::GetDiskFreeSpaceExW(strFull.c_str(), &freeToCaller, nullptr, nullptr))
        Log().Format(L"install folder: %ls, free: %ls", strFull.c_str(), DescribeBytes(freeToCaller.QuadPart).c_str());
    else
        Log().Failure(L"reading the install folder's free space", bFull ? strFull : strFolder, ::GetLastError());
}

void CMainWnd::LogResponse(const FCHttpRequest& task)
{
    const HttpResponseInfo& response = task.GetResponseInfo();
    Log().Format(L"download: response after %d ms: status %d, Content-Length %d, Last-Modified \"%ls\", Server \"%ls\"",
                 task.GetElapsedMs(), response.m_nStatusCode, response.m_nContentLength,
                 GbkToWide(response.m_strLastModified).c_str(), GbkToWide(response.m_strServer).c_str());
}

void CMainWnd::LogTransferEnd(const FCHttpRequest& task, PackageVerdict eVerdict)
{
    const HttpResponseInfo& response = task.GetResponseInfo();
    Log().Format(L"download: ended after %d ms: received %ls of %d announced, body %ls; package %ls",
                 task.GetElapsedMs(), DescribeBytes(m_strPackage.size()).c_str(), response.m_nContentLength,
                 response.m_bBodyComplete ? L"complete" : L"cut short", DescribeVerdict(eVerdict));
}

void CMainWnd::LogFailure(const char* pstrText)
{
    Log().Format(L"failure shown: %ls", GbkToWide(pstrText).c_str());
}

void CMainWnd::ShowLogPath(bool bShow)
{
    if (m_pTxtLogPath == nullptr)
        return;
    const bool bShown = bShow && Log().IsOpen();
    if (bShown)
        m_pTxtLogPath->SetText(CUIString(kLogPathLine) + WideToGbk(Log().Path().c_str()));
    m_pTxtLogPath->SetVisible(bShown);
}

void CMainWnd::PlaceInstallation()
{
    const CUIString strExe = ComposeClientExePath(InstallFolder());
    const SDesktopUserFolders folders = GetDesktopUserFolders();
    Log().Format(L"shortcuts: for %ls", folders.strNote.c_str());
    std::wstring aLinks[2];
    const std::wstring* pFolders[2] = {&folders.strDesktop, &folders.strPrograms};
    const wchar_t* pwstrKinds[2] = {L"desktop shortcut", L"Start menu shortcut"};
    for (int i = 0; i < 2; ++i) {
        const std::wstring strLink = *pFolders[i] + GbkToWide(ComposeShortcutPath(""));
        if (PlaceDesktopShortcut(*pFolders[i], strExe)) {
            aLinks[i] = strLink;
            Log().Format(L"%ls: %ls", pwstrKinds[i], strLink.c_str());
        } else {
            Log().Failure(std::wstring(L"making the ") + pwstrKinds[i], strLink, ::GetLastError());
        }
    }
    const std::wstring strClient = FullClientFolder(InstallFolder());
    if (m_bRegisterUninstall)
        RegisterInstallation(strClient, aLinks[0], aLinks[1], Log());
    Log().Write(L"installation complete");
    Log().CopyTo(JoinPath(strClient, kInstallLogCopyName));
}
