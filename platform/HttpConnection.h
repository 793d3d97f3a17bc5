#pragma once

#include <curl/curl.h>
#include <functional>
#include <memory>
#include <string>

class CHttpRequest;
class CRateLimit;
struct HttpTransport;

// One server and port with its credentials. The client's handle lives as long as the connection,
// so a connection the server keeps open is reused by the next request. One request at a time.
class CHttpConnection
{
public:
    // Throws CInternetException when the client cannot allocate its handles.
    CHttpConnection(const std::string& strAgent, const std::string& strServer, unsigned nPort,
                    const std::string& strUser, const std::string& strPassword, const std::string& strScheme,
                    const HttpTransport& transport);
    ~CHttpConnection();
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    // A request for `strObject` (starting with '/'); nothing is sent until SendRequest. `strVersion`
    // is "HTTP/1.0" or "HTTP/1.1". The request must be closed before the next one is opened.
    std::unique_ptr<CHttpRequest> OpenRequest(const std::string& strVerb, const std::string& strObject,
                                              const std::string& strVersion);

    bool HasAgent() const { return m_bHasAgent; }
    // Whether the TLS connection of the response under way has been ended by the server's
    // close_notify since its status line came; always false for plain HTTP.
    bool TlsClosedInOrder() const { return m_bCloseNotify; }
    // Whether TlsClosedInOrder can be told at all: the TLS library lets the client watch its alerts.
    bool WatchesTlsClose() const { return m_bWatchesTlsClose; }
    // See CHttpSession::SetCancel.
    void SetCancel(std::function<bool()> cancel) { m_cancel = std::move(cancel); }
    bool Cancelled() const { return m_cancel && m_cancel(); }

private:
    friend class CHttpRequest;

    void ReleaseHandles();
    void ApplyTransport(const HttpTransport& transport);
    void WatchTlsClose();
    static CURLcode OnTlsContext(CURL* pEasy, void* pContext, void* pSelf);

    CURL* m_pEasy = nullptr;
    CURLM* m_pMulti = nullptr;
    std::string m_strServerRoot; // scheme://server:port
    bool m_bHasAgent = false;
    std::function<bool()> m_cancel;
    std::shared_ptr<CRateLimit> m_pRateLimit;
    bool m_bWatchesTlsClose = false;
    // Set from the TLS library's alert callback; cleared by each response's status line.
    bool m_bCloseNotify = false;
};
