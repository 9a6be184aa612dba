#include "app/DesktopShortcut.h"

#include "app/Config.h"

#include <objbase.h>
#include <shlobj.h>

#include <vector>

using SkinUI::CUIString;

namespace {

// Releases a COM interface at the end of a scope.
template <class T>
class CComRef
{
public:
    CComRef() = default;
    ~CComRef()
    {
        if (m_p != nullptr)
            m_p->Release();
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    T** Out() { return &m_p; }
    void** OutVoid() { return reinterpret_cast<void**>(&m_p); }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

} // namespace

CUIString GetDesktopFolder()
{
    CUIString strFolder;
    CComRef<IMalloc> pMalloc;
    if (FAILED(::SHGetMalloc(pMalloc.Out())) || !pMalloc)
        return strFolder;
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &pidl)) && pidl != nullptr) {
        char szPath[MAX_PATH] = {};
        if (::SHGetPathFromIDListA(pidl, szPath))
            strFolder = szPath;
        pMalloc->Free(pidl);
    }
    return strFolder;
}

bool CreateDesktopShortcut(const char* pstrTarget, const char* pstrLinkPath)
{
    if (pstrTarget == nullptr || pstrLinkPath == nullptr || *pstrLinkPath == '\0')
        return false;
    CComRef<IShellLinkA> pLink;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, pLink.OutVoid())) ||
        !pLink)
        return false;
    pLink->SetPath(pstrTarget);
    const CUIString strTarget(pstrTarget);
    const int iSlash = strTarget.FindLastChar('\\');
    pLink->SetWorkingDirectory(iSlash >= 0 ? strTarget.Leftmost(iSlash).Chars() : "");

    CComRef<IPersistFile> pFile;
    if (FAILED(pLink->QueryInterface(IID_IPersistFile, pFile.OutVoid())) || !pFile)
        return false;
    const int nWide = ::MultiByteToWideChar(CP_ACP, 0, pstrLinkPath, -1, nullptr, 0);
    if (nWide <= 0)
        return false;
    std::vector<wchar_t> wide(nWide);
    ::MultiByteToWideChar(CP_ACP, 0, pstrLinkPath, -1, wide.data(), nWide);
    return SUCCEEDED(pFile->Save(wide.data(), TRUE));
}

bool PlaceDesktopShortcut(const char* pstrDesktopFolder, const char* pstrTarget)
{
    if (pstrDesktopFolder == nullptr || *pstrDesktopFolder == '\0')
        return false;
    return CreateDesktopShortcut(pstrTarget, ComposeShortcutPath(pstrDesktopFolder));
}
