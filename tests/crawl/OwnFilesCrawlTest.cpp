#include "CrawlRunner.h"
#include "parse/LinkReportFile.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

namespace
{

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(OwnFilesCrawl, NoAddressIsStoredOverTheRunsOwnFilesWhateverTheModeOrTheStart)
{
    CTestApp app;
    CCrawlRunner runner;
    CTestHttpServer server;
    const std::string dest = app.Destination();
    server.Serve("/a/index.html",
                 TestResponse::Ok("<a href=\"error.log\">l</a> <a href=\"./error.log\">again</a>\n"
                                  "<a href=\"shortcut.url\">s</a> <a href=\"report/why.csv\">r</a>\n"
                                  "<img src=\"pic.gif\"> <a href=\"/a/error.log\">once more</a>\n"));
    for (const char* file : {"/a/error.log", "/a/shortcut.url", "/a/report/why.csv"})
        server.Serve(file, TestResponse::Ok("the site's own text\n", "text/plain"));
    server.Serve("/a/pic.gif", TestResponse::Ok("GIF89a", "image/gif"));

    // In every mode: skipping keeps what is there, the date modes replace a copy without a date.
    for (const unsigned nFileCheck : {0u, 1u, 2u})
    {
        SCOPED_TRACE("file check " + std::to_string(nFileCheck));
        app.StoreDword(kValueFileCheck, nFileCheck);
        ASSERT_TRUE(app.App().WriteErrorLog("the run's header", true));
        WriteWholeFile(dest + "shortcut.url", "the run's shortcut");
        WriteWholeFile(dest + "report/why.csv", "");
        (void)FileSystem::Delete(dest + "pic.gif");
        CLinkReportFile report;
        ASSERT_TRUE(report.Open(dest + "report/why.csv"));
        server.ClearLog();

        CCrawlJob job(app.App(), app.Settings(), server.Url("/a/index.html"), dest, "", "", false);
        job.SetLinkReport(&report);
        job.SetOwnFiles({dest + "error.log", dest + "shortcut.url", dest + "report/why.csv"});
        EXPECT_EQ(runner.Run(job), std::optional<bool>(true)) << "left out is no failure";
        ASSERT_TRUE(report.Close());

        EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html", "/a/pic.gif"}));
        EXPECT_EQ(ReadWholeFile(dest + "shortcut.url"), "the run's shortcut");
        const std::string log = app.LogText();
        EXPECT_NE(log.find(" : the run's header\n"), std::string::npos) << log;
        EXPECT_EQ(Count(log, " : Refusing to store [" + server.Url("/a/error.log") +
                                 "]: it would replace the run's own file [" + dest + "error.log].\n"),
                  1u)
            << "one line for the address, however often it is named: " << log;
        EXPECT_EQ(Count(log, " : Refusing to store ["), 3u) << log;
        const std::string why = ReadWholeFile(dest + "report/why.csv");
        EXPECT_EQ(why.rfind("page,value,address,fate\r\n", 0), 0u) << why;
        EXPECT_EQ(Count(why, ",the run's own file\r\n"), 5u) << why;
    }

    // Not even as the start address, which the user names but the site fills.
    ASSERT_TRUE(app.App().WriteErrorLog("the run's header", true));
    server.ClearLog();
    CCrawlJob job(app.App(), app.Settings(), server.Url("/a/error.log"), dest, "", "", false);
    job.SetOwnFiles({dest + "error.log"});
    EXPECT_EQ(runner.Run(job), std::optional<bool>(false)) << "the run has mirrored nothing";
    EXPECT_TRUE(server.Targets().empty());
    const std::string log = app.LogText();
    EXPECT_EQ(log.rfind(" : the run's header\n"), 19u) << log;
    EXPECT_NE(log.find(" : Refusing to store [" + server.Url("/a/error.log") + "]"), std::string::npos)
        << log;
}

} // namespace
