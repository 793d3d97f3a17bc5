#pragma once

#include "crawl/GetResponse.h"
#include "crawl/TextAnswer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/select.h>

class IEngineContext;
struct RunSettings;
class CFetchSession;
class CHttpConnection;
class CHttpRequest;
class CRateLimit;

// The network half of the fetcher: the session and the one connection to the start server, kept
// alive from request to request, the request in progress, the credentials, the pause between
// requests and the cut when the program closes. It knows nothing of files: a body is handed to a
// sink block by block, so what is done with it (stored, held, counted) is the caller's.
// Failures come back as the error log's line; nothing is logged here. Worker thread only.
class CServerConnection
{
public:
    // Takes a block of the body; false stops the transfer (the sink could not take it).
    using BlockSink = std::function<bool(const char* pData, size_t nCount)>;

    // How a body transfer ended: the server's orderly end, cut short (a failure of the client,
    // named in strError, or the program closing), or stopped by the sink.
    enum class BodyEnd
    {
        Whole,
        Cut,
        SinkStopped,
    };
    struct BodyOutcome
    {
        BodyEnd end = BodyEnd::Whole;
        std::string strError;
        // The body's bytes as they came over the wire, before any decoding.
        std::int64_t nWireBytes = 0;
    };
    // What ReceiveReady handed over: whether the body is over, and how it ended when it is.
    struct ReadyOutcome
    {
        bool bEnded = false;
        BodyOutcome body;
    };

    struct ConnectOutcome
    {
        bool bOk = false;
        // The start address is not one the fetcher serves (strError names it).
        bool bNotHttp = false;
        // "http://host" or "http://host:port": the port stays, so cutting the root off an
        // address leaves the object path.
        std::string strServerRoot;
        std::string strError;
    };

    // Takes the wait between requests, the rate limit, whether https is served and whether bodies
    // are asked for compressed. A connection given `pRateLimit` draws from that bucket, so that
    // several connections of one run share its limit.
    CServerConnection(IEngineContext& context, const RunSettings& settings,
                      std::shared_ptr<CRateLimit> pRateLimit = nullptr);
    ~CServerConnection();
    CServerConnection(const CServerConnection&) = delete;
    CServerConnection& operator=(const CServerConnection&) = delete;

    // For this run, before its first request: whether certificates are checked (on unless asked
    // otherwise), and the flag that cuts a pause between requests short.
    void SetCheckCertificates(bool bCheck) { m_bCheckCertificates = bCheck; }
    void SetStopFlag(const std::atomic<bool>* pStop) { m_pStop = pStop; }

    // Whether `strAddress` has a scheme this connection serves.
    bool Serves(const std::string& strAddress) const;
    // Opens the session and the connection to the server of `strStartDir`, unless one is open.
    ConnectOutcome Connect(const std::string& strStartDir, const std::string& strUser,
                           const std::string& strPassword);
    // One GET for `strObject` on the open connection, after the pause between requests, carrying
    // `strConditions` ("Name: value\r\n" lines, see RequestConditions). After a completed exchange
    // other than a 404 or a 304 the request stays open for ReceiveBody; those two have no body
    // to read and leave the connection fit for the next request. A 401 is a failure
    // (CTearException::kAccessDenied).
    [[nodiscard]] GetResponse Get(const std::string& strObject, const std::string& strConditions = {});
    // Hands the open request's body to `sink` in blocks until it ends; checks after every block
    // whether the program is closing. Without an open request there is nothing to hand: Whole.
    [[nodiscard]] BodyOutcome ReceiveBody(const BlockSink& sink);
    // The body of `strObject`, up to `nMaxBytes`, when the server answers 2xx; otherwise what kept
    // it back: a 5xx answer or a failed exchange (after which the connection starts afresh), or
    // any other answer, which says there is no such file.
    [[nodiscard]] TextAnswer ReadText(const std::string& strObject, size_t nMaxBytes);

    void CloseRequest();
    // The request, the connection and the session.
    void Close();

    // For one of several connections driven at once, none of these waits. Begin sends the GET for
    // `strObject` with `strConditions`, as Get does (no pause: the caller spaces the starts) and gives the
    // failure's line, empty when sent; Step lets the client work and tells whether the answer's headers are
    // in; then Response reads them as Get does, and ReceiveReady hands what has arrived to `sink`.
    [[nodiscard]] std::string Begin(const std::string& strObject, const std::string& strConditions = {});
    [[nodiscard]] bool Step();
    [[nodiscard]] GetResponse Response();
    [[nodiscard]] ReadyOutcome ReceiveReady(const BlockSink& sink);
    // Adds the sockets of the request under way; gives how long the caller may wait at most.
    int AddWaitSet(fd_set& read, fd_set& write, fd_set& except, int& nMaxFd) const;
    // Whether a request has been sent since the connection was made.
    bool Requested() const { return m_bRequested; }
    const std::shared_ptr<CRateLimit>& RateLimit() const { return m_pRateLimit; }

private:
    void OpenSession();
    void Send(const std::string& strObject, const std::string& strConditions);
    void Open(const std::string& strObject, const std::string& strConditions);
    // The status and headers of the request under way, as Get gives them.
    GetResponse ReadResponse();
    // Waits the pause between two requests, unless this is the run's first.
    void Pace();

    IEngineContext& m_context;
    bool m_bAllowHttps;
    bool m_bCompressed;
    std::uint32_t m_nWaitMs;
    // One bucket for the whole run, drawn from by every body it receives.
    std::shared_ptr<CRateLimit> m_pRateLimit;
    bool m_bCheckCertificates = true;
    const std::atomic<bool>* m_pStop = nullptr;
    bool m_bRequested = false;
    std::unique_ptr<CFetchSession> m_pSession;
    std::unique_ptr<CHttpConnection> m_pConnection;
    std::unique_ptr<CHttpRequest> m_pFile;
};
