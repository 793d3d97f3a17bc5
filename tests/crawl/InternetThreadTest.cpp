#include "CrawlRunner.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

namespace
{

TEST(InternetThread, HoldsTheWorkerLockForItsLifeAndReportsEachRun)
{
    CTestApp app;
    CTestHttpServer server;
    std::binary_semaphore& lock = *app.App().m_pWorkerLock;

    std::unique_ptr<CInternetThread> pThread = CInternetThread::Create(lock);
    ASSERT_NE(pThread, nullptr);
    EXPECT_FALSE(lock.try_acquire());

    // A start page that is stored: Run gives true.
    server.Serve("/a/index.html", TestResponse::Ok("<html></html>"));
    CDoneRecorder found;
    CCrawlJob stored(app.App(), app.Settings(), server.Url("/a/index.html"), app.Destination(), "", "", true);
    pThread->SetJob(&stored);
    pThread->SetOwner(&found);
    pThread->PostThreadMessage(TM_RUNJOB);
    EXPECT_EQ(found.Wait(), std::optional<bool>(true));
    EXPECT_NE(found.ThreadId(), std::this_thread::get_id());

    // Not an http address: Run gives false; the same worker serves the second run.
    CDoneRecorder refused;
    CCrawlJob ftp(app.App(), app.Settings(), "ftp://127.0.0.1/a/x.html", app.Destination(), "", "", true);
    pThread->SetJob(&ftp);
    pThread->SetOwner(&refused);
    pThread->PostThreadMessage(TM_RUNJOB);
    EXPECT_EQ(refused.Wait(), std::optional<bool>(false));
    EXPECT_EQ(refused.ThreadId(), found.ThreadId());
    EXPECT_FALSE(lock.try_acquire());

    pThread->PostThreadMessage(TM_ENDTHREAD);
    EXPECT_TRUE(lock.try_acquire_for(std::chrono::seconds(5)));
    lock.release();
}

} // namespace
