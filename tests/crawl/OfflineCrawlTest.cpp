#include "CrawlRunner.h"
#include "platform/FileSystem.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>

namespace
{

using Files = std::set<std::string>;
// Tue, 01 Jul 2025 10:00:00 GMT
constexpr std::int64_t kServerTime = 1751364000;

TestResponse Page(std::string body, std::string type = "text/html")
{
    TestResponse response = TestResponse::Ok(std::move(body), std::move(type));
    response.headers.emplace_back("Last-Modified", "Tue, 01 Jul 2025 10:00:00 GMT");
    return response;
}

class OfflineCrawlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string host = server.Url();
        server.Serve("/d/index.html",
                     Page("<link rel=stylesheet href=\"css/site.css\">\n"
                          "<a href=\"sub/\">folder</a> <a href=\"page.html?x=1#p\">query</a>\r\n"
                          "<a href=\"/d/abs.html\">root</a> <a href=\"" +
                          host +
                          "/d/sub/two.html\">absolute</a>\n"
                          "<a href=\"../outside.html\">out</a> <a href=\"missing.html\">gone</a>\n"
                          "<img src=\"img/pic.png\"><a href=\"my%20page.html\">cut</a>\n"));
        server.Serve("/d/sub/", Page("<a href=\"../index.html\">home</a><a href=\"two.html\">two</a>\n"));
        server.Serve("/d/sub/two.html", Page("<a href=\"" + host + "/d/\">start folder</a>\n"));
        server.Serve("/d/page.html",
                     Page("<div style=\"background:url(&quot;img/pic.png&quot;)\">p</div>\n"));
        server.Serve("/d/abs.html", Page("abs\n"));
        server.Serve("/d/img/pic.png", Page("PNG", "image/png"));
        server.Serve("/d/img/bg.png", Page("PNG", "image/png"));
        server.Serve("/d/css/site.css", Page("body{background:url( '../img/bg.png' )}\n", "text/css"));
        app.StoreDword(kValueNoNameAsIndex, 1);
        app.StoreDword(kValueFollowCss, 1);
    }

    std::optional<bool> Crawl(const std::string& strDest)
    {
        CCrawlJob job(app.App(), app.Settings(), server.Url("/d/index.html"), strDest, "", "", true);
        return runner.Run(job);
    }

    std::map<std::string, std::string> Contents(const std::string& strDest)
    {
        std::map<std::string, std::string> contents;
        for (const std::string& name : FilesIn(strDest))
            contents[name] = ReadWholeFile(strDest + "/" + name);
        return contents;
    }

    CTestApp app;
    CTestHttpServer server;
    CCrawlRunner runner;
};

TEST_F(OfflineCrawlTest, StoredPagesLeadToTheirFilesAndTheRestToTheirAddresses)
{
    const std::string host = server.Url();
    CTempDir plain;
    ASSERT_EQ(Crawl(plain.Path()), std::optional<bool>(true));
    const Files stored = FilesIn(plain.Path());
    EXPECT_EQ(stored, (Files{"index.html", "sub/index.html", "sub/two.html", "page.html", "abs.html",
                             "img/pic.png", "img/bg.png", "css/site.css"}));

    app.StoreDword(kValueConvertLinks, 1);
    const std::string& dest = app.Destination();
    ASSERT_EQ(Crawl(dest), std::optional<bool>(true));
    EXPECT_EQ(FilesIn(dest), stored) << "converting stores nothing more and nothing less";
    const std::map<std::string, std::string> converted = Contents(dest);
    EXPECT_EQ(converted.at("index.html"),
              "<link rel=stylesheet href=\"css/site.css\">\n"
              "<a href=\"sub/index.html\">folder</a> <a href=\"page.html#p\">query</a>\r\n"
              "<a href=\"abs.html\">root</a> <a href=\"sub/two.html\">absolute</a>\n"
              "<a href=\"" +
                  host + "/outside.html\">out</a> <a href=\"" + host +
                  "/d/missing.html\">gone</a>\n"
                  "<img src=\"img/pic.png\"><a href=\"" +
                  host + "/d/my%20page.html\">cut</a>\n");
    EXPECT_EQ(converted.at("sub/index.html"),
              "<a href=\"../index.html\">home</a><a href=\"two.html\">two</a>\n");
    EXPECT_EQ(converted.at("sub/two.html"), "<a href=\"../index.html\">start folder</a>\n");
    EXPECT_EQ(converted.at("page.html"), "<div style=\"background:url(&quot;img/pic.png&quot;)\">p</div>\n");
    EXPECT_EQ(converted.at("css/site.css"), "body{background:url( '../img/bg.png' )}\n");
    for (const char* name : {"index.html", "sub/two.html", "css/site.css"})
        EXPECT_EQ(FileSystem::GetWriteTime(dest + "/" + name), std::optional<std::int64_t>(kServerTime))
            << name;
    for (const char* name : {"img/pic.png", "abs.html"})
        EXPECT_EQ(converted.at(name), ReadWholeFile(plain.Path() + "/" + name)) << name;

    // A second run over the converted mirror, keeping what is there, stores the same files and
    // converts them to the same bytes.
    ASSERT_EQ(Crawl(dest), std::optional<bool>(true));
    EXPECT_EQ(Contents(dest), converted);
    EXPECT_EQ(FileSystem::GetWriteTime(dest + "/index.html"), std::optional<std::int64_t>(kServerTime));
}

TEST_F(OfflineCrawlTest, AnExistingMirrorIsConvertedByARunThatKeepsItsFiles)
{
    const std::string& dest = app.Destination();
    ASSERT_EQ(Crawl(dest), std::optional<bool>(true));
    const std::map<std::string, std::string> served = Contents(dest);
    EXPECT_EQ(served.at("sub/two.html"), "<a href=\"" + server.Url() + "/d/\">start folder</a>\n")
        << "without the option nothing is rewritten";

    app.StoreDword(kValueConvertLinks, 1);
    server.ClearLog();
    // The folder page would be fetched again (its address differs from its file's name); the
    // files themselves are kept.
    ASSERT_EQ(Crawl(dest), std::optional<bool>(true));
    const std::map<std::string, std::string> converted = Contents(dest);
    EXPECT_EQ(converted.at("sub/two.html"), "<a href=\"../index.html\">start folder</a>\n");
    EXPECT_EQ(converted.at("img/pic.png"), served.at("img/pic.png"));
}

// While it lives, no file of the process may grow beyond `nBytes`: a write past it fails with
// EFBIG instead of raising SIGXFSZ.
class CScopedFileSizeLimit
{
public:
    explicit CScopedFileSizeLimit(rlim_t nBytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {nBytes, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    CScopedFileSizeLimit(const CScopedFileSizeLimit&) = delete;
    CScopedFileSizeLimit& operator=(const CScopedFileSizeLimit&) = delete;

private:
    struct rlimit m_old = {};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(OfflineCrawlTest, APageThatCannotBeRewrittenKeepsItsBytesAndTheRunItsOutcome)
{
    // The start page grows when converted (its links out of the mirror become full addresses);
    // it is long enough that the run's log stays below the limit set on it.
    server.Serve("/d/index.html",
                 Page("<a href=\"../outside.html\">out</a> <a href=\"sub/two.html\">two</a>\n" +
                      std::string(16 * 1024, ' ') + "\n"));
    const std::string& dest = app.Destination();
    ASSERT_EQ(Crawl(dest), std::optional<bool>(true));
    const std::string folder = dest.ends_with('/') ? dest : dest + "/";
    const std::string before = ReadWholeFile(folder + "index.html");

    app.StoreDword(kValueConvertLinks, 1);
    {
        const CScopedFileSizeLimit limit(before.size() + 4);
        EXPECT_EQ(Crawl(dest), std::optional<bool>(true));
    }
    EXPECT_EQ(ReadWholeFile(folder + "index.html"), before) << "written in part, then put back";
    EXPECT_EQ(FileSystem::GetWriteTime(folder + "index.html"), std::optional<std::int64_t>(kServerTime));
    EXPECT_EQ(ReadWholeFile(folder + "sub/two.html"), "<a href=\"../index.html\">start folder</a>\n")
        << "the other pages are converted";
    const std::string log = app.LogText();
    const std::string line = "Unable to convert the links of [" + folder + "index.html], error [27]";
    const size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("Unable to convert", at + 1), std::string::npos) << "one line: " << log;
}

} // namespace
