#pragma once

#include "crawl/CrawlProgress.h"
#include "crawl/PageFetcher.h"
#include "parse/RobotsRules.h"
#include "parse/UrlQueue.h"
#include "parse/VisitedList.h"
#include "settings/RunSettings.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class IEngineContext;
class CLinkParser;
class ILinkReport;
class COfflineMirror;
struct LinkSite;
class CTransferWindow;

// One run over one site: its settings, queue, visited list, stop flag, counters and fetcher.
// Built on the user-interface thread, run once on the worker; the accessors are for the progress
// display and may be called from any thread while the worker runs.
class CCrawlJob
{
public:
    // Takes "Retries" and "ContinueOnError" (and, through the fetcher, "FileCheck" and
    // "NoNameAsIndex") from the run's settings; the link parser takes the rest when Run starts.
    CCrawlJob(IEngineContext& context, const RunSettings& settings, std::string strStartUrl,
              std::string strDestDir, std::string strUser, std::string strPassword, bool bCrawl);
    ~CCrawlJob();
    CCrawlJob(const CCrawlJob&) = delete;
    CCrawlJob& operator=(const CCrawlJob&) = delete;

    // The crawl loop. True when every address taken was fetched (a missing file other than the
    // start page counts as fetched); false when any address failed after its retries, the start
    // page was not found, robots.txt was asked for and the server failed to serve it, or what the
    // run stored could not be written to disk.
    bool Run();

    // The one view of the run the front ends read on each tick of their timers.
    CrawlProgress Progress() const;

    double GetRate() const { return m_fetcher.GetRate(); }
    long long GetBytesReceived() const { return m_fetcher.GetBytesReceived(); }
    long long GetBytesExpected() const { return m_fetcher.GetBytesExpected(); }
    long GetProcessedCount() const { return m_visited.Count(); }
    long GetPendingCount() const { return m_queue.Count(); }
    std::string GetCurrentUrl() const;
    // How many transfers are under way when several run at once; 0 with one connection.
    int GetTransfersUnderWay() const { return m_nUnderWay.load(std::memory_order_relaxed); }
    // The first waiting addresses as a pending-address list shows them.
    CUrlQueue::Shown GetPendingLines() const { return m_queue.ShownLines(); }
    std::uint64_t GetPendingSerial() const { return m_queue.ShownSerial(); }

    // The settings of the run. The start address is completed by Run: read it on the worker or
    // after the run has ended.
    bool GetContinueOnError() const { return m_bContinueOnError; }
    std::uint32_t GetRetries() const { return m_nRetries; }
    bool GetCrawl() const { return m_bCrawl; }
    const std::string& GetStartUrl() const { return m_strStartUrl; }
    const std::string& GetDestDir() const { return m_strDestDir; }
    bool GetHtmlWithParameters() const { return m_settings.nHtmlWithParameters != 0; }
    bool GetFollowCss() const { return m_settings.nFollowCss != 0; }
    bool GetRobots() const { return m_settings.nRobots != 0; }
    bool GetConvertLinks() const { return m_settings.nConvertLinks != 0; }

    // For this run only, before it starts: whether certificates are checked (they are unless
    // told otherwise), and a report told what became of every link value found (not owned).
    void SetCheckCertificates(bool bCheck) { m_fetcher.SetCheckCertificates(bCheck); }
    void SetLinkReport(ILinkReport* pReport) { m_pLinkReport = pReport; }
    // The files the run writes into the destination itself (its log, shortcut and report), which
    // exist by the time it starts: no address is stored over them.
    void SetOwnFiles(std::vector<std::string> paths) { m_ownFiles = std::move(paths); }

    // Whether a response of this type is a page to read for links.
    static bool IsHtmlType(const std::string& strContentType, bool bWithParameters);
    static bool IsCssType(const std::string& strContentType);

    // Set (never cleared) by the user-interface thread; read by the worker before every address
    // and every attempt.
    std::atomic<bool> m_bStop{false};

private:
    void SetCurrentUrl(const std::string& strUrl);
    // Nothing when a stop came before the first attempt: the address was never asked for.
    // With `pWindow` the address is fetched among several transfers at once.
    std::optional<FetchResult> FetchWithRetries(const std::string& strUrl, bool bHoldPage, bool bKeep,
                                                CTransferWindow* pWindow);
    // The pause a server asked for before the next attempt, cut short by a stop or closing.
    void WaitBeforeRetry(std::chrono::seconds wait) const;
    bool Closing() const;
    // Reads a stored page for its links, and for what its style blocks name when asked to.
    void ReadPage(CLinkParser& parser, const std::string& strUrl, const FetchResult& fetched,
                  std::vector<LinkSite>* pSites);
    // Rewrites the links of what the run read, so that the mirror browses offline; true when any
    // page was written.
    bool ConvertLinks();
    bool SyncStoredFiles();
    // Queues the start address; false when it may not be fetched at all.
    bool QueueStart(CLinkParser& parser);
    // False when the server failed to serve robots.txt: then only the start page may be fetched.
    bool ReadRobots(CLinkParser& parser);
    TextAnswer FetchRobotsWithRetries();

    bool m_bContinueOnError = false;
    ILinkReport* m_pLinkReport = nullptr;
    std::vector<std::string> m_ownFiles;
    CRobotsRules m_robots;
    std::uint32_t m_nRetries = 0;
    mutable std::mutex m_currentUrlMutex;
    std::string m_strCurrentUrl;
    std::atomic<int> m_nUnderWay{0};
    CVisitedList m_visited;
    CUrlQueue m_queue;
    bool m_bCrawl;
    std::string m_strStartUrl;
    std::string m_strDestDir;
    std::string m_strUser;
    std::string m_strPassword;
    IEngineContext& m_context;
    RunSettings m_settings;
    CPageFetcher m_fetcher;
    // Only when the run converts links.
    std::unique_ptr<COfflineMirror> m_pOffline;
};
