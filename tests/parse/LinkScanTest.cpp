#include "ParseTestSupport.h"

#include <gtest/gtest.h>

namespace
{

using Values = std::vector<std::string>;

TEST(LinkScan, KeywordsMatchInAnyCaseAndValuesKeepTheirs)
{
    EXPECT_EQ(LinkValues("<A HREF='Dir/Page.HTML'>"), Values{"Dir/Page.HTML"});
    EXPECT_EQ(LinkValues("<img SrC=\"Pic.GIF\">"), Values{"Pic.GIF"});
    EXPECT_EQ(LinkValues("window.OPEN('popup.html','w')"), Values{"popup.html"});
    EXPECT_EQ(LinkValues("<a href=\"a.html\"><img src=\"b.gif\"> x.open('c.html')"),
              (Values{"a.html", "b.gif", "c.html"}))
        << "values come strictly left to right";
    EXPECT_EQ(LinkValues("x.open('o.html') href='h.html'"), (Values{"o.html", "h.html"}));
    EXPECT_EQ(LinkValues("<p>no links here</p>"), Values{});
}

TEST(LinkScan, ValuesEndAtTheFirstDelimiterButNotAtATab)
{
    EXPECT_EQ(LinkValues("<a href=index.html>"), Values{"index.html"});
    EXPECT_EQ(LinkValues("<a href='my page.html'>"), Values{"my"});
    EXPECT_EQ(LinkValues("<a href='my%20page.html'>"), Values{"my"}) << "escapes are decoded before scanning";
    EXPECT_EQ(LinkValues("<a href='page.html?id=3&amp;x=1'>"), Values{"page.html"});
    EXPECT_EQ(LinkValues("<a href=\"a&quot;b.html\">"), Values{"a"});
    EXPECT_EQ(LinkValues("<a href=a\tb.html>"), Values{"a\tb.html"});
    EXPECT_EQ(LinkValues("<a href='x.html"), Values{}) << "a value not closed on its line yields nothing";
    EXPECT_EQ(LinkValues("<a href='x.html\n'>"), Values{"x.html\n"}) << "only the reader splits lines";
}

TEST(LinkScan, BlanksAndOpeningQuotes)
{
    EXPECT_EQ(LinkValues("href = 'a.html'"), Values{"a.html"});
    EXPECT_EQ(LinkValues("href\t\v\f=\r \"b.html\""), Values{"b.html"});
    EXPECT_EQ(LinkValues("href=\"'c.html'\""), Values{"c.html"})
        << "a double quote then an apostrophe both go";
    EXPECT_EQ(LinkValues("href='\"d.html'"), Values{""})
        << "an apostrophe then a double quote: the quote ends it";
    EXPECT_EQ(LinkValues("href=\"\" src=\"e.gif\""), (Values{"", "e.gif"}))
        << "an empty value does not end the line";
}

TEST(LinkScan, AWrongCharacterAfterAKeywordAbandonsTheLine)
{
    EXPECT_EQ(LinkValues("<img alt=\"src\" src=\"real.gif\">"), Values{});
    EXPECT_EQ(LinkValues("href x src='a.gif'"), Values{});
    EXPECT_EQ(LinkValues("<a href=<b> src=y.gif>"), Values{}) << "a value beginning with '<' ends the line";
    EXPECT_EQ(LinkValues("<a href=a.html>src"), Values{"a.html"})
        << "a keyword at the very end yields nothing";
}

TEST(LinkScan, DotHrefHidesEveryHrefInTheRemainingText)
{
    EXPECT_EQ(LinkValues("<a href=a.html> location.href='b.html'"), Values{});
    EXPECT_EQ(LinkValues("<a href=a.html> location.href='b.html' <img src=c.gif>"), Values{"c.gif"});
    EXPECT_EQ(LinkValues("<a HREF=a.html> location.HREF='b.html'"), Values{}) << "in any case";
    EXPECT_EQ(LinkValues("location.href='b.html' <img src=c.gif> <a href=d.html>"),
              (Values{"c.gif", "d.html"}))
        << "once the scan is past the last .href, href counts again";
}

TEST(LinkScan, ScriptAtTheVeryStartOfALineHidesTheLine)
{
    EXPECT_EQ(LinkValues("<SCRIPT SRC=x.js>"), Values{});
    EXPECT_EQ(LinkValues("<script src=x.js> <a href=a.html>"), Values{});
    EXPECT_EQ(LinkValues(" <SCRIPT SRC=x.js>"), Values{"x.js"});
    EXPECT_EQ(LinkValues("<a href=a.html><script src=x.js>"), (Values{"a.html", "x.js"}));
}

TEST(LinkScan, OnlyFourCapitalsHttpAreLowered)
{
    EXPECT_EQ(LinkValues("href=HTTP://host/a/X.html>"), Values{"http://host/a/X.html"});
    EXPECT_EQ(LinkValues("href=Http://host/a/X.html>"), Values{"Http://host/a/X.html"});
    EXPECT_EQ(LinkValues("href=HTTPS://host/>"), Values{"httpS://host/"});
}

TEST(LinkScan, ScanLinkHandsBackTheRestFromTheDelimiterOn)
{
    std::string link;
    std::string rest;
    ASSERT_TRUE(CLinkParser::ScanLink("<a href='a.html'>x src=b.gif>", link, rest));
    EXPECT_EQ(link, "a.html");
    EXPECT_EQ(rest, "'>x src=b.gif>");
    ASSERT_TRUE(CLinkParser::ScanLink(rest, link, rest));
    EXPECT_EQ(link, "b.gif");
    EXPECT_EQ(rest, ">");
    EXPECT_FALSE(CLinkParser::ScanLink(rest, link, rest));
    EXPECT_FALSE(CLinkParser::ScanLink("<a href='a.html", link, rest));
    EXPECT_TRUE(rest.empty());
}

TEST(LinkScan, MultiByteTextIsKeptWhole)
{
    EXPECT_EQ(LinkValues("<a href='日本/ページ.html'>"), Values{"日本/ページ.html"});
    EXPECT_EQ(LinkValues("<A HREF='ÄÖ.html'>"), Values{"ÄÖ.html"}) << "lowering leaves non-ASCII bytes alone";
    EXPECT_EQ(LinkValues("\xff\xfe<a href='\xc3(x.html'>"), Values{"\xc3(x.html"});
}

// Lines scanned one after another share one lowering buffer; what a longer line left in it must
// never be found in a shorter one.
TEST(LinkScan, AReusedLoweringBufferHoldsNothingOfTheLineBefore)
{
    std::string lower;
    const auto scanAll = [&lower](const std::string& line)
    {
        Values values;
        CLineScan scan(line, lower);
        for (std::string link; scan.Next(link);)
            values.push_back(link);
        return values;
    };
    EXPECT_EQ(scanAll("<p>a long line of text before <a HREF='Old.html'> x.open('o.html')</p>"),
              (Values{"Old.html", "o.html"}));
    EXPECT_EQ(scanAll("<p>"), Values{});
    EXPECT_EQ(scanAll("SRC='New.gif' "), Values{"New.gif"});
    EXPECT_EQ(scanAll(""), Values{});
    EXPECT_EQ(scanAll("<a href='x.html'> x.open('p.html') and a long tail, then location.href"),
              Values{"p.html"});
    EXPECT_EQ(scanAll("<a href='y.html'>"), Values{"y.html"}) << "the \".href\" before is not this line's";
}

// Keywords are searched close ahead first and further on in a second search: one found wherever
// it lies, a keyword cut by the border between the two searches included.
TEST(LinkScan, KeywordsAreFoundAtAnyDistanceAhead)
{
    for (size_t gap = 0; gap < 2100; gap += gap < 480 || (gap > 560 && gap < 1990) ? 37 : 1)
    {
        const std::string filler(gap, 'x');
        EXPECT_EQ(LinkValues(filler + "HREF='a.html'"), Values{"a.html"}) << gap;
        EXPECT_EQ(LinkValues("src='a.gif' " + filler + "x.Open('b.html') " + filler + "src='c.gif' "),
                  (Values{"a.gif", "b.html", "c.gif"}))
            << gap;
    }
}

TEST(Decoding, EntitiesRestartUntilNoneIsLeft)
{
    const auto decoded = [](std::string line)
    {
        LinkDecoding::DecodeEntities(line);
        return line;
    };
    EXPECT_EQ(decoded("a&amp;b"), "a&b");
    EXPECT_EQ(decoded("&amp;amp;"), "&");
    EXPECT_EQ(decoded("&amp;amp;amp;x"), "&x");
    EXPECT_EQ(decoded("&amp;quot;"), "\"") << "ampersands are decoded before quotes";
    EXPECT_EQ(decoded("&quot;&quot;"), "\"\"");
    EXPECT_EQ(decoded("&&amp;amp;;"), "&&;");
    EXPECT_EQ(decoded("&AMP; &lt; &amp &quot"), "&AMP; &lt; &amp &quot")
        << "case-sensitive, two entities only";
    EXPECT_EQ(decoded("&quot;amp;"), "\"amp;");
}

TEST(Decoding, EscapesAreOnePassOverLettersAndDigits)
{
    const auto decoded = [](std::string line)
    {
        LinkDecoding::DecodeEscapes(line);
        return line;
    };
    EXPECT_EQ(decoded("%41"), "A");
    EXPECT_EQ(decoded("%4"), "%4");
    EXPECT_EQ(decoded("a%"), "a%");
    EXPECT_EQ(decoded("%-1%4/"), "%-1%4/");
    EXPECT_EQ(decoded("%%41"), "%A");
    EXPECT_EQ(decoded("%2541"), "%41") << "decoded characters are not examined again";
    EXPECT_EQ(decoded("%2e%2E"), "..");
    EXPECT_EQ(decoded("%4g"), "P") << "every letter counts: 4 * 16 + ('G' - 55)";
    EXPECT_EQ(decoded("%zz"), "S") << "kept to the low 8 bits";
    EXPECT_EQ(decoded("%e9"), "\xe9");
    EXPECT_EQ(decoded("%00"), std::string(1, '\0'));
    EXPECT_EQ(decoded("%\xc3\xa9"), "%\xc3\xa9");
}

} // namespace
