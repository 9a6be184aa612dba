#include "app/StagedInstall.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/Config.h"
#include "app/InstallFiles.h"

#include <algorithm>
#include <cwchar>

namespace {

// Unpacked data goes to disk in pieces of this size; a stop is seen between two pieces.
constexpr DWORD kPiece = 1u << 20;

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring ParentOf(const std::wstring& strRelative)
{
    const std::size_t n = strRelative.rfind(L'\\');
    return n == std::wstring::npos ? std::wstring() : strRelative.substr(0, n);
}

std::uint64_t RoundUp(std::uint64_t nBytes, std::uint64_t nCluster)
{
    return (nBytes + nCluster - 1) / nCluster * nCluster;
}

bool WriteAll(HANDLE h, const char* pData, std::size_t nLength)
{
    while (nLength > 0) {
        const DWORD nPart = static_cast<DWORD>(std::min<std::size_t>(nLength, kPiece));
        DWORD nWritten = 0;
        if (!::WriteFile(h, pData, nPart, &nWritten, nullptr) || nWritten != nPart)
            return false;
        pData += nPart;
        nLength -= nPart;
    }
    return true;
}

} // namespace

bool SInstallControl::ShouldStop() const
{
    while (bPause.load() && !bStop.load())
        ::Sleep(20);
    return bStop.load();
}

CStagedInstall::CStagedInstall(HANDLE hPackage, const std::wstring& strInstallFolder, const SInstallControl& control,
                               ProgressFn fnProgress)
    : m_hPackage(hPackage),
      m_control(control),
      m_fnProgress(std::move(fnProgress)),
      m_strInstallFolder(strInstallFolder)
{
}

CStagedInstall::~CStagedInstall()
{
    if (m_hZip != nullptr)
        ZipClose(m_hZip);
    if (m_bStagingMade)
        RemoveTree(m_strStaging);
}

UnpackOutcome CStagedInstall::Failed(UnpackOutcome eOutcome, const std::wstring& strFile)
{
    m_problem.dwError = ::GetLastError();
    m_problem.strFile = strFile;
    return eOutcome;
}

UnpackOutcome CStagedInstall::Run()
{
    if (!PrepareFolders())
        return Failed(UnpackOutcome::FolderUnusable, m_strInstallFolder);
    RecoverEarlierRun();
    // The checks first (nothing is written until all of them passed), then staging and the switch.
    struct SStep
    {
        UnpackOutcome (CStagedInstall::*pfn)();
        const wchar_t* pwstrDone;
    };
    static const SStep kSteps[] = {
        {&CStagedInstall::ListItems, L"package listed"},
        {&CStagedInstall::CheckPaths, L"paths fit"},
        {&CStagedInstall::PlanExisting, L"existing files planned"},
        {&CStagedInstall::CheckSpace, L"free space suffices"},
        {&CStagedInstall::CheckFilesInUse, L"no file to replace is in use"},
        {&CStagedInstall::Stage, L"staged and checked"},
        {&CStagedInstall::Switch, L"switched in"},
    };
    for (const SStep& step : kSteps) {
        if (StopRequested())
            return UnpackOutcome::Stopped;
        const UnpackOutcome eOutcome = (this->*step.pfn)();
        if (eOutcome != UnpackOutcome::Installed) {
            if (m_bStagingMade && RemoveTree(m_strStaging))
                m_bStagingMade = false;
            return eOutcome;
        }
        if (m_fnStep)
            m_fnStep(step.pwstrDone);
    }
    return UnpackOutcome::Installed;
}

bool CStagedInstall::PrepareFolders()
{
    std::wstring strFull;
    if (!FullFolderPath(m_strInstallFolder, strFull) || !IsFolder(ExtendedPath(strFull)))
        return false;
    m_strFullFolder = strFull;
    m_strClientName = SkinUI::GbkToWide(g_strClientFolder);
    m_nClientPathLength = JoinPath(strFull, m_strClientName).size();
    m_strFolder = ExtendedPath(strFull);
    m_strClient = JoinPath(m_strFolder, m_strClientName);
    wchar_t szUnique[32] = {};
    std::swprintf(szUnique, 32, L"%lx%lx", static_cast<unsigned long>(::GetCurrentProcessId()),
                  static_cast<unsigned long>(::GetTickCount()));
    m_strStaging = m_strClient + L".~new" + szUnique;
    m_strBackup = m_strClient + L".~old" + szUnique;
    // A file where the client folder belongs cannot be switched out of the way.
    const DWORD dwClient = PathAttributes(m_strClient);
    return dwClient == INVALID_FILE_ATTRIBUTES || (dwClient & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CStagedInstall::RecoverEarlierRun()
{
    // A run that ended without cleaning up (a crash, a power cut) left staging folders and maybe the old
    // client folder under its backup name: if the client folder is missing, the switch was cut between its
    // two renames and the backup is the installation.
    const std::size_t nName = m_strClientName.size();
    std::vector<std::wstring> aLeftovers;
    WIN32_FIND_DATAW data = {};
    const HANDLE hFind = ::FindFirstFileW((m_strClient + L".~*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring strName = data.cFileName;
        if (strName.size() > nName + 5 && SamePath(strName.substr(0, nName), m_strClientName) &&
            (strName.compare(nName, 5, L".~new") == 0 || strName.compare(nName, 5, L".~old") == 0))
            aLeftovers.push_back(strName);
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
    for (const std::wstring& strName : aLeftovers) {
        const std::wstring strPath = JoinPath(m_strFolder, strName);
        const bool bBackup = strName.compare(nName, 5, L".~old") == 0;
        if (bBackup && !IsFolder(m_strClient) && ::MoveFileExW(strPath.c_str(), m_strClient.c_str(), 0))
            continue;
        RemoveTree(strPath);
    }
}

UnpackOutcome CStagedInstall::ListItems()
{
    // The reader takes the handle's position as the archive's start: the first byte of the file.
    LARGE_INTEGER start = {};
    if (m_hPackage == nullptr || m_hPackage == INVALID_HANDLE_VALUE ||
        !::SetFilePointerEx(m_hPackage, start, nullptr, FILE_BEGIN))
        return UnpackOutcome::NotAnArchive;
    m_hZip = ZipOpen(m_hPackage, 0, ZipKindHandle);
    if (m_hZip == nullptr)
        return UnpackOutcome::NotAnArchive;
    ZipItemInfo info = {};
    m_nItemCount = ZipGetItem(m_hZip, -1, &info) == ZipOk ? info.iIndex : 0;
    if (m_nItemCount <= 0)
        return UnpackOutcome::NotAnArchive;
    for (int i = 0; i < m_nItemCount; ++i) {
        if (ZipGetItem(m_hZip, i, &info) != ZipOk)
            return UnpackOutcome::ItemFailed;
        const std::wstring strName = ItemWideName(m_hZip, i);
        std::wstring strRelative;
        // The installer's own files (its record, log and uninstaller) are never the package's.
        if (strName.empty() || !ClientRelativePath(strName, m_strClientName, strRelative) ||
            IsInstallerOwnFile(strRelative)) {
            m_problem.strFile = strName;
            return UnpackOutcome::ItemFailed;
        }
        for (std::wstring strParent = ParentOf(strRelative); !strParent.empty(); strParent = ParentOf(strParent))
            m_aFolders.insert(strParent);
        const bool bFolder = (info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || strName.back() == L'\\';
        if (strRelative.empty())
            continue; // the client folder itself
        if (bFolder) {
            m_aFolders.insert(strRelative);
            continue;
        }
        // Two items of one name (letter case aside) would leave it to chance which one is installed.
        if (!m_aFiles.insert(strRelative).second) {
            m_problem.strFile = strRelative;
            return UnpackOutcome::ItemFailed;
        }
        SItem item;
        item.iIndex = i;
        item.strPath = strRelative;
        if (!ItemSize(m_hZip, i, item.nSize))
            return UnpackOutcome::ItemFailed;
        item.ftCreation = info.ftCreationTime;
        item.ftAccess = info.ftAccessTime;
        item.ftModify = info.ftModifyTime;
        m_aItems.push_back(std::move(item));
    }
    for (const std::wstring& strFolder : m_aFolders) {
        if (m_aFiles.count(strFolder) != 0) {
            m_problem.strFile = strFolder;
            return UnpackOutcome::ItemFailed;
        }
    }
    const std::wstring strExe = SkinUI::GbkToWide(g_strClientExe) + L".exe";
    return m_aFiles.count(strExe) != 0 ? UnpackOutcome::Installed : UnpackOutcome::ClientMissing;
}

UnpackOutcome CStagedInstall::CheckPaths()
{
    // The staging folder's name is longer than the client folder's; it is written through extended-length
    // paths, so only the final paths are held to the limit.
    const std::wstring* pLongest = nullptr;
    for (const auto* pSet : {&m_aFiles, &m_aFolders}) {
        for (const std::wstring& strPath : *pSet) {
            if (pLongest == nullptr || strPath.size() > pLongest->size())
                pLongest = &strPath;
        }
    }
    const std::size_t nFull = pLongest != nullptr ? m_nClientPathLength + 1 + pLongest->size() : 0;
    if (nFull < kMaxFullPath)
        return UnpackOutcome::Installed;
    m_problem.strFile = *pLongest;
    m_problem.nFullLength = nFull;
    return UnpackOutcome::PathTooLong;
}

UnpackOutcome CStagedInstall::PlanExisting()
{
    if (!IsFolder(m_strClient))
        return UnpackOutcome::Installed; // a first installation
    std::vector<SInstalledFile> aRecorded;
    ReadInstallRecordFile(m_strClient, aRecorded);
    const auto recorded = IndexInstallRecord(aRecorded);

    UnpackOutcome eOutcome = UnpackOutcome::Installed;
    std::vector<std::wstring> aOldFolders;
    std::set<std::wstring, PathLess> aNonEmpty;
    const bool bWalked = WalkTree(m_strClient, [&](const std::wstring& strRelative, const WIN32_FIND_DATAW& data) {
        if (StopRequested()) {
            eOutcome = UnpackOutcome::Stopped;
            return false;
        }
        // A link could lead anywhere; carrying it over, or through it, is not this installer's to decide.
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            m_problem.strFile = strRelative;
            eOutcome = UnpackOutcome::CannotKeep;
            return false;
        }
        aNonEmpty.insert(ParentOf(strRelative));
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            aOldFolders.push_back(strRelative);
            return true;
        }
        if (SamePath(strRelative, kInstallRecordName))
            return true; // replaced by the new record
        SExisting existing;
        existing.strPath = strRelative;
        existing.nSize = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        existing.bReadOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        const auto itRecorded = recorded.find(strRelative);
        existing.bListed = itRecorded != recorded.end();
        const bool bInPackage = m_aFiles.count(strRelative) != 0;
        const bool bUnchanged =
            existing.bListed && FileMatchesRecord(JoinPath(m_strClient, strRelative), itRecorded->second,
                                                  [this] { return StopRequested(); });
        switch (DecideFileFate(bInPackage, true, existing.bListed, bUnchanged)) {
        case FileFate::Keep: {
            bool bClash = m_aFolders.count(strRelative) != 0;
            for (std::wstring strParent = ParentOf(strRelative); !bClash && !strParent.empty();
                 strParent = ParentOf(strParent))
                bClash = m_aFiles.count(strParent) != 0;
            if (bClash) {
                m_problem.strFile = strRelative;
                eOutcome = UnpackOutcome::CannotKeep;
                return false;
            }
            m_aKept.push_back(existing);
            break;
        }
        case FileFate::Install:
        case FileFate::Remove:
            m_aReplaced.push_back(existing);
            break;
        case FileFate::None:
            break;
        }
        return true;
    });
    if (eOutcome == UnpackOutcome::Installed && StopRequested())
        eOutcome = UnpackOutcome::Stopped;
    if (eOutcome == UnpackOutcome::Installed && !bWalked)
        eOutcome = UnpackOutcome::FolderUnusable;
    // An empty folder is the player's to keep (the package brings no empty folders of its own that it would
    // not bring again); a folder with contents comes along with whatever of them is kept.
    for (const std::wstring& strFolder : aOldFolders) {
        if (aNonEmpty.count(strFolder) == 0 && m_aFolders.count(strFolder) == 0 && m_aFiles.count(strFolder) == 0)
            m_aKeptFolders.push_back(strFolder);
    }
    return eOutcome;
}

UnpackOutcome CStagedInstall::CheckSpace()
{
    const std::wstring& strFolder = m_strFullFolder;
    wchar_t szRoot[MAX_PATH + 8] = {};
    std::uint64_t nCluster = 4096;
    bool bHardLinks = false;
    if (::GetVolumePathNameW(strFolder.c_str(), szRoot, MAX_PATH + 8)) {
        DWORD nSectorsPerCluster = 0, nBytesPerSector = 0, nFreeClusters = 0, nClusters = 0;
        if (::GetDiskFreeSpaceW(szRoot, &nSectorsPerCluster, &nBytesPerSector, &nFreeClusters, &nClusters) &&
            nSectorsPerCluster * nBytesPerSector > 0)
            nCluster = static_cast<std::uint64_t>(nSectorsPerCluster) * nBytesPerSector;
        DWORD dwFlags = 0;
        if (::GetVolumeInformationW(szRoot, nullptr, 0, nullptr, nullptr, &dwFlags, nullptr, 0))
            bHardLinks = (dwFlags & FILE_SUPPORTS_HARD_LINKS) != 0;
    }
    // The old client folder stays until the switch, so the new one needs its whole size; kept files are
    // linked where the volume allows it and copied where it does not.
    std::uint64_t nNeeded = 0;
    std::uint64_t nRecordBytes = 64;
    for (const SItem& item : m_aItems) {
        nNeeded += RoundUp(item.nSize, nCluster);
        nRecordBytes += 90 + 3 * item.strPath.size();
    }
    nNeeded += RoundUp(nRecordBytes, nCluster);
    for (const SExisting& kept : m_aKept) {
        if (!bHardLinks || kept.bReadOnly)
            nNeeded += RoundUp(kept.nSize, nCluster);
    }
    ULARGE_INTEGER freeToCaller = {};
    if (!::GetDiskFreeSpaceExW(strFolder.c_str(), &freeToCaller, nullptr, nullptr))
        return UnpackOutcome::Installed; // the system cannot tell: the writes will find out
    if (nNeeded <= freeToCaller.QuadPart)
        return UnpackOutcome::Installed;
    m_problem.nNeeded = nNeeded;
    m_problem.nFree = freeToCaller.QuadPart;
    return UnpackOutcome::NotEnoughSpace;
}

UnpackOutcome CStagedInstall::CheckFilesInUse()
{
    for (const SExisting& existing : m_aReplaced) {
        // Only a file the record says is ours may lose its read-only mark; anyone else's is not replaced. The
        // mark comes back at once: nothing changes before every check has passed (the removal of the old
        // folder clears it again).
        const DWORD dwError = CheckFileFree(JoinPath(m_strClient, existing.strPath), existing.bListed);
        if (dwError != 0) {
            m_problem.strFile = existing.strPath;
            m_problem.dwError = dwError;
            return UnpackOutcome::FileLocked;
        }
    }
    return UnpackOutcome::Installed;
}

UnpackOutcome CStagedInstall::Stage()
{
    if (!::CreateDirectoryW(m_strStaging.c_str(), nullptr))
        return Failed(UnpackOutcome::WriteFailed, m_strStaging);
    m_bStagingMade = true;
    ::SetFileAttributesW(m_strStaging.c_str(), FILE_ATTRIBUTE_HIDDEN);
    // Parents sort before their contents.
    for (const std::wstring& strFolder : m_aFolders) {
        const std::wstring strPath = JoinPath(m_strStaging, strFolder);
        if (!::CreateDirectoryW(strPath.c_str(), nullptr) && !IsFolder(strPath))
            return Failed(UnpackOutcome::WriteFailed, strFolder);
    }
    int nLastPosted = 900;
    for (const SItem& item : m_aItems) {
        if (StopRequested())
            return UnpackOutcome::Stopped;
        SInstalledFile installed;
        const UnpackOutcome eOutcome = WriteItem(item, installed.digest);
        if (eOutcome != UnpackOutcome::Installed)
            return eOutcome;
        installed.strPath = item.strPath;
        installed.nSize = item.nSize;
        m_aRecord.push_back(std::move(installed));
        const int nValue = 900 + static_cast<int>((item.iIndex + 1) * 100.0 / m_nItemCount);
        // Completion is the caller's to report; equal values are not posted twice.
        if (nValue < 1000 && nValue != nLastPosted && m_fnProgress) {
            m_fnProgress(nValue);
            nLastPosted = nValue;
        }
    }
    if (!IsFile(JoinPath(m_strStaging, SkinUI::GbkToWide(g_strClientExe) + L".exe")))
        return UnpackOutcome::ClientMissing;
    const UnpackOutcome eCarried = CarryKeptFiles();
    return eCarried != UnpackOutcome::Installed ? eCarried : WriteRecord();
}

UnpackOutcome CStagedInstall::WriteItem(const SItem& item, Veltara::Sha256Digest& digest)
{
    CScopedHandle file(::CreateFileW(JoinPath(m_strStaging, item.strPath).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return Failed(::GetLastError() == ERROR_FILE_EXISTS ? UnpackOutcome::ItemFailed : UnpackOutcome::WriteFailed,
                      item.strPath);
    // The reader's memory protocol: each call fills the whole block it is given while data is left, and
    // the call after the last byte checks the item's CRC.
    m_buffer.resize(kPiece);
    Veltara::CSha256 hash;
    std::uint64_t nLeft = item.nSize;
    for (;;) {
        if (StopRequested()) {
            m_problem.strFile = item.strPath; // stopped part-way through this item
            return UnpackOutcome::Stopped;
        }
        const DWORD nWant = static_cast<DWORD>(std::min<std::uint64_t>(nLeft > 0 ? nLeft : kPiece, kPiece));
        const ZipResult r = ZipUnzipItem(m_hZip, item.iIndex, m_buffer.data(), nWant, ZipKindMemory);
        if (r == ZipOk && nLeft == 0)
            break;
        if (r != ZipMoreData || nLeft == 0) {
            m_problem.strFile = item.strPath;
            return UnpackOutcome::ItemFailed;
        }
        hash.Update(m_buffer.data(), nWant);
        if (!WriteAll(file.Get(), m_buffer.data(), nWant))
            return Failed(UnpackOutcome::WriteFailed, item.strPath);
        nLeft -= nWant;
    }
    ::SetFileTime(file.Get(), &item.ftCreation, &item.ftAccess, &item.ftModify);
    digest = hash.Finish();
    return UnpackOutcome::Installed;
}

UnpackOutcome CStagedInstall::CarryKeptFiles()
{
    for (const std::wstring& strFolder : m_aKeptFolders) {
        if (!MakeFolderChain(m_strStaging, strFolder))
            return Failed(UnpackOutcome::WriteFailed, strFolder);
    }
    for (const SExisting& kept : m_aKept) {
        if (StopRequested())
            return UnpackOutcome::Stopped;
        const std::wstring strFrom = JoinPath(m_strClient, kept.strPath);
        const std::wstring strTo = JoinPath(m_strStaging, kept.strPath);
        if (!MakeFolderChain(m_strStaging, ParentOf(kept.strPath)))
            return Failed(UnpackOutcome::WriteFailed, kept.strPath);
        // The player's changed version takes the place of the package's.
        if (IsFile(strTo) && !::DeleteFileW(strTo.c_str()))
            return Failed(UnpackOutcome::WriteFailed, kept.strPath);
        // A read-only file is copied: a link would share its read-only mark with the old folder's entry,
        // which has to go when the old folder is removed.
        bool bCarried = !kept.bReadOnly && ::CreateHardLinkW(strTo.c_str(), strFrom.c_str(), nullptr);
        if (!bCarried)
            bCarried = ::CopyFileW(strFrom.c_str(), strTo.c_str(), TRUE) != FALSE;
        if (!bCarried) {
            const DWORD dwError = ::GetLastError();
            if (dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_LOCK_VIOLATION)
                return Failed(UnpackOutcome::FileLocked, kept.strPath);
            return Failed(dwError == ERROR_DISK_FULL ? UnpackOutcome::WriteFailed : UnpackOutcome::CannotKeep,
                          kept.strPath);
        }
    }
    return UnpackOutcome::Installed;
}

UnpackOutcome CStagedInstall::WriteRecord()
{
    const std::string strText = FormatInstallRecord(m_aRecord);
    CScopedHandle file(::CreateFileW(JoinPath(m_strStaging, kInstallRecordName).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen() || !WriteAll(file.Get(), strText.data(), strText.size()) || !::FlushFileBuffers(file.Get()))
        return Failed(UnpackOutcome::WriteFailed, kInstallRecordName);
    return UnpackOutcome::Installed;
}

UnpackOutcome CStagedInstall::Switch()
{
    const DWORD dwShown = PathAttributes(m_strStaging) & ~(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    ::SetFileAttributesW(m_strStaging.c_str(), dwShown != 0 ? dwShown : FILE_ATTRIBUTE_NORMAL);
    const bool bHadClient = IsFolder(m_strClient);
    // On Windows a folder cannot be renamed while a program has a file in it open.
    if (bHadClient && !::MoveFileExW(m_strClient.c_str(), m_strBackup.c_str(), 0))
        return Failed(UnpackOutcome::SwitchFailed, m_strClient);
    if (!::MoveFileExW(m_strStaging.c_str(), m_strClient.c_str(), 0)) {
        const UnpackOutcome eOutcome = Failed(UnpackOutcome::SwitchFailed, m_strStaging);
        if (bHadClient)
            ::MoveFileExW(m_strBackup.c_str(), m_strClient.c_str(), 0);
        return eOutcome;
    }
    m_bStagingMade = false;
    if (m_fnProgress)
        m_fnProgress(1000);
    // The installation is complete; what cannot be removed now (a file still open) is removed by the next run.
    if (bHadClient)
        RemoveTree(m_strBackup);
    return UnpackOutcome::Installed;
}
