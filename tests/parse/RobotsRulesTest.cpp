#include "parse/RobotsRules.h"

#include <gtest/gtest.h>

namespace
{

constexpr const char* kAgent = "Harvestly v1.12 build 7";

TEST(RobotsRules, TheCrawlersOwnGroupsElseTheStarGroups)
{
    const char* text = "# comment\n"
                       "User-agent: *\n"
                       "Disallow: /private/\n"
                       "\n"
                       "User-agent: otherbot\n"
                       "Disallow: /\n";
    const CRobotsRules star(text, kAgent);
    EXPECT_FALSE(star.Allowed("/private/a.html"));
    EXPECT_TRUE(star.Allowed("/public/a.html")) << "otherbot's rules are not ours";

    const char* own = "User-agent: *\nDisallow: /\n\nUser-agent: HARVESTLY\nUser-agent: x\nDisallow: /cgi/\n";
    const CRobotsRules rules(own, kAgent);
    EXPECT_TRUE(rules.Allowed("/a.html")) << "a group naming us replaces the star group";
    EXPECT_FALSE(rules.Allowed("/cgi/x"));

    const CRobotsRules split("User-agent: harvestly\nDisallow: /a/\nUser-agent: *\nDisallow: /b/\n"
                             "User-agent: Harvestly/2\nDisallow: /c/\n",
                             kAgent);
    EXPECT_FALSE(split.Allowed("/a/x")) << "every group naming us counts";
    EXPECT_FALSE(split.Allowed("/c/x"));
    EXPECT_TRUE(split.Allowed("/b/x"));
}

TEST(RobotsRules, LongestMatchDecidesAndAllowWinsATie)
{
    const CRobotsRules rules("User-agent: *\n"
                             "Disallow: /docs/\n"
                             "Allow: /docs/public/\n"
                             "Disallow: /docs/public/secret\n"
                             "Allow: /tie\n"
                             "Disallow: /tie\n"
                             "Disallow: /*.gif$\n"
                             "Disallow: /tmp*/x\n"
                             "Disallow: /sp%61ce\n"
                             "Disallow:\n",
                             kAgent);
    EXPECT_FALSE(rules.Allowed("/docs/a.html"));
    EXPECT_TRUE(rules.Allowed("/docs/public/a.html"));
    EXPECT_FALSE(rules.Allowed("/docs/public/secret.html"));
    EXPECT_TRUE(rules.Allowed("/tie.html"));
    EXPECT_FALSE(rules.Allowed("/img/a.gif"));
    EXPECT_TRUE(rules.Allowed("/img/a.gif.html")) << "$ anchors at the end";
    EXPECT_FALSE(rules.Allowed("/tmp1/2/x/y"));
    EXPECT_TRUE(rules.Allowed("/tmp1/y"));
    EXPECT_FALSE(rules.Allowed("/space")) << "escapes in a path are decoded";
    EXPECT_TRUE(rules.Allowed("/other")) << "an empty Disallow names nothing";
    EXPECT_TRUE(rules.Allowed("/robots.txt"));
}

TEST(RobotsRules, OddFilesAllowWhatTheyDoNotName)
{
    EXPECT_TRUE(CRobotsRules("", kAgent).Allowed("/a"));
    EXPECT_TRUE(CRobotsRules("<html>not a robots file</html>", kAgent).Allowed("/a"));
    EXPECT_FALSE(CRobotsRules("user-agent:*\r\ndisallow:/a # why\r\n", kAgent).Allowed("/a/b"))
        << "CR LF lines, no blanks, comments at the end, any case of field names";
    EXPECT_TRUE(CRobotsRules("Disallow: /a\n", kAgent).Allowed("/a")) << "rules before any User-agent";
    EXPECT_FALSE(CRobotsRules("User-agent: *\nDisallow: /***a", kAgent).Allowed("/xxa"));
    EXPECT_EQ(CRobotsRules::ProductToken("  Harvestly v1.12"), "Harvestly");
}

} // namespace
