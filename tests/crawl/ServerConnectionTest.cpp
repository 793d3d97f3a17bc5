#include "crawl/ServerConnection.h"

#include "FetchFixture.h"

#include <vector>

namespace
{

using ServerConnectionTest = FetchTest;

// Every block the sink is handed, in order.
struct CollectingSink
{
    std::string strBody;
    std::vector<size_t> blocks;
    size_t nStopAfter = SIZE_MAX; // blocks taken before the sink refuses one

    CServerConnection::BlockSink Sink()
    {
        return [this](const char* pData, size_t nCount)
        {
            if (blocks.size() == nStopAfter)
                return false;
            blocks.push_back(nCount);
            strBody.append(pData, nCount);
            return true;
        };
    }
};

TEST_F(ServerConnectionTest, GetReadsTheHeadersAndLeavesTheBodyToTheSink)
{
    TestResponse page = Dated("0123456789", 784111777, "text/html; charset=iso-8859-1");
    server.Serve("/a/p.html", page);
    CServerConnection connection(app.App(), app.Settings());
    const CServerConnection::ConnectOutcome connected = connection.Connect(server.Url("/a/"), "", "");
    ASSERT_TRUE(connected.bOk) << connected.strError;
    EXPECT_EQ(connected.strServerRoot, server.Url()); // the port is kept

    const GetResponse response = connection.Get("/a/p.html");
    ASSERT_TRUE(response.bOk);
    EXPECT_FALSE(response.bNotFound);
    EXPECT_EQ(response.nLength, 10);
    EXPECT_EQ(response.lastModified, std::optional<std::int64_t>(784111777));
    EXPECT_EQ(response.strContentType, "text/html; charset=iso-8859-1");

    CollectingSink sink;
    const CServerConnection::BodyOutcome body = connection.ReceiveBody(sink.Sink());
    EXPECT_EQ(body.end, CServerConnection::BodyEnd::Whole);
    EXPECT_EQ(sink.strBody, "0123456789");
    connection.CloseRequest();
    // Without an open request there is nothing more to hand.
    EXPECT_EQ(connection.ReceiveBody(sink.Sink()).end, CServerConnection::BodyEnd::Whole);
    EXPECT_EQ(sink.strBody, "0123456789");
    connection.Close();
    connection.Close(); // harmless when nothing is open

    const std::vector<TestRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].version, "HTTP/1.0");
    EXPECT_EQ(requests[0].Header("User-Agent"), app.App().GetVersionText());
    EXPECT_EQ(requests[0].Header("Accept"), "*/*");
}

TEST_F(ServerConnectionTest, MissingLengthAndDateReadAsZeroAndUnknown)
{
    TestResponse page = TestResponse::Ok("body");
    page.bNoLength = true;
    server.Serve("/a/p.html", page);
    CServerConnection connection(app.App(), app.Settings());
    ASSERT_TRUE(connection.Connect(server.Url("/a/"), "", "").bOk);
    const GetResponse response = connection.Get("/a/p.html");
    ASSERT_TRUE(response.bOk);
    EXPECT_EQ(response.nLength, 0);
    EXPECT_EQ(response.lastModified, std::nullopt);
}

TEST_F(ServerConnectionTest, TheBodyComesInSmallBlocksAndTheSinkCanStopIt)
{
    const std::string body(3000, 'b');
    server.Serve("/a/big.bin", TestResponse::Ok(body, "application/octet-stream"));
    server.Serve("/a/next.bin", TestResponse::Ok("next", "application/octet-stream"));
    CServerConnection connection(app.App(), app.Settings());
    ASSERT_TRUE(connection.Connect(server.Url("/a/"), "", "").bOk);

    ASSERT_TRUE(connection.Get("/a/big.bin").bOk);
    CollectingSink whole;
    EXPECT_EQ(connection.ReceiveBody(whole.Sink()).end, CServerConnection::BodyEnd::Whole);
    EXPECT_EQ(whole.strBody, body);
    // Blocks small enough that the count and the closing check follow the transfer closely.
    EXPECT_GT(whole.blocks.size(), 3u);
    for (size_t nBlock : whole.blocks)
        EXPECT_LE(nBlock, 256u);

    ASSERT_TRUE(connection.Get("/a/big.bin").bOk);
    CollectingSink refusing;
    refusing.nStopAfter = 2;
    EXPECT_EQ(connection.ReceiveBody(refusing.Sink()).end, CServerConnection::BodyEnd::SinkStopped);
    EXPECT_EQ(refusing.blocks.size(), 2u);
    // The next request replaces the abandoned one on the same connection object.
    ASSERT_TRUE(connection.Get("/a/next.bin").bOk);
    CollectingSink next;
    EXPECT_EQ(connection.ReceiveBody(next.Sink()).end, CServerConnection::BodyEnd::Whole);
    EXPECT_EQ(next.strBody, "next");
}

TEST_F(ServerConnectionTest, FailuresComeBackAsLogLinesAndNothingIsLogged)
{
    TestResponse secret = TestResponse::Ok("secret");
    secret.requireBasic = "me:pw";
    server.Serve("/a/secret.html", secret);
    TestResponse reset = TestResponse::Ok(std::string(300000, 'r'));
    reset.bNoLength = true;
    reset.bReset = true;
    server.Serve("/a/reset.html", reset);
    CServerConnection connection(app.App(), app.Settings());

    const CServerConnection::ConnectOutcome ftp = connection.Connect("ftp://127.0.0.1/a/", "", "");
    EXPECT_FALSE(ftp.bOk);
    EXPECT_TRUE(ftp.bNotHttp);
    EXPECT_EQ(ftp.strError, "Error: Exiting with CTearException(1)");
    // https is served only when the run allows it.
    EXPECT_FALSE(connection.Serves("https://127.0.0.1/a/"));
    EXPECT_TRUE(connection.Serves("HTTP://127.0.0.1/a/"));

    ASSERT_TRUE(connection.Connect(server.Url("/a/"), "", "").bOk);
    const GetResponse denied = connection.Get("/a/secret.html");
    EXPECT_FALSE(denied.bOk);
    EXPECT_EQ(denied.nStatus, 401);
    EXPECT_EQ(denied.strError, "Error: Exiting with CTearException(401)");
    const GetResponse missing = connection.Get("/a/none.html");
    EXPECT_TRUE(missing.bOk);
    EXPECT_TRUE(missing.bNotFound);
    EXPECT_EQ(missing.strError, "");

    ASSERT_TRUE(connection.Get("/a/reset.html").bOk);
    CollectingSink sink;
    const CServerConnection::BodyOutcome cut = connection.ReceiveBody(sink.Sink());
    EXPECT_EQ(cut.end, CServerConnection::BodyEnd::Cut);
    EXPECT_EQ(cut.strError.rfind("Error: (", 0), 0u) << cut.strError;
    EXPECT_EQ(app.LogText().find("Error"), std::string::npos) << "the caller decides what is logged";
}

} // namespace
