#include "parse/LinkConverter.h"

#include "ParseTestSupport.h"
#include "settings/RunSettings.h"

#include <gtest/gtest.h>

namespace
{

constexpr const char* kPage = "http://host/docs/guide/page.html";

// What the crawl records for a page: each site as the bytes it covers, and the address.
struct SeenSite
{
    std::string raw;
    std::string address;
    bool bCut;
    bool operator==(const SeenSite&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SeenSite& site)
{
    return out << "{" << site.raw << ", " << site.address << ", " << site.bCut << "}";
}

std::vector<LinkSite> ParseSites(std::string_view text, bool bStyles)
{
    CUrlQueue queue;
    CVisitedList visited;
    CLinkParser parser(&queue, &visited, RunSettings{}, nullptr);
    parser.SetStartDir("http://host/docs/");
    parser.SetServerRoot("http://host");
    parser.SetPage(kPage);
    std::vector<LinkSite> sites;
    parser.SetSites(&sites);
    if (bStyles)
        parser.ParseStylesText(text);
    else
        parser.ParseText(text);
    return sites;
}

std::vector<SeenSite> Seen(std::string_view text, const std::vector<LinkSite>& sites)
{
    std::vector<SeenSite> seen;
    for (const LinkSite& site : sites)
    {
        const bool bInside = site.nBegin <= site.nEnd && site.nEnd <= text.size();
        seen.push_back(
            {bInside ? std::string(text.substr(site.nBegin, site.nEnd - site.nBegin)) : "<outside>",
             site.address, site.bCut});
    }
    return seen;
}

TEST(LinkSites, EachValueIsFoundWhereItIsWrittenWhole)
{
    const std::string g = "http://host/docs/guide/";
    const struct
    {
        const char* text;
        std::vector<SeenSite> expected;
    } cases[] = {
        {"<a href=\"next.html\">", {{"next.html", g + "next.html", false}}},
        {"<a href=\"my%20page.html\">", {{"my%20page.html", g + "my/", true}}},
        {"<a href=\"x.html?q=1#top\">", {{"x.html?q=1#top", g + "x.html", false}}},
        {"<a href=\"my page.html\"><a href=x.html?y>",
         {{"my page.html", g + "my/", true}, {"x.html?y", g + "x.html", false}}},
        {"<a href='a b\nc.html'>", {{"a", g + "a/", true}}},
        // A script is never fetched; its value can only become its address.
        {"<a href=\"find.cgi?q=1\">", {{"find.cgi?q=1", "", false}}},
        {"<a href=\"x%3Fy.html\">", {{"x%3Fy.html", g + "x/", true}}},
        {"<a href=\"a%23b.html\">", {{"a%23b.html", g + "a/", true}}},
        {"<a href=\"a&amp;b.html\">", {{"a&amp;b.html", g + "a&b.html", false}}},
        {"<a href=&quot;q.html&quot;>", {{"q.html", g + "q.html", false}}},
        {"<img src=pic.png alt=x>", {{"pic.png", g + "pic.png", false}}},
        {"<img src=my%20pic.png>", {{"my%20pic.png", g + "my/", true}}},
        {"<a href='/top.html'>", {{"/top.html", "http://host/top.html", false}}},
        {"<a href=\"http://host/docs/a.html\">",
         {{"http://host/docs/a.html", "http://host/docs/a.html", false}}},
        {"<a href=\"http://elsewhere/a.html\"><a href=\"mailto:x@y\"><a href=\"#top\">", {}},
        // The page's own folder is not followed, but a browser goes there.
        {"<a href=\"/docs/guide/\"><a href=\"http://host/docs/guide/#s\">",
         {{"/docs/guide/", g, false}, {"http://host/docs/guide/#s", g, false}}},
        // Offsets run on over line ends of both kinds.
        {"<p>\r\n<a href=\"one.html\">\n\n  <img src=\"two.gif\">",
         {{"one.html", g + "one.html", false}, {"two.gif", g + "two.gif", false}}},
        {"<a href=\"a%2Fb.html\" title=\"x\"><img src=\"%7Euser/p.png\">",
         {{"a%2Fb.html", g + "a/b.html", false}, {"%7Euser/p.png", g + "~user/p.png", false}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Seen(c.text, ParseSites(c.text, false)), c.expected) << c.text;
}

TEST(LinkSites, StyleValuesAreFoundWhereTheyAreWritten)
{
    const std::string g = "http://host/docs/guide/";
    const struct
    {
        const char* text;
        std::vector<SeenSite> expected;
    } cases[] = {
        {"<style>body{background:url( 'img/bg.png' )}</style>", {{"img/bg.png", g + "img/bg.png", false}}},
        {"<style>\r\nh1{background:url( b.png  )}\r\n@import \"c.css\";</style>",
         {{"b.png", g + "b.png", false}, {"c.css", g + "c.css", false}}},
        {"<div style=\"background:url(&quot;a.png&quot;)\">", {{"a.png", g + "a.png", false}}},
        {"<div style='background:url(&#x2F;r.png)'>", {{"&#x2F;r.png", "http://host/r.png", false}}},
        {"<style>i{background:url(\"\")}</style>", {}},
        {"<style>i{background:url(x\\(1\\).png?v=2#k)}</style>",
         {{"x\\(1\\).png?v=2#k", g + "x(1).png", false}}},
        {"<style>/* url(no.png) */ i{background:url(data:image/png;base64,AAA)}</style>", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Seen(c.text, ParseSites(c.text, true)), c.expected) << c.text;
}

TEST(LinkConverter, EachValueLeadsToItsFileOrToItsAddress)
{
    const std::string d = "/m/";
    const CLinkConverter::Targets targets = {
        {"http://host/docs/guide/next.html", d + "guide/next.html"},
        {"http://host/docs/index.html", d + "index.html"},
        {"http://host/docs/sub/", d + "sub/index.html"},
        {"http://host/docs/guide/a&b.html", d + "guide/a&b.html"},
        {"http://host/docs/guide/q?x 1%.html", d + "guide/q?x 1%.html"},
        {"http://host/docs/img/pic.png", d + "img/pic.png"},
        {"http://host/docs/guide/page.html", d + "guide/page.html"},
        {"http://host/docs/c:d.html", d + "c:d.html"},
        {"http://host/docs/guide/c:e.html", d + "guide/c:e.html"},
    };
    const CLinkConverter converter(targets);
    const struct
    {
        const char* raw;
        const char* address;
        bool bCut;
        const char* expected;
    } cases[] = {
        {"next.html", "http://host/docs/guide/next.html", false, "next.html"},
        {"/docs/index.html#intro", "http://host/docs/index.html", false, "../index.html#intro"},
        {"http://host/docs/sub/", "http://host/docs/sub/", false, "../sub/index.html"},
        {"../sub", "http://host/docs/sub/", false, "../sub/index.html"},
        {"a&amp;b.html", "http://host/docs/guide/a&b.html", false, "a%26b.html"},
        {"q%3Fx%201%25.html", "http://host/docs/guide/q?x 1%.html", false, "q%3Fx%201%25.html"},
        {"../img/pic.png?v=3", "http://host/docs/img/pic.png", false, "../img/pic.png"},
        {"#top", "http://host/docs/guide/page.html", false, "page.html#top"},
        {"../c:d.html", "http://host/docs/c:d.html", false, "../c:d.html"},
        {"c:e.html", "http://host/docs/guide/c:e.html", false, "./c:e.html"},
        // Not in the mirror: the address, as a browser reads the value on the page.
        {"missing.html", "http://host/docs/guide/missing.html", false, "http://host/docs/guide/missing.html"},
        {"../../outside/x.html?q=1#f", "http://host/outside/x.html", false,
         "http://host/outside/x.html?q=1#f"},
        {"/root.html", "http://host/root.html", false, "http://host/root.html"},
        {"./a/./b/../c.html", "http://host/docs/guide/a/c.html", false, "http://host/docs/guide/a/c.html"},
        {"http://other/x.html", "", false, "http://other/x.html"},
        {"../find.cgi?q=a%20b", "", false, "http://host/docs/find.cgi?q=a%20b"},
        {"//cdn.example/x.js", "", false, "//cdn.example/x.js"},
        // The crawl cut the value: its address is another file than the value names.
        {"next.html%20copy", "http://host/docs/guide/next.html", true,
         "http://host/docs/guide/next.html%20copy"},
    };
    for (const auto& c : cases)
    {
        const LinkSite site{0, 0, c.address, c.bCut};
        EXPECT_EQ(converter.NewValue(c.raw, site, kPage, "/m/guide/"), c.expected) << c.raw;
    }

    // A page whose address has no .htm: the crawl read its values against a folder of its own
    // name, a browser against the page's folder; the file the browser asks for is what counts.
    const char* kScript = "http://host/docs/guide/list.php";
    const struct
    {
        const char* raw;
        const char* address;
        const char* expected;
    } scripts[] = {
        {"next.html", "http://host/docs/guide/list.php/next.html", "next.html"},
        {"a%26b.html?x", "http://host/docs/guide/list.php/a&b.html", "a%26b.html"},
        {"gone.html", "http://host/docs/guide/list.php/gone.html", "http://host/docs/guide/gone.html"},
    };
    for (const auto& c : scripts)
        EXPECT_EQ(converter.NewValue(c.raw, LinkSite{0, 0, c.address, false}, kScript, "/m/guide/"),
                  c.expected)
            << c.raw;
}

TEST(LinkConverter, PathsAndAddressesAreBuiltAsABrowserReadsThem)
{
    const struct
    {
        const char* from;
        const char* to;
        const char* expected;
    } paths[] = {
        {"/m/", "/m/a.html", "a.html"},
        {"/m/a/b/", "/m/a/x.html", "../x.html"},
        {"/m/a/b/", "/m/c/d/x.html", "../../c/d/x.html"},
        {"/m/ab/", "/m/a/x.html", "../a/x.html"},
        {"/m/a/", "/m/a/b/c/x.html", "b/c/x.html"},
    };
    for (const auto& p : paths)
        EXPECT_EQ(CLinkConverter::RelativePath(p.from, p.to), p.expected) << p.from << " -> " << p.to;

    const struct
    {
        const char* raw;
        const char* page;
        const char* expected;
    } addresses[] = {
        {"x.html", "http://h:8080/a/b.html", "http://h:8080/a/x.html"},
        {"../../../x.html", "http://h/a/b.html", "http://h/x.html"},
        {"?p=2", "http://h/a/b.html", "http://h/a/b.html?p=2"},
        {"", "http://h/a/", "http://h/a/"},
        {"x.html", "http://h/a/my dir/\"q\".html", "http://h/a/my%20dir/x.html"},
        {"sub/", "http://h", "http://h/sub/"},
        {"..", "http://h/a/b/c.html", "http://h/a/"},
    };
    for (const auto& a : addresses)
        EXPECT_EQ(CLinkConverter::Resolve(a.raw, a.page), a.expected) << a.raw << " on " << a.page;
}

TEST(LinkConverter, OnlyTheValuesChangeAndConvertingTwiceChangesNothingMore)
{
    const std::string text = "<html>\r\n<a href=\"next.html\">n</a> <a href='/docs/index.html#i'>i</a>\n"
                             "<img src=../img/pic.png alt=\"a\"> <a href=\"gone.html?x=1\">g</a>\n"
                             "<style>p{background:url(../img/pic.png)}</style>\n";
    const CLinkConverter::Targets targets = {
        {"http://host/docs/guide/next.html", "/m/guide/next.html"},
        {"http://host/docs/index.html", "/m/index.html"},
        {"http://host/docs/img/pic.png", "/m/img/pic.png"},
    };
    const CLinkConverter converter(targets);
    std::vector<LinkSite> sites = ParseSites(text, false);
    for (LinkSite& site : ParseSites(text, true))
        sites.push_back(site);
    const std::string once = converter.Convert(text, kPage, "/m/guide/page.html", sites);
    EXPECT_EQ(once,
              "<html>\r\n<a href=\"next.html\">n</a> <a href='../index.html#i'>i</a>\n"
              "<img src=../img/pic.png alt=\"a\"> <a href=\"http://host/docs/guide/gone.html?x=1\">g</a>\n"
              "<style>p{background:url(../img/pic.png)}</style>\n");

    std::vector<LinkSite> again = ParseSites(once, false);
    for (LinkSite& site : ParseSites(once, true))
        again.push_back(site);
    EXPECT_EQ(converter.Convert(once, kPage, "/m/guide/page.html", again), once);

    // Sites out of the text or overlapping one before them are passed over, not trusted.
    const std::vector<LinkSite> bad = {
        {9, 13, "http://host/docs/index.html", false},
        {11, 15, "http://host/docs/index.html", false},
        {static_cast<std::uint64_t>(text.size()), text.size() + 4, "x", false}};
    const std::string converted = converter.Convert(text, kPage, "/m/guide/page.html", bad);
    EXPECT_EQ(converted, text.substr(0, 9) + "../index.html" + text.substr(13));
}

} // namespace
