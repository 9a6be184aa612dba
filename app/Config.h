// The installer's fixed configuration: where the client package is fetched from and what the installed
// client is called, and the compositions that turn them into URLs and paths. Changing any of them means
// another build.
#pragma once

#include "SkinUI/Utils/UIString.h"

extern const SkinUI::CUIString g_strPackageBaseUrl; // "http://<host>/veltaragame/client"
extern const SkinUI::CUIString g_strPackageName;    // package file name, without ".zip"
extern const SkinUI::CUIString g_strClientFolder;   // client folder inside the install folder
extern const SkinUI::CUIString g_strClientExe;      // base name of the client executable
extern const SkinUI::CUIString g_strProductName;    // name of the desktop shortcut

// The install folder is used as given: a trailing backslash yields a doubled separator.
SkinUI::CUIString ComposePackageUrl();
SkinUI::CUIString ComposeClientExePath(const char* pstrInstallFolder);
SkinUI::CUIString ComposeClientFolder(const char* pstrInstallFolder);
SkinUI::CUIString ComposeShortcutPath(const char* pstrDesktopFolder);
