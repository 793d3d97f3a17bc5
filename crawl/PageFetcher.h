#pragma once

#include "crawl/FetchResult.h"
#include "crawl/GetResponse.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IEngineContext;
struct RunSettings;
class CFetchSession;
class CHttpConnection;
class CHttpRequest;
class CLocalFile;
class CRateLimit;
class CInternetException;
class CTearException;

// Fetches one address at a time from the start server and stores it under the destination
// folder. Everything runs on the worker thread except the counter accessors, which the progress
// display reads while a transfer is under way.
class CPageFetcher
{
public:
    // Takes the existing-file mode and the index-name option from the run's settings.
    CPageFetcher(IEngineContext& context, const RunSettings& settings);
    ~CPageFetcher();
    CPageFetcher(const CPageFetcher&) = delete;
    CPageFetcher& operator=(const CPageFetcher&) = delete;

    // --- Network side ---
    void EnsureSession();
    // False (reported) when the start folder is not an http:// address or no connection can be set up.
    bool EnsureConnection();
    // One GET for `strObject`. After a completed exchange other than a 404 the request stays open
    // for ReadChunk.
    [[nodiscard]] GetResponse SendGet(std::string strObject);
    // Up to `nCount` body bytes; 0 at the end of the body or after a failure (reported). Which
    // of the two it was, ReadFailed tells.
    size_t ReadChunk(void* pBuffer, size_t nCount);
    bool ReadFailed() const { return m_bReadFailed; }
    void CloseRequest();
    void CloseConnection();
    void CloseAll();
    // Whether the current address with '/' appended exists on the server; the address keeps the '/'.
    bool ProbeDirectory();
    // The body of `strObject` on the start server, up to `nMaxBytes`, for a file that is read
    // and never stored (robots.txt). False, with nothing logged, when the start address is not
    // one the fetcher serves, the server has no such file (any status but 2xx) or the exchange
    // fails.
    bool FetchText(const std::string& strObject, size_t nMaxBytes, std::string& strText);
    void ReportError();

    // --- Storage side ---
    // Fetches the current address into its local file.
    [[nodiscard]] FetchResult Download();
    // Whether Download keeps the body of a text/html page it stores in memory as well (up to a
    // bound), for PageText.
    void SetHoldPages(bool bHold) { m_bHoldPages = bHold; }
    // The body of the page the last Download stored, when its result says bPageHeld.
    std::string_view PageText() const { return m_pageText; }
    // Sets the local path of the current address; `bTemporary` when it is a temp.html.
    void MakeLocalName(bool& bTemporary);
    static bool IsHtmlName(const std::string& strPath);
    static bool FileExists(const std::string& strPath);
    // Creates every missing folder on the way to the last '/' of the path.
    [[nodiscard]] static bool CreatePath(const std::string& strPath);

    void SetUrl(std::string strUrl) { m_strUrl = std::move(strUrl); }
    void SetDestDir(std::string strDestDir) { m_strDestDir = std::move(strDestDir); }
    // Also gives the server root, so that it is known before anything is fetched.
    void SetStartDir(std::string strStartDir);
    void SetUser(std::string strUser) { m_strUser = std::move(strUser); }
    void SetPassword(std::string strPassword) { m_strPassword = std::move(strPassword); }
    std::string GetUrl() const { return m_strUrl; }
    // Where the current address's copy is; for a temporary page, once stored, its private file.
    std::string GetLocalPath() const { return m_strLocalPath; }
    std::string GetServerRoot() const { return m_strServerRoot; }
    std::string GetLastError() const { return m_strLastError; }

    // Safe from any thread.
    double GetRate() const { return m_dRate.load(std::memory_order_relaxed); }
    std::int64_t GetBytesReceived() const { return m_nBytesReceived.load(std::memory_order_relaxed); }
    std::int64_t GetBytesExpected() const { return m_nBytesExpected.load(std::memory_order_relaxed); }

    // Whether any file has been stored under its final name since the fetcher was built.
    bool StoredAny() const { return m_bStoredAny; }

    bool ByDate() const { return m_bByDate; }
    bool RenameOld() const { return m_bRenameOld; }
    bool NoNameAsIndex() const { return m_bNoNameAsIndex; }
    bool AllowHttps() const { return m_bAllowHttps; }
    std::uint32_t WaitMs() const { return m_nWaitMs; }
    std::uint32_t LimitRate() const { return m_nLimitRate; }

    // For this run only: whether certificates are checked (on unless asked otherwise), and the
    // flag that cuts a pause between requests short.
    void SetCheckCertificates(bool bCheck) { m_bCheckCertificates = bCheck; }
    void SetStopFlag(const std::atomic<bool>* pStop) { m_pStop = pStop; }

private:
    bool Fail();
    bool Store(FetchResult& result);
    void Report(std::string strMessage);
    void ReportFailure(const CInternetException& e);
    void ReportFailure(const CTearException& e);
    // Runs `body`; a failure of the HTTP client or of the program becomes one log line and `failed`.
    template <typename Result, typename Body>
    Result Guarded(Result failed, Body&& body);
    std::string TypeFromName() const;
    bool SchemeAccepted(const std::string& strScheme) const;
    // Waits the pause between two requests, unless this is the run's first.
    void Pace();
    // Sends the request for `strObject` on the open connection, after the pause between requests;
    // throws what the request throws.
    void Request(const std::string& strObject);
    bool LocalPathIsInside() const;
    // How a body transfer ended: the server's orderly end, cut short (a failure of the client or
    // the program closing), or a write that failed.
    enum class BodyEnd
    {
        Whole,
        Cut,
        WriteFailed,
    };

    bool WriteBody(std::int64_t nLength, const std::optional<std::int64_t>& lastModified, bool bKeepOldCopy,
                   bool bTemporary);
    BodyEnd TransferBody(CLocalFile& file);
    bool WriteOut(CLocalFile& file, size_t nCount);
    void HoldBytes(size_t nCount);
    bool PutInPlace(const std::string& strPartial, bool bKeepOldCopy);
    void RenameOldCopy();
    std::string StampedName(const std::string& strStamp) const;

    std::string m_strServerRoot;
    IEngineContext& m_context;
    std::string m_strUrl;
    std::string m_strDestDir;
    std::string m_strStartDir;
    std::string m_strLocalPath;
    std::string m_strUser;
    std::string m_strPassword;
    std::atomic<std::int64_t> m_nBytesReceived{0};
    std::atomic<std::int64_t> m_nBytesExpected{0};
    bool m_bByDate = false;
    bool m_bRenameOld = false;
    bool m_bNoNameAsIndex = false;
    bool m_bAllowHttps = false;
    std::uint32_t m_nWaitMs = 0;
    std::uint32_t m_nLimitRate = 0;
    // One account of the bandwidth for the whole run, whatever sessions come and go.
    std::shared_ptr<CRateLimit> m_pRateLimit;
    bool m_bCheckCertificates = true;
    const std::atomic<bool>* m_pStop = nullptr;
    bool m_bRequested = false;
    std::unique_ptr<CFetchSession> m_pSession;
    std::unique_ptr<CHttpConnection> m_pConnection;
    std::unique_ptr<CHttpRequest> m_pFile;
    bool m_bReadFailed = false;
    bool m_bStoredAny = false;
    std::string m_strLastError;
    std::atomic<double> m_dRate{0};
    std::vector<char> m_writeBuffer;
    bool m_bHoldPages = false;
    bool m_bHolding = false; // the body in transfer goes to m_pageText as well
    std::string m_pageText;
};
