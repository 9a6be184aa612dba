#include "app/DesktopShortcut.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/Config.h"

#include <objbase.h>
#include <shlobj.h>

using SkinUI::CUIString;
using SkinUI::GbkToWide;

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

std::wstring GetDesktopFolder()
{
    std::wstring strFolder;
    CComRef<IMalloc> pMalloc;
    if (FAILED(::SHGetMalloc(pMalloc.Out())) || !pMalloc)
        return strFolder;
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &pidl)) && pidl != nullptr) {
        wchar_t szPath[MAX_PATH] = {};
        if (::SHGetPathFromIDListW(pidl, szPath))
            strFolder = szPath;
        pMalloc->Free(pidl);
    }
    return strFolder;
}

bool CreateDesktopShortcut(const char* pstrTarget, const wchar_t* pwstrLinkPath)
{
    if (pstrTarget == nullptr || pwstrLinkPath == nullptr || *pwstrLinkPath == L'\0')
        return false;
    CComRef<IShellLinkW> pLink;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, pLink.OutVoid())) ||
        !pLink)
        return false;
    pLink->SetPath(GbkToWide(pstrTarget).c_str());
    const CUIString strTarget(pstrTarget);
    const int iSlash = strTarget.FindLastChar('\\');
    pLink->SetWorkingDirectory(GbkToWide(iSlash >= 0 ? strTarget.Leftmost(iSlash).Chars() : "").c_str());

    CComRef<IPersistFile> pFile;
    if (FAILED(pLink->QueryInterface(IID_IPersistFile, pFile.OutVoid())) || !pFile)
        return false;
    return SUCCEEDED(pFile->Save(pwstrLinkPath, TRUE));
}

bool PlaceDesktopShortcut(const std::wstring& strDesktopFolder, const char* pstrTarget)
{
    if (strDesktopFolder.empty())
        return false;
    // The link's name below the folder as the configuration composes it ("\\Veltara.lnk").
    return CreateDesktopShortcut(pstrTarget, (strDesktopFolder + GbkToWide(ComposeShortcutPath(""))).c_str());
}
