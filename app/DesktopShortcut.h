// The desktop shortcut to the installed client: the current user's desktop folder and a shell link with the
// client as target and its folder as working folder. COM must be initialised on the calling thread.
#pragma once

#include "SkinUI/Utils/UIString.h"

// The file-system folder of the current user's desktop; empty when the shell cannot tell.
SkinUI::CUIString GetDesktopFolder();

// Writes a shell link at pstrLinkPath to pstrTarget, whose folder (the text before its last backslash)
// becomes the working folder. An existing link of that name is replaced. False when it could not be saved.
bool CreateDesktopShortcut(const char* pstrTarget, const char* pstrLinkPath);

// Puts the product's shortcut to pstrTarget into pstrDesktopFolder. An empty desktop folder skips it (never a
// link at a drive root). False when skipped or not saved.
bool PlaceDesktopShortcut(const char* pstrDesktopFolder, const char* pstrTarget);
