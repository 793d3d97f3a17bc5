#include "CrawlRunner.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

namespace
{

TEST(InternetThread, OneWorkerServesEachRunAndReportsIt)
{
    CTestApp app;
    CTestHttpServer server;
    std::unique_ptr<CInternetThread> pThread = CInternetThread::Create();
    ASSERT_NE(pThread, nullptr);

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

    // Once ended, the worker takes no further run; ending again changes nothing.
    pThread->End();
    CDoneRecorder late;
    pThread->SetOwner(&late);
    pThread->PostThreadMessage(TM_RUNJOB);
    pThread->End();
    EXPECT_EQ(late.Wait(std::chrono::milliseconds(200)), std::nullopt);
}

TEST(InternetThread, EndDuringARunReturnsOnlyAfterTheRunHasBeenReported)
{
    CTestApp app;
    CTestHttpServer server;
    // A page that trickles in for far longer than the test: only the closing flag ends it.
    TestResponse slow = TestResponse::Ok(std::string(64 * 1024, 'x'));
    slow.blockBytes = 256;
    slow.blockDelay = std::chrono::milliseconds(50);
    server.Serve("/a/index.html", slow);

    for (bool bFreeAtOnce : {false, true})
    {
        std::unique_ptr<CInternetThread> pThread = CInternetThread::Create();
        ASSERT_NE(pThread, nullptr);
        CDoneRecorder owner;
        CCrawlJob job(app.App(), app.Settings(), server.Url("/a/index.html"), app.Destination(), "", "",
                      true);
        pThread->SetJob(&job);
        pThread->SetOwner(&owner);
        pThread->PostThreadMessage(TM_RUNJOB);
        ASSERT_TRUE(server.WaitForRequest("/a/index.html"));

        app.App().SetClosing(true);
        // The owner frees the object at once, or ends it first: either way the join has waited
        // for the run, so the job and the owner may go right after.
        if (bFreeAtOnce)
            pThread.reset();
        else
            pThread->End();
        EXPECT_EQ(owner.Wait(std::chrono::milliseconds(0)), std::optional<bool>(false)) << bFreeAtOnce;
        app.App().SetClosing(false);
        server.ClearLog();
    }
}

} // namespace
