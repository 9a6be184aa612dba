#include "SkinUI/Utils/SystemLibrary.h"

#include "SkinUI/Utils/UITextConvert.h"

#include <cwchar>

namespace SkinUI {

void HardenDllSearch()
{
    ::SetDllDirectoryW(L"");
    // Absent on systems without the search flags, where SetDllDirectoryW must do.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    auto pfn = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "SetDefaultDllDirectories")));
    if (pfn != nullptr)
        pfn(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

bool CUISystemLibrary::SystemPath(const char* pstrName, wchar_t* pwszPath, unsigned int cchPath)
{
    const UINT n = ::GetSystemDirectoryW(pwszPath, cchPath);
    if (n == 0 || n >= cchPath)
        return false;
    const std::wstring strName = GbkToWide(pstrName);
    if (n + 1 + strName.size() + 1 > cchPath)
        return false;
    pwszPath[n] = L'\\';
    std::wmemcpy(pwszPath + n + 1, strName.c_str(), strName.size() + 1);
    return true;
}

namespace {
// The LOAD_LIBRARY_SEARCH_* flags exist where kernel32 has SetDefaultDllDirectories (Windows 8, or 7 with
// its update); older systems know only the altered search path.
bool HasSearchFlags()
{
    static const bool s_bHas =
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
    return s_bHas;
}
} // namespace

HMODULE CUISystemLibrary::Load(const char* pstrName)
{
    wchar_t szPath[MAX_PATH];
    if (!SystemPath(pstrName, szPath, MAX_PATH))
        return nullptr;
    // The DLL's own dependencies are looked for in the system folder too, never beside the program.
    const DWORD dwFlags = HasSearchFlags() ? 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */
                                           : LOAD_WITH_ALTERED_SEARCH_PATH;
    return ::LoadLibraryExW(szPath, nullptr, dwFlags);
}

HMODULE CUISystemLibrary::LoadSideBySide(const char* pstrName)
{
    // Only a name that the active activation context redirects is loaded by its bare name (the loader then
    // takes it from the assembly); the search flag keeps even that load out of the program's folder.
    ACTCTX_SECTION_KEYED_DATA data = {};
    data.cbSize = sizeof(data);
    const std::wstring strName = GbkToWide(pstrName);
    if (!::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, strName.c_str(), &data))
        return Load(pstrName);
    return ::LoadLibraryExW(strName.c_str(), nullptr,
                            HasSearchFlags() ? 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */ : 0);
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
