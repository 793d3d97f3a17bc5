#pragma once

#include "crawl/FetchResult.h"
#include "crawl/ServerConnection.h"
#include "crawl/TextAnswer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
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
    void SetCheckCertificates(bool bCheck) { m_connection.SetCheckCertificates(bCheck); }
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

    const std::string& GetServerRoot() const { return m_strServerRoot; }
    // Whether any file has been stored under its final name since the fetcher was built.
    bool StoredAny() const { return m_bStoredAny; }
    // For a run that reached its end: the parts kept from cut transfers are needed no more.
    // Nothing happens unless cut transfers are resumed.
    void RemoveKeptParts() const;

    // Safe from any thread.
    double GetRate() const { return m_dRate.load(std::memory_order_relaxed); }
    std::int64_t GetBytesReceived() const { return m_nBytesReceived.load(std::memory_order_relaxed); }
    std::int64_t GetBytesExpected() const { return m_nBytesExpected.load(std::memory_order_relaxed); }

private:
    // Download's steps; each failure is logged and its line left in `result`.
    bool Store(FetchResult& result, bool bHoldPage, bool bKeep);
    // A failed answer: its log line, and the pause the server asked for.
    bool FailAnswer(FetchResult& result, const GetResponse& response);
    // How the body is written: over an old copy (renamed first with `bKeepOldCopy`), after the
    // first `nFrom` bytes a partial file already holds, and the version it is (for a later
    // attempt to ask for the rest when this one is cut).
    struct BodyPlan
    {
        bool bKeepOldCopy = false;
        std::int64_t nFrom = 0;
        std::string strValidator;
    };
    // Sends the request with what the copy and the partial file held ask, and asks once more
    // for the whole file when the answer to a request for the rest cannot be appended. Fills in
    // `plan`'s start and version.
    GetResponse Request(const std::string& strObject, const std::string& strLocalPath,
                        RequestConditions& conditions, BodyPlan& plan);
    // The rest of a partial file that may be asked for, added to `conditions`.
    void AddResumePoint(RequestConditions& conditions, const std::string& strLocalPath) const;
    // A 304: the copy stays, unless no condition was asked, which makes it a failure.
    bool NotModified(FetchResult& result, const RequestConditions& conditions, const std::string& strObject);
    bool WriteBody(FetchResult& result, const GetResponse& response, const BodyPlan& plan, bool bHoldPage);
    // A transfer cut short: its part is kept for the next attempt when resuming is on, the
    // answer named a version and the part holds something. Gives the log line saying which.
    std::string DropOrKeepPart(CFileStore& store, const FetchResult& result, const BodyPlan& plan);
    CServerConnection::BodyEnd TransferBody(CFileStore& store, FetchResult& result, bool bHoldPage);
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
    bool m_bResume = false;
    CServerConnection m_connection;
    bool m_bStoredAny = false;
    std::atomic<double> m_dRate{0};
};
