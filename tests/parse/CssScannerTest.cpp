#include "parse/CssScanner.h"

#include "parse/HtmlStyleScanner.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

using Values = std::vector<std::string>;

Values CssValues(const std::string& text)
{
    Values values;
    CCssScanner scanner([&](std::string_view value) { values.emplace_back(value); });
    scanner.Feed(text);
    scanner.Finish();
    return values;
}

// The same text fed one byte at a time: a stylesheet arrives in blocks that cut anywhere.
Values CssValuesByteByByte(const std::string& text)
{
    Values values;
    CCssScanner scanner([&](std::string_view value) { values.emplace_back(value); });
    for (const char c : text)
        scanner.Feed(std::string_view(&c, 1));
    scanner.Finish();
    return values;
}

Values StyleValues(const std::string& page)
{
    Values values;
    CHtmlStyleScanner scanner([&](std::string_view value) { values.emplace_back(value); });
    for (const char c : page)
        scanner.Feed(std::string_view(&c, 1));
    scanner.Finish();
    return values;
}

struct CssCase
{
    const char* text;
    Values expected;
    const char* why;
};

TEST(CssScanner, FindsUrlAndImportValuesAsTheTokenizerReadsThem)
{
    const CssCase cases[] = {
        {"a{background:url(img/a.png)}", {"img/a.png"}, "unquoted"},
        {"a{background:url( 'b c.png' )}", {"b c.png"}, "quoted, blanks around"},
        {"a{background:url(\"d.png\")}", {"d.png"}, "double quotes"},
        {"a{b:URL(e.png) Url(f.png)}", {"e.png", "f.png"}, "the function name ignores case"},
        {"@import \"g.css\";", {"g.css"}, "@import with a string"},
        {"@import 'h.css' screen;", {"h.css"}, "@import with media"},
        {"@IMPORT url(i.css);", {"i.css"}, "@import with url()"},
        {"@import /* note */ 'j.css';", {"j.css"}, "a comment before the string"},
        {"@media print{} @charset 'utf-8'; 'k.css'", {}, "a string after other at-rules names nothing"},
        {"/* url(l.png) */ a{}", {}, "comments are skipped"},
        {"/* a * b **/url(m.png)", {"m.png"}, "stars inside a comment"},
        {"a{content:\"url(n.png)\"}", {}, "url( inside a string names nothing"},
        {"a{content:'it\\'s'} url(o.png)", {"o.png"}, "an escaped quote does not end the string"},
        {"url(p\\).png)", {"p).png"}, "an escaped parenthesis belongs to the value"},
        {"url(\\71 .png)", {"q.png"}, "a hex escape swallows one blank"},
        {"url(\\000072.png)", {"r.png"}, "six hex digits at most"},
        {"url('\\e9t\\E9.png')", {"\xC3\xA9t\xC3\xA9.png"}, "hex escapes become UTF-8"},
        {"url(\\0.png)", {"\xEF\xBF\xBD.png"}, "NUL is replaced"},
        {"url(\\110000.png)", {"\xEF\xBF\xBD.png"}, "beyond Unicode is replaced"},
        {"u\\72l(s.png) \\75rl(t.png)", {"s.png", "t.png"}, "the name itself may be escaped"},
        {"xurl(u.png) #url(v.png) @url(w.png) -url(x.png)", {}, "only the plain word url"},
        {".url(y.png) +url(z.png)", {"y.png", "z.png"}, "a delimiter before url is no part of it"},
        {"url (a1.png)", {}, "no blank between url and ("},
        {"url(a b.png) url(c2.png)", {"c2.png"}, "a blank inside an unquoted url spoils it"},
        {"url(a(b.png) url(d2.png)", {"d2.png"}, "a parenthesis inside spoils it"},
        {"url(a\"b.png) url(e2.png)", {"e2.png"}, "a quote inside spoils it"},
        {"url(bad\\)x y) url(f2.png)", {"f2.png"}, "a spoilt url ends at an unescaped )"},
        {"url('g2.png\nh.png) url(i2.png)", {"i2.png"}, "a string ends at a line break and names nothing"},
        {"url('j2\\\n.png')", {"j2.png"}, "an escaped line break continues a string"},
        {"url(k2.png", {"k2.png"}, "an unclosed url ends with the text"},
        {"@import 'l2.css", {"l2.css"}, "an unclosed string ends with the text"},
        {"url()", {""}, "an empty url"},
        {"a\r\nb{x:url(\r m2.png\f)}", {"m2.png"}, "CR, CR LF and FF are line breaks"},
        {"url(\x01n2.png) url(o2.png)", {"o2.png"}, "a control byte spoils an unquoted url"},
        {"url(\xE4\xB8\xAD.png)", {"\xE4\xB8\xAD.png"}, "UTF-8 passes through"},
    };
    for (const CssCase& test : cases)
    {
        EXPECT_EQ(CssValues(test.text), test.expected) << test.why << ": " << test.text;
        EXPECT_EQ(CssValuesByteByByte(test.text), test.expected) << "byte by byte, " << test.why;
    }
}

TEST(CssScanner, DropsAValueLongerThanItsLimitAndGoesOn)
{
    const std::string longValue(CCssScanner::kMaxValue + 1, 'a');
    EXPECT_EQ(CssValues("url(" + longValue + ") url(b.png)"), Values{"b.png"});
    const std::string fitting(CCssScanner::kMaxValue, 'c');
    EXPECT_EQ(CssValues("url('" + fitting + "')"), Values{fitting});
}

TEST(CssScanner, FinishEndsOneTextAndTheNextStartsClean)
{
    Values values;
    CCssScanner scanner([&](std::string_view value) { values.emplace_back(value); });
    scanner.Feed("a{content:'open");
    scanner.Finish();
    scanner.Feed("url(a.png)");
    scanner.Finish();
    EXPECT_EQ(values, Values{"a.png"}) << "a string left open must not swallow the next text";
}

TEST(HtmlStyleScanner, ReadsStyleBlocksAndStyleAttributesOnly)
{
    EXPECT_EQ(StyleValues("<style>a{background:url(a.png)}</style> url(b.png)"), Values{"a.png"});
    EXPECT_EQ(StyleValues("<STYLE type=\"text/css\">\n@import 'c.css';\n</STYLE>"), Values{"c.css"});
    EXPECT_EQ(StyleValues("<div style=\"background:url(d.png)\">url(e.png)</div>"), Values{"d.png"});
    EXPECT_EQ(StyleValues("<div STYLE='background:url(&quot;f.png&quot;)'>"), Values{"f.png"})
        << "character references in an attribute are decoded";
    EXPECT_EQ(StyleValues("<p style=background:url(g.png)>"), Values{"g.png"}) << "an unquoted value";
    EXPECT_EQ(StyleValues("<p title=\"style='x:url(h.png)'\" data-style=\"url(i.png)\">"), Values{})
        << "another attribute's value, or a longer name, is no style";
    EXPECT_EQ(StyleValues("<!-- <style>url(j.png)</style> --><style>url(k.png)</style>"), Values{"k.png"});
    EXPECT_EQ(StyleValues("<style>a{content:'</stylex>'} b{x:url(l.png)}</style >"), Values{"l.png"})
        << "</style must end the name to close the block";
    EXPECT_EQ(StyleValues("<p style=\"x:url('m.png\">url(n.png)"), Values{"m.png"})
        << "each attribute value is a stylesheet of its own";
    EXPECT_EQ(StyleValues("<style>url(o.png"), Values{"o.png"});
    EXPECT_EQ(StyleValues("<styles>url(p.png)</styles>"), Values{});
}

} // namespace
