// The install target rules: the default install folder, the check that a folder can take the client (an
// existing folder, or a drive root, whose path leaves room for the client's files) and the free-space line
// shown under the path field.
#pragma once

#include "SkinUI/Utils/UIString.h"

#include <windows.h>

// Space the installed client needs, in megabytes.
constexpr int kRequiredMegabytes = 150;
// Colour of a failed check's text: opaque red.
constexpr DWORD kInstallTargetErrorColor = 0xFFFF0000;

struct InstallTargetCheck
{
    bool bSpaceEnough = false; // the folder may be installed into
    bool bError = false;       // the text is shown in red
    SkinUI::CUIString strText; // the line for the user
};

// Free megabytes available to the caller on the fixed drive whose root is given ("C:\"); 0 for any other
// kind of drive and when the query fails.
int GetFreeMegabytes(const char* pstrRoot);

// True on a 64-bit Windows (the program itself may run as 32-bit on it).
bool IsNative64BitSystem();

// The system drive's program folder: "Program Files (x86)" on a 64-bit system, else "Program Files".
SkinUI::CUIString GetDefaultInstallFolder();

// "所需空间：150MB，可用空间：<free in GB, one decimal>GB".
SkinUI::CUIString FormatSpaceLine(int nFreeMegabytes);

// Checks a folder as the path field holds it. A folder is refused (red "请输入正确的安装路径！") when it is
// shorter than 3 characters, holds a wildcard ('?' also stands for a character GBK lacks), names no existing
// folder (an existing file included; a 3-character drive root passes unchecked and is judged by its space),
// or is too long for the client's path to fit. Otherwise the
// space line, red with bSpaceEnough false unless more than 150 MB are free.
InstallTargetCheck CheckInstallTargetFolder(const char* pstrFolder);
