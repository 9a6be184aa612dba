// CUninstall: removes an installation from its client folder as its install record describes it. A file
// the record lists and that is unchanged goes, and so do the installer's own files (record, log copy,
// uninstaller); a file the player changed, or one the installer never put there (saves, settings, logs),
// stays. Folders left empty go, the client folder too. Nothing is removed until every file that must go has
// been found free: a running client gives the file it holds and leaves everything as it was. Links inside the
// client folder are never followed, and record lines naming anything outside it name nothing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class UninstallOutcome
{
    Removed,        // (Plan, Check: so far so good) everything that had to go is gone
    FolderUnusable, // the client folder does not exist or cannot be listed
    NoRecord,       // the client folder holds no install record of a version this program knows
    FileInUse,      // a file that must go cannot be removed now; nothing was changed
    RemoveFailed,   // a file could not be removed after all; the others are gone
};

struct SUninstallProblem
{
    std::wstring strFile; // relative to the client folder
    DWORD dwError = 0;
};

class CUninstall
{
public:
    // strClientFolder: the client folder (absolute).
    explicit CUninstall(const std::wstring& strClientFolder);

    // Reads the record and sorts every file of the client folder into those that go and those that stay.
    UninstallOutcome Plan();
    // Whether every file that goes can be removed now; changes nothing.
    UninstallOutcome CheckFilesFree();
    // Removes the files that go, then every folder left empty, the client folder last.
    UninstallOutcome Remove();

    // Paths relative to the client folder.
    const std::vector<std::wstring>& FilesToRemove() const { return m_aRemove; }
    const std::vector<std::wstring>& FilesKept() const { return m_aKept; }
    // After Remove: the client folder is still there (it holds what was kept).
    bool ClientFolderRemains() const;
    const SUninstallProblem& Problem() const { return m_problem; }

private:
    std::wstring m_strClient; // extended-length form
    std::vector<std::wstring> m_aRemove;
    std::vector<std::wstring> m_aKept;
    std::vector<std::wstring> m_aFolders; // parents before their contents
    SUninstallProblem m_problem;
};
