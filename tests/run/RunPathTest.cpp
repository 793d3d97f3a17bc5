#include "run/RunPath.h"

#include "crawl/CrawlJob.h"
#include "crawl/CrawlOwner.h"
#include "crawl/InternetThread.h"
#include "support/Planted.h"
#include "support/TestApp.h"

#include <future>
#include <gtest/gtest.h>

namespace
{

class CEndRecorder : public ICrawlOwner
{
public:
    void OnCrawlDone(bool bResult) override { m_result.set_value(bResult); }
    std::future<bool> Result() { return m_result.get_future(); }

private:
    std::promise<bool> m_result;
};

TEST(RunPath, TheDestinationGetsItsSlashAndIsCreatedOnlyWhenTheFrontEndAgrees)
{
    CTestApp test;
    int nAsked = 0;
    std::string strEmpty;
    EXPECT_EQ(RunPath::CheckDestination(strEmpty, [&] { return ++nAsked, true; }),
              RunPath::Destination::Empty);

    std::string strPresent = test.Destination().substr(0, test.Destination().size() - 1);
    EXPECT_EQ(RunPath::CheckDestination(strPresent, [&] { return ++nAsked, true; }),
              RunPath::Destination::Ready);
    EXPECT_EQ(strPresent, test.Destination());
    EXPECT_EQ(nAsked, 0) << "an existing folder is not asked about";

    std::string strMissing = test.Destination() + "new/deeper";
    EXPECT_EQ(RunPath::CheckDestination(strMissing, [&] { return ++nAsked, false; }),
              RunPath::Destination::Declined);
    EXPECT_FALSE(FileSystem::Exists(test.Destination() + "new"));
    EXPECT_EQ(RunPath::CheckDestination(strMissing, [&] { return ++nAsked, true; }),
              RunPath::Destination::Ready);
    EXPECT_TRUE(FileSystem::IsDirectory(test.Destination() + "new/deeper/"));
    EXPECT_EQ(nAsked, 2);

    WriteWholeFile(test.Destination() + "blocker", "");
    std::string strBlocked = test.Destination() + "blocker/x";
    EXPECT_EQ(RunPath::CheckDestination(strBlocked, [] { return true; }), RunPath::Destination::CannotCreate);

    // A file is named as a file, with or without a final '/', and nobody is asked to create it.
    for (const std::string& typed : {test.Destination() + "blocker", test.Destination() + "blocker/"})
    {
        std::string strFile = typed;
        EXPECT_EQ(RunPath::CheckDestination(strFile, [&] { return ++nAsked, true; }),
                  RunPath::Destination::NotAFolder)
            << typed;
        EXPECT_EQ(strFile, typed);
    }
    EXPECT_EQ(nAsked, 2);
    EXPECT_FALSE(FileSystem::IsDirectory(test.Destination() + "blocker"));
}

TEST(RunPath, StartWritesTheRecordsAppliesTheEditsAndHandsTheJobOver)
{
    CTestApp test;
    std::unique_ptr<CInternetThread> pWorker = CInternetThread::Create();
    ASSERT_TRUE(pWorker);

    CEndRecorder refused;
    const RunPath::Request bad{"http://127.0.0.1:9/a/", test.Destination(), "", "", false,
                               {{"Retries", "x"}}};
    const RunPath::Started notStarted = RunPath::Start(test.App(), *pWorker, refused, bad);
    EXPECT_EQ(notStarted.failure, RunPath::StartFailure::Setting);
    EXPECT_EQ(notStarted.pJob, nullptr);

    // Nothing listens on port 9: the run fails at once, after its one attempt and the two retries.
    CEndRecorder owner;
    std::future<bool> result = owner.Result();
    const RunPath::Request request{"http://127.0.0.1:9/a/", test.Destination(), "me", "pw", false,
                                   {{"Retries", "2"}}};
    RunPath::Started started = RunPath::Start(test.App(), *pWorker, owner, request);
    ASSERT_EQ(started.failure, RunPath::StartFailure::None);
    ASSERT_NE(started.pJob, nullptr);
    EXPECT_EQ(started.pJob->GetRetries(), 2u);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_FALSE(result.get());
    pWorker->End();
    RunPath::LogOutcome(test.App(), RunPath::OutcomeOf(false, true));

    EXPECT_TRUE(FileSystem::Exists(test.Destination() + "shortcut.url"));
    const std::string log = test.LogText();
    EXPECT_NE(log.find(" : New Session\n"), std::string::npos) << log;
    EXPECT_EQ(log.rfind(" : Site processing failed.\n"), log.size() - 27) << log;
}

TEST(RunPath, AnythingButAPlainFileAtTheLogsNameStopsTheRunBeforeAnythingIsWritten)
{
    for (const Planted kind : kEveryPlanted)
    {
        SCOPED_TRACE(NameOf(kind));
        CTestApp test;
        CTempDir outside;
        Plant(kind, test.Destination() + "error.log", outside / "target");
        std::unique_ptr<CInternetThread> pWorker = CInternetThread::Create();
        ASSERT_TRUE(pWorker);

        CEndRecorder owner;
        const RunPath::Request request{"http://127.0.0.1:9/a/", test.Destination(), "", "", false, {}};
        const RunPath::Started started = RunPath::Start(test.App(), *pWorker, owner, request);
        EXPECT_EQ(started.failure, RunPath::StartFailure::LogNotPlainFile);
        EXPECT_EQ(started.pJob, nullptr);
        EXPECT_FALSE(FileSystem::Exists(test.Destination() + "shortcut.url"));
        EXPECT_EQ(test.Boxes().Count(), 0u) << "the front end says why, in its own way";
        if (kind == Planted::LinkToFile)
        {
            EXPECT_EQ(ReadWholeFile(outside / "target"), "precious");
        }
        pWorker->End();
    }
}

} // namespace
