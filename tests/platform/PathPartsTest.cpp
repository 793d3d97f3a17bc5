#include "platform/PathParts.h"

#include "platform/AsciiText.h"

#include <gtest/gtest.h>

namespace
{

struct SplitCase
{
    const char* path;
    const char* drive;
    const char* dir;
    const char* fname;
    const char* ext;
};

TEST(PathParts, SplitsPathsAndAddressesLikeTheRuntimeLibrary)
{
    const SplitCase cases[] = {
        {"http://host/a/b.html", "", "http://host/a/", "b", ".html"},
        {"http://host/docs", "", "http://host/", "docs", ""},
        {"http://host/a/", "", "http://host/a/", "", ""},
        {"http://host", "", "http://", "host", ""},
        {"/site/x/y.tar.gz", "", "/site/x/", "y.tar", ".gz"},
        {"C:\\site\\a\\page.html", "C:", "\\site\\a\\", "page", ".html"},
        {"C:/mixed\\sep/name", "C:", "/mixed\\sep/", "name", ""},
        {"/dir.with.dots/file", "", "/dir.with.dots/", "file", ""},
        {".htaccess", "", "", "", ".htaccess"},
        {"", "", "", "", ""},
    };
    for (const SplitCase& c : cases)
    {
        const PathParts parts = PathParts::Split(c.path);
        EXPECT_EQ(parts.drive, c.drive) << c.path;
        EXPECT_EQ(parts.dir, c.dir) << c.path;
        EXPECT_EQ(parts.fname, c.fname) << c.path;
        EXPECT_EQ(parts.ext, c.ext) << c.path;
        EXPECT_EQ(parts.Join(), c.path);
    }
}

TEST(AsciiText, ChangesCaseOfAsciiLettersOnlyAndKeepsUtf8Whole)
{
    const std::string chinese = "文件检查";
    EXPECT_EQ(AsciiText::ToLower("HREF=" + chinese + "ÄB"), "href=" + chinese + "Äb");
    EXPECT_EQ(AsciiText::ToUpper("src=" + chinese), "SRC=" + chinese);
    EXPECT_TRUE(AsciiText::StartsWithNoCase("MailTo:x", "mailto:"));
    EXPECT_FALSE(AsciiText::StartsWithNoCase("mail", "mailto:"));
    EXPECT_TRUE(AsciiText::IsBlank('\v'));
    EXPECT_FALSE(AsciiText::IsAlnum('\xE6'));
}

} // namespace
