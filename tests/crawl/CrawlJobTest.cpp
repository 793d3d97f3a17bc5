#include "crawl/CrawlJob.h"

#include "settings/SettingsTable.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

namespace
{

TEST(CrawlJob, SetUpReadsTheStoredOptionsAndCompletesTheDestination)
{
    CTestApp app;
    {
        CCrawlJob job(app.App(), app.Settings(), "http://host/a/", "/sites/x", "user", "pw", true);
        EXPECT_EQ(job.GetDestDir(), "/sites/x/");
        EXPECT_EQ(job.GetRetries(), 0u);
        EXPECT_FALSE(job.GetContinueOnError());
        EXPECT_FALSE(job.m_bStop);
        EXPECT_TRUE(job.GetCrawl());
        EXPECT_FALSE(job.GetFetcher().ByDate());
        EXPECT_FALSE(job.GetFetcher().RenameOld());
        EXPECT_FALSE(job.GetFetcher().NoNameAsIndex());
        EXPECT_EQ(job.GetProcessedCount(), 0);
        EXPECT_EQ(job.GetPendingCount(), 0);
        EXPECT_EQ(job.GetBytesReceived(), 0);
        EXPECT_EQ(job.GetRate(), 0.0);
        EXPECT_EQ(job.GetCurrentUrl(), "");
    }

    app.StoreDword(kValueRetries, 3);
    app.StoreDword(kValueContinueOnError, 7);
    app.StoreDword(kValueFileCheck, 1);
    app.StoreDword(kValueNoNameAsIndex, 1);
    {
        CCrawlJob job(app.App(), app.Settings(), "http://host/a/", "/sites/x/", "", "", false);
        EXPECT_EQ(job.GetDestDir(), "/sites/x/");
        EXPECT_EQ(job.GetRetries(), 3u);
        EXPECT_TRUE(job.GetContinueOnError());
        EXPECT_FALSE(job.GetCrawl());
        EXPECT_TRUE(job.GetFetcher().ByDate());
        EXPECT_FALSE(job.GetFetcher().RenameOld());
        EXPECT_TRUE(job.GetFetcher().NoNameAsIndex());
    }

    app.StoreDword(kValueFileCheck, 2);
    CCrawlJob job(app.App(), app.Settings(), "http://host/a/", "/sites/x/", "", "", false);
    EXPECT_TRUE(job.GetFetcher().ByDate());
    EXPECT_TRUE(job.GetFetcher().RenameOld());
}

} // namespace
