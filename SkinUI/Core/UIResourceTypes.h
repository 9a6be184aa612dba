// Records of the shared resources a paint manager owns: fonts (FontInfoUI) and loaded images (ImageInfoUI).
#pragma once

#include "SkinUI/Utils/UIString.h"

#include <windows.h>

namespace SkinUI {

// A font with its face, size (logical: the handle is made at the size scaled to the manager's DPI) and style;
// metrics stay zero until the font is measured on the paint DC.
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

// A loaded image: a 32-bit top-down DIB section with premultiplied alpha (owned by the record). dpi says the
// scale its pixels are drawn for: at 96 one pixel is one logical unit of the skin, at 144 one and a half.
struct ImageInfoUI
{
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
    int dpi = 96;
    bool hasAlpha = false;
    CUIString resourceType;
    DWORD mask = 0;
};

} // namespace SkinUI
