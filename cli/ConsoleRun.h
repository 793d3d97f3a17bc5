#pragma once

#include "cli/CliOptions.h"
#include "crawl/CrawlOwner.h"
#include "parse/LinkReportFile.h"
#include "run/FrontEnd.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class CMainApp;
class CCrawlJob;
class CInternetThread;

// Exit statuses of harvestly-cli.
enum CliStatus : int
{
    kStatusComplete = 0,
    kStatusFailed = 1,
    kStatusBadInput = 2,
    kStatusStopped = 130,
};

// One run of the engine from the console: what the window's Go does, then waiting for the
// worker while showing progress and turning Ctrl-C into a stop.
class CConsoleRun : public IFrontEnd, public ICrawlOwner
{
public:
    CConsoleRun(CMainApp& app, const CliOptions& options);
    ~CConsoleRun() override;

    int Run();

    std::string GetDestination() const override { return m_strDestination; }
    void OnCrawlDone(bool bResult) override;

private:
    bool ValidateAddress();
    bool HttpsAllowed();
    bool OpenLinkReport();
    bool ReadPassword();
    bool PrepareDestination();
    bool AskToCreate() const;
    int StartRun();
    bool WaitForWorker();
    void ShowProgress(bool bFinal);
    int Finish(bool bResult);

    CMainApp& m_app;
    const CliOptions& m_options;
    std::string m_strDestination;
    std::string m_strPassword;
    bool m_bShowProgress = false;
    int m_nSignalsBefore = 0;
    bool m_bUserStop = false;
    bool m_bClosingRequested = false;
    size_t m_nLastLineLength = 0;

    // Declared before the job: a run writes to it until the worker has ended.
    CLinkReportFile m_linkReport;
    // The job is declared first so that it outlives the worker, whose end is the one join.
    std::unique_ptr<CCrawlJob> m_pJob;
    std::unique_ptr<CInternetThread> m_pWorker;

    std::mutex m_mutex;
    std::condition_variable m_done;
    std::optional<bool> m_result;
};
