// CUIRender: the framework's stateless drawing routines. Image loading turns skin images into 32-bit
// premultiplied bitmaps (UIRenderImage.cpp); the drawing routines paint image strings, colours, gradients,
// lines and text into a device context.
#pragma once

#include "SkinUI/Core/UIResourceTypes.h"
#include "SkinUI/Utils/Utils.h"

#include <windows.h>

namespace SkinUI {

class CPaintManagerUI;
class CControlUI;

class CUIRender
{
public:
    CUIRender() = delete;

    // ---- Image loading (UIRenderImage.cpp) ----
    // Loads an image from the resource module (when pstrType is given), the resource archive or folder, or
    // a plain file path, and converts it to a premultiplied top-down 32-bit DIB section. dwMask (0xAARRGGBB,
    // 0 for none) is made fully transparent. Null on any failure.
    static ImageInfoUI* LoadImage(const CUIResName& name, const char* pstrType = nullptr, DWORD dwMask = 0);
    // Deletes the bitmap, then the record; null is ignored.
    static void FreeImage(ImageInfoUI* pImage);

    // ---- Drawing ----
};

} // namespace SkinUI
