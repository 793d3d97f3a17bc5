#include "crawl/CrawlJob.h"

#include "platform/FileSystem.h"
#include "platform/TimeFormat.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestApp.h"
#include "support/TestHttpServer.h"

#include <ctime>
#include <gtest/gtest.h>
#include <set>

namespace
{

TEST(CrawlJob, SetUpReadsTheStoredOptionsAndCompletesTheDestination)
{
    CTestApp app;
    {
        CCrawlJob job(app.App(), app.Settings(), "http://host/a/", "/sites/x", "user", "pw", true);
        EXPECT_EQ(job.GetDestDir(), "/sites/x/");
        EXPECT_EQ(job.GetRetries(), 0u);
        EXPECT_FALSE(job.GetContinueOnError());
        EXPECT_FALSE(job.m_bStop);
        EXPECT_TRUE(job.GetCrawl());
        EXPECT_EQ(job.GetProcessedCount(), 0);
        EXPECT_EQ(job.GetPendingCount(), 0);
        EXPECT_EQ(job.GetBytesReceived(), 0);
        EXPECT_EQ(job.GetRate(), 0.0);
        EXPECT_EQ(job.GetCurrentUrl(), "");
    }

    app.StoreDword(kValueRetries, 3);
    app.StoreDword(kValueContinueOnError, 7);
    app.StoreDword(kValueFileCheck, 1);
    app.StoreDword(kValueNoNameAsIndex, 1);
    {
        CCrawlJob job(app.App(), app.Settings(), "http://host/a/", "/sites/x/", "", "", false);
        EXPECT_EQ(job.GetDestDir(), "/sites/x/");
        EXPECT_EQ(job.GetRetries(), 3u);
        EXPECT_TRUE(job.GetContinueOnError());
        EXPECT_FALSE(job.GetCrawl());
    }
}

std::string HttpDate(std::time_t when)
{
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

TEST(CrawlJob, TheStoredExistingFileModeAndIndexNameReachTheFetcher)
{
    const std::time_t tOld = 1500000000;
    const std::string stamped = "p" + TimeFormat::Local(" %Y%m%d%H%M%S", tOld) + ".html";
    struct Case
    {
        unsigned nFileCheck;
        unsigned nNoNameAsIndex;
        const char* page; // p.html after the run
        std::set<std::string> files;
    };
    const Case cases[] = {
        {0, 0, "old", {"p.html"}},
        {1, 0, "new", {"p.html"}},
        {2, 0, "new", {"p.html", stamped}},
        {0, 1, "old", {"p.html", "index.html"}},
    };
    for (const Case& c : cases)
    {
        CTestApp app;
        CTestHttpServer server;
        server.Serve("/a/", TestResponse::Ok("<a href=p.html>"));
        TestResponse page = TestResponse::Ok("new");
        page.headers.emplace_back("Last-Modified", HttpDate(tOld + 60));
        server.Serve("/a/p.html", page);
        WriteWholeFile(app.Destination() + "p.html", "old");
        ASSERT_TRUE(FileSystem::SetTimes(app.Destination() + "p.html", tOld));
        app.StoreDword(kValueFileCheck, c.nFileCheck);
        app.StoreDword(kValueNoNameAsIndex, c.nNoNameAsIndex);

        CCrawlJob job(app.App(), app.Settings(), server.Url("/a/"), app.Destination(), "", "", true);
        EXPECT_TRUE(job.Run()) << c.nFileCheck;
        EXPECT_EQ(ReadWholeFile(app.Destination() + "p.html"), c.page) << c.nFileCheck;
        EXPECT_EQ(FilesIn(app.Destination()), c.files) << c.nFileCheck << c.nNoNameAsIndex;
    }
}

} // namespace
