#include "crawl/CrawlJob.h"
#include "platform/FileSystem.h"
#include "platform/TimeFormat.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestApp.h"
#include "support/TestHttpServer.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

std::string HttpDate(std::time_t when)
{
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

TestResponse Answer(int status, std::string body, const char* retryAfter = nullptr)
{
    TestResponse response = TestResponse::Ok(std::move(body));
    response.status = status;
    if (retryAfter != nullptr)
        response.headers.emplace_back("Retry-After", retryAfter);
    return response;
}

// Runs on the test's own thread: the job's outcome, the files and the log are what is judged.
class RunOutcomeTest : public ::testing::Test
{
protected:
    bool Run(const std::string& path)
    {
        m_pJob = std::make_unique<CCrawlJob>(app.App(), app.Settings(), server.Url(path), app.Destination(),
                                             "", "", true);
        return m_pJob->Run();
    }

    std::string Local(const std::string& relative) const { return app.Destination() + relative; }

    CTestApp app;
    CTestHttpServer server;
    std::unique_ptr<CCrawlJob> m_pJob;
};

TEST_F(RunOutcomeTest, AnErrorAnswerFailsTheRunUnlessARetryIsAnswered)
{
    struct Case
    {
        const char* name;
        int startStatus; // the start page's answer
        int fileStatus;  // x.gif's first answer; a retry is answered 200
        unsigned nRetries;
        bool bContinueOnError;
        bool bResult;
        std::set<std::string> files;
    };
    const Case cases[] = {
        {"start page 500", 500, 200, 0, false, false, {}},
        {"start page 503 retried", 503, 200, 1, false, true, {"index.html", "x.gif", "y.gif"}},
        {"file 403 stops the run", 200, 403, 0, false, false, {"index.html"}},
        {"file 410 with continue-on-error", 200, 410, 0, true, false, {"index.html", "y.gif"}},
        {"file 500 retried", 200, 500, 2, false, true, {"index.html", "x.gif", "y.gif"}},
        {"file 101", 200, 101, 0, true, false, {"index.html", "y.gif"}},
    };
    for (const Case& c : cases)
    {
        CTestApp caseApp;
        CTestHttpServer caseServer;
        std::atomic<int> nStartAsked{0};
        std::atomic<int> nFileAsked{0};
        // An error answer is an HTML page with a link, which must never be followed.
        const std::string errorPage = "<html><a href=z.gif>error</a></html>";
        caseServer.Serve("/a/index.html",
                         [&](const TestRequest&)
                         {
                             // Files go to the front of the queue in reverse: x.gif comes first.
                             if (nStartAsked++ == 0 && c.startStatus != 200)
                                 return Answer(c.startStatus, errorPage);
                             return TestResponse::Ok("<a href=y.gif></a><a href=x.gif></a>");
                         });
        caseServer.Serve("/a/x.gif",
                         [&](const TestRequest&)
                         {
                             if (nFileAsked++ == 0 && c.fileStatus != 200)
                                 return Answer(c.fileStatus, errorPage);
                             return TestResponse::Ok("x", "image/gif");
                         });
        caseServer.Serve("/a/y.gif", TestResponse::Ok("y", "image/gif"));
        caseApp.StoreDword(kValueRetries, c.nRetries);
        caseApp.StoreDword(kValueContinueOnError, c.bContinueOnError ? 1 : 0);

        CCrawlJob job(caseApp.App(), caseApp.Settings(), caseServer.Url("/a/index.html"),
                      caseApp.Destination(), "", "", true);
        EXPECT_EQ(job.Run(), c.bResult) << c.name;
        EXPECT_EQ(FilesIn(caseApp.Destination()), c.files) << c.name;
        // The error page's own links are never followed.
        EXPECT_EQ(caseServer.CountOf("/a/z.gif"), 0u) << c.name;
        if (c.startStatus != 200 || c.fileStatus != 200)
        {
            const int status = c.startStatus != 200 ? c.startStatus : c.fileStatus;
            const std::string address = caseServer.Url(c.startStatus != 200 ? "/a/index.html" : "/a/x.gif");
            EXPECT_NE(caseApp.LogText().find(" : Error: the server answered " + std::to_string(status) +
                                             " for " + address + "\n"),
                      std::string::npos)
                << c.name << "\n"
                << caseApp.LogText();
        }
    }
}

TEST_F(RunOutcomeTest, TheServersPauseIsWaitedBeforeTheRetry)
{
    std::mutex mutex;
    std::vector<Clock::time_point> asked;
    server.Serve("/a/p.html",
                 [&](const TestRequest&)
                 {
                     std::lock_guard lock(mutex);
                     asked.push_back(Clock::now());
                     return asked.size() == 1 ? Answer(503, "busy", "1") : TestResponse::Ok("page");
                 });
    app.StoreDword(kValueRetries, 1);
    EXPECT_TRUE(Run("/a/p.html"));
    ASSERT_EQ(asked.size(), 2u);
    // The server asked for one second; without its pause the retry follows at once.
    EXPECT_GE(asked[1] - asked[0], std::chrono::milliseconds(900));
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "page");
}

TEST_F(RunOutcomeTest, AStopCutsTheServersPauseShort)
{
    std::atomic<int> nAsked{0};
    server.Serve("/a/p.html",
                 [&](const TestRequest&)
                 {
                     ++nAsked;
                     // The user stops while the job waits for the server's minute.
                     m_pJob->m_bStop = true;
                     return Answer(429, "slow down", "60");
                 });
    app.StoreDword(kValueRetries, 3);
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(Run("/a/p.html"));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30)) << "far below the minute asked for";
    EXPECT_EQ(nAsked.load(), 1);
}

TEST_F(RunOutcomeTest, AFilteredRerunNeverDeletesOrReplacesTheEarlierMirror)
{
    const std::time_t tOld = 1500000000;
    const std::string earlier = "<a href=pic.jpg> earlier copy";
    struct Case
    {
        unsigned nFileCheck;
        std::set<std::string> files;
    };
    const std::set<std::string> mirror{"index.html", "p.html", "pic.jpg", "other.jpg"};
    const std::set<std::string> withFresh{"index.html", "p.html", "pic.jpg", "other.jpg", "fresh.jpg"};
    // In the date modes the newer page is fetched and its own links are followed.
    const Case cases[] = {{0, mirror}, {1, withFresh}, {2, withFresh}};
    for (const Case& c : cases)
    {
        CTestApp caseApp;
        CTestHttpServer caseServer;
        caseServer.Serve("/a/index.html", TestResponse::Ok("<a href=p.html></a><a href=new.html></a>"));
        TestResponse page = TestResponse::Ok("<a href=pic.jpg><a href=fresh.jpg>");
        page.headers.emplace_back("Last-Modified", HttpDate(tOld + 3600)); // newer than the copy
        caseServer.Serve("/a/p.html", page);
        caseServer.Serve("/a/new.html", TestResponse::Ok("<a href=other.jpg>"));
        caseServer.Serve("/a/pic.jpg", TestResponse::Ok("jpg", "image/jpeg"));
        caseServer.Serve("/a/other.jpg", TestResponse::Ok("jpg", "image/jpeg"));
        caseServer.Serve("/a/fresh.jpg", TestResponse::Ok("jpg", "image/jpeg"));
        WriteWholeFile(caseApp.Destination() + "index.html", "<a href=p.html></a><a href=new.html></a>");
        WriteWholeFile(caseApp.Destination() + "p.html", earlier);
        ASSERT_TRUE(FileSystem::SetTimes(caseApp.Destination() + "p.html", tOld));
        ASSERT_TRUE(FileSystem::SetTimes(caseApp.Destination() + "index.html", tOld + 7200));
        caseApp.StoreDword(kValueFileCheck, c.nFileCheck);
        caseApp.StoreDword(kValueUseFilters, 1);
        caseApp.StoreString(kValueFilter, "*.jpg");

        CCrawlJob job(caseApp.App(), caseApp.Settings(), caseServer.Url("/a/index.html"),
                      caseApp.Destination(), "", "", true);
        EXPECT_TRUE(job.Run()) << c.nFileCheck;
        // The pages the filter leaves out were read for links; the copies on disk stay as they were,
        // and a page this run fetched only to read it is gone.
        EXPECT_EQ(FilesIn(caseApp.Destination()), c.files) << c.nFileCheck;
        EXPECT_EQ(ReadWholeFile(caseApp.Destination() + "p.html"), earlier) << c.nFileCheck;
        EXPECT_EQ(FileSystem::GetWriteTime(caseApp.Destination() + "p.html"),
                  std::optional<std::int64_t>(tOld))
            << c.nFileCheck;
    }
}

} // namespace
