#include "app/UninstallProgram.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/Config.h"
#include "app/DesktopShortcut.h"
#include "app/DesktopUser.h"
#include "app/InstallFiles.h"
#include "app/InstallLog.h"
#include "app/InstallRecord.h"
#include "app/InstallerEntry.h"
#include "app/SingleInstance.h"
#include "app/Uninstall.h"
#include "app/UninstallEntry.h"

#include "BuildConfig.h"

#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

using SkinUI::GbkToWide;

namespace {

// The switch of the copy that does the work: "/uninstall-from <client folder> <handle of the first process>".
const wchar_t kRunSwitch[] = L"/uninstall-from";

const char kTitle[] = "Veltara 卸载程序";
const char kConfirm[] = "确定要卸载 Veltara 客户端吗？\n\n将删除安装程序在以下文件夹中安装且未被修改的文件、"
                        "快捷方式和“应用和功能”中的条目：\n%s\n\n您修改过的文件和您自己的文件（例如存档）会保留。";
const char kInUse[] = "文件被占用：%s\n\n请关闭 Veltara 客户端后再卸载。没有删除任何文件。";
const char kNoRecord[] = "在以下文件夹中找不到 Veltara 客户端的安装记录，无法卸载：\n%s";
const char kNoFolder[] = "找不到 Veltara 客户端文件夹：\n%s";
const char kRemoveFailed[] = "有文件未能删除：%s\n\n请关闭占用它的程序后再次卸载。";
const char kDone[] = "Veltara 客户端已卸载。";
const char kDoneKept[] = "Veltara 客户端已卸载。\n\n您修改过的文件和您自己的文件仍保留在以下文件夹中：\n%s";
const char kRunning[] = "Veltara 安装程序正在运行，请关闭它后再卸载。";
const char kCannotStart[] = "无法启动卸载程序：%s";
const char kErrorCode[] = "\n\n错误代码：%s";
const char kLogAt[] = "\n\n详细信息见日志：%s";

// A program text (GBK) with its one "%s" replaced by a UTF-16 text (a path may hold any character).
std::wstring Compose(const char* pstrTemplate, const std::wstring& strArgument)
{
    std::wstring strText = GbkToWide(pstrTemplate);
    const std::size_t n = strText.find(L"%s");
    return n == std::wstring::npos ? strText : strText.replace(n, 2, strArgument);
}

int Ask(const std::wstring& strText, UINT uType)
{
    return ::MessageBoxW(nullptr, strText.c_str(), GbkToWide(kTitle).c_str(), uType | MB_SETFOREGROUND);
}

std::wstring ModulePath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size())
            return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

std::wstring ParentFolder(const std::wstring& strPath)
{
    const std::size_t n = strPath.find_last_of(L"\\/");
    return n == std::wstring::npos ? std::wstring() : strPath.substr(0, n);
}

class CArguments
{
public:
    explicit CArguments(const wchar_t* pwstrCommandLine)
    {
        if (pwstrCommandLine != nullptr)
            m_argv = ::CommandLineToArgvW(pwstrCommandLine, &m_argc);
        if (m_argv == nullptr)
            m_argc = 0;
    }
    ~CArguments() { ::LocalFree(m_argv); }
    CArguments(const CArguments&) = delete;
    CArguments& operator=(const CArguments&) = delete;
    int Count() const { return m_argc; }
    std::wstring operator[](int i) const { return i < m_argc ? m_argv[i] : L""; }
    bool Is(int i, const wchar_t* pwstrSwitch) const
    {
        return i < m_argc && ::CompareStringOrdinal(m_argv[i], -1, pwstrSwitch, -1, TRUE) == CSTR_EQUAL;
    }

private:
    int m_argc = 0;
    wchar_t** m_argv = nullptr;
};

// The first start, from the client folder: a copy of the program in a folder of its own below the temporary
// folder does the work, handed this process so that it waits until this program's file is free.
int StartRelocatedCopy()
{
    const std::wstring strSelf = ModulePath();
    const std::wstring strClient = ParentFolder(strSelf);
    wchar_t szTemp[MAX_PATH + 1] = {};
    const DWORD nTemp = ::GetTempPathW(MAX_PATH + 1, szTemp);
    DWORD dwError = 0;
    std::wstring strFolder, strCopy;
    if (nTemp == 0 || nTemp > MAX_PATH) {
        dwError = ::GetLastError();
    } else {
        wchar_t szName[64] = {};
        std::swprintf(szName, 64, L"VeltaraUninstall-%lx-%llx", static_cast<unsigned long>(::GetCurrentProcessId()),
                      static_cast<unsigned long long>(::GetTickCount64()));
        strFolder = JoinPath(szTemp, szName);
        strCopy = JoinPath(strFolder, kUninstallerName);
        if (!::CreateDirectoryW(strFolder.c_str(), nullptr) || !::CopyFileW(strSelf.c_str(), strCopy.c_str(), TRUE))
            dwError = ::GetLastError();
    }
    HANDLE hSelf = nullptr;
    if (dwError == 0 && !::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &hSelf,
                                           SYNCHRONIZE, TRUE, 0))
        dwError = ::GetLastError();
    if (dwError == 0) {
        std::wstring strCommand = L"\"" + strCopy + L"\" " + kRunSwitch + L" \"" + strClient + L"\" " +
                                  std::to_wstring(reinterpret_cast<std::uintptr_t>(hSelf));
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessW(strCopy.c_str(), &strCommand[0], nullptr, nullptr, TRUE, 0, nullptr, strFolder.c_str(),
                             &si, &pi)) {
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        } else {
            dwError = ::GetLastError();
        }
        ::CloseHandle(hSelf);
    }
    if (dwError == 0)
        return 0;
    Ask(Compose(kCannotStart, strClient) + Compose(kErrorCode, DescribeWindowsError(dwError)), MB_OK | MB_ICONERROR);
    return kExitUninstallFailed;
}

// The shortcuts that point at the client: those the entry names, and the product's links in the desktop
// user's and this account's folders.
void RemoveShortcuts(const std::wstring& strClient, const SUninstallEntry* pEntry, CInstallLog& log)
{
    const std::wstring strTarget = JoinPath(strClient, GbkToWide(g_strClientExe) + L".exe");
    const std::wstring strLinkName = GbkToWide(ComposeShortcutPath(""));
    const SDesktopUserFolders folders = GetDesktopUserFolders();
    std::vector<std::wstring> aLinks = {folders.strDesktop + strLinkName, folders.strPrograms + strLinkName,
                                        GetDesktopFolder() + strLinkName};
    if (pEntry != nullptr) {
        aLinks.push_back(pEntry->strDesktopShortcut);
        aLinks.push_back(pEntry->strStartMenuShortcut);
    }
    for (const std::wstring& strLink : aLinks) {
        if (strLink.empty() || strLink == strLinkName || PathAttributes(strLink) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (!RemoveShortcutTo(strLink, strTarget))
            log.Failure(L"removing a shortcut", strLink, ::GetLastError());
        else if (PathAttributes(strLink) == INVALID_FILE_ATTRIBUTES)
            log.Format(L"removed shortcut %ls", strLink.c_str());
        else
            log.Format(L"kept shortcut %ls (it points elsewhere)", strLink.c_str());
    }
}

// The copy that does the work.
int Uninstall(const std::wstring& strClient, CInstallLog& log)
{
    if (Ask(Compose(kConfirm, strClient), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        log.Write(L"uninstall: cancelled by the user");
        return kExitUninstallCancelled;
    }
    const std::wstring strLogNote = log.IsOpen() ? Compose(kLogAt, log.Path()) : std::wstring();
    CUninstall uninstall(strClient);
    UninstallOutcome eOutcome = uninstall.Plan();
    if (eOutcome == UninstallOutcome::Removed) {
        log.Format(L"uninstall: %u files to remove, %u to keep",
                   static_cast<unsigned>(uninstall.FilesToRemove().size()),
                   static_cast<unsigned>(uninstall.FilesKept().size()));
        for (const std::wstring& strFile : uninstall.FilesKept())
            log.Format(L"keeps %ls (changed by the player, or not installed by us)", strFile.c_str());
        eOutcome = uninstall.CheckFilesFree();
    }
    const SUninstallProblem& problem = uninstall.Problem();
    switch (eOutcome) {
    case UninstallOutcome::FolderUnusable:
        log.Failure(L"uninstall: the client folder cannot be used", strClient, problem.dwError);
        Ask(Compose(kNoFolder, strClient) + strLogNote, MB_OK | MB_ICONERROR);
        return kExitUninstallFailed;
    case UninstallOutcome::NoRecord:
        log.Failure(L"uninstall: no install record", strClient, 0);
        Ask(Compose(kNoRecord, strClient) + strLogNote, MB_OK | MB_ICONERROR);
        return kExitUninstallFailed;
    case UninstallOutcome::FileInUse:
        log.Failure(L"uninstall: a file is in use, nothing removed", problem.strFile, problem.dwError);
        Ask(Compose(kInUse, problem.strFile) + Compose(kErrorCode, DescribeWindowsError(problem.dwError)) + strLogNote,
            MB_OK | MB_ICONWARNING);
        return kExitUninstallFailed;
    default:
        break;
    }

    eOutcome = uninstall.Remove();
    if (eOutcome != UninstallOutcome::Removed) {
        // The entry stays, so that another run removes what is left.
        log.Failure(L"uninstall: a file could not be removed", problem.strFile, problem.dwError);
        Ask(Compose(kRemoveFailed, problem.strFile) + Compose(kErrorCode, DescribeWindowsError(problem.dwError)) +
                strLogNote,
            MB_OK | MB_ICONERROR);
        return kExitUninstallFailed;
    }
    log.Format(L"uninstall: removed %u files", static_cast<unsigned>(uninstall.FilesToRemove().size()));

    // The entry is this installation's only when it names this folder (a later installation elsewhere owns it).
    SUninstallEntry entry;
    const bool bEntry = ReadUninstallEntry(entry) && ::CompareStringOrdinal(entry.strInstallLocation.c_str(), -1,
                                                                            strClient.c_str(), -1, TRUE) == CSTR_EQUAL;
    RemoveShortcuts(strClient, bEntry ? &entry : nullptr, log);
    if (bEntry) {
        const LONG r = RemoveUninstallEntry();
        if (r != ERROR_SUCCESS)
            log.Failure(L"removing the Apps & Features entry", kUninstallKeyName, static_cast<DWORD>(r));
        else
            log.Write(L"removed the Apps & Features entry");
    }
    if (uninstall.ClientFolderRemains()) {
        log.Format(L"uninstall: done; the player's files remain in %ls", strClient.c_str());
        Ask(Compose(kDoneKept, strClient), MB_OK | MB_ICONINFORMATION);
    } else {
        log.Write(L"uninstall: done; the client folder is gone");
        Ask(GbkToWide(kDone), MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}

int RunRelocated(const std::wstring& strClient, const std::wstring& strHandle)
{
    // The first process is gone before any file is touched (its program file is one of them).
    const HANDLE hFirst =
        reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::wcstoull(strHandle.c_str(), nullptr, 10)));
    if (hFirst != nullptr) {
        ::WaitForSingleObject(hFirst, 30000);
        ::CloseHandle(hFirst);
    }
    int nExit = kExitUninstallFailed;
    {
        CSingleInstance instance;
        if (!instance.IsFirst()) {
            Ask(GbkToWide(kRunning), MB_OK | MB_ICONWARNING);
            nExit = kExitAlreadyRunning;
        } else {
            CInstallLog log;
            log.Open(L"VeltaraUninstall");
            log.WriteSystemFacts(L"VeltaraSetup (uninstaller)", Veltara::kVersion);
            log.Format(L"uninstall: client folder %ls", strClient.c_str());
            if (SUCCEEDED(::CoInitialize(nullptr))) {
                nExit = Uninstall(strClient, log);
                ::CoUninitialize();
            }
            log.Format(L"uninstall: exit code %d", nExit);
        }
    }
    // This copy and its folder go at the next start of Windows (the temporary folder is cleaned anyway).
    const std::wstring strSelf = ModulePath();
    ::MoveFileExW(strSelf.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    ::MoveFileExW(ParentFolder(strSelf).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return nExit;
}

} // namespace

bool IsUninstallCommandLine(const wchar_t* pwstrCommandLine)
{
    const CArguments args(pwstrCommandLine);
    return args.Is(1, kUninstallSwitch) || args.Is(1, kRunSwitch);
}

int RunUninstaller(const wchar_t* pwstrCommandLine)
{
    const CArguments args(pwstrCommandLine);
    if (args.Is(1, kRunSwitch) && args.Count() == 4)
        return RunRelocated(args[2], args[3]);
    if (args.Is(1, kUninstallSwitch))
        return StartRelocatedCopy();
    return kExitUninstallFailed;
}
