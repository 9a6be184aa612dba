// The desktop shortcut to the installed client: the current user's desktop folder and a shell link with the
// client as target and its folder as working folder. COM must be initialised on the calling thread.
// The desktop folder is kept in UTF-16: a user's name may hold characters the program's GBK lacks.
#pragma once

#include "SkinUI/Utils/UIString.h"

#include <string>

// The file-system folder of the current user's desktop; empty when the shell cannot tell.
std::wstring GetDesktopFolder();

// Writes a shell link at pwstrLinkPath to pstrTarget (GBK), whose folder (the text before its last backslash)
// becomes the working folder. An existing link of that name is replaced. False when it could not be saved.
bool CreateDesktopShortcut(const char* pstrTarget, const wchar_t* pwstrLinkPath);

// The program a shell link points at; empty when the link cannot be read.
std::wstring ReadShortcutTarget(const std::wstring& strLinkPath);

// Deletes the link at strLinkPath when it points at strTarget (letter case aside): a link of that name that
// the user pointed elsewhere is theirs. True when no link of ours is left there.
bool RemoveShortcutTo(const std::wstring& strLinkPath, const std::wstring& strTarget);

// Puts the product's shortcut to pstrTarget into strDesktopFolder. An empty desktop folder skips it (never a
// link at a drive root). False when skipped or not saved.
bool PlaceDesktopShortcut(const std::wstring& strDesktopFolder, const char* pstrTarget);
