#pragma once

#include "crawl/AheadOutcome.h"
#include "crawl/FetchResult.h"
#include "crawl/LocalNames.h"
#include "crawl/ResumePolicy.h"
#include "crawl/ServerConnection.h"
#include "crawl/TextAnswer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class IEngineContext;
class CFileStore;
struct GetResponse;
struct RequestConditions;
struct RunSettings;

// Fetches one address at a time from the start server and stores it under the destination
// folder: the policy that joins the connection to the server (CServerConnection), the local
// names (LocalNames) and the file being stored (CFileStore), and writes every failure to the
// error log. Everything runs on the worker thread except the counter accessors, which the
// progress display reads while a transfer is under way.
class CPageFetcher
{
public:
    // Takes the existing-file mode, the index-name option and the connection's options from the
    // run's settings.
    CPageFetcher(IEngineContext& context, const RunSettings& settings);
    ~CPageFetcher();
    CPageFetcher(const CPageFetcher&) = delete;
    CPageFetcher& operator=(const CPageFetcher&) = delete;

    // The run's set-up, before its first address. The start folder also gives the server root,
    // so that it is known before anything is fetched.
    void SetDestDir(std::string strDestDir) { m_strDestDir = std::move(strDestDir); }
    void SetStartDir(std::string strStartDir);
    void SetUser(std::string strUser) { m_strUser = std::move(strUser); }
    void SetPassword(std::string strPassword) { m_strPassword = std::move(strPassword); }
    void SetCheckCertificates(bool bCheck)
    {
        m_bCheckCertificates = bCheck;
        m_connection.SetCheckCertificates(bCheck);
    }
    void SetStopFlag(const std::atomic<bool>* pStop) { m_connection.SetStopFlag(pStop); }

    // Fetches `strUrl` into its local file. With `bHoldPage` a text/html body written here comes
    // back in the result as well (up to a bound). Without `bKeep` (the filter leaves the address
    // out) a body is stored only under its private name, as a temporary page: it never takes the
    // place of a copy on disk.
    [[nodiscard]] FetchResult Download(std::string strUrl, bool bHoldPage, bool bKeep = true);
    // Whether `strUrl` with '/' appended exists on the server.
    bool ProbeDirectory(std::string strUrl);
    // The body of `strObject` on the start server, up to `nMaxBytes`, for a file that is read
    // and never stored (robots.txt); nothing is logged. A start address the fetcher does not
    // serve counts as no such file: the start page reports it.
    [[nodiscard]] TextAnswer FetchText(const std::string& strObject, size_t nMaxBytes);
    // Closes the request, the connection and the session.
    void CloseAll() { m_connection.Close(); }

    // For transfers driven ahead of their turn on connections of their own. What an address comes
    // to before any request is asked: refused, present already, or to be asked for.
    enum class BeforeRequest
    {
        Refused,
        Present,
        Ask,
    };
    LocalNames::LocalName NameOf(const std::string& strUrl) const;
    BeforeRequest Judge(const LocalNames::LocalName& name) const;
    // The condition a request for `name` carries: the copy's time in a date mode.
    RequestConditions AheadConditions(const LocalNames::LocalName& name) const;
    // Whether the request for `name` asks for the rest of a kept part: such an address is asked
    // for at its turn, on the fetcher's own connection.
    bool AsksForRest(const LocalNames::LocalName& name) const;
    // Whether the body of `response` for `name` is to be stored: nothing is logged here.
    bool WantsBody(const LocalNames::LocalName& name, const GetResponse& response) const;
    std::string ObjectPathOf(const std::string& strUrl) const;
    // A connection set up as the fetcher's own (the same rate limit bucket and certificate check),
    // and its opening with the run's credentials.
    std::unique_ptr<CServerConnection> MakeConnection() const;
    CServerConnection::ConnectOutcome ConnectOther(CServerConnection& connection) const;
    // The result of `strUrl` from what a transfer fetched ahead, judged as Download judges it,
    // logged and stored now, in the caller's order. An address whose turn finds it otherwise than
    // when it was asked for (present by now, or its body not taken) is judged and fetched afresh.
    [[nodiscard]] FetchResult Conclude(std::string strUrl, AheadOutcome& ahead, bool bHoldPage, bool bKeep);
    // The progress display's figures while transfers are driven from outside.
    void ShowProgress(std::int64_t nReceived, std::int64_t nExpected, double dRate);
    // Whether a request has been sent on the fetcher's own connection.
    bool Requested() const { return m_connection.Requested(); }

    // The largest page kept in memory for its links; most pages are far smaller.
    static constexpr size_t kMaxHeldPageBytes = size_t{8} * 1024 * 1024;

    const std::string& GetServerRoot() const { return m_strServerRoot; }
    // Whether an address that names no file is stored as index.html.
    bool NoNameAsIndex() const { return m_bNoNameAsIndex; }
    // Whether any file has been stored under its final name since the fetcher was built.
    bool StoredAny() const { return m_bStoredAny; }
    // For a run that reached its end: the parts kept from cut transfers are needed no more.
    // Nothing happens unless cut transfers are resumed.
    void RemoveKeptParts() const { m_resume.RemoveKeptParts(m_strDestDir); }

    // Safe from any thread.
    double GetRate() const { return m_dRate.load(std::memory_order_relaxed); }
    std::int64_t GetBytesReceived() const { return m_nBytesReceived.load(std::memory_order_relaxed); }
    std::int64_t GetBytesExpected() const { return m_nBytesExpected.load(std::memory_order_relaxed); }

private:
    // Download's steps; each failure is logged and its line left in `result`.
    bool Store(FetchResult& result, bool bHoldPage, bool bKeep);
    // The decision before a request, logged; nothing when the address is to be asked for.
    std::optional<bool> Before(FetchResult& result, const LocalNames::LocalName& name);
    // What the answer means, logged; nothing when its body is to be stored, with `bKeepOldCopy`.
    std::optional<bool> After(FetchResult& result, const LocalNames::LocalName& name,
                              const GetResponse& response, bool& bKeepOldCopy);
    using BodyPlan = CResumePolicy::BodyPlan;
    // Judges a received body by its length and how it ended, and puts it in place.
    bool Complete(FetchResult& result, CFileStore& store, CServerConnection::BodyEnd end,
                  std::int64_t nCounted, const BodyPlan& plan);
    bool ConcludeStore(FetchResult& result, AheadOutcome& ahead, bool bHoldPage, bool bKeep);
    // A failed answer: its log line, and the pause the server asked for.
    bool FailAnswer(FetchResult& result, const GetResponse& response);
    bool WriteBody(FetchResult& result, const GetResponse& response, const BodyPlan& plan, bool bHoldPage);
    CServerConnection::BodyEnd TransferBody(CFileStore& store, FetchResult& result, bool bHoldPage,
                                            std::int64_t& nWireBytes);
    // Connects unless connected; a failure is logged (with the box for an address the fetcher does
    // not serve) and its line returned, empty when connected.
    std::string Connect();
    // The object path of m_strUrl on the start server.
    std::string ObjectPath() const;
    // Writes `strLine` to the error log and gives it back.
    std::string Report(std::string strLine);
    bool Fail(FetchResult& result, std::string strLine);

    std::string m_strServerRoot;
    IEngineContext& m_context;
    // The address of the fetch under way.
    std::string m_strUrl;
    std::string m_strDestDir;
    std::string m_strStartDir;
    std::string m_strUser;
    std::string m_strPassword;
    std::atomic<std::int64_t> m_nBytesReceived{0};
    std::atomic<std::int64_t> m_nBytesExpected{0};
    bool m_bByDate = false;
    bool m_bRenameOld = false;
    bool m_bNoNameAsIndex = false;
    bool m_bCompressed = false;
    bool m_bResume = false;
    bool m_bCheckCertificates = true;
    // The conditions and resume points of the requests; built from the flags above.
    CResumePolicy m_resume;
    // Kept for the connections the fetcher sets up besides its own.
    std::unique_ptr<RunSettings> m_pSettings;
    CServerConnection m_connection;
    bool m_bStoredAny = false;
    std::atomic<double> m_dRate{0};
};
