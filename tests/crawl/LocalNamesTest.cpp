#include "crawl/LocalNames.h"

#include <gtest/gtest.h>

namespace
{

using namespace LocalNames;

TEST(LocalNames, MapAddressesBelowTheStartFolderIntoTheDestination)
{
    struct Case
    {
        const char* url;
        const char* dest;
        bool bIndex;
        const char* expected;
        bool bTemporary;
    };
    const Case cases[] = {
        {"http://host/a/x/y.html", "/d/", false, "/d/x/y.html", false},
        {"http://host/a/x/y.html", "/d", false, "/d/x/y.html", false},
        {"http://host/a/", "/d/", false, "/d/temp.html", true},
        {"http://host/a/", "/d/", true, "/d/index.html", false},
        {"http://host/a/sub/", "/d/", true, "/d/sub/index.html", false},
        {"http://host/a//b.html", "/d/", false, "/d/b.html", false},
        {"http://host/a///b.html", "/d/", false, "/d//b.html", false},
        {"http://host/a/page.asp?x=1", "/d/", false, "/d/page.asp?x=1", false},
        {"http://host/a/noext", "/d/", false, "/d/noext", false},
        {"http://host/a", "/d/", false, "/d/temp.html", true}, // shorter than the start folder
    };
    for (const Case& c : cases)
    {
        const LocalName name = MakeLocalName(c.url, "http://host/a/", c.dest, c.bIndex);
        EXPECT_EQ(name.strPath, c.expected) << c.url;
        EXPECT_EQ(name.bTemporary, c.bTemporary) << c.url;
    }
}

TEST(LocalNames, PureRulesOfNamesTypesAndStamps)
{
    struct Case
    {
        const char* input;
        const char* collapsed;
        const char* type;
        const char* stamped; // with " 1" as the stamp
    };
    const Case cases[] = {
        {"/d/a.htm", "/d/a.htm", "text/html", "/d/a 1.htm"},
        {"/d/a.html", "/d/a.html", "text/html", "/d/a 1.html"},
        {"/d/a.shtm", "/d/a.shtm", "text/html", "/d/a 1.shtm"},
        {"/d/x.y.shtml", "/d/x.y.shtml", "text/html", "/d/x.y 1.shtml"},
        {"/d/s.css", "/d/s.css", "text/css", "/d/s 1.css"},
        {"/d/a.HTM", "/d/a.HTM", "", "/d/a 1.HTM"}, // case counts
        {"/d/a.gif", "/d/a.gif", "", "/d/a 1.gif"},
        {"/d/a.html/x", "/d/a.html/x", "", "/d/a.html/x 1"}, // a dot in a folder is no extension
        {"/d/html", "/d/html", "", "/d/html 1"},
        {"/d/a.ht", "/d/a.ht", "", "/d/a 1.ht"},
        {"//d//a.gif", "//d/a.gif", "", "//d//a 1.gif"}, // the first character is kept as it is
        {"/d///a.gif", "/d//a.gif", "", "/d///a 1.gif"},
        {"readme", "readme", "", "readme 1"},
        {"", "", "", " 1"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(CollapseSeparators(c.input), c.collapsed) << c.input;
        EXPECT_EQ(TypeFromName(c.input), c.type) << c.input;
        EXPECT_EQ(IsHtmlName(c.input), std::string(c.type) == "text/html") << c.input;
        EXPECT_EQ(StampedName(c.input, " 1"), c.stamped) << c.input;
    }
}

TEST(LocalNames, NothingLeavesTheDestination)
{
    struct Case
    {
        const char* path;
        const char* dest;
        bool bInside;
    };
    const Case cases[] = {
        {"/d/a.html", "/d/", true},
        {"/d/a.html", "/d", true},
        {"/d/x/..y/z.html", "/d/", true}, // ".." only as a whole step
        {"/d/x/y../z.html", "/d/", true},
        {"/d/..", "/d/", false},
        {"/d/../e/a.html", "/d/", false},
        {"/d/x/../a.html", "/d/", false},
        {"/d/x/..", "/d/", false},
        {"/dd/a.html", "/d/", false}, // a neighbour that shares the prefix
        {"/e/a.html", "/d/", false},
        {"/d//a.html", "/d//", true}, // the destination is compared collapsed, as names are made
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInside(c.path, c.dest), c.bInside) << c.path << " in " << c.dest;
}

} // namespace
