#include "CrawlRunner.h"
#include "FetchFixture.h"
#include "crawl/PartialRecord.h"
#include "platform/FileSystem.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace
{

constexpr size_t kWhole = 200 * 1024;
constexpr size_t kCutAt = 80 * 1024;

// How the server answers a request for the rest of a file whose first transfer it cut.
enum class RangeServer
{
    Honours,     // 206 from the asked byte
    Ignores,     // the whole file, 200
    Refuses,     // 416
    Changed,     // the file changed: If-Range fails and the new file comes whole
    SplicesNew,  // the file changed, yet the range of the new one comes, naming its new ETag
    WrongStart,  // 206 from another byte than asked
    NoValidator, // names neither ETag nor Last-Modified, and honours ranges
};

std::string Bytes(char seed, size_t count)
{
    std::string text(count, '\0');
    for (size_t i = 0; i < count; ++i)
        text[i] = static_cast<char>(seed + i * 7 % 251);
    return text;
}

// One file of 200 KB whose first transfer is cut after 80 KB; records what each request got.
class CutFileServer
{
public:
    CutFileServer(CTestHttpServer& server, RangeServer kind) : m_kind(kind)
    {
        server.Serve("/a/big.bin", [this](const TestRequest& request) { return Answer(request); });
    }

    const std::string& First() const { return m_first; }
    // What the file is once the first transfer was cut.
    const std::string& Now() const { return Changes() ? m_second : m_first; }
    std::vector<size_t> BodiesSent() const
    {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

private:
    bool Changes() const { return m_kind == RangeServer::Changed || m_kind == RangeServer::SplicesNew; }

    TestResponse Answer(const TestRequest& request)
    {
        std::lock_guard lock(m_mutex);
        const bool bFirst = m_sent.empty();
        const std::string& body = bFirst || !Changes() ? m_first : m_second;
        const std::string etag = bFirst || !Changes() ? "\"v1\"" : "\"v2\"";
        TestResponse response = TestResponse::Ok(body, "application/octet-stream");
        if (m_kind != RangeServer::NoValidator)
            response.headers.emplace_back("ETag", etag);
        const std::string range = request.Header("Range");
        if (bFirst)
        {
            // Cut: the length promises the whole file, the connection ends after 80 KB.
            response.body.resize(kCutAt);
            response.contentLength = kWhole;
        }
        else if (!range.empty() && m_kind != RangeServer::Ignores)
        {
            const size_t from = std::stoul(range.substr(range.find('=') + 1));
            const bool bSameVersion = request.Header("If-Range") == etag ||
                                      m_kind == RangeServer::SplicesNew || m_kind == RangeServer::NoValidator;
            if (m_kind == RangeServer::Refuses)
            {
                response.status = 416;
                response.body.clear();
                response.headers.emplace_back("Content-Range", "bytes */" + std::to_string(kWhole));
            }
            else if (bSameVersion)
            {
                const size_t start = m_kind == RangeServer::WrongStart ? from / 2 : from;
                response.status = 206;
                response.body = body.substr(start);
                response.headers.emplace_back("Content-Range", "bytes " + std::to_string(start) + "-" +
                                                                   std::to_string(kWhole - 1) + "/" +
                                                                   std::to_string(kWhole));
            }
        }
        m_sent.push_back(response.body.size());
        return response;
    }

    RangeServer m_kind;
    std::string m_first = Bytes('a', kWhole);
    std::string m_second = Bytes('Z', kWhole);
    mutable std::mutex m_mutex;
    std::vector<size_t> m_sent;
};

class ResumeTest : public FetchTest
{
protected:
    std::string Partial() const { return FileSystem::PartialPath(Local("big.bin")); }
    std::vector<std::string> Ranges() const
    {
        std::vector<std::string> ranges;
        for (const TestRequest& request : server.Requests())
            ranges.push_back(request.Header("Range"));
        return ranges;
    }
};

TEST_F(ResumeTest, TheRestIsAppendedOnlyWhenItIsTheSameVersionFromTheRightByte)
{
    struct Case
    {
        RangeServer kind;
        // Bytes the server sent after the cut; and whether the rest was asked for twice.
        std::vector<size_t> sentAfter;
        std::vector<std::string> ranges;
    };
    const std::string from = "bytes=" + std::to_string(kCutAt) + "-";
    const Case cases[] = {
        {RangeServer::Honours, {kWhole - kCutAt}, {"", from}},
        {RangeServer::Ignores, {kWhole}, {"", from}},
        {RangeServer::Refuses, {0, kWhole}, {"", from, ""}},
        {RangeServer::Changed, {kWhole}, {"", from}},
        {RangeServer::SplicesNew, {kWhole - kCutAt, kWhole}, {"", from, ""}},
        {RangeServer::WrongStart, {kWhole - kCutAt / 2, kWhole}, {"", from, ""}},
        {RangeServer::NoValidator, {kWhole}, {"", ""}},
    };
    app.StoreDword(kValueResume, 1);
    for (const Case& c : cases)
    {
        const int kind = static_cast<int>(c.kind);
        std::filesystem::remove_all(app.Destination());
        std::filesystem::create_directories(app.Destination());
        server.ClearLog();
        CutFileServer file(server, c.kind);

        // A new fetcher for each attempt: the part outlives the run that was cut.
        const Outcome cut = Fetch(*MakeFetcher(), "/a/big.bin");
        EXPECT_FALSE(cut.bOk) << kind;
        if (c.kind == RangeServer::NoValidator)
        {
            EXPECT_EQ(cut.strError, "File not complete, deleting [" + Local("big.bin") + "]");
            EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{}));
        }
        else
        {
            EXPECT_EQ(cut.strError,
                      "File not complete, keeping its 81920 bytes to resume [" + Local("big.bin") + "]");
            EXPECT_EQ(ReadWholeFile(Partial()), file.First().substr(0, kCutAt)) << kind;
            const std::optional<PartialRecord> record = PartialRecord::Read(Partial());
            ASSERT_TRUE(record) << kind;
            EXPECT_EQ(record->strAddress, server.Url("/a/big.bin"));
            EXPECT_EQ(record->strValidator, "\"v1\"");
            EXPECT_EQ(record->nExpected, static_cast<std::int64_t>(kWhole));
        }

        const Outcome rest = Fetch(*MakeFetcher(), "/a/big.bin");
        ASSERT_TRUE(rest.bOk) << kind << ": " << rest.strError;
        // Byte for byte one version: never the start of one and the rest of another.
        EXPECT_TRUE(ReadWholeFile(Local("big.bin")) == file.Now()) << kind;
        EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"big.bin"})) << kind;
        const std::vector<size_t> sent = file.BodiesSent();
        EXPECT_EQ(std::vector<size_t>(sent.begin() + 1, sent.end()), c.sentAfter) << kind;
        EXPECT_EQ(Ranges(), c.ranges) << kind;
        for (const TestRequest& request : server.Requests())
            EXPECT_EQ(request.Header("If-Range"), request.Header("Range").empty() ? "" : "\"v1\"") << kind;
    }
}

TEST_F(ResumeTest, ADateModeAsksBothWhetherTheFileIsLaterAndForItsRest)
{
    app.StoreDword(kValueResume, 1);
    app.StoreDword(kValueFileCheck, 2);
    WriteWholeFile(Local("big.bin"), "old copy");
    FileSystem::SetTimes(Local("big.bin"), 1000000000);
    CutFileServer file(server, RangeServer::Honours);

    EXPECT_FALSE(Fetch(*MakeFetcher(), "/a/big.bin").bOk);
    EXPECT_EQ(ReadWholeFile(Local("big.bin")), "old copy");
    ASSERT_TRUE(Fetch(*MakeFetcher(), "/a/big.bin").bOk);
    EXPECT_TRUE(ReadWholeFile(Local("big.bin")) == file.First());
    const std::vector<TestRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const TestRequest& request : requests)
        EXPECT_EQ(request.Header("If-Modified-Since"), HttpDate(1000000000));
    EXPECT_EQ(requests[1].Header("Range"), "bytes=" + std::to_string(kCutAt) + "-");
    // The old copy is renamed once, when the whole new file is in place.
    EXPECT_EQ(FilesIn(app.Destination()).size(), 2u);
}

TEST_F(ResumeTest, WithoutResumeNoRangeIsEverSent)
{
    CutFileServer file(server, RangeServer::Honours);
    // Even a part and record an earlier run with the value on left behind are not used.
    WriteWholeFile(Partial(), file.First().substr(0, 1000));
    ASSERT_TRUE((PartialRecord{server.Url("/a/big.bin"), "\"v1\"", static_cast<std::int64_t>(kWhole)}.Write(
        Partial())));
    auto pFetcher = MakeFetcher();
    const Outcome cut = Fetch(*pFetcher, "/a/big.bin");
    EXPECT_EQ(cut.strError, "File not complete, deleting [" + Local("big.bin") + "]");
    EXPECT_FALSE(FileSystem::Exists(Partial()));
    ASSERT_TRUE(Fetch(*pFetcher, "/a/big.bin").bOk);
    EXPECT_TRUE(ReadWholeFile(Local("big.bin")) == file.First());
    EXPECT_EQ(Ranges(), (std::vector<std::string>{"", ""}));
}

TEST_F(ResumeTest, ClosingKeepsThePartAndTheNextRunAsksForTheRest)
{
    app.StoreDword(kValueResume, 1);
    const std::string whole = Bytes('c', 256 * 200);
    server.Serve("/a/big.bin",
                 [&](const TestRequest& request)
                 {
                     TestResponse response = TestResponse::Ok(whole, "application/octet-stream");
                     response.headers.emplace_back("ETag", "\"c\"");
                     const std::string range = request.Header("Range");
                     if (range.empty())
                     {
                         // The window closes while the transfer is under way.
                         response.blockDelay = std::chrono::milliseconds(10);
                         response.afterFirstBlock = [this] { app.App().SetClosing(true); };
                         return response;
                     }
                     const size_t from = std::stoul(range.substr(range.find('=') + 1));
                     response.status = 206;
                     response.body = whole.substr(from);
                     response.headers.emplace_back("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                                        std::to_string(whole.size() - 1) +
                                                                        "/" + std::to_string(whole.size()));
                     return response;
                 });

    const Outcome cut = Fetch(*MakeFetcher(), "/a/big.bin");
    app.App().SetClosing(false);
    EXPECT_FALSE(cut.bOk);
    EXPECT_EQ(cut.strError.rfind("File not complete, keeping its ", 0), 0u) << cut.strError;
    const std::string part = ReadWholeFile(Partial());
    ASSERT_FALSE(part.empty());
    ASSERT_LT(part.size(), whole.size());
    EXPECT_TRUE(whole.compare(0, part.size(), part) == 0);

    ASSERT_TRUE(Fetch(*MakeFetcher(), "/a/big.bin").bOk);
    EXPECT_TRUE(ReadWholeFile(Local("big.bin")) == whole);
    EXPECT_EQ(Ranges(), (std::vector<std::string>{"", "bytes=" + std::to_string(part.size()) + "-"}));
}

TEST_F(ResumeTest, AFailedAnswerToTheRangeKeepsThePartForTheNextAttempt)
{
    app.StoreDword(kValueResume, 1);
    const std::string whole = Bytes('b', 4000);
    int nAnswers = 0;
    server.Serve("/a/big.bin",
                 [&](const TestRequest& request)
                 {
                     TestResponse response = TestResponse::Ok(whole, "application/octet-stream");
                     response.headers.emplace_back("ETag", "\"b\"");
                     switch (nAnswers++)
                     {
                     case 0: // cut after 1000 bytes
                         response.body.resize(1000);
                         response.contentLength = whole.size();
                         break;
                     case 1: // busy
                         response.status = 503;
                         response.body = "busy";
                         break;
                     default:
                         response.status = 206;
                         response.body = whole.substr(1000);
                         response.headers.emplace_back("Content-Range", "bytes 1000-3999/4000");
                         EXPECT_EQ(request.Header("Range"), "bytes=1000-");
                     }
                     return response;
                 });
    auto pFetcher = MakeFetcher();
    EXPECT_FALSE(Fetch(*pFetcher, "/a/big.bin").bOk);
    EXPECT_FALSE(Fetch(*pFetcher, "/a/big.bin").bOk);
    EXPECT_EQ(ReadWholeFile(Partial()), whole.substr(0, 1000));
    ASSERT_TRUE(Fetch(*pFetcher, "/a/big.bin").bOk);
    EXPECT_TRUE(ReadWholeFile(Local("big.bin")) == whole);
    EXPECT_EQ(Ranges(), (std::vector<std::string>{"", "bytes=1000-", "bytes=1000-"}));
}

class ResumeRunTest : public FetchTest
{
protected:
    std::optional<bool> RunOnce()
    {
        CCrawlJob job(app.App(), app.Settings(), server.Url("/a/big.bin"), app.Destination(), "", "", false);
        return runner.Run(job);
    }

    CCrawlRunner runner;
};

TEST_F(ResumeRunTest, ACutFileIsFinishedByTheRetryOrByTheNextRunAndNoPartOutlivesAFinishedRun)
{
    app.StoreDword(kValueResume, 1);
    // A part an earlier run left for an address this site no longer has.
    const std::string strStale = FileSystem::PartialPath(Local("old/gone.bin"));
    WriteWholeFile(Local("old/keep.txt"), "the user's");
    WriteWholeFile(strStale, "half");
    ASSERT_TRUE((PartialRecord{server.Url("/a/old/gone.bin"), "\"x\"", 10}.Write(strStale)));

    // Cut, with no retry: the run fails and leaves both parts.
    {
        CutFileServer file(server, RangeServer::Honours);
        EXPECT_EQ(RunOnce(), std::optional<bool>(false));
        EXPECT_TRUE(FileSystem::Exists(FileSystem::PartialPath(Local("big.bin"))));
        EXPECT_TRUE(FileSystem::Exists(strStale));
        // The next run finishes it from byte 81920 and, having reached its end, removes the rest.
        EXPECT_EQ(RunOnce(), std::optional<bool>(true));
        EXPECT_TRUE(ReadWholeFile(Local("big.bin")) == file.First());
        EXPECT_EQ(file.BodiesSent(), (std::vector<size_t>{kCutAt, kWhole - kCutAt}));
    }
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"big.bin", "old/keep.txt"}));

    // Cut, then retried within the same run.
    std::filesystem::remove(Local("big.bin"));
    app.StoreDword(kValueRetries, 1);
    server.ClearLog();
    CutFileServer file(server, RangeServer::Honours);
    EXPECT_EQ(RunOnce(), std::optional<bool>(true));
    EXPECT_TRUE(ReadWholeFile(Local("big.bin")) == file.First());
    EXPECT_EQ(file.BodiesSent(), (std::vector<size_t>{kCutAt, kWhole - kCutAt}));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"big.bin", "old/keep.txt"}));
}

TEST(PartialRecord, OnlyAWholeRecordIsRead)
{
    CTempDir dir;
    const std::string partial = dir / ".harvestly-0123.part";
    const PartialRecord record{"http://h/a/b.bin", "\"e\"", 204800};
    ASSERT_TRUE(record.Write(partial));
    EXPECT_EQ(PartialRecord::PathFor(partial), dir / ".harvestly-0123.resume");
    const std::optional<PartialRecord> read = PartialRecord::Read(partial);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->strAddress, record.strAddress);
    EXPECT_EQ(read->strValidator, record.strValidator);
    EXPECT_EQ(read->nExpected, record.nExpected);

    for (const char* text : {"", "http://h/a\n\"e\"\n", "http://h/a\n\"e\"\n12", "http://h/a\n\n12\n",
                             "http://h/a\n\"e\"\n12x\n", "http://h/a\n\"e\"\n-1\n", "a\nb\n1\nextra\n"})
    {
        WriteWholeFile(PartialRecord::PathFor(partial), text);
        EXPECT_FALSE(PartialRecord::Read(partial)) << text;
    }
    // A value with a line break would read back as another record.
    EXPECT_FALSE((PartialRecord{"http://h/a", "\"e\"\r\nX: y", 1}.Write(partial)));
}

} // namespace
