#include "CliProcess.h"
#include "CliTerminal.h"
#include "cli/CliOptions.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <csignal>
#include <gtest/gtest.h>

namespace
{

class CliPassword : public testing::Test
{
protected:
    void SetUp() override
    {
        TestResponse page = TestResponse::Ok("<p>members only</p>\n");
        page.requireBasic = "alice:s3cret pw";
        m_server.Serve("/a/index.html", page);
    }
    std::string Dest(const std::string& relative = "") const { return m_dest.Path() + "out/" + relative; }
    // Each run gets a destination of its own, so that no stored copy stands in for a fetch.
    std::vector<std::string> Arguments(std::vector<std::string> options)
    {
        options.push_back(m_server.Url("/a/index.html"));
        options.push_back(m_dest.Path() + (m_nRuns++ == 0 ? "out" : "out" + std::to_string(m_nRuns)));
        return options;
    }

    CTestHttpServer m_server;
    CTempDir m_config;
    CTempDir m_dest;
    // Whatever the test machine has set must not decide these tests.
    CScopedEnv m_noPassword{"HARVESTLY_PASSWORD", ""};
    int m_nRuns = 0;
};

TEST_F(CliPassword, AskPasswordReadsTheTerminalWithoutEchoAndRestoresIt)
{
    CCliTerminal terminal(Arguments({"--user", "alice", "--ask-password", "--yes", "--quiet"}),
                          m_config.Path());
    ASSERT_TRUE(terminal.WaitFor("Password for alice: ")) << terminal.Screen();
    terminal.Type("s3cret pw\n");
    EXPECT_EQ(terminal.Wait(), 0) << terminal.Screen();

    EXPECT_EQ(terminal.Screen().find("s3cret"), std::string::npos) << "the password was echoed";
    EXPECT_NE(terminal.Screen().find("Site processing complete."), std::string::npos) << terminal.Screen();
    EXPECT_EQ(ReadWholeFile(Dest("index.html")), "<p>members only</p>\n");
    EXPECT_TRUE(terminal.Modes().c_lflag & ECHO) << "echo stays off after the program";
}

TEST_F(CliPassword, AnInterruptAtThePromptRestoresEchoAndWritesNothing)
{
    CCliTerminal terminal(Arguments({"--user", "alice", "--ask-password", "--yes"}), m_config.Path());
    ASSERT_TRUE(terminal.WaitFor("Password for alice: ")) << terminal.Screen();
    terminal.Type("s3c\x03");
    EXPECT_EQ(terminal.Wait(), 128 + SIGINT);

    EXPECT_TRUE(terminal.Modes().c_lflag & ECHO) << "echo stays off after an interrupt";
    EXPECT_EQ(terminal.Screen().find("s3c"), std::string::npos);
    EXPECT_FALSE(FileSystem::Exists(Dest()));
    EXPECT_TRUE(m_server.Targets().empty());
}

TEST_F(CliPassword, EnvironmentGivesThePasswordUnlessTheCommandLineDoes)
{
    {
        const CScopedEnv password("HARVESTLY_PASSWORD", "s3cret pw");
        EXPECT_EQ(RunCli(Arguments({"--user", "alice", "--yes", "--quiet"}), m_config.Path()), 0);
        EXPECT_EQ(ReadWholeFile(Dest("index.html")), "<p>members only</p>\n");
        // -p wins, even empty.
        EXPECT_EQ(RunCli(Arguments({"--user", "alice", "-p", "", "--yes", "--quiet"}), m_config.Path()), 1);
    }
    {
        const CScopedEnv password("HARVESTLY_PASSWORD", "wrong");
        EXPECT_EQ(
            RunCli(Arguments({"--user", "alice", "-p", "s3cret pw", "--yes", "--quiet"}), m_config.Path()),
            0);
        EXPECT_EQ(RunCli(Arguments({"--user", "alice", "--yes", "--quiet"}), m_config.Path()), 1);
    }
}

TEST_F(CliPassword, AskPasswordNeedsATerminalAndExcludesPassword)
{
    std::string err;
    EXPECT_EQ(
        RunCli(Arguments({"--user", "alice", "--ask-password", "--yes"}), m_config.Path(), nullptr, &err), 2);
    EXPECT_NE(err.find("--ask-password"), std::string::npos) << err;
    EXPECT_FALSE(FileSystem::Exists(Dest()));
    EXPECT_TRUE(m_server.Targets().empty());

    const CliParseResult both = ParseCliOptions({"--ask-password", "-p", "x", "http://host/", "out"});
    EXPECT_FALSE(both.options);
    EXPECT_NE(both.strError.find("--password"), std::string::npos);
}

} // namespace
