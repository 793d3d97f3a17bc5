#include "CrawlRunner.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>

namespace
{

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Holds bodies after their first block until released, and tells how many are held.
class CBodyGate
{
public:
    ~CBodyGate() { Open(); }

    std::function<void()> Hold()
    {
        return [this]
        {
            std::unique_lock lock(m_mutex);
            ++m_nHeld;
            m_changed.notify_all();
            m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_bOpen; });
        };
    }

    bool WaitForHeld(int nCount)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_nHeld >= nCount; });
    }

    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_bOpen = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_nHeld = 0;
    bool m_bOpen = false;
};

class ConnectionsEndTest : public ::testing::Test
{
protected:
    static std::string Body(const std::string& name) { return std::string(8 * 1024, name[0]); }

    // Every file in the destination is whole: a final name never holds part of a body.
    void ExpectWhole(const std::set<std::string>& files, const std::string& where)
    {
        for (const std::string& name : files)
        {
            if (name != "index.html")
            {
                EXPECT_EQ(ReadAll(app.Destination() + name), Body(name)) << name << ", " << where;
            }
        }
    }

    CTestApp app;
    CTestHttpServer server;
    CCrawlRunner runner;
};

TEST_F(ConnectionsEndTest, AFailureThatEndsTheRunCutsTheTransfersUnderWayAndKeepsWhatCameBefore)
{
    app.StoreDword(kValueConnections, 4);
    std::string strIndex;
    for (const char* name : {"a", "b", "c", "d", "e", "f"})
    {
        strIndex += std::string("<a href=\"") + name + ".html\">x</a>\n";
        TestResponse response = TestResponse::Ok(Body(name));
        response.blockBytes = 1024;
        response.blockDelay = std::chrono::milliseconds(20);
        server.Serve(std::string("/s/") + name + ".html", response);
    }
    // Cut at once, while the pages before and after it are still arriving.
    TestResponse cut = TestResponse::Ok("short");
    cut.contentLength = 1000;
    server.Serve("/s/c.html", cut);
    server.Serve("/s/index.html", TestResponse::Ok(strIndex));

    CCrawlJob job(app.App(), app.Settings(), server.Url("/s/index.html"), app.Destination(), "", "", true);
    EXPECT_EQ(runner.Run(job), std::optional<bool>(false));
    // As with one connection: what came before the failure, and nothing after it or partial.
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"index.html", "a.html", "b.html"}));
    ExpectWhole(FilesIn(app.Destination()), "failure");
    EXPECT_NE(app.LogText().find("File not complete"), std::string::npos);
}

TEST_F(ConnectionsEndTest, AStopLetsTheTransfersUnderWayEndAndClosingCutsThem)
{
    const struct
    {
        bool bClose;
        std::set<std::string> expected;
    } rows[] = {
        {false, {"index.html", "a.html", "b.html", "c.html"}},
        {true, {"index.html"}},
    };
    for (const auto& row : rows)
    {
        const std::string where = row.bClose ? "closing" : "stop";
        CTestApp rowApp;
        CTestHttpServer rowServer;
        CCrawlRunner rowRunner;
        CBodyGate gate;
        rowApp.StoreDword(kValueConnections, 3);
        std::string strIndex;
        for (const char* name : {"a", "b", "c", "d", "e"})
        {
            strIndex += std::string("<a href=\"") + name + ".html\">x</a>\n";
            TestResponse response = TestResponse::Ok(Body(name));
            response.blockBytes = 1024;
            response.afterFirstBlock = gate.Hold();
            rowServer.Serve(std::string("/s/") + name + ".html", response);
        }
        rowServer.Serve("/s/index.html", TestResponse::Ok(strIndex));

        CCrawlJob job(rowApp.App(), rowApp.Settings(), rowServer.Url("/s/index.html"), rowApp.Destination(),
                      "", "", true);
        rowRunner.Start(job);
        ASSERT_TRUE(gate.WaitForHeld(3)) << where;
        if (row.bClose)
            rowApp.App().SetClosing(true);
        else
            job.m_bStop = true;
        // A closing program does not wait for the bodies; a stop lets them come.
        if (!row.bClose)
            gate.Open();
        ASSERT_TRUE(rowRunner.Owner().Wait().has_value()) << where;
        gate.Open();
        const std::set<std::string> files = FilesIn(rowApp.Destination());
        EXPECT_EQ(files, row.expected) << where;
        for (const std::string& name : files)
        {
            if (name != "index.html")
            {
                EXPECT_EQ(ReadAll(rowApp.Destination() + name), Body(name)) << name << ", " << where;
            }
        }
        EXPECT_EQ(rowServer.CountOf("/s/d.html"), 0u) << where;
    }
}

TEST_F(ConnectionsEndTest, CompressedBodiesAreStoredDecodedAndOneThatCannotBeIsNoFile)
{
    // "hello compressed world\n" 40 times, gzipped.
    const std::string gzipped(
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\x48\xcd\xc9\xc9\x57\x48\xce\xcf\x2d\x28"
        "\x4a\x2d\x2e\x4e\x4d\x51\x28\xcf\x2f\xca\x49\xe1\xca\x18\x15\x1e\x15\x1e\x15\x1e\x38"
        "\x61\x00\xc3\x93\xfc\xbd\x98\x03\x00\x00",
        52);
    std::string plain;
    for (int i = 0; i < 40; ++i)
        plain += "hello compressed world\n";
    const std::string broken = gzipped.substr(0, 10) + std::string(42, '\x55');
    const struct
    {
        unsigned nCompressed;
        unsigned nConnections;
        std::string body;
        bool bStored;
    } rows[] = {
        {1, 1, gzipped, true}, {1, 3, gzipped, true}, {1, 1, broken, false},
        {1, 3, broken, false}, {0, 1, plain, true},
    };
    for (const auto& row : rows)
    {
        const std::string where = "compressed " + std::to_string(row.nCompressed) + ", connections " +
                                  std::to_string(row.nConnections) + ", stored " +
                                  std::to_string(row.bStored);
        CTestApp rowApp;
        CTestHttpServer rowServer;
        CCrawlRunner rowRunner;
        rowApp.StoreDword(kValueCompressed, row.nCompressed);
        rowApp.StoreDword(kValueConnections, row.nConnections);
        rowApp.StoreDword(kValueContinueOnError, 1);
        rowServer.Serve("/s/index.html", TestResponse::Ok("<a href=\"a.txt\">a</a><a href=\"b.txt\">b</a>"));
        for (const char* target : {"/s/a.txt", "/s/b.txt"})
        {
            TestResponse response = TestResponse::Ok(row.body, "text/plain");
            if (row.nCompressed != 0)
                response.headers.emplace_back("Content-Encoding", "gzip");
            rowServer.Serve(target, response);
        }
        CCrawlJob job(rowApp.App(), rowApp.Settings(), rowServer.Url("/s/index.html"), rowApp.Destination(),
                      "", "", true);
        EXPECT_EQ(rowRunner.Run(job), std::optional<bool>(row.bStored)) << where;
        for (const char* name : {"a.txt", "b.txt"})
        {
            EXPECT_EQ(FileSystem::Exists(rowApp.Destination() + name), row.bStored) << name << ", " << where;
            if (row.bStored)
            {
                EXPECT_EQ(ReadAll(rowApp.Destination() + name), plain) << name << ", " << where;
            }
        }
        const std::set<std::string> files = FilesIn(rowApp.Destination());
        EXPECT_EQ(files.size(), row.bStored ? 3u : 1u) << "no partial file is left, " << where;
        for (const TestRequest& request : rowServer.Requests())
        {
            EXPECT_EQ(request.version, row.nCompressed != 0 ? "HTTP/1.1" : "HTTP/1.0") << where;
            EXPECT_EQ(request.Header("Accept-Encoding").find("gzip") != std::string::npos,
                      row.nCompressed != 0)
                << where;
        }
    }
}

TEST_F(ConnectionsEndTest, TheWaitSpacesRequestStartsAndTheRateLimitHoldsForAllTransfersTogether)
{
    using Clock = std::chrono::steady_clock;
    const struct
    {
        const char* value;
        unsigned nValue;
        // The least time between two requests, and for the whole run.
        std::chrono::milliseconds gap;
        std::chrono::milliseconds run;
    } rows[] = {
        {kValueWaitMs, 300, std::chrono::milliseconds(250), std::chrono::milliseconds(0)},
        // Four bodies of 20 KiB at 20 KiB per second take four seconds together, one each alone.
        {kValueLimitRate, 20 * 1024, std::chrono::milliseconds(0), std::chrono::milliseconds(3000)},
    };
    for (const auto& row : rows)
    {
        CTestApp rowApp;
        CTestHttpServer rowServer;
        CCrawlRunner rowRunner;
        rowApp.StoreDword(kValueConnections, 4);
        rowApp.StoreDword(row.value, row.nValue);
        std::mutex mutex;
        std::vector<Clock::time_point> starts;
        std::string strIndex;
        for (const char* name : {"a", "b", "c", "d"})
        {
            strIndex += std::string("<a href=\"") + name + ".txt\">x</a>\n";
            rowServer.Serve(std::string("/s/") + name + ".txt",
                            [&](const TestRequest&)
                            {
                                std::lock_guard lock(mutex);
                                starts.push_back(Clock::now());
                                return TestResponse::Ok(std::string(20 * 1024, 'r'), "text/plain");
                            });
        }
        rowServer.Serve("/s/index.html", TestResponse::Ok(strIndex));
        CCrawlJob job(rowApp.App(), rowApp.Settings(), rowServer.Url("/s/index.html"), rowApp.Destination(),
                      "", "", true);
        const Clock::time_point begin = Clock::now();
        EXPECT_EQ(rowRunner.Run(job), std::optional<bool>(true)) << row.value;
        EXPECT_GE(Clock::now() - begin, row.run) << row.value;
        EXPECT_EQ(FilesIn(rowApp.Destination()).size(), 5u) << row.value;
        std::lock_guard lock(mutex);
        for (size_t i = 1; i < starts.size(); ++i)
            EXPECT_GE(starts[i] - starts[i - 1], row.gap) << row.value << " " << i;
    }
}

} // namespace
