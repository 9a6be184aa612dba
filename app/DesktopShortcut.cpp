#include "app/DesktopShortcut.h"

#include "SkinUI/Utils/UITextConvert.h"
#include "app/ComRef.h"
#include "app/Config.h"

#include <objbase.h>
#include <shlobj.h>

using SkinUI::CUIString;
using SkinUI::GbkToWide;

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

std::wstring ReadShortcutTarget(const std::wstring& strLinkPath)
{
    CComRef<IShellLinkW> pLink;
    CComRef<IPersistFile> pFile;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, pLink.OutVoid())) ||
        FAILED(pLink->QueryInterface(IID_IPersistFile, pFile.OutVoid())) ||
        FAILED(pFile->Load(strLinkPath.c_str(), STGM_READ)))
        return std::wstring();
    // The item list holds the target in UTF-16; the link's path text may only hold the system's code page.
    wchar_t szTarget[MAX_PATH] = {};
    LPITEMIDLIST pidl = nullptr;
    const bool bFromList =
        SUCCEEDED(pLink->GetIDList(&pidl)) && pidl != nullptr && ::SHGetPathFromIDListW(pidl, szTarget);
    ::CoTaskMemFree(pidl);
    if (!bFromList && FAILED(pLink->GetPath(szTarget, MAX_PATH, nullptr, SLGP_RAWPATH)))
        szTarget[0] = L'\0';
    return szTarget;
}

bool RemoveShortcutTo(const std::wstring& strLinkPath, const std::wstring& strTarget)
{
    if (strLinkPath.empty() || ::GetFileAttributesW(strLinkPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    const std::wstring strPointsAt = ReadShortcutTarget(strLinkPath);
    if (strPointsAt.empty() ||
        ::CompareStringOrdinal(strPointsAt.c_str(), -1, strTarget.c_str(), -1, TRUE) != CSTR_EQUAL)
        return true; // not ours (any more)
    return ::DeleteFileW(strLinkPath.c_str()) != FALSE;
}
