#include "parse/AddressIndex.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>

namespace
{

TEST(AddressIndex, CountsHoldersExactly)
{
    CAddressIndex index;
    EXPECT_FALSE(index.Contains("a"));
    EXPECT_EQ(index.Add("http://host/a/", false), "http://host/a/");
    EXPECT_TRUE(index.Contains("http://host/a/"));
    EXPECT_FALSE(index.Contains("http://host/A/"));
    EXPECT_FALSE(index.Contains("http://host/a"));
    EXPECT_FALSE(index.Add("http://host/a/", true).has_value()) << "present: nothing changes";
    EXPECT_EQ(index.Add("http://host/a/", false), "http://host/a/");
    index.Remove("http://host/a/");
    EXPECT_TRUE(index.Contains("http://host/a/")) << "one holder is left";
    index.Remove("http://host/a/");
    EXPECT_FALSE(index.Contains("http://host/a/"));
    EXPECT_TRUE(index.Add("http://host/a/", true).has_value()) << "a removed address can come back";

    EXPECT_EQ(index.Add("", false), "");
    EXPECT_TRUE(index.Contains(""));
    const std::string huge(200 * 1024, 'x');
    EXPECT_EQ(index.Add(huge, false), huge) << "longer than a storage block";
    EXPECT_TRUE(index.Contains(huge));

    index.Clear();
    EXPECT_FALSE(index.Contains("http://host/a/"));
    EXPECT_FALSE(index.Contains(""));
}

// Callers hash an address once for several indexes: both ways of asking must agree.
TEST(AddressIndex, AGivenHashFindsWhatThePlainCallsStore)
{
    CAddressIndex index;
    const std::string a = "http://host/a/";
    const std::string b = "http://host/b.html";
    EXPECT_FALSE(index.Contains(a, CAddressIndex::Hash(a)));
    index.Add(a, false);
    EXPECT_TRUE(index.Contains(a, CAddressIndex::Hash(a)));
    EXPECT_FALSE(index.Contains(b, CAddressIndex::Hash(b)));
    EXPECT_EQ(index.Add(b, CAddressIndex::Hash(b), true), b);
    EXPECT_TRUE(index.Contains(b));
    EXPECT_FALSE(index.Add(b, CAddressIndex::Hash(b), true).has_value());
    index.Remove(b);
    EXPECT_FALSE(index.Contains(b, CAddressIndex::Hash(b)));
}

// Random adds and removes against a plain map of counts: growth, tombstones and their reuse
// must never lose or invent an address, and stored texts must stay put.
TEST(AddressIndex, FollowsAPlainMapThroughGrowthAndRemovals)
{
    CAddressIndex index;
    std::map<std::string, int> counts;
    std::map<std::string, std::string_view> stored;
    std::mt19937 random(99);
    for (int step = 0; step < 200000; ++step)
    {
        const std::string address = "http://host/a/" + std::to_string(random() % 3000);
        if (random() % 3 != 0)
        {
            const bool bOnlyIfAbsent = random() % 2;
            const auto text = index.Add(address, bOnlyIfAbsent);
            if (bOnlyIfAbsent && counts[address] > 0)
            {
                ASSERT_FALSE(text.has_value()) << address;
                continue;
            }
            ASSERT_TRUE(text.has_value());
            ASSERT_EQ(*text, address);
            ++counts[address];
            stored[address] = *text;
        }
        else if (counts[address] > 0)
        {
            index.Remove(address);
            --counts[address];
        }
        if (step % 1000 == 0)
        {
            for (const auto& [text, count] : counts)
                ASSERT_EQ(index.Contains(text), count > 0) << text << " at step " << step;
            for (const auto& [text, view] : stored)
                ASSERT_EQ(view, text) << "a stored text moved";
        }
    }
}

} // namespace
