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

TEST(PathParts, FolderNamesEndWithOneSlashAndPageNamesAreKnownByTheirExtension)
{
    const std::pair<const char*, const char*> folders[] = {
        {"", "/"},
        {"/", "/"},
        {"/home/a", "/home/a/"},
        {"/home/a/", "/home/a/"},
        {"http://host/a//", "http://host/a//"},
        {"C:\\dir", "C:\\dir/"},
    };
    for (const auto& [path, folder] : folders)
    {
        std::string text = path;
        PathParts::AddFinalSlash(text);
        EXPECT_EQ(text, folder) << path;
    }

    const std::pair<const char*, bool> names[] = {
        {"a.htm", true},   {"a.html", true}, {"a.shtml", true}, {"http://h/x.htm?q", true},
        {"a.HTML", false}, {"a.txt", false}, {"htm", false},    {"http://h/shtml/", false},
        {"a.sht", false},  {"", false},
    };
    for (const auto& [name, bHtml] : names)
        EXPECT_EQ(PathParts::NamesHtml(name), bHtml) << name;
}

TEST(AsciiText, TrimTakesOnlyBlanksFromBothEnds)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {" \t\r\n", ""},
        {"  a b  ", "a b"},
        {"\va\f", "a"},
        {"x", "x"},
        {"\xC2\xA0"
         "a",
         "\xC2\xA0"
         "a"},
    };
    for (const auto& [text, trimmed] : cases)
        EXPECT_EQ(AsciiText::Trim(text), trimmed) << text;
}

} // namespace
