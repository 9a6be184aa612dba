#include "SkinUI/Utils/UIArray.h"

#include <gtest/gtest.h>

using namespace SkinUI;

namespace {
void* P(int i)
{
    return reinterpret_cast<void*>(static_cast<intptr_t>(i));
}
} // namespace

TEST(UIPtrArrayGrowth, ZeroThenElevenThenTwentyTwo)
{
    CUIPtrArray a;
    EXPECT_EQ(a.Capacity(), 0);
    EXPECT_TRUE(a.Push(P(1)));
    EXPECT_EQ(a.Capacity(), 11);
    for (int i = 2; i <= 10; ++i)
        a.Push(P(i));
    EXPECT_EQ(a.Capacity(), 11);
    a.Push(P(11)); // the eleventh fills the block: it grows at once
    EXPECT_EQ(a.Capacity(), 22);
    EXPECT_EQ(a.Count(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(a[i], P(i + 1));
}

TEST(UIPtrArrayGrowth, PreallocationAndCopy)
{
    CUIPtrArray a(5);
    EXPECT_EQ(a.Capacity(), 5);
    EXPECT_TRUE(a.IsEmpty());
    a.Push(P(7));
    a.Push(P(8));
    const CUIPtrArray b(a);
    EXPECT_EQ(b.Count(), 2);
    EXPECT_EQ(b[1], P(8));
    EXPECT_EQ(b.Capacity(), 11);
}

TEST(UIPtrArrayEdits, InsertPutEraseAndBounds)
{
    CUIPtrArray a;
    a.Push(P(1));
    a.Push(P(3));
    EXPECT_TRUE(a.Insert(1, P(2)));
    EXPECT_TRUE(a.Insert(a.Count(), P(4))); // at the count: appends
    EXPECT_FALSE(a.Insert(a.Count() + 1, P(9)));
    EXPECT_FALSE(a.Insert(-1, P(9)));
    ASSERT_EQ(a.Count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(a.At(i), P(i + 1));
    EXPECT_EQ(a.At(4), nullptr);
    EXPECT_EQ(a.At(-1), nullptr);
    EXPECT_TRUE(a.Put(0, P(10)));
    EXPECT_FALSE(a.Put(4, P(10)));
    EXPECT_EQ(a.IndexOf(P(10)), 0);
    EXPECT_EQ(a.IndexOf(P(99)), -1);
    const int cap = a.Capacity();
    EXPECT_TRUE(a.Erase(1));
    EXPECT_FALSE(a.Erase(3));
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.Capacity(), cap);
    EXPECT_EQ(a[1], P(3));
    a.ResizeZeroed(4);
    EXPECT_EQ(a.Count(), 4);
    EXPECT_EQ(a[3], nullptr);
    a.Clear();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.Capacity(), 0);
}

TEST(UIValArray, RecordsAreCopiedAndClearKeepsStorage)
{
    struct Rec
    {
        int a;
        double b;
    };
    CUIValArray v(sizeof(Rec));
    for (int i = 0; i < 12; ++i) {
        const Rec r{i, i * 0.5};
        EXPECT_TRUE(v.Push(&r));
    }
    EXPECT_EQ(v.Capacity(), 22);
    EXPECT_EQ(static_cast<Rec*>(v[11])->a, 11);
    EXPECT_TRUE(v.Erase(0));
    EXPECT_EQ(static_cast<Rec*>(v.At(0))->a, 1);
    EXPECT_EQ(v.At(11), nullptr);
    v.Clear();
    EXPECT_EQ(v.Count(), 0);
    EXPECT_EQ(v.Capacity(), 22);
}
