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

const wchar_t* DescribeBodyEnd(HttpBodyEnd eEnd)
{
    switch (eEnd) {
    case HttpBodyEnd::Running:
        return L"running";
    case HttpBodyEnd::Complete:
        return L"complete";
    case HttpBodyEnd::NoResponse:
        return L"no response";
    case HttpBodyEnd::Cut:
        return L"cut short";
    case HttpBodyEnd::Idle:
        return L"idle too long";
    case HttpBodyEnd::TooLong:
        return L"longer than declared";
    case HttpBodyEnd::Stopped:
        return L"stopped";
    case HttpBodyEnd::NoRoom:
        return L"no room to receive";
    case HttpBodyEnd::WriteFailed:
        return L"the package file cannot be written";
    case HttpBodyEnd::StatusRefused:
        return L"not stored: the status is not a success";
    case HttpBodyEnd::PartialUnasked:
        return L"not stored: a range nobody asked for";
    case HttpBodyEnd::RangeMismatch:
        return L"not stored: another range than the one asked for";
    case HttpBodyEnd::ValidatorChanged:
        return L"not stored: the package changed on the server";
    }
    return L"unknown";
}

const wchar_t* DescribeHash(PackageHashVerdict eHash)
{
    switch (eHash) {
    case PackageHashVerdict::NotChecked:
        return L"not checked";
    case PackageHashVerdict::Matched:
        return L"SHA-256 matches";
    case PackageHashVerdict::Mismatched:
        return L"SHA-256 differs from the expected one";
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

void CMainWnd::LogRequest(const HttpRequestInfo& request)
{
    const SPackageDownloadState& state = m_download.State();
    Log().Format(L"download: attempt %d: GET %ls from byte %lld", state.nAttempts, GbkToWide(request.m_strUrl).c_str(),
                 request.m_nStartByte);
}

void CMainWnd::LogResponse(const FCHttpRequest& task)
{
    const HttpResponseInfo& response = task.GetResponseInfo();
    Log().Format(L"download: response after %d ms: status %d, Content-Length %lld, Content-Range start %lld, "
                 L"total %lld, ETag \"%ls\", Last-Modified \"%ls\", Server \"%ls\"",
                 task.GetElapsedMs(), response.m_nStatusCode, response.m_nContentLength64, response.m_nRangeStart,
                 response.m_nTotalLength, GbkToWide(response.m_strETag).c_str(),
                 GbkToWide(response.m_strLastModified).c_str(), GbkToWide(response.m_strServer).c_str());
}

void CMainWnd::LogTransferEnd(const FCHttpRequest& task)
{
    const HttpResponseInfo& response = task.GetResponseInfo();
    const SPackageDownloadState& state = m_download.State();
    Log().Format(L"download: attempt ended after %d ms: received %ls, body %ls (error %lu); package file %ls of "
                 L"%lld, %d attempts, %d resumes, %d restarts from zero; hash %ls",
                 task.GetElapsedMs(), DescribeBytes(static_cast<std::uint64_t>(task.GetReceivedBytes64())).c_str(),
                 DescribeBodyEnd(response.m_eBodyEnd), response.m_dwBodyError,
                 DescribeBytes(static_cast<std::uint64_t>(state.nBytes)).c_str(), state.nTotal, state.nAttempts,
                 state.nResumes, state.nRestarts, DescribeHash(state.eHash));
    if (state.eHash == PackageHashVerdict::Mismatched)
        Log().Write(L"package hash: SHA-256 differs from the expected one");
}

void CMainWnd::LogDownloadFailure(CPackageDownload::Failure eFailure)
{
    const wchar_t* pwstrWhat = L"download: no answer, an error status, or a connection that kept failing";
    switch (eFailure) {
    case CPackageDownload::Failure::Connection:
        break;
    case CPackageDownload::Failure::Refused:
        pwstrWhat = L"download: the package is not the expected one";
        break;
    case CPackageDownload::Failure::NoSpace:
        pwstrWhat = L"download: the drive has no room for the package";
        break;
    case CPackageDownload::Failure::Unwritable:
        pwstrWhat = L"download: the package file cannot be written";
        break;
    }
    const SPackageDownloadState& state = m_download.State();
    Log().Failure(pwstrWhat, GbkToWide(state.strUrl.c_str()), state.dwLastError);
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
