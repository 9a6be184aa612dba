#include "SkinUI/Utils/UIStringMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;

namespace {
void* P(int i)
{
    return reinterpret_cast<void*>(static_cast<intptr_t>(i));
}

std::vector<std::string> Keys(const CUIStringMap& m)
{
    std::vector<std::string> keys;
    for (int i = 0; i < m.Count(); ++i)
        keys.push_back(m.KeyAt(i));
    return keys;
}

// Keys that fall into one bucket of a 16-bucket map.
std::vector<std::string> SameBucket(int nWanted)
{
    std::vector<std::string> keys;
    const unsigned want = CUIStringMap::HashKey("k0") % 16;
    for (int i = 0; static_cast<int>(keys.size()) < nWanted; ++i) {
        const std::string k = "k" + std::to_string(i);
        if (CUIStringMap::HashKey(k.c_str()) % 16 == want)
            keys.push_back(k);
    }
    return keys;
}
} // namespace

TEST(UIStringMapHash, LastByteFirstSignedTimes33)
{
    EXPECT_EQ(CUIStringMap::HashKey(""), 0u);
    EXPECT_EQ(CUIStringMap::HashKey("a"), 97u);
    EXPECT_EQ(CUIStringMap::HashKey("ab"), 98u * 33u + 97u);
    // A byte above 0x7F counts negative.
    EXPECT_EQ(CUIStringMap::HashKey("\xFF"), 0xFFFFFFFFu);
}

TEST(UIStringMapLookups, SetInsertEraseAndCount)
{
    CUIStringMap m(83);
    EXPECT_EQ(m.BucketCount(), 83);
    EXPECT_EQ(m.Set("one", P(1)), nullptr);
    EXPECT_EQ(m.Set("one", P(2)), P(1));
    EXPECT_FALSE(m.Insert("one", P(3)));
    EXPECT_TRUE(m.Insert("two", P(4)));
    EXPECT_EQ(m.Count(), 2);
    EXPECT_EQ(m.Lookup("one"), P(2));
    EXPECT_EQ(m.Lookup("ONE"), nullptr) << "keys are case-sensitive";
    EXPECT_TRUE(m.Erase("one"));
    EXPECT_FALSE(m.Erase("one"));
    EXPECT_EQ(m.Count(), 1);
    EXPECT_EQ(m.Lookup("one"), nullptr);
    EXPECT_EQ(CUIStringMap(3).BucketCount(), 16);
}

TEST(UIStringMapOrder, EnumerationFromTheHighestBucketAndLookupsMoveToFront)
{
    CUIStringMap m(16);
    const auto keys = SameBucket(3);
    for (const auto& k : keys)
        m.Insert(k.c_str(), P(1));
    // Each insertion goes to the head of the chain.
    EXPECT_EQ(Keys(m), (std::vector<std::string>{keys[2], keys[1], keys[0]}));
    m.Lookup(keys[0].c_str());
    EXPECT_EQ(Keys(m), (std::vector<std::string>{keys[0], keys[2], keys[1]}));
    m.Lookup(keys[1].c_str(), false);
    EXPECT_EQ(Keys(m), (std::vector<std::string>{keys[0], keys[2], keys[1]}));
    m.Erase(keys[2].c_str());
    EXPECT_EQ(Keys(m), (std::vector<std::string>{keys[0], keys[1]}));
    EXPECT_EQ(m.KeyAt(2), nullptr);
    EXPECT_EQ(m.KeyAt(-1), nullptr);

    CUIStringMap two(16);
    std::string lo, hi;
    for (int i = 0; hi.empty() || lo.empty(); ++i) {
        const std::string k = "x" + std::to_string(i);
        const unsigned b = CUIStringMap::HashKey(k.c_str()) % 16;
        if (b == 1 && lo.empty())
            lo = k;
        if (b == 14 && hi.empty())
            hi = k;
    }
    two.Insert(lo.c_str(), P(1));
    two.Insert(hi.c_str(), P(2));
    EXPECT_EQ(Keys(two), (std::vector<std::string>{hi, lo}));
}

TEST(UIStringMapBuckets, ResetAndNoBuckets)
{
    CUIStringMap m(16);
    m.Set("a", P(1));
    m.ResetBuckets(0);
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(m.Set("a", P(5)), P(5)) << "with no buckets Set hands the value back";
    EXPECT_FALSE(m.Insert("a", P(1)));
    EXPECT_EQ(m.Lookup("a"), nullptr);
    m.ResetBuckets(-3);
    EXPECT_EQ(m.BucketCount(), 0);
    m.ResetBuckets(20);
    EXPECT_TRUE(m.Insert("a", P(1)));
    m.Clear();
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(m.BucketCount(), 20);
}
