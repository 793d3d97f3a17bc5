#include "platform/HttpConnection.h"
#include "platform/HttpRequest.h"
#include "platform/HttpSession.h"
#include "platform/InternetException.h"
#include "platform/RateLimit.h"
#include "support/TestHttpServer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace
{

constexpr const char* kHeaders = "Accept: */*\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\n";

struct Client
{
    explicit Client(const CTestHttpServer& server, std::string agent = "Agent 1.0", std::string user = "",
                    std::string password = "")
        : session(std::move(agent)),
          connection(session.GetHttpConnection("127.0.0.1", server.Port(), user, password))
    {
    }

    std::unique_ptr<CHttpRequest> Send(const std::string& object)
    {
        std::unique_ptr<CHttpRequest> request = connection->OpenRequest("GET", object, "HTTP/1.0");
        request->AddRequestHeaders(kHeaders, true);
        request->SendRequest();
        return request;
    }

    static std::string ReadAll(CHttpRequest& request, size_t block = 256)
    {
        std::string body;
        std::vector<char> buffer(block);
        while (size_t got = request.Read(buffer.data(), buffer.size()))
        {
            EXPECT_LE(got, block);
            body.append(buffer.data(), got);
        }
        return body;
    }

    CHttpSession session;
    std::unique_ptr<CHttpConnection> connection;
};

TEST(HttpClient, SendsOneHttp10GetWithTheAgentAndEachHeaderOnce)
{
    CTestHttpServer server;
    server.Serve("/a/page.html?x=1", TestResponse::Ok("hello"));

    Client withAgent(server);
    std::unique_ptr<CHttpRequest> request = withAgent.Send("/a/page.html?x=1");
    EXPECT_EQ(request->QueryStatusCode(), 200);
    EXPECT_EQ(Client::ReadAll(*request), "hello");

    Client withoutAgent(server, "");
    withoutAgent.Send("/a/page.html?x=1");

    const std::vector<TestRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const TestRequest& sent : requests)
    {
        EXPECT_EQ(sent.method, "GET");
        EXPECT_EQ(sent.target, "/a/page.html?x=1");
        EXPECT_EQ(sent.version, "HTTP/1.0");
        EXPECT_EQ(sent.Header("Accept"), "*/*");
        size_t agents = 0;
        for (const auto& header : sent.headers)
            agents += header.first == "User-Agent" ? 1 : 0;
        EXPECT_EQ(agents, 1u);
        EXPECT_TRUE(sent.Header("Authorization").empty());
    }
    // The session's agent wins; the literal fills in only when the session has none.
    EXPECT_EQ(requests[0].Header("User-Agent"), "Agent 1.0");
    EXPECT_EQ(requests[1].Header("User-Agent"), "Mozilla/3.0 (Win95; I)");
}

TEST(HttpClient, ReadsStatusLengthTypeAndAllThreeDateForms)
{
    CTestHttpServer server;
    const auto dated = [](const char* date)
    {
        TestResponse response = TestResponse::Ok("x", "text/html; charset=iso-8859-1");
        if (date != nullptr)
            response.headers.emplace_back("Last-Modified", date);
        return response;
    };
    server.Serve("/1123", dated("Sun, 06 Nov 1994 08:49:37 GMT"));
    server.Serve("/850", dated("Sunday, 06-Nov-94 08:49:37 GMT"));
    server.Serve("/asctime", dated("Sun Nov  6 08:49:37 1994"));
    server.Serve("/garbage", dated("yesterday-ish"));
    server.Serve("/none", dated(nullptr));
    TestResponse error = TestResponse::Ok("<html>oops</html>");
    error.status = 500;
    server.Serve("/error", error);

    Client client(server);
    for (const char* object : {"/1123", "/850", "/asctime"})
    {
        std::unique_ptr<CHttpRequest> request = client.Send(object);
        EXPECT_EQ(request->QueryLastModified(), std::optional<std::int64_t>(784111777)) << object;
        EXPECT_EQ(request->QueryHeader("content-type"), "text/html; charset=iso-8859-1");
        EXPECT_EQ(request->QueryHeader("Content-Length"), "1");
    }
    EXPECT_EQ(client.Send("/garbage")->QueryLastModified(), std::nullopt);
    EXPECT_EQ(client.Send("/none")->QueryLastModified(), std::nullopt);
    EXPECT_EQ(client.Send("/missing")->QueryStatusCode(), 404);

    std::unique_ptr<CHttpRequest> failed = client.Send("/error");
    EXPECT_EQ(failed->QueryStatusCode(), 500);
    EXPECT_EQ(Client::ReadAll(*failed), "<html>oops</html>");
}

TEST(HttpClient, HandsOutTheBodyInBlocksAndDropsAnUnreadOne)
{
    CTestHttpServer server;
    std::string big;
    for (int i = 0; big.size() < 1024 * 1024; ++i)
        big += std::to_string(i) + ",";
    server.Serve("/big", TestResponse::Ok(big, "application/octet-stream"));
    server.Serve("/small", TestResponse::Ok("small"));

    Client client(server);
    {
        // Closed before any of its body is read: the next request on the connection still works.
        std::unique_ptr<CHttpRequest> unread = client.Send("/big");
        unread->Close();
    }
    std::unique_ptr<CHttpRequest> request = client.Send("/big");
    EXPECT_EQ(Client::ReadAll(*request, 256), big);
    EXPECT_EQ(request->Read(nullptr, 0), 0u);
    request.reset();
    EXPECT_EQ(Client::ReadAll(*client.Send("/small")), "small");
}

TEST(HttpClient, FollowsRedirectsAndReportsTheLastResponse)
{
    CTestHttpServer server;
    server.Serve("/a", TestResponse::Redirect(301, "/b"));
    server.Serve("/b", TestResponse::Redirect(302, server.Url("/c")));
    TestResponse last = TestResponse::Ok("final", "text/plain");
    last.headers.emplace_back("Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT");
    server.Serve("/c", last);
    server.Serve("/loop", TestResponse::Redirect(302, "/loop"));
    server.Serve("/ftp", TestResponse::Redirect(302, "ftp://127.0.0.1/x"));

    Client client(server);
    std::unique_ptr<CHttpRequest> request = client.Send("/a");
    EXPECT_EQ(request->QueryStatusCode(), 200);
    EXPECT_EQ(request->QueryHeader("Content-Type"), "text/plain");
    EXPECT_FALSE(request->QueryHeader("Last-Modified").empty());
    EXPECT_TRUE(request->QueryHeader("Location").empty());
    EXPECT_EQ(Client::ReadAll(*request), "final");
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a", "/b", "/c"}));

    EXPECT_THROW(client.Send("/loop"), CInternetException);
    EXPECT_LE(server.CountOf("/loop"), 11u);
    EXPECT_THROW(client.Send("/ftp"), CInternetException);
}

TEST(HttpClient, AnswersChallengesAndKeepsCredentialsOnTheirServer)
{
    CTestHttpServer server;
    TestResponse secret = TestResponse::Ok("secret");
    secret.requireBasic = "user:pass word";
    server.Serve("/secret", secret);
    // Another host name for the same server: a redirect there must not carry the password.
    server.Serve("/away",
                 TestResponse::Redirect(302, "http://localhost:" + std::to_string(server.Port()) + "/open"));
    server.Serve("/open", TestResponse::Ok("open"));

    Client anonymous(server);
    EXPECT_EQ(anonymous.Send("/secret")->QueryStatusCode(), 401);

    Client wrong(server, "Agent", "user", "nope");
    EXPECT_EQ(wrong.Send("/secret")->QueryStatusCode(), 401);

    Client right(server, "Agent", "user", "pass word");
    std::unique_ptr<CHttpRequest> request = right.Send("/secret");
    EXPECT_EQ(request->QueryStatusCode(), 200);
    EXPECT_EQ(Client::ReadAll(*request), "secret");
    request.reset();

    server.ClearLog();
    right.Send("/away");
    for (const TestRequest& sent : server.Requests())
    {
        if (sent.target == "/open")
        {
            EXPECT_TRUE(sent.Header("Authorization").empty());
        }
    }
    EXPECT_EQ(server.CountOf("/open"), 1u);
}

TEST(HttpClient, ReportsCutBodiesAndRefusedConnectionsWithCodeAndText)
{
    CTestHttpServer server;
    TestResponse cut = TestResponse::Ok(std::string(512, 'x'));
    cut.contentLength = 1000;
    server.Serve("/cut", cut);

    Client client(server);
    std::unique_ptr<CHttpRequest> request = client.Send("/cut");
    std::string received;
    char buffer[256];
    try
    {
        while (size_t got = request->Read(buffer, sizeof buffer))
            received.append(buffer, got);
        ADD_FAILURE() << "a cut body must not end quietly";
    }
    catch (const CInternetException& e)
    {
        EXPECT_EQ(e.m_nErrorCode, 18u); // partial file
        EXPECT_NE(std::string(e.what()), "");
    }
    EXPECT_EQ(received.size(), 512u);

    unsigned closedPort = 0;
    {
        CTestHttpServer gone;
        closedPort = gone.Port();
    }
    CHttpSession session("Agent");
    std::unique_ptr<CHttpConnection> connection = session.GetHttpConnection("127.0.0.1", closedPort, "", "");
    std::unique_ptr<CHttpRequest> refused = connection->OpenRequest("GET", "/", "HTTP/1.0");
    try
    {
        refused->SendRequest();
        ADD_FAILURE() << "nothing listens there";
    }
    catch (const CInternetException& e)
    {
        EXPECT_EQ(e.m_nErrorCode, 7u); // could not connect
        EXPECT_NE(std::string(e.what()).find("onnect"), std::string::npos);
    }
}

} // namespace

TEST(HttpClient, KeepsTheConnectionWhileTheServerAgreesAndReconnectsUnnoticed)
{
    const std::vector<std::string> objects{"/one", "/two", "/three"};
    // Requests on one connection in turn, each read to its end: what the caller sees.
    auto fetchAll = [&](KeepAlive mode, size_t expectedConnections, size_t expectedRequests)
    {
        SCOPED_TRACE(static_cast<int>(mode));
        CTestHttpServer server;
        server.SetKeepAlive(mode);
        for (const std::string& object : objects)
            server.Serve(object, TestResponse::Ok("body of " + object));
        Client client(server);
        for (const std::string& object : objects)
        {
            std::unique_ptr<CHttpRequest> request;
            ASSERT_NO_THROW(request = client.Send(object));
            EXPECT_EQ(request->QueryStatusCode(), 200);
            EXPECT_EQ(Client::ReadAll(*request), "body of " + object);
        }
        for (const TestRequest& sent : server.Requests())
        {
            EXPECT_EQ(sent.version, "HTTP/1.0");
            EXPECT_EQ(sent.Header("Connection"), "keep-alive");
        }
        EXPECT_EQ(server.Connections(), expectedConnections);
        EXPECT_EQ(server.Requests().size(), expectedRequests);
    };
    fetchAll(KeepAlive::WhileAsked, 1, 3);
    // A server that closes after every answer, or drops a kept connection, costs a new
    // connection and nothing else; a request dropped unanswered is sent again.
    fetchAll(KeepAlive::Never, 3, 3);
    fetchAll(KeepAlive::DropWhenIdle, 3, 3);
    fetchAll(KeepAlive::DropWhenReused, 3, 5);
}

TEST(HttpClient, ClosingCutsAWaitForTheRateLimitShort)
{
    // At a kilobyte a second the body would take a quarter of an hour; the cancel question is
    // asked while the limit holds the transfer back, so closing ends it at once.
    CTestHttpServer server;
    server.Serve("/slow", TestResponse::Ok(std::string(1 << 20, 'x')));
    CHttpSession session("Agent");
    HttpTransport transport;
    transport.pRateLimit = std::make_shared<CRateLimit>(1024);
    session.SetTransport(transport);
    bool bClosing = false;
    session.SetCancel([&] { return bClosing; });
    std::unique_ptr<CHttpConnection> connection =
        session.GetHttpConnection("127.0.0.1", server.Port(), "", "");
    std::unique_ptr<CHttpRequest> request = connection->OpenRequest("GET", "/slow", "HTTP/1.0");
    request->SendRequest();

    const auto start = std::chrono::steady_clock::now();
    char buffer[4096];
    std::string received;
    try
    {
        received.append(buffer, request->Read(buffer, sizeof buffer));
        bClosing = true;
        while (size_t got = request->Read(buffer, sizeof buffer))
            received.append(buffer, got);
        ADD_FAILURE() << "the whole body came through";
    }
    catch (const CInternetException& e)
    {
        EXPECT_EQ(e.m_nErrorCode, 42u); // aborted by callback
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_LE(received.size(), 2048u) << "the limit held the body back until then";
}
