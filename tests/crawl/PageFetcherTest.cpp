#include "FetchFixture.h"
#include "platform/FileSystem.h"

namespace
{

using PageFetcherTest = FetchTest;

TEST_F(PageFetcherTest, SendGetReadsTheHeadersAndLeavesTheBodyToReadChunk)
{
    TestResponse page = Dated("0123456789", 784111777, "text/html; charset=iso-8859-1");
    server.Serve("/a/p.html", page);
    auto pFetcher = MakeFetcher();
    pFetcher->EnsureSession();
    ASSERT_TRUE(pFetcher->EnsureConnection());
    EXPECT_EQ(pFetcher->GetServerRoot(), server.Url()); // the port is kept

    const GetResponse response = pFetcher->SendGet("/a/p.html");
    ASSERT_TRUE(response.bOk);
    EXPECT_FALSE(response.bNotFound);
    EXPECT_EQ(response.nLength, 10);
    EXPECT_EQ(response.lastModified, std::optional<std::int64_t>(784111777));
    EXPECT_EQ(response.strContentType, "text/html; charset=iso-8859-1");

    char buffer[4];
    EXPECT_EQ(pFetcher->ReadChunk(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    pFetcher->CloseRequest();
    EXPECT_EQ(pFetcher->ReadChunk(buffer, 4), 0u);
    pFetcher->CloseAll();
    pFetcher->CloseAll(); // harmless when nothing is open

    const std::vector<TestRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].version, "HTTP/1.0");
    EXPECT_EQ(requests[0].Header("User-Agent"), app.App().GetVersionText());
    EXPECT_EQ(requests[0].Header("Accept"), "*/*");
}

TEST_F(PageFetcherTest, MissingLengthAndDateReadAsZeroAndUnknown)
{
    TestResponse page = TestResponse::Ok("body");
    page.bNoLength = true;
    server.Serve("/a/p.html", page);
    auto pFetcher = MakeFetcher();
    pFetcher->EnsureSession();
    ASSERT_TRUE(pFetcher->EnsureConnection());
    const GetResponse response = pFetcher->SendGet("/a/p.html");
    ASSERT_TRUE(response.bOk);
    EXPECT_EQ(response.nLength, 0);
    EXPECT_EQ(response.lastModified, std::nullopt);
}

TEST_F(PageFetcherTest, NotFoundUnauthorizedAndRefusedEachLeaveTheirLogLine)
{
    TestResponse secret = TestResponse::Ok("secret");
    secret.requireBasic = "me:pw";
    server.Serve("/a/secret.html", secret);
    auto pFetcher = MakeFetcher();

    const Outcome missing = Fetch(*pFetcher, "/a/missing.html");
    EXPECT_TRUE(missing.bOk);
    EXPECT_TRUE(missing.bNotFound);
    EXPECT_EQ(pFetcher->GetLastError(), "Link not found: /a/missing.html");
    EXPECT_FALSE(FileSystem::Exists(Local("missing.html")));

    EXPECT_FALSE(Fetch(*pFetcher, "/a/secret.html").bOk);
    EXPECT_EQ(pFetcher->GetLastError(), "Error: Exiting with CTearException(401)");
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
    pRefused->SetUrl("http://127.0.0.1:" + std::to_string(closedPort) + "/a/x.html");
    EXPECT_FALSE(pRefused->Download().bOk);
    EXPECT_EQ(pRefused->GetLastError().rfind("Error: (7) ", 0), 0u) << pRefused->GetLastError();

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
    pFetcher->SetUrl("ftp://127.0.0.1/a/x.html");
    EXPECT_FALSE(pFetcher->Download().bOk);
    EXPECT_FALSE(pFetcher->Download().bOk);
    EXPECT_EQ(pFetcher->GetLastError(), "Error: Exiting with CTearException(1)");

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

    pFetcher->SetUrl(server.Url("/docs"));
    EXPECT_TRUE(pFetcher->ProbeDirectory());
    EXPECT_EQ(pFetcher->GetUrl(), server.Url("/docs/"));

    pFetcher->SetUrl(server.Url("/nodir"));
    EXPECT_FALSE(pFetcher->ProbeDirectory());
    EXPECT_EQ(pFetcher->GetLastError(), "Link not found: /nodir/");
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/docs/", "/nodir/"}));
}

TEST_F(PageFetcherTest, RedirectsAndErrorPagesAreStoredUnderTheRequestedName)
{
    server.Serve("/a/old.html", TestResponse::Redirect(301, "/a/mid.html"));
    server.Serve("/a/mid.html", TestResponse::Redirect(302, "/elsewhere/new.html"));
    server.Serve("/elsewhere/new.html", TestResponse::Ok("new"));
    TestResponse error = TestResponse::Ok("<html>server error</html>");
    error.status = 500;
    server.Serve("/a/broken.html", error);

    auto pFetcher = MakeFetcher();
    const Outcome moved = Fetch(*pFetcher, "/a/old.html");
    EXPECT_TRUE(moved.bOk);
    EXPECT_EQ(moved.strType, "text/html");
    EXPECT_EQ(ReadWholeFile(Local("old.html")), "new");
    EXPECT_FALSE(FileSystem::Exists(Local("new.html")));

    EXPECT_TRUE(Fetch(*pFetcher, "/a/broken.html").bOk);
    EXPECT_EQ(ReadWholeFile(Local("broken.html")), "<html>server error</html>");
}

} // namespace

namespace
{

TEST_F(PageFetcherTest, TheResultNamesTheLocalFileAndAFailuresLogLine)
{
    server.Serve("/a/", TestResponse::Ok("<a href=x.html>"));
    server.Serve("/a/p.gif", TestResponse::Ok("gif", "image/gif"));
    auto pFetcher = MakeFetcher();

    pFetcher->SetUrl(server.Url("/a/p.gif"));
    const FetchResult stored = pFetcher->Download();
    EXPECT_TRUE(stored.bOk);
    EXPECT_EQ(stored.strLocalPath, Local("p.gif"));
    EXPECT_EQ(stored.strContentType, "image/gif");
    EXPECT_EQ(stored.strError, "");

    pFetcher->SetUrl(server.Url("/a/"));
    const FetchResult folder = pFetcher->Download();
    EXPECT_TRUE(folder.bTemporary);
    // Read for links under a private name beside temp.html, which stays whatever is there.
    EXPECT_EQ(folder.strLocalPath, FileSystem::PartialPath(Local("temp.html")));
    EXPECT_EQ(ReadWholeFile(folder.strLocalPath), "<a href=x.html>");

    pFetcher->SetUrl(server.Url("/a/gone.gif"));
    const FetchResult missing = pFetcher->Download();
    EXPECT_TRUE(missing.bOk);
    EXPECT_TRUE(missing.bNotFound);
    EXPECT_EQ(missing.strError, "") << "a missing file is no failure";

    pFetcher->SetUrl(server.Url("/a/../up.gif"));
    const FetchResult refused = pFetcher->Download();
    EXPECT_FALSE(refused.bOk);
    EXPECT_EQ(refused.strError, pFetcher->GetLastError());
    EXPECT_NE(refused.strError.find("outside the destination folder"), std::string::npos);
}

} // namespace
