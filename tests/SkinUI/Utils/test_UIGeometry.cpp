#include "SkinUI/Utils/UIGeometry.h"

#include <gtest/gtest.h>

using namespace SkinUI;

namespace {
void ExpectRect(const RECT& rc, int l, int t, int r, int b)
{
    EXPECT_EQ(rc.left, l);
    EXPECT_EQ(rc.top, t);
    EXPECT_EQ(rc.right, r);
    EXPECT_EQ(rc.bottom, b);
}
} // namespace

TEST(UIGeometryPoint, FromMouseMessageParameterIsSigned)
{
    const CUIPoint p(static_cast<LPARAM>(MAKELONG(5, 0xFFFF)));
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, -1);
    const CUIPoint q(static_cast<LPARAM>(MAKELONG(0x8000, 0x7FFF)));
    EXPECT_EQ(q.x, -32768);
    EXPECT_EQ(q.y, 32767);
}

TEST(UIGeometryRect, JoinAndUnionDifferOnEmptyRectangles)
{
    CUIRect u(0, 0, 0, 0);
    u.UnionWith(CUIRect(1, 1, 5, 5));
    ExpectRect(u, 1, 1, 5, 5);
    CUIRect j(0, 0, 0, 0);
    j.Join(CUIRect(1, 1, 5, 5));
    ExpectRect(j, 0, 0, 5, 5);

    CUIRect both(3, 3, 3, 9);
    both.UnionWith(CUIRect(7, 7, 2, 2));
    EXPECT_TRUE(both.IsAllZero());
    CUIRect keep(1, 1, 4, 4);
    keep.UnionWith(CUIRect(9, 9, 9, 9));
    ExpectRect(keep, 1, 1, 4, 4);
    keep.UnionWith(CUIRect(2, 0, 6, 3));
    ExpectRect(keep, 1, 0, 6, 4);
}

TEST(UIGeometryRect, MovesAndSizes)
{
    CUIRect r(10, 20, 40, 60);
    EXPECT_EQ(r.Width(), 30);
    EXPECT_EQ(r.Height(), 40);
    EXPECT_FALSE(CUIRect(5, 5, 5, 5).IsAllZero());
    r.MoveToOrigin();
    ExpectRect(r, 0, 0, 30, 40);
    r.Offset(2, 3);
    ExpectRect(r, 2, 3, 32, 43);
    r.Inflate(1, 2);
    ExpectRect(r, 1, 1, 33, 45);
    r.Deflate(1, 2);
    ExpectRect(r, 2, 3, 32, 43);
    CUIRect n(9, 8, 1, 2);
    n.Normalize();
    ExpectRect(n, 1, 2, 9, 8);
    n.Zero();
    EXPECT_TRUE(n.IsAllZero());
    const CUISize sz(CUIRect(1, 2, 11, 7));
    EXPECT_EQ(sz.cx, 10);
    EXPECT_EQ(sz.cy, 5);
}

TEST(UIGeometryResName, TextOrId)
{
    const CUIResName id(101);
    EXPECT_TRUE(id.IsId());
    EXPECT_EQ(id.Id(), 101);
    EXPECT_EQ(id.Name(), MAKEINTRESOURCEA(101));
    const CUIResName wrapped(0x10065u);
    EXPECT_EQ(wrapped.Id(), 0x65);
    const char* text = "ZIPRES";
    const CUIResName name(text);
    EXPECT_FALSE(name.IsId());
    EXPECT_EQ(name.Name(), text);
}
