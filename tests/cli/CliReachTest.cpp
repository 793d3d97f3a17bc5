#include "CliProcess.h"
#include "cli/CliOptions.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "support/TestCertificates.h"
#include "support/TestHttpServer.h"
#include "support/TestTlsServer.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace
{

class CliReach : public testing::Test
{
protected:
    std::string Dest(const std::string& relative = "") const { return m_dest.Path() + "out/" + relative; }
    int Run(std::vector<std::string> arguments, std::string* out = nullptr, std::string* err = nullptr)
    {
        return RunCli(arguments, m_config.Path(), out, err);
    }

    CTestHttpServer m_server;
    CTempDir m_config;
    CTempDir m_dest;
};

TEST(CliReachOptions, SecondsAndRatesAreReadExactlyOrRefused)
{
    EXPECT_EQ(ParseScaled("1.5", 1000, false), std::optional<std::uint32_t>(1500));
    EXPECT_EQ(ParseScaled("0.001", 1000, false), std::optional<std::uint32_t>(1));
    EXPECT_EQ(ParseScaled("2", 1000, false), std::optional<std::uint32_t>(2000));
    EXPECT_EQ(ParseScaled("20k", 1, true), std::optional<std::uint32_t>(20480));
    EXPECT_EQ(ParseScaled("1.5M", 1, true), std::optional<std::uint32_t>(1572864));
    EXPECT_EQ(ParseScaled("300", 1, true), std::optional<std::uint32_t>(300));
    for (const char* bad : {"-1", "", ".", "1.", "1.2345", "5x", "k", "1e3", "4294967.296"})
        EXPECT_EQ(ParseScaled(bad, 1000, false), std::nullopt) << bad;
    EXPECT_EQ(ParseScaled("5x", 1, true), std::nullopt);
    EXPECT_EQ(ParseScaled("5000m", 1, true), std::nullopt) << "beyond 32 bits";
    EXPECT_EQ(ParseScaled("20k", 1000, false), std::nullopt) << "seconds take no suffix";
}

TEST_F(CliReach, BadValuesEndWithStatusTwoBeforeAnythingIsFetched)
{
    m_server.Serve("/a/index.html", TestResponse::Ok("<a href=\"b.html\">b</a>\n"));
    const std::string url = m_server.Url("/a/index.html");
    std::string err;
    EXPECT_EQ(Run({"--yes", "--wait", "-1", url, Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("--wait takes seconds"), std::string::npos) << err;
    EXPECT_EQ(Run({"--yes", "--limit-rate", "5x", url, Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("--limit-rate takes bytes per second"), std::string::npos) << err;
    EXPECT_EQ(Run({"--yes", "--connections", "9", url, Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("--connections takes a whole number from 1 to 8"), std::string::npos) << err;
    EXPECT_EQ(Run({"--yes", "--why", m_dest.Path() + "missing/why.csv", url, Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("cannot write the link report " + m_dest.Path() + "missing/why.csv"),
              std::string::npos)
        << err;
    EXPECT_EQ(Run({"--yes", "--https=1", url, Dest()}), 2) << "a switch takes no value";

    EXPECT_FALSE(FileSystem::Exists(Dest()));
    EXPECT_TRUE(m_server.Targets().empty());
}

TEST_F(CliReach, HttpsOnlyWithTheOptionAndCertificatesCheckedUnlessToldOtherwise)
{
    CTempDir certificateFolder;
    CTestCertificates certificates(certificateFolder.Path());
    CScopedEnv trust("SSL_CERT_FILE", certificates.CaFile());
    m_server.Serve("/a/index.html", TestResponse::Ok("<img src=\"pic.gif\">\n"));
    m_server.Serve("/a/pic.gif", TestResponse::Ok("GIF89a", "image/gif"));

    CTestTlsServer good(certificates.Issue("good", {"IP:127.0.0.1"}), m_server.Port());
    std::string err;
    EXPECT_EQ(Run({"--yes", "--quiet", good.Url("/a/index.html"), Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("--https"), std::string::npos) << err;
    EXPECT_FALSE(FileSystem::Exists(Dest()));

    std::string out;
    err.clear();
    ASSERT_EQ(Run({"--yes", "--quiet", "--https", good.Url("/a/index.html"), Dest()}, &out, &err), 0)
        << ReadWholeFile(Dest("error.log")) << err;
    EXPECT_EQ(ReadWholeFile(Dest("pic.gif")), "GIF89a");

    CTestTlsServer selfSigned(certificates.Issue("self", {"IP:127.0.0.1"}, -1, 30, true), m_server.Port());
    EXPECT_EQ(Run({"--yes", "--quiet", "--https", selfSigned.Url("/a/index.html"), Dest("self/")}, &out), 1);
    EXPECT_NE(ReadWholeFile(Dest("self/error.log")).find("Certificate check failed for 127.0.0.1:"),
              std::string::npos);
    EXPECT_EQ(Run({"--yes", "--quiet", "--https", "--no-check-certificate", selfSigned.Url("/a/index.html"),
                   Dest("self/")},
                  &out),
              0);
    EXPECT_EQ(ReadWholeFile(Dest("self/pic.gif")), "GIF89a");
    const std::string store = ReadWholeFile(m_config.Path() + "QMV/Harvestly.conf");
    EXPECT_EQ(store.find("Check"), std::string::npos) << "nothing of this is stored: " << store;
    EXPECT_EQ(store.find("AllowHttps"), std::string::npos) << store;
}

TEST_F(CliReach, WhyWritesTheReportOfTheRun)
{
    m_server.Serve("/a/index.html",
                   TestResponse::Ok("<a href=\"b.html\">b</a> <a href=\"../x.html\">x</a>\n"));
    m_server.Serve("/a/b.html", TestResponse::Ok("b\n"));
    const std::string why = m_dest.Path() + "why.csv";
    ASSERT_EQ(Run({"--yes", "--quiet", "--why", why, m_server.Url("/a/index.html"), Dest()}), 0);
    const std::string page = m_server.Url("/a/index.html");
    EXPECT_EQ(ReadWholeFile(why), "page,value,address,fate\r\n" + page + ",b.html," +
                                      m_server.Url("/a/b.html") + ",queued as page\r\n" + page +
                                      ",../x.html," + m_server.Url("/x.html") +
                                      ",outside the start folder\r\n");
}

TEST_F(CliReach, ASitesFilesNeverReplaceTheRunsLogShortcutOrReport)
{
    // Replacing by date: a server's copy without a date replaces any file of its name.
    m_server.Serve("/a/index.html",
                   TestResponse::Ok("<a href=\"error.log\">l</a> <a href=\"shortcut.url\">s</a>\n"
                                    "<a href=\"report/why.csv\">r</a> <img src=\"pic.gif\">\n"));
    for (const char* file : {"/a/error.log", "/a/shortcut.url", "/a/report/why.csv"})
        m_server.Serve(file, TestResponse::Ok("the site's own text\n", "text/plain"));
    m_server.Serve("/a/pic.gif", TestResponse::Ok("GIF89a", "image/gif"));
    ASSERT_TRUE(FileSystem::CreateDirectory(m_dest.Path() + "out"));
    ASSERT_TRUE(FileSystem::CreateDirectory(Dest("report")));
    const std::string why = Dest("report/why.csv");

    std::string out;
    ASSERT_EQ(
        Run({"-q", "--file-check", "replace", "--why", why, m_server.Url("/a/index.html"), Dest()}, &out), 0);
    EXPECT_EQ(out, "Site processing complete.\n");
    EXPECT_EQ(m_server.CountOf("/a/error.log") + m_server.CountOf("/a/shortcut.url") +
                  m_server.CountOf("/a/report/why.csv"),
              0u);
    EXPECT_EQ(ReadWholeFile(Dest("pic.gif")), "GIF89a");
    EXPECT_EQ(
        ReadWholeFile(Dest("shortcut.url")).rfind("[InternetShortcut]\r\nURL=" + m_server.Url("/a/"), 0), 0u);
    const std::string log = ReadWholeFile(Dest("error.log"));
    EXPECT_NE(log.find(" : New Session\n"), std::string::npos) << log;
    for (const char* file : {"error.log", "shortcut.url", "report/why.csv"})
    {
        const std::string line = " : Refusing to store [" + m_server.Url("/a/") + file +
                                 "]: it would replace the run's own file [" + Dest(file) + "].\n";
        EXPECT_NE(log.find(line), std::string::npos) << log;
    }
    const std::string report = ReadWholeFile(why);
    EXPECT_EQ(report.rfind("page,value,address,fate\r\n", 0), 0u) << report;
    const std::string page = m_server.Url("/a/index.html");
    EXPECT_NE(report.find(page + ",report/why.csv," + m_server.Url("/a/report/why.csv") +
                          ",the run's own file\r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find(page + ",error.log," + m_server.Url("/a/error.log") + ",the run's own file\r\n"),
              std::string::npos)
        << report;
}

TEST_F(CliReach, ConvertLinksRewritesTheLinksOfTheStoredPages)
{
    const std::string page = "<a href=\"/a/b.html\">b</a> <a href=\"../x.html\">x</a>\n";
    m_server.Serve("/a/index.html", TestResponse::Ok(page));
    m_server.Serve("/a/b.html", TestResponse::Ok("b\n"));
    const std::string url = m_server.Url("/a/index.html");
    ASSERT_EQ(Run({"--yes", "--quiet", url, Dest()}), 0);
    EXPECT_EQ(ReadWholeFile(Dest("index.html")), page);
    std::string err;
    EXPECT_EQ(Run({"--yes", "--convert-links=1", url, Dest()}, nullptr, &err), 2);
    EXPECT_NE(err.find("--convert-links takes no value"), std::string::npos) << err;
    ASSERT_EQ(Run({"--yes", "--quiet", "--convert-links", url, Dest()}), 0);
    EXPECT_EQ(ReadWholeFile(Dest("index.html")),
              "<a href=\"b.html\">b</a> <a href=\"" + m_server.Url("/x.html") + "\">x</a>\n");
}

} // namespace

namespace
{

TEST_F(CliReach, ResumeKeepsACutFilesPartForTheNextRunAndIsOffWithoutTheOption)
{
    const std::string whole(100000, 'w');
    for (const bool bResume : {false, true})
    {
        m_server.ClearLog();
        // The first answer is cut after 30000 bytes; later ones honour a range of the same version.
        m_server.Serve("/a/big.bin",
                       [&, nAnswers = std::make_shared<int>(0)](const TestRequest& request)
                       {
                           TestResponse response = TestResponse::Ok(whole, "application/octet-stream");
                           response.headers.emplace_back("ETag", "\"one\"");
                           const std::string range = request.Header("Range");
                           if ((*nAnswers)++ == 0)
                           {
                               response.body.resize(30000);
                               response.contentLength = whole.size();
                           }
                           else if (range == "bytes=30000-" && request.Header("If-Range") == "\"one\"")
                           {
                               response.status = 206;
                               response.body = whole.substr(30000);
                               response.headers.emplace_back("Content-Range", "bytes 30000-99999/100000");
                           }
                           return response;
                       });
        std::vector<std::string> arguments = {"--yes", "--quiet", m_server.Url("/a/big.bin"), Dest()};
        if (bResume)
            arguments.insert(arguments.begin(), "--resume");
        EXPECT_EQ(Run(arguments), 1) << bResume;
        EXPECT_EQ(Run(arguments), 0) << bResume;
        EXPECT_TRUE(ReadWholeFile(Dest("big.bin")) == whole) << bResume;
        const std::vector<TestRequest> requests = m_server.Requests();
        ASSERT_EQ(requests.size(), 2u) << bResume;
        EXPECT_EQ(requests[0].Header("Range"), "");
        EXPECT_EQ(requests[1].Header("Range"), bResume ? "bytes=30000-" : "") << bResume;
        std::filesystem::remove_all(Dest());
    }
}

} // namespace
