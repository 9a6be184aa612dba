// CPaintManagerUI: shared resources and the process-wide resource location.
#include "SkinUI/Core/UIManager.h"

namespace SkinUI {

namespace {
HINSTANCE g_hInstance = nullptr;

CUIString& ResourceFolder()
{
    static CUIString s_sResourceFolder;
    return s_sResourceFolder;
}
} // namespace

void CPaintManagerUI::SetModuleInstance(HINSTANCE hInst)
{
    g_hInstance = hInst;
}

HINSTANCE CPaintManagerUI::GetModuleInstance()
{
    return g_hInstance;
}

HINSTANCE CPaintManagerUI::GetResourceModule()
{
    return g_hInstance;
}

CUIString CPaintManagerUI::GetModuleFolder()
{
    if (g_hInstance == nullptr)
        return CUIString();
    char szModule[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(g_hInstance, szModule, MAX_PATH);
    CUIString sFolder(szModule);
    const int iPos = sFolder.FindLastChar('\\');
    if (iPos >= 0)
        return sFolder.Leftmost(iPos + 1);
    return sFolder;
}

void CPaintManagerUI::SetResourceFolder(const char* pStrPath)
{
    CUIString& sFolder = ResourceFolder();
    sFolder = pStrPath;
    if (sFolder.IsEmpty())
        return;
    // The last character, not the last byte: a trail byte may equal '\\'.
    const int iLast = sFolder.GetLength() - 1;
    const bool bEndsWithSeparator = (sFolder.FindLastChar('\\') == iLast || sFolder.FindLastChar('/') == iLast);
    if (!bEndsWithSeparator)
        sFolder += '\\';
}

const CUIString& CPaintManagerUI::GetResourceFolder()
{
    return ResourceFolder();
}

} // namespace SkinUI
