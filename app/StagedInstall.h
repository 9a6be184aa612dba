// CStagedInstall: installs the client package as one transaction. The package is unpacked into a hidden
// staging folder beside the client folder, checked there, completed with the player's files kept from the
// installation it replaces and with a new install record, and only then switched in by renaming folders.
// Whatever fails, or a stop, removes the staging folder and leaves the install folder as it was. Every
// check that can refuse the package (names, paths, free space, files in use) runs before the first write.
// Runs on the caller's thread; it never changes the process's current folder.
#pragma once

#include "app/InstallRecord.h"
#include "zip/ZipReader.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

// How an installation ended.
enum class UnpackOutcome
{
    NotStarted,
    Running,
    Installed,      // the new client folder is in place
    FolderUnusable, // the install folder does not exist or the client folder's place is taken by a file
    NotAnArchive,   // the package could not be opened, or holds no items
    ItemFailed,     // an item is damaged or its name cannot be placed safely inside the client folder
    ClientMissing,  // the package holds no client executable
    PathTooLong,    // an installed file's full path would not fit MAX_PATH; nothing was written
    NotEnoughSpace, // the drive has less room than the installation needs; nothing was written
    FileLocked,     // a file that must be replaced or carried over is in use (or read-only and not ours)
    CannotKeep,     // a file of the player's cannot be carried into the new client folder
    WriteFailed,    // writing into the staging folder failed
    SwitchFailed,   // the client folder could not be replaced (a program holds a file in it)
    Stopped,        // the owner asked it to stop; everything written was removed
};

// What a failure concerns, for the message shown to the player.
struct SInstallProblem
{
    std::wstring strFile;        // path relative to the client folder when one file is the cause (for a
                                 // name that cannot be placed, the item's name as the package has it)
    std::uint64_t nNeeded = 0;   // NotEnoughSpace: bytes the installation needs
    std::uint64_t nFree = 0;     // NotEnoughSpace: bytes free for the caller on the drive
    std::size_t nFullLength = 0; // PathTooLong: length of the longest full path
    DWORD dwError = 0;           // the Windows error code of the call that failed, when one did
};

// What the owner tells a running installation: stop, or wait while the player is asked a question.
struct SInstallControl
{
    std::atomic<bool> bStop{false};
    std::atomic<bool> bPause{false};
    // True when the installation should stop; waits as long as it is paused and not stopped.
    bool ShouldStop() const;
};

class CStagedInstall
{
public:
    // The full path of every installed file must stay below this many characters (with its terminator):
    // the client, the shell and most programs open files with the classic limit.
    static constexpr std::size_t kMaxFullPath = MAX_PATH;

    // nValue 901 to 999 as items are unpacked, then 1000 once the new client folder is in place (the old
    // one is removed after that, before Run returns).
    using ProgressFn = std::function<void(int nValue)>;
    // Told the end of each step of the installation ("paths fit", "staged and checked", ...), for the log.
    using StepFn = std::function<void(const wchar_t* pwstrStepDone)>;

    // hPackage: the package file, open for reading (the installation reads it through a duplicate of the
    // handle, from its first byte); it must stay open until Run returns. strInstallFolder is the folder the
    // client folder goes into.
    CStagedInstall(HANDLE hPackage, const std::wstring& strInstallFolder, const SInstallControl& control,
                   ProgressFn fnProgress);
    ~CStagedInstall();
    CStagedInstall(const CStagedInstall&) = delete;
    CStagedInstall& operator=(const CStagedInstall&) = delete;

    void SetStepReport(StepFn fnStep) { m_fnStep = std::move(fnStep); }
    UnpackOutcome Run();
    const SInstallProblem& Problem() const { return m_problem; }

private:
    struct SItem
    {
        int iIndex = 0;
        std::wstring strPath; // relative to the client folder
        std::uint64_t nSize = 0;
        FILETIME ftCreation = {}, ftAccess = {}, ftModify = {};
    };
    struct SExisting
    {
        std::wstring strPath;
        std::uint64_t nSize = 0;
        bool bReadOnly = false;
        bool bListed = false;
    };

    bool PrepareFolders();
    void RecoverEarlierRun();
    UnpackOutcome ListItems();
    UnpackOutcome CheckPaths();
    UnpackOutcome PlanExisting();
    UnpackOutcome CheckSpace();
    UnpackOutcome CheckFilesInUse();
    UnpackOutcome Stage();
    UnpackOutcome WriteItem(const SItem& item, Veltara::Sha256Digest& digest);
    UnpackOutcome CarryKeptFiles();
    UnpackOutcome WriteRecord();
    UnpackOutcome Switch();
    bool StopRequested() const { return m_control.ShouldStop(); }
    // Records the file and the last Windows error as the problem; returns eOutcome.
    UnpackOutcome Failed(UnpackOutcome eOutcome, const std::wstring& strFile);

    const HANDLE m_hPackage;
    const SInstallControl& m_control;
    ProgressFn m_fnProgress;
    StepFn m_fnStep;
    SInstallProblem m_problem;
    ZipHandle m_hZip = nullptr;
    int m_nItemCount = 0; // items in the archive, folders included

    std::wstring m_strInstallFolder;     // as given
    std::wstring m_strFullFolder;        // its full ordinary path (for the volume's questions)
    std::wstring m_strClientName;        // name of the client folder
    std::wstring m_strFolder;            // extended-length form of the install folder
    std::wstring m_strClient;            // ... of the client folder
    std::wstring m_strStaging;           // ... of this run's staging folder
    std::wstring m_strBackup;            // ... of the name the old client folder takes during the switch
    std::size_t m_nClientPathLength = 0; // length of the client folder's ordinary full path

    std::vector<SItem> m_aItems;                 // files of the package, in archive order
    std::set<std::wstring, PathLess> m_aFolders; // folders of the package (named or implied)
    std::set<std::wstring, PathLess> m_aFiles;   // files of the package
    std::vector<SExisting> m_aReplaced;          // existing files that go (replaced or removed)
    std::vector<SExisting> m_aKept;              // existing files carried over
    std::vector<std::wstring> m_aKeptFolders;    // existing folders carried over (maybe empty)
    std::vector<SInstalledFile> m_aRecord;       // the new record
    bool m_bStagingMade = false;
    std::vector<char> m_buffer; // pieces of items and of files being hashed
};
