#include "SkinUI/Utils/SystemLibrary.h"

#include <cstring>

namespace SkinUI {

void HardenDllSearch()
{
    ::SetDllDirectoryA("");
    // Absent on systems without the search flags, where SetDllDirectoryA must do.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE hKernel = ::GetModuleHandleA("kernel32.dll");
    auto pfn = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "SetDefaultDllDirectories")));
    if (pfn != nullptr)
        pfn(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

bool CUISystemLibrary::SystemPath(const char* pstrName, char* pszPath, unsigned int cchPath)
{
    const UINT n = ::GetSystemDirectoryA(pszPath, cchPath);
    if (n == 0 || n >= cchPath)
        return false;
    const size_t nName = std::strlen(pstrName);
    if (n + 1 + nName + 1 > cchPath)
        return false;
    pszPath[n] = '\\';
    std::memcpy(pszPath + n + 1, pstrName, nName + 1);
    return true;
}

namespace {
// The LOAD_LIBRARY_SEARCH_* flags exist where kernel32 has SetDefaultDllDirectories (Windows 8, or 7 with
// its update); older systems know only the altered search path.
bool HasSearchFlags()
{
    static const bool s_bHas =
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
    return s_bHas;
}
} // namespace

HMODULE CUISystemLibrary::Load(const char* pstrName)
{
    char szPath[MAX_PATH];
    if (!SystemPath(pstrName, szPath, sizeof(szPath)))
        return nullptr;
    // The DLL's own dependencies are looked for in the system folder too, never beside the program.
    const DWORD dwFlags = HasSearchFlags() ? 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */
                                           : LOAD_WITH_ALTERED_SEARCH_PATH;
    return ::LoadLibraryExA(szPath, nullptr, dwFlags);
}

HMODULE CUISystemLibrary::LoadSideBySide(const char* pstrName)
{
    // Only a name that the active activation context redirects is loaded by its bare name (the loader then
    // takes it from the assembly); the search flag keeps even that load out of the program's folder.
    ACTCTX_SECTION_KEYED_DATA data = {};
    data.cbSize = sizeof(data);
    if (!::FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, pstrName, &data))
        return Load(pstrName);
    return ::LoadLibraryExA(pstrName, nullptr, HasSearchFlags() ? 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */ : 0);
}

CUISystemLibrary::CUISystemLibrary(const char* pstrName, LoadFrom eFrom)
    : m_hModule(eFrom == LoadFrom::SideBySide ? LoadSideBySide(pstrName) : Load(pstrName))
{
}

CUISystemLibrary::~CUISystemLibrary()
{
    if (m_hModule != nullptr)
        ::FreeLibrary(m_hModule);
}

FARPROC CUISystemLibrary::Proc(const char* pstrName) const
{
    return m_hModule != nullptr ? ::GetProcAddress(m_hModule, pstrName) : nullptr;
}

} // namespace SkinUI
