// Records of the shared resources a paint manager owns: fonts (FontInfoUI) and loaded images (ImageInfoUI).
#pragma once

#include "SkinUI/Utils/UIString.h"

#include <windows.h>

namespace SkinUI {

// A font with its face, size and style; metrics stay zero until the font is measured on the paint DC.
struct FontInfoUI
{
    HFONT handle = nullptr;
    CUIString faceName;
    int size = 0;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    TEXTMETRICW metrics = {};
};

// A loaded image: a 32-bit top-down DIB section with premultiplied alpha (owned by the record).
struct ImageInfoUI
{
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    CUIString resourceType;
    DWORD mask = 0;
};

} // namespace SkinUI
