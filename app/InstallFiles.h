// File-system helpers of the installation, all on wide paths: full and extended-length ("\\?\") forms,
// folder trees (made, walked and removed without ever following a link out of them) and the package item
// names turned into paths inside the client folder.
#pragma once

#include "zip/ZipReader.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Closes a kernel handle (a file, a process, a token) at the end of a scope; null and INVALID_HANDLE_VALUE
// both mean none.
class CScopedHandle
{
public:
    explicit CScopedHandle(HANDLE h = nullptr) : m_h(h) {}
    ~CScopedHandle() { Reset(nullptr); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE Get() const { return m_h; }
    // For functions that return a handle through a pointer; closes the one held first.
    HANDLE* Out()
    {
        Reset(nullptr);
        return &m_h;
    }
    void Reset(HANDLE h)
    {
        if (IsOpen())
            ::CloseHandle(m_h);
        m_h = h;
    }

private:
    HANDLE m_h;
};

// a + '\' + b, without doubling a separator that a already ends with.
std::wstring JoinPath(const std::wstring& a, const std::wstring& b);

// The absolute, normalised form of a folder ('/' turned into '\', "." and ".." resolved, no trailing
// separator except on a drive root). False when the system cannot make one.
bool FullFolderPath(const std::wstring& strFolder, std::wstring& strFull);

// The extended-length form of an absolute path ("\\?\C:\..." or "\\?\UNC\server\share\..."), which the
// system takes as it is and without the MAX_PATH limit.
std::wstring ExtendedPath(const std::wstring& strFull);

// Attributes of a path, INVALID_FILE_ATTRIBUTES when it does not exist.
DWORD PathAttributes(const std::wstring& strPath);
bool IsFolder(const std::wstring& strPath);
bool IsFile(const std::wstring& strPath);

// Whether a file could be replaced or deleted now: it is opened for writing and deletion with every kind
// of sharing, which a program that has it open (a running client, its DLLs) refuses. A read-only file loses
// its mark for the test and gets it back at once when bMayClearReadOnly, else it counts as not free. 0 when
// free, else the Windows error code.
DWORD CheckFileFree(const std::wstring& strPath, bool bMayClearReadOnly);

// Makes every folder of strRelative below strRoot, parent first; an existing folder is no error.
bool MakeFolderChain(const std::wstring& strRoot, const std::wstring& strRelative);

// Visits every file and folder below strRoot, parents before their contents, with its path relative to
// strRoot and its find record. A link (reparse point) is visited but never entered. The visitor returns
// false to stop the walk. False when a folder cannot be listed or the visitor stopped it.
bool WalkTree(const std::wstring& strRoot,
              const std::function<bool(const std::wstring& strRelative, const WIN32_FIND_DATAW& data)>& fnVisit);

// Deletes a folder with everything in it (read-only files too); a link inside is removed, never entered.
// A file path deletes that file. True when nothing is left; what could not be deleted stays.
bool RemoveTree(const std::wstring& strPath);

// The exact name of a package item as UTF-16, with '/' turned into '\\'; empty when it cannot be read.
std::wstring ItemWideName(ZipHandle hZip, int iIndex);

// The path an item takes inside the client folder: its name without the leading client folder name.
// False when the item lies outside the client folder, or any part of its path could leave it or name
// something other than a plain file or folder (a drive, a root, "..", a stream, a device name, a character
// the file system refuses, a trailing dot or blank). The client folder's own entry gives an empty path.
bool ClientRelativePath(const std::wstring& strItemName, const std::wstring& strClientFolder,
                        std::wstring& strRelative);

// The exact uncompressed size of an item (the item record's own field stops at 2 GiB); false when unreadable.
bool ItemSize(ZipHandle hZip, int iIndex, std::uint64_t& nSize);
