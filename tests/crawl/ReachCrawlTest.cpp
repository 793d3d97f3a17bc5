#include "CrawlRunner.h"
#include "parse/LinkReportFile.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <chrono>
#include <gtest/gtest.h>

namespace
{

using Files = std::set<std::string>;

class ReachCrawlTest : public ::testing::Test
{
protected:
    // Each run into a folder of its own: files already there would be kept, not fetched.
    std::optional<bool> Crawl(const std::string& path, bool bCrawl = true, ILinkReport* pReport = nullptr)
    {
        folders.push_back(std::make_unique<CTempDir>());
        CCrawlJob job(app.App(), app.Settings(), server.Url(path), Dest(), "", "", bCrawl);
        job.SetLinkReport(pReport);
        return runner.Run(job);
    }

    const std::string& Dest() const { return folders.empty() ? app.Destination() : folders.back()->Path(); }

    CTestApp app;
    std::vector<std::unique_ptr<CTempDir>> folders;
    CTestHttpServer server;
    CCrawlRunner runner;
};

TEST_F(ReachCrawlTest, PagesWithACharsetAreReadOnlyWhenAskedFor)
{
    server.Serve("/a/index.html", TestResponse::Ok("<a href=\"b.html\">b</a>\n", "text/html; charset=utf-8"));
    server.Serve("/a/b.html", TestResponse::Ok("<a href=\"c.html\">c</a>\n", "TEXT/HTML"));
    server.Serve("/a/c.html", TestResponse::Ok("<a href=\"d.html\">d</a>\n", "application/xhtml+xml"));
    server.Serve("/a/d.html", TestResponse::Ok("<a href=\"e.html\">e</a>\n", "text/plain"));
    server.Serve("/a/e.html", TestResponse::Ok("end\n"));

    EXPECT_EQ(Crawl("/a/index.html"), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(Dest()), Files{"index.html"}) << "the Parts' rule: the exact type only";

    app.StoreDword(kValueHtmlWithParameters, 1);
    EXPECT_EQ(Crawl("/a/index.html"), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(Dest()), (Files{"index.html", "b.html", "c.html", "d.html"}))
        << "any case, any parameters and XHTML are read; text/plain is not";
}

TEST_F(ReachCrawlTest, StylesheetsAreFollowedOnlyWhenAskedFor)
{
    server.Serve("/a/index.html",
                 TestResponse::Ok("<link rel=stylesheet href=\"css/site.css\">\n"
                                  "<style>body{background:url(img/body.png)}</style>\n"
                                  "<div style=\"background:url(&quot;img/div.png&quot;)\">x</div>\n"));
    server.Serve("/a/css/site.css", TestResponse::Ok("@import \"more.css\";\n"
                                                     "/* url(img/commented.png) */\n"
                                                     "h1{background:url('../img/head.png?v=2')}\n"
                                                     "p{background:url(/elsewhere/x.png)}\n"
                                                     "q{background:url(data:image/png;base64,AAAA)}\n",
                                                     "text/css; charset=utf-8"));
    server.Serve("/a/css/more.css", TestResponse::Ok("li{list-style:url(dot.gif)}\n", "text/css"));
    for (const char* file : {"/a/img/body.png", "/a/img/div.png", "/a/img/head.png", "/a/css/dot.gif"})
        server.Serve(file, TestResponse::Ok("PNG", "image/png"));

    EXPECT_EQ(Crawl("/a/index.html", false), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(Dest()), (Files{"index.html", "css/site.css"}));

    app.StoreDword(kValueFollowCss, 1);
    server.ClearLog();
    EXPECT_EQ(Crawl("/a/index.html", false), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(Dest()), (Files{"index.html", "css/site.css", "css/more.css", "css/dot.gif",
                                      "img/body.png", "img/div.png", "img/head.png"}))
        << "stylesheets are read whatever the crawl option says";
    EXPECT_EQ(server.CountOf("/elsewhere/x.png"), 0u) << "outside the start folder";
    EXPECT_EQ(server.CountOf("/a/img/commented.png"), 0u);
}

TEST_F(ReachCrawlTest, RobotsRulesAreFetchedOnceNotStoredAndHonoured)
{
    server.Serve("/robots.txt", TestResponse::Ok("User-agent: *\nDisallow: /a/private/\n", "text/plain"));
    server.Serve("/a/index.html",
                 TestResponse::Ok("<a href=\"private/x.html\">x</a> <a href=\"ok.html\">ok</a>\n"
                                  "<a href=\"private/y.html\">y</a>\n"));
    server.Serve("/a/ok.html", TestResponse::Ok("<a href=\"private/z.html\">z</a>\n"));
    server.Serve("/a/private/x.html", TestResponse::Ok("x\n"));

    EXPECT_EQ(Crawl("/a/index.html"), std::optional<bool>(true));
    EXPECT_EQ(server.CountOf("/robots.txt"), 0u) << "off by default";
    EXPECT_EQ(server.CountOf("/a/private/x.html"), 1u);

    app.StoreDword(kValueRobots, 1);
    server.ClearLog();
    CTempDir reportFolder;
    CLinkReportFile report;
    ASSERT_TRUE(report.Open(reportFolder / "why.csv"));
    EXPECT_EQ(Crawl("/a/index.html", true, &report), std::optional<bool>(true));
    ASSERT_TRUE(report.Close());
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/robots.txt", "/a/index.html", "/a/ok.html"}));
    EXPECT_FALSE(FileSystem::Exists(Dest() + "robots.txt"));
    EXPECT_NE(ReadWholeFile(reportFolder / "why.csv")
                  .find(server.Url("/a/index.html") + ",private/x.html," + server.Url("/a/private/x.html") +
                        ",disallowed by robots.txt\r\n"),
              std::string::npos);

    // Without a robots.txt everything is allowed, and its absence is no failure worth a line.
    CTestHttpServer bare;
    bare.Serve("/a/index.html", TestResponse::Ok("<a href=\"private/x.html\">x</a>\n"));
    bare.Serve("/a/private/x.html", TestResponse::Ok("x\n"));
    CTempDir bareDest;
    CCrawlJob job(app.App(), app.Settings(), bare.Url("/a/index.html"), bareDest.Path(), "", "", true);
    EXPECT_EQ(runner.Run(job), std::optional<bool>(true));
    EXPECT_EQ(bare.CountOf("/a/private/x.html"), 1u);
    EXPECT_EQ(app.LogText().find("robots.txt"), std::string::npos) << app.LogText();
}

TEST_F(ReachCrawlTest, ARobotsTxtTheServerFailsToServeLeavesOutAllButTheStartPageAndFailsTheRun)
{
    struct Case
    {
        const char* name;
        int status; // 0: a body the connection cuts short
        bool bAllowed;
        const char* logged; // in the one line that says why, for a refusal
    };
    const Case cases[] = {
        {"503", 503, false, "(the server answered 503)"},
        {"500", 500, false, "(the server answered 500)"},
        {"cut", 0, false, "(Error: ("},
        {"403", 403, true, ""},
        {"410", 410, true, ""},
        {"401", 401, true, ""},
        {"404", 404, true, ""},
    };
    app.StoreDword(kValueRobots, 1);
    app.StoreDword(kValueRetries, 1);
    app.StoreDword(kValueContinueOnError, 1);
    server.Serve("/a/index.html",
                 TestResponse::Ok("<a href=\"private/x.html\">x</a> <img src=\"pic.gif\">\n"));
    server.Serve("/a/private/x.html", TestResponse::Ok("x\n"));
    server.Serve("/a/pic.gif", TestResponse::Ok("GIF89a", "image/gif"));
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        TestResponse robots = TestResponse::Ok("User-agent: *\nDisallow: /a/private/\n", "text/plain");
        if (test.status == 0)
            robots.contentLength = 4000; // the connection closes long before the body's end
        else
            robots.status = test.status;
        server.Serve("/robots.txt", robots);
        server.ClearLog();
        const size_t nLogBefore = app.LogText().size();
        CTempDir reportFolder;
        CLinkReportFile report;
        ASSERT_TRUE(report.Open(reportFolder / "why.csv"));
        EXPECT_EQ(Crawl("/a/index.html", true, &report), std::optional<bool>(test.bAllowed));
        ASSERT_TRUE(report.Close());

        EXPECT_EQ(ReadWholeFile(Dest() + "index.html"),
                  "<a href=\"private/x.html\">x</a> <img src=\"pic.gif\">\n")
            << "the start page is the user's, not the site's";
        EXPECT_EQ(FileSystem::Exists(Dest() + "private/x.html"), test.bAllowed);
        EXPECT_EQ(FileSystem::Exists(Dest() + "pic.gif"), test.bAllowed);
        const std::string why = ReadWholeFile(reportFolder / "why.csv");
        const size_t nDisallowed = test.bAllowed ? 0 : 2;
        size_t nFound = 0;
        for (size_t at = why.find(",disallowed by robots.txt\r\n"); at != std::string::npos;
             at = why.find(",disallowed by robots.txt\r\n", at + 1))
            ++nFound;
        EXPECT_EQ(nFound, nDisallowed) << why;
        // A failure is tried again as any address is; an answer that says "no such file" is not.
        EXPECT_EQ(server.CountOf("/robots.txt"), test.bAllowed ? 1u : 2u);

        const std::string log = app.LogText().substr(nLogBefore);
        const size_t line = log.find(" : Unable to read robots.txt ");
        if (test.bAllowed)
        {
            EXPECT_EQ(line, std::string::npos) << log;
            continue;
        }
        ASSERT_NE(line, std::string::npos) << log;
        EXPECT_EQ(log.find(" : Unable to read robots.txt ", line + 1), std::string::npos)
            << "one line: " << log;
        const std::string text = log.substr(line, log.find('\n', line) - line);
        EXPECT_NE(text.find(test.logged), std::string::npos) << text;
        EXPECT_NE(text.find("everything but the start page is left out."), std::string::npos) << text;
    }
}

TEST_F(ReachCrawlTest, TheReportSaysWhatBecameOfEveryLinkValue)
{
    app.StoreDword(kValueDepth, 1);
    app.StoreDword(kValueUseFilters, 1);
    app.StoreString(kValueFilter, "*.html");
    server.Serve("/a/index.html",
                 TestResponse::Ok(
                     "<a href=\"b.html\"> <a href=\"sub\"> <img src=\"pic.gif\"> <a href=\"../up.html\">\n"
                     "<a href=\"http://other.invalid/x.html\"> <a href=\"mailto:me@x\"> <a href=\"b.html\">\n"
                     "<a href=\"index.html\"> <a href=\"deep/c.html\">\n"));
    server.Serve("/a/b.html", TestResponse::Ok("b\n"));
    CTempDir reportFolder;
    CLinkReportFile report;
    ASSERT_TRUE(report.Open(reportFolder / "why.csv"));
    EXPECT_EQ(Crawl("/a/index.html", false, &report), std::optional<bool>(true));
    ASSERT_TRUE(report.Close());

    const std::string page = server.Url("/a/index.html");
    const std::string base = server.Url("/a/");
    EXPECT_EQ(ReadWholeFile(reportFolder / "why.csv"),
              "page,value,address,fate\r\n" + page + ",b.html," + base + "b.html,queued as page\r\n" + page +
                  ",sub," + base + "sub/,too deep\r\n" + page + ",pic.gif," + base +
                  "pic.gif,left out by the filter\r\n" + page + ",../up.html," + server.Url("/up.html") +
                  ",outside the start folder\r\n" + page +
                  ",http://other.invalid/x.html,http://other.invalid/x.html,another server\r\n" + page +
                  ",mailto:me@x,,not a link\r\n" + page + ",b.html," + base + "b.html,already known\r\n" +
                  page + ",index.html," + base + "index.html,already known\r\n" + page + ",deep/c.html," +
                  base + "deep/c.html,too deep\r\n");
}

TEST_F(ReachCrawlTest, APauseSeparatesEveryTwoRequests)
{
    app.StoreDword(kValueWaitMs, 300);
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    std::mutex mutex;
    for (const char* target : {"/a/index.html", "/a/b.html", "/a/c.gif"})
    {
        server.Serve(target,
                     [&, target](const TestRequest&)
                     {
                         std::lock_guard lock(mutex);
                         arrivals.push_back(std::chrono::steady_clock::now());
                         return std::string(target) == "/a/index.html"
                                    ? TestResponse::Ok("<a href=\"b.html\"> <img src=\"c.gif\">\n")
                                    : TestResponse::Ok("x", "image/gif");
                     });
    }
    EXPECT_EQ(Crawl("/a/index.html"), std::optional<bool>(true));
    ASSERT_EQ(arrivals.size(), 3u);
    for (size_t i = 1; i < arrivals.size(); ++i)
        EXPECT_GE(arrivals[i] - arrivals[i - 1], std::chrono::milliseconds(300)) << "request " << i;
}

TEST_F(ReachCrawlTest, ARateLimitHoldsTheRunAcrossFilesAndTheirFirstBlocks)
{
    // Lower bounds only, and each one certain: the run may not be quicker than its bytes at the
    // limit allow, whatever the load. The small files each come on a connection of their own, so
    // a limit that starts afresh per transfer, or lets a socket's first buffer through, undercuts
    // the bound by far.
    struct Case
    {
        const char* name;
        size_t files;
        size_t bytes;
    };
    const std::vector<Case> cases = {{"one large body", 1, 300'000}, {"many small files", 20, 10'000}};
    constexpr std::uint32_t kRate = 100'000;
    app.StoreDword(kValueLimitRate, kRate);
    for (const Case& test : cases)
    {
        std::string links;
        for (size_t i = 0; i < test.files; ++i)
        {
            const std::string name = "f" + std::to_string(i) + ".bin";
            links += "<a href=\"" + name + "\">" + name + "</a>\n";
            server.Serve("/a/" + name,
                         TestResponse::Ok(std::string(test.bytes, 'x'), "application/octet-stream"));
        }
        server.Serve("/a/index.html", TestResponse::Ok(links));
        const size_t total = links.size() + test.files * test.bytes;

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Crawl("/a/index.html"), std::optional<bool>(true)) << test.name;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed.count(), 0.8 * double(total) / kRate) << test.name;
        EXPECT_EQ(FilesIn(Dest()).size(), test.files + 1) << test.name;
        EXPECT_EQ(ReadWholeFile(Dest() + "f0.bin").size(), test.bytes) << test.name;
    }
}

} // namespace
