#include "crawl/CrawlJob.h"

// PROVISIONAL stand-in until the fetch/storage and crawl-loop work land.
CCrawlJob::CCrawlJob(std::string, std::string, std::string, std::string, bool) {}
CCrawlJob::~CCrawlJob() = default;
bool CCrawlJob::Run()
{
    return true;
}
double CCrawlJob::GetRate() const
{
    return 0;
}
long long CCrawlJob::GetBytesReceived() const
{
    return 0;
}
long long CCrawlJob::GetBytesExpected() const
{
    return 0;
}
long CCrawlJob::GetProcessedCount() const
{
    return 0;
}
long CCrawlJob::GetPendingCount() const
{
    return 0;
}
std::string CCrawlJob::GetCurrentUrl() const
{
    return {};
}
