#include "CrawlRunner.h"
#include "platform/FileSystem.h"
#include "settings/SettingsTable.h"
#include "support/ScopedNoDacOverride.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace
{

std::string Links(std::initializer_list<const char*> targets)
{
    std::string page = "<html><body>\n";
    for (const char* target : targets)
        page += std::string("<a href=\"") + target + "\">link</a>\n";
    return page + "</body></html>\n";
}

class CrawlLoopTest : public ::testing::Test
{
protected:
    std::unique_ptr<CCrawlJob> MakeJob(const std::string& path, bool bCrawl = true, std::string user = "",
                                       std::string password = "")
    {
        return std::make_unique<CCrawlJob>(app.App(), app.Settings(), server.Url(path), app.Destination(),
                                           std::move(user), std::move(password), bCrawl);
    }

    void ServePage(const std::string& target, std::initializer_list<const char*> links)
    {
        server.Serve(target, TestResponse::Ok(Links(links)));
    }

    void ServeFile(const std::string& target)
    {
        server.Serve(target, TestResponse::Ok("data " + target, "image/gif"));
    }

    CTestApp app;
    CTestHttpServer server;
    CCrawlRunner runner;
};

TEST_F(CrawlLoopTest, PagesGoBreadthFirstAndTheirFilesRightAfterThemInReverse)
{
    ServePage("/a/index.html", {"b.html", "img1.gif", "c.html", "img2.gif", "sub", "../out.html",
                                "mailto:x@y", "http://other.invalid/x.html"});
    ServePage("/a/b.html", {"img3.gif", "c.html", "index.html"});
    ServePage("/a/c.html", {});
    ServePage("/a/sub/", {"d.html"});
    ServePage("/a/sub/d.html", {});
    for (const char* file : {"/a/img1.gif", "/a/img2.gif", "/a/img3.gif"})
        ServeFile(file);

    auto pJob = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));

    EXPECT_EQ(server.Targets(),
              (std::vector<std::string>{"/a/index.html", "/a/img2.gif", "/a/img1.gif", "/a/b.html",
                                        "/a/img3.gif", "/a/c.html", "/a/sub/", "/a/sub/d.html"}));
    // The folder page was a temp.html: parsed, then deleted. Nothing outside the start folder.
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "b.html", "c.html", "img1.gif",
                                                                 "img2.gif", "img3.gif", "sub/d.html"}));
    EXPECT_EQ(ReadWholeFile(app.Destination() + "img3.gif"), "data /a/img3.gif");
    EXPECT_EQ(pJob->GetProcessedCount(), 8);
    EXPECT_EQ(pJob->GetPendingCount(), 0);
    EXPECT_EQ(pJob->GetCurrentUrl(), server.Url("/a/sub/d.html"));
    EXPECT_TRUE(pJob->GetPendingLines().lines.empty());
    EXPECT_EQ(app.Boxes().Count(), 0u);
}

TEST_F(CrawlLoopTest, TheFilterDecidesWhatStaysButPagesAreAlwaysFollowed)
{
    ServePage("/a/index.html", {"p.html", "pic.gif", "c.zip"});
    ServePage("/a/p.html", {"deep.gif", "d.zip"});
    for (const char* file : {"/a/pic.gif", "/a/c.zip", "/a/deep.gif", "/a/d.zip"})
        ServeFile(file);
    app.StoreDword(kValueUseFilters, 1);

    {
        app.StoreString(kValueFilter, "*.gif");
        app.StoreDword(kValueFilterExclude, 0);
        auto pJob = MakeJob("/a/index.html");
        EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
        EXPECT_EQ(server.Targets(),
                  (std::vector<std::string>{"/a/index.html", "/a/pic.gif", "/a/p.html", "/a/deep.gif"}));
        EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"pic.gif", "deep.gif"}));
    }

    std::filesystem::remove(app.Destination() + "pic.gif");
    std::filesystem::remove(app.Destination() + "deep.gif");
    server.ClearLog();
    {
        app.StoreString(kValueFilter, "*.zip");
        app.StoreDword(kValueFilterExclude, 1);
        auto pJob = MakeJob("/a/index.html");
        EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
        EXPECT_EQ(server.Targets(),
                  (std::vector<std::string>{"/a/index.html", "/a/pic.gif", "/a/p.html", "/a/deep.gif"}));
        EXPECT_EQ(FilesIn(app.Destination()),
                  (std::set<std::string>{"index.html", "p.html", "pic.gif", "deep.gif"}));
    }
}

TEST_F(CrawlLoopTest, FolderPagesAreReadAndDeletedWithoutTouchingATempHtml)
{
    // The site serves a real temp.html, stored before the folder page of the same folder is read.
    ServePage("/a/index.html", {"sub/temp.html", "sub/"});
    server.Serve("/a/sub/temp.html", TestResponse::Ok("the site's temp.html\n"));
    ServePage("/a/sub/", {"listed.gif"});
    ServeFile("/a/sub/listed.gif");
    auto pJob = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
    EXPECT_EQ(server.CountOf("/a/sub/"), 1u);
    EXPECT_EQ(FilesIn(app.Destination()),
              (std::set<std::string>{"index.html", "sub/temp.html", "sub/listed.gif"}));
    EXPECT_EQ(ReadWholeFile(app.Destination() + "sub/temp.html"), "the site's temp.html\n");

    // The user keeps a temp.html of their own where the start folder's page would go.
    std::filesystem::remove_all(app.Destination() + "sub");
    std::filesystem::remove(app.Destination() + "index.html");
    WriteWholeFile(app.Destination() + "temp.html", "the user's notes\n");
    ServePage("/a/", {"mine.gif"});
    ServeFile("/a/mine.gif");
    auto pFolderJob = MakeJob("/a/");
    EXPECT_EQ(runner.Run(*pFolderJob), std::optional<bool>(true));
    EXPECT_EQ(server.CountOf("/a/"), 1u);
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"temp.html", "mine.gif"}));
    EXPECT_EQ(ReadWholeFile(app.Destination() + "temp.html"), "the user's notes\n");
}

TEST_F(CrawlLoopTest, ARejectedCopyAlreadyOnDiskIsReadButNeverDeleted)
{
    ServePage("/a/index.html", {"p.html"});
    ServePage("/a/p.html", {});
    WriteWholeFile(app.Destination() + "p.html", "present before the run");
    app.StoreDword(kValueUseFilters, 1);
    app.StoreString(kValueFilter, "*.gif");

    auto pJob = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html"}));
    // This run did not write it, so the filter is no reason to delete it.
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"p.html"}));
    EXPECT_EQ(ReadWholeFile(app.Destination() + "p.html"), "present before the run");
}

TEST_F(CrawlLoopTest, WithCrawlOffOnlyTheFirstPageGivesLinks)
{
    ServePage("/a/index.html", {"a.html", "logo.gif"});
    ServePage("/a/a.html", {"z.html", "z.gif"});
    ServeFile("/a/logo.gif");

    auto pJob = MakeJob("/a/index.html", false);
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html", "/a/logo.gif", "/a/a.html"}));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "a.html", "logo.gif"}));
}

TEST_F(CrawlLoopTest, DepthDuplicatesAndLetterCase)
{
    ServePage("/a/index.html", {"b.html", "B.html", "b.html#part", "./b.html", "sub/x.html", "top.html"});
    ServePage("/a/b.html", {"top.html", "b.html"});
    ServePage("/a/B.html", {});
    ServePage("/a/top.html", {});
    ServePage("/a/sub/x.html", {});
    app.StoreDword(kValueDepth, 1);

    auto pJob = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
    EXPECT_EQ(server.Targets(),
              (std::vector<std::string>{"/a/index.html", "/a/b.html", "/a/B.html", "/a/top.html"}));
}

TEST_F(CrawlLoopTest, StartAddressesWithoutSlashOrExtensionAreCompleted)
{
    ServePage("/", {"root.html"});
    ServePage("/root.html", {});
    {
        CCrawlJob job(app.App(), app.Settings(), server.Url(), app.Destination(), "", "", true);
        EXPECT_EQ(runner.Run(job), std::optional<bool>(true));
        EXPECT_EQ(job.GetStartUrl(), server.Url("/"));
        EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/", "/root.html"}));
        EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"root.html"}));
    }

    // The server knows the folder: the run starts from it.
    server.ClearLog();
    ServePage("/docs/", {"guide.html"});
    ServePage("/docs/guide.html", {});
    {
        auto pJob = MakeJob("/docs");
        EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
        EXPECT_EQ(pJob->GetStartUrl(), server.Url("/docs/"));
        EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/docs/", "/docs/", "/docs/guide.html"}));
        EXPECT_TRUE(FileSystem::Exists(app.Destination() + "guide.html"));
    }

    // It does not: the address is a file of the server's root folder.
    server.ClearLog();
    ServePage("/readme", {"other.html"});
    {
        auto pJob = MakeJob("/readme");
        EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
        EXPECT_EQ(pJob->GetStartUrl(), server.Url("/readme"));
        // A page without extension is its own folder for relative links.
        EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/readme/", "/readme", "/readme/other.html"}));
        EXPECT_EQ(ReadWholeFile(app.Destination() + "readme"), Links({"other.html"}));
    }
}

TEST_F(CrawlLoopTest, AStartPageThatIsNotFoundFailsTheRunButAMissingLinkDoesNot)
{
    auto pJob = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(false));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html"}));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{}));
    EXPECT_NE(app.LogText().find("Link not found: /a/index.html"), std::string::npos);
    EXPECT_EQ(pJob->GetProcessedCount(), 1);

    // The start folder probed and then its page missing as well.
    server.ClearLog();
    auto pFolder = MakeJob("/a/docs");
    EXPECT_EQ(runner.Run(*pFolder), std::optional<bool>(false));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/docs/", "/a/docs"}));

    server.ClearLog();
    ServePage("/a/index.html", {"gone.html", "here.html"});
    ServePage("/a/here.html", {});
    auto pLinked = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pLinked), std::optional<bool>(true));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html", "/a/gone.html", "/a/here.html"}));
    EXPECT_NE(app.LogText().find("Link not found: /a/gone.html"), std::string::npos);
}

TEST_F(CrawlLoopTest, RetriesAndContinueOnError)
{
    ServePage("/a/index.html", {"bad1.gif", "bad2.gif", "ok.html"});
    ServePage("/a/ok.html", {});
    TestResponse cut = TestResponse::Ok(std::string(100, 'x'), "image/gif");
    cut.contentLength = 1000;
    server.Serve("/a/bad1.gif", cut);
    server.Serve("/a/bad2.gif", cut);

    struct Case
    {
        unsigned nRetries;
        bool bContinue;
        bool bResult;
        std::vector<std::string> targets;
    };
    const Case cases[] = {
        {0, false, false, {"/a/index.html", "/a/bad2.gif"}},
        {2, false, false, {"/a/index.html", "/a/bad2.gif", "/a/bad2.gif", "/a/bad2.gif"}},
        // Failures early in the run count as much as a failure at its end.
        {2,
         true,
         false,
         {"/a/index.html", "/a/bad2.gif", "/a/bad2.gif", "/a/bad2.gif", "/a/bad1.gif", "/a/bad1.gif",
          "/a/bad1.gif", "/a/ok.html"}},
    };
    for (const Case& c : cases)
    {
        server.ClearLog();
        std::filesystem::remove(app.Destination() + "index.html");
        app.StoreDword(kValueRetries, c.nRetries);
        app.StoreDword(kValueContinueOnError, c.bContinue ? 1 : 0);
        auto pJob = MakeJob("/a/index.html");
        EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(c.bResult)) << c.nRetries << c.bContinue;
        EXPECT_EQ(server.Targets(), c.targets) << c.nRetries << c.bContinue;
    }

    // With continue-on-error a failure of the very last address still makes the run fail.
    server.ClearLog();
    ServePage("/a/last.html", {"bad1.gif"});
    app.StoreDword(kValueRetries, 2);
    auto pJob = MakeJob("/a/last.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(false));
    EXPECT_EQ(server.CountOf("/a/bad1.gif"), 3u);
    EXPECT_FALSE(FileSystem::Exists(app.Destination() + "bad1.gif"));
}

TEST_F(CrawlLoopTest, StopLetsTheCurrentTransferFinishAndEndsTheRun)
{
    ServePage("/a/index.html", {"slow.html", "next.html"});
    TestResponse slow = TestResponse::Ok(Links({"after.gif"}) + std::string(256 * 30, ' '));
    slow.blockDelay = std::chrono::milliseconds(10);
    server.Serve("/a/slow.html", slow);
    ServePage("/a/next.html", {});
    ServeFile("/a/after.gif");

    auto pJob = MakeJob("/a/index.html");
    runner.Start(*pJob);
    ASSERT_TRUE(server.WaitForRequest("/a/slow.html"));
    pJob->m_bStop = true;
    EXPECT_EQ(runner.Owner().Wait(), std::optional<bool>(true));

    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html", "/a/slow.html"}));
    EXPECT_EQ(ReadWholeFile(app.Destination() + "slow.html"), slow.body);
    // The page was still parsed: its link waits in the queue.
    EXPECT_EQ(pJob->GetPendingCount(), 2);
    EXPECT_EQ(pJob->GetPendingLines().lines.front(), server.Url("/a/after.gif"));
}

// The program around a run, with a stop pressed the first time the run asks whether the program is
// closing once `when` holds: a moment the window's timer could only hit by chance.
class CStopWhen : public IEngineContext
{
public:
    CStopWhen(IEngineContext& program, std::function<bool()> when)
        : m_program(program), m_when(std::move(when))
    {
    }
    void Watch(CCrawlJob& job) { m_pJob = &job; }

    bool IsClosing() const override
    {
        if (m_pJob != nullptr && m_when())
            std::exchange(m_pJob, nullptr)->m_bStop = true;
        return m_program.IsClosing();
    }
    bool WriteErrorLog(const std::string& strMessage, bool bNewLog) override
    {
        return m_program.WriteErrorLog(strMessage, bNewLog);
    }
    MsgAnswer MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         const std::string& caption) override
    {
        return m_program.MessageBox(text, buttons, icon, caption);
    }
    std::string GetVersionText() const override { return m_program.GetVersionText(); }

private:
    IEngineContext& m_program;
    std::function<bool()> m_when;
    mutable CCrawlJob* m_pJob = nullptr;
};

TEST_F(CrawlLoopTest, AStopBeforeAnAddressIsAskedForIsAStopNotAFailure)
{
    // The first look comes after the loop has read the stop flag for the start address.
    ServePage("/a/index.html", {"next.html"});
    CStopWhen atOnce(app.App(), [] { return true; });
    CCrawlJob job(atOnce, app.Settings(), server.Url("/a/index.html"), app.Destination(), "", "", true);
    atOnce.Watch(job);
    EXPECT_EQ(runner.Run(job), std::optional<bool>(true));
    EXPECT_TRUE(job.m_bStop);
    EXPECT_TRUE(server.Targets().empty());
    EXPECT_EQ(app.Boxes().Count(), 0u);

    // A stop once an attempt has failed leaves the address failed: no retry, and the run fails.
    TestResponse broken = TestResponse::Ok("cut short");
    broken.contentLength = 100;
    server.Serve("/a/index.html", broken);
    app.StoreDword(kValueRetries, 3);
    CStopWhen afterRequest(app.App(), [this] { return server.CountOf("/a/index.html") != 0; });
    CCrawlJob failing(afterRequest, app.Settings(), server.Url("/a/index.html"), app.Destination(), "", "",
                      true);
    afterRequest.Watch(failing);
    EXPECT_EQ(runner.Run(failing), std::optional<bool>(false));
    EXPECT_TRUE(failing.m_bStop);
    EXPECT_EQ(server.CountOf("/a/index.html"), 1u);
}

TEST_F(CrawlLoopTest, ClosingCutsTheTransferAndTakesNoFurtherAddress)
{
    // Thousands of addresses wait behind the one under way when the window closes.
    std::string page = Links({"slow.bin"});
    for (int i = 0; i < 3000; ++i)
        page += "<a href=\"f" + std::to_string(i) + "/p.html\">x</a>\n";
    server.Serve("/a/index.html", TestResponse::Ok(page));
    TestResponse slow = TestResponse::Ok(std::string(256 * 100, 's'), "application/octet-stream");
    slow.blockDelay = std::chrono::milliseconds(10);
    slow.afterFirstBlock = [this] { app.App().SetClosing(true); };
    server.Serve("/a/slow.bin", slow);
    app.StoreDword(kValueRetries, 3);

    for (bool bContinue : {false, true})
    {
        server.ClearLog();
        std::filesystem::remove(app.Destination() + "index.html");
        app.App().SetClosing(false);
        app.StoreDword(kValueContinueOnError, bContinue ? 1 : 0);
        auto pJob = MakeJob("/a/index.html");
        EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(false));
        // No retry of the cut file, and no further address, with or without continue-on-error.
        EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html", "/a/slow.bin"})) << bContinue;
        EXPECT_EQ(pJob->GetPendingCount(), 3000) << bContinue;
        EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html"})) << bContinue;
        EXPECT_FALSE(FileSystem::Exists(app.Destination() + "f0")) << bContinue;
    }
    app.App().SetClosing(false);
}

TEST_F(CrawlLoopTest, ARerunOverAMirrorResolvesRootRelativeLinksFromTheStart)
{
    // A page below the start folder names a file of the start folder from the server's root.
    ServePage("/a/index.html", {"sub/y.html"});
    ServePage("/a/sub/y.html", {"/a/x.html"});
    ServePage("/a/x.html", {});
    auto pFirst = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pFirst), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "x.html", "sub/y.html"}));

    // In "Skip Existing" the start page is read from disk and nothing connects before it is parsed.
    std::filesystem::remove(app.Destination() + "x.html");
    server.ClearLog();
    auto pAgain = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pAgain), std::optional<bool>(true));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/x.html"}));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "x.html", "sub/y.html"}));
}

TEST_F(CrawlLoopTest, ARunWhoseStoredFilesCannotBeFlushedFails)
{
    ServePage("/a/index.html", {"pic.gif"});
    ServeFile("/a/pic.gif");
    // A destination the run may write into but not open: the flush to disk cannot be made.
    ::chmod(app.Destination().c_str(), 0300);
    bool bResult = true;
    {
        // Capabilities belong to a thread: the loop runs on this one.
        CScopedNoDacOverride noOverride;
        auto pJob = MakeJob("/a/index.html");
        bResult = pJob->Run();
    }
    ::chmod(app.Destination().c_str(), 0755);
    EXPECT_FALSE(bResult);
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "pic.gif"}));
    EXPECT_NE(app.LogText().find("Unable to write the stored files to disk [" + app.Destination() +
                                 "], error [13]."),
              std::string::npos);

    // With nothing in the way the same run is complete.
    std::filesystem::remove(app.Destination() + "index.html");
    std::filesystem::remove(app.Destination() + "pic.gif");
    auto pJob = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
}

TEST_F(CrawlLoopTest, OddLinksAreEncodedOnTheWireAndStoredUnderTheirDecodedNames)
{
    // A tab, a '%' that starts no escape, a byte above 127 and characters a request line refuses.
    ServePage("/a/index.html", {"t%09ab.gif", "100%25.gif", "caf\xC3\xA9.gif", "x%7Cy%5E.gif", "ok.gif"});
    for (const char* target :
         {"/a/t%09ab.gif", "/a/100%25.gif", "/a/caf%C3%A9.gif", "/a/x%7Cy%5E.gif", "/a/ok.gif"})
        ServeFile(target);
    app.StoreDword(kValueContinueOnError, 0);

    auto pJob = MakeJob("/a/index.html");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
    EXPECT_EQ(server.CountOf("/a/t%09ab.gif"), 1u);
    EXPECT_EQ(server.CountOf("/a/100%25.gif"), 1u);
    EXPECT_EQ(server.CountOf("/a/caf%C3%A9.gif"), 1u);
    EXPECT_EQ(server.CountOf("/a/x%7Cy%5E.gif"), 1u);
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "t\tab.gif", "100%.gif",
                                                                 "caf\xC3\xA9.gif", "x|y^.gif", "ok.gif"}));
    EXPECT_EQ(ReadWholeFile(app.Destination() + "100%.gif"), "data /a/100%25.gif");
}

TEST(CrawlLoopIpv6, AnIpv6LiteralWithAPortConnects)
{
    CTestApp app;
    CTestHttpServer server(Loopback::V6);
    CCrawlRunner runner;
    const std::string absolute = server.Url("/a/c.gif");
    server.Serve("/a/index.html", TestResponse::Ok(Links({"b.html", absolute.c_str()})));
    server.Serve("/a/b.html", TestResponse::Ok(Links({})));
    server.Serve("/a/c.gif", TestResponse::Ok("gif", "image/gif"));
    ASSERT_EQ(server.Url("/a/index.html").rfind("http://[::1]:", 0), 0u);

    CCrawlJob job(app.App(), app.Settings(), server.Url("/a/index.html"), app.Destination(), "", "", true);
    EXPECT_EQ(runner.Run(job), std::optional<bool>(true));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html", "/a/c.gif", "/a/b.html"}));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "b.html", "c.gif"}));
}

TEST_F(CrawlLoopTest, CredentialsReachEveryRequest)
{
    for (const char* target : {"/a/index.html", "/a/p.html", "/a/i.gif"})
    {
        TestResponse response = TestResponse::Ok(Links({"p.html", "i.gif"}));
        response.requireBasic = "me:secret";
        server.Serve(target, response);
    }
    auto pJob = MakeJob("/a/index.html", true, "me", "secret");
    EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "p.html", "i.gif"}));

    std::filesystem::remove(app.Destination() + "index.html");
    auto pWrong = MakeJob("/a/index.html", true, "me", "wrong");
    EXPECT_EQ(runner.Run(*pWrong), std::optional<bool>(false));
    EXPECT_NE(app.LogText().find("Error: Exiting with CTearException(401)"), std::string::npos);
}

TEST_F(CrawlLoopTest, OneKeptConnectionServesTheRunAndADroppedOneIsNoFailure)
{
    ServePage("/a/index.html", {"b.html", "img.gif", "sub/c.html"});
    ServePage("/a/b.html", {"img.gif"});
    ServePage("/a/sub/c.html", {});
    ServeFile("/a/img.gif");
    const std::vector<std::string> order{"/a/index.html", "/a/img.gif", "/a/b.html", "/a/sub/c.html"};

    for (const KeepAlive mode :
         {KeepAlive::WhileAsked, KeepAlive::Never, KeepAlive::DropWhenIdle, KeepAlive::DropWhenReused})
    {
        SCOPED_TRACE(static_cast<int>(mode));
        std::filesystem::remove_all(app.Destination() + "sub");
        for (const char* name : {"index.html", "b.html", "img.gif"})
            std::filesystem::remove(app.Destination() + name);
        server.SetKeepAlive(mode);
        server.ClearLog();
        const size_t connectionsBefore = server.Connections();

        auto pJob = MakeJob("/a/index.html");
        EXPECT_EQ(runner.Run(*pJob), std::optional<bool>(true));
        EXPECT_EQ(FilesIn(app.Destination()),
                  (std::set<std::string>{"index.html", "b.html", "img.gif", "sub/c.html"}));
        EXPECT_EQ(app.LogText(), "");
        std::vector<std::string> answered = server.Targets();
        if (mode == KeepAlive::WhileAsked)
            EXPECT_EQ(server.Connections() - connectionsBefore, 1u);
        else
            EXPECT_EQ(server.Connections() - connectionsBefore, order.size());
        // A request the server dropped unanswered went out again, on a new connection.
        if (mode == KeepAlive::DropWhenReused)
            answered.erase(std::unique(answered.begin(), answered.end()), answered.end());
        EXPECT_EQ(answered, order);
    }
}

} // namespace
