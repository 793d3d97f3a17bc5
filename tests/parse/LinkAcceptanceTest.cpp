#include "ParseTestSupport.h"
#include "settings/SettingsTable.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>
#include <memory>

namespace
{

using Strings = std::vector<std::string>;

// A run started from http://host/a/index.html, parsing http://host/a/p.html unless told otherwise.
class LinkAcceptance : public ::testing::Test
{
protected:
    CLinkParser& Parser()
    {
        if (!m_pParser)
        {
            m_pParser = std::make_unique<CLinkParser>(&m_queue, &m_visited, m_test.Settings(), &m_test.App());
            m_pParser->SetStartDir("http://host/a/");
            m_pParser->SetServerRoot("http://host");
            m_pParser->SetPage("http://host/a/p.html");
        }
        return *m_pParser;
    }

    // The queue after the page's lines have been accepted, head first.
    std::vector<QueuedAddress> Accept(const Strings& lines)
    {
        for (std::string line : lines)
        {
            LinkDecoding::DecodeEntities(line);
            LinkDecoding::DecodeEscapes(line);
            Parser().AcceptLinks(line);
        }
        return Drain(m_queue);
    }

    Strings AcceptedAddresses(const Strings& lines) { return Addresses(Accept(lines)); }

    CTestApp m_test;
    CUrlQueue m_queue;
    CVisitedList m_visited;
    std::unique_ptr<CLinkParser> m_pParser;
};

TEST_F(LinkAcceptance, RelativeAbsolutePathAndFullAddressesMeetInOneForm)
{
    EXPECT_EQ(AcceptedAddresses({"<a href=b.html>"}), Strings{"http://host/a/b.html"});
    EXPECT_EQ(AcceptedAddresses({"<a href=/a/b.html> <a href=http://host/a/b.html> <a href=./b.html>"}),
              Strings{"http://host/a/b.html"});
    EXPECT_EQ(AcceptedAddresses({"<a href=/x/y.html>"}), Strings{}) << "outside the start folder";
    EXPECT_EQ(AcceptedAddresses({"<a href=/a>"}), Strings{"http://host/a/"});

    Parser().SetPage("http://host/a/b/p.html");
    EXPECT_EQ(AcceptedAddresses({"<a href=../z.html> <a href=/a/b/c.html>"}),
              (Strings{"http://host/a/z.html", "http://host/a/b/c.html"}));
    Parser().SetPage("http://host/a/page.asp");
    EXPECT_EQ(AcceptedAddresses({"<img src=b.gif>"}), Strings{"http://host/a/page.asp/b.gif"})
        << "an address that is not .htm-like is its own folder";
    Parser().SetPage("http://host/a/b.shtml");
    EXPECT_EQ(AcceptedAddresses({"<img src=c.gif>"}), Strings{"http://host/a/c.gif"});
}

TEST_F(LinkAcceptance, OtherServersSchemesAnchorsAndDynamicPagesAreDropped)
{
    EXPECT_EQ(AcceptedAddresses({"<a href=http://other/x.html> <a href=https://host/a/x.html>",
                                 "<a href=mailto:someone> <a href=MAILTO:someone> <a href=ftp:x>",
                                 "<a href=FILE:c.html> <a href=#top> <a href=page.cgi> <a href=run.pl>",
                                 "<a href=./#top> <a href=\\> <a href=http://host>"}),
              Strings{});
    EXPECT_EQ(AcceptedAddresses({"<a href=page.CGI>"}), Strings{"http://host/a/page.CGI"})
        << "extensions are compared with case";
}

TEST_F(LinkAcceptance, AHostThatMerelyStartsLikeTheStartHostIsAnotherServer)
{
    // Read as "http://host" plus "ile/a/x.html", this would become http://host/a/ile/a/x.html.
    EXPECT_EQ(AcceptedAddresses({"<a href=http://hostile/a/x.html> <a href=http://host:8080/a/y.html>"}),
              Strings{});
    EXPECT_EQ(AcceptedAddresses({"<a href=http://host/a/z.html#f>"}), Strings{"http://host/a/z.html"});
}

TEST_F(LinkAcceptance, PagesGoToTheBackOtherFilesToTheFront)
{
    const auto queued = Accept({"<a href=b.html> <img src=pic.gif> <a href=sub> <img src=two.png>",
                                "<a href=PAGE.HTM> <a href=news:group> <a href=c.htm> <a href=d.shtml>"});
    const std::vector<QueuedAddress> expected = {
        {"http://host/a/PAGE.HTM", true}, // another file: the extension is compared with case
        {"http://host/a/two.png", true},  {"http://host/a/pic.gif", true},     {"http://host/a/b.html", true},
        {"http://host/a/sub/", true},     {"http://host/a/news:group/", true}, {"http://host/a/c.htm", true},
        {"http://host/a/d.shtml", true},
    };
    EXPECT_EQ(queued, expected);
}

TEST_F(LinkAcceptance, AnAddressIsQueuedOnceWhileWaitingOrAfterItIsDone)
{
    m_visited.Add("http://host/a/p.html");
    m_visited.Add("http://host/a/done.gif");
    EXPECT_EQ(AcceptedAddresses({"<a href=b.html#part> <a href=b.html> <a href=p.html> <img src=done.gif>",
                                 "<a href=b.html> <a href=B.html>"}),
              (Strings{"http://host/a/b.html", "http://host/a/B.html"}));
    Parser().AcceptLinks("<a href=c.html>");
    Parser().AcceptLinks("<a href=c.html>");
    EXPECT_EQ(m_queue.Count(), 1);
}

TEST_F(LinkAcceptance, ParentStepsAndDoubledSlashes)
{
    const auto resolved = [](std::string address)
    {
        AddressSteps::ResolveParentSteps(address);
        return address;
    };
    EXPECT_EQ(resolved("http://host/a/b/../c.html"), "http://host/a/c.html");
    EXPECT_EQ(resolved("http://host/a/b/c/../../d.html"), "http://host/a/d.html");
    EXPECT_EQ(resolved("http://host/a/b/./../c.html"), "http://host/a/b/c.html")
        << "the '.' counts as a folder";
    EXPECT_EQ(resolved("http://host/a/x..y.html"), "http://host/ay.html") << "also inside a file name";
    EXPECT_EQ(resolved("http://host/a/b/...html"), "http://host/a.html");
    EXPECT_EQ(resolved("../x"), "/x");
    EXPECT_EQ(resolved(".."), "");
    EXPECT_EQ(resolved("http://host/a/"), "http://host/a/");

    const auto collapsed = [](std::string address)
    {
        AddressSteps::CollapseSlashes(address);
        return address;
    };
    EXPECT_EQ(collapsed("http://host/a//b.html"), "http://host/a/b.html");
    EXPECT_EQ(collapsed("http://host/a///b.html"), "http://host/a//b.html") << "one pass only";
    EXPECT_EQ(collapsed("http://host/a////b.html"), "http://host/a//b.html");
    EXPECT_EQ(collapsed("http://host/a//"), "http://host/a//") << "a doubled slash at the very end stays";
    EXPECT_EQ(collapsed("http:///x"), "http:///x") << "the scheme's slashes are left alone";
    EXPECT_EQ(collapsed("/"), "/");
    EXPECT_EQ(collapsed(""), "");

    EXPECT_EQ(AcceptedAddresses({"<a href=b//c.html> <a href=x/../y.html> <a href=../a/z.html>"}),
              (Strings{"http://host/a/b/c.html", "http://host/a/y.html", "http://host/a/z.html"}));
}

TEST_F(LinkAcceptance, ValuesThatWouldSplitOrCutTheAddressAreDropped)
{
    EXPECT_EQ(AcceptedAddresses({"<img src=a%00b.gif> <a href=c%0Ad.html> <a href=e%0df.html>",
                                 std::string("<img src=g\0h.gif>", 17), "<a href=a\rb.html>"}),
              Strings{});
    EXPECT_EQ(AcceptedAddresses({"<a href=tab\there.html>"}), Strings{"http://host/a/tab\there.html"});
}

TEST_F(LinkAcceptance, DepthCountsFoldersBelowTheStartFolder)
{
    m_test.StoreDword(kValueDepth, 1);
    EXPECT_EQ(Parser().Depth(), 1u);
    EXPECT_TRUE(Parser().DepthAllowed("http://host/a/x.html"));
    EXPECT_FALSE(Parser().DepthAllowed("http://host/a/b/y.html"));
    EXPECT_FALSE(Parser().DepthAllowed("http://host/a/b/"));
    EXPECT_EQ(AcceptedAddresses({"<a href=x.html> <a href=b/y.html> <a href=b>"}),
              Strings{"http://host/a/x.html"});
}

TEST_F(LinkAcceptance, DepthTwoTakesOneFolderMoreAndNoDepthTakesAll)
{
    {
        m_test.StoreDword(kValueDepth, 2);
        EXPECT_EQ(AcceptedAddresses({"<a href=b> <a href=b/y.html> <a href=b/c/z.html> <a href=news:g>"}),
                  (Strings{"http://host/a/b/", "http://host/a/b/y.html", "http://host/a/news:g/"}));
    }
    m_pParser.reset();
    m_test.StoreDword(kValueDepth, 0);
    EXPECT_EQ(AcceptedAddresses({"<a href=b/c/d/e/f.html>"}), Strings{"http://host/a/b/c/d/e/f.html"});
}

TEST(FilterPattern, EntriesMatchTheWholeAddressWithoutCase)
{
    const std::string gif = "http://host/a/x.gif";
    EXPECT_TRUE(CLinkFilter::MatchPattern(gif, "*.gif"));
    EXPECT_TRUE(CLinkFilter::MatchPattern("http://host/a/PIC.GIF", "*.gif"));
    EXPECT_FALSE(CLinkFilter::MatchPattern("http://host/a/x.gif/y.gif", "*.gif"))
        << "the first occurrence must end the address";
    EXPECT_TRUE(CLinkFilter::MatchPattern("http://host/a/images/x.gif", "images*"))
        << "a trailing '*' matches anywhere";
    EXPECT_TRUE(CLinkFilter::MatchPattern("http://host/a/images/x.gif", "*images*"));
    EXPECT_FALSE(CLinkFilter::MatchPattern("http://host/a/img/x.gif", "*images*"));
    EXPECT_TRUE(CLinkFilter::MatchPattern("http://host/a/1.gif", "*?.gif"));
    EXPECT_TRUE(CLinkFilter::MatchPattern(gif, "HTTP://HOST/A/X.GIF"));
    EXPECT_FALSE(CLinkFilter::MatchPattern(gif, "x.gif")) << "without '*' the entry is the whole address";
    EXPECT_FALSE(CLinkFilter::MatchPattern(gif + "x", "http://host/a/x.gif"));
    EXPECT_TRUE(CLinkFilter::MatchPattern(gif, "http://host/a/?.gif"));
    EXPECT_FALSE(CLinkFilter::MatchPattern(gif, "http://host/a/??.gif"));
    EXPECT_FALSE(CLinkFilter::MatchPattern(gif, ""));
    EXPECT_TRUE(CLinkFilter::MatchPattern(gif, "*"));
    EXPECT_TRUE(CLinkFilter::MatchPattern(gif, "**"));
    EXPECT_TRUE(CLinkFilter::MatchPattern(gif, "*x.g?f*"));
    EXPECT_FALSE(CLinkFilter::MatchPattern(gif, "*x.g?g*"));
}

TEST(FilterPattern, WildcardSearchIsLeftmostAndMayEndTheText)
{
    EXPECT_EQ(CLinkFilter::FindWildcard("abcabc", "b?a"), 1);
    EXPECT_EQ(CLinkFilter::FindWildcard("abc", "?c"), 1);
    EXPECT_EQ(CLinkFilter::FindWildcard("abc", "c?"), -1);
    EXPECT_EQ(CLinkFilter::FindWildcard("abc", "???"), 0);
    EXPECT_EQ(CLinkFilter::FindWildcard("ab", "???"), -1);
    EXPECT_EQ(CLinkFilter::FindWildcard("xaab", "a?b"), 1);
    EXPECT_EQ(CLinkFilter::FindWildcard("aaab", "a?b"), 1);
    EXPECT_EQ(CLinkFilter::FindWildcard("", "?"), -1);
}

TEST_F(LinkAcceptance, IncludeFilterKeepsMatchesAndStillFollowsPages)
{
    m_test.StoreDword(kValueUseFilters, 1);
    m_test.StoreString(kValueFilter, "*.gif");
    const auto queued = Accept({"<img src=PIC.GIF> <a href=b.html> <a href=c.zip>"});
    const std::vector<QueuedAddress> expected = {{"http://host/a/PIC.GIF", true},
                                                 {"http://host/a/b.html", false}};
    EXPECT_EQ(queued, expected);
    EXPECT_TRUE(Parser().UsesFilters());
    EXPECT_FALSE(Parser().ExcludeMode());
}

TEST_F(LinkAcceptance, ExcludeFilterLeavesMatchesOut)
{
    m_test.StoreDword(kValueUseFilters, 1);
    m_test.StoreDword(kValueFilterExclude, 1);
    m_test.StoreString(kValueFilter, "*.zip;*b.html");
    const auto queued = Accept({"<a href=c.zip> <img src=d.gif> <a href=b.html> <a href=e.html>"});
    const std::vector<QueuedAddress> expected = {
        {"http://host/a/d.gif", true}, {"http://host/a/b.html", false}, {"http://host/a/e.html", true}};
    EXPECT_EQ(queued, expected);
}

TEST_F(LinkAcceptance, TheFilterTextSplitsAtEverySemicolonKeepingAnEmptyLastEntry)
{
    m_test.StoreDword(kValueUseFilters, 1);
    m_test.StoreString(kValueFilter, "*.gif;;*.jpg;");
    EXPECT_EQ(Parser().Filters(), (Strings{"*.gif", "", "*.jpg", ""}));
}

TEST_F(LinkAcceptance, AnEmptyStoredFilterMatchesNothing)
{
    m_test.StoreDword(kValueUseFilters, 1);
    m_test.StoreString(kValueFilter, "");
    EXPECT_EQ(Parser().Filters(), Strings{""});
    const std::vector<QueuedAddress> included = {{"http://host/a/b.html", false}};
    EXPECT_EQ(Accept({"<img src=x.gif> <a href=b.html>"}), included);

    m_pParser.reset();
    m_test.StoreDword(kValueFilterExclude, 1);
    const std::vector<QueuedAddress> excluded = {{"http://host/a/x.gif", true},
                                                 {"http://host/a/b.html", true}};
    EXPECT_EQ(Accept({"<img src=x.gif> <a href=b.html>"}), excluded);
}

TEST_F(LinkAcceptance, FilterValuesAreReadOnlyWhenFilteringIsOn)
{
    m_test.StoreDword(kValueUseFilters, 0);
    m_test.StoreDword(kValueFilterExclude, 1);
    m_test.StoreString(kValueFilter, "*.gif");
    EXPECT_FALSE(Parser().UsesFilters());
    EXPECT_FALSE(Parser().ExcludeMode());
    EXPECT_TRUE(Parser().Filters().empty());
    EXPECT_TRUE(Parser().PassesFilter("http://host/a/x.zip"));
}

TEST_F(LinkAcceptance, FilteringWithoutAStoredFilterPassesEverything)
{
    m_test.StoreDword(kValueUseFilters, 1);
    EXPECT_TRUE(Parser().UsesFilters());
    EXPECT_TRUE(Parser().Filters().empty());
    EXPECT_TRUE(Parser().PassesFilter("http://host/a/x.zip"));
    EXPECT_EQ(Parser().Depth(), 0u);
}

// With a start address on an explicit port, absolute links to the same server and absolute-path
// links must land where they would on port 80.
TEST(LinkAcceptancePorts, ANamedPortStaysInTheSitePrefixAndServerRoot)
{
    CTestApp test;
    CUrlQueue queue;
    CVisitedList visited;
    CLinkParser parser(&queue, &visited, test.Settings(), &test.App());
    parser.SetStartDir("http://127.0.0.1:8080/site/");
    parser.SetServerRoot("http://127.0.0.1:8080");
    parser.SetPage("http://127.0.0.1:8080/site/index.html");
    parser.AcceptLinks(
        "<a href=http://127.0.0.1:8080/site/a.html> <a href=/site/b.html> <a href=/other/c.html>");
    parser.AcceptLinks("<a href=http://127.0.0.1/site/d.html> <a href=http://127.0.0.1:80800/site/e.html>");
    parser.AcceptLinks("<a href=http://127.0.0.1:8080/site/sub/f.html> <img src=../site/g.gif>");

    parser.SetPage("http://127.0.0.1:8080/site/sub/f.html");
    parser.AcceptLinks("<a href=/site/sub/h.html> <a href=../i.html>");

    EXPECT_EQ(Addresses(Drain(queue)),
              (Strings{"http://127.0.0.1:8080/site/g.gif", "http://127.0.0.1:8080/site/a.html",
                       "http://127.0.0.1:8080/site/b.html", "http://127.0.0.1:8080/site/sub/f.html",
                       "http://127.0.0.1:8080/site/sub/h.html", "http://127.0.0.1:8080/site/i.html"}));
}

} // namespace
