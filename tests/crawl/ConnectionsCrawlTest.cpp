#include "CrawlRunner.h"
#include "parse/LinkReportFile.h"
#include "platform/FileSystem.h"
#include "platform/TimeFormat.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <random>
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

// Every stored file with its bytes.
std::map<std::string, std::string> Mirror(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : FilesIn(folder))
        files[name] = ReadAll(folder + name);
    return files;
}

// The log's lines from `nFrom` on, without their time stamps.
std::vector<std::string> LogLinesFrom(const std::string& text, size_t nFrom)
{
    std::vector<std::string> lines;
    std::istringstream in(text.substr(std::min(nFrom, text.size())));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(std::min(line.find(" : ") + 3, line.size())));
    return lines;
}

// Counts the answers being given at once; each answer waits until `nHold` are under way (or a
// while has passed), so that transfers that may overlap do.
class COverlapCounter
{
public:
    explicit COverlapCounter(int nHold) : m_nHold(nHold) {}

    TestResponse Answer(const std::string& body)
    {
        std::unique_lock lock(m_mutex);
        m_nMax = std::max(m_nMax, ++m_nActive);
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::seconds(2), [this] { return m_nActive >= m_nHold; });
        --m_nActive;
        return TestResponse::Ok(body);
    }

    int Max()
    {
        std::lock_guard lock(m_mutex);
        return m_nMax;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_nHold;
    int m_nActive = 0;
    int m_nMax = 0;
};

class ConnectionsCrawlTest : public ::testing::Test
{
protected:
    struct Run
    {
        std::optional<bool> result;
        std::map<std::string, std::string> files;
        std::vector<std::string> log;
        std::string report;
        std::set<std::string> targets;
    };

    Run Crawl(const std::string& path, unsigned nConnections)
    {
        app.StoreDword(kValueConnections, nConnections);
        folders.push_back(std::make_unique<CTempDir>());
        const std::string strDest = folders.back()->Path() + "out/";
        const std::string strReport = folders.back()->Path() + "why.csv";
        const size_t nLogBefore = app.LogText().size();
        server.ClearLog();
        Run run;
        {
            CLinkReportFile report;
            EXPECT_TRUE(report.Open(strReport));
            CCrawlJob job(app.App(), app.Settings(), server.Url(path), strDest, "", "", true);
            job.SetLinkReport(&report);
            run.result = runner.Run(job);
            EXPECT_TRUE(report.Close());
        }
        run.files = Mirror(strDest);
        // Each run has a folder of its own, which the log names.
        for (std::string& line : LogLinesFrom(app.LogText(), nLogBefore))
        {
            if (const size_t at = line.find(strDest); at != std::string::npos)
                line.replace(at, strDest.size(), "DEST/");
            run.log.push_back(line);
        }
        run.report = ReadAll(strReport);
        const std::vector<std::string> targets = server.Targets();
        run.targets = std::set<std::string>(targets.begin(), targets.end());
        return run;
    }

    CTestApp app;
    std::vector<std::unique_ptr<CTempDir>> folders;
    CTestHttpServer server;
    CCrawlRunner runner;
};

TEST_F(ConnectionsCrawlTest, TransfersOverlapUpToTheirNumberAndNeverMore)
{
    // The stored value and the transfers that come of it; 0, the default, is one at a time.
    const struct
    {
        unsigned nValue;
        int nExpected;
    } rows[] = {{0, 1}, {1, 1}, {3, 3}, {8, 8}};
    for (const auto& row : rows)
    {
        COverlapCounter counter(row.nExpected);
        std::string strIndex;
        for (int i = 0; i < 12; ++i)
        {
            const std::string name = "p" + std::to_string(i) + ".html";
            strIndex += "<a href=\"" + name + "\">x</a>\n";
            server.Serve("/s/" + name, [&counter, name](const TestRequest&) { return counter.Answer(name); });
        }
        server.Serve("/s/index.html", TestResponse::Ok(strIndex));
        const Run run = Crawl("/s/index.html", row.nValue);
        EXPECT_EQ(run.result, std::optional<bool>(true)) << row.nValue;
        EXPECT_EQ(run.files.size(), 13u) << row.nValue;
        EXPECT_EQ(counter.Max(), row.nExpected) << row.nValue;
    }
}

// A site of pages, pictures, stylesheets, missing pages and cut bodies, linked at random, whose
// server answers after a random delay, so that several transfers finish in a random order.
class CRandomSite
{
public:
    CRandomSite(CTestHttpServer& server, unsigned nSeed, bool bCutBodies) : m_random(nSeed)
    {
        std::vector<std::string> targets;
        for (int i = 0; i < 30; ++i)
            targets.push_back("p" + std::to_string(i) + ".html");
        for (int i = 0; i < 8; ++i)
            targets.push_back("img/i" + std::to_string(i) + ".png");
        for (int i = 0; i < 5; ++i)
            targets.push_back("missing" + std::to_string(i) + ".html");
        for (int i = 0; bCutBodies && i < 3; ++i)
            targets.push_back("cut" + std::to_string(i) + ".html");
        // With folder addresses stored as index.html these two are one file.
        targets.emplace_back("sub/");
        targets.emplace_back("sub/index.html");

        for (int i = 0; i < 30; ++i)
        {
            std::string page = "<html>page " + std::to_string(i) + "\n";
            for (int n = 0; n < 5; ++n)
                page += "<a href=\"" + targets[Pick(targets.size())] + "\">x</a>\n";
            if (i % 4 == 0)
                page += "<link rel=stylesheet href=\"css/c" + std::to_string(i % 3) + ".css\">\n";
            Serve(server, "/s/p" + std::to_string(i) + ".html", TestResponse::Ok(page));
        }
        for (int i = 0; i < 3; ++i)
            Serve(server, "/s/css/c" + std::to_string(i) + ".css",
                  TestResponse::Ok("a{background:url(../img/i" + std::to_string(i) +
                                       ".png)}\n"
                                       "b{background:url(gone.png)}\n",
                                   "text/css"));
        for (int i = 0; i < 8; ++i)
            Serve(server, "/s/img/i" + std::to_string(i) + ".png",
                  TestResponse::Ok(std::string(size_t{1000} * static_cast<size_t>(i + 1), 'x'), "image/png"));
        for (int i = 0; i < 3; ++i)
        {
            TestResponse cut = TestResponse::Ok("cut short");
            cut.contentLength = 100;
            Serve(server, "/s/cut" + std::to_string(i) + ".html", cut);
        }
        Serve(server, "/s/sub/", TestResponse::Ok("<a href=\"../p1.html\">folder</a>\n"));
        Serve(server, "/s/sub/index.html", TestResponse::Ok("<a href=\"../p2.html\">index</a>\n"));
        std::string start;
        for (const std::string& target : targets)
            start += "<a href=\"" + target + "\">x</a>\n";
        Serve(server, "/s/index.html", TestResponse::Ok(start));
    }

private:
    size_t Pick(size_t nCount)
    {
        std::lock_guard lock(m_mutex);
        return std::uniform_int_distribution<size_t>(0, nCount - 1)(m_random);
    }

    void Serve(CTestHttpServer& server, const std::string& target, TestResponse response)
    {
        server.Serve(target,
                     [this, response](const TestRequest&)
                     {
                         std::this_thread::sleep_for(std::chrono::milliseconds(Pick(25)));
                         return response;
                     });
    }

    std::mutex m_mutex;
    std::mt19937 m_random;
};

TEST_F(ConnectionsCrawlTest, SameFilesLogAndReportAsOneConnectionWhateverTheOrderOfAnswers)
{
    app.StoreDword(kValueFollowCss, 1);
    app.StoreDword(kValueNoNameAsIndex, 1);
    // A cut body is asked for again, as its turn comes.
    app.StoreDword(kValueRetries, 1);
    const unsigned nSeed = std::random_device()();
    for (const bool bContinueOnError : {false, true})
    {
        app.StoreDword(kValueContinueOnError, bContinueOnError ? 1 : 0);
        // Cut bodies fail their fetch: without continue-on-error the run would end at the first.
        CRandomSite site(server, nSeed, bContinueOnError);
        const Run one = Crawl("/s/index.html", 1);
        ASSERT_GT(one.files.size(), 20u);
        ASSERT_TRUE(std::any_of(one.log.begin(), one.log.end(),
                                [](const std::string& line)
                                { return line.rfind("Link not found", 0) == 0; }));
        for (const unsigned nConnections : {4u, 8u})
        {
            const Run several = Crawl("/s/index.html", nConnections);
            const std::string where = "seed " + std::to_string(nSeed) + ", " + std::to_string(nConnections) +
                                      " connections, continue-on-error " + std::to_string(bContinueOnError);
            EXPECT_EQ(several.result, one.result) << where;
            EXPECT_EQ(several.targets, one.targets) << where;
            EXPECT_EQ(several.files, one.files) << where;
            EXPECT_EQ(several.log, one.log) << where;
            EXPECT_EQ(several.report, one.report) << where;
        }
    }
}

TEST_F(ConnectionsCrawlTest, ADateModeUpdateOfAnUnchangedMirrorSendsNoBodyAtSeveralConnections)
{
    const std::int64_t nWhen = 1600000000;
    std::atomic<int> nBodies{0};
    std::atomic<int> nNotModified{0};
    COverlapCounter overlap(2);
    // Answers 304 to a request whose If-Modified-Since is the file's own date, as servers do.
    const auto dated = [&](std::string body, std::string type)
    {
        return [&, body, type](const TestRequest& request)
        {
            if (request.Header("If-Modified-Since") == TimeFormat::HttpDate(nWhen))
            {
                ++nNotModified;
                (void)overlap.Answer({});
                TestResponse notModified;
                notModified.status = 304;
                return notModified;
            }
            ++nBodies;
            TestResponse whole = TestResponse::Ok(body, type);
            whole.headers.emplace_back("Last-Modified", TimeFormat::HttpDate(nWhen));
            return whole;
        };
    };
    std::string index = "<html>";
    const int nFiles = 12;
    for (int i = 0; i < nFiles; ++i)
    {
        const std::string name = "f" + std::to_string(i) + ".txt";
        index += "<a href=\"" + name + "\">x</a>";
        server.Serve("/u/" + name, dated("file " + std::to_string(i), "text/plain"));
    }
    server.Serve("/u/index.html", dated(index + "</html>", "text/html"));
    app.StoreDword(kValueFileCheck, 1);
    app.StoreDword(kValueConnections, 4);
    CTempDir folder;
    const std::string strDest = folder.Path() + "out/";
    const auto crawl = [&]
    {
        CCrawlJob job(app.App(), app.Settings(), server.Url("/u/index.html"), strDest, "", "", true);
        return runner.Run(job);
    };
    ASSERT_EQ(crawl(), std::optional<bool>(true));
    ASSERT_EQ(nBodies, nFiles + 1);
    std::map<std::string, std::pair<std::string, std::optional<std::int64_t>>> before;
    for (const auto& [name, bytes] : Mirror(strDest))
        before[name] = {bytes, FileSystem::GetWriteTime(strDest + name)};
    ASSERT_EQ(before.size(), static_cast<size_t>(nFiles + 1));

    nBodies = 0;
    server.ClearLog();
    ASSERT_EQ(crawl(), std::optional<bool>(true));
    EXPECT_EQ(nBodies, 0);
    EXPECT_EQ(nNotModified, nFiles + 1);
    // The conditional requests went ahead of their turns too.
    EXPECT_GT(overlap.Max(), 1);
    for (const TestRequest& request : server.Requests())
        EXPECT_EQ(request.Header("If-Modified-Since"), TimeFormat::HttpDate(nWhen)) << request.target;
    std::map<std::string, std::pair<std::string, std::optional<std::int64_t>>> after;
    for (const auto& [name, bytes] : Mirror(strDest))
        after[name] = {bytes, FileSystem::GetWriteTime(strDest + name)};
    EXPECT_EQ(after, before);
}

} // namespace
