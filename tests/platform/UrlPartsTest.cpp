#include "platform/UrlParts.h"

#include <gtest/gtest.h>

namespace
{

TEST(UrlParts, SplitsHostPortAndObject)
{
    const auto plain = UrlParts::Parse("http://host/a/b.html");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->scheme, "http");
    EXPECT_EQ(plain->host, "host");
    EXPECT_EQ(plain->port, 80u);
    EXPECT_FALSE(plain->bPortNamed);
    EXPECT_EQ(plain->object, "/a/b.html");
    EXPECT_EQ(plain->ServerRoot(), "http://host");

    const auto bare = UrlParts::Parse("http://host");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->object, "/");

    const auto ported = UrlParts::Parse("http://127.0.0.1:8080/site/");
    ASSERT_TRUE(ported);
    EXPECT_EQ(ported->host, "127.0.0.1");
    EXPECT_EQ(ported->port, 8080u);
    EXPECT_EQ(ported->Authority(), "127.0.0.1:8080");
    EXPECT_EQ(ported->ServerRoot(), "http://127.0.0.1:8080");
    EXPECT_EQ(ported->object, "/site/");

    const auto upper = UrlParts::Parse("HTTP://Host/X");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->scheme, "http");
    EXPECT_EQ(upper->host, "Host");

    const auto ftp = UrlParts::Parse("ftp://host/x");
    ASSERT_TRUE(ftp);
    EXPECT_EQ(ftp->scheme, "ftp");
}

TEST(UrlParts, KeepsTheColonsOfAnIpv6LiteralOutOfThePort)
{
    const auto ported = UrlParts::Parse("http://[::1]:8080/site/");
    ASSERT_TRUE(ported);
    EXPECT_EQ(ported->host, "[::1]");
    EXPECT_EQ(ported->port, 8080u);
    EXPECT_EQ(ported->ServerRoot(), "http://[::1]:8080");
    EXPECT_EQ(ported->object, "/site/");

    const auto plain = UrlParts::Parse("http://[fe80::1:2]/");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "[fe80::1:2]");
    EXPECT_EQ(plain->port, 80u);
    EXPECT_FALSE(plain->bPortNamed);
}

TEST(UrlParts, EncodesOnlyWhatARequestLineCannotCarry)
{
    EXPECT_EQ(UrlParts::EncodeTarget("/a/b.html?x=1&y=%41"), "/a/b.html?x=1&y=%41");
    EXPECT_EQ(UrlParts::EncodeTarget("/a/t\tb c.html"), "/a/t%09b%20c.html");
    EXPECT_EQ(UrlParts::EncodeTarget("/100%.html"), "/100%25.html");
    EXPECT_EQ(UrlParts::EncodeTarget("/%zz%4"), "/%25zz%254");
    EXPECT_EQ(UrlParts::EncodeTarget("/caf\xC3\xA9\x7f\x01"), "/caf%C3%A9%7F%01");
    EXPECT_EQ(UrlParts::EncodeTarget("/\"<>\\^`{|}"), "/%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(UrlParts::EncodeTarget("/a-b_c.d~e!$'()*+,;=:@/"), "/a-b_c.d~e!$'()*+,;=:@/");
}

TEST(UrlParts, RefusesWhatIsNotAnAddress)
{
    for (const char* text : {"", "host/a.html", "://host/", "http://", "http:///a", "http://host:/a",
                             "http://host:0/", "http://host:70000/", "http://host:8x/", "http://[::1/",
                             "http://[]:80/", "http://[::1]x/", "http://[::1]:/"})
        EXPECT_FALSE(UrlParts::Parse(text)) << text;
}

} // namespace
