#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/select.h>
#include <utility>
#include <vector>

class CHttpConnection;

// One request on a connection. SendRequest returns once the response headers have arrived (after
// any redirects the client followed); the body is then pulled with Read, block by block, and
// never held in memory beyond one block of the client's. Closing a request whose body has not been
// read drops the transfer. Failures throw CInternetException. Worker thread only.
class CHttpRequest
{
public:
    ~CHttpRequest();
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // `strHeaders` holds "Name: value" lines ended by "\r\n". With `bAddIfNew`, a header the
    // request already carries (the client's own User-Agent and Accept included) is left as it is.
    void AddRequestHeaders(const std::string& strHeaders, bool bAddIfNew);
    void SendRequest();

    long QueryStatusCode() const;
    // The named header of the final response, empty when it is missing. Names ignore case.
    std::string QueryHeader(const std::string& strName) const;
    // Last-Modified in seconds since 1970; empty when missing or unreadable.
    std::optional<std::int64_t> QueryLastModified() const;

    // Up to `nCount` body bytes; 0 at the end of the body.
    size_t Read(void* pBuffer, size_t nCount);
    void Close();

    // For a caller that drives several requests at once, none of these waits: Begin sends,
    // Step lets the client work, and ReadReady hands out what has arrived (0 when nothing has).
    void Begin();
    void Step();
    // The final response's headers are in, or the transfer ended before any body.
    bool HeadersDone() const { return m_bBodyStarted || m_bDone; }
    // Once the headers are done: throws the failure that ended the transfer before any body.
    void RequireHeaders() const;
    // The whole body has been handed out; ReadReady has thrown when it ended in failure.
    bool Ended() const { return m_bEndSeen; }
    size_t ReadReady(void* pBuffer, size_t nCount);
    // Adds the sockets the client watches; gives how long the caller may wait before the next Step.
    int AddWaitSet(fd_set& read, fd_set& write, fd_set& except, int& nMaxFd) const;
    // The body bytes that came over the wire, before any content decoding.
    std::int64_t QueryWireBytes() const;

private:
    friend class CHttpConnection;
    CHttpRequest(CHttpConnection& connection, std::string strUrl, bool bHttp10);

    static size_t OnHeader(char* pData, size_t nSize, size_t nItems, void* pSelf);
    static size_t OnBody(char* pData, size_t nSize, size_t nItems, void* pSelf);

    bool HasHeader(const std::string& strName) const;
    bool BodyPending() const { return m_nPendingPos < m_pending.size(); }
    // Whether the client may hand out the block it holds back; false while the rate limit holds it.
    bool MayResume() const;
    // Lets the client work until it has something for us, the transfer has ended, or the rate
    // limit's wait is over.
    void Pump();
    // Hands the held block back to the client once the rate limit allows.
    void Resume();
    // At the end of the body: throws for a failed or cut transfer.
    void EndBody();
    void ThrowIfFailed() const;
    // Over TLS a body without a length ends with the connection; ended without the server's
    // close_notify it may have been cut anywhere, and libcurl passes it as whole all the same.
    void ThrowIfCutShort() const;
    bool EndsWithTheConnection() const;
    // "host:port" of the address the client was at.
    std::string CurrentHost() const;
    [[noreturn]] void Fail(int nCode) const;

    CHttpConnection& m_connection;
    std::string m_strUrl;
    bool m_bHttp10;
    std::vector<std::string> m_requestHeaders;
    void* m_pHeaderList = nullptr;
    bool m_bAdded = false;

    std::vector<std::pair<std::string, std::string>> m_responseHeaders;
    std::vector<char> m_pending;
    size_t m_nPendingPos = 0;
    bool m_bBodyStarted = false;
    bool m_bPaused = false;
    // While paused by the rate limit, the earliest time the held block may pass.
    std::chrono::steady_clock::time_point m_resumeAt;
    bool m_bDone = false;
    bool m_bEndSeen = false;
    int m_nResult = 0;
    char m_szError[256] = {};
};
