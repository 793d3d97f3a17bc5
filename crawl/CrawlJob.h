#pragma once

#include <atomic>
#include <string>

// PROVISIONAL: the public face of a crawl job, so that the worker thread and the windows can be
// built against it. The fetch/storage work fills in the data and set-up; the crawl-loop work
// fills in Run.
class CCrawlJob
{
public:
    CCrawlJob(std::string strStartUrl, std::string strDestDir, std::string strUser, std::string strPassword,
              bool bCrawl);
    ~CCrawlJob();
    CCrawlJob(const CCrawlJob&) = delete;
    CCrawlJob& operator=(const CCrawlJob&) = delete;

    bool Run();

    // Read by the progress display on the user-interface thread while the worker runs.
    double GetRate() const;
    long long GetBytesReceived() const;
    long long GetBytesExpected() const;
    long GetProcessedCount() const;
    long GetPendingCount() const;
    std::string GetCurrentUrl() const;

    // Set (never cleared) by the user-interface thread; read by the worker.
    std::atomic<bool> m_bStop{false};
};
