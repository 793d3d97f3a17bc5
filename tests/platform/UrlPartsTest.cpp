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

TEST(UrlParts, RefusesWhatIsNotAnAddress)
{
    for (const char* text : {"", "host/a.html", "://host/", "http://", "http:///a", "http://host:/a",
                             "http://host:0/", "http://host:70000/", "http://host:8x/"})
        EXPECT_FALSE(UrlParts::Parse(text)) << text;
}

} // namespace
