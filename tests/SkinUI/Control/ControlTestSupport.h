// Shared set-up of the control tests: a paint manager bound to a message-only window (so that fonts are
// measured on its device context) with a known base font, and the box of the pixels a paint changed.
#pragma once

#include "PaintCanvas.h"
#include "UITestSupport.h"

#include "SkinUI/Core/UIControl.h"

namespace SkinUITest {

constexpr const char* kTestFace = "微软雅黑";

class ManagedPaint
{
public:
    ManagedPaint() : host(pm) { pm.SetBaseFont(kTestFace, 14, false, false, false); }
    CPaintManagerUI pm;
    HostWindow host;
};

// The smallest rectangle holding every pixel whose colour differs from dwBackground (alpha ignored); empty
// when nothing differs.
inline RECT ChangedBox(const PaintCanvas& canvas, DWORD dwBackground = 0xFFFFFF)
{
    RECT rc = {canvas.Width(), canvas.Height(), 0, 0};
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            if (canvas.Rgb(x, y) == (dwBackground & 0xFFFFFF))
                continue;
            rc.left = x < rc.left ? x : rc.left;
            rc.top = y < rc.top ? y : rc.top;
            rc.right = x + 1 > rc.right ? x + 1 : rc.right;
            rc.bottom = y + 1 > rc.bottom ? y + 1 : rc.bottom;
        }
    }
    if (rc.right <= rc.left)
        return RECT{0, 0, 0, 0};
    return rc;
}

} // namespace SkinUITest
