#include "crawl/CrawlJob.h"

#include "crawl/OfflineMirror.h"
#include "crawl/TransferWindow.h"
#include "parse/LinkParser.h"
#include "parse/OwnFiles.h"
#include "platform/AsciiText.h"
#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/PathParts.h"
#include "platform/UrlParts.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

namespace
{

std::string FolderOf(const std::string& strAddress)
{
    const PathParts parts = PathParts::Split(strAddress);
    return parts.drive + parts.dir;
}

} // namespace

CCrawlJob::CCrawlJob(IEngineContext& context, const RunSettings& settings, std::string strStartUrl,
                     std::string strDestDir, std::string strUser, std::string strPassword, bool bCrawl)
    : m_bContinueOnError(settings.nContinueOnError != 0), m_nRetries(settings.nRetries), m_bCrawl(bCrawl),
      m_strStartUrl(std::move(strStartUrl)), m_strDestDir(std::move(strDestDir)),
      m_strUser(std::move(strUser)), m_strPassword(std::move(strPassword)), m_context(context),
      m_settings(settings), m_fetcher(context, settings),
      m_pOffline(settings.nConvertLinks != 0 ? std::make_unique<COfflineMirror>() : nullptr)
{
    PathParts::AddFinalSlash(m_strDestDir);
}

CCrawlJob::~CCrawlJob() = default;

CrawlProgress CCrawlJob::Progress() const
{
    CrawlProgress progress;
    progress.strCurrentUrl = GetCurrentUrl();
    progress.nBytesReceived = GetBytesReceived();
    progress.nBytesExpected = GetBytesExpected();
    progress.dRate = GetRate();
    progress.nProcessed = GetProcessedCount();
    progress.nPending = GetPendingCount();
    progress.pendingLines = GetPendingLines();
    progress.nUnderWay = GetTransfersUnderWay();
    return progress;
}

std::string CCrawlJob::GetCurrentUrl() const
{
    std::lock_guard lock(m_currentUrlMutex);
    return m_strCurrentUrl;
}

void CCrawlJob::SetCurrentUrl(const std::string& strUrl)
{
    std::lock_guard lock(m_currentUrlMutex);
    m_strCurrentUrl = strUrl;
}

bool CCrawlJob::Closing() const
{
    return m_context.IsClosing();
}

bool CCrawlJob::Run()
{
    bool bResult = true;
    bool bFirstPage = true;
    CLinkParser parser(&m_queue, &m_visited, m_settings, &m_context);
    parser.SetReport(m_pLinkReport);
    m_fetcher.SetStopFlag(&m_bStop);

    m_fetcher.SetUser(m_strUser);
    m_fetcher.SetPassword(m_strPassword);

    // An address that names only a server gets its root slash.
    const std::optional<UrlParts> parts = UrlParts::Parse(m_strStartUrl);
    if (parts && parts->object == "/" && m_strStartUrl == parts->ServerRoot())
        m_strStartUrl += '/';

    // An address without extension may name a folder: the server is asked.
    std::string strStartDir = FolderOf(m_strStartUrl);
    const PathParts start = PathParts::Split(m_strStartUrl);
    if (start.ext.empty() && !start.fname.empty())
    {
        m_fetcher.SetStartDir(strStartDir);
        if (m_fetcher.ProbeDirectory(m_strStartUrl))
        {
            m_strStartUrl += '/';
            strStartDir = FolderOf(m_strStartUrl);
        }
    }

    m_fetcher.SetDestDir(m_strDestDir);
    m_fetcher.SetStartDir(strStartDir);
    parser.SetStartDir(strStartDir);
    const COwnFiles ownFiles(m_ownFiles, m_strDestDir, strStartDir, m_settings.nNoNameAsIndex != 0);
    parser.SetOwnFiles(&ownFiles);
    if (!QueueStart(parser))
        bResult = false;
    // A run that may fetch no more than its start page has not mirrored the site.
    if (m_settings.nRobots != 0 && !ReadRobots(parser))
        bResult = false;

    // With several connections the start page is fetched alone: it sets up the server's connection
    // and, when it fails, shows why as one connection does.
    std::unique_ptr<CTransferWindow> pWindow;
    if (m_settings.nConnections > 1)
        pWindow = std::make_unique<CTransferWindow>(m_context, m_fetcher, m_queue, m_visited,
                                                    std::min(m_settings.nConnections, kMaxConnections),
                                                    m_settings.nWaitMs, m_bStop, m_nUnderWay);
    bool bCut = false;

    // Once the program is closing no further address is taken: the tear-down waits for this loop.
    bool bStartAddress = true;
    while (m_queue.Count() != 0 && !m_bStop && !Closing())
    {
        const std::string strUrl = m_queue.Head();
        const bool bKeep = m_queue.HeadKeep();
        m_queue.PopFront();
        SetCurrentUrl(strUrl);
        if (m_visited.Contains(strUrl))
            continue;
        m_visited.Add(strUrl);

        // A page about to be read for links is kept in memory as it is written.
        const std::optional<FetchResult> attempted =
            FetchWithRetries(strUrl, m_bCrawl || bFirstPage, bKeep, bStartAddress ? nullptr : pWindow.get());
        // A stop that came before the address was asked for ends the run as a stop seen above does.
        if (!attempted)
            break;
        const FetchResult& fetched = *attempted;
        const bool bWasStart = std::exchange(bStartAddress, false);
        if (!fetched.bOk)
        {
            // Any address that failed after its retries makes the run fail, whatever came after.
            bResult = false;
            bCut = !m_bContinueOnError;
            if (bCut || m_bStop)
                break;
            continue;
        }
        if (fetched.bNotFound)
        {
            // Without its start page a run has mirrored nothing.
            if (bWasStart)
                bResult = false;
            continue;
        }

        // Unless asked otherwise only the exact type counts: "text/html; charset=..." is not parsed.
        const bool bPage = IsHtmlType(fetched.strContentType, m_settings.nHtmlWithParameters != 0) &&
                           (m_bCrawl || bFirstPage);
        // A stylesheet belongs to the page that named it, so it is read whatever the crawl option
        // says; only read pages name stylesheets.
        const bool bStylesheet = !bPage && m_settings.nFollowCss != 0 && IsCssType(fetched.strContentType);
        if ((bPage || bStylesheet) && bFirstPage)
            parser.SetServerRoot(m_fetcher.GetServerRoot());
        // Only what stays in the mirror is a link target, and only it is converted.
        const bool bStays = !fetched.bTemporary && bKeep;
        if (m_pOffline && bStays)
            m_pOffline->AddStored(strUrl, fetched.strLocalPath);
        std::vector<LinkSite> sites;
        std::vector<LinkSite>* pSites = m_pOffline && bStays ? &sites : nullptr;
        if (bPage)
        {
            ReadPage(parser, strUrl, fetched, pSites);
            bFirstPage = false;
        }
        else if (bStylesheet)
        {
            parser.SetStylesheet(strUrl);
            parser.SetSites(pSites);
            (void)parser.ParseStylesheet(fetched.strLocalPath);
        }
        parser.SetSites(nullptr);
        if (pSites != nullptr && (bPage || bStylesheet))
            m_pOffline->AddPage(strUrl, fetched.strLocalPath, std::move(sites));
        // Only what this run stored just to read it goes; a copy on disk that the filter leaves
        // out was not written by this run and stays. A copy that cannot be deleted only stays on
        // disk; the run goes on either way.
        if (fetched.bTemporary)
            (void)FileSystem::Delete(fetched.strLocalPath);
    }

    // A stop lets the transfers under way end and keeps them; a failure that ends the run and the
    // program's end cut them, and nothing partial stays.
    if (pWindow && (bCut || Closing()))
        pWindow->CutAll();
    else if (pWindow)
        pWindow->KeepUnderWay();
    pWindow.reset();
    // Every address the run needed has its file: parts of cut transfers left by earlier runs
    // are of addresses it no longer needs. A stopped or failed run leaves them for the next.
    if (bResult && !m_bStop && !Closing())
        m_fetcher.RemoveKeptParts();

    // Whatever the outcome, what was read is converted; a program that is closing leaves it to
    // the next run.
    const bool bConverted = m_pOffline && !Closing() && ConvertLinks();

    // What the run stored is on disk before the run is reported; a program that is closing
    // leaves that to the system rather than hold up its tear-down.
    if ((m_fetcher.StoredAny() || bConverted) && !Closing() && !SyncStoredFiles())
        bResult = false;
    return bResult;
}

bool CCrawlJob::QueueStart(CLinkParser& parser)
{
    m_queue.Reset();
    m_visited.Clear();
    // The user names the start address, yet the site says what it holds: it is not stored over
    // the run's own files either. Without it the run has mirrored nothing.
    if (parser.NamesOwnFile(m_strStartUrl))
        return false;
    m_queue.PushBack(m_strStartUrl, parser.PassesFilter(m_strStartUrl));
    return true;
}

void CCrawlJob::ReadPage(CLinkParser& parser, const std::string& strUrl, const FetchResult& fetched,
                         std::vector<LinkSite>* pSites)
{
    parser.SetPage(strUrl);
    parser.SetSites(pSites);
    // A page that cannot be read has been logged by the parser and gives no links.
    if (fetched.bPageHeld)
        parser.ParseText(fetched.strPageText);
    else
        (void)parser.ParseFile(fetched.strLocalPath);
    if (m_settings.nFollowCss == 0)
        return;
    if (fetched.bPageHeld)
        parser.ParseStylesText(fetched.strPageText);
    else
        (void)parser.ParseStyles(fetched.strLocalPath);
}

bool CCrawlJob::ConvertLinks()
{
    SetCurrentUrl({});
    // A page that could not be converted has its own line in the log and keeps its old bytes.
    return m_pOffline->Convert(m_context).nConverted != 0;
}

bool CCrawlJob::SyncStoredFiles()
{
    SystemError error;
    if (FileSystem::SyncFileSystem(m_strDestDir, &error))
        return true;
    // The run fails either way; a line the log refuses has been shown to the user.
    (void)m_context.WriteErrorLog("Unable to write the stored files to disk [" + m_strDestDir + "], error [" +
                                      std::to_string(error.code) + "].",
                                  false);
    return false;
}

bool CCrawlJob::ReadRobots(CLinkParser& parser)
{
    const TextAnswer answer = FetchRobotsWithRetries();
    bool bRead = true;
    if (answer.kind == TextAnswer::Kind::Read)
        m_robots = CRobotsRules(answer.strText, m_context.GetVersionText());
    else if (answer.kind == TextAnswer::Kind::Failed)
    {
        // RFC 9309: a robots.txt the server fails to serve disallows everything. The start page
        // was named by the user, not found on the site, so it is still fetched.
        m_robots = CRobotsRules::DisallowAll();
        bRead = false;
        if (!Closing())
            (void)m_context.WriteErrorLog("Unable to read robots.txt (" + answer.strReason +
                                              "): everything but the start page is left out.",
                                          false);
    }
    // The rules judge object paths, which start after the server root the connection set.
    parser.SetServerRoot(m_fetcher.GetServerRoot());
    parser.SetRobots(&m_robots);
    return bRead;
}

TextAnswer CCrawlJob::FetchRobotsWithRetries()
{
    // The least a robots.txt reader must take in; more is not read.
    constexpr size_t kMaxRobotsBytes = size_t{500} * 1024;
    TextAnswer answer = m_fetcher.FetchText("/robots.txt", kMaxRobotsBytes);
    // A failure is tried again as often as any address's.
    for (std::uint32_t nRetry = 0;
         answer.kind == TextAnswer::Kind::Failed && nRetry < m_nRetries && !m_bStop && !Closing(); ++nRetry)
        answer = m_fetcher.FetchText("/robots.txt", kMaxRobotsBytes);
    return answer;
}

namespace
{

std::string MediaType(const std::string& strContentType)
{
    std::string_view type(strContentType);
    type = type.substr(0, type.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.remove_suffix(1);
    while (!type.empty() && (type.front() == ' ' || type.front() == '\t'))
        type.remove_prefix(1);
    return AsciiText::ToLower(std::string(type));
}

} // namespace

bool CCrawlJob::IsHtmlType(const std::string& strContentType, bool bWithParameters)
{
    if (!bWithParameters)
        return strContentType == "text/html";
    const std::string type = MediaType(strContentType);
    return type == "text/html" || type == "application/xhtml+xml";
}

bool CCrawlJob::IsCssType(const std::string& strContentType)
{
    return MediaType(strContentType) == "text/css";
}

std::optional<FetchResult> CCrawlJob::FetchWithRetries(const std::string& strUrl, bool bHoldPage, bool bKeep,
                                                       CTransferWindow* pWindow)
{
    std::uint32_t nAttempts = 0;
    FetchResult fetched;
    for (;;)
    {
        if (m_bStop)
        {
            if (nAttempts == 0)
                return std::nullopt;
            // The last attempt failed: the address stays failed.
            return fetched;
        }
        if (pWindow == nullptr)
            fetched = m_fetcher.Download(strUrl, bHoldPage, bKeep);
        else if (std::optional<FetchResult> taken = pWindow->Take(strUrl, bHoldPage, bKeep))
            fetched = std::move(*taken);
        else
            return nAttempts == 0 ? std::nullopt : std::optional<FetchResult>(fetched);
        // Once the program is closing, no further attempt is made.
        if (Closing())
            return fetched;
        ++nAttempts;
        if (fetched.bOk || nAttempts > m_nRetries)
            return fetched;
        // Attempts follow each other at once, unless the server asked for a pause.
        WaitBeforeRetry(fetched.retryAfter);
    }
}

void CCrawlJob::WaitBeforeRetry(std::chrono::seconds wait) const
{
    // In short steps, so that a stop or the program's end is not kept waiting for the pause.
    constexpr std::chrono::milliseconds kStep(50);
    const auto end = std::chrono::steady_clock::now() + wait;
    for (auto now = std::chrono::steady_clock::now(); now < end && !m_bStop && !Closing();
         now = std::chrono::steady_clock::now())
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kStep, end - now));
}
