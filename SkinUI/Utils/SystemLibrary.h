// Loading system DLLs safely. The installer runs elevated and is usually started from a downloads folder,
// where a planted DLL of a well-known name would be picked up by a search by bare name. DLLs that are not
// on the system's known-DLLs list are therefore never imported directly: they are loaded here, by full
// path from the system folder, and their functions are looked up by name.
#pragma once

#include <windows.h>

namespace SkinUI {

// Removes the current and application folders from the DLL search of this process. Call first thing.
void HardenDllSearch();

class CUISystemLibrary
{
public:
    enum class LoadFrom
    {
        // The system folder, by full path.
        SystemFolder,
        // The side-by-side assembly the program's manifest names for it (comctl32 version 6), else the system
        // folder: the name is redirected by the activation context, never searched for beside the program.
        SideBySide,
    };

    // Loads pstrName (a bare file name such as "wininet.dll").
    explicit CUISystemLibrary(const char* pstrName, LoadFrom eFrom = LoadFrom::SystemFolder);
    ~CUISystemLibrary();
    CUISystemLibrary(const CUISystemLibrary&) = delete;
    CUISystemLibrary& operator=(const CUISystemLibrary&) = delete;

    bool IsLoaded() const { return m_hModule != nullptr; }
    HMODULE Handle() const { return m_hModule; }
    FARPROC Proc(const char* pstrName) const;
    template <class F>
    F Proc(const char* pstrName) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(Proc(pstrName)));
    }

    // The full path of a file in the system folder; false when it does not fit.
    static bool SystemPath(const char* pstrName, wchar_t* pwszPath, unsigned int cchPath);
    // Loads a system DLL by full path; the caller frees the handle.
    static HMODULE Load(const char* pstrName);
    // Loads a DLL as LoadFrom::SideBySide describes; the caller frees the handle.
    static HMODULE LoadSideBySide(const char* pstrName);

private:
    HMODULE m_hModule;
};

} // namespace SkinUI
