#include "CliProcess.h"
#include "platform/FileSystem.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"
#include "support/Planted.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace
{

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class CliRun : public testing::Test
{
protected:
    std::string Dest(const std::string& relative = "") const { return m_dest.Path() + "out/" + relative; }
    int Run(std::vector<std::string> arguments, std::string* out = nullptr, std::string* err = nullptr)
    {
        return RunCli(arguments, m_config.Path(), out, err);
    }
    std::string StoreText() const { return ReadWholeFile(m_config.Path() + "QMV/Harvestly.conf"); }

    CTestHttpServer m_server;
    CTempDir m_config;
    CTempDir m_dest;
};

TEST_F(CliRun, MirrorsASiteAndEndsWithTheOutcomeLine)
{
    m_server.Serve("/a/index.html", TestResponse::Ok("<a href=\"b.html\">b</a> <img src=\"pic.gif\">\n"));
    m_server.Serve("/a/b.html", TestResponse::Ok("<a href=\"index.html\">back</a>\n"));
    m_server.Serve("/a/pic.gif", TestResponse::Ok("GIF89a", "image/gif"));

    std::string out;
    ASSERT_EQ(Run({"--yes", "--quiet", "--crawl", m_server.Url("/a/index.html"), Dest()}, &out), 0);
    EXPECT_EQ(out, "Site processing complete.\n");
    EXPECT_EQ(ReadWholeFile(Dest("b.html")), "<a href=\"index.html\">back</a>\n");
    EXPECT_EQ(ReadWholeFile(Dest("pic.gif")), "GIF89a");
    EXPECT_EQ(ReadWholeFile(Dest("shortcut.url")),
              "[InternetShortcut]\r\nURL=" + m_server.Url("/a/index.html") + "\r\nUser=\r\nPassword=\r\n");
    const std::string log = ReadWholeFile(Dest("error.log"));
    EXPECT_NE(log.find(" : New Session\n"), std::string::npos);
    EXPECT_NE(log.find(" : Destination: " + Dest() + "\n"), std::string::npos)
        << "the destination gets its '/'";
    EXPECT_TRUE(EndsWith(log, " : Site processing complete.\n")) << log;
}

TEST_F(CliRun, BadUsageAndBadInputEndWithStatusTwoAndWriteNothing)
{
    std::string err;
    EXPECT_EQ(Run({"ftp://host/x", Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("http://"), std::string::npos);
    EXPECT_EQ(Run({"--retries", "7", m_server.Url("/"), Dest()}), 2);
    EXPECT_EQ(Run({"--no-such-option", m_server.Url("/"), Dest()}), 2);
    EXPECT_EQ(Run({m_server.Url("/")}), 2);
    // Without a terminal a missing destination is only created with --yes.
    EXPECT_EQ(Run({m_server.Url("/a/index.html"), Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("--yes"), std::string::npos);

    EXPECT_FALSE(FileSystem::Exists(Dest()));
    EXPECT_TRUE(m_server.Targets().empty());
    EXPECT_FALSE(FileSystem::Exists(m_config.Path() + "QMV"));
}

TEST_F(CliRun, AFailedRunEndsWithStatusOne)
{
    m_server.Serve("/a/index.html",
                   [](const TestRequest&)
                   {
                       TestResponse cut = TestResponse::Ok("short");
                       cut.contentLength = 1000; // the connection closes after five of a thousand bytes
                       return cut;
                   });
    std::string out;
    EXPECT_EQ(Run({"-y", "-q", m_server.Url("/a/index.html"), Dest()}, &out), 1);
    EXPECT_EQ(out, "Site processing failed.\n");
    EXPECT_NE(
        ReadWholeFile(Dest("error.log")).find("File not complete, deleting [" + Dest("index.html") + "]"),
        std::string::npos);
}

TEST_F(CliRun, AnyFailureOrAMissingStartPageEndsWithStatusOneWhateverTheOrder)
{
    // With continue-on-error a cut file fails the run whether it comes first or last.
    TestResponse reset = TestResponse::Ok(std::string(3000, 'r'), "image/gif");
    reset.bNoLength = true;
    reset.bReset = true;
    m_server.Serve("/a/cut.gif", reset);
    m_server.Serve("/a/ok.gif", TestResponse::Ok("GIF89a", "image/gif"));
    m_server.Serve("/a/first.html", TestResponse::Ok("<img src=\"ok.gif\"><img src=\"cut.gif\">\n"));
    m_server.Serve("/a/last.html", TestResponse::Ok("<img src=\"cut.gif\"><img src=\"ok.gif\">\n"));
    for (const char* page : {"/a/first.html", "/a/last.html"})
    {
        m_server.ClearLog();
        std::string out;
        EXPECT_EQ(
            Run({"-y", "-q", "--continue-on-error", "--retries", "1", m_server.Url(page), Dest(page)}, &out),
            1)
            << page;
        EXPECT_EQ(out, "Site processing failed.\n") << page;
        EXPECT_EQ(m_server.CountOf("/a/cut.gif"), 2u) << page;
        EXPECT_EQ(ReadWholeFile(Dest(std::string(page) + "/ok.gif")), "GIF89a") << page;
        EXPECT_FALSE(FileSystem::Exists(Dest(std::string(page) + "/cut.gif"))) << page;
    }

    std::string out;
    EXPECT_EQ(Run({"-y", "-q", m_server.Url("/a/missing.html"), Dest("missing/")}, &out), 1);
    EXPECT_EQ(out, "Site processing failed.\n");
    const std::string log = ReadWholeFile(Dest("missing/error.log"));
    const size_t notFound = log.find(" : Link not found: /a/missing.html\n");
    ASSERT_NE(notFound, std::string::npos) << log;
    EXPECT_NE(log.find(" : Site processing failed.\n", notFound), std::string::npos) << log;
}

TEST_F(CliRun, ALinkOrFifoAtTheLogsOrTheReportsNameEndsWithStatusTwoBeforeAnythingIsFetched)
{
    m_server.Serve("/a/index.html", TestResponse::Ok("<p>x</p>\n"));
    int nCase = 0;
    for (const Planted kind : kEveryPlanted)
    {
        SCOPED_TRACE(NameOf(kind));
        const std::string folder = Dest(std::to_string(++nCase) + "/");
        ASSERT_TRUE(std::filesystem::create_directories(folder));
        const std::string target = m_dest.Path() + "target" + std::to_string(nCase);
        Plant(kind, folder + "error.log", target);
        std::string err;
        EXPECT_EQ(Run({"-q", m_server.Url("/a/index.html"), folder}, nullptr, &err), 2);
        EXPECT_NE(err.find("cannot write the log " + folder + "error.log: it is not a plain file"),
                  std::string::npos)
            << err;
        EXPECT_TRUE(FileSystem::IsOtherThanPlainFile(folder + "error.log"));
        EXPECT_FALSE(FileSystem::Exists(folder + "shortcut.url"));
        if (kind == Planted::LinkToFile)
        {
            EXPECT_EQ(ReadWholeFile(target), "precious");
        }

        const std::string why = m_dest.Path() + "why" + std::to_string(nCase) + ".csv";
        Plant(kind, why, target + "-why");
        EXPECT_EQ(
            Run({"-y", "-q", "--why", why, m_server.Url("/a/index.html"), Dest("fine/")}, nullptr, &err), 2);
        EXPECT_NE(err.find("cannot write the link report " + why + ": not a plain file"), std::string::npos)
            << err;
        if (kind == Planted::LinkToFile)
        {
            EXPECT_EQ(ReadWholeFile(target + "-why"), "precious");
        }
    }
    EXPECT_TRUE(m_server.Targets().empty());
}

TEST_F(CliRun, OptionsApplyToThisRunAndLeaveTheStoreAlone)
{
    {
        CScopedEnv configHome("XDG_CONFIG_HOME", m_config.Path());
        CRegistryKey key;
        ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
        ASSERT_TRUE(key.WriteDword(0, kValueUseFilters));
        // Left behind by the window's filter dialog; --filter still names the files to keep.
        ASSERT_TRUE(key.WriteDword(1, kValueFilterExclude));
        ASSERT_TRUE(key.WriteDword(0, kValueRetries));
    }
    const std::string storedBefore = StoreText();

    m_server.Serve("/a/index.html",
                   TestResponse::Ok("<img src=\"x.gif\"><img src=\"y.png\"><a href=\"sub/deep.html\">\n"));
    m_server.Serve("/a/x.gif", TestResponse::Ok("gif", "image/gif"));
    m_server.Serve("/a/y.png", TestResponse::Ok("png", "image/png"));
    m_server.Serve("/a/sub/deep.html", TestResponse::Ok("deep"));

    ASSERT_EQ(Run({"-y", "-q", "--filter", "*.gif", "--depth", "1", "--index", m_server.Url("/a/index.html"),
                   Dest()}),
              0);
    EXPECT_TRUE(FileSystem::Exists(Dest("x.gif")));
    EXPECT_FALSE(FileSystem::Exists(Dest("y.png"))) << "the filter keeps only pictures ending in .gif";
    EXPECT_FALSE(FileSystem::Exists(Dest("index.html"))) << "a page the filter rejects is read, then deleted";
    EXPECT_EQ(m_server.CountOf("/a/sub/deep.html"), 0u) << "depth 1 keeps to the start folder";
    EXPECT_EQ(StoreText(), storedBefore);

    // The same run without options follows the store again: no filter, no depth limit.
    ASSERT_EQ(Run({"-y", "-q", m_server.Url("/a/index.html"), Dest()}), 0);
    EXPECT_TRUE(FileSystem::Exists(Dest("y.png")));
    EXPECT_EQ(m_server.CountOf("/a/sub/deep.html"), 1u);
    EXPECT_EQ(StoreText(), storedBefore);
}

TEST_F(CliRun, CtrlCStopsAfterTheCurrentFileAndASecondEndsItAtOnce)
{
    const std::string body(64 * 1024, 'z');
    TestResponse slow = TestResponse::Ok(body, "application/octet-stream");
    slow.blockBytes = 4096;
    slow.blockDelay = std::chrono::milliseconds(40);
    m_server.Serve("/a/index.html", TestResponse::Ok("<a href=\"next.html\"><img src=\"big.bin\">\n"));
    m_server.Serve("/a/big.bin", slow);
    m_server.Serve("/a/next.html", TestResponse::Ok("next"));

    {
        CCliProcess cli({"-y", "-q", m_server.Url("/a/index.html"), Dest()}, m_config.Path());
        ASSERT_TRUE(m_server.WaitForRequest("/a/big.bin"));
        cli.Signal(SIGINT);
        EXPECT_EQ(cli.Wait(), 130);
        EXPECT_EQ(cli.Stdout(), "Processing stopped by user.\n");
        EXPECT_EQ(ReadWholeFile(Dest("big.bin")), body) << "the file under way completes";
        EXPECT_EQ(m_server.CountOf("/a/next.html"), 0u) << "nothing after it is fetched";
    }
    {
        CCliProcess cli(
            {"-y", "-q", "--file-check", "replace", m_server.Url("/a/index.html"), Dest("again/")},
            m_config.Path());
        ASSERT_TRUE(m_server.WaitForRequest("/a/big.bin", 2));
        cli.Signal(SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cli.Signal(SIGTERM);
        EXPECT_EQ(cli.Wait(), 130);
        EXPECT_FALSE(FileSystem::Exists(Dest("again/big.bin")))
            << "an interrupted file is not left half-written";
        const std::string log = ReadWholeFile(Dest("again/error.log"));
        EXPECT_TRUE(EndsWith(log, " : Processing stopped by user.\n")) << log;
    }
}

} // namespace
