#include "SkinUI/Utils/UIDelegate.h"

#include <gtest/gtest.h>

#include <vector>

using namespace SkinUI;

namespace {
struct Listener
{
    std::vector<int>* log;
    int id;
    bool result;
    bool OnEvent(void*)
    {
        log->push_back(id);
        return result;
    }
    bool Other(void*)
    {
        log->push_back(-id);
        return true;
    }
};

int g_staticCalls = 0;
bool StaticListener(void* p)
{
    ++g_staticCalls;
    return p != nullptr;
}
} // namespace

TEST(UIEventSource, StopsAtTheFirstFalse)
{
    std::vector<int> log;
    Listener a{&log, 1, true}, b{&log, 2, false}, c{&log, 3, true};
    CUIEventSource src;
    EXPECT_FALSE(static_cast<bool>(src));
    EXPECT_TRUE(src(nullptr)) << "no delegates: true";
    src += MakeDelegate(&a, &Listener::OnEvent);
    src += MakeDelegate(&b, &Listener::OnEvent);
    src += MakeDelegate(&c, &Listener::OnEvent);
    EXPECT_TRUE(static_cast<bool>(src));
    EXPECT_FALSE(src(nullptr));
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
}

TEST(UIEventSource, EqualDelegatesAreAddedOnceAndRemovedOnce)
{
    std::vector<int> log;
    Listener a{&log, 1, true};
    CUIEventSource src;
    src += MakeDelegate(&a, &Listener::OnEvent);
    src += MakeDelegate(&a, &Listener::OnEvent);
    src += MakeDelegate(&a, &Listener::Other); // same object, other function: not equal
    EXPECT_EQ(src.Count(), 2);
    src(nullptr);
    EXPECT_EQ(log, (std::vector<int>{1, -1}));
    src -= MakeDelegate(&a, &Listener::OnEvent);
    EXPECT_EQ(src.Count(), 1);
    src -= MakeDelegate(&a, &Listener::OnEvent);
    EXPECT_EQ(src.Count(), 1);

    src += StaticListener;
    src += StaticListener;
    EXPECT_EQ(src.Count(), 2);
    g_staticCalls = 0;
    int x = 0;
    EXPECT_TRUE(src(&x));
    EXPECT_EQ(g_staticCalls, 1);
    EXPECT_FALSE(src(nullptr));
    src -= StaticListener;
    EXPECT_EQ(src.Count(), 1);
}

TEST(UIDelegate, CopiesCompareEqual)
{
    std::vector<int> log;
    Listener a{&log, 4, true}, b{&log, 5, true};
    const CDelegate<Listener> d(&a, &Listener::OnEvent);
    CDelegateBase* copy = d.Copy();
    EXPECT_TRUE(copy->Equals(d));
    EXPECT_FALSE(copy->Equals(CDelegate<Listener>(&b, &Listener::OnEvent)));
    EXPECT_TRUE((*copy)(nullptr));
    EXPECT_EQ(log, (std::vector<int>{4}));
    delete copy;
}
