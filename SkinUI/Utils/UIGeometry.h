// Point, size and rectangle records laid out like the platform's POINT, SIZE and RECT, and the resource
// name that is either a text or a numeric id.
#pragma once

#include <windows.h>

namespace SkinUI {

class CUIPoint : public tagPOINT
{
public:
    CUIPoint();
    CUIPoint(const POINT& src);
    CUIPoint(int x, int y);
    // From a packed mouse-message parameter: signed 16-bit x in the low word, y in the high word.
    explicit CUIPoint(LPARAM lParam);
};

class CUISize : public tagSIZE
{
public:
    CUISize();
    CUISize(const SIZE& src);
    CUISize(int cx, int cy);
    explicit CUISize(const RECT& rc);
};

class CUIRect : public tagRECT
{
public:
    CUIRect();
    CUIRect(const RECT& src);
    CUIRect(int iLeft, int iTop, int iRight, int iBottom);

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    void Zero();
    bool IsAllZero() const;
    // Smallest rectangle holding both edges' extremes, empty rectangles included.
    void Join(const RECT& rc);
    // The platform's union: empty rectangles contribute nothing.
    void UnionWith(const RECT& rc);
    void MoveToOrigin();
    void Normalize();
    void Offset(int cx, int cy);
    void Inflate(int cx, int cy);
    void Deflate(int cx, int cy);
};

static_assert(sizeof(CUIPoint) == sizeof(POINT) && sizeof(CUISize) == sizeof(SIZE) && sizeof(CUIRect) == sizeof(RECT),
              "geometry records must keep the platform's layout");

class CUIResName
{
public:
    CUIResName(const char* pstrName) : m_pstr(pstrName) {}
    CUIResName(unsigned int nId) : m_pstr(MAKEINTRESOURCEA(static_cast<WORD>(nId))) {}
    CUIResName(int nId) : m_pstr(MAKEINTRESOURCEA(static_cast<WORD>(nId))) {}

    bool IsId() const { return IS_INTRESOURCE(m_pstr); }
    WORD Id() const { return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(m_pstr)); }
    const char* Name() const { return m_pstr; }
    operator const char*() const { return m_pstr; }

private:
    const char* m_pstr;
};

} // namespace SkinUI
