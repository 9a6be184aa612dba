#include "app/Uninstall.h"

#include "app/InstallFiles.h"
#include "app/InstallRecord.h"

CUninstall::CUninstall(const std::wstring& strClientFolder)
{
    std::wstring strFull;
    if (FullFolderPath(strClientFolder, strFull))
        m_strClient = ExtendedPath(strFull);
}

UninstallOutcome CUninstall::Plan()
{
    m_aRemove.clear();
    m_aKept.clear();
    m_aFolders.clear();
    m_problem = SUninstallProblem();
    if (m_strClient.empty() || !IsFolder(m_strClient))
        return UninstallOutcome::FolderUnusable;
    std::vector<SInstalledFile> aRecorded;
    if (!ReadInstallRecordFile(m_strClient, aRecorded))
        return UninstallOutcome::NoRecord;
    const auto recorded = IndexInstallRecord(aRecorded);
    // Only what the walk finds can go: a record line naming "..\x" or a path through a link matches nothing.
    const bool bWalked = WalkTree(m_strClient, [&](const std::wstring& strRelative, const WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            m_aKept.push_back(strRelative); // a link is not ours, and neither is what it leads to
            return true;
        }
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            m_aFolders.push_back(strRelative);
            return true;
        }
        const auto it = recorded.find(strRelative);
        const bool bOurs =
            IsInstallerOwnFile(strRelative) ||
            (it != recorded.end() && FileMatchesRecord(JoinPath(m_strClient, strRelative), it->second, {}));
        (bOurs ? m_aRemove : m_aKept).push_back(strRelative);
        return true;
    });
    if (!bWalked) {
        m_problem.dwError = ::GetLastError();
        return UninstallOutcome::FolderUnusable;
    }
    return UninstallOutcome::Removed;
}

UninstallOutcome CUninstall::CheckFilesFree()
{
    for (const std::wstring& strRelative : m_aRemove) {
        // Every file that goes is ours: a read-only mark does not keep it.
        const DWORD dwError = CheckFileFree(JoinPath(m_strClient, strRelative), true);
        if (dwError != 0) {
            m_problem.strFile = strRelative;
            m_problem.dwError = dwError;
            return UninstallOutcome::FileInUse;
        }
    }
    return UninstallOutcome::Removed;
}

UninstallOutcome CUninstall::Remove()
{
    UninstallOutcome eOutcome = UninstallOutcome::Removed;
    for (const std::wstring& strRelative : m_aRemove) {
        const std::wstring strPath = JoinPath(m_strClient, strRelative);
        const DWORD dwAttributes = PathAttributes(strPath);
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY) != 0)
            ::SetFileAttributesW(strPath.c_str(), dwAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (::DeleteFileW(strPath.c_str()))
            continue;
        const DWORD dwError = ::GetLastError();
        if (dwError != ERROR_FILE_NOT_FOUND && eOutcome == UninstallOutcome::Removed) {
            // The rest still goes: a second run finds only what is left.
            m_problem.strFile = strRelative;
            m_problem.dwError = dwError;
            eOutcome = UninstallOutcome::RemoveFailed;
        }
    }
    // Contents before their parents; a folder that still holds something stays.
    for (auto it = m_aFolders.rbegin(); it != m_aFolders.rend(); ++it)
        ::RemoveDirectoryW(JoinPath(m_strClient, *it).c_str());
    ::RemoveDirectoryW(m_strClient.c_str());
    return eOutcome;
}

bool CUninstall::ClientFolderRemains() const
{
    return !m_strClient.empty() && IsFolder(m_strClient);
}
