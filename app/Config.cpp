#include "app/Config.h"

#include "BuildConfig.h"

using SkinUI::CUIString;

namespace {
CUIString MakeBaseUrl()
{
    CUIString s;
    s.FormatText("http://%s/veltaragame/client", Veltara::kPackageHost);
    return s;
}
} // namespace

const CUIString g_strPackageBaseUrl = MakeBaseUrl();
const CUIString g_strPackageName("VeltaraClient");
const CUIString g_strClientFolder("VeltaraClient");
const CUIString g_strClientExe("VeltaraClient");
const CUIString g_strProductName("Veltara");

CUIString ComposePackageUrl()
{
    CUIString s;
    s.FormatText("%s/%s.zip", g_strPackageBaseUrl.Chars(), g_strPackageName.Chars());
    return s;
}

CUIString ComposeClientExePath(const char* pstrInstallFolder)
{
    CUIString s;
    s.FormatText("%s\\%s\\%s.exe", pstrInstallFolder, g_strClientFolder.Chars(), g_strClientExe.Chars());
    return s;
}

CUIString ComposeClientFolder(const char* pstrInstallFolder)
{
    CUIString s;
    s.FormatText("%s\\%s", pstrInstallFolder, g_strClientFolder.Chars());
    return s;
}

CUIString ComposeShortcutPath(const char* pstrDesktopFolder)
{
    CUIString s;
    s.FormatText("%s\\%s.lnk", pstrDesktopFolder, g_strProductName.Chars());
    return s;
}
