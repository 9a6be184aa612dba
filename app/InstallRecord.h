// The install record: the list of files an installation put into the client folder, each with its size and
// SHA-256, kept as a small UTF-8 text file in that folder. A reinstall reads it to tell the player's changes
// from the files it installed itself, and decides file by file what the new client folder gets.
#pragma once

#include "app/Sha256.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Name of the record inside the client folder.
extern const wchar_t kInstallRecordName[];
// The installer's other own files in the client folder: the copy of the last successful run's log, and the
// uninstaller (the setup program itself, started with a switch).
extern const wchar_t kInstallLogCopyName[];
extern const wchar_t kUninstallerName[];
// True for the path (relative to the client folder) of one of the installer's own files; a package may not
// bring a file of such a name.
bool IsInstallerOwnFile(const std::wstring& strRelative);

// One installed file: its path relative to the client folder ('\' separators), its size and its hash.
struct SInstalledFile
{
    std::wstring strPath;
    std::uint64_t nSize = 0;
    Veltara::Sha256Digest digest{};
};

// Orders relative paths the way the file system tells names apart: ignoring letter case.
struct PathLess
{
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// The record as text: a header line naming its format and version, then one line a file,
// "<sha-256 hex> <size> <path with '/'>", lines ended by CR LF.
std::string FormatInstallRecord(const std::vector<SInstalledFile>& aFiles);

// Reads a record. False (and no files) when the text is not a record of a format version this program
// knows; a damaged line is skipped, so the files it named count as not installed by us.
bool ParseInstallRecord(const std::string& strText, std::vector<SInstalledFile>& aFiles);

// Reads the record in a client folder; false when there is none, it cannot be read or it is not a record of a
// format version this program knows.
bool ReadInstallRecordFile(const std::wstring& strClientFolder, std::vector<SInstalledFile>& aFiles);

// True when the file at strPath still has the recorded size and content. fnStop (may be empty) is asked
// between pieces; a stop, or a file that cannot be read, counts as changed (it is then kept, never removed).
bool FileMatchesRecord(const std::wstring& strPath, const SInstalledFile& recorded,
                       const std::function<bool()>& fnStop);

// The record's files by path, for lookups.
std::map<std::wstring, SInstalledFile, PathLess> IndexInstallRecord(const std::vector<SInstalledFile>& aFiles);

// What a reinstall does with one path of the client folder.
enum class FileFate
{
    None,    // nothing there now, and nothing comes
    Install, // the package's file goes there (new, or replacing the file there now)
    Keep,    // the file there now is carried over as it is
    Remove,  // the file there now was installed by us, is unchanged and the package no longer has it
};

// The keep/replace rule for unversioned files. bInPackage: the new package has a file there. bExists: a
// file is there now. bListed: the record of the previous installation lists it. bUnchanged: its content
// still matches the record (only looked at when listed). A file the player changed is kept; a file we did
// not install is kept unless the package brings one of that name; every other package file is replaced.
FileFate DecideFileFate(bool bInPackage, bool bExists, bool bListed, bool bUnchanged);
