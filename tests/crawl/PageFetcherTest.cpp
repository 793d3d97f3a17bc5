#include "FetchFixture.h"
#include "platform/FileSystem.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"

#include <filesystem>
#include <set>

namespace
{

using PageFetcherTest = FetchTest;

TEST_F(PageFetcherTest, NotFoundUnauthorizedAndRefusedEachLeaveTheirLogLine)
{
    TestResponse secret = TestResponse::Ok("secret");
    secret.requireBasic = "me:pw";
    server.Serve("/a/secret.html", secret);
    auto pFetcher = MakeFetcher();

    const Outcome missing = Fetch(*pFetcher, "/a/missing.html");
    EXPECT_TRUE(missing.bOk);
    EXPECT_TRUE(missing.bNotFound);
    EXPECT_EQ(LastLogLine(), "Link not found: /a/missing.html");
    EXPECT_FALSE(FileSystem::Exists(Local("missing.html")));

    const Outcome refused = Fetch(*pFetcher, "/a/secret.html");
    EXPECT_FALSE(refused.bOk);
    EXPECT_EQ(refused.strError, "Error: Exiting with CTearException(401)");
    EXPECT_FALSE(FileSystem::Exists(Local("secret.html")));

    auto pAuthorised = MakeFetcher();
    pAuthorised->SetUser("me");
    pAuthorised->SetPassword("pw");
    EXPECT_TRUE(Fetch(*pAuthorised, "/a/secret.html").bOk);
    EXPECT_EQ(ReadWholeFile(Local("secret.html")), "secret");

    unsigned closedPort = 0;
    {
        CTestHttpServer gone;
        closedPort = gone.Port();
    }
    auto pRefused = MakeFetcher();
    pRefused->SetStartDir("http://127.0.0.1:" + std::to_string(closedPort) + "/a/");
    const FetchResult unreachable =
        pRefused->Download("http://127.0.0.1:" + std::to_string(closedPort) + "/a/x.html", false);
    EXPECT_FALSE(unreachable.bOk);
    EXPECT_EQ(unreachable.strError.rfind("Error: (7) ", 0), 0u) << unreachable.strError;

    const std::string log = app.LogText();
    EXPECT_NE(log.find(" : Link not found: /a/missing.html\n"), std::string::npos);
    EXPECT_NE(log.find(" : Error: Exiting with CTearException(401)\n"), std::string::npos);
    EXPECT_NE(log.find(" : Error: (7) "), std::string::npos);
    EXPECT_EQ(app.Boxes().Count(), 0u);
}

TEST_F(PageFetcherTest, OnlyHttpStartFoldersConnectAndEachTryShowsTheBox)
{
    auto pFetcher = MakeFetcher();
    pFetcher->SetStartDir("ftp://127.0.0.1/a/");
    EXPECT_FALSE(pFetcher->Download("ftp://127.0.0.1/a/x.html", false).bOk);
    const FetchResult second = pFetcher->Download("ftp://127.0.0.1/a/x.html", false);
    EXPECT_FALSE(second.bOk);
    EXPECT_EQ(second.strError, "Error: Exiting with CTearException(1)");
    EXPECT_EQ(LastLogLine(), "Error: Exiting with CTearException(1)");

    const std::vector<MessageRequest> boxes = app.Boxes().Shown();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Error: can only use URLs beginning with http://");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(server.Targets().empty());
}

TEST_F(PageFetcherTest, ProbeAsksForTheFolderAndKeepsTheSlash)
{
    server.Serve("/docs/", TestResponse::Ok("<html>folder</html>"));
    auto pFetcher = MakeFetcher();
    pFetcher->SetStartDir(server.Url("/"));

    EXPECT_TRUE(pFetcher->ProbeDirectory(server.Url("/docs")));
    EXPECT_FALSE(pFetcher->ProbeDirectory(server.Url("/nodir")));
    EXPECT_EQ(LastLogLine(), "Link not found: /nodir/");
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/docs/", "/nodir/"}));
}

TEST_F(PageFetcherTest, RedirectsAreStoredUnderTheRequestedName)
{
    server.Serve("/a/old.html", TestResponse::Redirect(301, "/a/mid.html"));
    server.Serve("/a/mid.html", TestResponse::Redirect(302, "/elsewhere/new.html"));
    server.Serve("/elsewhere/new.html", TestResponse::Ok("new"));

    auto pFetcher = MakeFetcher();
    const Outcome moved = Fetch(*pFetcher, "/a/old.html");
    EXPECT_TRUE(moved.bOk);
    EXPECT_EQ(moved.strType, "text/html");
    EXPECT_EQ(ReadWholeFile(Local("old.html")), "new");
    EXPECT_FALSE(FileSystem::Exists(Local("new.html")));
}

TEST_F(PageFetcherTest, AnErrorAnswerIsAFailedFetchThatStoresNothing)
{
    struct Case
    {
        int status;
        bool bFailed;
        const char* retryAfter; // sent when not null
        long nWaitSeconds;
    };
    const Case cases[] = {
        {500, true, nullptr, 0},  {403, true, nullptr, 0},  {410, true, nullptr, 0}, {400, true, nullptr, 0},
        {599, true, nullptr, 0},  {101, true, nullptr, 0},  {503, true, "7", 7},     {429, true, "120", 60},
        {503, true, "soon", 0},   {500, true, "7", 0}, // only a 429 or 503 asks for a pause
        {200, false, nullptr, 0}, {203, false, nullptr, 0},
    };
    const std::time_t tCopy = 1500000000;
    for (unsigned mode : {0u, 1u, 2u})
    {
        app.StoreDword(kValueFileCheck, mode);
        for (const Case& c : cases)
        {
            std::filesystem::remove(Local("p.html"));
            // In the date modes an older copy is on disk, which the answer must not replace.
            if (mode != 0)
            {
                WriteWholeFile(Local("p.html"), "good copy");
                FileSystem::SetTimes(Local("p.html"), tCopy);
            }
            TestResponse answer = Dated("<html><a href=x.html>answer</a></html>", tCopy + 60);
            answer.status = c.status;
            if (c.retryAfter != nullptr)
                answer.headers.emplace_back("Retry-After", c.retryAfter);
            server.Serve("/a/p.html", answer);
            auto pFetcher = MakeFetcher();
            const FetchResult fetched = pFetcher->Download(server.Url("/a/p.html"), true);
            const std::string label = std::to_string(c.status) + " in mode " + std::to_string(mode);

            EXPECT_EQ(fetched.bOk, !c.bFailed) << label;
            EXPECT_EQ(fetched.retryAfter.count(), c.nWaitSeconds) << label;
            if (!c.bFailed)
            {
                EXPECT_EQ(ReadWholeFile(Local("p.html")), "<html><a href=x.html>answer</a></html>") << label;
                continue;
            }
            const std::string line =
                "Error: the server answered " + std::to_string(c.status) + " for " + server.Url("/a/p.html");
            EXPECT_EQ(fetched.strError, line) << label;
            EXPECT_EQ(LastLogLine(), line) << label;
            EXPECT_FALSE(fetched.bPageHeld) << label;
            const std::set<std::string> files =
                mode == 0 ? std::set<std::string>{} : std::set<std::string>{"p.html"};
            EXPECT_EQ(FilesIn(app.Destination()), files) << label;
            if (mode != 0)
            {
                EXPECT_EQ(ReadWholeFile(Local("p.html")), "good copy") << label;
                EXPECT_EQ(FileSystem::GetWriteTime(Local("p.html")), std::optional<std::int64_t>(tCopy))
                    << label;
            }
        }
    }
}

TEST_F(PageFetcherTest, OnlyANotFoundAnswerTellsTheProbeThereIsNoFolder)
{
    TestResponse error = TestResponse::Ok("<html>server error</html>");
    error.status = 500;
    server.Serve("/broken/", error);
    auto pFetcher = MakeFetcher();
    pFetcher->SetStartDir(server.Url("/"));
    EXPECT_TRUE(pFetcher->ProbeDirectory(server.Url("/broken")));
    EXPECT_FALSE(pFetcher->ProbeDirectory(server.Url("/missing")));
}

} // namespace

namespace
{

TEST_F(PageFetcherTest, TheResultNamesTheLocalFileAndAFailuresLogLine)
{
    server.Serve("/a/", TestResponse::Ok("<a href=x.html>"));
    server.Serve("/a/p.gif", TestResponse::Ok("gif", "image/gif"));
    auto pFetcher = MakeFetcher();

    const FetchResult stored = pFetcher->Download(server.Url("/a/p.gif"), false);
    EXPECT_TRUE(stored.bOk);
    EXPECT_EQ(stored.strLocalPath, Local("p.gif"));
    EXPECT_EQ(stored.strContentType, "image/gif");
    EXPECT_EQ(stored.strError, "");

    const FetchResult folder = pFetcher->Download(server.Url("/a/"), false);
    EXPECT_TRUE(folder.bTemporary);
    // Read for links under a private name beside temp.html, which stays whatever is there.
    EXPECT_EQ(folder.strLocalPath, FileSystem::PartialPath(Local("temp.html")));
    EXPECT_EQ(ReadWholeFile(folder.strLocalPath), "<a href=x.html>");

    const FetchResult missing = pFetcher->Download(server.Url("/a/gone.gif"), false);
    EXPECT_TRUE(missing.bOk);
    EXPECT_TRUE(missing.bNotFound);
    EXPECT_EQ(missing.strError, "") << "a missing file is no failure";

    const FetchResult refused = pFetcher->Download(server.Url("/a/../up.gif"), false);
    EXPECT_FALSE(refused.bOk);
    EXPECT_EQ(refused.strError, LastLogLine());
    EXPECT_NE(refused.strError.find("outside the destination folder"), std::string::npos);
}

} // namespace
