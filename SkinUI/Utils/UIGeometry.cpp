#include "SkinUI/Utils/UIGeometry.h"

#include <utility>

namespace SkinUI {

CUIPoint::CUIPoint()
{
    x = y = 0;
}
CUIPoint::CUIPoint(const POINT& src)
{
    x = src.x;
    y = src.y;
}
CUIPoint::CUIPoint(int iX, int iY)
{
    x = iX;
    y = iY;
}
CUIPoint::CUIPoint(LPARAM lParam)
{
    x = static_cast<short>(LOWORD(lParam));
    y = static_cast<short>(HIWORD(lParam));
}

CUISize::CUISize()
{
    cx = cy = 0;
}
CUISize::CUISize(const SIZE& src)
{
    cx = src.cx;
    cy = src.cy;
}
CUISize::CUISize(int iCx, int iCy)
{
    cx = iCx;
    cy = iCy;
}
CUISize::CUISize(const RECT& rc)
{
    cx = rc.right - rc.left;
    cy = rc.bottom - rc.top;
}

CUIRect::CUIRect()
{
    left = top = right = bottom = 0;
}
CUIRect::CUIRect(const RECT& src)
{
    left = src.left;
    top = src.top;
    right = src.right;
    bottom = src.bottom;
}
CUIRect::CUIRect(int iLeft, int iTop, int iRight, int iBottom)
{
    left = iLeft;
    top = iTop;
    right = iRight;
    bottom = iBottom;
}

void CUIRect::Zero()
{
    left = top = right = bottom = 0;
}

bool CUIRect::IsAllZero() const
{
    return left == 0 && top == 0 && right == 0 && bottom == 0;
}

void CUIRect::Join(const RECT& rc)
{
    if (rc.left < left)
        left = rc.left;
    if (rc.top < top)
        top = rc.top;
    if (rc.right > right)
        right = rc.right;
    if (rc.bottom > bottom)
        bottom = rc.bottom;
}

void CUIRect::UnionWith(const RECT& rc)
{
    const bool bThisEmpty = right <= left || bottom <= top;
    const bool bOtherEmpty = rc.right <= rc.left || rc.bottom <= rc.top;
    if (bThisEmpty && bOtherEmpty) {
        Zero();
    } else if (bThisEmpty) {
        *this = CUIRect(rc);
    } else if (!bOtherEmpty) {
        Join(rc);
    }
}

void CUIRect::MoveToOrigin()
{
    Offset(-left, -top);
}

void CUIRect::Normalize()
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
}

void CUIRect::Offset(int cx, int cy)
{
    left += cx;
    right += cx;
    top += cy;
    bottom += cy;
}

void CUIRect::Inflate(int cx, int cy)
{
    left -= cx;
    right += cx;
    top -= cy;
    bottom += cy;
}

void CUIRect::Deflate(int cx, int cy)
{
    Inflate(-cx, -cy);
}

} // namespace SkinUI
