#include "SkinUI/Utils/UIDelegate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
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

namespace {
// A listener that changes the source it is called from: removes itself or another listener, adds one, or
// destroys the object that holds the source.
struct Meddler
{
    std::vector<int>* log;
    int id;
    CUIEventSource* pSource = nullptr;
    Meddler* pRemove = nullptr;
    Meddler* pAdd = nullptr;
    bool OnEvent(void*)
    {
        log->push_back(id);
        if (pRemove != nullptr)
            *pSource -= MakeDelegate(pRemove, &Meddler::OnEvent);
        if (pAdd != nullptr)
            *pSource += MakeDelegate(pAdd, &Meddler::OnEvent);
        return true;
    }
};
} // namespace

TEST(UIEventSource, ListenersChangingTheSourceWhileItRuns)
{
    struct Case
    {
        const char* name;
        int iRemover;                   // index of the listener that removes one (-1: none)
        int iRemoved;                   // index of the listener it removes
        int iAdder;                     // index of the listener that adds the extra one (-1: none)
        std::vector<int> first, second; // calls of the first and of the next invocation (4 is the extra one)
    };
    const Case cases[] = {
        {"first removes itself", 0, 0, -1, {1, 2, 3}, {2, 3}},
        {"middle removes itself", 1, 1, -1, {1, 2, 3}, {1, 3}},
        {"last removes itself", 2, 2, -1, {1, 2, 3}, {1, 2}},
        {"first removes a later one", 0, 1, -1, {1, 3}, {1, 3}},
        {"last removes an earlier one", 2, 0, -1, {1, 2, 3}, {2, 3}},
        {"an added one waits for the next call", -1, 0, 1, {1, 2, 3}, {1, 2, 3, 4}},
        {"removes itself and adds one", 0, 0, 0, {1, 2, 3}, {2, 3, 4}},
    };
    for (const Case& c : cases) {
        std::vector<int> log;
        CUIEventSource src;
        Meddler m[4] = {{&log, 1}, {&log, 2}, {&log, 3}, {&log, 4}};
        for (int i = 0; i < 3; ++i) {
            m[i].pSource = &src;
            src += MakeDelegate(&m[i], &Meddler::OnEvent);
        }
        if (c.iRemover >= 0)
            m[c.iRemover].pRemove = &m[c.iRemoved];
        if (c.iAdder >= 0)
            m[c.iAdder].pAdd = &m[3];
        EXPECT_TRUE(src(nullptr)) << c.name;
        EXPECT_EQ(log, c.first) << c.name;
        for (Meddler& each : m)
            each.pRemove = each.pAdd = nullptr;
        log.clear();
        EXPECT_TRUE(src(nullptr)) << c.name;
        EXPECT_EQ(log, c.second) << c.name;
        EXPECT_EQ(src.Count(), static_cast<int>(c.second.size())) << c.name;
    }
}

namespace {
// Holds a source on the heap; its memory is kept and filled with a pattern once deleted, so that a source
// still walking its own fields after a listener deleted the holder is seen.
struct Holder
{
    CUIEventSource source;
    static void* operator new(std::size_t cb) { return ::operator new(cb); }
    static void operator delete(void* p, std::size_t cb)
    {
        std::memset(p, 0xDD, cb);
        s_pKept = p;
    }
    static void* s_pKept;
};
void* Holder::s_pKept = nullptr;

struct Destroyer
{
    std::vector<int>* log;
    int id;
    Holder* pHolder;
    bool OnEvent(void*)
    {
        log->push_back(id);
        delete pHolder;
        return true;
    }
};

// Removes itself, then calls the source again from inside the call.
struct Recurser
{
    std::vector<int>* log;
    CUIEventSource* pSource;
    int depth = 0;
    bool OnEvent(void*)
    {
        log->push_back(10 + depth);
        if (depth++ == 0) {
            *pSource -= MakeDelegate(this, &Recurser::OnEvent);
            (*pSource)(nullptr);
        }
        return true;
    }
};
} // namespace

TEST(UIEventSource, ListenerDeletingTheHolderEndsTheCall)
{
    std::vector<int> log;
    Listener after{&log, 2, true};
    auto* pHolder = new Holder;
    Destroyer d{&log, 1, pHolder};
    pHolder->source += MakeDelegate(&d, &Destroyer::OnEvent);
    pHolder->source += MakeDelegate(&after, &Listener::OnEvent);
    // false: the caller must not go on with the holder; the listeners went with it.
    EXPECT_FALSE(pHolder->source(nullptr));
    EXPECT_EQ(log, (std::vector<int>{1}));
    ASSERT_EQ(Holder::s_pKept, pHolder);
    for (std::size_t i = 0; i < sizeof(Holder); ++i)
        ASSERT_EQ(static_cast<unsigned char*>(Holder::s_pKept)[i], 0xDD) << "freed holder written at " << i;
    ::operator delete(Holder::s_pKept);

    // A listener removed inside a nested call of the same source: the outer call goes on with the rest.
    log.clear();
    CUIEventSource src;
    Recurser r{&log, &src};
    src += MakeDelegate(&r, &Recurser::OnEvent);
    src += MakeDelegate(&after, &Listener::OnEvent);
    EXPECT_TRUE(src(nullptr));
    EXPECT_EQ(log, (std::vector<int>{10, 2, 2}));
    EXPECT_EQ(src.Count(), 1);
}
