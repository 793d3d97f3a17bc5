#include "CrawlRunner.h"
#include "FetchFixture.h"
#include "crawl/RequestConditions.h"
#include "platform/FileSystem.h"
#include "platform/TimeFormat.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace
{

// How a test server treats If-Modified-Since.
enum class DateServer
{
    Honours,        // 304 with the file's type and date when the file is not later
    HonoursUntyped, // 304 with nothing but its status, as nginx answers
    Ignores,        // always the whole file
};

std::optional<std::time_t> ParseHttpDate(const std::string& text)
{
    std::tm parts{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
    if (end == nullptr || *end != '\0')
        return std::nullopt;
    return timegm(&parts);
}

// The server's own writing of a date, independent of the program's.
std::string ServerDate(std::time_t when)
{
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

// A file of the given date whose whole bodies sent are counted in `pBodies`.
CTestHttpServer::Handler DatedFile(DateServer kind, std::string body, std::time_t when, std::string type,
                                   std::shared_ptr<std::atomic<int>> pBodies)
{
    return [=](const TestRequest& request)
    {
        const std::optional<std::time_t> since = ParseHttpDate(request.Header("If-Modified-Since"));
        if (kind != DateServer::Ignores && since && *since >= when)
        {
            TestResponse notModified;
            notModified.status = 304;
            if (kind == DateServer::Honours)
                notModified.headers = {{"Content-Type", type}, {"Last-Modified", ServerDate(when)}};
            return notModified;
        }
        ++*pBodies;
        TestResponse whole = TestResponse::Ok(body, type);
        whole.headers.emplace_back("Last-Modified", ServerDate(when));
        return whole;
    };
}

class UpdateTest : public FetchTest
{
protected:
    struct Copy
    {
        std::string strBytes;
        std::optional<std::int64_t> time;
        bool operator==(const Copy&) const = default;
    };

    std::map<std::string, Copy> Snapshot() const
    {
        std::map<std::string, Copy> copies;
        for (const std::string& name : FilesIn(app.Destination()))
            copies[name] = {ReadWholeFile(Local(name)), FileSystem::GetWriteTime(Local(name))};
        return copies;
    }

    void ServeSite(DateServer kind, std::time_t when)
    {
        server.Serve("/a/p.html", DatedFile(kind, "<html>page</html>", when, "text/html", pBodies));
        server.Serve("/a/logo.gif", DatedFile(kind, "GIF89a", when, "image/gif", pBodies));
        server.Serve("/a/list.php", DatedFile(kind, "<html>list</html>", when, "text/html", pBodies));
    }

    std::shared_ptr<std::atomic<int>> pBodies = std::make_shared<std::atomic<int>>(0);
};

TEST_F(UpdateTest, BothDateModesLeaveAnUnchangedMirrorUntouched)
{
    const std::time_t t = 1600000000;
    server.SetKeepAlive(KeepAlive::WhileAsked);
    for (const DateServer kind : {DateServer::Honours, DateServer::HonoursUntyped, DateServer::Ignores})
    {
        for (const unsigned mode : {1u, 2u})
        {
            const std::string label =
                "server " + std::to_string(static_cast<int>(kind)) + " mode " + std::to_string(mode);
            std::filesystem::remove_all(app.Destination());
            std::filesystem::create_directories(app.Destination());
            ServeSite(kind, t);
            server.ClearLog();
            app.StoreDword(kValueFileCheck, mode);
            {
                auto pFirst = MakeFetcher();
                for (const char* path : {"/a/p.html", "/a/logo.gif", "/a/list.php"})
                    ASSERT_TRUE(Fetch(*pFirst, path).bOk) << label << path;
            }
            // The first run of a mirror has nothing to ask about.
            for (const TestRequest& request : server.Requests())
                EXPECT_EQ(request.Header("If-Modified-Since"), "") << label << request.target;
            const std::map<std::string, Copy> before = Snapshot();
            ASSERT_EQ(before.size(), 3u) << label;

            server.ClearLog();
            *pBodies = 0;
            const size_t nConnections = server.Connections();
            auto pFetcher = MakeFetcher();
            std::map<std::string, std::string> types;
            for (const char* path : {"/a/p.html", "/a/logo.gif", "/a/list.php"})
            {
                const Outcome outcome = Fetch(*pFetcher, path);
                EXPECT_TRUE(outcome.bOk) << label << path << outcome.strError;
                types[path] = outcome.strType;
            }
            EXPECT_EQ(Snapshot(), before) << label;
            for (const TestRequest& request : server.Requests())
                EXPECT_EQ(request.Header("If-Modified-Since"), HttpDate(t)) << label << request.target;
            EXPECT_EQ(types["/a/p.html"], "text/html") << label;
            EXPECT_EQ(types["/a/logo.gif"], kind == DateServer::Ignores ? "image/gif" : "") << label;
            if (kind == DateServer::Ignores)
            {
                // Judged by the dates as before: the type is the server's.
                EXPECT_EQ(*pBodies, 3) << label;
                EXPECT_EQ(types["/a/list.php"], "text/html") << label;
            }
            else
            {
                // Nothing crossed the wire but headers, on the one connection kept open.
                EXPECT_EQ(*pBodies, 0) << label;
                EXPECT_EQ(pFetcher->GetBytesReceived(), 0) << label;
                EXPECT_EQ(server.Connections(), nConnections + 1) << label;
                // The name decides the type: .php does not say it is a page.
                EXPECT_EQ(types["/a/list.php"], "") << label;
            }
        }
    }
}

TEST_F(UpdateTest, AChangedFileIsFetchedAndStampedWithItsNewTime)
{
    const std::time_t t = 1600000000;
    for (const DateServer kind : {DateServer::Honours, DateServer::Ignores})
    {
        for (const unsigned mode : {1u, 2u})
        {
            const std::string label = std::to_string(static_cast<int>(kind)) + "/" + std::to_string(mode);
            std::filesystem::remove_all(app.Destination());
            std::filesystem::create_directories(app.Destination());
            app.StoreDword(kValueFileCheck, mode);
            server.Serve("/a/p.html", DatedFile(kind, "old", t, "text/html", pBodies));
            ASSERT_TRUE(Fetch(*MakeFetcher(), "/a/p.html").bOk) << label;

            server.ClearLog();
            server.Serve("/a/p.html", DatedFile(kind, "new", t + 100, "text/html", pBodies));
            const Outcome changed = Fetch(*MakeFetcher(), "/a/p.html");
            EXPECT_TRUE(changed.bOk) << label;
            EXPECT_EQ(changed.strType, "text/html") << label;
            EXPECT_EQ(ReadWholeFile(Local("p.html")), "new") << label;
            EXPECT_EQ(FileSystem::GetWriteTime(Local("p.html")), std::optional<std::int64_t>(t + 100))
                << label;
            ASSERT_EQ(server.Requests().size(), 1u) << label;
            EXPECT_EQ(server.Requests()[0].Header("If-Modified-Since"), HttpDate(t)) << label;
            const std::string stamped = "p" + TimeFormat::Local(" %Y%m%d%H%M%S", t) + ".html";
            const std::set<std::string> expected =
                mode == 2 ? std::set<std::string>{"p.html", stamped} : std::set<std::string>{"p.html"};
            EXPECT_EQ(FilesIn(app.Destination()), expected) << label;
        }
    }
}

TEST_F(UpdateTest, ANotModifiedAnswerToAPlainRequestIsAFailureNotAnEmptyFile)
{
    TestResponse notModified;
    notModified.status = 304;
    server.Serve("/a/p.html", notModified);
    server.Serve("/a/q.html", TestResponse::Ok("q"));
    // Skip Existing never asks; a date mode without a copy, or with one whose time is unknown to
    // it, has nothing to ask about.
    for (const unsigned mode : {0u, 1u, 2u})
    {
        app.StoreDword(kValueFileCheck, mode);
        server.ClearLog();
        auto pFetcher = MakeFetcher();
        const Outcome outcome = Fetch(*pFetcher, "/a/p.html");
        EXPECT_FALSE(outcome.bOk) << mode;
        EXPECT_EQ(
            outcome.strError,
            "Error: the server answered 304 (not modified) to a request without a condition: /a/p.html");
        EXPECT_EQ(LastLogLine(), outcome.strError);
        EXPECT_FALSE(FileSystem::Exists(Local("p.html"))) << mode;
        // The fetcher goes on with the next address.
        EXPECT_TRUE(Fetch(*pFetcher, "/a/q.html").bOk) << mode;
        std::filesystem::remove(Local("q.html"));
        for (const TestRequest& request : server.Requests())
            EXPECT_EQ(request.Header("If-Modified-Since"), "") << mode;
    }
}

TEST_F(UpdateTest, APageAnsweredNotModifiedStillLeadsToTheFilesItLinks)
{
    const std::time_t t = 1600000000;
    server.SetKeepAlive(KeepAlive::WhileAsked);
    const std::string index = "<a href=\"sub/page.html\">s</a><a href=\"a.gif\">a</a>";
    server.Serve("/a/index.html", DatedFile(DateServer::HonoursUntyped, index, t, "text/html", pBodies));
    server.Serve("/a/sub/page.html",
                 DatedFile(DateServer::HonoursUntyped, "<img src=\"b.gif\">", t, "text/html", pBodies));
    server.Serve("/a/a.gif", DatedFile(DateServer::HonoursUntyped, "A", t, "image/gif", pBodies));
    server.Serve("/a/sub/b.gif", DatedFile(DateServer::HonoursUntyped, "B", t, "image/gif", pBodies));
    app.StoreDword(kValueFileCheck, 1);
    CCrawlRunner runner;
    const auto run = [&]
    {
        CCrawlJob job(app.App(), app.Settings(), server.Url("/a/index.html"), app.Destination(), "", "",
                      true);
        return runner.Run(job);
    };

    ASSERT_EQ(run(), std::optional<bool>(true));
    const std::vector<std::string> firstTargets = server.Targets();
    ASSERT_EQ(*pBodies, 4);
    server.ClearLog();
    *pBodies = 0;
    ASSERT_EQ(run(), std::optional<bool>(true));
    // Every address again, in the same order, read from the copies; not one body sent.
    EXPECT_EQ(server.Targets(), firstTargets);
    EXPECT_EQ(*pBodies, 0);
    EXPECT_EQ(ReadWholeFile(Local("sub/b.gif")), "B");
}

TEST(RequestConditions, HeadersAndWhatAnAnswerToARangeMeans)
{
    RequestConditions none;
    EXPECT_EQ(none.Headers(), "");
    EXPECT_FALSE(none.Any());

    RequestConditions both;
    both.ifModifiedSince = 784111777;
    both.nResumeFrom = 81920;
    both.strValidator = "\"v1\"";
    EXPECT_EQ(both.Headers(), "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT\r\nRange: bytes=81920-\r\n"
                              "If-Range: \"v1\"\r\n");
    // Without a version the rest might be another version's: no range at all.
    RequestConditions noVersion;
    noVersion.nResumeFrom = 10;
    EXPECT_EQ(noVersion.Headers(), "");

    using RangeAnswer = RequestConditions::RangeAnswer;
    const std::string date = "Sun, 06 Nov 1994 08:49:37 GMT";
    RequestConditions byDate;
    byDate.nResumeFrom = 100;
    byDate.strValidator = date;
    struct Case
    {
        const RequestConditions& conditions;
        long nStatus;
        std::string strRange;
        std::string strETag;
        std::string strLastModified;
        RangeAnswer expected;
    };
    RequestConditions byETag = both;
    byETag.nResumeFrom = 100;
    const Case cases[] = {
        {byETag, 206, "bytes 100-199/200", "\"v1\"", "", RangeAnswer::Append},
        {byETag, 206, "bytes 100-199/200", "", "", RangeAnswer::Append},
        {byETag, 206, "BYTES 100-199/*", "", date, RangeAnswer::Append},
        {byETag, 206, "bytes 100-199/200", "\"v2\"", "", RangeAnswer::AskAgain},
        {byETag, 206, "bytes 0-199/200", "\"v1\"", "", RangeAnswer::AskAgain},
        {byETag, 206, "bytes 1000-1099/1100", "\"v1\"", "", RangeAnswer::AskAgain},
        {byETag, 206, "", "\"v1\"", "", RangeAnswer::AskAgain},
        {byETag, 206, "bytes */200", "\"v1\"", "", RangeAnswer::AskAgain},
        {byETag, 206, "bytes 99999999999999999999-/1", "\"v1\"", "", RangeAnswer::AskAgain},
        {byETag, 416, "bytes */50", "", "", RangeAnswer::AskAgain},
        {byETag, 200, "", "\"v2\"", "", RangeAnswer::Whole},
        {byETag, 304, "", "", "", RangeAnswer::Whole},
        {byETag, 404, "", "", "", RangeAnswer::Whole},
        {byDate, 206, "bytes 100-199/200", "\"e\"", date, RangeAnswer::Append},
        {byDate, 206, "bytes 100-199/200", "", "Mon, 07 Nov 1994 08:49:37 GMT", RangeAnswer::AskAgain},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.conditions.Judge(c.nStatus, c.strRange, c.strETag, c.strLastModified), c.expected)
            << c.nStatus << " " << c.strRange << " " << c.strETag << " " << c.strLastModified;

    EXPECT_EQ(RequestConditions::ValidatorOf("\"e\"", date), "\"e\"");
    EXPECT_EQ(RequestConditions::ValidatorOf("W/\"e\"", date), date);
    EXPECT_EQ(RequestConditions::ValidatorOf("w/\"e\"", ""), "");
    EXPECT_EQ(RequestConditions::ValidatorOf("", ""), "");
}

TEST(TimeFormat, HttpDatesAreEnglishAndUniversal)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "Thu, 01 Jan 1970 00:00:00 GMT"},
        {784111777, "Sun, 06 Nov 1994 08:49:37 GMT"},
        {951782400, "Tue, 29 Feb 2000 00:00:00 GMT"},
        {4102444799, "Thu, 31 Dec 2099 23:59:59 GMT"},
    };
    for (const auto& [when, text] : cases)
    {
        EXPECT_EQ(TimeFormat::HttpDate(when), text);
        EXPECT_EQ(ParseHttpDate(text), std::optional<std::time_t>(when));
    }
}

} // namespace
